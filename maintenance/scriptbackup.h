#pragma once

#include <QList>
#include <QString>

class Connection;

// The create scripts of a database's objects: one file for each table, view, procedure and function,
// loadable by the command-line client. File names carry the kind first ("table_", "view_", "proc_",
// "func_"), so that loading the files in name order creates routines and tables before the views.
namespace ScriptBackup {

struct SchemaObject
{
    QString kind; // "table", "view", "proc", "func"
    QString name;
};

// Every table, view, procedure and function of the database, in that order.
QList<SchemaObject> listObjects(Connection &db, const QString &database);
// Writes one object's create script into a file that must not exist yet. The connection's default
// database should be the object's (see DefaultDatabase), so the text names its neighbours unqualified.
// Throws DbError or std::runtime_error.
void write(Connection &db, const QString &database, const SchemaObject &object, const QString &path);

}
