// Backup and restore of tables: the server's own statements where it has them, else files of statements
// written and read by the program in the same folder.
#include "maintenance/maintenance.h"

#include "core/dberror.h"
#include "core/events.h"
#include "core/session.h"
#include "core/sqltext.h"
#include "core/tablecopy.h"
#include "maintenance/logicalbackup.h"
#include "maintenance/restoreplan.h"
#include "mainwindow/frmtablora.h"
#include "widgets/waitcursor.h"

#include <QDir>
#include <stdexcept>

using namespace MaintLogic;

namespace {
// The server's answer to a statement it cannot parse: no BACKUP TABLE / RESTORE TABLE on today's servers.
constexpr unsigned ParseError = 1064;
constexpr unsigned long NoRestoreTableSince = 50500; // servers from 5.5 on have no RESTORE TABLE
}

void Maintenance::cmdBackup_Click()
{
    Session &session = Session::instance();

    const std::optional<QString> confirmed = confirmScope(Texts::BackupSingle, Texts::BackupAll);
    if (!confirmed)
        return;
    const QString selected = *confirmed;
    const bool one = !selected.isEmpty();
    const QString folder = Dialogs::current().chooseFolder(Texts::BackupFolderPrompt);
    if (folder.trimmed().isEmpty())
        return;

    const QStringList entries = listedEntries();
    const QString database = session.database;
    const int count = int(entries.size());
    const int total = one ? 1 : 2 * count;
    m_window.ShowCount(total, 0);
    QStringList names;
    if (one) {
        names << frmTablora::EntryName(selected);
    } else {
        for (int i = 0; i < count; ++i) {
            m_window.ShowCount(total, i + 1);
            if (frmTablora::EntryKind(entries[i]) != QLatin1String("[ERROR]"))
                names << frmTablora::EntryName(entries[i]);
        }
    }

    WaitCursor wait;
    const bool done = attempt(wait, [&] {
        Connection &db = session.db();
        try {
            db.Execute(backupStatement(tableList(database, names), db.escape(folder)));
        } catch (const DbError &error) {
            // A server without BACKUP TABLE: the same tables go into the same folder as files of statements.
            if (error.number() != ParseError || names.isEmpty())
                throw;
            writeLogicalBackup(database, folder, names, total, one ? 0 : count);
        }
    });
    if (done)
        succeed(wait, Texts::backedUp(folder));
}

void Maintenance::writeLogicalBackup(const QString &database, const QString &folder,
                                     const QStringList &names, int total, int start)
{
    const QDir dir(folder);
    QStringList paths;
    for (const QString &name : names)
        paths << dir.filePath(backupFileName(name));
    // Nothing is written when any file is there already: the backup never overwrites.
    const QString existing = LogicalBackup::firstExisting(paths);
    if (!existing.isEmpty())
        throw std::runtime_error(Texts::fileExists(existing).toStdString());

    LogicalBackup backup(Session::instance().db(), database);
    const int n = int(names.size());
    for (int i = 0; i < n; ++i) {
        try {
            backup.write(names[i], paths[i]);
        } catch (const std::exception &error) {
            throw std::runtime_error((Texts::tableFailed(names[i], describe(error), false)
                                      + QStringLiteral("\r\n") + Texts::interrupted(i, n, names.mid(i)))
                                         .toStdString());
        }
        m_window.ShowCount(total, start + int(qint64(i + 1) * (total - start) / n));
    }
}

void Maintenance::cmdRestore_Click()
{
    Ui::frmTablora *ui = m_window.ui;
    Session &session = Session::instance();

    if (scopeOf(ui->lblPreTable->text()) == Scope::None) {
        m_window.Message(Texts::NoDatabase, Dialogs::Icon::Critical);
        return;
    }
    m_restore.reset();
    {
        frmRestore dialog(m_restore, &m_window);
        Dialogs::current().showModal(&dialog);
    }
    if (m_restore.names.value(0).isEmpty() || m_restore.folder.isEmpty())
        return;
    const QString database = session.database;
    const QStringList names = m_restore.names;
    const QStringList files = m_restore.files;
    const QString folder = m_restore.folder;

    const int total = restoreTotal(names);
    m_window.ShowCount(total, 0);
    if (m_window.Message(Texts::RestoreConfirm, Dialogs::Icon::Critical, Dialogs::Buttons::OkCancel)
        != Dialogs::Answer::Ok)
        return;

    QStringList serverNames, logicalFiles;
    for (int i = 0; i < files.size(); ++i) {
        if (isLogicalBackupFile(files[i]))
            logicalFiles << files[i];
        else
            serverNames << names.value(i);
    }
    KeptAlso keptAlso;
    try {
        // Each file of statements restores the table it is chosen for and no other: before anything is
        // touched, a file of the program's own that names another table is refused, and a file without
        // that header is shown for what it holds and would destroy, and confirmed. Such a file is refused
        // when it would drop a database, or drop or replace something besides its table that cannot be
        // kept aside with it (the other tables and views are).
        Connection &db = session.db();
        const QDir dir(folder);
        QList<QPair<QString, QString>> replaced;
        for (const QString &file : logicalFiles) {
            const QString name = restoreNames({file}).value(0);
            replaced.append({database, name});
            const BackupHeader header = readBackupHeader(dir.filePath(file));
            if (header.own) {
                // The header's comment line holds the name as the backup wrote it there.
                if (header.table != QString::fromUtf8(commentText(name)))
                    throw std::runtime_error(
                        Texts::otherTable(file, header.table, header.database).toStdString());
            }
            // The header is two comment lines anyone can write: a file that carries it is read for what
            // it would destroy too, and one that would touch more than its table is not taken as ours.
            const ScriptSummary summary = summarizeSqlFile(dir.filePath(file), database);
            const ForeignRestore plan = planForeignRestore(db, summary, database, name);
            if (!plan.dropsDatabase.isEmpty())
                throw std::runtime_error(Texts::dropsDatabase(file, plan.dropsDatabase).toStdString());
            if (!plan.cannotKeep.isEmpty())
                throw std::runtime_error(Texts::cannotKeepAside(file, name, plan.cannotKeep).toStdString());
            if (header.own && plan.keptAlso.isEmpty())
                continue;
            QStringList kept;
            for (const auto &[otherDatabase, other] : plan.keptAlso)
                kept << SqlText::qualified(otherDatabase, other);
            if (m_window.Message(Texts::foreignFile(file, name, summary.statements, summary.creates,
                                                    summary.destroys, kept),
                                 Dialogs::Icon::Question, Dialogs::Buttons::OkCancel)
                != Dialogs::Answer::Ok)
                return;
            keptAlso[file] = plan.keptAlso;
            replaced += plan.keptAlso;
        }
        // A system-versioned table keeps its present rows only: said, and asked, first.
        QStringList versioned;
        for (const auto &[versionedDatabase, table] : TableCopy::Versioned(db, replaced))
            versioned << SqlText::qualified(versionedDatabase, table);
        if (!versioned.isEmpty()
            && m_window.Message(Texts::versionedRestore(versioned), Dialogs::Icon::Warning,
                                Dialogs::Buttons::YesNo)
                   != Dialogs::Answer::Yes)
            return;
        if (!serverNames.isEmpty() && db.serverVersion() >= NoRestoreTableSince) {
            // Today's servers have no RESTORE TABLE and answer it with a syntax error: said before any
            // table is dropped, and none is. (An older server is not asked twice: there the statement
            // would restore.)
            try {
                db.Execute(restoreStatement(tableList(database, serverNames), db.escape(folder)));
            } catch (const DbError &error) {
                if (error.number() == ParseError)
                    throw std::runtime_error(Texts::noRestoreTable(describe(error)).toStdString());
            }
        }
    } catch (const std::exception &error) {
        fail(describe(error));
        return;
    }

    WaitCursor wait;
    QStringList notes, failedTriggers;
    const bool done = attempt(wait, [&] {
        Connection &db = session.db();
        if (!logicalFiles.isEmpty())
            notes = runLogicalRestore(database, folder, logicalFiles, keptAlso, total, 0, failedTriggers);
        if (!serverNames.isEmpty()) {
            // A table that is not there yet is no obstacle: the drops' errors are passed over.
            for (const QString &name : serverNames) {
                try {
                    db.Execute(dropStatement(database, name));
                } catch (const std::exception &) {
                }
            }
            db.Execute(restoreStatement(tableList(database, serverNames), db.escape(folder)));
        }
    });
    if (!done)
        return;
    if (!failedTriggers.isEmpty())
        m_window.RecordError(failedTriggers.join(QStringLiteral("\n\n")));
    notes.prepend(Texts::restored(folder));
    succeed(wait, notes.join(QStringLiteral("\r\n")),
            failedTriggers.isEmpty() ? Dialogs::Icon::Information : Dialogs::Icon::Warning);
}

