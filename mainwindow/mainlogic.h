#pragma once

#include <QString>

// Rules of the main window that need no window: connect validation, the is-localhost test, list entries.
namespace MainLogic {

// The "none" entry of the data-source list: connect by driver.
inline const QString NoDsn = QStringLiteral("(なし)");

// What the connect panel checks before connecting, in order; the message of the first failing check,
// or empty text when the entries are enough to connect.
QString ConnectValidation(const QString &dsn, const QString &driver, const QString &server,
                          const QString &user, const QString &port);

// Whether the expanded connection string names the server exactly "localhost" under the key "SERVER",
// in a segment other than the last.
bool IsLocalhost(const QString &expandedConnectionString);

// List entries: marker, tab, name.
QString ListEntry(const QString &marker, const QString &name);
QString EntryName(const QString &entry);
QString EntryKind(const QString &entry);

// The marker of a table-list entry from the answer to "show create table": "[TABLE]" when the first
// column's title is "Table", else "[VIEW]".
QString TableMarker(const QString &firstColumnTitle);

}
