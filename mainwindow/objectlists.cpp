// The database, table and routine lists of the main window, the inspectors and the data viewer.
#include "mainwindow/frmtablora.h"

#include "core/dberror.h"
#include "core/pipeline.h"
#include "core/session.h"
#include "core/sqltext.h"
#include "mainwindow/mainlogic.h"
#include "widgets/busy.h"
#include "widgets/grid.h"
#include "widgets/waitcursor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPalette>
#include <vector>

namespace {

QString describe(const std::exception &error)
{
    return describeError(error);
}

void closeSharedQuietly()
{
    try {
        Session::instance().CloseRecordset();
    } catch (const std::exception &) {
        Session::instance().recordset.reset();
    }
}

const char NullText[] = "NULL";

// A database of thousands of tables: the list shows its entries and the window paints while it fills,
// every few tens of milliseconds. Input waits until the lists are complete, so no click starts another
// listing while this one reads.
void paintWhileFilling()
{
    static QElapsedTimer since;
    if (since.isValid() && since.elapsed() < 30)
        return;
    since.start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// Walks a recordset into a grid: the header row from the column titles, then every row, "NULL" for a null.
// Returns the number of data rows.
int fillFromRecordset(Grid *grid, Recordset &rs, const QColor &headerColor)
{
    const int n = rs.FieldCount();
    for (int i = 1; i <= n; ++i) {
        grid->setCols(i);
        grid->setCellBackColor(0, i - 1, headerColor);
        grid->setTextMatrix(0, i - 1, rs.FieldName(i - 1));
    }
    std::vector<const char *> values(n);
    std::vector<unsigned long> lengths(n);
    int rows = 0;
    while (!rs.Eof()) {
        for (int j = 0; j < n; ++j) {
            unsigned long length = 0;
            const char *raw = rs.RawValue(j, &length);
            values[j] = raw ? raw : NullText;
            lengths[j] = raw ? length : sizeof(NullText) - 1;
        }
        grid->appendRow(values.data(), lengths.data(), n);
        ++rows;
        rs.MoveNext();
    }
    return rows;
}

} // namespace

void frmTablora::ClearGrids()
{
    for (Grid *grid : {ui->flGrid_Field, ui->flGrid_Index, ui->flGrid_Status, ui->flGrid_Data})
        grid->Clear();
}

void frmTablora::FillGrid(Grid *grid, StatementPipeline &answers)
{
    grid->Clear();
    grid->setRedraw(false);
    std::unique_ptr<Recordset> rs;
    try {
        rs = answers.next();
        if (rs)
            fillFromRecordset(grid, *rs, palette().color(QPalette::Button));
    } catch (...) {
        closeQuietly(rs);
        grid->setRedraw(true);
        throw;
    }
    closeQuietly(rs);
    grid->setRedraw(true);
}

void frmTablora::cmdShowDb_Click()
{
    Session &session = Session::instance();
    ui->lblPreTable->clear();
    session.database.clear();
    ui->lblCkTableName->clear();
    ui->lstDb->clear();
    ui->lstTables->clear();
    ui->lstProcFunc->clear();
    ClearGrids();
    ui->txtField->clear();

    SetTableButtons(false);
    DrawStatus(0, true);

    try {
        session.CloseRecordset();
        session.recordset = session.db().Execute(QStringLiteral("show databases;"));
        Recordset *rs = session.recordset.get();
        const int column = rs ? std::max(0, rs->FieldIndex(QStringLiteral("database"))) : 0;
        while (rs && !rs->Eof()) {
            ui->lstDb->addItem(rs->Value(column));
            rs->MoveNext();
        }
        session.CloseRecordset();

        ui->cmdDropDb->setEnabled(true);
        ui->cmdExec->setEnabled(true);
        ui->cmdBackup->setEnabled(session.isLocalhost);
        ui->cmdRestore->setEnabled(session.isLocalhost);
        for (QWidget *w : std::initializer_list<QWidget *>{ui->cmdCheckTable, ui->cmdRepairTable,
                                                           ui->cmdOptimizeTable, ui->cmdCopyDb,
                                                           ui->cmdScriptBackUp})
            w->setEnabled(true);
    } catch (const std::exception &error) {
        Message(describe(error), Dialogs::Icon::Critical);
        closeSharedQuietly();
        for (QWidget *w : std::initializer_list<QWidget *>{ui->cmdDropDb, ui->cmdExec, ui->cmdBackup,
                                                           ui->cmdRestore, ui->cmdCheckTable,
                                                           ui->cmdRepairTable, ui->cmdOptimizeTable,
                                                           ui->cmdScriptBackUp})
            w->setEnabled(false);
    }
}

void frmTablora::SetTableButtons(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{ui->cmdDropTable, ui->cmdCreateTable, ui->cmdInOut,
                                                       ui->cmdDataGet})
        w->setEnabled(enabled);
}

void frmTablora::lstDb_Click()
{
    Session &session = Session::instance();
    ui->lblPreTable->setText(QStringLiteral("0"));
    ui->lblTableName->clear();
    ui->lblEditName->setText(QStringLiteral("編集????:"));
    ui->lblEditProcName->setText(QStringLiteral("編集????:"));

    const QListWidgetItem *item = ui->lstDb->currentItem();
    session.database = item ? item->text() : QString();
    const QString database = session.database;
    if (database.isEmpty())
        return;
    // The listing lets window events run while it fills: one operation, like the buttons' (a close or an
    // activation meanwhile must not take the connection and the shared recordset from under it).
    const BusyScope busy(session);

    ui->lblCkTableName->setText(database + QStringLiteral("全ﾃｰﾌﾞﾙ"));
    ui->lstTables->clear();
    ClearGrids();
    ui->lstProcFunc->clear();
    ui->txtField->clear();
    ui->txtProc->clear();
    ui->lblProcName->clear();
    optTP[0]->setChecked(true);
    optTP_Click(0);

    SetTableButtons(false);
    ui->cmdDropProc->setEnabled(false);
    ui->cmdCreateProc->setEnabled(false);
    DrawStatus(0, true);

    WaitCursor wait;
    Grid *status = ui->flGrid_Status;
    try {
        Connection &db = session.db();
        const QString quoted = SqlText::quoteName(database);

        // Tables and views; an object whose definition cannot be read is listed as "[ERROR]".
        session.CloseRecordset();
        session.recordset = db.Execute(QStringLiteral("show tables from ") + quoted + QLatin1Char(';'));
        QStringList names;
        if (Recordset *rs = session.recordset.get()) {
            const int column = std::max(0, rs->FieldIndex(QStringLiteral("Tables_in_") + database));
            for (; !rs->Eof(); rs->MoveNext())
                names << rs->Value(column);
        }
        // Every statement that follows is sent ahead and the answers are read in order: a far server
        // answers them in about one round trip, however many tables there are.
        StatementPipeline pipeline(db);
        for (const QString &name : names)
            pipeline.add(QStringLiteral("show create table ") + SqlText::qualified(database, name)
                         + QLatin1Char(';'));
        pipeline.add(QStringLiteral("show procedure status ;"));
        pipeline.add(QStringLiteral("show function status"));
        pipeline.add(QStringLiteral("show table status from ") + quoted + QStringLiteral(" ;"));

        for (const QString &name : names) {
            std::unique_ptr<Recordset> create;
            QString marker;
            try {
                create = pipeline.next();
                if (create && !create->Eof())
                    marker = MainLogic::TableMarker(create->FieldName(0));
            } catch (const std::exception &) {
                marker = QStringLiteral("[ERROR]");
            }
            if (!marker.isEmpty())
                ui->lstTables->addItem(MainLogic::ListEntry(marker, name));
            closeQuietly(create);
            paintWhileFilling();
        }

        // Routines of this database only; a server without routines yields none, without a message.
        const auto listRoutines = [&](const QString &marker) {
            std::unique_ptr<Recordset> rs;
            try {
                rs = pipeline.next();
                if (rs) {
                    const int dbColumn = rs->FieldIndex(QStringLiteral("db"));
                    const int nameColumn = rs->FieldIndex(QStringLiteral("Name"));
                    for (; !rs->Eof(); rs->MoveNext()) {
                        if (dbColumn >= 0 && nameColumn >= 0 && rs->Value(dbColumn) == database)
                            ui->lstProcFunc->addItem(MainLogic::ListEntry(marker, rs->Value(nameColumn)));
                    }
                }
            } catch (const std::exception &) {
            }
            closeQuietly(rs);
        };
        listRoutines(QStringLiteral("[PROC]"));
        listRoutines(QStringLiteral("[FUNC]"));

        // The status grid.
        status->setRedraw(false);
        session.CloseRecordset();
        session.recordset = pipeline.next();
        if (session.recordset)
            fillFromRecordset(status, *session.recordset, palette().color(QPalette::Button));
        session.CloseRecordset();
        status->setRedraw(true);
    } catch (const std::exception &error) {
        closeSharedQuietly();
        status->setRedraw(true);
        wait.restore();
        Message(describe(error), Dialogs::Icon::Critical);
    }
}

void frmTablora::lstTables_Click()
{
    const QListWidgetItem *item = ui->lstTables->currentItem();
    if (!item)
        return;
    Session &session = Session::instance();
    const QString name = MainLogic::EntryName(item->text());
    const QString kind = MainLogic::EntryKind(item->text());
    const QString qualified = SqlText::qualified(session.database, name);

    ui->lblPreTable->setText(QStringLiteral("1"));
    ui->lblTableName->setText(name);
    ui->lblCkTableName->setText(name);
    ui->lblEditName->setText(kind == QLatin1String("[VIEW]") ? QStringLiteral("編集VIEW:")
                                                             : QStringLiteral("編集ﾃｰﾌﾞﾙ:"));
    ui->txtField->clear();
    ui->lblCreateTable->clear();
    for (Grid *grid : {ui->flGrid_Field, ui->flGrid_Index, ui->flGrid_Data})
        grid->Clear();
    ui->lblRecordCount->clear();

    ui->cmdDropTable->setEnabled(true);
    ui->cmdCreateTable->setEnabled(true);
    ui->cmdDataGet->setEnabled(true);
    ui->cmdInOut->setEnabled(session.isLocalhost);

    WaitCursor wait;
    std::unique_ptr<Recordset> rs;
    try {
        // The three statements go out together: a far server answers them in one round trip.
        StatementPipeline answers(session.db());
        answers.add(QStringLiteral("show create table ") + qualified + QLatin1Char(';'));
        answers.add(QStringLiteral("show full fields from ") + qualified + QLatin1Char(';'));
        answers.add(QStringLiteral("show index from ") + qualified + QLatin1Char(';'));
        rs = answers.next();
        if (rs && !rs->Eof()) {
            const QString text = rs->Value(1);
            ui->txtField->setPlainText(text);
            ui->lblCreateTable->setText(text);
        }
        closeQuietly(rs);

        FillGrid(ui->flGrid_Field, answers);
        FillGrid(ui->flGrid_Index, answers);
    } catch (const std::exception &error) {
        closeQuietly(rs);
        RecordError(describe(error));
        ui->cmdCreateTable->setEnabled(false);
        ui->cmdInOut->setEnabled(false);
    }
}

void frmTablora::lstProcFunc_Click()
{
    const QListWidgetItem *item = ui->lstProcFunc->currentItem();
    if (!item)
        return;
    Session &session = Session::instance();
    const QString name = MainLogic::EntryName(item->text());
    const bool function = MainLogic::EntryKind(item->text()) == QLatin1String("[FUNC]");

    ui->lblProcName->setText(name);
    ui->lblEditProcName->setText(function ? QStringLiteral("編集FUNC:") : QStringLiteral("編集PROC:"));
    ui->txtProc->clear();
    ui->lblCreateProc->clear();
    ui->cmdCreateProc->setEnabled(true);
    ui->cmdDropProc->setEnabled(true);

    WaitCursor wait;
    std::unique_ptr<Recordset> rs;
    try {
        rs = session.db().Execute((function ? QStringLiteral("show create function ")
                                            : QStringLiteral("show create procedure "))
                                  + SqlText::qualified(session.database, name) + QLatin1Char(';'));
        if (rs && !rs->Eof()) {
            int column = rs->FieldIndex(function ? QStringLiteral("Create Function")
                                                 : QStringLiteral("Create Procedure"));
            if (column < 0)
                column = 2;
            const QString text = rs->Value(column);
            ui->txtProc->setPlainText(text);
            ui->lblCreateProc->setText(text);
        }
        closeQuietly(rs);
    } catch (const std::exception &error) {
        closeQuietly(rs);
        RecordError(describe(error));
        ui->cmdCreateProc->setEnabled(false);
    }
}

void frmTablora::cmdDataGet_Click()
{
    Session &session = Session::instance();
    const QString table = ui->lblTableName->text();
    if (table.isEmpty() || session.database.isEmpty())
        return;
    Grid *grid = ui->flGrid_Data;
    grid->Clear();
    ui->lblRecordCount->clear();
    optField[3]->setChecked(true);

    WaitCursor wait;
    grid->setRedraw(false);
    std::unique_ptr<Recordset> rs;
    try {
        // Read as the rows arrive: each value is copied once, straight into the grid.
        rs = session.db().ExecuteStreaming(QStringLiteral("select * from ") +
                                  SqlText::qualified(session.database, table) + QStringLiteral(" limit ") +
                                  ui->cboLimit->currentText());
        const int rows = rs ? fillFromRecordset(grid, *rs, palette().color(QPalette::Button)) : 0;
        closeQuietly(rs);
        grid->setRedraw(true);
        ui->lblRecordCount->setText(QString::number(rows));
    } catch (const std::exception &error) {
        closeQuietly(rs);
        grid->setRedraw(true);
        RecordError(describe(error));
        wait.restore();
        Message(describe(error), Dialogs::Icon::Critical);
    }
}
