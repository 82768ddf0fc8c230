#include "privileges.h"

namespace UserPrivileges {

const std::array<Privilege, GlobalCount> globalPrivileges = {{
    {"SELECT", "Select_priv", "SELECT,"},
    {"INSERT", "Insert_priv", "INSERT,"},
    {"UPDATE", "Update_priv", "UPDATE,"},
    {"DELETE", "Delete_priv", "DELETE,"},
    {"CREATE", "Create_priv", "CREATE,"},
    {"DROP", "Drop_priv", "DROP,"},
    {"RELOAD", "Reload_priv", "RELOAD,"},
    {"SHUTDOWN", "Shutdown_priv", "SHUTDOWN,"},
    {"PROCESS", "Process_priv", "PROCESS,"},
    {"FILE", "File_priv", "FILE,"},
    {"GRANT", "Grant_priv", ""},
    {"REFERENCES", "References_priv", "REFERENCES,"},
    {"INDEX", "Index_priv", "INDEX,"},
    {"ALTER", "Alter_priv", "ALTER,"},
    {"SHOW_DB", "Show_db_priv", "SHOW DATABASES,"},
    {"SUPER", "Super_priv", "SUPER,"},
    {"CREATE TMP", "Create_tmp_table_priv", "CREATE TEMPORARY TABLES,"},
    {"LOCK TABLES", "Lock_tables_priv", "LOCK TABLES,"},
    {"EXECUTE", "Execute_priv", "EXECUTE,"},
    {"REPL SLAVE", "Repl_slave_priv", "REPLICATION SLAVE,"},
    {"REPL CLIENT", "Repl_client_priv", "REPLICATION CLIENT,"},
    {"CREATE VIEW", "Create_view_priv", "CREATE VIEW,"},
    {"SHOW VIEW", "Show_view_priv", "SHOW VIEW,"},
    {"CREATE ROUTINE", "Create_routine_priv", "CREATE ROUTINE,"},
    {"ALTER ROUTINE", "Alter_routine_priv", "ALTER ROUTINE,"},
    {"CREATE USER", "Create_user_priv", "CREATE USER,"},
}};

const std::array<Privilege, DatabaseCount> databasePrivileges = {{
    {"SELECT", "Select_priv", "SELECT,"},
    {"INSERT", "Insert_priv", "INSERT,"},
    {"UPDATE", "Update_priv", "UPDATE,"},
    {"DELETE", "Delete_priv", "DELETE,"},
    {"CREATE", "Create_priv", "CREATE,"},
    {"DROP", "Drop_priv", "DROP,"},
    {"GRANT", "Grant_priv", "GRANT OPTION,"},
    {"REFERENCES", "References_priv", "REFERENCES,"},
    {"INDEX", "Index_priv", "INDEX,"},
    {"ALTER", "Alter_priv", "ALTER,"},
    {"CREATE TMP", "Create_tmp_table_priv", "CREATE TEMPORARY TABLES,"},
    {"LOCK TABLES", "Lock_tables_priv", "LOCK TABLES,"},
    {"CREATE VIEW", "Create_view_priv", "CREATE VIEW,"},
    {"SHOW VIEW", "Show_view_priv", "SHOW VIEW,"},
    {"CREATE ROUTINE", "Create_routine_priv", "CREATE ROUTINE,"},
    {"ALTER ROUTINE", "Alter_routine_priv", "ALTER ROUTINE,"},
    {"EXECUTE", "Execute_priv", "EXECUTE,"},
}};

const std::array<Privilege, TableCount> tablePrivileges = {{
    {"SELECT", "Select", "SELECT,"},
    {"INSERT", "Insert", "INSERT,"},
    {"UPDATE", "Update", "UPDATE,"},
    {"DELETE", "Delete", "DELETE,"},
}};

QString EmptyPrivilegeList::description()
{
    return QStringLiteral("権限にﾁｪｯｸを入れてください。");
}

std::optional<QString> keywordList(const QStringList &keywords)
{
    QString text;
    for (const QString &keyword : keywords)
        text += keyword;
    const qsizetype comma = text.lastIndexOf(QLatin1Char(','));
    if (comma < 0)
        return std::nullopt;
    return text.left(comma) + QStringLiteral("\r\n");
}

QString keywordListOrUsage(const QStringList &keywords)
{
    return keywordList(keywords).value_or(QStringLiteral("USAGE"));
}

QString requireKeywordList(const QStringList &keywords)
{
    auto list = keywordList(keywords);
    if (!list)
        throw EmptyPrivilegeList();
    return *list;
}

QString accountTail(const QString &escapedUser, const QString &escapedHost)
{
    return escapedUser + QStringLiteral("'@\"") + escapedHost + QStringLiteral("\"");
}

QStringList tablePrivWords(const QString &tablePriv)
{
    return tablePriv.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

bool hasTablePrivWord(const QString &tablePriv, const QString &word)
{
    return tablePrivWords(tablePriv).contains(word);
}

QStringList otherTableKeywords(const QString &tablePriv)
{
    QStringList keywords;
    for (const QString &word : tablePrivWords(tablePriv)) {
        bool shown = false;
        for (const Privilege &p : tablePrivileges)
            shown = shown || word == QLatin1String(p.column);
        if (shown)
            continue;
        if (word == QLatin1String("Grant"))
            keywords << QStringLiteral("GRANT OPTION,");
        else if (word == QLatin1String("Delete versioning rows"))
            keywords << QStringLiteral("DELETE HISTORY,");
        else
            keywords << word.toUpper() + QLatin1Char(',');
    }
    return keywords;
}

bool refusesIdentifiedBy(unsigned int errorNumber, const QString &message)
{
    // The parser stops right at IDENTIFIED: the text it quotes starts there. A syntax error earlier on (a
    // keyword the server does not know) quotes from that point and is not this refusal.
    return errorNumber == 1064 && message.contains(QLatin1String("'IDENTIFIED"), Qt::CaseInsensitive);
}

bool refusesAccountCreation(unsigned int errorNumber, const QString &message)
{
    return refusesIdentifiedBy(errorNumber, message) || errorNumber == 1410 || errorNumber == 1133;
}

bool refusesUserTableDelete(unsigned int errorNumber)
{
    // ER_NON_UPDATABLE_TABLE, ER_VIEW_DELETE_MERGE_VIEW, ER_NON_INSERTABLE_TABLE
    return errorNumber == 1288 || errorNumber == 1395 || errorNumber == 1471;
}

namespace {

// One name of a grant's ON target as SHOW GRANTS writes it: quoted with backticks, or with double quotes
// under ANSI_QUOTES (the quote doubled inside), or bare ("*"). Comes back in backticks, or "*" as it
// stands; `at` moves past it. Nothing when no name starts there.
std::optional<QString> targetName(const QString &line, qsizetype &at)
{
    if (at >= line.size())
        return std::nullopt;
    const QChar quote = line.at(at);
    if (quote == QLatin1Char('*')) {
        ++at;
        return QStringLiteral("*");
    }
    if (quote != QLatin1Char('`') && quote != QLatin1Char('"'))
        return std::nullopt;
    QString name;
    for (qsizetype i = at + 1; i < line.size(); ++i) {
        if (line.at(i) != quote) {
            name += line.at(i);
        } else if (i + 1 < line.size() && line.at(i + 1) == quote) {
            name += quote;
            ++i;
        } else {
            at = i + 1;
            name.replace(QLatin1Char('`'), QLatin1String("``"));
            return QLatin1Char('`') + name + QLatin1Char('`');
        }
    }
    return std::nullopt;
}

// Where " ON " ends the privilege list of a grant line: outside the quotes of column names.
qsizetype privilegesEnd(const QString &line, qsizetype from)
{
    QChar quote;
    for (qsizetype i = from; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('`') || c == QLatin1Char('"')) {
            quote = c;
        } else if (QStringView(line).mid(i).startsWith(QLatin1String(" ON "))) {
            return i;
        }
    }
    return -1;
}

} // namespace

QStringList grantedPrivileges(const QStringList &showGrants, const QString &on)
{
    QStringList granted;
    const QString grant = QStringLiteral("GRANT ");
    for (const QString &line : showGrants) {
        if (!line.startsWith(grant))
            continue;
        const qsizetype end = privilegesEnd(line, grant.size());
        if (end < 0)
            continue;
        // The target in one quoting, whichever the session's sql_mode made the server write.
        qsizetype at = end + 4;
        const auto database = targetName(line, at);
        if (!database || at >= line.size() || line.at(at) != QLatin1Char('.'))
            continue;
        ++at;
        const auto table = targetName(line, at);
        if (!table || *database + QLatin1Char('.') + *table != on
            || !QStringView(line).mid(at).startsWith(QLatin1String(" TO ")))
            continue;
        for (const QString &privilege : line.mid(grant.size(), end - grant.size()).split(QLatin1Char(',')))
            if (!privilege.trimmed().isEmpty())
                granted << privilege.trimmed();
    }
    return granted;
}

QStringList otherKeywords(const QStringList &granted, const QStringList &boxKeywords)
{
    // A privilege the server names by another word than its box's keyword.
    static const QList<QPair<QString, QString>> aliases = {
        {QStringLiteral("BINLOG MONITOR"), QStringLiteral("REPLICATION CLIENT,")},
    };
    QStringList others;
    for (const QString &privilege : granted) {
        const QString keyword = privilege + QLatin1Char(',');
        bool boxed = boxKeywords.contains(keyword);
        for (const auto &[word, boxKeyword] : aliases)
            boxed = boxed || (privilege == word && boxKeywords.contains(boxKeyword));
        if (privilege == QLatin1String("USAGE") || privilege == QLatin1String("ALL PRIVILEGES") || boxed
            || others.contains(keyword))
            continue;
        others << keyword;
    }
    return others;
}

QString grantsDatabase(const QString &database)
{
    QString quoted = database;
    quoted.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + quoted + QStringLiteral("`.*");
}

}
