#include "mainwindow/frmtablora.h"
#include "widgets/accessiblenames.h"

#include "about/frmabout.h"
#include "core/dberror.h"
#include "core/events.h"
#include "core/session.h"
#include "core/settingsstore.h"
#include "core/tls.h"
#include "mainwindow/mainlogic.h"
#include "widgets/busy.h"
#include "widgets/grid.h"
#include "widgets/progressbox.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>

namespace {

// The entry of a list that is chosen (current and selected), or empty text when none is.
QString chosenEntry(const QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

// Closes the shared recordset and the connection; a server that went away must not stop the caller.
// Nothing is closed while an operation holds the connection (the session refuses).
void closeConnectionQuietly()
{
    Session &session = Session::instance();
    try {
        session.CloseConnection();
    } catch (const std::exception &) {
        session.recordset.reset();
        session.connection.reset();
    }
}

} // namespace

frmTablora::frmTablora(const QString &settingsFolder, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::frmTablora)
    , m_settingsFolder(settingsFolder)
{
    ui->setupUi(this);
    nameForAssistiveTechnology(this);
    optTP = {ui->optTP_0, ui->optTP_1};
    optField = {ui->optField_0, ui->optField_1, ui->optField_2, ui->optField_3};

    connect(ui->cmdConnect, &QPushButton::clicked, this, &frmTablora::cmdConnect_Click);
    connect(ui->cmdClose, &QPushButton::clicked, this, &frmTablora::cmdClose_Click);
    connect(ui->cmdEnd, &QPushButton::clicked, this, &frmTablora::cmdEnd_Click);
    // During an operation 終了 is a request to close, like the window's close box.
    BusyScope::countAsClose(ui->cmdEnd);
    connect(ui->Command1, &QPushButton::clicked, this, &frmTablora::Command1_Click);
    connect(ui->cmdShowDb, &QPushButton::clicked, this, &frmTablora::cmdShowDb_Click);
    connect(ui->cmdDataGet, &QPushButton::clicked, this, &frmTablora::cmdDataGet_Click);
    connect(ui->cmdSqlLog, &QPushButton::clicked, this, [this] {
        if (onSqlLog)
            onSqlLog();
    });
    connect(ui->cmdExec, &QPushButton::clicked, this, [this] {
        if (onExec)
            onExec();
    });
    // The user window's work is one operation of this window: it holds the connection while it is open.
    operation(ui->cmdCreateUser, this, [this] {
        if (onCreateUser)
            onCreateUser();
    });
    connect(ui->cboDSNList, &QComboBox::currentIndexChanged, this, [this] { cboDSNList_Click(); });
    ui->cboTls->addItems(Tls::captions());
    connect(ui->cboTls, &QComboBox::currentIndexChanged, this, [this] { cboTls_Click(); });
    connect(ui->cmdTlsCa, &QPushButton::clicked, this, &frmTablora::cmdTlsCa_Click);

    // A list's click is a change of its selection (by mouse or keys); emptying a list is not one.
    connect(ui->lstDb, &QListWidget::itemSelectionChanged, this, [this] {
        if (!ui->lstDb->selectedItems().isEmpty())
            lstDb_Click();
    });
    // Entries of one line each: a list of ten thousand tables is laid out without measuring each one.
    ui->lstTables->setUniformItemSizes(true);
    ui->lstProcFunc->setUniformItemSizes(true);
    connect(ui->lstTables, &QListWidget::itemSelectionChanged, this, [this] {
        if (!ui->lstTables->selectedItems().isEmpty())
            lstTables_Click();
    });
    connect(ui->lstProcFunc, &QListWidget::itemSelectionChanged, this, [this] {
        if (!ui->lstProcFunc->selectedItems().isEmpty())
            lstProcFunc_Click();
    });
    for (int i = 0; i < int(optTP.size()); ++i) {
        connect(optTP[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optTP_Click(i);
        });
    }
    for (int i = 0; i < int(optField.size()); ++i) {
        connect(optField[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optField_Click(i);
        });
    }
    for (QLineEdit *box : {ui->txtError, ui->txtServer, ui->txtUser, ui->txtPass, ui->txtPort})
        box->installEventFilter(this);

    optTP[0]->setChecked(true);
    optTP_Click(0);
    optField[0]->setChecked(true);
    optField_Click(0);

    Form_Load();
}

frmTablora::~frmTablora()
{
    delete ui;
}

void frmTablora::Form_Load()
{
    Session &session = Session::instance();
    SettingsStore(m_settingsFolder).Load(session);
    ui->txtServer->setText(session.server);
    ui->txtUser->setText(session.user);
    ui->txtPass->setText(session.pass);
    ui->txtPort->setText(session.port);
    ShowTlsChoice(session.tls, session.tlsCa);
    FillConnectLists();
    EnableControls(false);
    ui->cboLimit->setCurrentIndex(0);
}

void frmTablora::Form_Activate()
{
    const Session &session = Session::instance();
    const auto choose = [](QComboBox *box, const QString &text) {
        const QSignalBlocker block(box);
        box->setCurrentIndex(box->count() > 0 ? 0 : -1);
        const int found = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (found >= 0)
            box->setCurrentIndex(found);
    };
    choose(ui->cboDSNList, session.dsn);
    choose(ui->cboDrivers, session.driver);
    cboDSNList_Click();
}

void frmTablora::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (!isActiveWindow()) {
        // Coming back from one of the program's windows counts as activation; coming back from a
        // message box or a file dialog does not, so a choice made before a message stays as it was.
        QWidget *other = QApplication::activeWindow();
        if (other && other != this && !qobject_cast<QMessageBox *>(other) &&
            !qobject_cast<QFileDialog *>(other))
            m_activatePending = true;
        return;
    }
    if (m_activatePending) {
        m_activatePending = false;
        Form_Activate();
    }
}

void frmTablora::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmTablora::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    SettingsStore(m_settingsFolder).Save(Session::instance());
    // Closing must not fail even when the server went away meanwhile.
    closeConnectionQuietly();
    emit unloaded();
}

bool frmTablora::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::EnabledChange) {
        // A disabled box would still paint the selection it had while focused.
        if (auto *box = qobject_cast<QLineEdit *>(watched); box && !box->isEnabled())
            box->deselect();
    }
    if (event->type() == QEvent::FocusIn) {
        if (auto *box = qobject_cast<QLineEdit *>(watched)) {
            // After the focus change has been handled (a mouse press would move the cursor afterwards).
            // The error box keeps its start in view: the selection runs from the end back to 0.
            const bool fromEnd = box == ui->txtError;
            QTimer::singleShot(0, box, [box, fromEnd] {
                if (!box->isEnabled())
                    return;
                const int length = int(box->text().size());
                if (fromEnd)
                    box->setSelection(length, -length);
                else
                    box->setSelection(0, length);
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmTablora::EnableControls(bool connected)
{
    m_connected = connected;
    Session::instance().database.clear();
    ui->lblTableName->clear();
    ui->txtField->clear();
    ui->txtProc->clear();
    ui->lblProcName->clear();
    ui->lblEditName->setText(QStringLiteral("編集????："));
    ui->lblEditProcName->setText(QStringLiteral("編集????："));
    ui->lblCkTableName->clear();

    ui->lstDb->clear();
    ui->lstTables->clear();
    ui->lstProcFunc->clear();
    ClearGrids();
    ui->lblRecordCount->clear();

    for (QWidget *w : std::initializer_list<QWidget *>{ui->cmdConnect, ui->cboDSNList, ui->cboDrivers,
                                                       ui->txtServer, ui->txtUser, ui->txtPass, ui->txtPort,
                                                       ui->cboTls})
        w->setEnabled(!connected);
    ui->cmdTlsCa->setEnabled(!connected && ui->cboTls->currentIndex() == int(TlsMode::Verify));
    ShowLinkSecurity(connected);
    for (QWidget *w : std::initializer_list<QWidget *>{
             ui->cmdClose, ui->txtField, ui->txtProc, ui->cmdShowDb, ui->cmdCreateDb, ui->cmdDropDb,
             ui->cmdCreateUser, ui->cmdExec, ui->cmdDropProc, ui->cmdCreateProc, optTP[0], optTP[1],
             ui->cmdBackup, ui->cmdRestore, ui->cmdCheckTable, ui->cmdRepairTable, ui->cmdOptimizeTable,
             ui->cmdCopyDb, ui->cmdDropTable, ui->cmdCreateTable, ui->cmdInOut, ui->cmdScriptBackUp,
             ui->lstDb, ui->lstTables, ui->lstProcFunc, optField[0], optField[1], optField[2], optField[3],
             ui->cmdDataGet, ui->cboLimit, ui->flGrid_Field, ui->flGrid_Index, ui->flGrid_Status,
             ui->flGrid_Data})
        w->setEnabled(connected);
    DrawStatus(0, true);
}

void frmTablora::operation(QAbstractButton *button, QObject *context, std::function<void()> handler)
{
    connect(button, &QAbstractButton::clicked, context, [this, handler = std::move(handler)] {
        RunOperation(handler);
    });
}

bool frmTablora::RunOperation(const std::function<void()> &handler)
{
    Session &session = Session::instance();
    // Whatever reached here (a click the input filter let through, an accessibility press, a timer): one
    // operation at a time.
    if (session.isHeld())
        return false;
    if (session.isBusyElsewhere()) {
        Message(Connection::busyText(), Dialogs::Icon::Information);
        return false;
    }
    const BusyScope busy(session, [this] { showLaterCount(); });
    try {
        handler();
    } catch (const std::exception &error) {
        // No failure leaves a handler; one that slipped through its own trap is still reported.
        RecordError(describeError(error));
        Message(describeError(error), Dialogs::Icon::Critical);
    }
    return true;
}

void frmTablora::ShowCount(int total, int current)
{
    if (onProgressStep)
        onProgressStep();
    const double fraction = total == 0 ? 0.0 : double(current) / double(total);
    // Shown at most every few tens of milliseconds, so a run over thousands of small tables pays no paint
    // and no label update per table (nor a stream of announcements to assistive technology); the first and
    // the last position of a run, and the first of a new total, are shown at once.
    m_countLater.pending = true;
    m_countLater.total = total;
    m_countLater.current = current;
    if (m_countPainted.isValid() && m_countPainted.elapsed() < 30 && current != 0 && current + 1 < total
        && total == m_countTotal) {
        ui->picStatus->drawLater(fraction, false);
        return;
    }
    m_countPainted.start();
    m_countTotal = total;
    showLaterCount();
    Events::pump();
    DrawStatus(fraction, false);
    // The pump runs at most every few tens of milliseconds; the counter is shown with the box all the same.
    if (ui->lblCnt->isVisible())
        ui->lblCnt->repaint();
}

void frmTablora::ShowCurrentTable(const QString &name)
{
    m_countLater.pending = true;
    m_countLater.item = name;
}

void frmTablora::showLaterCount()
{
    if (!m_countLater.pending)
        return;
    m_countLater.pending = false;
    if (m_countLater.total >= 0)
        ui->lblCnt->setText(QString::number(m_countLater.current) + QLatin1Char('/')
                            + QString::number(m_countLater.total));
    if (!m_countLater.item.isEmpty())
        ui->lblCkTableName->setText(m_countLater.item);
    m_countLater.item.clear();
}

void frmTablora::DrawStatus(double fraction, bool exact)
{
    ui->picStatus->draw(fraction, exact);
}

void frmTablora::RecordError(const QString &description)
{
    showLaterCount(); // the counter says where the run stopped
    DrawStatus(0, true);
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    // A long error shows its start, where the server names what went wrong; the whole text is in the
    // tool tip.
    ui->txtError->setText(description);
    ui->txtError->setCursorPosition(0);
    ui->txtError->setToolTip(description);
    ui->Label13->setToolTip(description);
}

Dialogs::Answer frmTablora::Message(const QString &text, Dialogs::Icon icon, Dialogs::Buttons buttons)
{
    showLaterCount(); // a run's message is read beside the counter of its last step
    return Dialogs::current().message(windowTitle(), text, icon, buttons);
}

QString frmTablora::EntryName(const QString &entry)
{
    return MainLogic::EntryName(entry);
}

QString frmTablora::EntryKind(const QString &entry)
{
    return MainLogic::EntryKind(entry);
}

QString frmTablora::SelectedTable() const
{
    return MainLogic::EntryName(chosenEntry(ui->lstTables));
}

QString frmTablora::SelectedTableKind() const
{
    return MainLogic::EntryKind(chosenEntry(ui->lstTables));
}

QString frmTablora::SelectedRoutine() const
{
    return MainLogic::EntryName(chosenEntry(ui->lstProcFunc));
}

QString frmTablora::SelectedRoutineKind() const
{
    return MainLogic::EntryKind(chosenEntry(ui->lstProcFunc));
}

void frmTablora::cmdClose_Click()
{
    // Reached only from outside the window's input while an operation runs (its clicks are dropped).
    if (Session::instance().isHeld()) {
        Message(QStringLiteral("処理中のため切断できません。終わってから切断して下さい。"), Dialogs::Icon::Information);
        return;
    }
    closeConnectionQuietly();
    EnableControls(false);
    if (onDisconnect)
        onDisconnect();
    Session::instance().isLocalhost = false;
}

void frmTablora::cmdEnd_Click()
{
    close();
}

void frmTablora::Terminate()
{
    // The settings first: whatever the operation still reports, they are kept.
    SettingsStore(m_settingsFolder).Save(Session::instance());
    Session::instance().stopOperation();
    BusyScope::closeWhenDone(this);
}

void frmTablora::Command1_Click()
{
    frmAbout about(this);
    Dialogs::current().showModal(&about);
}

void frmTablora::optTP_Click(int index)
{
    ui->picTable->setVisible(index == 0);
    ui->picProc->setVisible(index == 1);
}

void frmTablora::optField_Click(int index)
{
    ui->txtField->setVisible(index == 0);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->Label10, ui->flGrid_Field, ui->Label11,
                                                       ui->flGrid_Index})
        w->setVisible(index == 1);
    ui->flGrid_Status->setVisible(index == 2);
    ui->flGrid_Data->setVisible(index == 3);
}
