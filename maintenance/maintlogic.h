#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// The rules of the maintenance and transfer buttons that need no window: the scope marker, the texts and
// statements of check, optimise, repair and copy, the findings in the server's answer, the backup and
// restore statements, the restore dialog's name list and the file names of the written backups.
namespace MaintLogic {

// Texts shown by the handlers.
namespace Texts {
inline const QString NoDatabase = QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽが選択されていません。");
inline const QString NoTables = QStringLiteral("ﾃｰﾌﾞﾙがありません。");
inline const QString NoTableSelected = QStringLiteral("ﾃｰﾌﾞﾙが選択されていません。");
inline const QString BackupSingle = QStringLiteral("ﾃｰﾌﾞﾙのﾊﾞｯｸｱｯﾌﾟを行います。");
inline const QString BackupAll = QStringLiteral("全ﾃｰﾌﾞﾙのﾊﾞｯｸｱｯﾌﾟを行います。");
// The folder prompt of the table backup: the warning first, a line break, then the prompt.
inline const QString BackupFolderPrompt = QStringLiteral(
    "データは上書きされません。事前に削除または、保存先を別けて下さい。\r\n保存先のﾌｫﾙﾀﾞを選択して下さい。");
inline const QString ScriptFolderPrompt = QStringLiteral("ｸﾘｴｲﾄScriptの保存先のﾌｫﾙﾀﾞを選択して下さい。");
inline const QString InOutFolderPrompt = QStringLiteral("入出力ﾌｧｲﾙのﾌｫﾙﾀﾞを選択して下さい。");
inline const QString RestoreConfirm =
    QStringLiteral("復元前に、既存のテーブルは削除する必要があります。\r\n\r\n削除を行い、復元しますか？");
inline const QString RestoreLabel =
    QStringLiteral("復元したいバックアップファイルを選択してください。\r\n\r\n複数選択も可能です。");
QString backedUp(const QString &folder);     // 「folder」にﾊﾞｯｸｱｯﾌﾟしました。
QString restored(const QString &folder);     // 「folder」から復元しました。
QString scriptsSaved(const QString &folder);
QString fileExists(const QString &path);     // the refusal to overwrite
QString tableFailed(const QString &table, const QString &description, bool restore);
// .frm files on a server without RESTORE TABLE: said before anything is dropped.
QString noRestoreTable(const QString &description);
// A backup file of the program's own that names another table.
QString otherTable(const QString &file, const QString &table, const QString &database);
// The confirmation for a file without the program's header: its statements' count, what it creates, what
// it would drop, empty, delete from, rename, alter or replace, and what is kept aside besides its table.
QString foreignFile(const QString &file, const QString &table, qint64 statements, const QStringList &creates,
                    const QStringList &destroys, const QStringList &keptAlso);
// A file that would drop a database: refused.
QString dropsDatabase(const QString &file, const QStringList &statements);
// A file that would drop or replace objects besides its table that cannot be kept aside: refused.
QString cannotKeepAside(const QString &file, const QString &table, const QStringList &statements);
// System-versioned tables that a restore replaces: their history goes.
QString versionedRestore(const QStringList &tables);
// Triggers that a file without triggers would have taken away: created again, or named when they could
// not be.
QString triggersBack(const QString &table, const QStringList &names);
QString triggersLost(const QString &table, const QStringList &names);
// A file that went through but did not create its table in the database.
QString notCreated(const QString &table, const QString &database);
// A table that could not be put back after its file failed: where its rows are.
QString keptAside(const QString &aside, const QString &description);
// A run over several tables or objects that ended early: how many of how many it finished, and the
// names it did not finish (the failing one first).
QString interrupted(int done, int total, const QStringList &notReached);
}

// What lblPreTable says: no database chosen, the database chosen last (all tables), or one object.
enum class Scope { None, All, One };
// The marker's numeric value read as a leading number ("0:database,1:table" reads as 0).
double leadingNumber(const QString &text);
Scope scopeOf(const QString &preTable);

// The four operations that share the table-by-table procedure.
enum class Operation { Check, Optimize, Repair, Copy };

struct Variant
{
    QString singleConfirm;   // after the selected entry as listed
    QString allConfirm;
    QString resultMessage;
    QString findingsHeading; // when the server's answer reports a problem
};
const Variant &variant(Operation operation);

// The name of a dated copy of a table: back_<name>_yy_mm_dd, the name shortened to fit when it is long.
QString copyName(const QString &table, const QDate &day);
// The statement for one object of the database. copyColumns: for a copy of a table with invisible
// columns, every column (named in the statement); else empty.
QString statement(Operation operation, const QString &database, const QString &name, const QDate &day,
                  const QStringList &copyColumns = {});

// One row of the server's answer to a maintenance statement.
struct Finding
{
    QString table, msgType, msgText;
    bool operator==(const Finding &) const = default;
};
// The rows that report a problem. Check: all rows of an answer holding a row of Msg_type "error" or
// ending in a status other than "OK". Optimise and repair: the rows of Msg_type "error". Copy: none.
QList<Finding> problemsOf(Operation operation, const QList<Finding> &answer);
// The findings as lines "table : type : text".
QString formatFindings(const QList<Finding> &findings, const QString &separator);

// Backup and restore statements; folder is already escaped for the literal.
QString backupStatement(const QString &tableList, const QString &escapedFolder);
QString restoreStatement(const QString &tableList, const QString &escapedFolder);
QString dropStatement(const QString &database, const QString &name);
// "db.a,db.b" for the names.
QString tableList(const QString &database, const QStringList &names);

// The restore dialog's name list from the selected file names: the ending ".frm" removed without regard
// to case; for a file of statements the table it was written for (the trailing ".sql" removed, the name
// decoded as fileNameFor encodes it). One empty element when nothing is selected.
QStringList restoreNames(const QStringList &selectedFiles);
bool isLogicalBackupFile(const QString &fileName);
// Progress total of a restore: twice the last index of the name list, or 1 when that is 0.
int restoreTotal(const QStringList &names);

// File names of the written backups and scripts: a name's "/" (not allowed in a file name) written as
// the server writes it on disk, "@002f", and so that this can be read back, "@" as "@0040".
QString fileNameFor(const QString &name);
QString nameOfFile(const QString &fileName);
QString backupFileName(const QString &table);                     // <table>.sql
QString scriptFileName(const QString &kind, const QString &name); // <kind>_<name>.sql

// The server's character set for text files in the given code page (iconv name).
QString serverCharset(const QByteArray &codePage);

// Import and export through the server's own file access; path and delimiter are already escaped for
// their literals. Lines end with a line feed; a null is written and read as \N.
QString loadStatement(const QString &escapedPath, const QString &database, const QString &table,
                      const QString &charset, const QString &escapedDelimiter);
QString unloadStatement(const QString &escapedPath, const QString &database, const QString &table,
                        const QString &charset, const QString &escapedDelimiter);

}
