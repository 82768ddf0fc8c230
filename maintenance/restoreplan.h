#pragma once

#include "maintenance/logicalbackup.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class Connection;

// What running a file of statements that is not one of the program's own backups involves besides the
// table it is chosen for: the other tables and views it would drop, empty, delete from, rename, alter or
// replace (kept aside with the table while it runs), or why it is refused.
struct ForeignRestore
{
    QList<QPair<QString, QString>> keptAlso; // (database, name)
    QStringList dropsDatabase;               // the DROP DATABASE statements, as shown: refused
    QStringList cannotKeep;                  // what cannot be kept aside, as shown: refused
};

// Reads what exists where the summary cannot tell (which table a trigger belongs to). Throws DbError.
ForeignRestore planForeignRestore(Connection &db, const ScriptSummary &summary, const QString &database,
                                  const QString &table);
