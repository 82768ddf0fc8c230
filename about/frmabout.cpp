#include "about/frmabout.h"

#include <QApplication>
#include <QStyle>

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmAbout)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Tablora のﾊﾞｰｼﾞｮﾝ情報"));
    ui->lblVersion->setText(VersionText(MajorVersion(), MinorVersion()));
    ui->lblTitle->setText(QStringLiteral("Tablora"));
    ui->lblDescription->setText(QStringLiteral("開発者向け MySQL管理ソフト"));
    ui->lblDisclaimer->setText(QStringLiteral(
        "本ソフトウェアはフリーソフトウェアです。改変せずに再配布できます。"
        "本ソフトウェアの使用によって生じたいかなる損害についても、作者は責任を負いません。"));
    const QIcon icon = windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon) : windowIcon();
    ui->picIcon->setPixmap(icon.pixmap(48, 48));
    connect(ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

frmAbout::~frmAbout()
{
    delete ui;
}

QString frmAbout::VersionText(int major, int minor)
{
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QString::number(major) + QLatin1Char('.') + QString::number(minor);
}

int frmAbout::MajorVersion()
{
    return TABLORA_VERSION_MAJOR;
}

int frmAbout::MinorVersion()
{
    return TABLORA_VERSION_MINOR;
}
