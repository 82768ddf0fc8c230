#pragma once

#include "schema/schemalogic.h"

#include <QDateTime>
#include <QObject>
#include <functional>

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

    frmTablora &m_window;
};
