#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Text rules of the query window that need no window and no server: the delimiter table, the header and
// dash lines of a result, the dump folder, the editor's command line and the variables statement.
namespace QueryText {

// The text without its leading and trailing blanks (only the space character; line ends stay).
QString trimSpaces(const QString &text);

// The field delimiter chosen by the list index of cboDelimiter: " ", tab, "|", ",", ":", ";", else empty.
QString delimiterFor(int index);

// The header line: each name followed by the delimiter, the last delimiter cut.
QString headerLine(const QStringList &names, const QString &delimiter);
// The dash line under the header: one "-" per byte of the header in the system code page.
QByteArray dashLine(const QString &header);

// The dump folder as used for a run: the setting trimmed; empty or not an existing directory gives the
// program's own directory; a path separator is added at the end when missing.
QString normalisedDumpFolder(const QString &setting, const QString &programFolder);
QString dumpFileName();

// The editor's command line as shown in a message: the editor, one blank, the dump folder and
// "sqldump.dat".
QString editorCommandLine(const QString &editor, const QString &dumpFolder);
// Starts the editor on the dump file without waiting for it: the setting split into program and
// arguments (quotes honoured), the dump path added as one further argument. False when it could not start.
bool startEditor(const QString &editor, const QString &dumpPath);

// A user-variable name as kept: every "@" removed.
QString variableName(const QString &typed);
// The name as it follows "@" in a statement: plain names as written, others quoted with backticks.
QString variableReference(const QString &name);
// "select @a,@b" + CR LF for the names a and b; empty text for no names.
QString variablesStatement(const QStringList &names);

// Settings kept as text: "1"/"0" for a check box (also reads "True"), a list index as decimal.
QString boolText(bool value);
bool boolFromText(const QString &text, bool fallback);
int indexFromText(const QString &text, int fallback, int count);

}
