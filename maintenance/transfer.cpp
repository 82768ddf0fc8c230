// Script backup of a database's objects, and import and export of a table's rows.
#include "maintenance/maintenance.h"

#include "core/codepage.h"
#include "core/session.h"
#include "maintenance/frminout.h"
#include "maintenance/logicalbackup.h"
#include "maintenance/scriptbackup.h"
#include "mainwindow/frmtablora.h"
#include "widgets/waitcursor.h"

#include <QDir>
#include <mysql.h>
#include <stdexcept>

using namespace MaintLogic;

void Maintenance::cmdScriptBackUp_Click()
{
    Session &session = Session::instance();
    const QString database = session.database;
    if (scopeOf(m_window.ui->lblPreTable->text()) == Scope::None || database.isEmpty()) {
        m_window.Message(Texts::NoDatabase, Dialogs::Icon::Critical);
        return;
    }
    const QString folder = Dialogs::current().chooseFolder(Texts::ScriptFolderPrompt);
    if (folder.trimmed().isEmpty())
        return;

    WaitCursor wait;
    const bool done = attempt(wait, [&] {
        Connection &db = session.db();
        DefaultDatabase inDatabase(db, database);
        const QList<ScriptBackup::SchemaObject> objects = ScriptBackup::listObjects(db, database);
        const QDir dir(folder);
        QStringList paths;
        for (const auto &object : objects)
            paths << dir.filePath(scriptFileName(object.kind, object.name));
        // Nothing is written when any of the files is there already.
        const QString existing = LogicalBackup::firstExisting(paths);
        if (!existing.isEmpty())
            throw std::runtime_error(Texts::fileExists(existing).toStdString());

        const int total = int(objects.size());
        m_window.ShowCount(total, 0);
        for (int i = 0; i < total; ++i) {
            try {
                ScriptBackup::write(db, database, objects[i], paths[i]);
            } catch (const std::exception &error) {
                QStringList rest;
                for (int j = i; j < total; ++j)
                    rest << objects[j].name;
                throw std::runtime_error((QStringLiteral("「") + objects[i].name
                                          + QStringLiteral("」のｸﾘｴｲﾄScriptを保存できませんでした。\r\n")
                                          + describe(error) + QStringLiteral("\r\n")
                                          + Texts::interrupted(i, total, rest)).toStdString());
            }
            m_window.ShowCount(total, i + 1);
        }
    });
    if (done)
        succeed(wait, Texts::scriptsSaved(folder));
}

void Maintenance::cmdInOut_Click()
{
    Session &session = Session::instance();
    if (scopeOf(m_window.ui->lblPreTable->text()) == Scope::None || session.database.isEmpty()) {
        m_window.Message(Texts::NoDatabase, Dialogs::Icon::Critical);
        return;
    }
    const QString entry = selectedEntry();
    if (entry.isEmpty()) {
        m_window.Message(Texts::NoTableSelected, Dialogs::Icon::Critical);
        return;
    }
    // The files are the server's: only a server on this machine makes them the user's files.
    if (!session.isLocalhost)
        return;
    const QString table = frmTablora::EntryName(entry);
    const QString database = session.database;

    bool importing = false;
    QString path, delimiter;
    {
        frmInOut dialog(table, session.settings.inoutpath, &m_window);
        if (Dialogs::current().showModal(&dialog) != QDialog::Accepted)
            return;
        session.settings.inoutpath = dialog.folder();
        importing = dialog.importing();
        path = dialog.path();
        delimiter = dialog.delimiter();
    }

    WaitCursor wait;
    qulonglong rows = 0;
    const bool done = attempt(wait, [&] {
        Connection &db = session.db();
        const QString charset = serverCharset(CodePage::name());
        const QString escapedPath = db.escape(path);
        const QString escapedDelimiter = db.escape(delimiter);
        db.Execute(importing ? loadStatement(escapedPath, database, table, charset, escapedDelimiter)
                             : unloadStatement(escapedPath, database, table, charset, escapedDelimiter));
        rows = mysql_affected_rows(db.handle());
    });
    if (!done)
        return;
    const QString count = QStringLiteral("（") + QString::number(rows) + QStringLiteral("件）");
    succeed(wait, QStringLiteral("「") + path
                      + (importing ? QStringLiteral("」から取り込みました。") : QStringLiteral("」に出力しました。"))
                      + count);
}
