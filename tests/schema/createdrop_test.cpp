// Creating a database through frmCreateDB, and dropping databases, tables, views and routines.
#include "schemafixture.h"

#include "connection.h"
#include "session.h"
#include "mainwindow/frmtablora.h"
#include "schema/frmcreatedb.h"

#include <QTest>

using Icon = Dialogs::Icon;
using Buttons = Dialogs::Buttons;
using Answer = Dialogs::Answer;

namespace {

frmCreateDB *asDialog(QWidget *window)
{
    auto *dialog = qobject_cast<frmCreateDB *>(window);
    EXPECT_NE(dialog, nullptr);
    if (dialog)
        dialog->show();
    return dialog;
}

}

class CreateDatabaseTest : public SchemaWindowTest
{
};

TEST_F(CreateDatabaseTest, NameIsTrimmedAndSentByEnter)
{
    openWindow();
    const QString name = extraDatabase(QStringLiteral("_n w"));
    exec(QStringLiteral("DROP DATABASE `%1`").arg(name));
    bool openAfterEnter = true;
    dialogs.modal([&](QWidget *w) {
        frmCreateDB *dialog = asDialog(w);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Create Database"));
        dialog->ui->txtDatabase->setText(QStringLiteral("  ") + name + QStringLiteral("  "));
        QTest::keyClick(dialog->ui->txtDatabase, Qt::Key_Return);
        openAfterEnter = dialog->isVisible();
        return dialog->result();
    });
    ui()->cmdCreateDb->click();

    EXPECT_FALSE(openAfterEnter);
    EXPECT_TRUE(dialogs.messages().isEmpty());
    // One create statement, the name trimmed (and quoted for its blank); then the list is read again.
    EXPECT_EQ(sent().value(0), QStringLiteral("create database `") + name + QStringLiteral("`;"));
    EXPECT_EQ(sent().value(1), QStringLiteral("show databases;"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from information_schema.schemata where schema_name = '")
                     + name + QLatin1Char('\'')),
              QStringLiteral("1"));
    EXPECT_TRUE(listEntries("lstDb").contains(name));
}

TEST_F(CreateDatabaseTest, BlankNameAsksForOneAndCancelStillRefreshes)
{
    openWindow();
    bool openAfterOk = false;
    dialogs.modal([&](QWidget *w) {
        frmCreateDB *dialog = asDialog(w);
        dialog->ui->txtDatabase->setText(QStringLiteral("   "));
        QTest::keyClick(dialog->ui->txtDatabase, Qt::Key_Enter);
        dialog->ui->txtDatabase->clear();
        dialog->ui->cmdOk->click();
        openAfterOk = dialog->isVisible();
        dialog->ui->cmdCancel->click();
        return dialog->result();
    });
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    ui()->cmdCreateDb->click();

    EXPECT_TRUE(openAfterOk);
    ASSERT_EQ(dialogs.shown.size(), 3);
    for (int i : {1, 2}) {
        EXPECT_EQ(dialogs.shown[i].text, QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ名を入力してください。"));
        EXPECT_EQ(dialogs.shown[i].title, QStringLiteral("Create Database"));
        EXPECT_EQ(dialogs.shown[i].icon, Icon::Information);
    }
    EXPECT_EQ(sent(), QStringList{QStringLiteral("show databases;")});
    EXPECT_TRUE(listEntries("lstDb").contains(db));
}

TEST_F(CreateDatabaseTest, ExistingNameKeepsTheDialogOpenWithTheName)
{
    openWindow();
    // Another session creates a database after the list was read: the refresh shows it whatever happened.
    const QString late = extraDatabase(QStringLiteral("_late"));
    ASSERT_FALSE(listEntries("lstDb").contains(late));
    QString nameAfterFailure;
    bool openAfterFailure = false;
    dialogs.modal([&](QWidget *w) {
        frmCreateDB *dialog = asDialog(w);
        dialog->ui->txtDatabase->setText(db);
        dialog->ui->cmdOk->click();
        openAfterFailure = dialog->isVisible();
        nameAfterFailure = dialog->ui->txtDatabase->text();
        dialog->ui->cmdCancel->click();
        return dialog->result();
    });
    dialogs.answer(Answer::Ok);
    ui()->cmdCreateDb->click();

    EXPECT_TRUE(openAfterFailure);
    EXPECT_EQ(nameAfterFailure, db);
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].icon, Icon::Critical);
    EXPECT_EQ(dialogs.shown[1].title, QStringLiteral("Create Database"));
    EXPECT_TRUE(dialogs.shown[1].text.contains(QStringLiteral("1007")))
            << dialogs.shown[1].text.toStdString();
    EXPECT_EQ(sent(), (QStringList{QStringLiteral("create database ") + db + QStringLiteral(";"),
                                   QStringLiteral("show databases;")}));
    EXPECT_TRUE(listEntries("lstDb").contains(late));
}

class DropTest : public SchemaWindowTest
{
};

TEST_F(DropTest, DatabaseWithItsConfirmationAndCancel)
{
    const QString doomed = extraDatabase(QStringLiteral("_doomed"));
    openWindow();
    chooseDatabase(doomed);
    recorder.clear();

    dialogs.answer(Answer::Cancel);
    ui()->cmdDropDb->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ(") + doomed + QStringLiteral(")を削除しす。"));
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Critical);
    EXPECT_EQ(dialogs.shown[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Tablora"));
    EXPECT_TRUE(sent().isEmpty());

    dialogs.answer(Answer::Ok);
    ui()->cmdDropDb->click();
    EXPECT_EQ(sent(), (QStringList{QStringLiteral("drop database ") + doomed + QStringLiteral(";"),
                                   QStringLiteral("show databases;")}));
    EXPECT_FALSE(listEntries("lstDb").contains(doomed));
    EXPECT_TRUE(listEntries("lstDb").contains(db));
}

TEST_F(DropTest, DatabaseNamedWithALeadingBlankIsTheOneDropped)
{
    // " x" and "x" are two databases: the one listed is dropped, never its trimmed namesake.
    const QString plain = extraDatabase(QStringLiteral("_lb"));
    const QString blank = extraDatabaseNamed(QLatin1Char(' ') + plain);
    openWindow();
    chooseDatabase(blank);
    recorder.clear();
    dialogs.answer(Answer::Ok);
    ui()->cmdDropDb->click();

    EXPECT_EQ(dialogs.messages(),
              QStringList{QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ(") + blank + QStringLiteral(")を削除しす。")});
    EXPECT_EQ(sent().value(0), QStringLiteral("drop database `") + blank + QStringLiteral("`;"));
    EXPECT_FALSE(listEntries("lstDb").contains(blank));
    EXPECT_TRUE(listEntries("lstDb").contains(plain));
}

TEST_F(DropTest, DatabaseNotChosenOrGoneFromTheList)
{
    openWindow();
    ui()->lstDb->clearSelection();
    dialogs.answer(Answer::Ok);
    ui()->cmdDropDb->click();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽを選択して下さい。")});

    // The list is emptied while the confirmation is up.
    chooseDatabase(db);
    recorder.clear();
    dialogs.shown.clear();
    dialogs.onMessage = [&](const QString &text) {
        if (text.endsWith(QStringLiteral("を削除しす。")))
            ui()->lstDb->clear();
    };
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    ui()->cmdDropDb->click();
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].text,
              QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ(") + db + QStringLiteral(")がみつかりません。"));
    EXPECT_EQ(dialogs.shown[1].icon, Icon::Critical);
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(DropTest, FailingDatabaseDropIsRecordedAndReported)
{
    const QString doomed = extraDatabase(QStringLiteral("_doomed"));
    openWindow();
    chooseDatabase(doomed);
    exec(QStringLiteral("DROP DATABASE ") + doomed); // another session was quicker
    recorder.clear();
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    ui()->cmdDropDb->click();

    EXPECT_EQ(dialogs.messages().value(1), QStringLiteral("削除に失敗しました。"));
    EXPECT_EQ(dialogs.shown.value(1).icon, Icon::Critical);
    EXPECT_TRUE(ui()->txtError->text().contains(QStringLiteral("1008")))
            << ui()->txtError->text().toStdString();
    EXPECT_EQ(ui()->Label13->toolTip(), ui()->txtError->text());
    EXPECT_EQ(sent(), QStringList{QStringLiteral("drop database ") + doomed + QStringLiteral(";")});
}

TEST_F(DropTest, TableAndViewByWhatTheServerSays)
{
    exec(QStringLiteral("CREATE TABLE `order lines` (id INT)"));
    exec(QStringLiteral("CREATE VIEW lines_view AS SELECT id FROM `order lines`"));
    openWindow();

    chooseTable(QStringLiteral("lines_view"));
    recorder.clear();
    dialogs.answer(Answer::Cancel);
    ui()->cmdDropTable->click();
    EXPECT_EQ(dialogs.shown.value(0).text, QStringLiteral("lines_viewﾃｰﾌﾞﾙを削除します。"));
    EXPECT_EQ(dialogs.shown.value(0).icon, Icon::Critical);
    EXPECT_EQ(dialogs.shown.value(0).buttons, Buttons::OkCancel);
    EXPECT_TRUE(sent().isEmpty());

    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    ui()->cmdDropTable->click();
    EXPECT_EQ(sent().mid(0, 2),
              (QStringList{QStringLiteral("show create table ") + db + QStringLiteral(".lines_view;"),
                           QStringLiteral("drop view ") + db + QStringLiteral(".lines_view")}));
    EXPECT_EQ(dialogs.messages().value(2), QStringLiteral("削除しました。"));
    EXPECT_EQ(dialogs.shown.value(2).icon, Icon::Information);
    EXPECT_EQ(listEntries("lstTables"), QStringList{QStringLiteral("[TABLE]\torder lines")});

    chooseTable(QStringLiteral("order lines"));
    recorder.clear();
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    ui()->cmdDropTable->click();
    EXPECT_EQ(sent().value(1), QStringLiteral("drop table ") + db + QStringLiteral(".`order lines`"));
    EXPECT_FALSE(tableExists(db, QStringLiteral("order lines")));
    EXPECT_TRUE(listEntries("lstTables").isEmpty());
}

TEST_F(DropTest, TableGoneMeanwhileAsksWhetherItIsAView)
{
    exec(QStringLiteral("CREATE TABLE t (id INT)"));
    openWindow();
    chooseTable(QStringLiteral("t"));
    exec(QStringLiteral("DROP TABLE t"));

    for (const Answer answer : {Answer::Yes, Answer::No}) {
        recorder.clear();
        dialogs.shown.clear();
        ui()->txtError->clear();
        dialogs.answer(Answer::Ok).answer(Answer::Ok).answer(answer).answer(Answer::Ok);
        ui()->cmdDropTable->click();
        ASSERT_EQ(dialogs.shown.size(), 4);
        EXPECT_EQ(dialogs.shown[1].text, QStringLiteral("テーブルまたはＶＩＥＷではありません。"));
        EXPECT_EQ(dialogs.shown[1].icon, Icon::Critical);
        EXPECT_EQ(dialogs.shown[2].text, QStringLiteral("削除対象はVIEWですか？"));
        EXPECT_EQ(dialogs.shown[2].icon, Icon::Question);
        EXPECT_EQ(dialogs.shown[2].buttons, Buttons::YesNo);
        EXPECT_EQ(dialogs.shown[3].text, QStringLiteral("削除に失敗しました。"));
        EXPECT_EQ(dialogs.shown[3].icon, Icon::Critical);
        EXPECT_EQ(sent().value(1),
                  (answer == Answer::Yes ? QStringLiteral("drop view ") : QStringLiteral("drop table ")) + db
                          + QStringLiteral(".t"));
        EXPECT_FALSE(ui()->txtError->text().isEmpty());
    }
}

TEST_F(DropTest, RoutineOfTheChosenDatabaseNotTheConnectionsOne)
{
    // The connection stands in another database that holds routines of the same names.
    const QString other = extraDatabase(QStringLiteral("_other"));
    for (const QString &database : {db, other}) {
        exec(QStringLiteral("CREATE PROCEDURE `%1`.p() SELECT 1").arg(database));
        exec(QStringLiteral("CREATE FUNCTION `%1`.f() RETURNS INT RETURN 1").arg(database));
    }
    openWindow(other);
    ASSERT_EQ(listEntries("lstProcFunc"),
              (QStringList{QStringLiteral("[PROC]\tp"), QStringLiteral("[FUNC]\tf")}));

    chooseRoutine(QStringLiteral("p"));
    recorder.clear();
    dialogs.answer(Answer::Cancel);
    ui()->cmdDropProc->click();
    EXPECT_EQ(dialogs.shown.value(0).text, QStringLiteral("[PROC]\tpを削除します。"));
    EXPECT_EQ(dialogs.shown.value(0).icon, Icon::Critical);
    EXPECT_EQ(dialogs.shown.value(0).buttons, Buttons::OkCancel);
    EXPECT_TRUE(sent().isEmpty());

    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    ui()->cmdDropProc->click();
    EXPECT_EQ(sent().value(0), QStringLiteral("DROP PROCEDURE ") + db + QStringLiteral(".p"));
    EXPECT_EQ(dialogs.messages().value(2), QStringLiteral("削除しました。"));
    EXPECT_EQ(listEntries("lstProcFunc"), QStringList{QStringLiteral("[FUNC]\tf")});

    ui()->optTP_1->setChecked(true);
    chooseRoutine(QStringLiteral("f"));
    recorder.clear();
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    ui()->cmdDropProc->click();
    EXPECT_EQ(sent().value(0), QStringLiteral("DROP FUNCTION ") + db + QStringLiteral(".f"));
    EXPECT_TRUE(listEntries("lstProcFunc").isEmpty());
    EXPECT_EQ(scalar(QStringLiteral(
                             "select count(*) from information_schema.routines where routine_schema = '")
                     + other + QLatin1Char('\'')),
              QStringLiteral("2"));
}

TEST_F(DropTest, FailingRoutineDropIsRecordedAndReported)
{
    exec(QStringLiteral("CREATE PROCEDURE p() SELECT 1"));
    openWindow();
    chooseRoutine(QStringLiteral("p"));
    exec(QStringLiteral("DROP PROCEDURE p"));
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    ui()->cmdDropProc->click();
    EXPECT_EQ(dialogs.messages().value(1), QStringLiteral("削除に失敗しました。"));
    EXPECT_EQ(dialogs.shown.value(1).icon, Icon::Critical);
    EXPECT_TRUE(ui()->txtError->text().contains(QStringLiteral("1305")))
            << ui()->txtError->text().toStdString();
}
