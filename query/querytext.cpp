#include "querytext.h"

#include "core/codepage.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace QueryText {

QString trimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString delimiterFor(int index)
{
    switch (index) {
    case 0: return QStringLiteral(" ");
    case 1: return QStringLiteral("\t");
    case 2: return QStringLiteral("|");
    case 3: return QStringLiteral(",");
    case 4: return QStringLiteral(":");
    case 5: return QStringLiteral(";");
    default: return QString();
    }
}

QString headerLine(const QStringList &names, const QString &delimiter)
{
    return names.join(delimiter);
}

QByteArray dashLine(const QString &header)
{
    return QByteArray(CodePage::fromUnicode(header).size(), '-');
}

QString normalisedDumpFolder(const QString &setting, const QString &programFolder)
{
    QString folder = setting.trimmed();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = programFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString dumpFileName()
{
    return QStringLiteral("sqldump.dat");
}

QString editorCommandLine(const QString &editor, const QString &dumpFolder)
{
    return editor + QLatin1Char(' ') + dumpFolder + dumpFileName();
}

bool startEditor(const QString &editor, const QString &dumpPath)
{
    // The setting is taken apart once, honouring the quotes the user wrote in it; the dump file's path
    // follows as one argument of its own, so blanks in a folder name never split it and nothing in it
    // becomes an option.
    QStringList parts = QProcess::splitCommand(editor);
    if (parts.isEmpty() || dumpPath.isEmpty())
        return false;
    const QString program = parts.takeFirst();
    parts << dumpPath;
    return QProcess::startDetached(program, parts);
}

QString variableName(const QString &typed)
{
    QString name = typed;
    name.remove(QLatin1Char('@'));
    return name;
}

QString variableReference(const QString &name)
{
    // A plain name (letters, digits, "_", "$", ".") goes as written; any other is quoted with backticks,
    // a backtick inside doubled, so that no name can end the reference and add to the statement.
    static const QRegularExpression plain(QStringLiteral("^[\\w$.]+$"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    if (plain.match(name).hasMatch())
        return name;
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QStringLiteral("``"));
    return QLatin1Char('`') + quoted + QLatin1Char('`');
}

QString variablesStatement(const QStringList &names)
{
    QString list;
    for (const QString &name : names)
        list += QLatin1Char('@') + variableReference(name) + QLatin1Char(',');
    if (list.isEmpty())
        return QString();
    list.chop(1);
    return QStringLiteral("select ") + list + QStringLiteral("\r\n");
}

QString boolText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

bool boolFromText(const QString &text, bool fallback)
{
    const QString t = text.trimmed();
    if (t == QLatin1String("1") || t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t == QLatin1String("0") || t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return fallback;
}

int indexFromText(const QString &text, int fallback, int count)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= 0 && value < count ? value : fallback;
}

}
