#pragma once

#include "schema/schemalogic.h"

#include <QDateTime>
#include <QObject>
#include <exception>
#include <functional>

class WaitCursor;
class frmTablora;

// The handlers of the main window's schema buttons: create and drop a database, alter a table or replace a
// view, edit and drop a routine. They work through the window's shell (messages, progress box, error box,
// list refreshes) and the session's connection.
class SchemaHandlers : public QObject
{
    Q_OBJECT

public:
    // Lives as a child of the window.
    explicit SchemaHandlers(frmTablora &window);

    // Called before each step of an alter table or view replacement (tests interrupt the run here).
    std::function<void(SchemaLogic::AlterStep)> beforeAlterStep;
    // The time that dates the backup table; the present time when not set.
    std::function<QDateTime()> clock;

public slots:
    void cmdCreateDb_Click();
    void cmdDropDb_Click();
    void cmdCreateTable_Click();
    void cmdDropTable_Click();
    void cmdCreateProc_Click();
    void cmdDropProc_Click();

private:
    // The database chosen in lstDb (the session's database when none is chosen).
    QString SelectedDatabase() const;
    void AlterView(const QString &database, const QString &name, const QString &edited, const QString &kept);
    // Marks the step of an alter table or view replacement about to run; the undo follows the last one.
    void EnterStep(SchemaLogic::AlterStep &step, SchemaLogic::AlterStep next) const;
    // The end of a change that went through: full progress, "変更しました。" (with the notes, when there
    // are any, as a warning), the lists read again.
    void AlterSucceeded(WaitCursor &wait, const QStringList &notes = {});
    // A change that failed: the error recorded and shown as a failure, then undo() puts things back; when
    // the undo fails too, undoFailed(its description) is the text of a second message.
    void AlterFailed(const std::exception &error, WaitCursor &wait, const std::function<void()> &undo,
                     const std::function<QString(const QString &)> &undoFailed);
    // Sends a drop statement; a failure is recorded and reported. False when it failed.
    bool RunDrop(const QString &statement);
    // Sends a drop of a table, view or routine; on success reports it and reads the object lists again.
    void DropObject(const QString &statement);

    frmTablora &m_window;
};
