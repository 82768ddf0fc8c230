#include "maintenance/frminout.h"
#include "widgets/accessiblenames.h"

#include "core/dialogs.h"
#include "maintenance/maintlogic.h"

#include <QDir>

frmInOut::frmInOut(const QString &table, const QString &folder, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmInOut)
{
    ui->setupUi(this);
    nameForAssistiveTechnology(this);
    optMode = {ui->optMode_0, ui->optMode_1};
    optDelimiter = {ui->optDelimiter_0, ui->optDelimiter_1, ui->optDelimiter_2};
    ui->lblTable->setText(table);
    ui->txtFolder->setText(folder);
    ui->txtFile->setText(MaintLogic::fileNameFor(table) + QStringLiteral(".txt"));
    connect(ui->cmdFolder, &QPushButton::clicked, this, &frmInOut::cmdFolder_Click);
    connect(ui->cmdOk, &QPushButton::clicked, this, &frmInOut::cmdOk_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmInOut::cmdCancel_Click);
}

frmInOut::~frmInOut()
{
    delete ui;
}

bool frmInOut::importing() const
{
    return optMode[0]->isChecked();
}

QString frmInOut::delimiter() const
{
    if (optDelimiter[0]->isChecked())
        return QStringLiteral("\t");
    if (optDelimiter[1]->isChecked())
        return QStringLiteral(",");
    return ui->txtDelimiter->text();
}

QString frmInOut::folder() const
{
    return ui->txtFolder->text().trimmed();
}

QString frmInOut::path() const
{
    return QDir(folder()).filePath(ui->txtFile->text().trimmed());
}

void frmInOut::cmdFolder_Click()
{
    const QString chosen = Dialogs::current().chooseFolder(MaintLogic::Texts::InOutFolderPrompt);
    if (!chosen.trimmed().isEmpty())
        ui->txtFolder->setText(chosen);
}

void frmInOut::cmdOk_Click()
{
    QString problem;
    if (folder().isEmpty())
        problem = QStringLiteral("ﾌｫﾙﾀﾞを選択して下さい。");
    else if (ui->txtFile->text().trimmed().isEmpty())
        problem = QStringLiteral("ﾌｧｲﾙ名を入力して下さい。");
    else if (delimiter().isEmpty())
        problem = QStringLiteral("区切り文字を入力して下さい。");
    if (!problem.isEmpty()) {
        Dialogs::current().message(windowTitle(), problem, Dialogs::Icon::Critical);
        return;
    }
    accept();
}

void frmInOut::cmdCancel_Click()
{
    reject();
}
