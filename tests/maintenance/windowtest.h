#pragma once

#include "servertest.h"
#include "statementrecorder.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

// Readable failures: QStrings printed as text.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

class frmTablora;
class Maintenance;

// The real main window, connected as "localhost" to the sandbox, with the maintenance handlers attached;
// the test's own database holds a copy of the shop tables when the test asks for them.
class WindowTest : public ServerTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Lists the databases and clicks the test's own (all-tables scope).
    void chooseDatabase();
    // Clicks the lstTables entry of that name (one-object scope).
    void chooseTable(const QString &name);
    QStringList tableEntries() const;
    // Every row of a table in a stable order, binary columns as hex, nulls as "NULL".
    QList<QStringList> tableRows(const QString &database, const QString &table);
    // Runs an SQL file with the command-line client into a database; returns its error output.
    QString loadWithClient(const QString &database, const QString &file);
    // A fresh empty database beside the test's own, dropped after the test.
    QString otherDatabase();
    // As if the user clicked that database in lstDb while a run lets window events run: the click is
    // handled the first time the run does so.
    void clickDatabaseDuringTheRun(const QString &name);

    QTemporaryDir settingsDir;
    QTemporaryDir work;
    std::unique_ptr<frmTablora> window;
    Maintenance *maintenance = nullptr;
    std::unique_ptr<StatementRecorder> recorder;
    QStringList extraDatabases;
};
