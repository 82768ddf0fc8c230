#pragma once

#include "core/dialogs.h"
#include "core/tls.h"
#include "ui_frmtablora.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

class QAbstractButton;
class QRadioButton;
class StatementPipeline;

// The main window: the connect panel, the database, table and routine lists with their inspectors, the
// data viewer, and the shell that the schema and maintenance handlers work through (the enabling routine,
// the progress box, the error box and refreshing the lists). The handlers of the schema, maintenance and
// transfer buttons are attached from outside (schema/, maintenance/) when the program assembles the window;
// a button that nobody attached does nothing.
class frmTablora : public QWidget
{
    Q_OBJECT

public:
    // settingsFolder: where Tablora.ini and variable.dat live; empty means the default location.
    // Constructing the window loads it (settings, connect panel, disconnected state).
    explicit frmTablora(const QString &settingsFolder = QString(), QWidget *parent = nullptr);
    ~frmTablora() override;

    Ui::frmTablora *ui;
    std::array<QRadioButton *, 2> optTP{};    // 0 "table", 1 "proc"
    std::array<QRadioButton *, 4> optField{}; // 0 text, 1 grid, 2 status, 3 data

    // --- The shell: operations that the other folders call ---

    // The enabling routine: clears lists, grids and the session's database and switches every control
    // between the connected and the disconnected state; draws the progress box at 0.
    void EnableControls(bool connected);
    // The counter: lblCnt shows "current/total", pending events run, the progress box shows current/total
    // (not exact; 0 when total is 0).
    void ShowCount(int total, int current);
    // The table the next statement works on: lblCkTableName shows it with the counter when that is next
    // drawn (the next step, a message, or while a slow statement waits), not at once, so a run over
    // thousands of small tables pays no label update for each. An empty name: no table runs any more.
    void ShowCurrentTable(const QString &name);
    // Draws the progress box at fraction (0 to 1); exact = false keeps 0 % at 1 % and 100 % at 99 %.
    void DrawStatus(double fraction, bool exact);
    // A failed operation: progress box at 0, the normal pointer back, the description into txtError
    // (and the tool tip of Label13).
    void RecordError(const QString &description);
    // A message box titled with the window's caption.
    Dialogs::Answer Message(const QString &text, Dialogs::Icon icon,
                            Dialogs::Buttons buttons = Dialogs::Buttons::Ok);

    // The name behind the tab of the chosen lstTables entry, and its marker ("[TABLE]", "[VIEW]",
    // "[ERROR]"); empty when none is chosen.
    QString SelectedTable() const;
    QString SelectedTableKind() const;
    // The same for lstProcFunc ("[PROC]", "[FUNC]").
    QString SelectedRoutine() const;
    QString SelectedRoutineKind() const;

    // Splits a list entry "marker<TAB>name"; an entry without a tab is all name.
    static QString EntryName(const QString &entry);
    static QString EntryKind(const QString &entry);

    // One operation at a time: connects the button's click to the handler, run as one operation of the
    // window. While it runs the window paints but takes no input (BusyScope) and the session's connection
    // is held; it does not start while the query window's run holds the connection (a message says so).
    void operation(QAbstractButton *button, QObject *context, std::function<void()> handler);
    // The same for a handler that is a member function of owner.
    template <class Owner>
    void operation(QAbstractButton *button, Owner *owner, void (Owner::*handler)())
    {
        operation(button, owner, std::function<void()>([owner, handler] { (owner->*handler)(); }));
    }
    // Runs the handler as one operation (what operation() connects). False when it could not start: while
    // another operation runs (nothing nests, whatever path the request took) or the query window's run
    // holds the connection (a message says so).
    bool RunOperation(const std::function<void()> &handler);

    // Called at each step of the progress display, while the operation's window events run (tests click
    // and choose here as a user would).
    std::function<void()> onProgressStep;

    // --- Hooks that the program sets when it assembles the window ---

    // cmdExec and cmdCreateUser open the query window and the user window.
    std::function<void()> onExec;
    std::function<void()> onCreateUser;
    // cmdSqlLog opens the SQL log window.
    std::function<void()> onSqlLog;
    // Called by cmdClose after the connection is closed: the query window (if loaded) sets its cmdExec tag.
    std::function<void()> onDisconnect;

public slots:
    // Handlers, public so that other operations (and tests) can run them as a click would.
    void cmdConnect_Click();
    void cmdClose_Click();
    void cmdEnd_Click();
    // The desktop ends the program (SIGTERM or SIGHUP at logout): the settings are saved at once, a
    // running operation is stopped as 中断 does, and the window closes when it has ended.
    void Terminate();
    void Command1_Click();
    void cboDSNList_Click();
    // TLS: the mode list enables the CA chooser for 検証; the chooser picks the CA file.
    void cboTls_Click();
    void cmdTlsCa_Click();
    void cmdShowDb_Click();
    void lstDb_Click();
    void lstTables_Click();
    void lstProcFunc_Click();
    void cmdDataGet_Click();
    void optTP_Click(int index);
    void optField_Click(int index);

    // Activation: selects the session's dsn and driver in the two lists (entry 0 when not listed).
    void Form_Activate();

signals:
    // Emitted when the window has been unloaded (settings saved, connection closed).
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void Form_Unload();
    void FillConnectLists();
    // Puts a TLS mode and CA file on the panel.
    void ShowTlsChoice(TlsMode mode, const QString &caFile);
    // The tool tip of cmdClose: while connected, whether the link is encrypted and with what.
    void ShowLinkSecurity(bool connected);
    // The four grids back to 1 column and 1 row.
    void ClearGrids();
    // The grid from the next answer of answers: titles, then the rows.
    void FillGrid(Grid *grid, StatementPipeline &answers);
    void SetTableButtons(bool enabled);

    QString m_settingsFolder;
    bool m_unloaded = false;
    bool m_connected = false;
    // The CA file chosen on the panel, copied into the session with the other entries on connecting.
    QString m_tlsCa;
    bool m_activatePending = true; // the first showing activates the window
    QElapsedTimer m_countPainted;  // when ShowCount last painted
    int m_countTotal = -1;         // and the total it painted
    // The last step of ShowCount and the table of ShowCurrentTable, not shown yet when pending; shown at
    // the next drawn step, message, or wait of a slow statement.
    struct LaterCount
    {
        bool pending = false;
        int total = -1; // no step yet
        int current = 0;
        QString item;
    } m_countLater;
    void showLaterCount();
};
