#include "mainwindow/mainlogic.h"

#include <QStringList>

namespace MainLogic {

QString ConnectValidation(const QString &dsn, const QString &driver, const QString &server,
                          const QString &user, const QString &port)
{
    if (dsn == NoDsn) {
        if (driver.trimmed().isEmpty())
            return QStringLiteral("ﾄﾞﾗｲﾊﾞを選択して下さい。");
        if (server.trimmed().isEmpty())
            return QStringLiteral("ｻｰﾊﾞｰ名を選択して下さい。");
        if (user.trimmed().isEmpty())
            return QStringLiteral("ﾕｰｻﾞｰ名を選択して下さい。");
        if (port.trimmed().isEmpty())
            return QStringLiteral("ﾎﾟｰﾄを選択して下さい。");
        return QString();
    }
    if (dsn.trimmed().isEmpty())
        return QStringLiteral("ﾄﾞﾗｲﾊﾞを選択して下さい。");
    return QString();
}

bool IsLocalhost(const QString &expandedConnectionString)
{
    // Segments end at a ";" outside braces: a value in braces (written so when it holds ";", "{", "}" or
    // "=") is one value, whatever it contains.
    QStringList segments;
    QString current;
    bool inBraces = false;
    const QString &text = expandedConnectionString;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inBraces) {
            current += c;
            if (c == QLatin1Char('}')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('}'))
                    current += text.at(++i);
                else
                    inBraces = false;
            }
            continue;
        }
        if (c == QLatin1Char(';')) {
            segments << current;
            current.clear();
            continue;
        }
        if (c == QLatin1Char('{') && current.trimmed().endsWith(QLatin1Char('=')))
            inBraces = true;
        current += c;
    }
    segments << current;
    for (qsizetype i = 0; i + 1 < segments.size(); ++i) {
        const QString &segment = segments[i];
        const qsizetype eq = segment.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        QString value = segment.mid(eq + 1).trimmed();
        if (value.startsWith(QLatin1Char('{')) && value.endsWith(QLatin1Char('}')))
            value = value.mid(1, value.size() - 2).replace(QLatin1String("}}"), QLatin1String("}"));
        if (segment.left(eq).trimmed() == QLatin1String("SERVER") && value == QLatin1String("localhost"))
            return true;
    }
    return false;
}

QString ListEntry(const QString &marker, const QString &name)
{
    return marker + QLatin1Char('\t') + name;
}

QString EntryName(const QString &entry)
{
    const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
    return tab < 0 ? entry : entry.mid(tab + 1);
}

QString EntryKind(const QString &entry)
{
    const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
    return tab < 0 ? QString() : entry.left(tab);
}

QString TableMarker(const QString &firstColumnTitle)
{
    return firstColumnTitle.trimmed() == QLatin1String("Table") ? QStringLiteral("[TABLE]")
                                                                 : QStringLiteral("[VIEW]");
}

}
