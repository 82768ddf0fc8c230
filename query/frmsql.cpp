#include "frmsql.h"
#include "widgets/accessiblenames.h"

#include "core/connection.h"
#include "core/dberror.h"
#include "core/dialogs.h"
#include "core/session.h"
#include "frmtextediter.h"
#include "querytext.h"
#include "resultlines.h"
#include "ui_frmsql.h"
#include "widgets/grid.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFontDialog>
#include <QListWidget>
#include <QScopedValueRollback>

QPointer<frmSql> frmSql::s_instance;

namespace {

// Error numbers of failures that do not come from the server (never 0, so they are always reported).
constexpr unsigned int FileError = 75;
constexpr unsigned int EditorError = 53;

struct RunFailure
{
    unsigned int number;
    QString description;
};

}

frmSql::frmSql(QWidget *parent)
    : QWidget(parent), ui(new Ui::frmSql)
{
    ui->setupUi(this);
    nameForAssistiveTechnology(this);
    ckMemo = {ui->ckMemo_0, ui->ckMemo_1};
    optRecord = {ui->optRecord_0, ui->optRecord_1, ui->optRecord_2, ui->optRecord_3};

    auto *views = new QButtonGroup(this);
    for (int i = 0; i < int(optRecord.size()); ++i) {
        views->addButton(optRecord[i], i);
        connect(optRecord[i], &QRadioButton::clicked, this, [this, i] { optRecord_Click(i); });
    }
    for (int i = 0; i < int(ckMemo.size()); ++i)
        connect(ckMemo[i], &QCheckBox::clicked, this, [this, i] { ckMemo_Click(i); });
    connect(ui->cmdExec, &QPushButton::clicked, this, &frmSql::cmdExec_Click);
    connect(ui->cmdStop, &QPushButton::clicked, this, &frmSql::cmdStop_Click);
    connect(ui->ckNoTextNoGrid, &QCheckBox::clicked, this, &frmSql::ckNoTextNoGrid_Click);
    connect(ui->cmdFolder, &QPushButton::clicked, this, &frmSql::cmdFolder_Click);
    connect(ui->cmdEditer, &QPushButton::clicked, this, &frmSql::cmdEditer_Click);
    connect(ui->cmdFont, &QPushButton::clicked, this, &frmSql::cmdFont_Click);
    connect(ui->cboDelimiter, &QComboBox::activated, this, &frmSql::cboDelimiter_Click);
    connect(ui->cmdAnalyze, &QPushButton::clicked, this, &frmSql::cmdAnalyze_Click);
    connect(ui->cmdVariabl, &QPushButton::clicked, this, &frmSql::cmdVariabl_Click);
    connect(ui->cmdVariable, &QPushButton::clicked, this, &frmSql::cmdVariable_Click);
    // A click or a move with the keys in either list selects the same position in the other.
    connect(ui->lstVariablename, &QListWidget::itemClicked, this, &frmSql::lstVariablename_Click);
    connect(ui->lstVariable, &QListWidget::itemClicked, this, &frmSql::lstVariable_Click);
    connect(ui->lstVariablename, &QListWidget::currentRowChanged, this, &frmSql::lstVariablename_Click);
    connect(ui->lstVariable, &QListWidget::currentRowChanged, this, &frmSql::lstVariable_Click);
    ui->lstVariablename->installEventFilter(this);
    ui->lstVariable->installEventFilter(this);

    m_counterTimer.setInterval(100);
    connect(&m_counterTimer, &QTimer::timeout, this, [this] {
        if (m_run && m_streamed)
            ui->lblRecordCount->setText(QString::number(m_run->recordCount()));
    });
    // The main window may close or replace the connection while a run still reads from it.
    m_guard = Session::instance().addConnectionGuard([this] {
        if (m_run) {
            m_execTag = QStringLiteral("False");
            stopAndWait();
        }
    });
    Form_Load();
}

frmSql::~frmSql()
{
    Session::instance().removeConnectionGuard(m_guard);
    if (m_run) {
        m_run->requestStop();
        m_run->join();
    }
    delete ui;
}

frmSql *frmSql::showFor()
{
    if (!s_instance) {
        s_instance = new frmSql;
        s_instance->setAttribute(Qt::WA_DeleteOnClose);
    }
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

frmSql *frmSql::instance()
{
    return s_instance;
}

void frmSql::Form_Load()
{
    ui->cboDelimiter->addItems({QStringLiteral("ｽﾍﾟｰｽ"), QStringLiteral("ﾀﾌﾞ"), QStringLiteral("|"),
                                QStringLiteral(","), QStringLiteral(":"), QStringLiteral(";")});
    ui->cmdStop->setEnabled(false);
    ui->lblRecordCount->setText(QStringLiteral("0"));
    ui->txtError->setReadOnly(true);
    {
        const QScopedValueRollback busy(m_listsBusy, true);
        for (const variablename &v : Session::instance().variables)
            ui->lstVariablename->addItem(v.strVariableName);
    }
    restoreSettings();
    optRecord[0]->setChecked(true);
    showView(0);
}

// The window's own settings, kept as text in the session's "Query" keys: memo and memo1 the two file
// options, memo2 the choice not to display, delimiter the list index, font the font of the text boxes.
void frmSql::restoreSettings()
{
    const WindowSettings &s = Session::instance().settings;
    ckMemo[0]->setChecked(QueryText::boolFromText(s.memo, false));
    ckMemo[1]->setChecked(QueryText::boolFromText(s.memo1, false));
    ui->ckNoTextNoGrid->setChecked(QueryText::boolFromText(s.memo2, false));
    ui->cboDelimiter->setCurrentIndex(QueryText::indexFromText(s.delimiter, 1, ui->cboDelimiter->count()));
    QFont font;
    if (!s.font.trimmed().isEmpty() && font.fromString(s.font.trimmed()))
        applyFont(font);
    ckMemo[1]->setEnabled(ckMemo[0]->isChecked());
    if (ui->ckNoTextNoGrid->isChecked())
        ckNoTextNoGrid_Click();
    ui->lblTextPath->setText(s.textpath);
}

void frmSql::storeSettings()
{
    WindowSettings &s = Session::instance().settings;
    s.memo = QueryText::boolText(ckMemo[0]->isChecked());
    s.memo1 = QueryText::boolText(ckMemo[1]->isChecked());
    s.memo2 = QueryText::boolText(ui->ckNoTextNoGrid->isChecked());
    s.delimiter = QString::number(ui->cboDelimiter->currentIndex());
}

void frmSql::applyFont(const QFont &font)
{
    ui->txtSql->setFont(font);
    ui->txtRecord->setFont(font);
}

void frmSql::message(const QString &text, int icon)
{
    Dialogs::current().message(windowTitle(), text, Dialogs::Icon(icon));
}

// The query text as the text box holds it (lines ended by CR LF), without leading and trailing blanks.
// Text of blanks and line ends only asks for SQL and gives false.
bool frmSql::typedQuery(QString *text)
{
    const QString typed = ui->txtSql->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (typed.trimmed().isEmpty()) {
        message(QStringLiteral("SQL文を入力してください。"), int(Dialogs::Icon::Information));
        return false;
    }
    *text = QueryText::trimSpaces(typed);
    return true;
}

void frmSql::setExecTag(const QString &tag)
{
    m_execTag = tag;
    if (tag == QLatin1String("False")) {
        m_disconnected = true;
        if (m_run)
            stopAndWait();
    }
}

void frmSql::stopAndWait()
{
    if (!m_run)
        return;
    m_run->requestStop();
    m_run->join();
}

// --- Run ----------------------------------------------------------------------------------------------

void frmSql::cmdExec_Click()
{
    if (m_run || m_finishing)
        return;
    ui->txtError->clear();
    // An operation of the main window goes on with the connection across its event pump.
    if (Session::instance().isHeld()) {
        message(QStringLiteral("ﾒｲﾝ画面の処理が終わるまでお待ち下さい。"), int(Dialogs::Icon::Information));
        return;
    }
    QString sql;
    if (!typedQuery(&sql))
        return;
    sql.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

    ui->picReset->setCursor(Qt::WaitCursor);
    ui->cmdStop->setEnabled(true);
    ui->cmdExec->setEnabled(false);
    m_execTag = QStringLiteral("True");
    m_streamed = ui->ckNoTextNoGrid->isChecked();
    m_dumpFolder = QueryText::normalisedDumpFolder(Session::instance().settings.textpath,
                                                   QCoreApplication::applicationDirPath());

    Connection *connection = nullptr;
    try {
        connection = &Session::instance().db();
    } catch (const DbError &e) {
        reportFailure(e.number(), e.description());
        m_finishing = true;
        finishRun();
        return;
    }
    QueryRun::Options options;
    options.sql = sql;
    options.streamed = m_streamed;
    options.delimiter = QueryText::delimiterFor(ui->cboDelimiter->currentIndex());
    m_runDelimiter = options.delimiter;
    options.dumpPath = m_dumpFolder + QueryText::dumpFileName();
    QueryRun::Callbacks callbacks;
    callbacks.header = [this](const QStringList &names) {
        QMetaObject::invokeMethod(this, [this, names] { runHeader(names); }, Qt::QueuedConnection);
    };
    callbacks.batchesReady = [this] {
        QMetaObject::invokeMethod(this, [this] { drainBatches(); }, Qt::QueuedConnection);
    };
    callbacks.finished = [this] {
        QMetaObject::invokeMethod(this, [this] { finishRun(); }, Qt::QueuedConnection);
    };
    try {
        m_run = std::make_unique<QueryRun>(*connection, options, callbacks);
        m_run->start();
    } catch (const std::exception &e) {
        // No thread for the run (the system's limit): reported like any failure of a run.
        m_run.reset();
        reportFailure(FileError, QString::fromLocal8Bit(e.what()));
        m_finishing = true;
        finishRun();
        return;
    }
    if (m_streamed)
        m_counterTimer.start();
}

void frmSql::prepareGrid(Grid *grid)
{
    grid->Clear();
    grid->setCols(1);
    grid->setRows(1);
    grid->setRedraw(false);
    grid->setEnabled(false);
}

void frmSql::setHeader(Grid *grid, const QStringList &names)
{
    const QColor face = palette().color(QPalette::Button);
    for (int i = 1; i <= names.size(); ++i) {
        grid->setCols(i);
        grid->setCellBackColor(0, i - 1, face);
        grid->setTextMatrix(0, i - 1, names.at(i - 1));
    }
}

// The statement has rows: the grid gets the column names; a streamed run's file is on its way.
void frmSql::runHeader(const QStringList &names)
{
    if (!m_run)
        return;
    prepareGrid(ui->flgrid_Record);
    setHeader(ui->flgrid_Record, names);
    if (m_streamed) {
        Session::instance().settings.textpath = m_dumpFolder;
        ui->lblTextPath->setText(m_dumpFolder);
    }
}

void frmSql::drainBatches()
{
    if (!m_run)
        return;
    Grid *grid = ui->flgrid_Record;
    for (const auto &batch : m_run->takeBatches())
        grid->gridModel()->appendEncoded(batch->bytes.get(), batch->ends.data(), batch->rows);
    ui->lblRecordCount->setText(QString::number(grid->Rows() - 1));
}

void frmSql::cmdStop_Click()
{
    m_execTag = QStringLiteral("False");
    if (m_run)
        m_run->requestStop();
}

void frmSql::reportFailure(unsigned int number, const QString &description)
{
    if (number == 0)
        return;
    message(description, int(Dialogs::Icon::Critical));
    ui->txtError->setText(description);
    ui->Label1->setToolTip(description);
}

// The end of a run, whichever way it went: its messages, then the window back to rest.
void frmSql::finishRun()
{
    QueryRun::Outcome outcome = QueryRun::Outcome::Failed;
    unsigned int number = 0;
    QString description;
    std::shared_ptr<ResultLines> text;
    long long count = 0;
    bool linkCut = false;
    if (m_run) {
        m_run->join();
        drainBatches();
        m_counterTimer.stop();
        outcome = m_run->outcome();
        number = m_run->errorNumber();
        description = m_run->errorDescription();
        // The text is the grid's rows, read through the delimiter of the run.
        if (!m_streamed && !m_run->names().isEmpty())
            text = std::make_shared<ResultLines>(ui->flgrid_Record->gridModel()->store(), m_run->names(),
                                                 m_runDelimiter);
        count = m_run->recordCount();
        linkCut = m_run->linkCut();
        m_run.reset();
    } else if (!m_finishing) {
        return;
    }
    m_finishing = true;
    const bool displayed = !m_streamed;
    bool stopShown = false;
    auto failed = [&](unsigned int errorNumber, const QString &errorText) {
        if (m_execTag == QLatin1String("True")) {
            reportFailure(errorNumber, errorText);
        } else {
            message(QStringLiteral("処理を中断しました"), int(Dialogs::Icon::Information));
            stopShown = true;
        }
    };

    if (outcome == QueryRun::Outcome::NoRows) {
        message(QStringLiteral("正常終了"), int(Dialogs::Icon::Information));
    } else if (outcome == QueryRun::Outcome::Rows) {
        // A displayed run takes the dump folder as it is after its last record.
        if (displayed)
            m_dumpFolder = QueryText::normalisedDumpFolder(Session::instance().settings.textpath,
                                                           QCoreApplication::applicationDirPath());
        const QString dumpPath = m_dumpFolder + QueryText::dumpFileName();
        const QString editor =
            QueryText::editorCommandLine(Session::instance().settings.texte, m_dumpFolder);
        try {
            if (displayed) {
                Session::instance().settings.textpath = m_dumpFolder;
                ui->lblTextPath->setText(m_dumpFolder);
                if (ckMemo[0]->isChecked()) {
                    QFile file(dumpPath);
                    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !text->writeTo(file)
                        || file.write("\r\n", 2) != 2 || !file.flush())
                        throw RunFailure{FileError, dumpPath + QStringLiteral(": ") + file.errorString()};
                    file.close();
                    if (ckMemo[1]->isChecked()
                        && !QueryText::startEditor(Session::instance().settings.texte, dumpPath))
                        throw RunFailure{EditorError,
                                         QStringLiteral("エディタを起動できませんでした: ") + editor};
                }
            } else if (!QueryText::startEditor(Session::instance().settings.texte, dumpPath)) {
                throw RunFailure{EditorError, QStringLiteral("エディタを起動できませんでした: ") + editor};
            }
        } catch (const RunFailure &failure) {
            failed(failure.number, failure.description);
        }
    } else if (number != 0 || m_execTag == QLatin1String("False")) {
        failed(number, description);
    }
    // The text gathered is shown after all records (also when the dump file or the editor failed) and,
    // up to the stop, after a stopped run; a run the server broke off leaves txtRecord as it was.
    const bool stopped = m_execTag == QLatin1String("False");
    if (displayed && text && (outcome == QueryRun::Outcome::Rows || stopped))
        ui->txtRecord->setLines(std::move(text));

    if (stopped && !stopShown)
        message(QStringLiteral("処理を中断しました"), int(Dialogs::Icon::Information));
    if (linkCut) {
        // The server could not be told to stop: the link was cut, and the connection is gone with it.
        const QString lost = QStringLiteral("サーバーが応答しないため、接続を切りました。接続し直して下さい。");
        ui->txtError->setText(lost);
        ui->Label1->setToolTip(lost);
        message(lost, int(Dialogs::Icon::Critical));
    }
    ui->lblRecordCount->setText(QString::number(m_streamed ? count : ui->flgrid_Record->Rows() - 1));
    ui->flgrid_Record->setRedraw(true);
    ui->flgrid_Record->setEnabled(true);
    ui->cmdStop->setEnabled(false);
    ui->cmdExec->setEnabled(true);
    m_execTag = QStringLiteral("False");
    ui->picReset->unsetCursor();
    m_finishing = false;
    emit runFinished();
}
