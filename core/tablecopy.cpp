#include "tablecopy.h"

#include "connection.h"
#include "recordset.h"
#include "sqltext.h"

#include <QCryptographicHash>
#include <QSet>
#include <algorithm>
#include <memory>

namespace TableCopy {

QString FittedName(const QString &prefix, const QString &name, const QString &suffix)
{
    // The server counts characters; a character outside the basic plane takes two QChars here, so the
    // count below errs on the short side.
    if (prefix.size() + name.size() + suffix.size() <= MaxNameLength)
        return prefix + name + suffix;
    const QString mark = QLatin1Char('~')
        + QString::fromLatin1(
            QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(6));
    qsizetype keep = std::max<qsizetype>(0, MaxNameLength - prefix.size() - suffix.size() - mark.size());
    // Never half a character.
    if (keep > 0 && keep < name.size() && name[keep - 1].isHighSurrogate())
        --keep;
    return prefix + name.left(keep) + mark + suffix;
}

QString DatedName(const QString &name, const QDateTime &when)
{
    return FittedName(QString(), name,
                      when.toString(QStringLiteral("_yyyyMMddHHmm")) + QStringLiteral("korv"));
}

QHash<QString, Source> Read(Connection &db, const QString &database, const QString &table)
{
    QString statement = QStringLiteral(
        "select c.TABLE_NAME, c.COLUMN_NAME, c.EXTRA, t.TABLE_TYPE from information_schema.TABLES t"
        " join information_schema.COLUMNS c"
        " on c.TABLE_SCHEMA = t.TABLE_SCHEMA and c.TABLE_NAME = t.TABLE_NAME"
        " where t.TABLE_SCHEMA = '") + db.escape(database) + QLatin1Char('\'');
    if (!table.isEmpty())
        statement += QStringLiteral(" and t.TABLE_NAME = '") + db.escape(table) + QLatin1Char('\'');
    statement += QStringLiteral(" order by c.TABLE_NAME, c.ORDINAL_POSITION");

    QHash<QString, Source> sources;
    QHash<QString, QStringList> columns;
    QSet<QString> hidden;
    std::unique_ptr<Recordset> rs = db.Execute(statement);
    for (; rs && !rs->Eof(); rs->MoveNext()) {
        const QString name = rs->Value(0);
        columns[name] << rs->Value(1);
        if (rs->Value(2).contains(QLatin1String("INVISIBLE"), Qt::CaseInsensitive))
            hidden.insert(name);
        if (rs->Value(3) == QLatin1String("SYSTEM VERSIONED"))
            sources[name].versioned = true;
    }
    closeQuietly(rs);
    for (const QString &name : hidden)
        sources[name].columns = columns.value(name);
    return sources;
}

QList<QPair<QString, QString>> Versioned(Connection &db, const QList<QPair<QString, QString>> &tables)
{
    QList<QPair<QString, QString>> versioned;
    if (tables.isEmpty())
        return versioned;
    QStringList pairs;
    for (const auto &[database, name] : tables)
        pairs << QStringLiteral("('") + db.escape(database) + QStringLiteral("','") + db.escape(name)
                + QStringLiteral("')");
    std::unique_ptr<Recordset> rs = db.Execute(
        QStringLiteral("select TABLE_SCHEMA, TABLE_NAME from information_schema.TABLES"
                       " where TABLE_TYPE = 'SYSTEM VERSIONED' and (TABLE_SCHEMA, TABLE_NAME) in (")
        + pairs.join(QLatin1Char(',')) + QLatin1Char(')'));
    for (; rs && !rs->Eof(); rs->MoveNext())
        versioned.append({rs->Value(0), rs->Value(1)});
    closeQuietly(rs);
    return versioned;
}

QString Statement(const QString &target, const QString &source, const QStringList &columns)
{
    QString list;
    if (columns.isEmpty()) {
        list = QStringLiteral("*");
    } else {
        QStringList quoted;
        for (const QString &column : columns)
            quoted << SqlText::quoteName(column);
        list = quoted.join(QLatin1Char(','));
    }
    return QStringLiteral("create table ") + target + QStringLiteral(" select ") + list
        + QStringLiteral(" from ") + source;
}

}
