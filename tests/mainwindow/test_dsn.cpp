#include "windowtest.h"

#include "session.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

// unixODBC reads its files once per process: the catalogue of this program is set up once, before any
// window asks for it. A MySQL data source at the sandbox, one named "localhost", and a data source and a
// driver of another kind that the panel must leave out.
class OdbcFiles
{
public:
    OdbcFiles(const QString &port, const QString &ca)
    {
        const QString dir = m_dir.path();
        write(dir + "/odbcinst.ini",
              "[MySQL ODBC 3.51 Driver]\nDescription=MySQL\nDriver=/nonexistent/libmyodbc3.so\n\n"
              "[PostgreSQL Unicode]\nDescription=PostgreSQL\nDriver=/nonexistent/psqlodbcw.so\n");
        write(dir + "/odbc.ini",
              "[tablora_dsn]\nDriver=MySQL ODBC 3.51 Driver\nSERVER=127.0.0.1\nPORT=" + port
                  + "\nUID=root\nPWD=tablora\n\n"
                  "[local_dsn]\nDriver=MySQL ODBC 3.51 Driver\nSERVER=localhost\nPORT=" + port
                  + "\nUID=root\nPWD=tablora\n\n"
                  "[verified_dsn]\nDriver=MySQL ODBC 3.51 Driver\nSERVER=127.0.0.1\nPORT=" + port
                  + "\nUID=root\nPWD=tablora\nSSLMODE=VERIFY_IDENTITY\nSSLCA=" + ca + "\n\n"
                  "[system_ca_dsn]\nDriver=MySQL ODBC 3.51 Driver\nSERVER=127.0.0.1\nPORT=" + port
                  + "\nUID=root\nPWD=tablora\nSSLVERIFY=1\n\n"
                  "[pinned_dsn]\nDriver=MySQL ODBC 3.51 Driver\nSERVER=127.0.0.1\nPORT=" + port
                  + "\nUID=root\nPWD=tablora\nTLSPEERFP=" + fingerprint(ca) + "\n\n"
                  "[wrong_pin_dsn]\nDriver=MySQL ODBC 3.51 Driver\nSERVER=127.0.0.1\nPORT=" + port
                  + "\nUID=root\nPWD=tablora\nTLSPEERFP=" + QString(40, QLatin1Char('0')) + "\n\n"
                  "[crl_dsn]\nDriver=MySQL ODBC 3.51 Driver\nSERVER=127.0.0.1\nPORT=" + port
                  + "\nUID=root\nPWD=tablora\nSSLCRL=" + dir + "/none.crl\n\n"
                  "[tls_version_dsn]\nDriver=MySQL ODBC 3.51 Driver\nSERVER=127.0.0.1\nPORT=" + port
                  + "\nUID=root\nPWD=tablora\nTLSVERSION=TLS1.3\n\n"
                  "[pg_dsn]\nDriver=PostgreSQL Unicode\nSERVER=127.0.0.1\n");
        qputenv("ODBCSYSINI", dir.toUtf8());
        qputenv("ODBCINI", (dir + "/odbc.ini").toUtf8());
    }

private:
    // The SHA-1 fingerprint of the sandbox server's certificate (beside its CA file), in hex.
    static QString fingerprint(const QString &ca)
    {
        QFile file(QFileInfo(ca).absolutePath() + QStringLiteral("/server-cert.pem"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray pem = file.readAll();
        const qsizetype begin = pem.indexOf('\n', pem.indexOf("-----BEGIN CERTIFICATE-----"));
        const QByteArray der = QByteArray::fromBase64(pem.mid(begin, pem.indexOf("-----END") - begin));
        return QString::fromLatin1(QCryptographicHash::hash(der, QCryptographicHash::Sha1).toHex());
    }
    static void write(const QString &path, const QString &text)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }
    QTemporaryDir m_dir;
};

class DataSources : public WindowTest
{
protected:
    void SetUp() override
    {
        const QByteArray ca = qgetenv("TABLORA_SANDBOX_CA");
        static OdbcFiles files(SandboxServer::get().port,
                               ca.isEmpty() ? QFileInfo(SandboxServer::get().socket).absolutePath()
                                                  + QStringLiteral("/tls/ca.pem")
                                            : QString::fromLocal8Bit(ca));
        WindowTest::SetUp();
    }
};

}

TEST_F(DataSources, OnlyMySqlSourcesAndDriversAreListed)
{
    QStringList sources, drivers;
    for (int i = 0; i < ui->cboDSNList->count(); ++i)
        sources << ui->cboDSNList->itemText(i);
    for (int i = 0; i < ui->cboDrivers->count(); ++i)
        drivers << ui->cboDrivers->itemText(i);
    EXPECT_EQ(sources, (QStringList{"(なし)", "tablora_dsn", "local_dsn", "verified_dsn", "system_ca_dsn",
                                    "pinned_dsn", "wrong_pin_dsn", "crl_dsn",
                                    "tls_version_dsn"}));
    EXPECT_TRUE(drivers.contains("MySQL ODBC 3.51 Driver"));
    EXPECT_FALSE(drivers.contains("PostgreSQL Unicode"));
}

TEST_F(DataSources, ConnectingThroughADataSourceNeedsNoOtherEntry)
{
    ui->txtServer->clear();
    ui->txtUser->clear();
    ui->txtPort->clear();
    ui->cboDSNList->setCurrentText("tablora_dsn");
    for (QWidget *w : {static_cast<QWidget *>(ui->txtServer), static_cast<QWidget *>(ui->txtUser),
                       static_cast<QWidget *>(ui->txtPass), static_cast<QWidget *>(ui->txtPort),
                       static_cast<QWidget *>(ui->cboDrivers)})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    ui->cmdConnect->click();
    ASSERT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();
    EXPECT_EQ(Session::instance().dsn, QStringLiteral("tablora_dsn"));
    EXPECT_EQ(Session::instance().connection->State(), 1);
    EXPECT_FALSE(Session::instance().isLocalhost);
    chooseDatabase();
    EXPECT_EQ(Session::instance().database, db);

    // Back to "(なし)": the entries for a connection by driver are enabled again once disconnected.
    ui->cmdClose->click();
    ui->cboDSNList->setCurrentIndex(0);
    EXPECT_TRUE(ui->txtServer->isEnabled());
    EXPECT_TRUE(ui->cboDrivers->isEnabled());
}

TEST_F(DataSources, ADataSourceAtLocalhostSetsTheFlag)
{
    ui->cboDSNList->setCurrentText("local_dsn");
    ui->cmdConnect->click();
    ASSERT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();
    EXPECT_TRUE(Session::instance().isLocalhost);
}

TEST_F(DataSources, TheSavedDataSourceIsChosenOnActivation)
{
    Session::instance().dsn = "local_dsn";
    window->Form_Activate();
    EXPECT_EQ(ui->cboDSNList->currentText(), QStringLiteral("local_dsn"));
    EXPECT_FALSE(ui->txtServer->isEnabled());
}

TEST_F(DataSources, TheDataSourcesTlsSettingsCountWhereTheyAskForMore)
{
    // The panel says なし; the data source asks for a verified link with its own CA file.
    ui->cboTls->setCurrentText(QStringLiteral("なし"));
    ui->cboDSNList->setCurrentText("verified_dsn");
    ui->cmdConnect->click();
    ASSERT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();
    const QString cipher =
        rowsOf(Session::instance().db(), "show session status like 'Ssl_cipher'").value(0).value(1);
    EXPECT_FALSE(cipher.isEmpty());
    ui->cmdClose->click();

    // SSLVERIFY=1 without a CA file: the system's store, which does not know the sandbox's CA.
    dialogs->answer(Dialogs::Answer::Ok);
    ui->cboDSNList->setCurrentText("system_ca_dsn");
    ui->cmdConnect->click();
    ASSERT_EQ(dialogs->messages().size(), 1);
    EXPECT_TRUE(dialogs->messages().first().startsWith(QStringLiteral("接続失敗\n\n")));
}

TEST_F(DataSources, FurtherTlsKeysAreHonouredOrRefusedByName)
{
    // TLSPEERFP pins the server's certificate: the sandbox's own is taken, another is refused.
    ui->cboTls->setCurrentText(QStringLiteral("優先"));
    ui->cboDSNList->setCurrentText("pinned_dsn");
    ui->cmdConnect->click();
    ASSERT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();
    EXPECT_FALSE(Session::instance().db().tlsDescription().isEmpty());
    ui->cmdClose->click();

    dialogs->answer(Dialogs::Answer::Ok).answer(Dialogs::Answer::Ok);
    ui->cboDSNList->setCurrentText("wrong_pin_dsn");
    ui->cmdConnect->click();
    ASSERT_EQ(dialogs->messages().size(), 1);
    EXPECT_TRUE(dialogs->messages().last().startsWith(QStringLiteral("接続失敗\n\n")));
    EXPECT_TRUE(dialogs->messages().last().contains(QStringLiteral("Fingerprint")))
        << dialogs->messages().last().toStdString();

    // A revocation list works only where the certificate is checked: under 必須 it is refused by name.
    ui->cboTls->setCurrentText(QStringLiteral("必須"));
    ui->cboDSNList->setCurrentText("crl_dsn");
    ui->cmdConnect->click();
    ASSERT_EQ(dialogs->messages().size(), 2);
    EXPECT_TRUE(dialogs->messages().last().contains(QStringLiteral("SSLCRL")));
    EXPECT_TRUE(dialogs->messages().last().contains(QStringLiteral("検証")));

    // A version the connector would not know (it would then limit nothing) is refused by name.
    dialogs->answer(Dialogs::Answer::Ok);
    ui->cboDSNList->setCurrentText("tls_version_dsn");
    ui->cmdConnect->click();
    ASSERT_EQ(dialogs->messages().size(), 3);
    EXPECT_TRUE(dialogs->messages().last().contains(QStringLiteral("TLSVERSION")))
        << dialogs->messages().last().toStdString();
}
