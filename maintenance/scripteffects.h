#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What one statement of a file of statements would do to the objects of the server, read from its start
// as the server reads it (version comments included, ordinary comments passed over): what it creates, and
// what it drops, empties, deletes from, renames, alters or replaces.
namespace ScriptEffects {

struct ObjectName
{
    QString database; // as qualified in the statement; empty: the default database at that point
    QString name;
    QString written;  // as the statement writes it, quotes included
};

struct Effect
{
    enum class Kind { None, Use, Create, Destroy };
    Kind kind = Kind::None;
    // TABLE, VIEW, TRIGGER, PROCEDURE, FUNCTION, EVENT, DATABASE, USER, … (DATABASE for SCHEMA, TABLE for
    // an index, whose table changes).
    QString type;
    // The objects named (for Use, the database as name). Empty with Destroy when they cannot be read
    // (a DELETE over several tables, an unknown form): such a statement cannot be judged.
    QList<ObjectName> objects;
    // How it is shown: "DROP TABLE customers", "TRUNCATE TABLE items", "CREATE OR REPLACE VIEW v"; the
    // start of the statement when its objects cannot be read.
    QString text;
};

Effect effectOf(const QByteArray &statement);

}
