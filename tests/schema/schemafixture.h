#pragma once

#include "scripteddialogs.h"
#include "servertest.h"
#include "statementrecorder.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

class frmTablora;
class SchemaHandlers;
namespace Ui {
class frmTablora;
}

// Scripted dialogs that can act while a message box is up (as another session would meanwhile).
class HookedDialogs : public ScriptedDialogs
{
public:
    std::function<void(const QString &text)> onMessage;

    Answer message(const QString &title, const QString &text, Icon icon, Buttons buttons) override
    {
        if (onMessage)
            onMessage(text);
        return ScriptedDialogs::message(title, text, icon, buttons);
    }
};

// The real main window with the schema handlers attached, on the sandbox, working in the test's database.
class SchemaWindowTest : public ServerTest
{
protected:
    void TearDown() override;

    // Connects the session (standing in connectionDatabase, none by default), opens the window, lists the
    // databases and chooses db.
    void openWindow(const QString &connectionDatabase = QString());
    void chooseDatabase(const QString &name);
    void chooseTable(const QString &name);
    void chooseRoutine(const QString &name);
    // A further database for the test, dropped after it.
    QString extraDatabase(const QString &suffix);
    // The same under a name of the test's choosing.
    QString extraDatabaseNamed(const QString &name);

    Ui::frmTablora *ui() const;
    QStringList sent() const { return recorder.statements(); }
    QStringList listEntries(const char *list) const;
    bool tableExists(const QString &database, const QString &table);
    QStringList backupTables();

    HookedDialogs dialogs;
    StatementRecorder recorder;
    QTemporaryDir settings;
    std::unique_ptr<frmTablora> window;
    SchemaHandlers *handlers = nullptr;

private:
    QStringList m_extraDatabases;
};
