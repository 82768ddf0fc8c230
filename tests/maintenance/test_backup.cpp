// Backup and restore through the real main window: the server's statements first, the files of
// statements when the server has no BACKUP TABLE.
#include "windowtest.h"

#include "connection.h"
#include "maintenance/frmrestore.h"
#include "maintenance/maintenance.h"
#include "mainwindow/frmtablora.h"
#include "scripteddialogs.h"
#include "session.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

using Answer = Dialogs::Answer;
using Icon = Dialogs::Icon;

namespace {
QString q(const char *text)
{
    return QString::fromUtf8(text);
}
const QString Warning = QString::fromUtf8(
    "データは上書きされません。事前に削除または、保存先を別けて下さい。\r\n保存先のﾌｫﾙﾀﾞを選択して下さい。");

// Drives the restore dialog: opens the folder, selects the files, confirms.
std::function<int(QWidget *)> pick(const QString &folder, const QStringList &files)
{
    return [folder, files](QWidget *window) {
        auto *dialog = qobject_cast<frmRestore *>(window);
        EXPECT_NE(dialog, nullptr);
        if (!dialog)
            return 0;
        EXPECT_EQ(dialog->windowTitle(), q("復元"));
        EXPECT_EQ(dialog->ui->Label1->text(),
                  q("復元したいバックアップファイルを選択してください。\r\n\r\n複数選択も可能です。"));
        dialog->setDirPath(folder);
        dialog->selectFiles(files);
        dialog->ui->cmdOk->click();
        return dialog->result();
    };
}
}

class BackupRestore : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        loadShop();
    }
    QStringList shopTables() const
    {
        return {q("access_log"),    q("customers"),    q("items"),
                q("order details"), q("order_totals"), q("orders")};
    }
    QStringList filesIn(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
    QString backupFolder(const QString &name)
    {
        const QString folder = work.filePath(name);
        QDir().mkpath(folder);
        return folder;
    }
};

TEST_F(BackupRestore, AllTablesAreBackedUpAndRestoredRowForRow)
{
    chooseDatabase();
    const QString folder = backupFolder(q("all"));
    recorder->clear();
    {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
        window->ui->cmdBackup->click();
        EXPECT_EQ(dialogs.shown[1].kind, ScriptedDialogs::Kind::Folder);
        EXPECT_EQ(dialogs.shown[1].text, Warning);
        EXPECT_EQ(dialogs.messages(), (QStringList{q("全ﾃｰﾌﾞﾙのﾊﾞｯｸｱｯﾌﾟを行います。"),
                                                   q("「") + folder + q("」にﾊﾞｯｸｱｯﾌﾟしました。")}));
    }
    // The server's statement went first, as written; the server had none, so the files were written.
    ASSERT_FALSE(recorder->statements().isEmpty());
    EXPECT_EQ(recorder->statements().first(), q("backup table ") + db + q(".access_log,") + db
                                                  + q(".customers,") + db + q(".items,") + db
                                                  + q(".`order details`,") + db + q(".order_totals,") + db
                                                  + q(".orders to '") + folder + q("'"));
    QStringList expectedFiles;
    for (const QString &t : shopTables())
        expectedFiles << t + q(".sql");
    EXPECT_EQ(filesIn(folder), expectedFiles);
    EXPECT_EQ(window->ui->lblCnt->text(), q("12/12"));

    QMap<QString, QList<QStringList>> before;
    for (const QString &t : shopTables())
        before[t] = tableRows(db, t);
    // Lose data: change rows, drop a table and the view.
    exec(q("UPDATE items SET name = 'x'"));
    exec(q("DELETE FROM access_log"));
    exec(q("DROP VIEW order_totals"));
    exec(q("SET FOREIGN_KEY_CHECKS=0"));
    exec(q("DROP TABLE customers"));
    exec(q("SET FOREIGN_KEY_CHECKS=1"));

    recorder->clear();
    {
        ScriptedDialogs dialogs;
        // Listed in name order; the view's file comes before orders.sql but is run after the tables.
        dialogs.modal(pick(folder, expectedFiles)).answer(Answer::Ok).answer(Answer::Ok);
        window->ui->cmdRestore->click();
        EXPECT_EQ(dialogs.messages(),
                  (QStringList{q("復元前に、既存のテーブルは削除する必要があります。\r\n\r\n削除を行い、復元しますか？"),
                               q("「") + folder + q("」から復元しました。")}));
        EXPECT_EQ(dialogs.shown[1].icon, Icon::Critical);
        EXPECT_EQ(dialogs.shown[1].buttons, Dialogs::Buttons::OkCancel);
    }
    const QStringList sent = recorder->statements();
    for (const QString &t : shopTables())
        EXPECT_TRUE(
            sent.contains(q("drop table ") + db + q(".") + (t.contains(' ') ? q("`") + t + q("`") : t)));
    EXPECT_TRUE(window->ui->txtError->text().isEmpty());
    for (const QString &t : shopTables())
        EXPECT_EQ(tableRows(db, t), before[t]) << t.toStdString();
    EXPECT_EQ(scalar(q("select TABLE_TYPE from information_schema.TABLES where TABLE_SCHEMA='") + db
                     + q("' and TABLE_NAME='order_totals'")),
              q("VIEW"));
    // The program's connection has its own settings back.
    auto rs =
        Session::instance().db().Execute(q("select @@foreign_key_checks, @@time_zone = @@global.time_zone"));
    EXPECT_EQ(rs->Value(0), q("1"));
    EXPECT_EQ(rs->Value(1), q("1"));
}

TEST_F(BackupRestore, EveryKindOfValueComesBackExactly)
{
    exec(q("CREATE TABLE `odd values` ("
           " id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, t VARCHAR(200) NULL, x TEXT NULL, b LONGBLOB NULL,"
           " vb VARBINARY(16) NULL, d DECIMAL(30,10) NULL, f DOUBLE NULL, dt DATETIME(6) NULL, da DATE NULL,"
           " ts TIMESTAMP NULL DEFAULT NULL, tm TIME NULL, bt BIT(10) NULL, e ENUM('a','b''c') NULL,"
           " j JSON NULL, g INT AS (id * 2) VIRTUAL) ENGINE=InnoDB"));
    exec(q("SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_AUTO_VALUE_ON_ZERO')")); // keep the id 0
    exec(
        q("INSERT INTO `odd values` (id, t, x, b, vb, d, f, dt, da, ts, tm, bt, e, j) VALUES "
          "(0, '醤油 ''quoted'' \\\\ back\\\\slash \"dq\"', 'line\\nbreak\\r\\ttab\\0nul\\Zctrl', "
          " UNHEX('00FF5C27220A0D1A'), '', -12345678901234567890.0123456789, 1.5e-300,"
          " '2026-12-07 23:59:59.123456', '0001-01-01', '2038-01-19 03:14:07', '-838:59:59', b'1010101010',"
          " 'b''c', '{\"k\": \"値\"}'),"
          "(2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
          "(3, '', '', '', NULL, 0, 0, '1970-01-01 00:00:00', NULL, '2000-02-29 12:00:00', '00:00:00', b'0',"
          " 'a', '[]')"));
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    exec(q("INSERT INTO `odd values` (id, b) VALUES (4, UNHEX('")
         + QString::fromLatin1(QByteArray(all.data(), int(all.size())).toHex()) + q("'))"));
    chooseDatabase();
    chooseTable(q("odd values"));
    const auto before = tableRows(db, q("odd values"));
    ASSERT_EQ(before.size(), 4);
    const QString folder = backupFolder(q("odd"));
    {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
        window->ui->cmdBackup->click();
        EXPECT_EQ(dialogs.messages().first(), q("[TABLE]\todd valuesﾃｰﾌﾞﾙのﾊﾞｯｸｱｯﾌﾟを行います。"));
    }
    EXPECT_EQ(filesIn(folder), QStringList{q("odd values.sql")});
    exec(q("DELETE FROM `odd values`"));
    {
        ScriptedDialogs dialogs;
        dialogs.modal(pick(folder, {q("odd values.sql")})).answer(Answer::Ok).answer(Answer::Ok);
        window->ui->cmdRestore->click();
    }
    EXPECT_EQ(tableRows(db, q("odd values")), before);

    // The file is loadable by the command-line client as well.
    const QString other = otherDatabase();
    EXPECT_EQ(loadWithClient(other, QDir(folder).filePath(q("odd values.sql"))), QString());
    EXPECT_EQ(tableRows(other, q("odd values")), before);
}

TEST_F(BackupRestore, AnExistingFileIsNeverOverwritten)
{
    chooseDatabase();
    const QString folder = backupFolder(q("kept"));
    const QString existing = QDir(folder).filePath(q("items.sql"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
    window->ui->cmdBackup->click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_EQ(dialogs.messages()[1], q("ﾌｧｲﾙ「") + existing + q("」が既にあります。上書きはしません。"));
    EXPECT_EQ(dialogs.shown.last().icon, Icon::Critical);
    // Nothing was written, not even the tables before items.
    EXPECT_EQ(filesIn(folder), QStringList{q("items.sql")});
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep me"));
    EXPECT_EQ(window->ui->picStatus->fraction(), 0.0);
}

TEST_F(BackupRestore, AFailingTableIsNamedAndTheFilesBeforeItStay)
{
    chooseDatabase();
    window->ui->lstTables->addItem(q("[TABLE]\tvanished"));
    const QString folder = backupFolder(q("partial"));
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
    window->ui->cmdBackup->click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(dialogs.messages()[1].startsWith(q("「vanished」のﾊﾞｯｸｱｯﾌﾟに失敗しました。\r\n")));
    EXPECT_TRUE(window->ui->txtError->text().contains(q("vanished")));
    QStringList expected;
    for (const QString &t : shopTables())
        expected << t + q(".sql");
    EXPECT_EQ(filesIn(folder), expected);
}

TEST_F(BackupRestore, CancelPathsSendNothing)
{
    chooseDatabase();
    recorder->clear();
    {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Cancel);              // the confirmation
        window->ui->cmdBackup->click();
        dialogs.answer(Answer::Ok).folder(QString()); // the folder choice
        window->ui->cmdBackup->click();
        dialogs.answer(Answer::Ok).folder(q("   "));  // blanks only
        window->ui->cmdBackup->click();
        dialogs.modal([](QWidget *w) {                // the restore dialog cancelled
            auto *dialog = qobject_cast<frmRestore *>(w);
            dialog->ui->cmdCancel->click();
            return dialog->result();
        });
        window->ui->cmdRestore->click();
        dialogs.modal(pick(work.path(), {}));         // confirmed without a file
        window->ui->cmdRestore->click();
        EXPECT_EQ(dialogs.messages().size(), 3);
    }
    EXPECT_TRUE(recorder->statements().isEmpty());

    // Cancelling the drop confirmation sends no drop.
    const QString folder = backupFolder(q("cancel"));
    QFile(QDir(folder).filePath(q("items.sql"))).open(QIODevice::WriteOnly);
    ScriptedDialogs dialogs;
    dialogs.modal(pick(folder, {q("items.sql")})).answer(Answer::Cancel);
    window->ui->cmdRestore->click();
    EXPECT_TRUE(recorder->statements().isEmpty());
    EXPECT_EQ(scalar(q("select count(*) from items")), q("5"));
}

TEST_F(BackupRestore, ServerSideBackupFilesGoThroughTheServersStatements)
{
    chooseDatabase();
    // A folder with a backslash in its name: doubled in the statement, as chosen in the message.
    const QString folder = backupFolder(q("back\\slash"));
    for (const char *name : {"Orders.FRM", "a.frmb.frm", "readme.txt"})
        QFile(QDir(folder).filePath(q(name))).open(QIODevice::WriteOnly);
    exec(q("CREATE TABLE `a.frmb` (x INT)"));
    exec(q("INSERT INTO `a.frmb` VALUES (1)"));
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.modal([folder](QWidget *w) {
               auto *dialog = qobject_cast<frmRestore *>(w);
               dialog->setDirPath(folder);
               QStringList listed;
               for (int i = 0; i < dialog->ui->File1->count(); ++i)
                   listed << dialog->ui->File1->item(i)->text();
               EXPECT_EQ(listed, (QStringList{q("a.frmb.frm"), q("Orders.FRM")}));
               dialog->selectFiles(listed);
               dialog->ui->cmdOk->click();
               return dialog->result();
           })
        .answer(Answer::Ok)
        .answer(Answer::Ok);
    window->ui->cmdRestore->click();
    QString escaped = folder;
    escaped.replace(q("\\"), q("\\\\"));
    // The server has no RESTORE TABLE: said before any table is dropped, and none is.
    EXPECT_EQ(recorder->statements(),
              (QStringList{q("restore table ") + db + q(".`a.frmb`,") + db + q(".Orders from '") + escaped
                           + q("'")}));
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(dialogs.messages()[1].startsWith(
        q("このｻｰﾊﾞｰには RESTORE TABLE がないため、.frm ﾌｧｲﾙからは復元できません。ﾃｰﾌﾞﾙは削除していません。\r\n")));
    EXPECT_TRUE(dialogs.messages()[1].contains(q("1064")));
    EXPECT_EQ(dialogs.shown[1].icon, Icon::Critical);
    EXPECT_TRUE(window->ui->txtError->text().contains(q("1064")));
    EXPECT_EQ(scalar(q("select x from `a.frmb`")), q("1"));
}

TEST_F(BackupRestore, ATableWithABlankIsBackedUpAlone)
{
    chooseDatabase();
    chooseTable(q("order details"));
    const QString folder = backupFolder(q("back\\slash"));
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
    window->ui->cmdBackup->click();
    QString escaped = folder;
    escaped.replace(q("\\"), q("\\\\"));
    EXPECT_EQ(recorder->statements().first(),
              q("backup table ") + db + q(".`order details` to '") + escaped + q("'"));
    EXPECT_EQ(dialogs.messages().last(), q("「") + folder + q("」にﾊﾞｯｸｱｯﾌﾟしました。"));
    EXPECT_EQ(filesIn(folder), QStringList{q("order details.sql")});
}

TEST_F(BackupRestore, OddNamesRestoreTheirOwnTableAndNoOther)
{
    // A ".frm", an "@" and a "/" in one name; a line break in another, which must not end the file's
    // comment header and leave "DROP TABLE items" on a line of its own.
    const QString odd = q("old.frm@v/2");
    const QString broken = q("n\nDROP TABLE items;\n--");
    exec(q("CREATE TABLE old (a INT)"));
    exec(q("INSERT INTO old VALUES (7)"));
    for (const QString &name : {odd, broken}) {
        exec(q("CREATE TABLE `%1` (a INT)").arg(name));
        exec(q("INSERT INTO `%1` VALUES (1), (2)").arg(name));
    }
    chooseDatabase();
    const QString folder = backupFolder(q("odd names"));
    {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
        window->ui->cmdBackup->click();
        EXPECT_EQ(dialogs.messages().last(), q("「") + folder + q("」にﾊﾞｯｸｱｯﾌﾟしました。"));
    }
    const QString oddFile = q("old.frm@0040v@002f2.sql");
    const QString brokenFile = broken + q(".sql");
    ASSERT_TRUE(filesIn(folder).contains(oddFile));
    ASSERT_TRUE(filesIn(folder).contains(brokenFile));
    exec(q("DELETE FROM `%1`").arg(odd));
    exec(q("DELETE FROM `%1`").arg(broken));

    recorder->clear();
    {
        ScriptedDialogs dialogs;
        dialogs.modal(pick(folder, {brokenFile, oddFile})).answer(Answer::Ok).answer(Answer::Ok);
        window->ui->cmdRestore->click();
        EXPECT_EQ(dialogs.messages().last(), q("「") + folder + q("」から復元しました。"));
    }
    // The drops name the backed-up tables themselves (and the dated copies kept aside meanwhile).
    QStringList drops = recorder->statements().filter(QRegularExpression(q("^drop table ")));
    drops.removeIf([](const QString &s) { return s.endsWith(q("korv`")); });
    EXPECT_EQ(drops, (QStringList{q("drop table ") + db + q(".`") + broken + q("`"),
                                  q("drop table ") + db + q(".`") + odd + q("`")}));
    EXPECT_EQ(tableRows(db, odd), (QList<QStringList>{{q("1")}, {q("2")}}));
    EXPECT_EQ(tableRows(db, broken), (QList<QStringList>{{q("1")}, {q("2")}}));
    EXPECT_EQ(scalar(q("select a from old")), q("7"));
    EXPECT_EQ(scalar(q("select count(*) from items")), q("5"));
    // The command-line client reads the header as comments too.
    EXPECT_EQ(loadWithClient(otherDatabase(), QDir(folder).filePath(brokenFile)), QString());
    EXPECT_EQ(scalar(q("select count(*) from items")), q("5"));
}

TEST_F(BackupRestore, AForeignFileIsConfirmedSentAsItsBytesAndLeavesTheConnectionAsItWas)
{
    exec(q("CREATE TABLE blobs (b BLOB)"));
    exec(q("INSERT INTO blobs VALUES ('kept')"));
    chooseDatabase();
    const QString other = otherDatabase();
    const QString folder = backupFolder(q("foreign"));
    const QString path = QDir(folder).filePath(q("blobs.sql"));
    {
        // The standard dump tool's raw bytes in a literal (no --hex-blob), and settings that the file
        // changes and does not set back.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("/*!40101 SET NAMES utf8mb4 */;\nSET autocommit=0;\nSET sql_mode='ANSI_QUOTES';\n"
                   "DROP TABLE IF EXISTS blobs;\nCREATE TABLE blobs (b BLOB);\n"
                   "INSERT INTO blobs VALUES ('\xff\xfe\x80\\'\x5c\x5c');\nCOMMIT;\n"
                   "USE `" + other.toUtf8() + "`;\nSET NAMES latin1;\n");
    }
    Connection &connection = Session::instance().db();
    // Standing in a database, the connection comes back to it (with none, it could not).
    connection.Execute(q("use ") + db);
    const QString state = q("select @@character_set_client, @@collation_connection, @@autocommit, "
                            "@@sql_mode, database()");
    const auto stateOf = [&] {
        auto rs = connection.Execute(state);
        QStringList values;
        for (int i = 0; i < rs->FieldCount(); ++i)
            values << rs->Value(i);
        return values;
    };
    const QStringList before = stateOf();

    // Cancelled after seeing what the file holds: nothing is touched.
    {
        ScriptedDialogs dialogs;
        dialogs.modal(pick(folder, {q("blobs.sql")})).answer(Answer::Ok).answer(Answer::Cancel);
        window->ui->cmdRestore->click();
        ASSERT_EQ(dialogs.messages().size(), 2);
        EXPECT_EQ(dialogs.messages()[1], q("ﾌｧｲﾙ「blobs.sql」は Tablora のﾊﾞｯｸｱｯﾌﾟではありません。\r\n"
                                           "文の数: 9\r\n作成するもの: TABLE blobs\r\n"
                                           "削除・変更するもの: DROP TABLE blobs\r\n\r\n"
                                           "ﾃｰﾌﾞﾙ blobs の復元として実行しますか？"));
        EXPECT_EQ(dialogs.shown[1].buttons, Dialogs::Buttons::OkCancel);
    }
    EXPECT_EQ(scalar(q("select b from blobs")), q("kept"));

    recorder->clear();
    {
        ScriptedDialogs dialogs;
        dialogs.modal(pick(folder, {q("blobs.sql")})).answer(Answer::Ok).answer(Answer::Ok);
        dialogs.answer(Answer::Ok);
        window->ui->cmdRestore->click();
        EXPECT_EQ(dialogs.messages().last(), q("「") + folder + q("」から復元しました。"))
            << window->ui->txtError->text().toStdString();
    }
    // The bytes arrive as the command-line client sends them.
    EXPECT_EQ(loadWithClient(other, path), QString());
    EXPECT_EQ(scalar(q("select hex(b) from `%1`.blobs").arg(other)), q("FFFE80275C"));
    EXPECT_EQ(scalar(q("select hex(b) from blobs")), q("FFFE80275C"));
    EXPECT_EQ(stateOf(), before);
    EXPECT_EQ(scalar(q("select count(*) from information_schema.TABLES where TABLE_SCHEMA = '%1' "
                       "and TABLE_NAME like '%korv'").arg(db)),
              q("0"));
}

TEST_F(BackupRestore, AFailingFileLeavesItsTableAsItWasAndTheFilesAfterItUntouched)
{
    exec(q("CREATE TABLE audit (what VARCHAR(40))"));
    exec(q("CREATE TRIGGER items_log AFTER INSERT ON items FOR EACH ROW "
           "INSERT INTO audit VALUES (NEW.name)"));
    chooseDatabase();
    const QString folder = backupFolder(q("failing"));
    {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
        window->ui->cmdBackup->click();
    }
    const QString triggers = q("select group_concat(TRIGGER_NAME, ':', ACTION_STATEMENT) "
                               "from information_schema.TRIGGERS where EVENT_OBJECT_SCHEMA = '%1'").arg(db);
    const QString itemsTriggers = scalar(triggers);
    // The items file breaks after its rows; items and orders change after the backup.
    {
        QFile file(QDir(folder).filePath(q("items.sql")));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("INSERT INTO nowhere VALUES (1);\n");
    }
    exec(q("UPDATE items SET name = CONCAT(name, ' (now)')"));
    exec(q("UPDATE orders SET ordered = '2027-01-01 00:00:00'"));
    exec(q("DELETE FROM access_log"));
    const auto itemsNow = tableRows(db, q("items"));
    const auto ordersNow = tableRows(db, q("orders"));
    const auto createOf = [&](const QString &table) {
        auto rs = Session::instance().db().Execute(q("show create table `%1`.`%2`").arg(db, table));
        return rs->Value(1);
    };
    const QString itemsCreate = createOf(q("items"));

    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.modal(pick(folder, {q("access_log.sql"), q("items.sql"), q("orders.sql")}))
        .answer(Answer::Ok)
        .answer(Answer::Ok);
    window->ui->cmdRestore->click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(dialogs.messages()[1].startsWith(q("「items」の復元に失敗しました。\r\n")))
        << dialogs.messages()[1].toStdString();
    EXPECT_TRUE(dialogs.messages()[1].contains(q("nowhere")));
    // The file before it went through; items is as it was, triggers included; orders was never touched.
    EXPECT_EQ(scalar(q("select count(*) from access_log")), q("3"));
    EXPECT_EQ(tableRows(db, q("items")), itemsNow);
    EXPECT_EQ(createOf(q("items")), itemsCreate);
    EXPECT_EQ(scalar(triggers), itemsTriggers);
    EXPECT_EQ(tableRows(db, q("orders")), ordersNow);
    QStringList changing = recorder->statements();
    changing.removeIf([](const QString &s) { return s.startsWith(q("select ")); }); // the reads beforehand
    EXPECT_FALSE(changing.join(q("\n")).contains(q("orders")));
    EXPECT_EQ(scalar(q("select count(*) from information_schema.TABLES where TABLE_SCHEMA = '%1' "
                       "and TABLE_NAME like '%korv'").arg(db)),
              q("0"));
}

TEST_F(BackupRestore, AFileNamingAnotherTableIsRefusedBeforeAnythingIsTouched)
{
    chooseDatabase();
    chooseTable(q("items"));
    const QString folder = backupFolder(q("renamed"));
    {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
        window->ui->cmdBackup->click();
    }
    ASSERT_TRUE(
        QFile::rename(QDir(folder).filePath(q("items.sql")), QDir(folder).filePath(q("customers.sql"))));
    const auto customers = tableRows(db, q("customers"));
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.modal(pick(folder, {q("customers.sql")})).answer(Answer::Ok).answer(Answer::Ok);
    window->ui->cmdRestore->click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_EQ(dialogs.messages()[1], q("ﾌｧｲﾙ「customers.sql」はﾃﾞｰﾀﾍﾞｰｽ ") + db
                                         + q(" のﾃｰﾌﾞﾙ items のﾊﾞｯｸｱｯﾌﾟです。別のﾃｰﾌﾞﾙには復元しません。"
                                             "何も変更していません。"));
    EXPECT_TRUE(recorder->statements().isEmpty());
    EXPECT_EQ(tableRows(db, q("customers")), customers);

    // The header is no pass: a file that carries it and would drop a database is refused all the same.
    QFile own(QDir(folder).filePath(q("customers.sql")));
    ASSERT_TRUE(own.open(QIODevice::Append));
    own.write("\nDROP DATABASE IF EXISTS `" + otherDatabase().toUtf8() + "`;\n");
    own.close();
    ASSERT_TRUE(
        QFile::rename(QDir(folder).filePath(q("customers.sql")), QDir(folder).filePath(q("items.sql"))));
    ScriptedDialogs again;
    again.modal(pick(folder, {q("items.sql")})).answer(Answer::Ok).answer(Answer::Ok);
    window->ui->cmdRestore->click();
    ASSERT_EQ(again.messages().size(), 2);
    EXPECT_TRUE(again.messages()[1].contains(q("DROP DATABASE"))) << again.messages()[1].toStdString();
    EXPECT_EQ(scalar(q("select count(*) from items")), q("5"));
}

TEST_F(BackupRestore, ARestoreKeepsToItsDatabaseWhenAnotherIsClickedMeanwhile)
{
    // The other database has an items table of its own, which must stay as it is.
    const QString other = otherDatabase();
    exec(q("CREATE TABLE `%1`.items (a INT)").arg(other));
    exec(q("INSERT INTO `%1`.items VALUES (42)").arg(other));
    chooseDatabase();
    chooseTable(q("items"));
    const QString folder = backupFolder(q("keep to it"));
    {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
        window->ui->cmdBackup->click();
    }
    const auto before = tableRows(db, q("items"));
    exec(q("UPDATE items SET name = 'x'"));
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.modal(pick(folder, {q("items.sql")})).answer(Answer::Ok).answer(Answer::Ok);
    clickDatabaseDuringTheRun(other);
    window->ui->cmdRestore->click();
    EXPECT_EQ(Session::instance().database, other);
    EXPECT_EQ(dialogs.messages().last(), q("「") + folder + q("」から復元しました。"));
    EXPECT_TRUE(recorder->contains(q("drop table ") + db + q(".items")));
    EXPECT_EQ(tableRows(db, q("items")), before);
    EXPECT_EQ(scalar(q("select group_concat(a) from `%1`.items").arg(other)), q("42"));
}

TEST_F(BackupRestore, TriggersComeBackAfterTheRowsInTheirOrder)
{
    exec(q("CREATE TABLE audit (what VARCHAR(40))"));
    exec(q("CREATE TABLE counted (n INT)"));
    exec(q("INSERT INTO counted VALUES (1), (2)"));
    exec(q("CREATE TRIGGER double_it BEFORE INSERT ON counted FOR EACH ROW "
           "BEGIN SET NEW.n = NEW.n * 2; END"));
    exec(q("CREATE TRIGGER log_it AFTER INSERT ON counted FOR EACH ROW "
           "BEGIN INSERT INTO audit VALUES (CONCAT('n;', NEW.n)); END"));
    exec(q("CREATE TRIGGER and_add BEFORE INSERT ON counted FOR EACH ROW FOLLOWS double_it "
           "SET NEW.n = NEW.n + 1"));
    const QString triggers = q("select group_concat(TRIGGER_NAME order by ACTION_TIMING, ACTION_ORDER) "
                               "from information_schema.TRIGGERS where EVENT_OBJECT_SCHEMA = '%1'");
    const QString expected = scalar(triggers.arg(db));
    ASSERT_EQ(expected, q("log_it,double_it,and_add"));
    chooseDatabase();
    chooseTable(q("counted"));
    const QString folder = backupFolder(q("triggers"));
    {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
        window->ui->cmdBackup->click();
    }
    exec(q("DROP TABLE counted"));
    {
        ScriptedDialogs dialogs;
        dialogs.modal(pick(folder, {q("counted.sql")})).answer(Answer::Ok).answer(Answer::Ok);
        window->ui->cmdRestore->click();
        EXPECT_EQ(dialogs.messages().last(), q("「") + folder + q("」から復元しました。"));
    }
    // The rows as saved (the triggers did not fire on them), the triggers back in their order.
    EXPECT_EQ(tableRows(db, q("counted")), (QList<QStringList>{{q("1")}, {q("2")}}));
    EXPECT_EQ(scalar(q("select count(*) from audit")), q("0"));
    EXPECT_EQ(scalar(triggers.arg(db)), expected);
    exec(q("INSERT INTO counted VALUES (5)"));
    EXPECT_EQ(scalar(q("select max(n) from counted")), q("11"));
    EXPECT_EQ(scalar(q("select what from audit")), q("n;11"));

    const QString other = otherDatabase();
    exec(q("CREATE TABLE `%1`.audit (what VARCHAR(40))").arg(other));
    EXPECT_EQ(loadWithClient(other, QDir(folder).filePath(q("counted.sql"))), QString());
    EXPECT_EQ(scalar(triggers.arg(other)), expected);
}

TEST_F(BackupRestore, ALoadDataLocalInARestoreFileIsRefusedAndTheFileStaysHere)
{
    chooseDatabase();
    const QString folder = backupFolder(q("local"));
    const QString secret = work.filePath(q("secret.txt"));
    {
        QFile file(secret);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < 20000; ++i)
            file.write("a line of a file that must stay on this machine\n");
        QFile dump(QDir(folder).filePath(q("access_log.sql")));
        ASSERT_TRUE(dump.open(QIODevice::WriteOnly));
        dump.write("DROP TABLE IF EXISTS access_log;\nCREATE TABLE access_log (line TEXT);\n"
                   "LOAD DATA LOCAL INFILE '" + secret.toUtf8() + "' INTO TABLE access_log;\n");
    }
    const auto received = [] {
        return rowsOf(Session::instance().db(), q("show session status like 'Bytes_received'"))
            .value(0).value(1).toLongLong();
    };
    const qint64 before = received();
    ScriptedDialogs dialogs;
    // Confirmed, and confirmed again as a file that is not the program's own backup.
    dialogs.modal(pick(folder, {q("access_log.sql")})).answer(Answer::Ok).answer(Answer::Ok);
    dialogs.answer(Answer::Ok);
    window->ui->cmdRestore->click();
    ASSERT_EQ(dialogs.messages().size(), 3);
    const QString shown = dialogs.messages()[2];
    EXPECT_TRUE(shown.startsWith(q("「access_log」の復元に失敗しました。"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(q("ERROR 1148 ")) || shown.contains(q("ERROR 4166 "))) << shown.toStdString();
    EXPECT_LT(received() - before, 20000);
}

TEST_F(BackupRestore, KeptAsideCopiesHoldInvisibleColumnsUnderALongName)
{
    // 60 characters: the dated copy's name must be cut to the server's 64.
    const QString name = q("inventory_") + QString(50, QLatin1Char('x'));
    exec(q("CREATE TABLE `%1` (id INT NOT NULL PRIMARY KEY, secret VARCHAR(20) INVISIBLE)").arg(name));
    exec(q("INSERT INTO `%1` (id, secret) VALUES (1, 's1'), (2, 's2')").arg(name));
    chooseDatabase();
    chooseTable(name);
    const QString folder = backupFolder(q("invisible"));
    {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
        window->ui->cmdBackup->click();
    }
    // The file breaks after its rows; the table changes meanwhile.
    {
        QFile file(QDir(folder).filePath(name + q(".sql")));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("INSERT INTO nowhere VALUES (1);\n");
    }
    exec(q("UPDATE `%1` SET secret = CONCAT(secret, ' (now)')").arg(name));
    const QString all = q("select id, secret from `%1` order by id").arg(name);
    const auto now = rows(all);
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.modal(pick(folder, {name + q(".sql")})).answer(Answer::Ok).answer(Answer::Ok);
    window->ui->cmdRestore->click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(dialogs.messages()[1].contains(q("nowhere"))) << dialogs.messages()[1].toStdString();
    // Put back from the copy kept aside, invisible values included.
    EXPECT_EQ(rows(all), now);
    const QStringList copies = recorder->statements().filter(QRegularExpression(q("^create table ")));
    ASSERT_EQ(copies.size(), 1);
    EXPECT_TRUE(copies[0].contains(q(" select id,secret from "))) << copies[0].toStdString();
    const QRegularExpressionMatch dated =
        QRegularExpression(q("^create table [^.]+\\.`([^`]+)`")).match(copies[0]);
    ASSERT_TRUE(dated.hasMatch());
    EXPECT_LE(dated.captured(1).size(), 64);
    EXPECT_TRUE(dated.captured(1).endsWith(q("korv")));
    EXPECT_EQ(scalar(q("select count(*) from information_schema.TABLES where TABLE_SCHEMA = '%1' "
                       "and TABLE_NAME like '%korv'").arg(db)),
              q("0"));
}

TEST_F(BackupRestore, ASystemVersionedTableAsksBeforeItIsReplaced)
{
    exec(q("CREATE TABLE kept (id INT NOT NULL PRIMARY KEY, v INT) WITH SYSTEM VERSIONING"));
    exec(q("INSERT INTO kept VALUES (1, 10)"));
    chooseDatabase();
    chooseTable(q("kept"));
    const QString folder = backupFolder(q("versioned"));
    {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
        window->ui->cmdBackup->click();
    }
    exec(q("UPDATE kept SET v = 11"));
    const QString history = q("select count(*) from kept for system_time all");
    ASSERT_EQ(scalar(history), q("2"));
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.modal(pick(folder, {q("kept.sql")})).answer(Answer::Ok).answer(Answer::No);
    window->ui->cmdRestore->click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_EQ(dialogs.messages()[1], q("次のﾃｰﾌﾞﾙはｼｽﾃﾑﾊﾞｰｼﾞｮﾝ管理されています。復元すると履歴（過去の版の行）は"
                                       "失われます。\r\n") + db + q(".kept\r\n\r\n復元しますか？"));
    EXPECT_EQ(dialogs.shown.last().buttons, Dialogs::Buttons::YesNo);
    QStringList changing = recorder->statements();
    changing.removeIf([](const QString &s) { return s.startsWith(q("select ")); });
    EXPECT_TRUE(changing.isEmpty()) << changing.join(q("\n")).toStdString();
    EXPECT_EQ(scalar(history), q("2"));
    EXPECT_EQ(scalar(q("select v from kept")), q("11"));
}

class ForeignRestore : public BackupRestore
{
protected:
    // A file of statements that is not one of the program's backups, in its own folder.
    QString foreign(const QString &file, const QByteArray &text)
    {
        const QString folder = backupFolder(q("foreign"));
        QFile out(QDir(folder).filePath(file));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(text);
        return folder;
    }
    QString korv()
    {
        return scalar(q("select count(*) from information_schema.TABLES where TABLE_SCHEMA = '%1' "
                        "and TABLE_NAME like '%korv'").arg(db));
    }
};

TEST_F(ForeignRestore, WhatItWouldDestroyIsShownAndOtherTablesAreKeptAside)
{
    exec(q("CREATE TABLE notes (n INT)"));
    exec(q("INSERT INTO notes VALUES (1), (2)"));
    exec(q("CREATE TABLE scratch (n INT, hidden INT INVISIBLE)"));
    exec(q("INSERT INTO scratch (n, hidden) VALUES (3, 30)"));
    exec(q("CREATE TABLE audit (what VARCHAR(20))"));
    exec(q("INSERT INTO audit VALUES ('kept')"));
    chooseDatabase();
    const QByteArray body = "DROP TABLE IF EXISTS notes;\nCREATE TABLE notes (n INT);\n"
                            "INSERT INTO notes VALUES (7);\nDROP TABLE scratch;\nTRUNCATE audit;\n";
    const QString folder = foreign(q("notes.sql"), body + "INSERT INTO nowhere VALUES (1);\n");
    const auto state = [&] {
        return QList<QList<QStringList>>{rows(q("select n from notes order by n")),
                                         rows(q("select n, hidden from scratch")),
                                         rows(q("select what from audit"))};
    };
    const auto before = state();
    {
        ScriptedDialogs dialogs;
        dialogs.modal(pick(folder, {q("notes.sql")})).answer(Answer::Ok).answer(Answer::Ok);
        dialogs.answer(Answer::Ok);
        window->ui->cmdRestore->click();
        ASSERT_EQ(dialogs.messages().size(), 3);
        EXPECT_EQ(dialogs.messages()[1],
                  q("ﾌｧｲﾙ「notes.sql」は Tablora のﾊﾞｯｸｱｯﾌﾟではありません。\r\n文の数: 6\r\n作成するもの: TABLE notes\r\n"
                    "削除・変更するもの: DROP TABLE notes, DROP TABLE scratch, TRUNCATE TABLE audit\r\n"
                    "ﾃｰﾌﾞﾙ notes のほかに復元の間退避しておくもの: ")
                      + db + q(".scratch, ") + db + q(".audit\r\n\r\nﾃｰﾌﾞﾙ notes の復元として実行しますか？"));
        EXPECT_TRUE(dialogs.messages()[2].contains(q("nowhere"))) << dialogs.messages()[2].toStdString();
    }
    // The file failed: every table it touched is as it was.
    EXPECT_EQ(state(), before);
    EXPECT_EQ(korv(), q("0"));

    foreign(q("notes.sql"), body);
    ScriptedDialogs dialogs;
    dialogs.modal(pick(folder, {q("notes.sql")})).answer(Answer::Ok).answer(Answer::Ok).answer(Answer::Ok);
    window->ui->cmdRestore->click();
    EXPECT_EQ(dialogs.messages().last(), q("「") + folder + q("」から復元しました。"));
    EXPECT_EQ(scalar(q("select group_concat(n) from notes")), q("7"));
    EXPECT_EQ(scalar(q("select count(*) from information_schema.TABLES where TABLE_SCHEMA = '%1' "
                       "and TABLE_NAME = 'scratch'").arg(db)),
              q("0"));
    EXPECT_EQ(scalar(q("select count(*) from audit")), q("0"));
    EXPECT_EQ(korv(), q("0"));
}

TEST_F(ForeignRestore, ADroppedDatabaseOrWhatCannotBeKeptAsideIsRefused)
{
    const QString other = otherDatabase();
    exec(q("CREATE TABLE `%1`.t (a INT)").arg(other));
    exec(q("CREATE PROCEDURE kept_proc() SELECT 1"));
    chooseDatabase();
    const auto refused = [&](const QByteArray &text, const QString &message) {
        const QString folder = foreign(q("items.sql"), text);
        recorder->clear();
        ScriptedDialogs dialogs;
        dialogs.modal(pick(folder, {q("items.sql")})).answer(Answer::Ok).answer(Answer::Ok);
        window->ui->cmdRestore->click();
        ASSERT_EQ(dialogs.messages().size(), 2);
        EXPECT_EQ(dialogs.messages()[1], message);
        EXPECT_EQ(dialogs.shown[1].icon, Icon::Critical);
        QStringList changing = recorder->statements();
        changing.removeIf([](const QString &s) { return s.startsWith(q("select ")); });
        EXPECT_TRUE(changing.isEmpty()) << changing.join(q("\n")).toStdString();
    };
    refused("CREATE TABLE items2 (a INT);\nDROP DATABASE IF EXISTS `" + other.toUtf8() + "`;\n",
            q("ﾌｧｲﾙ「items.sql」はﾃﾞｰﾀﾍﾞｰｽを削除します（DROP DATABASE `") + other
                + q("`）。復元しません。何も変更していません。"));
    refused("DROP TABLE items;\nDROP PROCEDURE IF EXISTS kept_proc;\nDELETE i FROM items i;\n",
            q("ﾌｧｲﾙ「items.sql」はﾃｰﾌﾞﾙ items のほかに、退避できないものを削除・変更します。"
              "復元しません。何も変更していません。\r\nDROP PROCEDURE kept_proc\r\nDELETE i FROM items i"));
    // What a procedure, a dynamic statement or a block would do is not in its start: not judged, refused.
    refused("DROP TABLE items;\nCALL kept_proc();\nEXECUTE IMMEDIATE 'DROP TABLE t';\n",
            q("ﾌｧｲﾙ「items.sql」はﾃｰﾌﾞﾙ items のほかに、退避できないものを削除・変更します。"
              "復元しません。何も変更していません。\r\nCALL kept_proc()\r\nEXECUTE IMMEDIATE 'DROP TABLE t'"));
    EXPECT_EQ(scalar(q("select count(*) from `%1`.t").arg(other)), q("0"));
    EXPECT_EQ(scalar(q("select count(*) from items")), q("5"));
    EXPECT_EQ(
        scalar(q("select count(*) from information_schema.ROUTINES where ROUTINE_SCHEMA = '%1'").arg(db)),
        q("1"));
}

TEST_F(ForeignRestore, AFileThatDoesNotCreateItsTableFailsAndTheTableComesBack)
{
    exec(q("CREATE TABLE notes (n INT)"));
    exec(q("INSERT INTO notes VALUES (1), (2)"));
    chooseDatabase();
    const QString folder = foreign(q("notes.sql"), "CREATE TABLE notes_elsewhere (a INT);\n");
    ScriptedDialogs dialogs;
    dialogs.modal(pick(folder, {q("notes.sql")})).answer(Answer::Ok).answer(Answer::Ok).answer(Answer::Ok);
    window->ui->cmdRestore->click();
    EXPECT_TRUE(dialogs.messages().last().contains(
        q("ﾌｧｲﾙは最後まで実行されましたが、ﾃﾞｰﾀﾍﾞｰｽ ") + db + q(" にﾃｰﾌﾞﾙ notes が作られませんでした。")))
        << dialogs.messages().last().toStdString();
    EXPECT_EQ(scalar(q("select group_concat(n order by n) from notes")), q("1,2"));
    EXPECT_EQ(korv(), q("0"));
}

TEST_F(ForeignRestore, TriggersComeBackAfterADumpWithoutTriggers)
{
    exec(q("CREATE TABLE audit (what VARCHAR(40))"));
    exec(q("CREATE TABLE counted (n INT)"));
    exec(q("CREATE TRIGGER double_it BEFORE INSERT ON counted FOR EACH ROW SET NEW.n = NEW.n * 2"));
    exec(q("CREATE TRIGGER log_it AFTER INSERT ON counted FOR EACH ROW INSERT INTO audit VALUES (NEW.n)"));
    exec(q("INSERT INTO counted VALUES (1)"));
    exec(q("DELETE FROM audit"));
    chooseDatabase();
    const QString triggers = q("select group_concat(TRIGGER_NAME order by TRIGGER_NAME) from "
                               "information_schema.TRIGGERS where EVENT_OBJECT_SCHEMA = '%1'").arg(db);
    // The standard dump tool's own files, with and without the triggers.
    const QString folder = backupFolder(q("foreign"));
    const auto dump = [&](const QStringList &options) {
        QProcess tool;
        tool.setStandardOutputFile(QDir(folder).filePath(q("counted.sql")));
        tool.start(q("mariadb-dump"), QStringList{q("--no-defaults"), q("-h127.0.0.1"), q("-P") + server.port,
                                                  q("-u") + server.user, q("-p") + server.password}
                                          + options + QStringList{db, q("counted")});
        ASSERT_TRUE(tool.waitForFinished(60000));
        ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    };
    const auto restore = [&](QStringList &messages, QList<Icon> &icons) {
        ScriptedDialogs dialogs;
        dialogs.modal(pick(folder, {q("counted.sql")})).answer(Answer::Ok).answer(Answer::Ok);
        dialogs.answer(Answer::Ok);
        window->ui->cmdRestore->click();
        messages = dialogs.messages();
        for (const auto &shown : dialogs.shown)
            icons << shown.icon;
    };
    QStringList messages;
    QList<Icon> icons;

    // With its triggers: nothing besides the table is touched, the file's triggers stand.
    dump({});
    restore(messages, icons);
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[1].contains(q("\r\n削除・変更するもの: DROP TABLE `counted`, ALTER TABLE `counted`\r\n\r\n")))
        << messages[1].toStdString();
    EXPECT_EQ(messages[2], q("「") + folder + q("」から復元しました。"));
    EXPECT_EQ(scalar(triggers), q("double_it,log_it"));

    dump({q("--skip-triggers")});
    messages.clear();
    icons.clear();
    restore(messages, icons);
    EXPECT_EQ(messages.value(2), q("「") + folder + q("」から復元しました。\r\n"
                                   "ﾌｧｲﾙにﾄﾘｶﾞｰがなかったため、ﾃｰﾌﾞﾙ counted のﾄﾘｶﾞｰ "
                                   "log_it, double_it を作成し直しました。"));
    EXPECT_EQ(icons.last(), Icon::Information);
    // The rows as the file has them (the triggers came after), the triggers acting again.
    EXPECT_EQ(scalar(q("select group_concat(n order by n) from counted")), q("2"));
    EXPECT_EQ(scalar(q("select count(*) from audit")), q("0"));
    EXPECT_EQ(scalar(triggers), q("double_it,log_it"));
    exec(q("INSERT INTO counted VALUES (5)"));
    EXPECT_EQ(scalar(q("select what from audit")), q("10"));

    // A definition the triggers cannot act on: they are named, their statements in the error box.
    foreign(q("counted.sql"), "DROP TABLE IF EXISTS counted;\nCREATE TABLE counted (m INT);\n");
    messages.clear();
    icons.clear();
    restore(messages, icons);
    EXPECT_EQ(messages.value(2), q("「") + folder + q("」から復元しました。\r\n"
                                   "ﾃｰﾌﾞﾙ counted のﾄﾘｶﾞｰ log_it, double_it は新しい定義に作成できませんでした。"
                                   "ｴﾗｰ欄にその文があります。"));
    EXPECT_EQ(icons.last(), Icon::Warning);
    EXPECT_TRUE(window->ui->txtError->text().contains(q("TRIGGER double_it BEFORE INSERT ON ")))
        << window->ui->txtError->text().toStdString();
}
