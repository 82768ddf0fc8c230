// Altering a table (a rebuild through a dated backup table) and replacing a view, from the create statement
// edited in txtField.
#include "schema/schemahandlers.h"

#include "core/session.h"
#include "core/sqltext.h"
#include "mainwindow/frmtablora.h"
#include "schema/schemacommon.h"
#include "widgets/waitcursor.h"

#include <algorithm>
#include <optional>

using SchemaCommon::closeQuietly;
using SchemaCommon::describe;
using SchemaLogic::AlterStep;

void SchemaHandlers::cmdCreateTable_Click()
{
    Ui::frmTablora *ui = m_window.ui;
    const QString edited = ui->txtField->toPlainText().trimmed();
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
        AlterView(database, name, edited, kept);
        return;
    }

    const SchemaLogic::TableAlterPlan plan = SchemaLogic::PlanTableAlter(
            database, name, edited, kept, clock ? clock() : QDateTime::currentDateTime());
    if (plan.newName.isEmpty()) {
        m_window.Message(QStringLiteral("ﾃｰﾌﾞﾙ名が見つかりません。"), Dialogs::Icon::Critical);
        return;
    }

    std::optional<WaitCursor> wait(std::in_place);
    AlterStep step = AlterStep::Backup;
    const auto begin = [&](AlterStep next) {
        step = next;
        if (beforeAlterStep)
            beforeAlterStep(next);
    };
    try {
        Connection &db = Session::instance().db();
        m_window.ShowCount(5, 0);
        begin(AlterStep::Backup);
        db.Execute(plan.backup);
        m_window.ShowCount(5, 1);
        begin(AlterStep::DropOld);
        db.Execute(plan.dropOld);
        m_window.ShowCount(5, 2);
        begin(AlterStep::CreateNew);
        db.Execute(plan.createNew);
        m_window.ShowCount(5, 3);

        begin(AlterStep::ReadColumns);
        QStringList newColumns;
        rs = db.Execute(plan.readColumns);
        if (rs) {
            const int field = std::max(0, rs->FieldIndex(QStringLiteral("Field")));
            for (; !rs->Eof(); rs->MoveNext())
                newColumns << rs->Value(field);
        }
        closeQuietly(rs);
        const QString columns = SchemaLogic::SharedColumnList(m_window.TableColumns(), newColumns);
        if (!columns.isEmpty()) {
            begin(AlterStep::CopyRows);
            db.Execute(plan.copyRows(columns));
        }
        m_window.ShowCount(5, 4);
        begin(AlterStep::DropBackup);
        db.Execute(plan.dropBackup);
        m_window.ShowCount(5, 5);
    } catch (const std::exception &error) {
        closeQuietly(rs);
        m_window.RecordError(describe(error));
        wait.reset();
        m_window.Message(QStringLiteral("ﾃｰﾌﾞﾙの変更に失敗しました。"), Dialogs::Icon::Critical);
        try {
            for (const QString &statement : SchemaLogic::TableUndo(plan, step))
                Session::instance().db().Execute(statement);
        } catch (const std::exception &undoError) {
            // Whatever step failed, the backup table still holds every row of the table.
            m_window.Message(QStringLiteral("元に戻せませんでした。ﾃﾞｰﾀはﾊﾞｯｸｱｯﾌﾟﾃｰﾌﾞﾙ ") + plan.backupTable
                                     + QStringLiteral(" に残っています。\n") + describe(undoError),
                             Dialogs::Icon::Critical);
        }
        m_window.DrawStatus(0, true);
        return;
    }

    m_window.DrawStatus(1, true);
    wait.reset();
    m_window.Message(QStringLiteral("変更しました。"), Dialogs::Icon::Information);
    m_window.lstDb_Click();
}

void SchemaHandlers::AlterView(const QString &database, const QString &name, const QString &edited,
                               const QString &kept)
{
    const SchemaLogic::ViewAlterPlan plan = SchemaLogic::PlanViewAlter(database, name, edited, kept);
    std::optional<WaitCursor> wait(std::in_place);
    AlterStep step = AlterStep::DropView;
    const auto begin = [&](AlterStep next) {
        step = next;
        if (beforeAlterStep)
            beforeAlterStep(next);
    };
    try {
        Connection &db = Session::instance().db();
        m_window.ShowCount(3, 1);
        begin(AlterStep::DropView);
        db.Execute(plan.dropView);
        m_window.ShowCount(3, 2);
        // The view's statement names its tables without their database: run it in the view's database.
        begin(AlterStep::CreateView);
        db.Execute(plan.useDatabase);
        db.Execute(plan.createView);
        m_window.ShowCount(3, 3);
    } catch (const std::exception &error) {
        m_window.RecordError(describe(error));
        wait.reset();
        m_window.Message(QStringLiteral("ﾃｰﾌﾞﾙの変更に失敗しました。"), Dialogs::Icon::Critical);
        try {
            for (const QString &statement : SchemaLogic::ViewUndo(plan, step))
                Session::instance().db().Execute(statement);
        } catch (const std::exception &undoError) {
            // The view holds no rows; its old statement is shown so that it can be run again.
            m_window.Message(QStringLiteral("元のVIEWに戻せませんでした。\n") + describe(undoError)
                                     + QStringLiteral("\n\n") + plan.restoreView,
                             Dialogs::Icon::Critical);
        }
        m_window.DrawStatus(0, true);
        return;
    }

    m_window.DrawStatus(1, true);
    wait.reset();
    m_window.Message(QStringLiteral("変更しました。"), Dialogs::Icon::Information);
    m_window.lstDb_Click();
}
