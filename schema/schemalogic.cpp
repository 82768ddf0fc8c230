#include "schema/schemalogic.h"

#include "core/sqltext.h"
#include "core/tablecopy.h"

namespace SchemaLogic {

ObjectKind KindFromColumn(const QString &firstColumnTitle)
{
    return IsViewColumn(firstColumnTitle) ? ObjectKind::View : ObjectKind::Table;
}

bool IsTableColumn(const QString &firstColumnTitle)
{
    return firstColumnTitle.trimmed() == QLatin1String("Table");
}

bool IsViewColumn(const QString &firstColumnTitle)
{
    return firstColumnTitle.trimmed() == QLatin1String("View");
}

namespace {

// Where the table's name begins: just after the word TABLE that follows CREATE (letter case ignored);
// -1 when either word is missing. Reading the name and qualifying it both start here, so the statement
// always creates the table that the rebuild then reads, fills and (on failure) drops.
qsizetype NameStart(const QString &statement)
{
    const qsizetype create = statement.indexOf(QLatin1String("CREATE"), 0, Qt::CaseInsensitive);
    if (create < 0)
        return -1;
    const qsizetype table = statement.indexOf(QLatin1String("TABLE"), create + 6, Qt::CaseInsensitive);
    return table < 0 ? -1 : table + 5;
}

}

QString NewTableName(const QString &statement)
{
    const qsizetype from = NameStart(statement);
    if (from < 0)
        return QString();
    const qsizetype paren = statement.indexOf(QLatin1Char('('), from);
    if (paren < 0)
        return QString();
    return statement.mid(from, paren - from).trimmed();
}

QString QualifyCreateTable(const QString &statement, const QString &database, const QString &nameAsWritten)
{
    const QString text = statement.trimmed();
    const qsizetype from = NameStart(text);
    if (from < 0 || nameAsWritten.isEmpty())
        return text;
    // Everything up to the word stays; in the rest, the first mention of the name is the table's own.
    QString rest = text.mid(from);
    const qsizetype at = rest.indexOf(nameAsWritten, 0, Qt::CaseInsensitive);
    if (at >= 0)
        rest.replace(at, nameAsWritten.size(),
                     SqlText::quoteName(database) + QLatin1Char('.') + nameAsWritten);
    return text.left(from) + rest;
}

QString SharedColumnList(const QStringList &oldColumns, const QStringList &newColumns)
{
    QString list;
    for (const QString &column : newColumns) {
        const QString name = column.trimmed();
        for (const QString &old : oldColumns) {
            // The server matches column names without regard to case: `ID` and `id` are one column.
            if (old.trimmed().compare(name, Qt::CaseInsensitive) == 0) {
                list += SqlText::quoteName(name) + QLatin1Char(',');
                break;
            }
        }
    }
    if (list.isEmpty())
        return list;
    list.chop(1);
    return list + QStringLiteral("\r\n");
}

namespace {

QString InsertColumns(const QString &table, const QString &columnList, const QString &from)
{
    return QStringLiteral("insert into ") + table + QLatin1Char('(') + columnList + QLatin1Char(')')
           + QStringLiteral(" select ") + columnList + QStringLiteral(" from ") + from;
}

}

QString TableAlterPlan::copyRows(const QString &columnList) const
{
    return InsertColumns(SqlText::quoteName(database) + QLatin1Char('.') + newName, columnList, backupTable);
}

QString TableAlterPlan::restoreColumns(const QString &columnList) const
{
    return InsertColumns(SqlText::qualified(database, name), columnList, backupTable);
}

TableAlterPlan PlanTableAlter(const QString &database, const QString &name, const QString &edited,
                              const QString &kept, const QDateTime &when, const QStringList &copyColumns)
{
    TableAlterPlan plan;
    const QString table = SqlText::qualified(database, name);
    const QString newTable = SqlText::quoteName(database) + QLatin1Char('.') + NewTableName(edited);
    plan.database = database;
    plan.name = name;
    plan.newName = NewTableName(edited);
    plan.backupTable = SqlText::qualified(database, TableCopy::DatedName(name, when));
    plan.backup = TableCopy::Statement(plan.backupTable, table, copyColumns);
    plan.dropOld = QStringLiteral("drop table ") + table;
    plan.createNew = QualifyCreateTable(edited, database, plan.newName);
    plan.readColumns = QStringLiteral("show full fields from ") + newTable + QLatin1Char(';');
    plan.dropBackup = QStringLiteral("drop table ") + plan.backupTable;
    // The new table is dropped by the name it was created under: by the edited name, in the database.
    plan.dropNew = QStringLiteral("drop table ") + newTable;
    // The old statement names the table as the server writes it (quoted): qualify that spelling.
    plan.recreateOld = QualifyCreateTable(kept, database, NewTableName(kept));
    plan.restoreRows
            = QStringLiteral("insert into ") + table + QStringLiteral(" select * from ") + plan.backupTable;
    plan.readOldColumns = QStringLiteral("show full fields from ") + table + QLatin1Char(';');
    plan.readBackupColumns = QStringLiteral("show full fields from ") + plan.backupTable + QLatin1Char(';');
    plan.countBackup = QStringLiteral("select count(*) from ") + plan.backupTable;
    plan.countNew = QStringLiteral("select count(*) from ") + newTable;
    return plan;
}

QStringList TableUndo(const TableAlterPlan &plan, AlterStep failed)
{
    switch (failed) {
    case AlterStep::DropOld:
    case AlterStep::DropBackup:
        return {plan.dropBackup};
    case AlterStep::CreateNew:
        return {plan.recreateOld, plan.restoreRows, plan.dropBackup};
    case AlterStep::ReadColumns:
    case AlterStep::CopyRows:
    case AlterStep::CreateTriggers:
        return {plan.dropNew, plan.recreateOld, plan.restoreRows, plan.dropBackup};
    default:
        return {};
    }
}

ViewAlterPlan PlanViewAlter(const QString &database, const QString &name, const QString &edited,
                            const QString &kept)
{
    ViewAlterPlan plan;
    plan.dropView = QStringLiteral("drop view ") + SqlText::qualified(database, name);
    plan.useDatabase = UseStatement(database);
    plan.createView = edited;
    plan.restoreView = kept.trimmed();
    return plan;
}

QStringList ViewUndo(const ViewAlterPlan &plan, AlterStep failed)
{
    // Until the old view is dropped there is nothing to put back.
    if (failed != AlterStep::CreateView)
        return {};
    return {plan.useDatabase, plan.restoreView};
}

bool IsProcedureMarker(const QString &marker)
{
    return marker == QLatin1String("[PROC]");
}

QString DropRoutineStatement(const QString &marker, const QString &database, const QString &name)
{
    return (IsProcedureMarker(marker) ? QStringLiteral("DROP PROCEDURE ") : QStringLiteral("DROP FUNCTION "))
           + SqlText::qualified(database, name);
}

QString ShowCreateRoutineStatement(const QString &marker, const QString &database, const QString &name)
{
    return (IsProcedureMarker(marker) ? QStringLiteral("show create procedure ")
                                      : QStringLiteral("show create function "))
           + SqlText::qualified(database, name) + QLatin1Char(';');
}

QString CreateDatabaseStatement(const QString &name)
{
    return QStringLiteral("create database ") + SqlText::quoteName(name) + QLatin1Char(';');
}

QString DropDatabaseStatement(const QString &name)
{
    return QStringLiteral("drop database ") + SqlText::quoteName(name) + QLatin1Char(';');
}

QString UseStatement(const QString &database)
{
    return QStringLiteral("use ") + SqlText::quoteName(database);
}

}
