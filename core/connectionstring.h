#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The text form of a connection ("key=value;key=value"), written and read so that no value can change
// its meaning: a value holding ";", "{", "}" or "=" (or blanks at its ends) is written in braces with
// every "}" doubled, as ODBC does, and read back exactly.
namespace ConnectionText {

// The value as it goes behind "key=": unchanged when ordinary, else in braces with "}" doubled.
QString value(const QString &text);
// The value always in braces, "}" doubled (the driver's name is written that way).
QString braced(const QString &text);

// Takes "key=value;..." apart: keys trimmed and lower-cased, values exactly as written (braces removed,
// "}}" read as "}"). Throws DbError for a value whose brace is not closed, text after a closing brace,
// or a key (or another name of the same key, given in aliases) given twice.
QList<QPair<QString, QString>> parse(const QString &text,
                                     const QList<QStringList> &aliases = {});

}
