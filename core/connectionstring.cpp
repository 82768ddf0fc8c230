#include "connectionstring.h"

#include "dberror.h"

namespace ConnectionText {

namespace {

[[noreturn]] void refuse(const QString &why)
{
    throw DbError(0, QStringLiteral("HY000"), QStringLiteral("Invalid connection string: ") + why);
}

QString canonical(const QString &key, const QList<QStringList> &aliases)
{
    for (const QStringList &names : aliases)
        if (names.contains(key))
            return names.first();
    return key;
}

}

QString braced(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + out + QLatin1Char('}');
}

QString value(const QString &text)
{
    const bool special = text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('{'))
                         || text.contains(QLatin1Char('}')) || text.contains(QLatin1Char('='))
                         || text != text.trimmed();
    return special ? braced(text) : text;
}

QList<QPair<QString, QString>> parse(const QString &text, const QList<QStringList> &aliases)
{
    QList<QPair<QString, QString>> pairs;
    QStringList seen;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        const qsizetype semi = text.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // A segment without "=": only blanks may stand there (for example after the last ";").
            const QString rest = text.mid(i, semi < 0 ? -1 : semi - i);
            if (!rest.trimmed().isEmpty())
                refuse(QStringLiteral("a part without a value"));
            i = semi < 0 ? n : semi + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed().toLower();
        if (key.isEmpty())
            refuse(QStringLiteral("a value without a key"));
        qsizetype j = eq + 1;
        while (j < n && text.at(j) == QLatin1Char(' '))
            ++j;
        QString value;
        if (j < n && text.at(j) == QLatin1Char('{')) {
            ++j;
            bool closed = false;
            while (j < n) {
                const QChar c = text.at(j);
                if (c == QLatin1Char('}')) {
                    if (j + 1 < n && text.at(j + 1) == QLatin1Char('}')) {
                        value += c;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += c;
                ++j;
            }
            if (!closed)
                refuse(QStringLiteral("a brace that is not closed"));
            while (j < n && text.at(j) == QLatin1Char(' '))
                ++j;
            if (j < n && text.at(j) != QLatin1Char(';'))
                refuse(QStringLiteral("text after a closing brace"));
            i = j < n ? j + 1 : n;
        } else {
            const qsizetype end = text.indexOf(QLatin1Char(';'), eq + 1);
            value = text.mid(eq + 1, end < 0 ? -1 : end - eq - 1);
            i = end < 0 ? n : end + 1;
        }
        const QString name = canonical(key, aliases);
        if (seen.contains(name))
            refuse(QStringLiteral("the key \"%1\" given twice").arg(key));
        seen << name;
        pairs.append({key, value});
    }
    return pairs;
}

}
