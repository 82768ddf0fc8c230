#pragma once

#include "core/dialogs.h"
#include "maintenance/maintlogic.h"
#include "maintenance/frmrestore.h"

#include <QDate>
#include <QHash>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <optional>

class frmTablora;
class WaitCursor;

// The maintenance and transfer buttons of the main window: check, optimise, repair and copy tables,
// back up and restore them, save the create scripts of a database, import and export table data.
// Lives as a child of the window whose buttons it serves.
class Maintenance : public QObject
{
    Q_OBJECT

public:
    explicit Maintenance(frmTablora &window);

    // The day that dates a copy; today when not set.
    std::function<QDate()> clock;

public slots:
    void cmdCheckTable_Click();
    void cmdOptimizeTable_Click();
    void cmdRepairTable_Click();
    void cmdCopyDb_Click();
    void cmdBackup_Click();
    void cmdRestore_Click();
    void cmdScriptBackUp_Click();
    void cmdInOut_Click();

private:
    // The procedure that check, optimise, repair and copy share.
    void runOperation(MaintLogic::Operation operation);
    // The selected entry of lstTables as listed, or empty text.
    QString selectedEntry() const;
    // The entries of lstTables as they are now. A run works on these and on the database it started in:
    // while it lets window events run, a click elsewhere may fill the list anew for another database.
    QStringList listedEntries() const;
    // The tests and the confirmation that open every run over the selected table or all tables: the
    // selected entry as listed (one object), empty text (all tables), or nothing when the run stops here.
    std::optional<QString> confirmScope(const QString &singleConfirm, const QString &allConfirm);
    static QString describe(const std::exception &error);
    // A failure: progress box empty, pointer back, txtError and Label13's tool tip, a critical box.
    void fail(const QString &description);
    // Runs work; a failure ends the handler as designed (pointer back, then fail). Whether it went through.
    bool attempt(WaitCursor &wait, const std::function<void()> &work);
    // The end of a run that went through: progress box full, pointer back, the message.
    void succeed(WaitCursor &wait, const QString &message, Dialogs::Icon icon = Dialogs::Icon::Information);
    // The backup of the named tables as files of statements, table by table.
    void writeLogicalBackup(const QString &database, const QString &folder, const QStringList &names,
                            int total, int start);
    // For a file that is not one of the program's own backups, the other tables and views (database,
    // name) that it would destroy, kept aside with its table.
    using KeptAlso = QHash<QString, QList<QPair<QString, QString>>>;
    // The chosen files of statements, each with its table kept aside until it went through; views after
    // tables. What the result message says besides: the triggers created again on tables whose file
    // brought none; failedTriggers gets the text of each that could not be.
    QStringList runLogicalRestore(const QString &database, const QString &folder, const QStringList &files,
                                  const KeptAlso &keptAlso, int total, int start,
                                  QStringList &failedTriggers);

    frmTablora &m_window;
    RestoreSelection m_restore;
};

// Connects the maintenance and transfer buttons of the window to their handlers.
Maintenance *attachMaintenance(frmTablora &window);
