#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The rules of schema editing that need no window and no server: reading names out of create statements,
// building the statements of a table rebuild or a view replacement, and what to undo after each step.
namespace SchemaLogic {

enum class ObjectKind { Table, View };

// The kind from the title of the first column of the answer to "show create table": "View" is a view;
// "Table", anything else or no answer (empty text) is taken as a table.
ObjectKind KindFromColumn(const QString &firstColumnTitle);
// Strict reading for dropping: Table, View, or neither (the object is gone).
bool IsTableColumn(const QString &firstColumnTitle);
bool IsViewColumn(const QString &firstColumnTitle);

// The table name as written in a create statement: between "TABLE" (after "CREATE") and the first "("
// after it, trimmed, quotes included. Empty when "CREATE", "TABLE" or "(" is missing.
QString NewTableName(const QString &statement);

// The statement with its table name (as written, just after CREATE ... TABLE) qualified by the database, so
// that the table is created in that database whatever database the connection stands in. The statement is
// trimmed first.
QString QualifyCreateTable(const QString &statement, const QString &database, const QString &nameAsWritten);

// The columns that the old and the new definition share (names compared as the server compares them,
// without regard to case), in the new table's order, each through the name quoting, joined by "," and
// ended by CR LF; empty when they share none.
QString SharedColumnList(const QStringList &oldColumns, const QStringList &newColumns);

// The steps of altering a table or replacing a view, in the order they run.
enum class AlterStep {
    ReadKind,    // show create table: table or view, and the statement as the server has it
    Backup,      // copy the table into the dated backup table
    DropOld,     // drop the old table
    CreateNew,   // create the table from the edited statement
    ReadColumns, // read the new table's columns
    CopyRows,    // copy the shared columns back from the backup, count the rows of both
    CreateTriggers, // create the table's triggers on the new table
    DropBackup,  // drop the backup table
    DropView,    // drop the old view
    CreateView,  // run the edited view statement
};

// Every statement of one table rebuild.
struct TableAlterPlan
{
    QString database;
    QString name;        // the selected table
    QString newName;     // as written in the edited statement (may be quoted)
    QString backupTable; // qualified dated backup name, e.g. shop.orders_202612070831korv
    QString backup;      // create table <backup> select * from <db.name> (the columns named if need be)
    QString dropOld;
    QString createNew;
    QString readColumns;
    QString dropBackup;
    // The undo: drop the new table, re-create the old one from its kept statement, copy the rows back.
    QString dropNew;
    QString recreateOld;
    QString restoreRows;
    QString readOldColumns; // show full fields of the re-created old table
    // The old columns as the server has them when the rows are copied: those of the backup table.
    QString readBackupColumns;
    // The rows kept and the rows copied, compared before the backup is dropped.
    QString countBackup;
    QString countNew;

    // "insert into db.new(list) select list from backup"
    QString copyRows(const QString &columnList) const;
    // "insert into db.name(list) select list from backup": the rows back into a table with generated
    // columns, which refuses "select *".
    QString restoreColumns(const QString &columnList) const;
};

// kept: the table's create statement before editing (the server's own text). copyColumns: every column
// of the table when some are invisible (the backup then names them all), else empty.
TableAlterPlan PlanTableAlter(const QString &database, const QString &name, const QString &edited,
                              const QString &kept, const QDateTime &when,
                              const QStringList &copyColumns = {});

// The statements that put things back after the given step of a table rebuild failed, in order.
QStringList TableUndo(const TableAlterPlan &plan, AlterStep failed);

// Replacing a view: drop it, then run the edited statement in the view's database.
struct ViewAlterPlan
{
    QString dropView;
    QString useDatabase;
    QString createView;  // the edited statement, unchanged
    QString restoreView; // the statement before editing
};

ViewAlterPlan PlanViewAlter(const QString &database, const QString &name, const QString &edited,
                            const QString &kept);
QStringList ViewUndo(const ViewAlterPlan &plan, AlterStep failed);

// Routines: "[PROC]" is a procedure, any other marker a function.
bool IsProcedureMarker(const QString &marker);
QString DropRoutineStatement(const QString &marker, const QString &database, const QString &name);
QString ShowCreateRoutineStatement(const QString &marker, const QString &database, const QString &name);

QString CreateDatabaseStatement(const QString &name);
QString DropDatabaseStatement(const QString &name);
QString UseStatement(const QString &database);

}
