#pragma once

#include <QDialog>

namespace Ui { class frmTextEditer; }

// The editor dialog of the query window: chooses the program that opens the dump file (the session's
// "texte" setting). OK keeps the text as typed, trimmed; Cancel changes nothing.
class frmTextEditer : public QDialog
{
    Q_OBJECT

public:
    explicit frmTextEditer(QWidget *parent = nullptr);
    ~frmTextEditer() override;

    Ui::frmTextEditer *ui;

public slots:
    void cmdRef_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
};
