#include "maintenance/logicalbackup.h"

#include "core/connection.h"
#include "core/events.h"
#include "core/recordset.h"
#include "core/sqltext.h"
#include "core/tabletriggers.h"
#include "maintenance/scripteffects.h"
#include "maintenance/sqlscript.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringEncoder>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

std::runtime_error fileError(const QFile &file)
{
    return std::runtime_error((file.fileName() + QStringLiteral(": ") + file.errorString()).toStdString());
}

void flush(QFile &file, QByteArray &out)
{
    if (out.isEmpty())
        return;
    if (file.write(out) != out.size())
        throw fileError(file);
    out.clear();
}

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

const QByteArray ViewMarker = "-- Kind: VIEW";

// Names in the files are always quoted: a file may be loaded into a server that reserves more words.
QString backtick(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + quoted + QLatin1Char('`');
}

} // namespace

DefaultDatabase::DefaultDatabase(Connection &db, const QString &database, bool always)
    : m_db(db)
    , m_always(always)
{
    auto rs = m_db.Execute(QStringLiteral("select database()"));
    if (rs && !rs->Eof() && !rs->IsNull(0))
        m_previous = rs->Value(0);
    if (m_previous != database) {
        m_db.Execute(QStringLiteral("use ") + SqlText::quoteName(database));
        m_switched = true;
    }
}

DefaultDatabase::~DefaultDatabase()
{
    // Without a database before, there is none to go back to: the connection stays where it is.
    if ((!m_switched && !m_always) || m_previous.isEmpty())
        return;
    try {
        m_db.Execute(QStringLiteral("use ") + SqlText::quoteName(m_previous));
    } catch (const std::exception &) {
    }
}

namespace {
// The session settings kept, in the order they are read and set back; the collation comes after the
// character sets, since setting character_set_connection also sets its default collation.
const char *const Kept[] = {"foreign_key_checks", "unique_checks", "sql_mode", "time_zone", "autocommit",
                            "character_set_client", "character_set_results", "character_set_connection",
                            "collation_connection"};
constexpr int KeptCount = int(sizeof Kept / sizeof Kept[0]);
}

SessionSettings::SessionSettings(Connection &db) : m_db(db)
{
    QStringList reads;
    for (const char *name : Kept)
        reads << QStringLiteral("@@session.") + QLatin1String(name);
    auto rs = m_db.Execute(QStringLiteral("select ") + reads.join(QStringLiteral(", ")));
    if (rs && !rs->Eof()) {
        for (int i = 0; i < KeptCount; ++i) {
            bool number = false;
            rs->Value(i).toLongLong(&number);
            if (rs->IsNull(i))
                m_values << QStringLiteral("NULL");
            else if (number)
                m_values << rs->Value(i);
            else
                m_values << QStringLiteral("'") + m_db.escape(rs->Value(i)) + QLatin1Char('\'');
        }
    }
}

SessionSettings::~SessionSettings()
{
    if (m_values.size() != KeptCount)
        return;
    QStringList sets;
    for (int i = 0; i < KeptCount; ++i)
        sets << QLatin1String(Kept[i]) + QStringLiteral(" = ") + m_values[i];
    try {
        m_db.Execute(QStringLiteral("set ") + sets.join(QStringLiteral(", ")));
    } catch (const std::exception &) {
    }
}

ValueKind valueKindOf(const QString &dataType)
{
    static const QStringList numbers = {
        QStringLiteral("tinyint"), QStringLiteral("smallint"), QStringLiteral("mediumint"),
        QStringLiteral("int"),     QStringLiteral("integer"),  QStringLiteral("bigint"),
        QStringLiteral("decimal"), QStringLiteral("numeric"),  QStringLiteral("float"),
        QStringLiteral("double"),  QStringLiteral("real"),     QStringLiteral("year")};
    static const QStringList binaries = {
        QStringLiteral("binary"),     QStringLiteral("varbinary"),       QStringLiteral("tinyblob"),
        QStringLiteral("blob"),       QStringLiteral("mediumblob"),      QStringLiteral("longblob"),
        QStringLiteral("bit"),        QStringLiteral("geometry"),        QStringLiteral("point"),
        QStringLiteral("linestring"), QStringLiteral("polygon"),         QStringLiteral("multipoint"),
        QStringLiteral("multilinestring"), QStringLiteral("multipolygon"),
        QStringLiteral("geometrycollection")};
    const QString type = dataType.toLower();
    if (numbers.contains(type))
        return ValueKind::Number;
    if (binaries.contains(type))
        return ValueKind::Binary;
    return ValueKind::Text;
}

void appendQuoted(QByteArray &out, const char *data, qsizetype length)
{
    // Runs of ordinary bytes are copied at once; only the few special ones are looked at.
    static const auto special = [] {
        std::array<char, 256> table{};
        table[0] = '0';
        table['\n'] = 'n';
        table['\r'] = 'r';
        table['\\'] = '\\';
        table['\''] = '\'';
        table['"'] = '"';
        table[0x1a] = 'Z';
        return table;
    }();
    out.append('\'');
    qsizetype start = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const char escape = special[static_cast<unsigned char>(data[i])];
        if (escape) {
            out.append(data + start, i - start);
            out.append('\\');
            out.append(escape);
            start = i + 1;
        }
    }
    out.append(data + start, length - start);
    out.append('\'');
}

void appendHex(QByteArray &out, const char *data, qsizetype length)
{
    if (length == 0) {
        out.append("''", 2);
        return;
    }
    static const char digits[] = "0123456789ABCDEF";
    const qsizetype at = out.size();
    out.resize(at + 2 + 2 * length);
    char *p = out.data() + at;
    *p++ = '0';
    *p++ = 'x';
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        *p++ = digits[byte >> 4];
        *p++ = digits[byte & 15];
    }
}

LogicalBackup::LogicalBackup(Connection &db, const QString &database)
    : m_db(db)
    , m_database(database)
    , m_default(db, database)
{
    auto rs = m_db.Execute(QStringLiteral("select @@session.time_zone"));
    if (rs && !rs->Eof())
        m_timeZone = rs->Value(0);
    rs.reset();
    m_db.Execute(QStringLiteral("set time_zone = '+00:00'"));
}

LogicalBackup::~LogicalBackup()
{
    if (m_timeZone.isEmpty())
        return;
    try {
        m_db.Execute(QStringLiteral("set time_zone = '") + m_db.escape(m_timeZone) + QLatin1Char('\''));
    } catch (const std::exception &) {
    }
}

QString LogicalBackup::firstExisting(const QStringList &paths)
{
    for (const QString &path : paths)
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            return path;
    return QString();
}

bool LogicalBackup::holdsView(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    for (int i = 0; i < 8 && !file.atEnd(); ++i) {
        if (file.readLine(256).trimmed() == ViewMarker)
            return true;
    }
    return false;
}

void LogicalBackup::write(const QString &table, const QString &path)
{
    const QString qualified = SqlText::qualified(m_database, table);
    const QString quoted = backtick(table);
    QString createText;
    bool view = false;
    {
        auto rs = m_db.Execute(QStringLiteral("show create table ") + qualified);
        if (!rs || rs->Eof())
            throw std::runtime_error("the server gave no definition");
        view = rs->FieldName(0).trimmed() == QLatin1String("View");
        createText = rs->Value(1);
    }
    QString version;
    {
        auto rs = m_db.Execute(QStringLiteral("select version()"));
        if (rs && !rs->Eof())
            version = rs->Value(0);
    }

    // NewOnly: an existing file is never overwritten, even one that appeared since the check.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw fileError(file);
    try {
        QByteArray out;
        out.reserve(BatchBytes + (1 << 16));
        out += "-- Tablora logical backup\n";
        out += "-- " + utf8(view ? QStringLiteral("View ") : QStringLiteral("Table ")) + commentText(quoted)
            + " of database " + commentText(backtick(m_database)) + "\n";
        out += view ? ViewMarker : QByteArray("-- Kind: TABLE");
        out += "\n-- Server " + utf8(version) + ", written "
            + utf8(QDateTime::currentDateTime().toString(Qt::ISODate)) + "\n";
        out += "-- Load it with the command-line client: mariadb <database> < "
            + commentText(QFileInfo(path).fileName()) + "\n\n";
        out += "SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT,"
               " @OLD_CHARACTER_SET_RESULTS=@@CHARACTER_SET_RESULTS,"
               " @OLD_COLLATION_CONNECTION=@@COLLATION_CONNECTION;\n"
               "SET NAMES utf8mb4;\n"
               "SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=0;\n"
               "SET @OLD_UNIQUE_CHECKS=@@UNIQUE_CHECKS, UNIQUE_CHECKS=0;\n"
               "SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO';\n"
               "SET @OLD_TIME_ZONE=@@TIME_ZONE, TIME_ZONE='+00:00';\n\n";
        out += "DROP TABLE IF EXISTS " + utf8(quoted) + ";\n";
        if (view)
            out += "DROP VIEW IF EXISTS " + utf8(quoted) + ";\n";
        out += utf8(createText) + ";\n\n";
        if (!view) {
            writeRows(file, out, table);
            // After the rows, so that loading them does not fire the triggers again.
            writeTriggers(out, table);
        }
        out += "\nSET TIME_ZONE=@OLD_TIME_ZONE;\n"
               "SET SQL_MODE=@OLD_SQL_MODE;\n"
               "SET UNIQUE_CHECKS=@OLD_UNIQUE_CHECKS;\n"
               "SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS;\n"
               "SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT,"
               " CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS,"
               " COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION;\n"
               "-- End of backup\n";
        flush(file, out);
        if (!file.flush())
            throw fileError(file);
        file.close();
        if (file.error() != QFileDevice::NoError)
            throw fileError(file);
    } catch (...) {
        file.close();
        file.remove();
        throw;
    }
}

void LogicalBackup::writeRows(QFile &file, QByteArray &out, const QString &table)
{
    // The stored columns in the table's order; generated ones are computed again by the server.
    QStringList names;
    std::vector<ValueKind> kinds;
    {
        auto rs = m_db.Execute(
            QStringLiteral("select COLUMN_NAME, DATA_TYPE, EXTRA from information_schema.COLUMNS "
                           "where TABLE_SCHEMA = '")
            + m_db.escape(m_database) + QStringLiteral("' and TABLE_NAME = '") + m_db.escape(table)
            + QStringLiteral("' order by ORDINAL_POSITION"));
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            if (rs->Value(2).contains(QLatin1String("GENERATED"), Qt::CaseInsensitive))
                continue;
            names << backtick(rs->Value(0));
            kinds.push_back(valueKindOf(rs->Value(1)));
        }
    }
    if (names.isEmpty())
        return;
    const QByteArray head = "INSERT INTO " + utf8(backtick(table)) + " ("
        + utf8(names.join(QLatin1Char(','))) + ") VALUES\n";

    auto rs = m_db.ExecuteStreaming(QStringLiteral("select ") + names.join(QLatin1Char(','))
                                    + QStringLiteral(" from ") + SqlText::qualified(m_database, table));
    const int columns = int(kinds.size());
    bool open = false;              // an INSERT statement is open in the output
    qsizetype statementBytes = 0;   // its size so far
    while (rs && !rs->Eof()) {
        const qsizetype before = out.size();
        if (!open) {
            out += head;
            out += '(';
            open = true;
            statementBytes = 0;
        } else {
            out += ",\n(";
        }
        for (int c = 0; c < columns; ++c) {
            if (c)
                out += ',';
            unsigned long length = 0;
            const char *value = rs->RawValue(c, &length);
            if (!value)
                out.append("NULL", 4);
            else if (kinds[c] == ValueKind::Number)
                out.append(value, qsizetype(length));
            else if (kinds[c] == ValueKind::Binary)
                appendHex(out, value, qsizetype(length));
            else
                appendQuoted(out, value, qsizetype(length));
        }
        out += ')';
        statementBytes += out.size() - before;
        ++m_rows;
        rs->MoveNext();
        if (statementBytes >= BatchBytes) {
            out += ";\n";
            open = false;
        }
        // The buffer stays bounded; an open statement simply goes on in the file.
        if (out.size() >= BatchBytes)
            flush(file, out);
    }
    if (open)
        out += ";\n";
}

QByteArray commentText(const QString &text)
{
    QString line = text;
    for (QChar &c : line)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return line.toUtf8();
}

namespace {

// The trigger's text in the character set it was sent in (the file sets that set before it, as the standard
// dump tool's files do). A set that the text cannot be written in, or whose characters may hold the byte of
// a quote or a backslash (Shift-JIS, GBK, Big5), is left for utf8mb4.
QByteArray triggerText(const QString &statement, QString &characterSet)
{
    const QString set = characterSet.toLower();
    bool ascii = true;
    for (const QChar c : statement)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii || set.startsWith(QLatin1String("utf8")))
        return statement.toUtf8();
    static const QList<QPair<QString, const char *>> names = {
        {QStringLiteral("latin1"), "windows-1252"},
        {QStringLiteral("ujis"), "EUC-JP"},
        {QStringLiteral("eucjpms"), "EUC-JP"},
        {QStringLiteral("euckr"), "EUC-KR"}};
    for (const auto &[mysqlName, codec] : names) {
        if (set != mysqlName)
            continue;
        QStringEncoder encoder(codec);
        if (!encoder.isValid())
            break;
        const QByteArray bytes = encoder.encode(statement);
        if (!encoder.hasError())
            return bytes;
        break;
    }
    characterSet = QStringLiteral("utf8mb4");
    return statement.toUtf8();
}

}

void LogicalBackup::writeTriggers(QByteArray &out, const QString &table)
{
    // Dropping the table dropped its triggers: the backup brings them back, in their order of firing,
    // each under the sql_mode, character set and collation it was made with.
    const QList<TableTriggers::Trigger> triggers = TableTriggers::Read(m_db, m_database, table);
    if (triggers.isEmpty())
        return;
    out += "SET @OLD_TRIGGER_CS_CLIENT=@@CHARACTER_SET_CLIENT,"
           " @OLD_TRIGGER_CS_RESULTS=@@CHARACTER_SET_RESULTS,"
           " @OLD_TRIGGER_COLLATION=@@COLLATION_CONNECTION;\n";
    for (const TableTriggers::Trigger &trigger : triggers) {
        QString characterSet = trigger.characterSetClient;
        const QByteArray text = triggerText(trigger.statement, characterSet);
        QString collation = trigger.collationConnection;
        if (characterSet != trigger.characterSetClient || collation.isEmpty())
            collation = QStringLiteral("utf8mb4_general_ci");
        if (!characterSet.isEmpty()) {
            out += "SET CHARACTER_SET_CLIENT=" + utf8(characterSet) + ", CHARACTER_SET_RESULTS="
                + utf8(characterSet) + ", COLLATION_CONNECTION=" + utf8(collation) + ";\n";
        }
        out += "SET SQL_MODE='" + utf8(m_db.escape(trigger.sqlMode)) + "';\n";
        out += "DELIMITER ;;\n" + text + " ;;\nDELIMITER ;\n";
    }
    out += "SET CHARACTER_SET_CLIENT=@OLD_TRIGGER_CS_CLIENT, CHARACTER_SET_RESULTS=@OLD_TRIGGER_CS_RESULTS,"
           " COLLATION_CONNECTION=@OLD_TRIGGER_COLLATION;\n";
}

namespace {

// Reads a whole file through the splitter a megabyte at a time: memory stays bounded by one statement,
// and the window's events run between megabytes, so reading a dump of gigabytes leaves it painting.
void splitFile(QFile &file, SqlScriptSplitter &splitter)
{
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const qint64 got = file.read(buffer.data(), qint64(buffer.size()));
        if (got < 0)
            throw fileError(file);
        if (got == 0)
            break;
        splitter.feed(buffer.data(), got);
        Events::pump();
    }
    splitter.finish();
}

}

void runSqlFile(Connection &db, const QString &path, const std::function<void()> &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(file);
    SqlScriptSplitter splitter([&](const QByteArray &statement) {
        db.ExecuteBytes(statement);
        if (progress)
            progress();
    });
    splitFile(file, splitter);
}

namespace {

// A name as the header writes it: in backticks, a backtick inside doubled. The position after it, or -1.
qsizetype readQuoted(const QString &text, qsizetype at, QString &name)
{
    if (at >= text.size() || text[at] != QLatin1Char('`'))
        return -1;
    name.clear();
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('`')) {
            name += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == QLatin1Char('`')) {
            name += text[i];
            ++i;
        } else {
            return i + 1;
        }
    }
    return -1;
}

}

BackupHeader readBackupHeader(const QString &path)
{
    BackupHeader header;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return header;
    if (file.readLine(256).trimmed() != "-- Tablora logical backup")
        return header;
    const QString line = QString::fromUtf8(file.readLine(64 * 1024)).trimmed();
    const QString table = QStringLiteral("-- Table ");
    const QString view = QStringLiteral("-- View ");
    const QString of = QStringLiteral(" of database ");
    qsizetype at = line.startsWith(table) ? table.size() : line.startsWith(view) ? view.size() : -1;
    if (at < 0)
        return header;
    at = readQuoted(line, at, header.table);
    if (at < 0 || line.mid(at, of.size()) != of || readQuoted(line, at + of.size(), header.database) < 0)
        return header;
    header.own = true;
    return header;
}

ScriptSummary summarizeSqlFile(const QString &path, const QString &database)
{
    using ScriptEffects::Effect;
    ScriptSummary summary;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(file);
    QString current = database;
    SqlScriptSplitter splitter([&](const QByteArray &statement) {
        ++summary.statements;
        const Effect effect = ScriptEffects::effectOf(statement);
        switch (effect.kind) {
        case Effect::Kind::None:
            break;
        case Effect::Kind::Use:
            current = effect.objects.value(0).database;
            break;
        case Effect::Kind::Create:
            summary.creates << effect.text;
            break;
        case Effect::Kind::Destroy:
            if (!summary.destroys.contains(effect.text))
                summary.destroys << effect.text;
            if (effect.objects.isEmpty())
                summary.targets.append({effect.type, QString(), QString(), effect.text});
            for (const ScriptEffects::ObjectName &object : effect.objects) {
                const QString in = object.database.isEmpty() ? current : object.database;
                if (effect.type == QLatin1String("DATABASE"))
                    summary.targets.append({effect.type, in, QString(), effect.text});
                else
                    summary.targets.append({effect.type, in, object.name, effect.text});
            }
            break;
        }
    });
    splitFile(file, splitter);
    return summary;
}
