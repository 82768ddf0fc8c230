#pragma once

#include "ui_frmcreatedb.h"

#include <QDialog>

// The small dialog in which the user names a new database; it sends the create statement itself and
// stays open with the name when the server refuses it.
class frmCreateDB : public QDialog
{
    Q_OBJECT

public:
    explicit frmCreateDB(QWidget *parent = nullptr);
    ~frmCreateDB() override;

    Ui::frmCreateDB *ui;

public slots:
    void cmdOk_Click();
    void cmdCancel_Click();
};
