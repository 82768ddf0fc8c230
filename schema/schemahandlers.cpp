// Attaching the schema handlers to the main window; creating a database; the drop operations.
#include "schema/attach.h"

#include "core/session.h"
#include "core/sqltext.h"
#include "mainwindow/frmtablora.h"
#include "schema/frmcreatedb.h"
#include "schema/schemacommon.h"

using SchemaCommon::closeQuietly;
using SchemaCommon::describe;

SchemaHandlers *attachSchema(frmTablora &window)
{
    auto *handlers = new SchemaHandlers(window);
    Ui::frmTablora *ui = window.ui;
    // Each button runs as one operation of the window.
    window.operation(ui->cmdCreateDb, handlers, &SchemaHandlers::cmdCreateDb_Click);
    window.operation(ui->cmdDropDb, handlers, &SchemaHandlers::cmdDropDb_Click);
    window.operation(ui->cmdCreateTable, handlers, &SchemaHandlers::cmdCreateTable_Click);
    window.operation(ui->cmdDropTable, handlers, &SchemaHandlers::cmdDropTable_Click);
    window.operation(ui->cmdCreateProc, handlers, &SchemaHandlers::cmdCreateProc_Click);
    window.operation(ui->cmdDropProc, handlers, &SchemaHandlers::cmdDropProc_Click);
    return handlers;
}

SchemaHandlers::SchemaHandlers(frmTablora &window)
    : QObject(&window)
    , m_window(window)
{
}

QString SchemaHandlers::SelectedDatabase() const
{
    const QListWidgetItem *item = m_window.ui->lstDb->currentItem();
    if (item && item->isSelected())
        return item->text();
    return Session::instance().database;
}

void SchemaHandlers::cmdCreateDb_Click()
{
    {
        frmCreateDB dialog(&m_window);
        Dialogs::current().showModal(&dialog);
    }
    // Whatever the dialog did, the list shows the server's databases as they are now.
    m_window.cmdShowDb_Click();
}

void SchemaHandlers::cmdDropDb_Click()
{
    // The name as listed: the server's own, blanks included (a name may begin with one, and trimming it
    // would name another database).
    const auto selectedName = [this] {
        const QListWidgetItem *item = m_window.ui->lstDb->currentItem();
        return item && item->isSelected() ? item->text() : QString();
    };
    const QString name = selectedName();
    if (name.trimmed().isEmpty()) {
        m_window.Message(QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽを選択して下さい。"), Dialogs::Icon::Critical);
        return;
    }
    if (m_window.Message(QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ(") + name + QStringLiteral(")を削除しす。"),
                         Dialogs::Icon::Critical, Dialogs::Buttons::OkCancel)
        != Dialogs::Answer::Ok)
        return;
    // The list may have been emptied while the question was open.
    if (selectedName().trimmed().isEmpty()) {
        m_window.Message(QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ(") + name + QStringLiteral(")がみつかりません。"),
                         Dialogs::Icon::Critical);
        return;
    }
    if (RunDrop(SchemaLogic::DropDatabaseStatement(name)))
        m_window.cmdShowDb_Click();
}

bool SchemaHandlers::RunDrop(const QString &statement)
{
    try {
        Session::instance().db().Execute(statement);
    } catch (const std::exception &error) {
        m_window.RecordError(describe(error));
        m_window.Message(QStringLiteral("削除に失敗しました。"), Dialogs::Icon::Critical);
        return false;
    }
    return true;
}

void SchemaHandlers::DropObject(const QString &statement)
{
    if (!RunDrop(statement))
        return;
    m_window.Message(QStringLiteral("削除しました。"), Dialogs::Icon::Information);
    m_window.lstDb_Click();
}

void SchemaHandlers::cmdDropTable_Click()
{
    const QString name = m_window.ui->lblTableName->text();
    if (m_window.Message(name + QStringLiteral("ﾃｰﾌﾞﾙを削除します。"), Dialogs::Icon::Critical,
                         Dialogs::Buttons::OkCancel)
        != Dialogs::Answer::Ok)
        return;

    const QString table = SqlText::qualified(Session::instance().database, name);
    // What the object is; an object that is gone gives no answer.
    QString kind;
    std::unique_ptr<Recordset> rs;
    try {
        rs = Session::instance().db().Execute(QStringLiteral("show create table ") + table
                                              + QLatin1Char(';'));
        if (rs)
            kind = rs->FieldName(0);
    } catch (const std::exception &) {
    }
    closeQuietly(rs);

    QString statement;
    if (SchemaLogic::IsTableColumn(kind)) {
        statement = QStringLiteral("drop table ") + table;
    } else if (SchemaLogic::IsViewColumn(kind)) {
        statement = QStringLiteral("drop view ") + table;
    } else {
        m_window.Message(QStringLiteral("テーブルまたはＶＩＥＷではありません。"), Dialogs::Icon::Critical);
        const bool view = m_window.Message(QStringLiteral("削除対象はVIEWですか？"), Dialogs::Icon::Question,
                                           Dialogs::Buttons::YesNo)
                          == Dialogs::Answer::Yes;
        statement = (view ? QStringLiteral("drop view ") : QStringLiteral("drop table ")) + table;
    }

    DropObject(statement);
}

void SchemaHandlers::cmdDropProc_Click()
{
    const QListWidgetItem *item = m_window.ui->lstProcFunc->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString entry = item->text();
    if (m_window.Message(entry + QStringLiteral("を削除します。"), Dialogs::Icon::Critical,
                         Dialogs::Buttons::OkCancel)
        != Dialogs::Answer::Ok)
        return;

    const QString statement = SchemaLogic::DropRoutineStatement(
            frmTablora::EntryKind(entry), SelectedDatabase(), frmTablora::EntryName(entry));
    DropObject(statement);
}
