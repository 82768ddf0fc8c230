// Restoring tables from files of statements: each file runs in the chosen database while the table it
// replaces is kept aside, so that a file that fails leaves its table as it was.
#include "maintenance/maintenance.h"

#include "core/dberror.h"
#include "core/events.h"
#include "core/session.h"
#include "core/recordset.h"
#include "core/sqltext.h"
#include "maintenance/keptaside.h"
#include "maintenance/logicalbackup.h"
#include "maintenance/restoreplan.h"
#include "mainwindow/frmtablora.h"

#include <QDateTime>
#include <QDir>
#include <stdexcept>

using namespace MaintLogic;

ForeignRestore planForeignRestore(Connection &db, const ScriptSummary &summary, const QString &database,
                                  const QString &table)
{
    ForeignRestore plan;
    QList<const ScriptSummary::Target *> triggers;
    for (const ScriptSummary::Target &target : summary.targets) {
        const bool chosen = target.database == database && target.name == table;
        const QPair<QString, QString> object{target.database, target.name};
        if (target.type == QLatin1String("DATABASE") && target.text.startsWith(QLatin1String("DROP"))) {
            if (!plan.dropsDatabase.contains(target.text))
                plan.dropsDatabase << target.text;
        } else if (target.name.isEmpty()) {
            // Its objects could not be read: it cannot be judged.
            if (!plan.cannotKeep.contains(target.text))
                plan.cannotKeep << target.text;
        } else if (target.type == QLatin1String("TABLE") || target.type == QLatin1String("VIEW")) {
            if (!chosen && !plan.keptAlso.contains(object))
                plan.keptAlso << object;
        } else if (target.type == QLatin1String("TRIGGER")) {
            triggers << &target;
        } else if (!plan.cannotKeep.contains(target.text)) {
            plan.cannotKeep << target.text;
        }
    }
    if (triggers.isEmpty())
        return plan;
    // A trigger of the table is kept with it; one of another table is not.
    QStringList pairs;
    for (const ScriptSummary::Target *trigger : triggers)
        pairs << QStringLiteral("('") + db.escape(trigger->database) + QStringLiteral("','")
                + db.escape(trigger->name) + QStringLiteral("')");
    std::unique_ptr<Recordset> rs = db.Execute(
        QStringLiteral("select TRIGGER_SCHEMA, TRIGGER_NAME from information_schema.TRIGGERS"
                       " where (TRIGGER_SCHEMA, TRIGGER_NAME) in (")
        + pairs.join(QLatin1Char(',')) + QStringLiteral(") and not (EVENT_OBJECT_SCHEMA = '")
        + db.escape(database)
        + QStringLiteral("' and EVENT_OBJECT_TABLE = '") + db.escape(table) + QStringLiteral("')"));
    for (; rs && !rs->Eof(); rs->MoveNext()) {
        for (const ScriptSummary::Target *trigger : triggers)
            // Compared as the server compares them: the answer may spell them otherwise.
            if (trigger->database.compare(rs->Value(0), Qt::CaseInsensitive) == 0
                && trigger->name.compare(rs->Value(1), Qt::CaseInsensitive) == 0
                && !plan.cannotKeep.contains(trigger->text))
                plan.cannotKeep << trigger->text;
    }
    closeQuietly(rs);
    return plan;
}

namespace {

// Runs one file in the database, its table (and the other tables and views it would destroy) kept aside
// until it has gone through. The connection's settings and database are as before afterwards, whatever
// the file set. Throws with the table named. Returns what the result message says of this file: triggers
// that a file without triggers would have taken away, created again or named when they could not be.
QString restoreFile(Connection &db, const QString &database, const QString &path, const QString &name,
                    const QList<QPair<QString, QString>> &others, QStringList &failedTriggers)
{
    std::vector<std::unique_ptr<KeptAside>> kept;
    const QDateTime now = QDateTime::currentDateTime();
    try {
        kept.push_back(std::make_unique<KeptAside>(db, database, name, now));
        for (const auto &[otherDatabase, other] : others)
            kept.push_back(std::make_unique<KeptAside>(db, otherDatabase, other, now));
    } catch (const std::exception &error) {
        // Nothing has run yet: the copies made so far go.
        QString description = describeError(error);
        for (const auto &aside : kept) {
            try {
                aside->release();
            } catch (const std::exception &releaseError) {
                description += QStringLiteral("\r\n")
                    + Texts::keptAside(aside->asideTable(), describeError(releaseError));
            }
        }
        throw std::runtime_error(Texts::tableFailed(name, description, true).toStdString());
    }
    try {
        DefaultDatabase inDatabase(db, database, true);
        SessionSettings settings(db);
        // A file without DROP statements of its own finds its table gone, as before.
        try {
            db.Execute(dropStatement(database, name));
        } catch (const std::exception &) {
        }
        runSqlFile(db, path, [] { Events::pump(); });
        // A file that went through without creating its table again (one made for another table or
        // database) would leave nothing in the table's place: that is its failure, and what was kept
        // aside comes back.
        auto there = db.Execute(QStringLiteral("select 1 from information_schema.TABLES where TABLE_SCHEMA = '")
                                + db.escape(database) + QStringLiteral("' and TABLE_NAME = '") + db.escape(name)
                                + QStringLiteral("'"));
        const bool created = there && !there->Eof();
        closeQuietly(there);
        if (!created)
            throw std::runtime_error(Texts::notCreated(name, database).toStdString());
    } catch (const std::exception &error) {
        QString description = describeError(error);
        // Tables first: a view can only be created again over the tables it reads. A view that cannot
        // be put back is shown with its create statement, which is all there is of it.
        for (const bool views : {false, true}) {
            for (auto aside = kept.rbegin(); aside != kept.rend(); ++aside) {
                if ((*aside)->isView() != views)
                    continue;
                try {
                    (*aside)->putBack();
                } catch (const std::exception &undoError) {
                    description += QStringLiteral("\r\n")
                        + (views ? describeError(undoError) + QStringLiteral("\r\n") + (*aside)->createStatement()
                           : (*aside)->asideTable().isEmpty()
                               ? describeError(undoError)
                               : Texts::keptAside((*aside)->asideTable(), describeError(undoError)));
                }
            }
        }
        throw std::runtime_error(Texts::tableFailed(name, description, true).toStdString());
    }
    QString note;
    QString problems;
    try {
        QStringList failedNames;
        const QStringList created = kept.front()->bringBackTriggers(failedNames, failedTriggers);
        if (!created.isEmpty())
            note = Texts::triggersBack(name, created);
        if (!failedNames.isEmpty())
            note += (note.isEmpty() ? QString() : QStringLiteral("\r\n"))
                + Texts::triggersLost(name, failedNames);
    } catch (const std::exception &error) {
        problems += describeError(error);
    }
    for (const auto &aside : kept) {
        try {
            aside->release();
        } catch (const std::exception &error) {
            // The table is restored; only the dated copy could not be dropped.
            problems += (problems.isEmpty() ? QString() : QStringLiteral("\r\n"))
                + Texts::keptAside(aside->asideTable(), describeError(error));
        }
    }
    if (!problems.isEmpty())
        throw std::runtime_error(Texts::tableFailed(name, problems, true).toStdString());
    return note;
}

}

QStringList Maintenance::runLogicalRestore(const QString &database, const QString &folder,
                                           const QStringList &files, const KeptAlso &keptAlso, int total,
                                           int start, QStringList &failedTriggers)
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
    QStringList notes;
    const auto run = [&](const QString &file) {
        const QString note = restoreFile(db, database, dir.filePath(file), restoreNames({file}).value(0),
                                         keptAlso.value(file), failedTriggers);
        if (!note.isEmpty())
            notes << note;
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
    return notes;
}
