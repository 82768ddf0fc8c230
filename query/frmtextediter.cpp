#include "frmtextediter.h"
#include "widgets/accessiblenames.h"

#include "core/dialogs.h"
#include "core/session.h"
#include "ui_frmtextediter.h"

frmTextEditer::frmTextEditer(QWidget *parent)
    : QDialog(parent), ui(new Ui::frmTextEditer)
{
    ui->setupUi(this);
    nameForAssistiveTechnology(this);
    setFixedSize(size());
    ui->txtTextEditer->setText(Session::instance().settings.texte);
    connect(ui->cmdRef, &QPushButton::clicked, this, &frmTextEditer::cmdRef_Click);
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmTextEditer::cmdOK_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmTextEditer::cmdCancel_Click);
    ui->cmdOK->setDefault(true);
}

frmTextEditer::~frmTextEditer()
{
    delete ui;
}

void frmTextEditer::cmdRef_Click()
{
    const QString path = Dialogs::current().openFile(windowTitle(), QStringLiteral("ﾌﾟﾛｸﾞﾗﾑ (*)"));
    if (!path.trimmed().isEmpty())
        ui->txtTextEditer->setText(path);
}

void frmTextEditer::cmdOK_Click()
{
    Session::instance().settings.texte = ui->txtTextEditer->text().trimmed();
    accept();
}

void frmTextEditer::cmdCancel_Click()
{
    reject();
}
