#pragma once

#include <QString>

// Private-profile reading and writing of an initialisation file: [sections] and key=value lines.
// Lookups ignore letter case; writing changes the one line in place and keeps every other line byte for
// byte (sections, keys, comments, line endings, text in any encoding). The program's own lines are read
// and written in the system code page.
namespace IniFile {

// Like GetPrivateProfileString: the value cut to size - 1 characters and trimmed of blanks, or the default.
// Returns the value and sets *length to its length (0 when missing or empty).
QString read(const QString &path, const QString &section, const QString &key, const QString &def,
             int size, int *length = nullptr);
// Writes one value in place (adding the section or key when missing), replacing the file atomically.
bool write(const QString &path, const QString &section, const QString &key, const QString &value);
// Writes several values of several sections in one replacement of the file.
struct Entry { QString section, key, value; };
bool writeAll(const QString &path, const QList<Entry> &entries);

}
