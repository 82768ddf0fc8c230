#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Connection;

// A table's triggers, read before the table is dropped (dropping a table drops its triggers) and created
// again on the table that takes its place.
namespace TableTriggers {

struct Trigger
{
    QString name;
    QString statement; // the create statement as the server keeps it
    QString sqlMode;   // the mode it was created under, which decides how its body reads
    QString characterSetClient;  // the character set its text was sent in
    QString collationConnection; // the collation its literals compare under
};

// The triggers of database.table in the order the server fires them. Throws DbError.
QList<Trigger> Read(Connection &db, const QString &database, const QString &table);

// A trigger's create statement (as "show create trigger" gives it) made to act on `table` (a name as it
// goes into a statement); an ordering clause (FOLLOWS / PRECEDES another trigger) is left out, since the
// triggers are created one after another in the order the server fires them.
QString OnTable(const QString &statement, const QString &table);

// Creates each trigger on `table` (a name as it goes into a statement) in `database`, under its own
// sql_mode; the connection's database and sql_mode are put back afterwards. Never throws: for each
// trigger that could not be created, one text (the server's message, a line break, the statement), and
// its name in failedNames when given.
QStringList Create(Connection &db, const QList<Trigger> &triggers, const QString &database,
                   const QString &table, QStringList *failedNames = nullptr);

}
