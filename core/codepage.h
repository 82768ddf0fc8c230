#pragma once

#include <QByteArray>
#include <QString>

// Text files that the program writes itself are in the system code page (nl_langinfo(CODESET)):
// UTF-8 on most systems, Shift-JIS on a Shift-JIS locale. Conversion goes through iconv.
namespace CodePage {

QByteArray name();                                   // e.g. "UTF-8", "SHIFT_JIS"
bool isUtf8();
QByteArray fromUnicode(const QString &text);         // characters that don't fit become '?'
QString toUnicode(const QByteArray &bytes);
// For tests: use this code page instead of the locale's (empty to go back to the locale's).
void setOverride(const QByteArray &codeset);

}
