#pragma once

#include "ui_frmsqllog.h"

#include <QWidget>

class QSortFilterProxyModel;
class SqlLogModel;

// The "SQLﾛｸﾞ" window: the statements of the session, newest last, searched by their text (txtSearch),
// copied (cmdCopy or Ctrl+C: the chosen rows, or every shown row when none is chosen) and cleared.
class frmSqlLog : public QWidget
{
    Q_OBJECT

public:
    explicit frmSqlLog(SqlLogModel &model, QWidget *parent = nullptr);
    ~frmSqlLog() override;

    Ui::frmSqlLog *ui;

    // The text cmdCopy puts on the clipboard.
    QString copyText() const;

public slots:
    void cmdCopy_Click();
    void cmdClear_Click();
    void txtSearch_Change();

private:
    void showCount();

    SqlLogModel &m_model;
    QSortFilterProxyModel *m_filter;
    bool m_follow = true;
};
