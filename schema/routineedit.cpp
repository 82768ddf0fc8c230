// Editing a routine: the create text edited in txtProc replaces the routine chosen in lstProcFunc.
#include "schema/schemahandlers.h"

#include "core/session.h"
#include "mainwindow/frmtablora.h"
#include "schema/schemacommon.h"
#include "widgets/waitcursor.h"

#include <optional>
#include <stdexcept>

using SchemaCommon::closeQuietly;
using SchemaCommon::describe;

void SchemaHandlers::cmdCreateProc_Click()
{
    Ui::frmTablora *ui = m_window.ui;
    const QString marker = m_window.SelectedRoutineKind();
    const QString name = m_window.SelectedRoutine();
    const QString edited = ui->txtProc->toPlainText().trimmed();
    if (name.isEmpty() || edited.isEmpty()) {
        m_window.Message(QStringLiteral("ﾌﾟﾛｼｰｼﾞｬを選択して下さい。"), Dialogs::Icon::Information);
        return;
    }
    if (m_window.Message(name + QStringLiteral("を変更します。"), Dialogs::Icon::Critical,
                         Dialogs::Buttons::OkCancel)
        != Dialogs::Answer::Ok)
        return;

    const QString database = SelectedDatabase();
    const bool procedure = SchemaLogic::IsProcedureMarker(marker);
    std::optional<WaitCursor> wait(std::in_place);
    std::unique_ptr<Recordset> rs;
    QString kept;
    QString previous;
    bool dropped = false;
    try {
        Connection &db = Session::instance().db();
        previous = SchemaCommon::CurrentDatabase(db);
        // The routine as the server has it now: what puts it back if the edited text fails.
        rs = db.Execute(SchemaLogic::ShowCreateRoutineStatement(marker, database, name));
        if (rs && !rs->Eof()) {
            int column = rs->FieldIndex(procedure ? QStringLiteral("Create Procedure")
                                                  : QStringLiteral("Create Function"));
            kept = rs->Value(column >= 0 ? column : 2);
        }
        closeQuietly(rs);
        if (kept.trimmed().isEmpty())
            kept = ui->lblCreateProc->text();
        if (kept.trimmed().isEmpty())
            throw std::runtime_error("元の定義を読めませんでした。");

        db.Execute(SchemaLogic::DropRoutineStatement(marker, database, name));
        dropped = true;
        // The create text names the routine without its database: run it in the routine's database.
        db.Execute(SchemaLogic::UseStatement(database));
        db.Execute(edited);
    } catch (const std::exception &error) {
        closeQuietly(rs);
        QString restoreProblem;
        if (dropped) {
            try {
                Connection &db = Session::instance().db();
                db.Execute(SchemaLogic::UseStatement(database));
                db.Execute(kept.trimmed());
            } catch (const std::exception &restoreError) {
                restoreProblem = describe(restoreError);
            }
        }
        SchemaCommon::ReturnTo(previous, database);
        m_window.RecordError(describe(error));
        wait.reset();
        m_window.Message(QStringLiteral("変更に失敗しました。"), Dialogs::Icon::Critical);
        if (!restoreProblem.isEmpty())
            m_window.Message(QStringLiteral("元の定義に戻せませんでした。\n") + restoreProblem
                                     + QStringLiteral("\n\n") + kept.trimmed(),
                             Dialogs::Icon::Critical);
        return;
    }

    SchemaCommon::ReturnTo(previous, database);
    wait.reset();
    m_window.Message(QStringLiteral("変更しました。"), Dialogs::Icon::Information);
    m_window.lstDb_Click();
}
