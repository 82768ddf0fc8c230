#include "windowtest.h"

#include "session.h"

void WindowTest::SetUp()
{
    ServerTest::SetUp();
    dialogs = std::make_unique<ScriptedDialogs>();
    recorder = std::make_unique<StatementRecorder>();
    window = std::make_unique<frmTablora>(settings.path());
    ui = window->ui;
    window->Form_Activate();
}

void WindowTest::TearDown()
{
    window.reset();
    recorder.reset();
    dialogs.reset();
    ServerTest::TearDown();
}

void WindowTest::connectWindow(const QString &user, const QString &pass, const QString &host,
                               const QString &port)
{
    ui->cboDSNList->setCurrentIndex(0);
    ui->cboDrivers->setCurrentIndex(ui->cboDrivers->findText(QStringLiteral("MySQL ODBC 3.51 Driver")));
    ui->txtServer->setText(host);
    ui->txtUser->setText(user);
    ui->txtPass->setText(pass);
    ui->txtPort->setText(port.isEmpty() ? server.port : port);
    ui->cmdConnect->click();
}

void WindowTest::chooseDatabase(const QString &database)
{
    ui->cmdShowDb->click();
    ASSERT_TRUE(choose(ui->lstDb, database.isEmpty() ? db : database));
}

bool WindowTest::choose(QListWidget *list, const QString &entry)
{
    const QList<QListWidgetItem *> found = list->findItems(entry, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    list->setCurrentItem(found.first());
    return true;
}

QStringList WindowTest::items(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}
