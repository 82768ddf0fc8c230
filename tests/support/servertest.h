#pragma once

#include "sandbox.h"

#include <gtest/gtest.h>

#include <QString>
#include <memory>

class Connection;

// A test against the sandbox server with a database of its own: `db` is created empty before the test
// (named after the test) and dropped after it. `admin` is a root connection of the test's own, apart from
// the program's session, for preparing and checking the server's state.
class ServerTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Points the program's session at the sandbox (server 127.0.0.1 or the given one) and opens it.
    bool connectSession(const QString &database = QString(), const QString &server = QStringLiteral("127.0.0.1"));

    void exec(const QString &sql);
    QList<QStringList> rows(const QString &sql);
    QString scalar(const QString &sql);
    // Loads scripts/sample.sql's tables into this test's database (as the shop database has them).
    void loadShop();

    const SandboxServer &server = SandboxServer::get();
    QString db;
    std::unique_ptr<Connection> admin;
};
