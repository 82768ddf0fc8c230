#pragma once

#include <QString>
#include <QStringList>
#include <QList>
#include <memory>

class Connection;

// The throwaway MariaDB server of scripts/sandbox, started once per test run (the first test that needs it
// starts it; later ones find it running).
struct SandboxServer
{
    QString host = QStringLiteral("127.0.0.1");
    QString port;
    QString socket;
    QString user = QStringLiteral("root");
    QString password;

    static const SandboxServer &get();

    // "driver={MySQL ODBC 3.51 Driver};server=127.0.0.1;uid=root;pwd=…;port=…[;database=…]"
    QString connectionString(const QString &database = QString()) const;
    std::unique_ptr<Connection> connect(const QString &database = QString()) const;
};

// Runs SQL on a connection and returns the rows as text ("NULL" for a null), for assertions.
QList<QStringList> rowsOf(Connection &connection, const QString &sql);
QString scalarOf(Connection &connection, const QString &sql);
