// The connect panel of the main window: the data-source and driver lists, validation and connecting.
#include "mainwindow/frmtablora.h"

#include "core/dberror.h"
#include "core/odbccatalog.h"
#include "core/session.h"
#include "mainwindow/mainlogic.h"
#include "widgets/waitcursor.h"

void frmTablora::FillConnectLists()
{
    const QSignalBlocker blockDsn(ui->cboDSNList);
    ui->cboDSNList->clear();
    ui->cboDSNList->addItem(MainLogic::NoDsn);
    // A failing catalogue leaves its list with what it had; the window loads all the same.
    try {
        for (const OdbcCatalog::DataSource &source : OdbcCatalog::dataSources()) {
            if (!source.name.trimmed().isEmpty() && source.description.contains(QLatin1String("MySQL")))
                ui->cboDSNList->addItem(source.name);
        }
    } catch (const std::exception &) {
    }
    ui->cboDSNList->setCurrentIndex(0);

    ui->cboDrivers->clear();
    try {
        for (const QString &driver : OdbcCatalog::drivers()) {
            if (driver.contains(QLatin1String("MySQL")))
                ui->cboDrivers->addItem(driver);
        }
    } catch (const std::exception &) {
    }
}

void frmTablora::cboDSNList_Click()
{
    // The panel's entries stay disabled while connected.
    if (m_connected)
        return;
    const bool byDriver = ui->cboDSNList->currentText() == MainLogic::NoDsn;
    for (QWidget *w : std::initializer_list<QWidget *>{ui->txtServer, ui->txtUser, ui->txtPass,
                                                       ui->cboDrivers, ui->txtPort})
        w->setEnabled(byDriver);
}

void frmTablora::cmdConnect_Click()
{
    const QString problem =
        MainLogic::ConnectValidation(ui->cboDSNList->currentText(), ui->cboDrivers->currentText(),
                                     ui->txtServer->text(), ui->txtUser->text(), ui->txtPort->text());
    if (!problem.isEmpty()) {
        Message(problem, Dialogs::Icon::Critical);
        return;
    }

    Session &session = Session::instance();
    session.dsn = ui->cboDSNList->currentText().trimmed();
    session.driver = ui->cboDrivers->currentText().trimmed();
    session.server = ui->txtServer->text().trimmed();
    session.user = ui->txtUser->text().trimmed();
    session.pass = ui->txtPass->text().trimmed();
    session.port = ui->txtPort->text().trimmed();
    session.tls = TlsMode(std::max(0, ui->cboTls->currentIndex()));
    session.tlsCa = m_tlsCa;

    WaitCursor wait;
    bool opened = false;
    try {
        opened = session.OpenConnection();
    } catch (const std::exception &) {
        opened = false;
    }
    wait.restore();

    if (!opened) {
        // A refusal for TLS's sake says why: the user chose a mode that demands it.
        const bool tlsRefused = session.lastOpenErrorNumber() == DbError::TlsRefused;
        Message(tlsRefused ? QStringLiteral("接続失敗\n\n") + session.lastOpenError()
                           : QStringLiteral("接続失敗"),
                Dialogs::Icon::Critical);
        EnableControls(false);
        return;
    }

    session.isLocalhost = MainLogic::IsLocalhost(session.connection->ConnectionString());
    EnableControls(true);
    // These wait for a chosen database, table or routine.
    for (QWidget *w : std::initializer_list<QWidget *>{
             ui->cmdDropDb, ui->cmdExec, ui->cmdBackup, ui->cmdRestore, ui->cmdCheckTable,
             ui->cmdRepairTable, ui->cmdOptimizeTable, ui->cmdCopyDb, ui->cmdDropTable, ui->cmdCreateTable,
             ui->cmdInOut, ui->cmdScriptBackUp, ui->cmdDataGet, ui->cmdDropProc, ui->cmdCreateProc})
        w->setEnabled(false);
}

void frmTablora::cboTls_Click()
{
    ui->cmdTlsCa->setEnabled(!m_connected && ui->cboTls->currentIndex() == int(TlsMode::Verify));
}

void frmTablora::cmdTlsCa_Click()
{
    const QString file = Dialogs::current().openFile(QStringLiteral("CAファイル"),
                                                     QStringLiteral("証明書 (*.pem *.crt *.cer);;すべて (*)"));
    const TlsMode mode = TlsMode(ui->cboTls->currentIndex());
    if (!file.isEmpty())
        ShowTlsChoice(mode, file);
    else if (!m_tlsCa.isEmpty()
             && Message(QStringLiteral("CAファイルの指定をやめ、システムのCAで検証しますか？"),
                        Dialogs::Icon::Question, Dialogs::Buttons::YesNo)
                    == Dialogs::Answer::Yes)
        ShowTlsChoice(mode, QString());
}

void frmTablora::ShowTlsChoice(TlsMode mode, const QString &caFile)
{
    ui->cboTls->setCurrentIndex(int(mode));
    m_tlsCa = caFile;
    ui->cmdTlsCa->setToolTip(caFile.isEmpty() ? QStringLiteral("検証に使うCAファイル (未選択: システムのCA)")
                                              : QStringLiteral("検証に使うCAファイル: ") + caFile);
    cboTls_Click();
}

void frmTablora::ShowLinkSecurity(bool connected)
{
    const Session &session = Session::instance();
    QString tip;
    if (connected && session.connection && session.connection->State() == 1) {
        const QString link = session.connection->tlsDescription();
        tip = link.isEmpty() ? QStringLiteral("暗号化されていない接続 (TLSなし)")
                             : QStringLiteral("TLSで暗号化された接続: ") + link;
    }
    ui->cmdClose->setToolTip(tip);
    ui->cmdClose->setAccessibleDescription(tip);
}
