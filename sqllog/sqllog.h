#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

class StatementLog;
class SqlLogModel;
class frmSqlLog;

// The SQL log of the program: keeps the statements of the session from the start (SqlLogModel) and opens
// the "SQLﾛｸﾞ" window with Ctrl+L in any window of the program, or through show().
class SqlLog : public QObject
{
    Q_OBJECT

public:
    explicit SqlLog(StatementLog &log, QObject *parent = nullptr);
    ~SqlLog() override;

    SqlLogModel &model() { return *m_model; }
    // The window once it has been opened, else nullptr.
    frmSqlLog *window() const { return m_window.get(); }
    // Opens the window, or brings it to the front. Over a modal window it opens modal itself, so that it
    // takes input rather than being blocked behind it.
    void show();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The window is no longer modal once the modal window it opened over is gone.
    void endModal();

    std::unique_ptr<SqlLogModel> m_model;
    std::unique_ptr<frmSqlLog> m_window;
    QPointer<QWidget> m_over; // the modal window it was opened over
};
