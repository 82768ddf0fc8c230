#include "maintenance/keptaside.h"

#include "core/connection.h"
#include "core/dberror.h"
#include "core/recordset.h"
#include "core/sqltext.h"
#include "core/tablecopy.h"
#include "maintenance/logicalbackup.h"

#include <memory>

namespace {
constexpr unsigned NoSuchTable = 1146;
constexpr unsigned NoSuchDatabase = 1049;
}

KeptAside::KeptAside(Connection &db, const QString &database, const QString &name, const QDateTime &when)
    : m_db(db)
    , m_database(database)
    , m_name(name)
{
    const QString table = SqlText::qualified(database, name);
    try {
        std::unique_ptr<Recordset> rs = db.Execute(QStringLiteral("show create table ") + table);
        if (rs && !rs->Eof()) {
            m_view = rs->FieldName(0).trimmed() == QLatin1String("View");
            m_create = rs->Value(1);
        }
        closeQuietly(rs);
    } catch (const DbError &error) {
        if (error.number() != NoSuchTable && error.number() != NoSuchDatabase)
            throw;
        return;
    }
    if (m_create.isEmpty() || m_view)
        return;
    m_triggers = TableTriggers::Read(db, database, name);
    // Every column goes into the copy, the invisible ones named.
    const QStringList columns = TableCopy::Read(db, database, name).value(name).columns;
    const QString aside = SqlText::qualified(database, TableCopy::DatedName(name, when));
    db.Execute(TableCopy::Statement(aside, table, columns));
    m_aside = aside;
}

void KeptAside::release()
{
    if (!m_aside.isEmpty())
        m_db.Execute(QStringLiteral("drop table ") + m_aside);
    m_aside.clear();
}

QStringList KeptAside::bringBackTriggers(QStringList &failedNames, QStringList &failures)
{
    if (m_triggers.isEmpty())
        return {};
    std::unique_ptr<Recordset> rs = m_db.Execute(
        QStringLiteral("select count(*) from information_schema.TRIGGERS where EVENT_OBJECT_SCHEMA = '")
        + m_db.escape(m_database) + QStringLiteral("' and EVENT_OBJECT_TABLE = '") + m_db.escape(m_name)
        + QLatin1Char('\''));
    const bool none = rs && !rs->Eof() && rs->Value(0) == QLatin1String("0");
    closeQuietly(rs);
    if (!none)
        return {};
    failures += TableTriggers::Create(m_db, m_triggers, m_database, SqlText::qualified(m_database, m_name),
                                     &failedNames);
    QStringList created;
    for (const TableTriggers::Trigger &trigger : m_triggers)
        if (!failedNames.contains(trigger.name))
            created << trigger.name;
    return created;
}

void KeptAside::putBack()
{
    const QString table = SqlText::qualified(m_database, m_name);
    // The file may have left the foreign key checks on or off; the table goes and comes back either way,
    // and the tables that refer to it keep referring to it by its name.
    SessionSettings settings(m_db);
    m_db.Execute(QStringLiteral("set foreign_key_checks = 0"));
    QString kind;
    {
        std::unique_ptr<Recordset> rs = m_db.Execute(
            QStringLiteral("select TABLE_TYPE from information_schema.TABLES where TABLE_SCHEMA = '")
            + m_db.escape(m_database) + QStringLiteral("' and TABLE_NAME = '") + m_db.escape(m_name)
            + QLatin1Char('\''));
        kind = rs && !rs->Eof() ? rs->Value(0) : QString();
        closeQuietly(rs);
    }
    if (kind == QLatin1String("VIEW"))
        m_db.Execute(QStringLiteral("drop view ") + table);
    else if (!kind.isEmpty())
        m_db.Execute(QStringLiteral("drop table ") + table);
    if (m_create.isEmpty())
        return;
    // The server's create statement names the object without its database.
    DefaultDatabase inDatabase(m_db, m_database);
    m_db.Execute(m_create);
    if (m_view)
        return;
    // The columns that take values: the server computes the generated ones itself.
    QStringList columns;
    {
        std::unique_ptr<Recordset> rs = m_db.Execute(
            QStringLiteral("select COLUMN_NAME, EXTRA from information_schema.COLUMNS where TABLE_SCHEMA = '")
            + m_db.escape(m_database) + QStringLiteral("' and TABLE_NAME = '") + m_db.escape(m_name)
            + QStringLiteral("' order by ORDINAL_POSITION"));
        for (; rs && !rs->Eof(); rs->MoveNext())
            if (!rs->Value(1).contains(QLatin1String("GENERATED"), Qt::CaseInsensitive))
                columns << SqlText::quoteName(rs->Value(0));
        closeQuietly(rs);
    }
    if (!columns.isEmpty()) {
        const QString list = columns.join(QLatin1Char(','));
        m_db.Execute(QStringLiteral("insert into ") + table + QLatin1Char('(') + list
                     + QStringLiteral(") select ") + list + QStringLiteral(" from ") + m_aside);
    }
    const QStringList failed = TableTriggers::Create(m_db, m_triggers, m_database, table);
    if (!failed.isEmpty())
        throw DbError(0, QStringLiteral("HY000"), failed.join(QStringLiteral("\n")));
    release();
}
