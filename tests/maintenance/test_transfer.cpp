// Script backup, and import and export, through the real main window.
#include "windowtest.h"

#include "connection.h"
#include "maintenance/frminout.h"
#include "maintenance/maintenance.h"
#include "mainwindow/frmtablora.h"
#include "scripteddialogs.h"
#include "session.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using Answer = Dialogs::Answer;
using Icon = Dialogs::Icon;

namespace {
QString q(const char *text)
{
    return QString::fromUtf8(text);
}

// A table's definition without the counter that rows move on.
QString definition(const QList<QStringList> &answer)
{
    QString text = answer.value(0).value(1);
    text.remove(QRegularExpression(q(" AUTO_INCREMENT=\\d+")));
    return text;
}
}

class ScriptBackupTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        loadShop();
        exec(q("CREATE PROCEDURE add_item(IN p_name VARCHAR(100), IN p_price DECIMAL(10,2)) "
               "BEGIN INSERT INTO items (name, price, added) VALUES (p_name, p_price, CURDATE()); END"));
        exec(q("CREATE FUNCTION item_count() RETURNS INT READS SQL DATA "
               "BEGIN RETURN (SELECT COUNT(*) FROM items); END"));
    }
};

TEST_F(ScriptBackupTest, FilesRecreateEveryObjectInAnEmptyDatabase)
{
    chooseDatabase();
    const QString folder = work.filePath(q("scripts"));
    QDir().mkpath(folder);
    {
        ScriptedDialogs dialogs;
        dialogs.folder(folder).answer(Answer::Ok);
        window->ui->cmdScriptBackUp->click();
        EXPECT_EQ(dialogs.shown[0].text, q("ｸﾘｴｲﾄScriptの保存先のﾌｫﾙﾀﾞを選択して下さい。"));
        EXPECT_EQ(dialogs.messages(), QStringList{q("「") + folder + q("」にｸﾘｴｲﾄScriptを保存しました。")});
    }
    const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files,
              (QStringList{q("func_item_count.sql"), q("proc_add_item.sql"), q("table_access_log.sql"),
                           q("table_customers.sql"), q("table_items.sql"), q("table_order details.sql"),
                           q("table_orders.sql"), q("view_order_totals.sql")}));
    EXPECT_EQ(window->ui->lblCnt->text(), q("8/8"));

    // Loaded in name order by the command-line client, they make the same objects.
    const QString other = otherDatabase();
    for (const QString &file : files)
        EXPECT_EQ(loadWithClient(other, QDir(folder).filePath(file)), QString()) << file.toStdString();
    for (const char *table : {"access_log", "customers", "items", "order details", "orders"})
        EXPECT_EQ(definition(rows(q("show create table `%1`.`%2`").arg(other, q(table)))),
                  definition(rows(q("show create table `%1`.`%2`").arg(db, q(table)))))
            << table;
    EXPECT_EQ(scalar(q("select TABLE_TYPE from information_schema.TABLES where TABLE_SCHEMA='") + other
                     + q("' and TABLE_NAME='order_totals'")),
              q("VIEW"));
    exec(q("INSERT INTO `%1`.items (name) VALUES ('a'), ('b')").arg(other));
    EXPECT_EQ(scalar(q("select `%1`.item_count()").arg(other)), q("2"));
    exec(q("CALL `%1`.add_item('c', 1.5)").arg(other));
    EXPECT_EQ(scalar(q("select count(*) from `%1`.items").arg(other)), q("3"));

    // A second run into the same folder refuses before writing anything.
    ScriptedDialogs again;
    again.folder(folder).answer(Answer::Ok);
    window->ui->cmdScriptBackUp->click();
    EXPECT_EQ(again.messages(),
              QStringList{q("ﾌｧｲﾙ「") + QDir(folder).filePath(q("table_access_log.sql"))
                          + q("」が既にあります。上書きはしません。")});
    EXPECT_EQ(again.shown.last().icon, Icon::Critical);
}

TEST_F(ScriptBackupTest, CancellingTheFolderWritesAndSendsNothing)
{
    chooseDatabase();
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.folder(QString());
    window->ui->cmdScriptBackUp->click();
    EXPECT_TRUE(recorder->statements().isEmpty());
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

class InOutTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        loadShop();
    }
};

TEST_F(InOutTest, ExportThenImportGivesTheSameRows)
{
    exec(q("CREATE TABLE items2 LIKE items"));
    chooseDatabase();
    chooseTable(q("items"));
    const QString folder = work.filePath(q("io"));
    QDir().mkpath(folder);
    Session::instance().settings.inoutpath = q("/nowhere");
    recorder->clear();
    {
        ScriptedDialogs dialogs;
        dialogs.modal([&](QWidget *w) {
                   auto *dialog = qobject_cast<frmInOut *>(w);
                   EXPECT_EQ(dialog->ui->txtFolder->text(), q("/nowhere")); // the kept folder
                   EXPECT_EQ(dialog->ui->txtFile->text(), q("items.txt"));
                   dialog->optMode[1]->setChecked(true);
                   dialog->optDelimiter[1]->setChecked(true);
                   dialog->ui->cmdFolder->click();
                   dialog->ui->cmdOk->click();
                   return dialog->result();
               })
            .folder(folder)
            .answer(Answer::Ok);
        window->ui->cmdInOut->click();
        EXPECT_EQ(dialogs.shown[1].text, q("入出力ﾌｧｲﾙのﾌｫﾙﾀﾞを選択して下さい。"));
        EXPECT_EQ(dialogs.messages(),
                  QStringList{q("「") + folder + q("/items.txt」に出力しました。（5件）")});
    }
    const QString path = QDir(folder).filePath(q("items.txt"));
    EXPECT_EQ(
        recorder->statements(),
        QStringList{q("select * from ") + db + q(".items into outfile '") + path
                    + q("' character set utf8mb4 fields terminated by ',' lines terminated by '\\n'")});
    EXPECT_EQ(Session::instance().settings.inoutpath, folder);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("1,りんご,青森県産,120.00,2026-01-05\n"));

    // The same file into the empty copy.
    chooseTable(q("items2"));
    {
        ScriptedDialogs dialogs;
        dialogs.modal([&](QWidget *w) {
                   auto *dialog = qobject_cast<frmInOut *>(w);
                   EXPECT_EQ(dialog->ui->txtFolder->text(), folder);
                   dialog->optDelimiter[2]->setChecked(true);
                   dialog->ui->txtDelimiter->setText(q(","));
                   dialog->ui->txtFile->setText(q("items.txt"));
                   dialog->ui->cmdOk->click();
                   return dialog->result();
               })
            .answer(Answer::Ok);
        window->ui->cmdInOut->click();
        EXPECT_EQ(dialogs.messages(), QStringList{q("「") + path + q("」から取り込みました。（5件）")});
    }
    EXPECT_EQ(tableRows(db, q("items2")), tableRows(db, q("items")));

    // Exporting onto the existing file: the server's refusal is shown and recorded.
    chooseTable(q("items"));
    ScriptedDialogs dialogs;
    dialogs.modal([&](QWidget *w) {
               auto *dialog = qobject_cast<frmInOut *>(w);
               dialog->optMode[1]->setChecked(true);
               dialog->ui->cmdOk->click();
               return dialog->result();
           })
        .answer(Answer::Ok);
    window->ui->cmdInOut->click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].contains(q("already exists")));
    EXPECT_EQ(dialogs.shown.last().icon, Icon::Critical);
    EXPECT_EQ(window->ui->txtError->text(), dialogs.messages()[0]);
}

TEST_F(InOutTest, CancelOrMissingEntriesSendNothing)
{
    chooseDatabase();
    chooseTable(q("items"));
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.modal([](QWidget *w) {
        auto *dialog = qobject_cast<frmInOut *>(w);
        dialog->ui->cmdCancel->click();
        return dialog->result();
    });
    window->ui->cmdInOut->click();
    dialogs.modal([](QWidget *w) {
               auto *dialog = qobject_cast<frmInOut *>(w);
               dialog->ui->txtFolder->clear();
               dialog->ui->cmdOk->click(); // refused: no folder
               EXPECT_EQ(dialog->result(), 0);
               dialog->ui->cmdCancel->click();
               return dialog->result();
           })
        .answer(Answer::Ok);
    window->ui->cmdInOut->click();
    EXPECT_EQ(dialogs.messages(), QStringList{q("ﾌｫﾙﾀﾞを選択して下さい。")});
    EXPECT_TRUE(recorder->statements().isEmpty());

    // The files are the server's: without a server on this machine there is no import or export.
    Session::instance().isLocalhost = false;
    chooseTable(q("customers"));
    EXPECT_FALSE(window->ui->cmdInOut->isEnabled());
    maintenance->cmdInOut_Click();
    EXPECT_EQ(dialogs.shown.size(), 3);
    EXPECT_TRUE(recorder->statements().filter(q("outfile")).isEmpty());
}
