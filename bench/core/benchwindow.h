#pragma once

#include "maintenance/attach.h"
#include "mainwindow/frmtablora.h"
#include "sandbox.h"

#include <QListWidget>
#include <memory>

// The main window as the benches drive it: shown, its maintenance buttons attached, and its connect
// panel filled for the sandbox server reached through port (a relay's, or the server's own). The caller
// clicks cmdConnect.
inline std::unique_ptr<frmTablora> benchWindow(const QString &settingsFolder, const QString &port)
{
    const SandboxServer &server = SandboxServer::get();
    auto window = std::make_unique<frmTablora>(settingsFolder);
    attachMaintenance(*window);
    window->resize(1000, 700);
    window->show();
    Ui::frmTablora *ui = window->ui;
    ui->cboDSNList->setCurrentIndex(0);
    ui->cboDrivers->setCurrentIndex(ui->cboDrivers->findText(QStringLiteral("MySQL ODBC 3.51 Driver")));
    ui->txtServer->setText(server.host);
    ui->txtUser->setText(server.user);
    ui->txtPass->setText(server.password);
    ui->txtPort->setText(port);
    return window;
}

// Chooses the entry of a list whose text is exactly text, as a click would; false when there is none.
inline bool chooseEntry(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    list->setCurrentItem(found.first());
    return true;
}
