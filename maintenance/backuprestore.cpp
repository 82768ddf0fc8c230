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
    const QString database = session.database;
    const QStringList names = m_restore.names;
    const QStringList files = m_restore.files;
    const QString folder = m_restore.folder;

    const int total = restoreTotal(names);
    m_window.ShowCount(total, 0);
    if (m_window.Message(Texts::RestoreConfirm, Dialogs::Icon::Critical, Dialogs::Buttons::OkCancel)
        != Dialogs::Answer::Ok)
        return;

    try {
        // A file of statements whose text is not UTF-8 (raw bytes in its literals, as some dump tools
        // write them) could not be sent without changing its values: refused before anything is dropped.
        const QDir dir(folder);
        for (int i = 0; i < files.size(); ++i) {
            if (isLogicalBackupFile(files[i]) && !isUtf8File(dir.filePath(files[i])))
                throw std::runtime_error(
                    Texts::tableFailed(names.value(i), Texts::NotUtf8, true).toStdString());
        }
        Connection &db = session.db();
        // A table that is not there yet is no obstacle: the drops' errors are passed over.
        for (int i = 0; i < names.size(); ++i) {
            m_window.ShowCount(total, i + 1);
            try {
                db.Execute(dropStatement(database, names[i]));
            } catch (const std::exception &) {
            }
        }
    } catch (const std::exception &error) {
        fail(describe(error));
        return;
    }

    WaitCursor wait;
    const bool done = attempt(wait, [&] {
        Connection &db = session.db();
        QStringList serverNames, logicalFiles;
        for (int i = 0; i < files.size(); ++i) {
            if (isLogicalBackupFile(files[i]))
                logicalFiles << files[i];
            else
                serverNames << names.value(i);
        }
        if (!logicalFiles.isEmpty())
            runLogicalRestore(database, folder, logicalFiles, total, int(names.size()));
        if (!serverNames.isEmpty())
            db.Execute(restoreStatement(tableList(database, serverNames), db.escape(folder)));
    });
    if (done)
        succeed(wait, Texts::restored(folder));
}

void Maintenance::runLogicalRestore(const QString &database, const QString &folder, const QStringList &files,
                                    int total, int start)
{
    Connection &db = Session::instance().db();
    const QDir dir(folder);

    // Tables first: a view can only be created over tables that exist.
    QStringList tables, views;
    for (const QString &file : files)
        (LogicalBackup::holdsView(dir.filePath(file)) ? views : tables) << file;

    DefaultDatabase inDatabase(db, database);
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
