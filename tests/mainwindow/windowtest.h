#pragma once

#include "mainwindow/frmtablora.h"
#include "scripteddialogs.h"
#include "servertest.h"
#include "statementrecorder.h"

#include <QTemporaryDir>
#include <memory>

// A main window against the sandbox: settings in a folder of the test's own, scripted dialogs and a
// recorder of the statements sent.
class WindowTest : public ServerTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Fills the connect panel for a connection by driver and clicks cmdConnect.
    void connectWindow(const QString &user, const QString &pass,
                       const QString &host = QStringLiteral("127.0.0.1"), const QString &port = QString());
    // Lists the databases and chooses one (the test's own by default).
    void chooseDatabase(const QString &database = QString());
    // Chooses the entry of a list whose text is exactly entry; false when there is none.
    bool choose(QListWidget *list, const QString &entry);
    static QStringList items(const QListWidget *list);

    QTemporaryDir settings;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<StatementRecorder> recorder;
    std::unique_ptr<frmTablora> window;
    Ui::frmTablora *ui = nullptr;
};
