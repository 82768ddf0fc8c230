#include "windowtest.h"

#include "connection.h"
#include "inifile.h"
#include "session.h"
#include "settingsstore.h"

#include <QApplication>

using ConnectPanel = WindowTest;

TEST_F(ConnectPanel, ValidationMessagesComeInOrderAndNothingConnects)
{
    ui->cboDSNList->setCurrentIndex(0);
    ui->cboDrivers->setCurrentIndex(-1);
    ui->txtServer->setText("   ");
    ui->txtUser->clear();
    ui->txtPass->clear();
    ui->txtPort->clear();
    const auto click = [&] {
        dialogs->answer(Dialogs::Answer::Ok);
        ui->cmdConnect->click();
    };
    click();
    ui->cboDrivers->setCurrentIndex(0);
    click();
    ui->txtServer->setText("127.0.0.1");
    click();
    ui->txtUser->setText("root");
    click();
    EXPECT_EQ(dialogs->messages(),
              (QStringList{"ﾄﾞﾗｲﾊﾞを選択して下さい。", "ｻｰﾊﾞｰ名を選択して下さい。", "ﾕｰｻﾞｰ名を選択して下さい。",
                           "ﾎﾟｰﾄを選択して下さい。"}));
    for (const auto &shown : dialogs->shown) {
        EXPECT_EQ(shown.title, QStringLiteral("Tablora"));
        EXPECT_EQ(shown.icon, Dialogs::Icon::Critical);
        EXPECT_EQ(shown.buttons, Dialogs::Buttons::Ok);
    }
    EXPECT_EQ(Session::instance().connection, nullptr);
    EXPECT_TRUE(Session::instance().server.isEmpty());   // nothing copied before the checks pass
    EXPECT_TRUE(ui->cmdConnect->isEnabled());
}

TEST_F(ConnectPanel, WrongPasswordAndClosedPortFailWithTheDisconnectedState)
{
    dialogs->answer(Dialogs::Answer::Ok).answer(Dialogs::Answer::Ok);
    connectWindow("root", "not the password");
    connectWindow("root", server.password, "127.0.0.1", "1");
    EXPECT_EQ(dialogs->messages(), (QStringList{"接続失敗", "接続失敗"}));
    EXPECT_EQ(dialogs->shown[0].icon, Dialogs::Icon::Critical);
    EXPECT_TRUE(ui->cmdConnect->isEnabled());
    EXPECT_FALSE(ui->cmdClose->isEnabled());
    EXPECT_FALSE(ui->cmdShowDb->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ConnectPanel, ConnectingByDriverSwitchesTheWindowAndHoldsBackSelectionButtons)
{
    connectWindow("  root ", " " + server.password + "  ");   // blanks around the entries are trimmed
    ASSERT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();
    Session &session = Session::instance();
    ASSERT_NE(session.connection, nullptr);
    EXPECT_EQ(session.connection->State(), 1);
    EXPECT_EQ(session.user, QStringLiteral("root"));
    EXPECT_EQ(session.pass, server.password);
    EXPECT_FALSE(session.isLocalhost);   // 127.0.0.1 is not "localhost"
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    EXPECT_FALSE(ui->cmdConnect->isEnabled());
    EXPECT_FALSE(ui->txtServer->isEnabled());
    EXPECT_FALSE(ui->cboDSNList->isEnabled());
    for (QWidget *w : {ui->cmdClose, ui->cmdShowDb, ui->cmdCreateDb, ui->cmdCreateUser})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget *w :
         {ui->cmdDropDb, ui->cmdExec, ui->cmdBackup, ui->cmdRestore, ui->cmdCheckTable, ui->cmdRepairTable,
          ui->cmdOptimizeTable, ui->cmdCopyDb, ui->cmdDropTable, ui->cmdCreateTable, ui->cmdInOut,
          ui->cmdScriptBackUp, ui->cmdDataGet, ui->cmdDropProc, ui->cmdCreateProc})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();

    // Activation while connected keeps the panel's entries disabled.
    window->Form_Activate();
    EXPECT_FALSE(ui->txtServer->isEnabled());
}

TEST_F(ConnectPanel, OnlyTheNameLocalhostSetsTheFlagAndItGatesBackupAndRestore)
{
    connectWindow("root", server.password, "localhost");
    ASSERT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();
    EXPECT_TRUE(Session::instance().isLocalhost);
    ui->cmdShowDb->click();
    EXPECT_TRUE(ui->cmdBackup->isEnabled());
    EXPECT_TRUE(ui->cmdRestore->isEnabled());

    ui->cmdClose->click();
    EXPECT_FALSE(Session::instance().isLocalhost);
    connectWindow("root", server.password, "127.0.0.1");
    EXPECT_FALSE(Session::instance().isLocalhost);
    ui->cmdShowDb->click();
    EXPECT_FALSE(ui->cmdBackup->isEnabled());
    EXPECT_FALSE(ui->cmdRestore->isEnabled());
    EXPECT_TRUE(ui->cmdCheckTable->isEnabled());
    EXPECT_TRUE(ui->cmdExec->isEnabled());
}

TEST_F(ConnectPanel, DisconnectAndConnectAgain)
{
    int disconnects = 0;
    window->onDisconnect = [&] { ++disconnects; };
    connectWindow("root", server.password, "localhost");
    chooseDatabase();
    ASSERT_EQ(Session::instance().database, db);

    ui->cmdClose->click();
    EXPECT_EQ(disconnects, 1);
    EXPECT_EQ(Session::instance().connection, nullptr);
    EXPECT_FALSE(Session::instance().isLocalhost);
    EXPECT_TRUE(Session::instance().database.isEmpty());
    EXPECT_EQ(ui->lstDb->count(), 0);
    EXPECT_TRUE(ui->cmdConnect->isEnabled());
    EXPECT_FALSE(ui->cmdShowDb->isEnabled());
    EXPECT_EQ(ui->txtServer->text(), QStringLiteral("localhost"));   // the entries stay as typed

    connectWindow("root", server.password);
    ASSERT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();
    chooseDatabase();
    EXPECT_EQ(Session::instance().database, db);
    EXPECT_EQ(Session::instance().connection->State(), 1);
}

TEST_F(ConnectPanel, ClosingSavesTheEntriesOfTheLastConnectAttempt)
{
    dialogs->answer(Dialogs::Answer::Ok);
    connectWindow("someone", "pw ; x", "127.0.0.1", "1");   // a failed attempt counts
    ui->txtServer->setText("typed-but-never-tried");
    ui->txtUser->setText("nobody");
    window->close();
    window.reset();

    const QString ini = SettingsStore(settings.path()).iniPath();
    const auto read = [&](const char *key) { return IniFile::read(ini, "DataBase", key, "", 200); };
    EXPECT_EQ(read("server"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(read("user"), QStringLiteral("someone"));
    EXPECT_EQ(SettingsStore::shiftUp(read("pass")), QStringLiteral("pw ; x"));
    EXPECT_EQ(read("port"), QStringLiteral("1"));
    EXPECT_EQ(read("dsn"), QStringLiteral("(なし)"));
    EXPECT_EQ(read("driver"), QStringLiteral("MySQL ODBC 3.51 Driver"));
}

TEST_F(ConnectPanel, ClosingWorksWhenTheServerWentAway)
{
    connectWindow("root", server.password);
    ASSERT_NE(Session::instance().connection, nullptr);
    chooseDatabase();
    exec(QStringLiteral("KILL %1").arg(Session::instance().connection->threadId()));
    bool unloaded = false;
    QObject::connect(window.get(), &frmTablora::unloaded, [&] { unloaded = true; });
    window->ui->cmdEnd->click();
    EXPECT_TRUE(unloaded);
    EXPECT_EQ(Session::instance().connection, nullptr);
    EXPECT_TRUE(QFile::exists(SettingsStore(settings.path()).iniPath()));
}
