#pragma once

#include <QDialog>
#include <QString>
#include <array>

class QRadioButton;

#include "ui_frminout.h"

// The import and export dialog: the direction (a file into the table, or the table into a file), the
// field delimiter, the folder and the file name. It only collects the choice; the main window's handler
// runs the statement.
class frmInOut : public QDialog
{
    Q_OBJECT

public:
    // folder: the folder shown at first (the one kept from the last time).
    frmInOut(const QString &table, const QString &folder, QWidget *parent = nullptr);
    ~frmInOut() override;

    Ui::frmInOut *ui;
    std::array<QRadioButton *, 2> optMode{};      // 0 file → table, 1 table → file
    std::array<QRadioButton *, 3> optDelimiter{}; // 0 tab, 1 comma, 2 the text of txtDelimiter

    bool importing() const;
    QString delimiter() const;
    QString folder() const;
    // The folder and the file name joined.
    QString path() const;

public slots:
    void cmdFolder_Click();
    void cmdOk_Click();
    void cmdCancel_Click();
};
