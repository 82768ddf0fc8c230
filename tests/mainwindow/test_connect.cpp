#include "windowtest.h"

#include "connection.h"
#include "inifile.h"
#include "session.h"
#include "settingsstore.h"

#include <QApplication>
#include <QFileInfo>

namespace {

QString sandboxCa()
{
    const QByteArray ca = qgetenv("TABLORA_SANDBOX_CA");
    if (!ca.isEmpty())
        return QString::fromLocal8Bit(ca);
    return QFileInfo(SandboxServer::get().socket).absolutePath() + QStringLiteral("/tls/ca.pem");
}

}

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

TEST_F(ConnectPanel, ADatabaseNameOrPasswordWithSeparatorsChangesNothing)
{
    const QString name = QStringLiteral("x;server=127.0.0.2;port=1");
    exec(QStringLiteral("drop database if exists `%1`").arg(name));
    exec(QStringLiteral("create database `%1`").arg(name));
    exec(QStringLiteral("drop user if exists 't;u{s}'@'%'"));
    exec(QStringLiteral("create user 't;u{s}'@'%' identified by 'a;b{c}'"));
    exec(QStringLiteral("grant all on `x;server=127.0.0.2;port=1`.* to 't;u{s}'@'%'"));
    connectWindow("t;u{s}", "a;b{c}");
    ASSERT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();
    chooseDatabase(name);
    Session &session = Session::instance();
    EXPECT_EQ(session.database, name);
    // Opening again with the chosen database (as the query window does) goes to the same server.
    const bool opened = session.OpenConnection();
    exec(QStringLiteral("drop user if exists 't;u{s}'@'%'"));
    exec(QStringLiteral("drop database `%1`").arg(name));
    ASSERT_TRUE(opened) << session.lastOpenError().toStdString();
    EXPECT_EQ(scalarOf(session.db(), QStringLiteral("select database()")), name);
    EXPECT_EQ(scalarOf(session.db(), QStringLiteral("select @@port")), server.port);
    EXPECT_EQ(session.db().ConnectionString(),
              QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};SERVER=127.0.0.1;UID={t;u{s}}};PWD={a;b{c}}};"
                             "PORT=%1;DATABASE={x;server=127.0.0.2;port=1};")
                  .arg(server.port));
}

TEST_F(ConnectPanel, TlsChoiceIsKeptAndTheLinkIsShownOnTheDisconnectButton)
{
    QStringList captions;
    for (int i = 0; i < ui->cboTls->count(); ++i)
        captions << ui->cboTls->itemText(i);
    EXPECT_EQ(captions, (QStringList{"なし", "優先", "必須", "検証"}));
    EXPECT_EQ(ui->cboTls->currentText(), QStringLiteral("優先")); // a file without the key
    EXPECT_FALSE(ui->cmdTlsCa->isEnabled());
    ui->cboTls->setCurrentText(QStringLiteral("検証"));
    ASSERT_TRUE(ui->cmdTlsCa->isEnabled());

    // 検証 without a CA file trusts the system's store only, which does not know the sandbox's CA.
    dialogs->answer(Dialogs::Answer::Ok);
    connectWindow("root", server.password);
    ASSERT_EQ(dialogs->messages().size(), 1);
    EXPECT_TRUE(dialogs->messages().first().startsWith(QStringLiteral("接続失敗\n\n")));
    EXPECT_TRUE(dialogs->messages().first().contains(QStringLiteral("証明書")));

    dialogs->openFile(sandboxCa());
    ui->cmdTlsCa->click();
    connectWindow("root", server.password);
    ASSERT_EQ(dialogs->messages().size(), 1) << dialogs->messages().join(";").toStdString();
    const QString cipher = rowsOf(Session::instance().db(), "show session status like 'Ssl_cipher'").value(0).value(1);
    ASSERT_FALSE(cipher.isEmpty());
    EXPECT_TRUE(ui->cmdClose->toolTip().endsWith(QLatin1Char(' ') + cipher)) << ui->cmdClose->toolTip().toStdString();
    EXPECT_FALSE(ui->cboTls->isEnabled());
    EXPECT_FALSE(ui->cmdTlsCa->isEnabled());
    ui->cmdClose->click();
    EXPECT_TRUE(ui->cmdClose->toolTip().isEmpty());
    EXPECT_TRUE(ui->cmdTlsCa->isEnabled());

    window->close();
    window.reset();
    const QString ini = SettingsStore(settings.path()).iniPath();
    EXPECT_EQ(IniFile::read(ini, "DataBase", "tls", "", 200), QStringLiteral("verify"));
    EXPECT_EQ(IniFile::read(ini, "DataBase", "tlsca", "", 200), sandboxCa());
    window = std::make_unique<frmTablora>(settings.path());
    EXPECT_EQ(window->ui->cboTls->currentText(), QStringLiteral("検証"));

    // なし: the link is plain, and the button says so.
    ui = window->ui;
    ui->cboTls->setCurrentText(QStringLiteral("なし"));
    connectWindow("root", server.password);
    EXPECT_TRUE(rowsOf(Session::instance().db(), "show session status like 'Ssl_cipher'").value(0).value(1).isEmpty());
    EXPECT_EQ(ui->cmdClose->toolTip(), QStringLiteral("暗号化されていない接続 (TLSなし)"));

    // The chosen CA file can be given up again: 検証 then trusts the system's store only.
    ui->cmdClose->click();
    ui->cboTls->setCurrentText(QStringLiteral("検証"));
    dialogs->openFile(QString()).answer(Dialogs::Answer::Yes).answer(Dialogs::Answer::Ok);
    ui->cmdTlsCa->click();
    connectWindow("root", server.password);
    EXPECT_TRUE(dialogs->messages().last().startsWith(QStringLiteral("接続失敗\n\n")));
    EXPECT_EQ(Session::instance().tlsCa, QString());
}
