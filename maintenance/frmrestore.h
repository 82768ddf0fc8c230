#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include "ui_frmrestore.h"

// What the restore dialog hands back for one restore: the chosen backup files, the table names made from
// them (at least one element; one empty element when nothing was chosen) and their folder.
struct RestoreSelection
{
    QStringList names{QString()};
    QStringList files;
    QString folder;
    void reset()
    {
        names = QStringList{QString()};
        files.clear();
        folder.clear();
    }
};

// The restore dialog: a drive list, a folder list and a file list of the backups (*.frm, *.sql) in the
// folder, several of which can be selected.
class frmRestore : public QDialog
{
    Q_OBJECT

public:
    explicit frmRestore(RestoreSelection &selection, QWidget *parent = nullptr);
    ~frmRestore() override;

    Ui::frmRestore *ui;

    // The folder list's folder; setting it shows its subfolders, and the file list follows it.
    QString dirPath() const { return m_dirPath; }
    void setDirPath(const QString &path);
    // The file list's folder.
    QString filePath() const { return m_filePath; }
    // Selects the entries of the file list with these names (tests and keyboard-free use).
    void selectFiles(const QStringList &names);

public slots:
    void Drive1_Change();
    void Dir1_Change();
    void cmdOk_Click();
    void cmdCancel_Click();

private:
    void fillFiles();

    RestoreSelection &m_selection;
    QString m_dirPath;
    QString m_filePath;
};
