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
    const QStringList segments = expandedConnectionString.split(QLatin1Char(';'));
    for (qsizetype i = 0; i + 1 < segments.size(); ++i) {
        const QString &segment = segments[i];
        const qsizetype eq = segment.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (segment.left(eq).trimmed() == QLatin1String("SERVER")
            && segment.mid(eq + 1).trimmed() == QLatin1String("localhost"))
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
