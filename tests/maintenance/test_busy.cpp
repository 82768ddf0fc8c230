// One operation at a time: every long operation of the main window, interrupted at each of its progress
// steps by what a user may do meanwhile (disconnect, quit, the same button again by mouse, keys or a
// press that passes the input filter, another database and table, the query window's activation and
// text typed through an input method), runs to its true end exactly once. A second close during an
// operation asks whether to stop it; the desktop's end stops it without asking.
#include "windowtest.h"

#include "connection.h"
#include "dberror.h"
#include "mainwindow/frmtablora.h"
#include "query/frmsql.h"
#include "ui_frmsql.h"
#include "schema/attach.h"
#include "scripteddialogs.h"
#include "session.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using Answer = Dialogs::Answer;

namespace {
QString q(const char *text)
{
    return QString::fromUtf8(text);
}

// Clicks the list's entry whose text ends with the given text, as the mouse does.
void clickEntry(QListWidget *list, const QString &endsWith)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().endsWith(endsWith)) {
            const QPoint at = list->visualItemRect(list->item(i)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            return;
        }
    }
    ADD_FAILURE() << "no entry of " << list->objectName().toStdString() << " ends with "
                  << endsWith.toStdString();
}

// Text committed by an input method, as Japanese is typed.
void commitText(QWidget *box, const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

const QString Typed = QString::fromUtf8("漢字");
}

class BusyTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        loadShop();
        attachSchema(*window);
        other = otherDatabase();
        exec(q("CREATE TABLE `%1`.t (a int)").arg(other));
        window->show();
        chooseDatabase();
        query = std::make_unique<frmSql>();
        connection = Session::instance().connection.get();
        threadId = connection->threadId();
        unloaded = std::make_unique<QSignalSpy>(window.get(), &frmTablora::unloaded);
    }
    void TearDown() override
    {
        query.reset();
        WindowTest::TearDown();
    }

    // At every progress step: everything a user might do while the operation runs.
    void interfereWith(QPushButton *button)
    {
        window->onProgressStep = [this, button] {
            ++steps;
            Ui::frmTablora *ui = window->ui;
            QTest::mouseClick(ui->cmdClose, Qt::LeftButton);
            if (steps == 1) // one close, held (a second one would ask whether to stop)
                QTest::mouseClick(ui->cmdEnd, Qt::LeftButton);
            QTest::mouseClick(button, Qt::LeftButton);
            QTest::keyClick(button, Qt::Key_Space);
            button->click(); // what an accessibility press ends in: no input event for the filter
            clickEntry(ui->lstDb, other);
            clickEntry(ui->lstTables, q("\torders"));
            query->Form_Activate();
            query->ui->txtSql->setPlainText(q("select 1"));
            commitText(query->ui->txtSql, Typed);
            QTest::mouseClick(query->ui->cmdExec, Qt::LeftButton);
        };
    }

    // The operation ran alone: same connection, same database, and the window closed only afterwards.
    void expectUndisturbed()
    {
        EXPECT_GT(steps, 0);
        EXPECT_FALSE(query->isRunning());
        ASSERT_EQ(Session::instance().connection.get(), connection);
        EXPECT_EQ(connection->threadId(), threadId);
        EXPECT_EQ(Session::instance().database, db);
        EXPECT_FALSE(query->ui->txtSql->toPlainText().contains(Typed));
        EXPECT_EQ(unloaded->count(), 0);
        // The close asked for during the run is carried out now that it is over.
        window->onProgressStep = nullptr;
        QTRY_COMPARE(unloaded->count(), 1);
    }

    int count(const QString &statement) const
    {
        return int(recorder->statements().count(statement));
    }

    QString other;
    std::unique_ptr<frmSql> query;
    Connection *connection = nullptr;
    unsigned long threadId = 0;
    std::unique_ptr<QSignalSpy> unloaded;
    int steps = 0;
};

TEST_F(BusyTest, CheckOptimizeRepairAndCopyOfAllTablesRunOnceToTheirEnd)
{
    const QStringList tables{q("access_log"), q("customers"), q("items"), q("`order details`"),
                             q("order_totals"), q("orders")};
    struct Run
    {
        QPushButton *button;
        QString statement;
        QString done;
    };
    Ui::frmTablora *ui = window->ui;
    const QList<Run> runs{{ui->cmdCheckTable, q("check table %1.%2 "), q("問題はありませんでした。")},
                          {ui->cmdOptimizeTable, q("optimize table %1.%2"), q("最適化しました。")},
                          {ui->cmdRepairTable, q("repair table %1.%2"), q("修復しました。")}};
    for (const Run &run : runs) {
        ScriptedDialogs dialogs;
        dialogs.answer(Answer::Ok).answer(Answer::Ok);
        interfereWith(run.button);
        recorder->clear();
        run.button->click();
        EXPECT_EQ(dialogs.messages().value(1), run.done) << dialogs.messages().join(q(" | ")).toStdString();
        for (const QString &table : tables)
            EXPECT_EQ(count(run.statement.arg(db, table)), 1) << run.statement.arg(db, table).toStdString();
        EXPECT_EQ(ui->lblCnt->text(), q("5/6"));
        EXPECT_FALSE(recorder->contains(q("select 1")));
    }
    expectUndisturbed();
}

TEST_F(BusyTest, BackupAndScriptBackupWriteEveryFileOnce)
{
    ScriptedDialogs dialogs;
    const QString folder = work.path();
    dialogs.answer(Answer::Ok).folder(folder).answer(Answer::Ok);
    interfereWith(window->ui->cmdBackup);
    window->ui->cmdBackup->click();
    EXPECT_EQ(dialogs.messages().last(), q("「") + folder + q("」にﾊﾞｯｸｱｯﾌﾟしました。"));
    EXPECT_EQ(QDir(folder).entryList({q("*.sql")}).size(), 6);

    QTemporaryDir scripts;
    dialogs.folder(scripts.path()).answer(Answer::Ok);
    interfereWith(window->ui->cmdScriptBackUp);
    window->ui->cmdScriptBackUp->click();
    EXPECT_EQ(dialogs.messages().size(), 3);
    EXPECT_EQ(QDir(scripts.path()).entryList(QDir::Files).size(), 6); // five tables and a view
    expectUndisturbed();
}

TEST_F(BusyTest, AlterTableKeepsItsRowsAndEndsOnce)
{
    const auto before = tableRows(db, q("access_log"));
    chooseTable(q("access_log"));
    QString edited = window->ui->txtField->toPlainText();
    edited.replace(q("CREATE TABLE `access_log` ("),
                   q("CREATE TABLE `access_log` (\n  `extra` int DEFAULT NULL,"));
    window->ui->txtField->setPlainText(edited);
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    interfereWith(window->ui->cmdCreateTable);
    recorder->clear();
    window->ui->cmdCreateTable->click();
    EXPECT_EQ(dialogs.messages().value(1), q("変更しました。")) << window->ui->txtError->text().toStdString()
                                                              << edited.toStdString();
    int creates = 0; // the backup table, then the new one
    for (const QString &statement : recorder->statements())
        creates += statement.startsWith(q("create table "), Qt::CaseInsensitive) ? 1 : 0;
    EXPECT_EQ(creates, 2);
    EXPECT_EQ(scalar(q("select count(*) from `%1`.access_log where extra is null").arg(db)),
              QString::number(before.size()));
    EXPECT_GT(before.size(), 0);
    expectUndisturbed();
}

TEST_F(BusyTest, AnOperationDoesNotStartWhileTheQueryWindowRuns)
{
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    query->ui->txtSql->setPlainText(q("select sleep(30)"));
    query->ui->cmdExec->click();
    ASSERT_TRUE(query->isRunning());
    recorder->clear();
    window->ui->cmdCheckTable->click();
    EXPECT_EQ(dialogs.messages().value(0), Connection::busyText());
    EXPECT_TRUE(recorder->statements().filter(q("check table")).isEmpty());
    QSignalSpy finished(query.get(), &frmSql::runFinished);
    query->ui->cmdStop->click();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    EXPECT_EQ(dialogs.messages().value(1), q("処理を中断しました"));
}

// A statement that waits a long time (here for a table another session has locked) leaves the window's
// events running, painting and timers, but nothing of the user's and no second statement on the link.
TEST_F(BusyTest, ALongStatementLeavesTheWindowRunningAndTheLinkAlone)
{
    Session::instance().db().Execute(q("SET SESSION lock_wait_timeout = 20")); // never a hung test
    exec(q("LOCK TABLES customers WRITE"));
    bool ranDuringTheCheck = false;
    QString shownDuringTheCheck;
    unsigned int secondStatement = 0;
    // As soon as the server shows the check of customers waiting for the lock.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, window.get(), [&] {
        if (scalar(q("select count(*) from information_schema.processlist where id = %1 and info like "
                     "'check table %2.customers%'").arg(threadId).arg(db)) != q("1"))
            return;
        poll.stop();
        // (the statements after it are on their way: a check sends them ahead)
        ranDuringTheCheck = recorder->contains(q("check table %1.customers ").arg(db));
        // The window shows the table that waits, after the one before it.
        shownDuringTheCheck = window->ui->lblCnt->text() + q(" ") + window->ui->lblCkTableName->text();
        try {
            Session::instance().db().Execute(q("select 1"));
        } catch (const DbError &error) {
            secondStatement = error.number();
        }
        QTest::mouseClick(window->ui->cmdEnd, Qt::LeftButton); // a close, held until the operation ends
        window->close(); // the second: asks whether to stop, and goes on when told no
        exec(q("UNLOCK TABLES")); // another link: allowed
    });
    poll.start(10);
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::No).answer(Answer::Ok);
    window->ui->cmdCheckTable->click();
    poll.stop();
    EXPECT_TRUE(ranDuringTheCheck);
    EXPECT_EQ(shownDuringTheCheck, q("0/6 customers"));
    EXPECT_EQ(secondStatement, 2014u);
    EXPECT_EQ(dialogs.messages().value(1), q("処理中です。処理を中断して閉じますか？"));
    EXPECT_EQ(dialogs.messages().value(2), q("問題はありませんでした。"));
    EXPECT_EQ(count(q("check table %1.customers ").arg(db)), 1);
    EXPECT_EQ(scalarOf(Session::instance().db(), q("select 7")), q("7")); // the link is in order
    EXPECT_EQ(connection->threadId(), threadId);
    EXPECT_EQ(unloaded->count(), 0);
    QTRY_COMPARE(unloaded->count(), 1);
}

// The server ends the program's connection in the middle of a run: the run stops there and says how far
// it got and what it did not reach, never that it succeeded.
// The checks go out ahead of their answers: the third table is locked, so the server has not checked it
// or the ones after it when the connection is ended.
TEST_F(BusyTest, ACheckOfAllTablesCutOffSaysWhatItDidNotReach)
{
    exec(q("LOCK TABLES items WRITE"));
    window->onProgressStep = [this] {
        if (++steps == 3) // the first two tables are done
            exec(q("KILL %1").arg(threadId));
    };
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::Ok).answer(Answer::Cancel);
    window->ui->cmdCheckTable->click();
    exec(q("UNLOCK TABLES"));
    const QStringList messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[1].endsWith(q("2/6 件を終えたところで中断しました。\r\n終わっていないもの: "
                                      "items, order details, order_totals, orders")))
        << messages[1].toStdString();
    EXPECT_NE(messages[1], q("問題はありませんでした。"));
    EXPECT_EQ(window->ui->picStatus->fraction(), 0.0);
    EXPECT_EQ(window->ui->lblCnt->text(), q("1/6")); // the counter stays at the last step, drawn or not
}

TEST_F(BusyTest, ABackupCutOffSaysWhatItDidNotReach)
{
    window->onProgressStep = [this] {
        if (++steps == 8) // the counter, the six entries listed, then the first table written
            exec(q("KILL %1").arg(threadId));
    };
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).folder(work.path()).answer(Answer::Ok);
    window->ui->cmdBackup->click();
    const QStringList messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].startsWith(q("「customers」のﾊﾞｯｸｱｯﾌﾟに失敗しました。"))) << messages[1].toStdString();
    EXPECT_TRUE(messages[1].endsWith(q("1/6 件を終えたところで中断しました。\r\n終わっていないもの: "
                                      "customers, items, order details, order_totals, orders")))
        << messages[1].toStdString();
    EXPECT_TRUE(QFile::exists(work.filePath(q("access_log.sql"))));
}

// A statement that waits on a lock another session holds (it could wait a day): a second close asks
// whether to stop; yes ends it with KILL QUERY, the operation says it failed and puts everything back,
// and the window closes with its settings written.
TEST_F(BusyTest, ASecondCloseDuringALockWaitAsksAndStopsTheAlter)
{
    Session::instance().db().Execute(q("SET SESSION lock_wait_timeout = 60")); // never a hung test
    const auto before = tableRows(db, q("access_log"));
    const auto tablesBefore = rows(q("show tables from `%1`").arg(db));
    chooseTable(q("access_log"));
    QString edited = window->ui->txtField->toPlainText();
    edited.replace(q("CREATE TABLE `access_log` ("), q("CREATE TABLE `access_log` (\n  `extra` int DEFAULT NULL,"));
    window->ui->txtField->setPlainText(edited);
    const QString ini = settingsDir.filePath(q("Tablora.ini"));
    QFile::remove(ini);
    exec(q("LOCK TABLES `%1`.access_log WRITE").arg(db));
    const QString waiting = q("select count(*) from information_schema.processlist where id = %1 "
                              "and state like 'Waiting for%lock'").arg(threadId);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (scalar(waiting) != q("1"))
            return;
        poll.stop();
        window->close();                                        // held
        QTest::mouseClick(window->ui->cmdEnd, Qt::LeftButton); // the second: asks
    });
    poll.start(20);
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::Yes).answer(Answer::Ok);
    recorder->clear();
    window->ui->cmdCreateTable->click();
    exec(q("UNLOCK TABLES"));
    ASSERT_EQ(dialogs.shown.size(), 3);
    EXPECT_EQ(dialogs.shown[1].text, q("処理中です。処理を中断して閉じますか？"));
    EXPECT_EQ(dialogs.shown[1].title, window->windowTitle());
    EXPECT_EQ(dialogs.shown[1].buttons, Dialogs::Buttons::YesNo);
    EXPECT_EQ(dialogs.shown[2].text, q("ﾃｰﾌﾞﾙの変更に失敗しました。"));
    EXPECT_TRUE(window->ui->txtError->text().contains(q("interrupted"))) << window->ui->txtError->text().toStdString();
    EXPECT_TRUE(recorder->contains(q("KILL QUERY %1").arg(threadId)));
    QTRY_COMPARE(unloaded->count(), 1);
    EXPECT_TRUE(QFile::exists(ini));
    // The table as it was, and nothing left beside it.
    EXPECT_EQ(tableRows(db, q("access_log")), before);
    EXPECT_EQ(rows(q("show tables from `%1`").arg(db)), tablesBefore);
}

// The desktop ends the program (SIGTERM at logout) while a statement waits on a lock: the settings are
// written at once, the operation is stopped without a question, and the window closes once it has said
// how far it got.
TEST_F(BusyTest, TheDesktopsEndDuringALockWaitSavesAtOnceAndStopsTheOperation)
{
    Session::instance().db().Execute(q("SET SESSION lock_wait_timeout = 60")); // never a hung test
    const QString ini = settingsDir.filePath(q("Tablora.ini"));
    QFile::remove(ini);
    exec(q("LOCK TABLES `%1`.customers WRITE").arg(db));
    const QString waiting = q("select count(*) from information_schema.processlist where id = %1 "
                              "and state like 'Waiting for%lock'").arg(threadId);
    bool savedAtOnce = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (scalar(waiting) != q("1"))
            return;
        poll.stop();
        window->Terminate();
        savedAtOnce = QFile::exists(ini);
    });
    poll.start(20);
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::Ok).answer(Answer::Cancel);
    window->ui->cmdCheckTable->click();
    exec(q("UNLOCK TABLES"));
    EXPECT_TRUE(savedAtOnce);
    const QStringList messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[1].endsWith(q("1/6 件を終えたところで中断しました。\r\n終わっていないもの: "
                                      "customers, items, order details, order_totals, orders")))
        << messages[1].toStdString();
    QTRY_COMPARE(unloaded->count(), 1);
}
