#pragma once

#include "queryrun.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>

class QCheckBox;
class QRadioButton;
class Grid;
namespace Ui { class frmSql; }

// The query window: runs the SQL text typed in txtSql on the session's connection and shows the result as
// delimited text (txtRecord), as a grid (flgrid_Record) and optionally as the dump file sqldump.dat opened
// in an external editor; shows the server's plan of the query (flgrid_ANALYZE) and the values of the
// user variables kept in the session (picVariablename).
//
// A run executes on a thread of its own so that the window stays responsive and cmdStop works at any moment,
// also while the server is still working before the first row. Only the window's thread touches widgets.
// The running flag is the Tag of cmdExec ("True" during a run, else "False"), as the main window sets it.
class frmSql : public QWidget
{
    Q_OBJECT

public:
    explicit frmSql(QWidget *parent = nullptr);
    ~frmSql() override;

    // The window of this process: opens it (or brings the open one to the front) and returns it.
    static frmSql *showFor();
    // The open window, or nullptr.
    static frmSql *instance();

    Ui::frmSql *ui;
    std::array<QCheckBox *, 2> ckMemo{};       // 0 "Text保存", 1 "Textを開く"
    std::array<QRadioButton *, 4> optRecord{}; // 0 text, 1 grid, 2 analysis, 3 variables

    // The Tag of cmdExec. Setting "False" during a run stops it (the main window does so when it
    // disconnects) and waits until the run no longer uses the connection.
    void setExecTag(const QString &tag);
    QString execTag() const { return m_execTag; }
    bool isRunning() const { return m_run != nullptr; }

public slots:
    void cmdExec_Click();
    void cmdStop_Click();
    void ckMemo_Click(int index);
    void ckNoTextNoGrid_Click();
    void cmdFolder_Click();
    void cmdEditer_Click();
    void cmdFont_Click();
    void cboDelimiter_Click();
    void optRecord_Click(int index);
    void cmdAnalyze_Click();
    void cmdVariabl_Click();
    void cmdVariable_Click();
    void lstVariablename_Click();
    void lstVariable_Click();
    // Activation: opens the session's connection again when it was lost while the window was away.
    void Form_Activate();

signals:
    // A run has ended, whichever way (after its messages).
    void runFinished();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void restoreSettings();
    void storeSettings();
    void applyFont(const class QFont &font);
    void showView(int index);
    void prepareGrid(Grid *grid);
    void setHeader(Grid *grid, const QStringList &names);
    void runHeader(const QStringList &names);
    void drainBatches();
    void finishRun();
    void stopAndWait();
    void reportFailure(unsigned int number, const QString &description);
    void message(const QString &text, int icon);
    bool typedQuery(QString *text);
    void removeVariableEntry(class QListWidget *list);
    void syncVariables();

    QString m_execTag = QStringLiteral("False");
    std::unique_ptr<QueryRun> m_run;
    bool m_streamed = false;
    QString m_runDelimiter;
    QString m_dumpFolder; // normalised at the start of the run, stored once rows arrive
    QTimer m_counterTimer;
    bool m_disconnected = false;
    bool m_finishing = false;
    bool m_listsBusy = false; // the variable lists are being changed by the window itself
    int m_guard = 0;
    QString m_reopenFailedFor; // the database chosen whose reopening failed (asked again when it changes)
    static QPointer<frmSql> s_instance;
};
