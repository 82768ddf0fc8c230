#include "maintenance/frmrestore.h"
#include "widgets/accessiblenames.h"

#include "maintenance/maintlogic.h"

#include <QDir>
#include <QStorageInfo>

namespace {
const QString ParentEntry = QStringLiteral("..");
}

frmRestore::frmRestore(RestoreSelection &selection, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmRestore)
    , m_selection(selection)
{
    ui->setupUi(this);
    nameForAssistiveTechnology(this);
    ui->Label1->setText(MaintLogic::Texts::RestoreLabel);

    // The drives: the root of every mounted file system, the system's root first.
    QStringList roots{QDir::rootPath()};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath()))
            roots << volume.rootPath();
    }
    ui->Drive1->addItems(roots);

    connect(ui->Drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
    connect(ui->Dir1, &QListWidget::itemActivated, this, [this] { Dir1_Change(); });
    connect(ui->cmdOk, &QPushButton::clicked, this, &frmRestore::cmdOk_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmRestore::cmdCancel_Click);

    setDirPath(QDir::currentPath());
}

frmRestore::~frmRestore()
{
    delete ui;
}

void frmRestore::Drive1_Change()
{
    setDirPath(ui->Drive1->currentText());
}

void frmRestore::Dir1_Change()
{
    const QListWidgetItem *item = ui->Dir1->currentItem();
    if (!item)
        return;
    QDir dir(m_dirPath);
    if (item->text() == ParentEntry)
        dir.cdUp();
    else
        dir.cd(item->text());
    setDirPath(dir.absolutePath());
}

void frmRestore::setDirPath(const QString &path)
{
    m_dirPath = QDir(path).absolutePath();
    ui->lblDir->setText(m_dirPath);
    ui->Dir1->clear();
    const QDir dir(m_dirPath);
    if (!dir.isRoot())
        ui->Dir1->addItem(ParentEntry);
    ui->Dir1->addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
    // The folder list's change moves the file list along.
    m_filePath = m_dirPath;
    fillFiles();
}

void frmRestore::fillFiles()
{
    ui->File1->clear();
    // Without QDir::CaseSensitive the patterns match without regard to case (Orders.FRM too).
    const QDir dir(m_filePath, QString(), QDir::Name | QDir::IgnoreCase, QDir::Files);
    ui->File1->addItems(dir.entryList({QStringLiteral("*.frm"), QStringLiteral("*.sql")}));
}

void frmRestore::selectFiles(const QStringList &names)
{
    for (int i = 0; i < ui->File1->count(); ++i) {
        QListWidgetItem *item = ui->File1->item(i);
        item->setSelected(names.contains(item->text()));
    }
}

void frmRestore::cmdOk_Click()
{
    QStringList files;
    for (int i = 0; i < ui->File1->count(); ++i) {
        if (ui->File1->item(i)->isSelected())
            files << ui->File1->item(i)->text();
    }
    m_selection.files = files;
    m_selection.names = MaintLogic::restoreNames(files);
    m_selection.folder = m_filePath;
    accept();
}

void frmRestore::cmdCancel_Click()
{
    m_selection.names = QStringList{QString()};
    m_selection.files.clear();
    reject();
}
