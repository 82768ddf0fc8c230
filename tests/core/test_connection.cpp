#include "connection.h"
#include "dberror.h"
#include "servertest.h"
#include "session.h"
#include "statementlog.h"
#include "statementrecorder.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using ConnectionTest = ServerTest;

TEST_F(ConnectionTest, OpensAndReadsBackTheExpandedString)
{
    Connection c;
    c.setConnectionString(server.connectionString(db));
    c.Open();
    EXPECT_EQ(c.State(), 1);
    EXPECT_EQ(c.ConnectionString(),
              QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};SERVER=127.0.0.1;UID=root;PWD=%1;PORT=%2;DATABASE=%3;")
                  .arg(server.password, server.port, db));
    EXPECT_EQ(scalarOf(c, QStringLiteral("select database()")), db);
    EXPECT_EQ(scalarOf(c, QStringLiteral("select @@character_set_client")), QStringLiteral("utf8mb4"));
    c.Close();
    EXPECT_EQ(c.State(), 0);
}

TEST_F(ConnectionTest, LocalhostWithAPortGoesToThatPort)
{
    Connection c;
    c.setConnectionString(QStringLiteral("driver={MySQL ODBC 3.51 Driver};server=localhost;uid=root;pwd=%1;port=%2")
                              .arg(server.password, server.port));
    c.Open();
    EXPECT_EQ(scalarOf(c, QStringLiteral("select @@port")), server.port);
    EXPECT_TRUE(c.ConnectionString().contains(QStringLiteral(";SERVER=localhost;")));
}

TEST_F(ConnectionTest, FailuresCarryTheServerMessage)
{
    Connection c;
    c.setConnectionString(server.connectionString().replace(QStringLiteral("pwd=") + server.password,
                                                             QStringLiteral("pwd=wrong")));
    try {
        c.Open();
        FAIL() << "a wrong password opened";
    } catch (const DbError &e) {
        EXPECT_EQ(e.number(), 1045u);
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("ERROR 1045 (28000): Access denied")))
            << e.description().toStdString();
    }
    EXPECT_EQ(c.State(), 0);

    // A port that nothing listens on: bound for a moment, then closed.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    const int closed = ntohs(addr.sin_port);
    ::close(fd);
    c.setConnectionString(QStringLiteral("driver={x};server=127.0.0.1;uid=root;port=%1").arg(closed));
    try {
        c.Open();
        FAIL() << "a closed port opened";
    } catch (const DbError &e) {
        EXPECT_EQ(e.number(), 2002u) << e.description().toStdString();
    }

    auto ok = server.connect(db);
    try {
        ok->Execute(QStringLiteral("select * from x"));
        FAIL();
    } catch (const DbError &e) {
        EXPECT_EQ(e.description(),
                  QStringLiteral("ERROR 1146 (42S02): Table '%1.x' doesn't exist").arg(db));
    }
    // The connection stays usable after a failing statement.
    EXPECT_EQ(scalarOf(*ok, QStringLiteral("select 1")), QStringLiteral("1"));
}

TEST_F(ConnectionTest, RowsNullsAndColumnsByNameInAnyCase)
{
    loadShop();
    auto c = server.connect(db);
    EXPECT_EQ(c->Execute(QStringLiteral("update items set price = price")), nullptr);
    auto rs = c->Execute(QStringLiteral("select id, name, note as Note from items order by id"));
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->FieldCount(), 3);
    EXPECT_EQ(rs->FieldName(2), QStringLiteral("Note"));
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ(rs->Value(QStringLiteral("NAME")), QStringLiteral("りんご"));
    EXPECT_EQ(rs->Value(QStringLiteral("note")), QStringLiteral("青森県産"));
    // The result is buffered: another statement can run while it is walked.
    EXPECT_EQ(scalarOf(*c, QStringLiteral("select count(*) from items")), QStringLiteral("5"));
    rs->MoveNext();
    EXPECT_TRUE(rs->IsNull(2));
    EXPECT_TRUE(rs->IsNull(QStringLiteral("NOTE")));
    EXPECT_FALSE(rs->Field(2).has_value());
    int n = 2;
    for (rs->MoveNext(); !rs->Eof(); rs->MoveNext())
        ++n;
    EXPECT_EQ(n, 5);
    rs->Close();
    EXPECT_EQ(rs->State(), 0);

    auto empty = c->Execute(QStringLiteral("select '' as e, null as n"));
    EXPECT_FALSE(empty->IsNull(0));
    EXPECT_TRUE(empty->IsNull(1));
    EXPECT_EQ(empty->Value(0), QString());

    // A procedure's call with a result, then an ordinary statement on the same connection.
    exec(QStringLiteral("create procedure p() begin select 1 as one; select 2; end"));
    auto called = c->Execute(QStringLiteral("call p()"));
    EXPECT_EQ(called->Value(0), QStringLiteral("1"));
    EXPECT_EQ(scalarOf(*c, QStringLiteral("select 3")), QStringLiteral("3"));
}

TEST_F(ConnectionTest, StreamingReadsAsItGoesAndStopsEarlyWithoutReadingTheRest)
{
    StatementLog log;
    StatementRecorder recorder(log);
    auto c = std::make_unique<Connection>(&log);
    c->setConnectionString(server.connectionString(db));
    c->Open();
    const QString big = QStringLiteral("select seq, repeat('あ', 100) from seq_1_to_5000000");
    auto rs = c->ExecuteStreaming(big);
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ(rs->Value(0), QStringLiteral("1"));
    for (int i = 0; i < 1000; ++i)
        rs->MoveNext();
    EXPECT_EQ(rs->Value(0), QStringLiteral("1001"));
    rs->Close();
    // The rest was not read: the statement was stopped on the server, which sent only a part of it.
    EXPECT_TRUE(recorder.statements().contains(QStringLiteral("KILL QUERY %1").arg(c->threadId())));
    const QString sent = rowsOf(*c, QStringLiteral("show session status like 'Rows_sent'")).value(0).value(1);
    EXPECT_LT(sent.toLongLong(), 2500000) << sent.toStdString();
    EXPECT_EQ(scalarOf(*c, QStringLiteral("select 'still usable'")), QStringLiteral("still usable"));
    EXPECT_EQ(scalarOf(*c, QStringLiteral("select 'and again'")), QStringLiteral("and again"));

    auto all = c->ExecuteStreaming(QStringLiteral("select seq from seq_1_to_1000"));
    int n = 0;
    for (; !all->Eof(); all->MoveNext())
        ++n;
    EXPECT_EQ(n, 1000);
}

TEST_F(ConnectionTest, EveryStatementIsReportedBeforeItIsSent)
{
    StatementRecorder recorder;
    ASSERT_TRUE(connectSession(db));
    Connection &c = Session::instance().db();
    c.Execute(QStringLiteral("select 1"));
    EXPECT_THROW(c.Execute(QStringLiteral("select * from nowhere")), DbError);
    EXPECT_EQ(recorder.statements(),
              (QStringList{QStringLiteral("select 1"), QStringLiteral("select * from nowhere")}));
    EXPECT_EQ(c.escape(QStringLiteral("it's \\")), QStringLiteral("it\\'s \\\\"));
}

TEST_F(ConnectionTest, SessionOpensOneConnectionAndReportsFailureAsFalse)
{
    ASSERT_TRUE(connectSession(db));
    const unsigned long first = Session::instance().db().threadId();
    ASSERT_TRUE(connectSession(db));
    const unsigned long second = Session::instance().db().threadId();
    EXPECT_NE(first, second);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from information_schema.processlist where id = %1").arg(first)),
              QStringLiteral("0")); // the old one was closed
    Session::instance().pass = QStringLiteral("wrong");
    EXPECT_FALSE(Session::instance().OpenConnection());
    ASSERT_NE(Session::instance().connection, nullptr); // the failed object stays until the next open or close
    Session::instance().CloseConnection();
    EXPECT_EQ(Session::instance().connection, nullptr);
    Session::instance().CloseConnection();
}

TEST_F(ConnectionTest, AccountsOfEachAuthenticationPluginLogIn)
{
    const bool ed25519 = !scalar(QStringLiteral(
        "select plugin_name from information_schema.plugins where plugin_name = 'ed25519' "
        "and plugin_status = 'ACTIVE'")).isEmpty();
    exec(QStringLiteral("drop user if exists t_native@'%', t_ed@'%'"));
    exec(QStringLiteral("create user t_native@'%' identified via mysql_native_password using password('n\"a''t')"));
    if (ed25519)
        exec(QStringLiteral("create user t_ed@'%' identified via ed25519 using password('e d')"));
    Connection c;
    c.setConnectionString(QStringLiteral("driver={x};server=127.0.0.1;uid=t_native;pwd=n\"a't;port=%1").arg(server.port));
    c.Open();
    EXPECT_EQ(scalarOf(c, QStringLiteral("select current_user()")), QStringLiteral("t_native@%"));
    if (ed25519) {
        c.setConnectionString(QStringLiteral("driver={x};server=127.0.0.1;uid=t_ed;pwd=e d;port=%1").arg(server.port));
        c.Open();
        EXPECT_EQ(scalarOf(c, QStringLiteral("select current_user()")), QStringLiteral("t_ed@%"));
    }
    exec(QStringLiteral("drop user if exists t_native@'%', t_ed@'%'"));
}
