#pragma once

#include <QString>

// Helpers for putting names and values into statement texts.
namespace SqlText {

// A plain identifier (letters, digits, _ and $, not starting with a digit, not a reserved word) comes back
// exactly as written; any other name is quoted with backticks, a backtick inside doubled.
QString quoteName(const QString &name);
// "db.name" with each part through quoteName.
QString qualified(const QString &database, const QString &name);
// Escapes a value for a quoted literal without a connection (backslash style, as the server's default mode
// reads it). Prefer Connection::escape when connected.
QString escapeLiteral(const QString &value);
bool isReservedWord(const QString &word);

}
