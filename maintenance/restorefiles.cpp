// Restoring tables from files of statements: each file runs in the chosen database while the table it
// replaces is kept aside, so that a file that fails leaves its table as it was.
#include "maintenance/maintenance.h"

#include "core/dberror.h"
#include "core/events.h"
#include "core/session.h"
#include "maintenance/keptaside.h"
#include "maintenance/logicalbackup.h"
#include "mainwindow/frmtablora.h"

#include <QDateTime>
#include <QDir>
#include <stdexcept>

using namespace MaintLogic;

namespace {

// Runs one file in the database, its table kept aside until it has gone through. The connection's
// settings and database are as before afterwards, whatever the file set. Throws with the table named.
void restoreFile(Connection &db, const QString &database, const QString &path, const QString &name)
{
    std::unique_ptr<KeptAside> kept;
    try {
        kept = std::make_unique<KeptAside>(db, database, name, QDateTime::currentDateTime());
        {
            DefaultDatabase inDatabase(db, database, true);
            SessionSettings settings(db);
            // A file without DROP statements of its own finds its table gone, as before.
            try {
                db.Execute(dropStatement(database, name));
            } catch (const std::exception &) {
            }
            runSqlFile(db, path, [] { Events::pump(); });
        }
    } catch (const std::exception &error) {
        QString description = describeError(error);
        if (kept) {
            try {
                kept->putBack();
            } catch (const std::exception &undoError) {
                description += QStringLiteral("\r\n")
                    + (kept->asideTable().isEmpty()
                           ? describeError(undoError)
                           : Texts::keptAside(kept->asideTable(), describeError(undoError)));
            }
        }
        throw std::runtime_error(Texts::tableFailed(name, description, true).toStdString());
    }
    try {
        kept->release();
    } catch (const std::exception &error) {
        // The table is restored; only the dated copy could not be dropped.
        throw std::runtime_error(
            Texts::tableFailed(name, Texts::keptAside(kept->asideTable(), describeError(error)), true)
                .toStdString());
    }
}

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

    const int count = int(files.size());
    int done = 0;
    const auto step = [&] { m_window.ShowCount(total, start + int(qint64(done) * (total - start) / count)); };
    const auto run = [&](const QString &file) {
        restoreFile(db, database, dir.filePath(file), restoreNames({file}).value(0));
    };
    // A run that ends early says how far it got and names the files it did not restore (failing one first).
    const auto notReached = [&](const QString &description, const QStringList &rest) {
        return description + QStringLiteral("\r\n") + Texts::interrupted(done, count, restoreNames(rest));
    };
    for (int i = 0; i < tables.size(); ++i) {
        try {
            run(tables[i]);
        } catch (const std::exception &error) {
            throw std::runtime_error(notReached(describe(error), tables.mid(i) + views).toStdString());
        }
        ++done;
        step();
    }
    // A view over another view waits until that one exists: views that fail (and are put back as they
    // were) are tried again as long as each round creates at least one.
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
                    firstError = describe(error);
                failed << file;
            }
        }
        if (failed.size() == views.size())
            throw std::runtime_error(notReached(firstError, failed).toStdString());
        views = failed;
    }
}
