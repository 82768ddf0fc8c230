#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class Connection;

// Copies of a table that the program makes (the backup of an alter, the copy kept aside during a
// restore, a dated data copy): their names, which fit the server's 64 characters, and the statement that
// copies every column, invisible ones included.
namespace TableCopy {

// The longest name the server takes for a table, in characters.
constexpr qsizetype MaxNameLength = 64;

// prefix + name + suffix when that fits; else the name is cut and followed by "~" and six hexadecimal
// digits made from the whole name, so that two long names that begin alike still get copies of their own.
QString FittedName(const QString &prefix, const QString &name, const QString &suffix);

// The dated copy of a table: <name>_yyyyMMddHHmmkorv, fitted.
QString DatedName(const QString &name, const QDateTime &when);

// What a copy needs to know of a table it copies.
struct Source
{
    // Every column by name, in the table's order, when one of them is invisible ("select *" leaves those
    // out); empty when "*" carries them all.
    QStringList columns;
    // A system-versioned table: its history does not go with any copy.
    bool versioned = false;
};

// The tables of a database (or the one table named) that a plain "select *" copy would not carry whole:
// those with an invisible column and the system-versioned ones, by name. One query. Throws DbError.
QHash<QString, Source> Read(Connection &db, const QString &database, const QString &table = QString());

// Of the tables given (database, name), those that are system-versioned. One query. Throws DbError.
QList<QPair<QString, QString>> Versioned(Connection &db, const QList<QPair<QString, QString>> &tables);

// "create table <target> select * from <source>", or with the columns named (each through the name
// quoting) when there are invisible ones. target and source go into the statement as given.
QString Statement(const QString &target, const QString &source, const QStringList &columns);

}
