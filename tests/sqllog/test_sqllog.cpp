// The SQL log: masking, the bounded model, outcomes reported by the real connection, and the window.
#include "mainwindow/frmtablora.h"
#include "sqllog/frmsqllog.h"
#include "sqllog/passwordmask.h"
#include "sqllog/sqllog.h"
#include "sqllog/sqllogmodel.h"

#include "connection.h"
#include "scripteddialogs.h"
#include "servertest.h"
#include "session.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <thread>

namespace {

QString cell(const SqlLogModel &model, int row, int column)
{
    return model.data(model.index(row, column)).toString();
}

} // namespace

TEST(SqlLogMask, PasswordLiteralsAreMaskedAndTheRestStays)
{
    const QList<std::pair<QString, QString>> cases = {
        {"GRANT ALL ON *.* TO 'u'@'localhost' IDENTIFIED BY 'sec''ret' WITH GRANT OPTION",
         "GRANT ALL ON *.* TO 'u'@'localhost' IDENTIFIED BY '****' WITH GRANT OPTION"},
        {"create user u identified by \"a\\\"b\"", "create user u identified by \"****\""},
        {"ALTER USER 'u'@'%' IDENTIFIED WITH mysql_native_password BY 'x'",
         "ALTER USER 'u'@'%' IDENTIFIED WITH mysql_native_password BY '****'"},
        {"CREATE USER u IDENTIFIED BY PASSWORD '*94BDCEBE19083CE2A1F959FD02F964C7AF4CFC29'",
         "CREATE USER u IDENTIFIED BY PASSWORD '****'"},
        {"SET PASSWORD FOR 'u'@'h' = PASSWORD( 'p1' )", "SET PASSWORD FOR 'u'@'h' = PASSWORD( '****' )"},
        {"set password for u@h = 'p2'", "set password for u@h = '****'"},
        {"select 'IDENTIFIED' , password from t where name = 'x'",
         "select 'IDENTIFIED' , password from t where name = 'x'"},
        {"create user u identified by 'half typed", "create user u identified by '****'"},
        // No blank, comments between the words, executable comments, introducers, strings run together.
        {"CREATE USER u IDENTIFIED BY'x'", "CREATE USER u IDENTIFIED BY'****'"},
        {"CREATE USER u IDENTIFIED/**/BY 'x'", "CREATE USER u IDENTIFIED/**/BY '****'"},
        {"CREATE USER u IDENTIFIED -- c\n BY 'x'", "CREATE USER u IDENTIFIED -- c\n BY '****'"},
        {"CREATE USER u IDENTIFIED # c\nBY _utf8mb4'x'", "CREATE USER u IDENTIFIED # c\nBY _utf8mb4'****'"},
        {"CREATE USER u /*!IDENTIFIED BY 'x'*/", "CREATE USER u /*!IDENTIFIED BY '****'*/"},
        {"CREATE USER u IDENTIFIED BY 'a' \"b\"", "CREATE USER u IDENTIFIED BY '****' \"****\""},
        {"CREATE USER u IDENTIFIED BY 'it\\'s' , v IDENTIFIED BY \"x\"\"y\"",
         "CREATE USER u IDENTIFIED BY '****' , v IDENTIFIED BY \"****\""},
        {"ALTER USER u IDENTIFIED VIA ed25519 USING PASSWORD('x') OR unix_socket",
         "ALTER USER u IDENTIFIED VIA ed25519 USING PASSWORD('****') OR unix_socket"},
        {"CREATE USER u IDENTIFIED VIA mysql_native_password USING '*94BD'",
         "CREATE USER u IDENTIFIED VIA mysql_native_password USING '****'"},
        {"ALTER USER u IDENTIFIED WITH 'caching_sha2_password' BY 'new' REPLACE 'old'",
         "ALTER USER u IDENTIFIED WITH 'caching_sha2_password' BY '****' REPLACE '****'"},
        {"select OLD_PASSWORD('x'), password (concat('y', \"z\")), 'w'",
         "select OLD_PASSWORD('****'), password (concat('****', \"****\")), 'w'"},
        {"CHANGE MASTER TO MASTER_USER='r', MASTER_PASSWORD = 'x', MASTER_HOST='h'",
         "CHANGE MASTER TO MASTER_USER='r', MASTER_PASSWORD = '****', MASTER_HOST='h'"},
        {"CREATE SERVER s FOREIGN DATA WRAPPER mysql OPTIONS (USER 'r', PASSWORD 'x', HOST 'h')",
         "CREATE SERVER s FOREIGN DATA WRAPPER mysql OPTIONS (USER 'r', PASSWORD '****', HOST 'h')"},
        {"SET PASSWORD FOR 'u'@'h' = 'x'; select 'y'", "SET PASSWORD FOR 'u'@'h' = '****'; select 'y'"},
        {"CREATE TABLE f (a INT) ENGINE=FEDERATED CONNECTION='mysql://r:x@h:3306/d/t'",
         "CREATE TABLE f (a INT) ENGINE=FEDERATED CONNECTION='mysql://r:****@h:3306/d/t'"},
        // Under NO_BACKSLASH_ESCAPES a literal ends at a quote after a backslash: either reading hides.
        {"CREATE USER 'a\\' IDENTIFIED BY 'secret'", "CREATE USER 'a\\' IDENTIFIED BY '****'"},
        {"CREATE USER 'a'@'h' IDENTIFIED BY 'x\\', 'b'@'h' IDENTIFIED BY 'y'",
         "CREATE USER 'a'@'h' IDENTIFIED BY '****'b'@'h' IDENTIFIED BY '****'"},
        // Quotes inside names and other literals start nothing.
        {"select `a'b`, '-- IDENTIFIED BY' from t where c = 'BY' and `password` = 'x'",
         "select `a'b`, '-- IDENTIFIED BY' from t where c = 'BY' and `password` = '****'"},
    };
    for (const auto &[statement, shown] : cases)
        EXPECT_EQ(maskPasswords(statement), shown) << statement.toStdString();
}

TEST(SqlLogModelTest, KeepsTheLastEntriesWithTheirOutcomes)
{
    StatementLog log;
    SqlLogModel model(3);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.attach(log);
    std::vector<quint64> ids;
    for (int i = 1; i <= 5; ++i)
        ids.push_back(log.report(QStringLiteral("select %1").arg(i)));
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(cell(model, 0, SqlLogModel::Statement), QStringLiteral("select 3"));
    EXPECT_EQ(cell(model, 2, SqlLogModel::Statement), QStringLiteral("select 5"));
    EXPECT_EQ(cell(model, 2, SqlLogModel::Outcome), QStringLiteral("実行中"));

    log.finish(ids[0], {1, 0, 10});  // already gone: nothing happens
    log.finish(ids[4], {1000000, 0, 2500000});
    log.finish(ids[3], {-1, 1146, 1500});
    EXPECT_EQ(cell(model, 2, SqlLogModel::Outcome), QStringLiteral("1000000 行"));
    EXPECT_EQ(cell(model, 2, SqlLogModel::Duration), QStringLiteral("2.50 秒"));
    EXPECT_EQ(cell(model, 1, SqlLogModel::Outcome), QStringLiteral("ｴﾗｰ 1146"));
    EXPECT_EQ(cell(model, 1, SqlLogModel::Duration), QStringLiteral("1.5 ms"));
    EXPECT_TRUE(model.rowText(2).endsWith(QStringLiteral("\t1000000 行\tselect 5")));

    // A statement of megabytes is kept shortened, its length said.
    const QString huge = QStringLiteral("insert into t values ('") + QString(100000, QLatin1Char('x')) + "')";
    log.report(huge);
    EXPECT_LT(cell(model, 2, SqlLogModel::Statement).size(), 4100);
    EXPECT_TRUE(cell(model, 2, SqlLogModel::Statement).endsWith(QStringLiteral("(%1文字)").arg(huge.size())));
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

using SqlLogServer = ServerTest;

TEST_F(SqlLogServer, EveryStatementOfTheSessionWithItsOutcomeOneEntryForAMillionRows)
{
    SqlLog sqlLog(Session::instance().log);
    SqlLogModel &model = sqlLog.model();
    ASSERT_TRUE(connectSession(db));
    model.clear();
    Connection &c = Session::instance().db();
    c.Execute(QStringLiteral("create table t (a int)"));
    c.Execute(QStringLiteral("insert into t values (1), (2), (3)"));
    auto rs = c.Execute(QStringLiteral("select a from t"));
    EXPECT_THROW(c.Execute(QStringLiteral("select * from missing_table")), std::exception);
    c.Execute(QStringLiteral("create user if not exists 'logged'@'localhost' identified by 'hush'"));
    c.Execute(QStringLiteral("drop user 'logged'@'localhost'"));

    // A streaming answer read on another thread, as the query window reads: one entry, its rows counted
    // when the last one has been read.
    std::thread reader([&c] {
        auto rows = c.ExecuteStreaming(QStringLiteral("select seq from seq_1_to_1000000"));
        while (!rows->Eof())
            rows->MoveNext();
        rows->Close();
    });
    reader.join();
    QCoreApplication::processEvents();

    ASSERT_EQ(model.rowCount(), 7);
    const QStringList outcomes = {"0 行", "3 行", "3 行", "ｴﾗｰ 1146", "0 行", "0 行", "1000000 行"};
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(cell(model, row, SqlLogModel::Outcome), outcomes[row]) << row;
    EXPECT_EQ(cell(model, 4, SqlLogModel::Statement),
              QStringLiteral("create user if not exists 'logged'@'localhost' identified by '****'"));
    EXPECT_EQ(cell(model, 6, SqlLogModel::Statement), QStringLiteral("select seq from seq_1_to_1000000"));
    EXPECT_FALSE(cell(model, 6, SqlLogModel::Duration).isEmpty());
    EXPECT_TRUE(QTime::fromString(cell(model, 0, SqlLogModel::Time), QStringLiteral("HH:mm:ss.zzz")).isValid());
}

TEST_F(SqlLogServer, WindowOpensWithCtrlLEverywhereSearchesCopiesAndClears)
{
    ScriptedDialogs dialogs;
    SqlLog sqlLog(Session::instance().log);
    QTemporaryDir settings;
    frmTablora main(settings.path());
    main.onSqlLog = [&sqlLog] { sqlLog.show(); };
    main.show();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(connectSession(db));
    Connection &c = Session::instance().db();
    c.Execute(QStringLiteral("select 1"));
    c.Execute(QStringLiteral("select password('not shown')"));
    c.Execute(QStringLiteral("select 2"));

    // Ctrl+L in the main window.
    QTest::keyClick(main.ui->txtServer, Qt::Key_L, Qt::ControlModifier);
    frmSqlLog *window = sqlLog.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("SQLﾛｸﾞ"));
    const int all = sqlLog.model().rowCount();
    EXPECT_EQ(window->ui->lblCount->text(), QStringLiteral("%1 件").arg(all));

    window->ui->txtSearch->setText(QStringLiteral("SELECT 2"));
    EXPECT_EQ(window->ui->grdLog->model()->rowCount(), 1);
    EXPECT_EQ(window->ui->lblCount->text(), QStringLiteral("1 / %1 件").arg(all));
    window->ui->cmdCopy->click();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().endsWith(QStringLiteral("\t1 行\tselect 2")));
    window->ui->txtSearch->setText(QStringLiteral("password"));
    EXPECT_TRUE(window->copyText().endsWith(QStringLiteral("select password('****')")));
    EXPECT_FALSE(window->copyText().contains(QStringLiteral("not shown")));
    window->ui->txtSearch->clear();
    window->ui->cmdClear->click();
    EXPECT_EQ(window->ui->grdLog->model()->rowCount(), 0);
    window->hide();

    // The main window's button, and Ctrl+L inside a modal window: the log opens over it, taking input.
    main.ui->cmdSqlLog->click();
    EXPECT_TRUE(window->isVisible());
    window->hide();
    QDialog modal(&main);
    bool openedOverModal = false;
    QTimer::singleShot(0, &modal, [&] {
        QTest::keyClick(&modal, Qt::Key_L, Qt::ControlModifier);
        openedOverModal = window->isVisible() && window->isModal();
        modal.reject();
    });
    modal.exec();
    EXPECT_TRUE(openedOverModal);
    // Once that window is gone the log stays open but blocks nothing.
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    window->hide();
    main.hide();
}
