#pragma once

#include "scripteddialogs.h"
#include "servertest.h"

#include <QByteArray>
#include <QSignalSpy>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class frmSql;

// A query window on the sandbox, connected to the test's own database, with a dump folder and a test
// editor (a script that records its arguments) in a temporary folder.
class QueryWindowTest : public ServerTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Types the text into txtSql, clicks cmdExec and waits until the run has ended.
    void run(const QString &sql);
    // Clicks cmdExec and waits until the run has ended.
    void clickExecAndWait();
    // Types the text, clicks cmdExec and returns while the server still works on it; waitForEnd() then
    // waits until the run has ended.
    void startRun(const QString &sql);
    void waitForEnd();
    // Waits until the editor script has recorded its arguments; empty when it never ran.
    QString editorArguments(int waitMs = 5000) const;
    QByteArray dumpFile() const;
    QString dumpPath() const;
    // The lines of txtRecord.
    QStringList textLines() const;

    ScriptedDialogs dialogs; // every dialog of a test must be scripted
    QTemporaryDir temp;
    QString folder; // the dump folder, ending in "/"
    std::unique_ptr<frmSql> window;
    std::unique_ptr<QSignalSpy> finished;
};
