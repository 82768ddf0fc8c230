// Altering a table (a rebuild through a dated backup table) and replacing a view, from the create statement
// edited in txtField.
#include "schema/schemahandlers.h"

#include "core/session.h"
#include "core/sqltext.h"
#include "mainwindow/frmtablora.h"
#include "schema/schemacommon.h"
#include "core/tablecopy.h"
#include "core/tabletriggers.h"
#include "widgets/waitcursor.h"

#include <algorithm>

using SchemaCommon::closeQuietly;
using SchemaCommon::describe;
using SchemaLogic::AlterStep;

namespace {

// The columns of a table that take values, in the table's order, from its "show full fields" answer. The
// server computes a generated column itself and refuses a value for it.
QStringList ValueColumns(Connection &db, const QString &showFields)
{
    QStringList columns;
    std::unique_ptr<Recordset> rs = db.Execute(showFields);
    if (rs) {
        const int field = std::max(0, rs->FieldIndex(QStringLiteral("Field")));
        const int extra = rs->FieldIndex(QStringLiteral("Extra"));
        for (; !rs->Eof(); rs->MoveNext()) {
            if (extra < 0 || !rs->Value(extra).contains(QLatin1String("GENERATED"), Qt::CaseInsensitive))
                columns << rs->Value(field);
        }
    }
    closeQuietly(rs);
    return columns;
}

qlonglong Count(Connection &db, const QString &statement)
{
    std::unique_ptr<Recordset> rs = db.Execute(statement);
    const qlonglong count = rs && !rs->Eof() ? rs->Value(0).toLongLong() : 0;
    closeQuietly(rs);
    return count;
}

// One statement of the undo. Rows copied back into a table with generated columns are refused as a whole
// (MariaDB 1906, MySQL 3105), and so are those of a table with invisible columns, which "select *" of the
// backup names but the table's own "*" does not (1136); they then go back column by column, the
// generated ones left to the server.
void RunUndoStatement(const SchemaLogic::TableAlterPlan &plan, const QString &statement)
{
    Connection &db = Session::instance().db();
    try {
        db.Execute(statement);
    } catch (const DbError &error) {
        if (statement != plan.restoreRows || (error.number() != 1906 && error.number() != 3105
                                                 && error.number() != 1136))
            throw;
        const QStringList columns = ValueColumns(db, plan.readOldColumns);
        db.Execute(plan.restoreColumns(SchemaLogic::SharedColumnList(columns, columns)));
    }
}

}

void SchemaHandlers::cmdCreateTable_Click()
{
    Ui::frmTablora *ui = m_window.ui;
    const QString text = ui->txtField->toPlainText();
    const QString edited = text.trimmed();
    if (edited.isEmpty()) {
        m_window.Message(QStringLiteral("ﾃｰﾌﾞﾙを選択して下さい。"), Dialogs::Icon::Information);
        return;
    }
    const QString name = ui->lblTableName->text();
    if (m_window.Message(name + QStringLiteral("ﾃｰﾌﾞﾙを変更します。"), Dialogs::Icon::Critical,
                         Dialogs::Buttons::OkCancel)
        != Dialogs::Answer::Ok)
        return;

    const QString database = Session::instance().database;
    // What the server has now: the kind, and the statement that puts the object back as it was.
    QString kept = ui->lblCreateTable->text();
    bool view = false;
    std::unique_ptr<Recordset> rs;
    if (beforeAlterStep)
        beforeAlterStep(AlterStep::ReadKind);
    try {
        rs = Session::instance().db().Execute(QStringLiteral("show create table ")
                                              + SqlText::qualified(database, name) + QLatin1Char(';'));
        if (rs && !rs->Eof()) {
            view = SchemaLogic::KindFromColumn(rs->FieldName(0)) == SchemaLogic::ObjectKind::View;
            if (rs->FieldCount() > 1 && !rs->Value(1).trimmed().isEmpty())
                kept = rs->Value(1);
        }
        closeQuietly(rs);
    } catch (const std::exception &error) {
        // Nothing has changed yet.
        closeQuietly(rs);
        m_window.RecordError(describe(error));
        m_window.Message(QStringLiteral("ﾃｰﾌﾞﾙの変更に失敗しました。"), Dialogs::Icon::Critical);
        m_window.DrawStatus(0, true);
        return;
    }

    if (view) {
        // A view's statement is run as the user left it.
        AlterView(database, name, text, kept);
        return;
    }

    if (SchemaLogic::NewTableName(edited).isEmpty()) {
        m_window.Message(QStringLiteral("ﾃｰﾌﾞﾙ名が見つかりません。"), Dialogs::Icon::Critical);
        return;
    }

    // Dropping the table drops its triggers: they are read now and created again afterwards. The backup
    // names every column when some are invisible, which "select *" leaves out.
    QList<TableTriggers::Trigger> triggers;
    TableCopy::Source source;
    try {
        triggers = TableTriggers::Read(Session::instance().db(), database, name);
        source = TableCopy::Read(Session::instance().db(), database, name).value(name);
    } catch (const std::exception &error) {
        // Nothing has changed yet.
        m_window.RecordError(describe(error));
        m_window.Message(QStringLiteral("ﾃｰﾌﾞﾙの変更に失敗しました。"), Dialogs::Icon::Critical);
        m_window.DrawStatus(0, true);
        return;
    }
    // A rebuilt table starts a new history: the old versions of its rows cannot be copied.
    if (source.versioned
        && m_window.Message(name + QStringLiteral("ﾃｰﾌﾞﾙはｼｽﾃﾑﾊﾞｰｼﾞｮﾝ管理されています。作り直すと履歴"
                                                  "（過去の版の行）は失われ、今の行だけが残ります。\n\n"
                                                  "変更しますか？"),
                            Dialogs::Icon::Warning, Dialogs::Buttons::YesNo)
               != Dialogs::Answer::Yes)
        return;

    const SchemaLogic::TableAlterPlan plan = SchemaLogic::PlanTableAlter(
            database, name, edited, kept, clock ? clock() : QDateTime::currentDateTime(), source.columns);

    WaitCursor wait;
    AlterStep step = AlterStep::Backup;
    QStringList notes;
    try {
        Connection &db = Session::instance().db();
        m_window.ShowCount(5, 0);
        EnterStep(step, AlterStep::Backup);
        db.Execute(plan.backup);
        m_window.ShowCount(5, 1);
        EnterStep(step, AlterStep::DropOld);
        db.Execute(plan.dropOld);
        m_window.ShowCount(5, 2);
        EnterStep(step, AlterStep::CreateNew);
        db.Execute(plan.createNew);
        m_window.ShowCount(5, 3);

        EnterStep(step, AlterStep::ReadColumns);
        const QStringList newColumns = ValueColumns(db, plan.readColumns);
        // The old columns as the server has them now, in the backup table: not what the window showed
        // when the table was chosen.
        const QStringList oldColumns = ValueColumns(db, plan.readBackupColumns);
        const QString columns = SchemaLogic::SharedColumnList(oldColumns, newColumns);
        if (!columns.isEmpty()) {
            EnterStep(step, AlterStep::CopyRows);
            db.Execute(plan.copyRows(columns));
        }
        const qlonglong rowsBefore = Count(db, plan.countBackup);
        const qlonglong rowsAfter = Count(db, plan.countNew);
        m_window.ShowCount(5, 4);

        // Triggers go on after the copy, so that the rows copied back do not fire them.
        EnterStep(step, AlterStep::CreateTriggers);
        const QStringList failedTriggers = TableTriggers::Create(
                db, triggers, database, SqlText::quoteName(database) + QLatin1Char('.') + plan.newName);
        if (!failedTriggers.isEmpty()) {
            m_window.RecordError(failedTriggers.join(QStringLiteral("\n\n")));
            notes << QStringLiteral("作成できなかったﾄﾘｶﾞｰがあります。ｴﾗｰ欄にその文があります。");
        }
        if (rowsBefore > 0 && rowsAfter < rowsBefore) {
            // The new table holds fewer rows than the old one had: the backup is the only copy of the
            // others, so it stays.
            notes << QStringLiteral("新しいﾃｰﾌﾞﾙに入った行は %1 行のうち %2 行です。元の行はﾊﾞｯｸｱｯﾌﾟﾃｰﾌﾞﾙ ")
                                     .arg(rowsBefore)
                                     .arg(rowsAfter)
                     + plan.backupTable + QStringLiteral(" に残しました。");
        } else {
            EnterStep(step, AlterStep::DropBackup);
            db.Execute(plan.dropBackup);
        }
        m_window.ShowCount(5, 5);
    } catch (const std::exception &error) {
        AlterFailed(
                error, wait,
                [&] {
                    const QStringList undo = SchemaLogic::TableUndo(plan, step);
                    for (const QString &statement : undo)
                        RunUndoStatement(plan, statement);
                    // The old table came back: so do its triggers.
                    if (undo.contains(plan.recreateOld)) {
                        const QStringList failed = TableTriggers::Create(
                                Session::instance().db(), triggers, database,
                                SqlText::qualified(database, name));
                        if (!failed.isEmpty()) {
                            m_window.RecordError(ui->txtError->text() + QStringLiteral("\n\n")
                                                 + failed.join(QStringLiteral("\n\n")));
                            m_window.Message(QStringLiteral("元のﾃｰﾌﾞﾙに作成できなかったﾄﾘｶﾞｰがあります。"
                                                            "ｴﾗｰ欄にその文があります。"),
                                             Dialogs::Icon::Critical);
                        }
                    }
                },
                // Whatever step failed, the backup table still holds every row of the table.
                [&](const QString &problem) {
                    return QStringLiteral("元に戻せませんでした。ﾃﾞｰﾀはﾊﾞｯｸｱｯﾌﾟﾃｰﾌﾞﾙ ") + plan.backupTable
                           + QStringLiteral(" に残っています。\n") + problem;
                });
        return;
    }
    AlterSucceeded(wait, notes);
}

void SchemaHandlers::AlterView(const QString &database, const QString &name, const QString &edited,
                               const QString &kept)
{
    const SchemaLogic::ViewAlterPlan plan = SchemaLogic::PlanViewAlter(database, name, edited, kept);
    WaitCursor wait;
    AlterStep step = AlterStep::DropView;
    QString previous;
    try {
        Connection &db = Session::instance().db();
        previous = SchemaCommon::CurrentDatabase(db);
        m_window.ShowCount(3, 1);
        EnterStep(step, AlterStep::DropView);
        db.Execute(plan.dropView);
        m_window.ShowCount(3, 2);
        // The view's statement names its tables without their database: run it in the view's database.
        EnterStep(step, AlterStep::CreateView);
        db.Execute(plan.useDatabase);
        db.Execute(plan.createView);
        m_window.ShowCount(3, 3);
    } catch (const std::exception &error) {
        AlterFailed(
                error, wait,
                [&] {
                    for (const QString &statement : SchemaLogic::ViewUndo(plan, step))
                        Session::instance().db().Execute(statement);
                },
                // The view holds no rows; its old statement is shown so that it can be run again.
                [&](const QString &problem) {
                    return QStringLiteral("元のVIEWに戻せませんでした。\n") + problem + QStringLiteral("\n\n")
                           + plan.restoreView;
                });
        SchemaCommon::ReturnTo(previous, database);
        return;
    }
    SchemaCommon::ReturnTo(previous, database);
    AlterSucceeded(wait);
}

void SchemaHandlers::EnterStep(AlterStep &step, AlterStep next) const
{
    step = next;
    if (beforeAlterStep)
        beforeAlterStep(next);
}

void SchemaHandlers::AlterSucceeded(WaitCursor &wait, const QStringList &notes)
{
    m_window.DrawStatus(1, true);
    wait.restore();
    if (notes.isEmpty())
        m_window.Message(QStringLiteral("変更しました。"), Dialogs::Icon::Information);
    else
        m_window.Message(QStringLiteral("変更しました。\n") + notes.join(QLatin1Char('\n')),
                         Dialogs::Icon::Warning);
    m_window.lstDb_Click();
}

void SchemaHandlers::AlterFailed(const std::exception &error, WaitCursor &wait,
                                 const std::function<void()> &undo,
                                 const std::function<QString(const QString &)> &undoFailed)
{
    m_window.RecordError(describe(error));
    wait.restore();
    m_window.Message(QStringLiteral("ﾃｰﾌﾞﾙの変更に失敗しました。"), Dialogs::Icon::Critical);
    try {
        undo();
    } catch (const std::exception &undoError) {
        m_window.Message(undoFailed(describe(undoError)), Dialogs::Icon::Critical);
    }
    m_window.DrawStatus(0, true);
}
