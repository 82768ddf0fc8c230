// The query window's options, analysis, user variables and window events.
#include "frmsql.h"

#include "core/connection.h"
#include "core/dialogs.h"
#include "core/session.h"
#include "frmtextediter.h"
#include "querytext.h"
#include "ui_frmsql.h"
#include "widgets/grid.h"

#include <QCloseEvent>
#include <QFontDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QScopedValueRollback>

// --- Views and options --------------------------------------------------------------------------------

void frmSql::showView(int index)
{
    ui->txtRecord->setVisible(index == 0);
    ui->flgrid_Record->setVisible(index == 1);
    ui->flgrid_ANALYZE->setVisible(index == 2);
    ui->picVariablename->setVisible(index == 3);
}

void frmSql::optRecord_Click(int index)
{
    optRecord[size_t(index)]->setChecked(true);
    showView(index);
}

void frmSql::ckMemo_Click(int)
{
    ckMemo[1]->setEnabled(ckMemo[0]->isChecked());
    storeSettings();
}

void frmSql::ckNoTextNoGrid_Click()
{
    if (ui->ckNoTextNoGrid->isChecked()) {
        for (QCheckBox *box : ckMemo) {
            box->setChecked(true);
            box->setEnabled(false);
        }
    } else {
        for (QCheckBox *box : ckMemo)
            box->setEnabled(true);
    }
    storeSettings();
}

void frmSql::cboDelimiter_Click()
{
    storeSettings();
}

void frmSql::cmdFolder_Click()
{
    const QString folder = Dialogs::current().chooseFolder(QStringLiteral("保存先のﾌｫﾙﾀﾞを選択して下さい。"));
    if (folder.trimmed().isEmpty())
        return;
    Session::instance().settings.textpath = folder;
    ui->lblTextPath->setText(folder);
}

void frmSql::cmdEditer_Click()
{
    frmTextEditer dialog(this);
    Dialogs::current().showModal(&dialog);
}

void frmSql::cmdFont_Click()
{
    QFontDialog dialog(ui->txtSql->font(), this);
    dialog.setWindowTitle(windowTitle());
    if (Dialogs::current().showModal(&dialog) != QDialog::Accepted)
        return;
    applyFont(dialog.currentFont());
    Session::instance().settings.font = dialog.currentFont().toString();
}

// --- Analysis -----------------------------------------------------------------------------------------

void frmSql::cmdAnalyze_Click()
{
    optRecord_Click(2);
    // Unlike a run, the line ends go to the server as CR LF.
    QString sql;
    if (!typedQuery(&sql))
        return;
    Grid *grid = ui->flgrid_ANALYZE;
    prepareGrid(grid);
    std::unique_ptr<Recordset> rs;
    try {
        rs = Session::instance().db().Execute(QStringLiteral("EXPLAIN ") + sql);
        if (rs) {
            setHeader(grid, rs->FieldNames());
            const int n = rs->FieldCount();
            QStringList row;
            while (!rs->Eof()) {
                row.clear();
                for (int j = 0; j < n; ++j)
                    row << (rs->IsNull(j) ? QStringLiteral("NULL") : rs->Value(j));
                grid->appendRow(row);
                rs->MoveNext();
            }
        }
    } catch (...) {
        // Silent by design: the grid shows whatever it holds.
    }
    try {
        if (rs && rs->State() == 1)
            rs->Close();
    } catch (...) {
    }
    rs.reset();
    grid->setEnabled(true);
    grid->setRedraw(true);
}

// --- User variables -----------------------------------------------------------------------------------

void frmSql::cmdVariabl_Click()
{
    optRecord_Click(3);
    const QScopedValueRollback busy(m_listsBusy, true);
    ui->lstVariable->clear();
    QStringList names;
    for (int i = 0; i < ui->lstVariablename->count(); ++i)
        names << ui->lstVariablename->item(i)->text();
    const QString sql = QueryText::variablesStatement(names);
    if (sql.isEmpty())
        return;
    Session &session = Session::instance();
    try {
        session.CloseRecordset();
        session.recordset = session.db().Execute(sql);
        Recordset *rs = session.recordset.get();
        if (rs && !rs->Eof()) {
            for (int j = 0; j < rs->FieldCount(); ++j)
                ui->lstVariable->addItem(rs->IsNull(j) ? QStringLiteral("NULL") : rs->Value(j));
        }
    } catch (...) {
        // Silent by design: the value list keeps what it got.
    }
    try {
        session.CloseRecordset();
    } catch (...) {
    }
}

void frmSql::cmdVariable_Click()
{
    {
        const QScopedValueRollback busy(m_listsBusy, true);
        ui->lstVariablename->addItem(QueryText::variableName(ui->txtVariablename->text()));
    }
    syncVariables();
    cmdVariabl_Click();
}

void frmSql::lstVariablename_Click()
{
    const int row = ui->lstVariablename->currentRow();
    if (m_listsBusy || row < 0)
        return;
    const QScopedValueRollback busy(m_listsBusy, true);
    ui->txtVariablename->setText(ui->lstVariablename->item(row)->text());
    if (row < ui->lstVariable->count())
        ui->lstVariable->setCurrentRow(row);
}

void frmSql::lstVariable_Click()
{
    const int row = ui->lstVariable->currentRow();
    if (m_listsBusy || row < 0 || row >= ui->lstVariablename->count())
        return;
    const QScopedValueRollback busy(m_listsBusy, true);
    ui->lstVariablename->setCurrentRow(row);
}

// The name list is the session's collection of user variables (saved in variable.dat).
void frmSql::syncVariables()
{
    std::vector<variablename> &variables = Session::instance().variables;
    variables.clear();
    for (int i = 0; i < ui->lstVariablename->count(); ++i)
        variables.push_back(variablename{ui->lstVariablename->item(i)->text()});
}

// Delete in one list removes its selected entry, then the entry selected in the other list; when the
// other list has no entry selected (the values after a failed refresh), only the first removal happens.
void frmSql::removeVariableEntry(QListWidget *list)
{
    QListWidget *other = list == ui->lstVariablename ? ui->lstVariable : ui->lstVariablename;
    const int row = list->currentRow();
    if (row < 0 || row >= list->count() || !list->item(row)->isSelected())
        return;
    const int otherRow = other->currentRow();
    const bool otherSelected =
        otherRow >= 0 && otherRow < other->count() && other->item(otherRow)->isSelected();
    const QScopedValueRollback busy(m_listsBusy, true);
    delete list->takeItem(row);
    if (otherSelected)
        delete other->takeItem(otherRow);
    syncVariables();
}

bool frmSql::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress
        && (watched == ui->lstVariablename || watched == ui->lstVariable)) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Delete alone: with Shift, Ctrl or Alt held the key does nothing here.
        const auto held = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        if (key->key() == Qt::Key_Delete && held == Qt::NoModifier) {
            removeVariableEntry(static_cast<QListWidget *>(watched));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- Window events ------------------------------------------------------------------------------------

void frmSql::Form_Activate()
{
    if (m_run)
        return;
    Session &session = Session::instance();
    // The connection is opened again so that a database newly chosen in the main window takes effect;
    // only then: opening it again loses the user variables, temporary tables and open transaction of this
    // window's statements. While an operation of the main window holds it, the session refuses to.
    if (session.connection && session.connection->State() == 1) {
        m_disconnected = false;
        if (session.database == session.openedDatabase() || session.database == m_reopenFailedFor
            || session.isHeld())
            return;
        // A working link is replaced only by one that opened: a database that cannot be reached (dropped
        // meanwhile, no rights on it) leaves the window with the link it had, and says so once.
        if (session.ReopenConnection()) {
            m_reopenFailedFor.clear();
            return;
        }
        m_reopenFailedFor = session.database;
        const QString text = QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ「%1」で接続し直せなかったため、今までの接続のまま実行します。\r\n%2")
                                     .arg(session.database, session.lastOpenError());
        ui->txtError->setText(text);
        ui->Label1->setToolTip(text);
        message(text, int(Dialogs::Icon::Critical));
        return;
    }
    // Opened again only when it was not the main window that disconnected (cmdExec's Tag "False").
    if (!m_disconnected)
        session.OpenConnection();
}

void frmSql::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void frmSql::closeEvent(QCloseEvent *event)
{
    if (m_run) {
        m_execTag = QStringLiteral("False");
        stopAndWait();
        finishRun();
    }
    storeSettings();
    event->accept();
}
