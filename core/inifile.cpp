#include "inifile.h"

#include "codepage.h"

#include <QFile>
#include <QSaveFile>

namespace IniFile {

namespace {

constexpr qint64 MaxFileSize = 4 * 1024 * 1024;

// One line as the file holds it: its bytes and its own ending ("\r\n", "\n", or none on a last line).
// Lines that the program does not write go back exactly as they came, whatever their encoding.
struct Line
{
    QByteArray bytes;
    QByteArray end;
    QString text() const { return CodePage::toUnicode(bytes); }
};

struct Lines
{
    QList<Line> lines;
    QByteArray eol = "\n"; // for lines the program adds: the file's own
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
    const QByteArray raw = file.readAll();
    if (raw.contains("\r\n"))
        result.eol = "\r\n";
    qsizetype from = 0;
    while (from < raw.size()) {
        const qsizetype newline = raw.indexOf('\n', from);
        Line line;
        if (newline < 0) {
            line.bytes = raw.mid(from);
            from = raw.size();
        } else {
            line.bytes = raw.mid(from, newline - from);
            line.end = "\n";
            from = newline + 1;
        }
        if (line.bytes.endsWith('\r') && !line.end.isEmpty()) {
            line.bytes.chop(1);
            line.end = "\r\n";
        }
        result.lines << line;
    }
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

void setValue(Lines &content, const QString &section, const QString &key, const QString &value)
{
    QList<Line> &lines = content.lines;
    const Line line{CodePage::fromUnicode(key + QLatin1Char('=') + encodeValue(value)), content.eol};
    int sectionAt = -1;
    int lastInSection = -1;
    QString name, current;
    for (int i = 0; i < lines.size(); ++i) {
        const QString text = lines.at(i).text();
        if (isSection(text, &name)) {
            if (sectionAt >= 0)
                break;
            if (name.compare(section, Qt::CaseInsensitive) == 0)
                sectionAt = lastInSection = i;
            continue;
        }
        if (sectionAt < 0)
            continue;
        if (isKey(text, key, &current)) {
            // The line keeps its own ending.
            lines[i].bytes = line.bytes;
            return;
        }
        if (!text.trimmed().isEmpty())
            lastInSection = i;
    }
    // A line added after the last one: that one gets its ending first.
    const auto endBefore = [&](int at) {
        if (at > 0 && lines[at - 1].end.isEmpty())
            lines[at - 1].end = content.eol;
    };
    if (sectionAt < 0) {
        endBefore(int(lines.size()));
        if (!lines.isEmpty() && !lines.last().text().trimmed().isEmpty())
            lines << Line{QByteArray(), content.eol};
        lines << Line{CodePage::fromUnicode(QLatin1Char('[') + section + QLatin1Char(']')), content.eol}
              << line;
        return;
    }
    endBefore(lastInSection + 1);
    lines.insert(lastInSection + 1, line);
}

bool store(const QString &path, const Lines &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray bytes;
    for (const Line &line : content.lines)
        bytes += line.bytes + line.end;
    file.write(bytes);
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
    for (const Line &entry : content.lines) {
        const QString line = entry.text();
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
        setValue(content, e.section, e.key, e.value);
    return store(path, content);
}

}
