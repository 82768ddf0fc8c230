#include "tabletriggers.h"

#include "connection.h"
#include "dberror.h"
#include "recordset.h"
#include "sqltext.h"

#include <QRegularExpression>
#include <memory>

namespace TableTriggers {

namespace {

QString UseStatement(const QString &database)
{
    return QStringLiteral("use ") + SqlText::quoteName(database);
}

QString Single(Connection &db, const QString &statement)
{
    std::unique_ptr<Recordset> rs = db.Execute(statement);
    const QString value = rs && !rs->Eof() && !rs->IsNull(0) ? rs->Value(0) : QString();
    closeQuietly(rs);
    return value;
}

}

QList<Trigger> Read(Connection &db, const QString &database, const QString &table)
{
    QStringList names;
    std::unique_ptr<Recordset> rs = db.Execute(
            QStringLiteral("select TRIGGER_NAME from information_schema.TRIGGERS"
                           " where EVENT_OBJECT_SCHEMA = '")
            + db.escape(database) + QStringLiteral("' and EVENT_OBJECT_TABLE = '") + db.escape(table)
            + QStringLiteral("' order by EVENT_MANIPULATION, ACTION_TIMING, ACTION_ORDER"));
    for (; rs && !rs->Eof(); rs->MoveNext())
        names << rs->Value(0);
    closeQuietly(rs);

    QList<Trigger> triggers;
    for (const QString &name : names) {
        rs = db.Execute(QStringLiteral("show create trigger ") + SqlText::qualified(database, name));
        if (rs && !rs->Eof()) {
            const auto value = [&](const char *column) {
                const int at = rs->FieldIndex(QLatin1String(column));
                return at < 0 ? QString() : rs->Value(at);
            };
            const int text = rs->FieldIndex(QStringLiteral("SQL Original Statement"));
            if (text < 0 || rs->IsNull(text))
                throw DbError(0, QStringLiteral("HY000"),
                              QStringLiteral("The server gave no definition of trigger ") + name);
            triggers.append({name, rs->Value(text), value("sql_mode"), value("character_set_client"),
                             value("collation_connection")});
        }
        closeQuietly(rs);
    }
    return triggers;
}

QString OnTable(const QString &statement, const QString &table)
{
    // ... {BEFORE|AFTER} {INSERT|UPDATE|DELETE} ON <table> FOR EACH ROW [{FOLLOWS|PRECEDES} <trigger>]
    static const QRegularExpression clause(
            QStringLiteral("(\\b(?:BEFORE|AFTER)\\s+(?:INSERT|UPDATE|DELETE)\\s+ON\\s+)"
                           "((?:`(?:[^`]|``)*`|[^\\s`.]+)(?:\\s*\\.\\s*(?:`(?:[^`]|``)*`|[^\\s`.]+))?)"
                           "(\\s+FOR\\s+EACH\\s+ROW)"
                           "(\\s+(?:FOLLOWS|PRECEDES)\\s+(?:`(?:[^`]|``)*`|[^\\s`]+))?"),
            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = clause.match(statement);
    if (!match.hasMatch())
        return statement;
    return statement.left(match.capturedStart(0)) + match.captured(1) + table + match.captured(3)
           + statement.mid(match.capturedEnd(0));
}

QStringList Create(Connection &db, const QList<Trigger> &triggers, const QString &database,
                   const QString &table, QStringList *failedNames)
{
    QStringList failures;
    if (triggers.isEmpty())
        return failures;
    QString previousDatabase;
    QString previousMode;
    bool ready = false;
    QString problem;
    try {
        // A trigger is created in the connection's database, the one of its table.
        previousDatabase = Single(db, QStringLiteral("select database()"));
        previousMode = Single(db, QStringLiteral("select @@session.sql_mode"));
        db.Execute(UseStatement(database));
        ready = true;
    } catch (const std::exception &error) {
        problem = describeError(error);
    }
    for (const Trigger &trigger : triggers) {
        const QString statement = OnTable(trigger.statement, table);
        if (!ready) {
            failures << problem + QLatin1Char('\n') + statement;
            if (failedNames)
                *failedNames << trigger.name;
            continue;
        }
        try {
            db.Execute(QStringLiteral("set session sql_mode = '") + db.escape(trigger.sqlMode)
                       + QLatin1Char('\''));
            db.Execute(statement);
        } catch (const std::exception &error) {
            failures << describeError(error) + QLatin1Char('\n') + statement;
            if (failedNames)
                *failedNames << trigger.name;
        }
    }
    if (ready) {
        try {
            db.Execute(QStringLiteral("set session sql_mode = '") + db.escape(previousMode)
                       + QLatin1Char('\''));
        } catch (const std::exception &) {
        }
        // Statements typed later without a database go where they went before.
        if (!previousDatabase.isEmpty() && previousDatabase != database) {
            try {
                db.Execute(UseStatement(previousDatabase));
            } catch (const std::exception &) {
            }
        }
    }
    return failures;
}

}
