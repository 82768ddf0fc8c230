#pragma once

#include "ui_frmabout.h"

#include <QDialog>
#include <QString>

// The version window: the program's name, its major.minor version and a one-line description.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr);
    ~frmAbout() override;

    Ui::frmAbout *ui;

    // "ﾊﾞｰｼﾞｮﾝ " followed by major.minor, each a plain decimal number.
    static QString VersionText(int major, int minor);
    static int MajorVersion();
    static int MinorVersion();
};
