// Backup and restore of tables: the server's own statements where it has them, else files of statements
// written and read by the program in the same folder.
#include "maintenance/maintenance.h"

#include "core/dberror.h"
#include "core/events.h"
#include "core/session.h"
#include "maintenance/logicalbackup.h"
#include "mainwindow/frmtablora.h"
#include "widgets/waitcursor.h"

#include <QDir>
#include <stdexcept>

using namespace MaintLogic;

namespace {
// The server's answer to a statement it cannot parse: no BACKUP TABLE / RESTORE TABLE on today's servers.
constexpr unsigned ParseError = 1064;
}

void Maintenance::cmdBackup_Click()
{
    Ui::frmTablora *ui = m_window.ui;
    Session &session = Session::instance();

    const Scope scope = scopeOf(ui->lblPreTable->text());
    if (scope == Scope::None) {
        m_window.Message(Texts::NoDatabase, Dialogs::Icon::Critical);
        return;
    }
    const int count = ui->lstTables->count();
    if (count == 0) {
        m_window.Message(Texts::NoTables, Dialogs::Icon::Critical);
        return;
    }
    const QString selected = scope == Scope::One ? selectedEntry() : QString();
    if (scope == Scope::One && selected.isEmpty()) {
        m_window.Message(Texts::NoTableSelected, Dialogs::Icon::Critical);
        return;
    }
    const QString confirm = scope == Scope::One ? selected + Texts::BackupSingle : Texts::BackupAll;
    if (m_window.Message(confirm, Dialogs::Icon::Information, Dialogs::Buttons::OkCancel) != Dialogs::Answer::Ok)
        return;

    const QString folder = Dialogs::current().chooseFolder(Texts::BackupFolderPrompt);
    if (folder.trimmed().isEmpty())
        return;

    const int total = scope == Scope::One ? 1 : 2 * count;
    m_window.ShowCount(total, 0);
    QStringList names;
    if (scope == Scope::One) {
        names << frmTablora::EntryName(selected);
    } else {
        for (int i = 0; i < count; ++i) {
            m_window.ShowCount(total, i + 1);
            const QString entry = ui->lstTables->item(i)->text();
            if (frmTablora::EntryKind(entry) != QLatin1String("[ERROR]"))
                names << frmTablora::EntryName(entry);
        }
    }

    WaitCursor wait;
    try {
        Connection &db = session.db();
        try {
            db.Execute(backupStatement(tableList(session.database, names), db.escape(folder)));
        } catch (const DbError &error) {
            // A server without BACKUP TABLE: the same tables go into the same folder as files of statements.
            if (error.number() != ParseError || names.isEmpty())
                throw;
            writeLogicalBackup(folder, names, total, scope == Scope::One ? 0 : count);
        }
    } catch (const std::exception &error) {
        wait.restore();
        fail(describe(error));
        return;
    }
    m_window.DrawStatus(1, true);
    wait.restore();
    m_window.Message(Texts::backedUp(folder), Dialogs::Icon::Information);
}

void Maintenance::writeLogicalBackup(const QString &folder, const QStringList &names, int total, int start)
{
    Session &session = Session::instance();
    const QDir dir(folder);
    QStringList paths;
    for (const QString &name : names)
        paths << dir.filePath(backupFileName(name));
    // Nothing is written when any file is there already: the backup never overwrites.
    const QString existing = LogicalBackup::firstExisting(paths);
    if (!existing.isEmpty())
        throw std::runtime_error(Texts::fileExists(existing).toStdString());

    LogicalBackup backup(session.db(), session.database);
    const int n = int(names.size());
    for (int i = 0; i < n; ++i) {
        try {
            backup.write(names[i], paths[i]);
        } catch (const std::exception &error) {
            throw std::runtime_error(Texts::tableFailed(names[i], describe(error), false).toStdString());
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
    const QStringList names = m_restore.names;
    const QStringList files = m_restore.files;
    const QString folder = m_restore.folder;

    const int total = restoreTotal(names);
    m_window.ShowCount(total, 0);
    if (m_window.Message(Texts::RestoreConfirm, Dialogs::Icon::Critical, Dialogs::Buttons::OkCancel)
        != Dialogs::Answer::Ok)
        return;

    try {
        Connection &db = session.db();
        // A table that is not there yet is no obstacle: the drops' errors are passed over.
        for (int i = 0; i < names.size(); ++i) {
            m_window.ShowCount(total, i + 1);
            try {
                db.Execute(dropStatement(session.database, names[i]));
            } catch (const std::exception &) {
            }
        }
    } catch (const std::exception &error) {
        fail(describe(error));
        return;
    }

    WaitCursor wait;
    try {
        Connection &db = session.db();
        QStringList serverNames, logicalFiles;
        for (int i = 0; i < files.size(); ++i) {
            if (isLogicalBackupFile(files[i]))
                logicalFiles << files[i];
            else
                serverNames << names.value(i);
        }
        if (!logicalFiles.isEmpty())
            runLogicalRestore(folder, logicalFiles, total, int(names.size()));
        if (!serverNames.isEmpty())
            db.Execute(restoreStatement(tableList(session.database, serverNames), db.escape(folder)));
    } catch (const std::exception &error) {
        wait.restore();
        fail(describe(error));
        return;
    }
    m_window.DrawStatus(1, true);
    wait.restore();
    m_window.Message(Texts::restored(folder), Dialogs::Icon::Information);
}

void Maintenance::runLogicalRestore(const QString &folder, const QStringList &files, int total, int start)
{
    Session &session = Session::instance();
    Connection &db = session.db();
    const QDir dir(folder);

    // Tables first: a view can only be created over tables that exist.
    QStringList tables, views;
    for (const QString &file : files)
        (LogicalBackup::holdsView(dir.filePath(file)) ? views : tables) << file;

    DefaultDatabase inDatabase(db, session.database);
    SessionSettings settings(db);
    int done = 0;
    const auto step = [&] { m_window.ShowCount(total, std::min(total, start + done)); };
    const auto run = [&](const QString &file) {
        runSqlFile(db, dir.filePath(file), [] { Events::pump(); });
    };
    for (const QString &file : tables) {
        try {
            run(file);
        } catch (const std::exception &error) {
            throw std::runtime_error(
                Texts::tableFailed(restoreNames({file}).value(0), describe(error), true).toStdString());
        }
        ++done;
        step();
    }
    // A view over another view waits until that one exists: views that fail are tried again as long as
    // each round creates at least one.
    while (!views.isEmpty()) {
        QStringList failed;
        QString firstError;
        for (const QString &file : views) {
            try {
                run(file);
                ++done;
                step();
            } catch (const std::exception &error) {
                if (firstError.isEmpty())
                    firstError = Texts::tableFailed(restoreNames({file}).value(0), describe(error), true);
                failed << file;
            }
        }
        if (failed.size() == views.size())
            throw std::runtime_error(firstError.toStdString());
        views = failed;
    }
}
