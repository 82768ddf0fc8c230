#include "maintenance/maintlogic.h"

#include "core/sqltext.h"
#include "core/tablecopy.h"

namespace MaintLogic {

namespace Texts {

QString backedUp(const QString &folder)
{
    return QStringLiteral("「") + folder + QStringLiteral("」にﾊﾞｯｸｱｯﾌﾟしました。");
}

QString restored(const QString &folder)
{
    return QStringLiteral("「") + folder + QStringLiteral("」から復元しました。");
}

QString scriptsSaved(const QString &folder)
{
    return QStringLiteral("「") + folder + QStringLiteral("」にｸﾘｴｲﾄScriptを保存しました。");
}

QString fileExists(const QString &path)
{
    return QStringLiteral("ﾌｧｲﾙ「") + path + QStringLiteral("」が既にあります。上書きはしません。");
}

QString noRestoreTable(const QString &description)
{
    return QStringLiteral("このｻｰﾊﾞｰには RESTORE TABLE がないため、.frm ﾌｧｲﾙからは復元できません。"
                          "ﾃｰﾌﾞﾙは削除していません。\r\n")
        + description;
}

QString otherTable(const QString &file, const QString &table, const QString &database)
{
    return QStringLiteral("ﾌｧｲﾙ「") + file + QStringLiteral("」はﾃﾞｰﾀﾍﾞｰｽ ") + database
        + QStringLiteral(" のﾃｰﾌﾞﾙ ") + table + QStringLiteral(" のﾊﾞｯｸｱｯﾌﾟです。別のﾃｰﾌﾞﾙには復元しません。何も変更していません。");
}

namespace {
// At most 20 entries, then how many more.
QString shortList(const QStringList &entries)
{
    if (entries.isEmpty())
        return QStringLiteral("なし");
    if (entries.size() <= 20)
        return entries.join(QStringLiteral(", "));
    return entries.mid(0, 20).join(QStringLiteral(", "))
        + QStringLiteral(" ほか %1 件").arg(entries.size() - 20);
}
const QString NothingChanged = QStringLiteral("復元しません。何も変更していません。");
}

QString foreignFile(const QString &file, const QString &table, qint64 statements, const QStringList &creates,
                    const QStringList &destroys, const QStringList &keptAlso)
{
    QString text = QStringLiteral("ﾌｧｲﾙ「") + file + QStringLiteral("」は Tablora のﾊﾞｯｸｱｯﾌﾟではありません。\r\n")
        + QStringLiteral("文の数: %1\r\n").arg(statements) + QStringLiteral("作成するもの: ") + shortList(creates)
        + QStringLiteral("\r\n削除・変更するもの: ") + shortList(destroys);
    if (!keptAlso.isEmpty())
        text += QStringLiteral("\r\nﾃｰﾌﾞﾙ ") + table + QStringLiteral(" のほかに復元の間退避しておくもの: ")
            + shortList(keptAlso);
    return text + QStringLiteral("\r\n\r\nﾃｰﾌﾞﾙ ") + table + QStringLiteral(" の復元として実行しますか？");
}

QString dropsDatabase(const QString &file, const QStringList &statements)
{
    return QStringLiteral("ﾌｧｲﾙ「") + file + QStringLiteral("」はﾃﾞｰﾀﾍﾞｰｽを削除します（")
        + statements.join(QStringLiteral(", ")) + QStringLiteral("）。") + NothingChanged;
}

QString cannotKeepAside(const QString &file, const QString &table, const QStringList &statements)
{
    return QStringLiteral("ﾌｧｲﾙ「") + file + QStringLiteral("」はﾃｰﾌﾞﾙ ") + table
        + QStringLiteral(" のほかに、退避できないものを削除・変更します。") + NothingChanged
        + QStringLiteral("\r\n") + statements.join(QStringLiteral("\r\n"));
}

QString versionedRestore(const QStringList &tables)
{
    return QStringLiteral("次のﾃｰﾌﾞﾙはｼｽﾃﾑﾊﾞｰｼﾞｮﾝ管理されています。復元すると履歴（過去の版の行）は"
                          "失われます。\r\n")
        + tables.join(QStringLiteral(", ")) + QStringLiteral("\r\n\r\n復元しますか？");
}

QString triggersBack(const QString &table, const QStringList &names)
{
    return QStringLiteral("ﾌｧｲﾙにﾄﾘｶﾞｰがなかったため、ﾃｰﾌﾞﾙ ") + table + QStringLiteral(" のﾄﾘｶﾞｰ ")
        + names.join(QStringLiteral(", ")) + QStringLiteral(" を作成し直しました。");
}

QString triggersLost(const QString &table, const QStringList &names)
{
    return QStringLiteral("ﾃｰﾌﾞﾙ ") + table + QStringLiteral(" のﾄﾘｶﾞｰ ") + names.join(QStringLiteral(", "))
        + QStringLiteral(" は新しい定義に作成できませんでした。ｴﾗｰ欄にその文があります。");
}

QString notCreated(const QString &table, const QString &database)
{
    return QStringLiteral("ﾌｧｲﾙは最後まで実行されましたが、ﾃﾞｰﾀﾍﾞｰｽ ") + database + QStringLiteral(" にﾃｰﾌﾞﾙ ")
        + table + QStringLiteral(" が作られませんでした。");
}

QString keptAside(const QString &aside, const QString &description)
{
    return QStringLiteral("元に戻せませんでした。ﾃﾞｰﾀはﾃｰﾌﾞﾙ ") + aside + QStringLiteral(" に残っています。\r\n")
        + description;
}

QString tableFailed(const QString &table, const QString &description, bool restore)
{
    return QStringLiteral("「") + table
        + (restore ? QStringLiteral("」の復元に失敗しました。") : QStringLiteral("」のﾊﾞｯｸｱｯﾌﾟに失敗しました。"))
        + QStringLiteral("\r\n") + description;
}

QString interrupted(int done, int total, const QStringList &notReached)
{
    QString text = QString::number(done) + QLatin1Char('/') + QString::number(total)
                   + QStringLiteral(" 件を終えたところで中断しました。");
    if (!notReached.isEmpty())
        text += QStringLiteral("\r\n終わっていないもの: ") + notReached.join(QStringLiteral(", "));
    return text;
}

}

double leadingNumber(const QString &text)
{
    // Blanks are passed over; the number ends at the first character that cannot continue it.
    QString digits;
    bool point = false;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')
            || c == QLatin1Char('\r'))
            continue;
        if ((c == QLatin1Char('-') || c == QLatin1Char('+')) && digits.isEmpty()) {
            digits += c;
            continue;
        }
        if (c == QLatin1Char('.') && !point) {
            point = true;
            digits += c;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        digits += c;
    }
    bool ok = false;
    const double value = digits.toDouble(&ok);
    return ok ? value : 0.0;
}

Scope scopeOf(const QString &preTable)
{
    if (preTable.isEmpty())
        return Scope::None;
    return leadingNumber(preTable) == 0.0 ? Scope::All : Scope::One;
}

const Variant &variant(Operation operation)
{
    static const Variant variants[] = {
        {QStringLiteral("ﾃｰﾌﾞﾙの検査を行います。"), QStringLiteral("全ﾃｰﾌﾞﾙの検査を行います。"),
         QStringLiteral("問題はありませんでした。"), QStringLiteral("検査で問題が見つかりました。")},
        {QStringLiteral("ﾃｰﾌﾞﾙの最適化を行います。"), QStringLiteral("全ﾃｰﾌﾞﾙの最適化を行います。"),
         QStringLiteral("最適化しました。"), QStringLiteral("最適化でｴﾗｰが報告されました。")},
        {QStringLiteral("ﾃｰﾌﾞﾙの修復を行います。"), QStringLiteral("全ﾃｰﾌﾞﾙの修復を行います。"),
         QStringLiteral("修復しました。"), QStringLiteral("修復でｴﾗｰが報告されました。")},
        {QStringLiteral("ﾃｰﾌﾞﾙのﾃﾞｰﾀｺﾋﾟｰを行います。"), QStringLiteral("全ﾃｰﾌﾞﾙのﾃﾞｰﾀｺﾋﾟｰを行います。"),
         QStringLiteral("ﾃｰﾌﾞﾙをｺﾋﾟｰしました。"), QString()},
    };
    return variants[int(operation)];
}

QString copyName(const QString &table, const QDate &day)
{
    return TableCopy::FittedName(QStringLiteral("back_"), table, day.toString(QStringLiteral("_yy_MM_dd")));
}

QString statement(Operation operation, const QString &database, const QString &name, const QDate &day,
                  const QStringList &copyColumns)
{
    const QString object = SqlText::qualified(database, name);
    switch (operation) {
    case Operation::Check: return QStringLiteral("check table ") + object + QLatin1Char(' ');
    case Operation::Optimize: return QStringLiteral("optimize table ") + object;
    case Operation::Repair: return QStringLiteral("repair table ") + object;
    case Operation::Copy:
        return TableCopy::Statement(SqlText::qualified(database, copyName(name, day)), object, copyColumns);
    }
    return QString();
}

namespace {
bool isError(const Finding &row)
{
    return row.msgType.compare(QLatin1String("error"), Qt::CaseInsensitive) == 0;
}
}

QList<Finding> problemsOf(Operation operation, const QList<Finding> &answer)
{
    switch (operation) {
    case Operation::Check: {
        bool problem = false;
        QString lastStatus;
        bool haveStatus = false;
        for (const Finding &row : answer) {
            if (isError(row))
                problem = true;
            if (row.msgType.compare(QLatin1String("status"), Qt::CaseInsensitive) == 0) {
                lastStatus = row.msgText;
                haveStatus = true;
            }
        }
        if (haveStatus && lastStatus.compare(QLatin1String("OK"), Qt::CaseInsensitive) != 0)
            problem = true;
        return problem ? answer : QList<Finding>();
    }
    case Operation::Optimize:
    case Operation::Repair: {
        QList<Finding> errors;
        for (const Finding &row : answer)
            if (isError(row))
                errors.append(row);
        return errors;
    }
    case Operation::Copy: break;
    }
    return {};
}

QString formatFindings(const QList<Finding> &findings, const QString &separator)
{
    QStringList lines;
    for (const Finding &f : findings)
        lines << f.table + QStringLiteral(" : ") + f.msgType + QStringLiteral(" : ") + f.msgText;
    return lines.join(separator);
}

QString backupStatement(const QString &tableList, const QString &escapedFolder)
{
    return QStringLiteral("backup table ") + tableList + QStringLiteral(" to '") + escapedFolder
        + QLatin1Char('\'');
}

QString restoreStatement(const QString &tableList, const QString &escapedFolder)
{
    return QStringLiteral("restore table ") + tableList + QStringLiteral(" from '") + escapedFolder
        + QLatin1Char('\'');
}

QString dropStatement(const QString &database, const QString &name)
{
    return QStringLiteral("drop table ") + SqlText::qualified(database, name);
}

QString tableList(const QString &database, const QStringList &names)
{
    QStringList parts;
    for (const QString &name : names)
        parts << SqlText::qualified(database, name);
    return parts.join(QLatin1Char(','));
}

bool isLogicalBackupFile(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".sql"), Qt::CaseInsensitive);
}

QStringList restoreNames(const QStringList &selectedFiles)
{
    QStringList names;
    for (QString name : selectedFiles) {
        if (isLogicalBackupFile(name)) {
            // Its table may well have ".frm" in its name: the drop must name that table, no other.
            name.chop(4);
            name = nameOfFile(name);
        } else if (name.endsWith(QLatin1String(".frm"), Qt::CaseInsensitive)) {
            // Only the ending: "a.frmb.frm" is the file of table a.frmb.
            name.chop(4);
        }
        names << name;
    }
    if (names.isEmpty())
        names << QString();
    return names;
}

int restoreTotal(const QStringList &names)
{
    const int last = int(names.size()) - 1;
    return last <= 0 ? 1 : 2 * last;
}

QString fileNameFor(const QString &name)
{
    QString file = name;
    file.replace(QLatin1Char('@'), QStringLiteral("@0040"));
    file.replace(QLatin1Char('/'), QStringLiteral("@002f"));
    return file;
}

QString nameOfFile(const QString &fileName)
{
    QString name;
    for (qsizetype i = 0; i < fileName.size(); ++i) {
        const QStringView code = QStringView(fileName).mid(i + 1, 4);
        if (fileName[i] == QLatin1Char('@') && code == QLatin1String("002f")) {
            name += QLatin1Char('/');
            i += 4;
        } else if (fileName[i] == QLatin1Char('@') && code == QLatin1String("0040")) {
            name += QLatin1Char('@');
            i += 4;
        } else {
            name += fileName[i];
        }
    }
    return name;
}

QString backupFileName(const QString &table)
{
    return fileNameFor(table) + QStringLiteral(".sql");
}

QString scriptFileName(const QString &kind, const QString &name)
{
    return kind + QLatin1Char('_') + fileNameFor(name) + QStringLiteral(".sql");
}

QString serverCharset(const QByteArray &codePage)
{
    const QByteArray upper = codePage.toUpper();
    if (upper == "SHIFT_JIS" || upper == "SJIS" || upper == "CP932" || upper == "WINDOWS-31J")
        return QStringLiteral("cp932");
    if (upper == "EUC-JP" || upper == "EUCJP")
        return QStringLiteral("ujis");
    if (upper == "ISO-8859-1" || upper == "LATIN1")
        return QStringLiteral("latin1");
    return QStringLiteral("utf8mb4");
}

QString loadStatement(const QString &escapedPath, const QString &database, const QString &table,
                      const QString &charset, const QString &escapedDelimiter)
{
    return QStringLiteral("load data infile '") + escapedPath + QStringLiteral("' into table ")
        + SqlText::qualified(database, table) + QStringLiteral(" character set ") + charset
        + QStringLiteral(" fields terminated by '") + escapedDelimiter
        + QStringLiteral("' lines terminated by '\\n'");
}

QString unloadStatement(const QString &escapedPath, const QString &database, const QString &table,
                        const QString &charset, const QString &escapedDelimiter)
{
    return QStringLiteral("select * from ") + SqlText::qualified(database, table)
        + QStringLiteral(" into outfile '") + escapedPath + QStringLiteral("' character set ") + charset
        + QStringLiteral(" fields terminated by '") + escapedDelimiter
        + QStringLiteral("' lines terminated by '\\n'");
}

}
