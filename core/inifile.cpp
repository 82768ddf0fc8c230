#include "inifile.h"

#include "codepage.h"

#include <QFile>
#include <QSaveFile>

namespace IniFile {

namespace {

constexpr qint64 MaxFileSize = 4 * 1024 * 1024;

struct Lines
{
    QStringList lines;
    QString eol = QStringLiteral("\n");
    bool readable = true; // false: the file exists but could not be read
};

Lines load(const QString &path)
{
    Lines result;
    QFile file(path);
    if (!file.exists())
        return result;
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize) {
        result.readable = false;
        return result;
    }
    const QString text = CodePage::toUnicode(file.readAll());
    if (text.contains(QLatin1String("\r\n")))
        result.eol = QStringLiteral("\r\n");
    result.lines = text.split(QLatin1Char('\n'));
    for (QString &line : result.lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    if (!result.lines.isEmpty() && result.lines.last().isEmpty())
        result.lines.removeLast();
    return result;
}

bool isSection(const QString &line, QString *name)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const int close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    *name = t.mid(1, close - 1).trimmed();
    return true;
}

bool isKey(const QString &line, const QString &key, QString *value)
{
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0 || line.trimmed().startsWith(QLatin1Char(';')))
        return false;
    if (line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
        return false;
    *value = line.mid(eq + 1);
    return true;
}

// A value that would lose blanks or quotes at its ends when read back is written inside double quotes,
// which the reader removes again.
QString encodeValue(const QString &value)
{
    const bool quoted = value.size() >= 2 && value.startsWith(QLatin1Char('"'))
                        && value.endsWith(QLatin1Char('"'));
    if (value != value.trimmed() || quoted)
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

void setValue(QStringList &lines, const QString &section, const QString &key, const QString &value)
{
    const QString line = key + QLatin1Char('=') + encodeValue(value);
    int sectionAt = -1;
    int lastInSection = -1;
    QString name, current;
    for (int i = 0; i < lines.size(); ++i) {
        if (isSection(lines.at(i), &name)) {
            if (sectionAt >= 0)
                break;
            if (name.compare(section, Qt::CaseInsensitive) == 0)
                sectionAt = lastInSection = i;
            continue;
        }
        if (sectionAt < 0)
            continue;
        if (isKey(lines.at(i), key, &current)) {
            lines[i] = line;
            return;
        }
        if (!lines.at(i).trimmed().isEmpty())
            lastInSection = i;
    }
    if (sectionAt < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << QLatin1Char('[') + section + QLatin1Char(']') << line;
        return;
    }
    lines.insert(lastInSection + 1, line);
}

bool store(const QString &path, const Lines &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QString text = content.lines.join(content.eol);
    if (!content.lines.isEmpty())
        text += content.eol;
    file.write(CodePage::fromUnicode(text));
    return file.commit();
}

}

QString read(const QString &path, const QString &section, const QString &key, const QString &def, int size,
             int *length)
{
    QString value = def;
    const Lines content = load(path);
    bool inSection = false;
    QString name, raw;
    for (const QString &line : content.lines) {
        if (isSection(line, &name)) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection && isKey(line, key, &raw)) {
            value = raw.trimmed();
            if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
                value = value.mid(1, value.size() - 2);
            break;
        }
    }
    const int nul = value.indexOf(QChar(0));
    if (nul >= 0)
        value.truncate(nul);
    if (size > 0 && value.size() > size - 1)
        value.truncate(size - 1);
    if (length)
        *length = int(value.size());
    return value;
}

bool write(const QString &path, const QString &section, const QString &key, const QString &value)
{
    return writeAll(path, {{section, key, value}});
}

bool writeAll(const QString &path, const QList<Entry> &entries)
{
    Lines content = load(path);
    if (!content.readable)
        return false; // never replace a file whose content we could not read
    for (const Entry &e : entries)
        setValue(content.lines, e.section, e.key, e.value);
    return store(path, content);
}

}
