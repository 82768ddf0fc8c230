#include "authplugins.h"
#include "authstub.h"
#include "connection.h"
#include "dberror.h"
#include "pipeline.h"
#include "servertest.h"
#include "session.h"
#include "statementlog.h"
#include "sqltext.h"
#include "statementrecorder.h"
#include "tcprelay.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTest>
#include <QTemporaryDir>
#include <QThread>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <openssl/err.h>
#include <openssl/sslerr.h>
#include <unistd.h>

using ConnectionTest = ServerTest;

namespace {

// In this program the connector's default Unix socket is the sandbox's: a connection that falls back to
// the default socket when it should not reaches the sandbox, and the tests see it. Set before the
// connector reads it, at its first use.
const bool defaultSocketIsTheSandbox = [] {
    QByteArray socket = qgetenv("TABLORA_SANDBOX_SOCKET");
    if (socket.isEmpty()) {
        const QByteArray dir = qgetenv("TABLORA_SANDBOX_DIR");
        socket = (dir.isEmpty() ? QByteArray(TABLORA_SOURCE_DIR "/.sandbox") : dir) + "/mysqld.sock";
    }
    return setenv("MYSQL_UNIX_PORT", socket.constData(), 1) == 0;
}();

// A port that nothing listens on: bound for a moment, then closed.
int closedPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

bool listensOn(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(quint16(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool open = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    ::close(fd);
    return open;
}

QString sandboxCa()
{
    const QByteArray ca = qgetenv("TABLORA_SANDBOX_CA");
    if (!ca.isEmpty())
        return QString::fromLocal8Bit(ca);
    return QFileInfo(SandboxServer::get().socket).absolutePath() + QStringLiteral("/tls/ca.pem");
}

QString sessionStatus(Connection &c, const char *name)
{
    return rowsOf(c, QStringLiteral("show session status like '%1'").arg(QLatin1String(name))).value(0).value(1);
}

}

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

    const int closed = closedPort();
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

    // A procedure that returns rows and then fails has failed, read whole or row by row.
    ok->Execute(QStringLiteral("CREATE PROCEDURE rows_then_fail() BEGIN SELECT 1; SELECT * FROM x; END"));
    for (const bool streaming : {false, true}) {
        try {
            const QString call = QStringLiteral("call rows_then_fail()");
            auto rs = streaming ? ok->ExecuteStreaming(call) : ok->Execute(call);
            while (rs && !rs->Eof())
                rs->MoveNext();
            FAIL() << "streaming " << streaming;
        } catch (const DbError &e) {
            EXPECT_EQ(e.number(), 1146u);
        }
        EXPECT_EQ(scalarOf(*ok, QStringLiteral("select 2")), QStringLiteral("2"));
    }
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

// KILL QUERY reaches only the statement it was sent for, on the server the link is connected to: an idle
// connection gets none; a running statement is found by a sibling that went to the link's own address
// (here the relay) and stopped.
TEST_F(ConnectionTest, AStopKillsOnlyTheStatementItWasSentFor)
{
    StatementLog log;
    StatementRecorder recorder(log);
    TcpRelay relay(QStringLiteral("127.0.0.1"), server.port.toInt());
    Connection c(&log);
    c.setConnectionString(QStringLiteral("driver={MySQL ODBC 3.51 Driver};server=localhost;uid=root;pwd=%1;port=%2")
                              .arg(server.password)
                              .arg(relay.port()));
    c.Open();
    EXPECT_FALSE(c.cancelRunningStatement());
    EXPECT_TRUE(recorder.statements().filter(QStringLiteral("KILL")).isEmpty());

    const int before = relay.accepted();
    const QString sleeping = QStringLiteral("select sleep(30)");
    QString answer;
    unsigned int error = 0;
    std::thread run([&] {
        c.setOwnerThread(std::this_thread::get_id());
        try {
            answer = scalarOf(c, sleeping);
        } catch (const DbError &e) {
            error = e.number();
        }
        c.setOwnerThread({});
    });
    const QString running = QStringLiteral("select count(*) from information_schema.processlist where id = %1 "
                                           "and info = '%2'").arg(c.threadId()).arg(sleeping);
    for (int i = 0; i < 500 && scalar(running) != QStringLiteral("1"); ++i)
        QThread::msleep(20);
    EXPECT_TRUE(c.cancelRunningStatement());
    run.join();
    // Interrupted: SLEEP gives 1, or the statement fails as interrupted.
    EXPECT_TRUE(answer == QStringLiteral("1") || error == 1317u) << answer.toStdString() << ' ' << error;
    EXPECT_EQ(relay.accepted(), before + 1);
    EXPECT_EQ(recorder.statements().filter(QStringLiteral("KILL QUERY %1").arg(c.threadId())).size(), 1);
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

// Statements sent ahead are answered in order; one that fails fails alone; each has its own outcome in
// the log; a statement sent meanwhile gets its own answer; answers not taken are read at the end.
TEST_F(ConnectionTest, PipelinedStatementsAreAnsweredInOrderAndFailAlone)
{
    StatementLog log;
    QHash<quint64, QString> texts;
    QStringList outcomes;
    log.addEntryObserver([&](quint64 id, const QString &sql) { texts[id] = sql; });
    log.addOutcomeObserver([&](quint64 id, const StatementOutcome &o) {
        outcomes << texts[id] + QStringLiteral(": %1").arg(o.error);
    });
    Connection c(&log);
    c.setConnectionString(server.connectionString(db));
    c.Open();
    {
        StatementPipeline pipeline(c);
        for (const char *sql : {"select 1", "select * from nowhere", "do 0", "select 4", "select 5"})
            pipeline.add(QString::fromLatin1(sql));
        EXPECT_EQ(pipeline.next()->Value(0), QStringLiteral("1"));
        try {
            pipeline.next();
            ADD_FAILURE() << "no error";
        } catch (const DbError &error) {
            EXPECT_EQ(error.number(), 1146u);
        }
        EXPECT_EQ(pipeline.next(), nullptr);
        EXPECT_EQ(scalarOf(c, QStringLiteral("select 'between'")), QStringLiteral("between"));
        EXPECT_EQ(pipeline.next()->Value(0), QStringLiteral("4"));
    }
    EXPECT_EQ(scalarOf(c, QStringLiteral("select 7")), QStringLiteral("7"));
    EXPECT_EQ(outcomes, (QStringList{"select 1: 0", "select * from nowhere: 1146", "do 0: 0", "select 4: 0",
                                     "select 5: 0", "select 'between': 0", "select 7: 0"}));
}

TEST_F(ConnectionTest, SessionOpensOneConnectionAndReportsFailureAsFalse)
{
    ASSERT_TRUE(connectSession(db));
    const unsigned long first = Session::instance().db().threadId();
    ASSERT_TRUE(connectSession(db));
    const unsigned long second = Session::instance().db().threadId();
    EXPECT_NE(first, second);
    // The old one was closed: the server ends its thread when it reads the goodbye, soon after.
    const QString gone = QStringLiteral("select count(*) from information_schema.processlist where id = %1").arg(first);
    EXPECT_TRUE(QTest::qWaitFor([&] { return scalar(gone) == QStringLiteral("0"); }, 30000))
        << "the first connection's thread " << first << " is still on the server";
    Session::instance().pass = QStringLiteral("wrong");
    EXPECT_FALSE(Session::instance().OpenConnection());
    ASSERT_NE(Session::instance().connection, nullptr); // the failed object stays until the next open or close
    Session::instance().CloseConnection();
    EXPECT_EQ(Session::instance().connection, nullptr);
    Session::instance().CloseConnection();
}

TEST_F(ConnectionTest, AccountsOfEachAuthenticationPluginLogIn)
{
    // The sandbox makes the plugin active on every start (and refuses to start without it).
    ASSERT_EQ(scalar(QStringLiteral("select plugin_status from information_schema.plugins "
                                    "where plugin_name = 'ed25519'")),
              QStringLiteral("ACTIVE"))
        << "the sandbox server has no active ed25519 plugin: scripts/sandbox start makes it active";
    exec(QStringLiteral("drop user if exists t_native@'%', t_ed@'%'"));
    exec(QStringLiteral("create user t_native@'%' identified via mysql_native_password using password('n\"a''t')"));
    exec(QStringLiteral("create user t_ed@'%' identified via ed25519 using password('e d')"));
    Connection c;
    c.setConnectionString(QStringLiteral("driver={x};server=127.0.0.1;uid=t_native;pwd=n\"a't;port=%1").arg(server.port));
    c.Open();
    EXPECT_EQ(scalarOf(c, QStringLiteral("select current_user()")), QStringLiteral("t_native@%"));
    c.setConnectionString(QStringLiteral("driver={x};server=127.0.0.1;uid=t_ed;pwd=e d;port=%1").arg(server.port));
    c.Open();
    EXPECT_EQ(scalarOf(c, QStringLiteral("select current_user()")), QStringLiteral("t_ed@%"));
    exec(QStringLiteral("drop user if exists t_native@'%', t_ed@'%'"));
}

TEST_F(ConnectionTest, LocalhostFallsBackToTheDefaultSocketOnlyForNoPortOrTheDefaultPort)
{
    ASSERT_TRUE(defaultSocketIsTheSandbox);
    Connection c;
    const auto open = [&](const QString &port) {
        c.setConnectionString(QStringLiteral("driver={x};server=localhost;uid=root;pwd=%1;port=%2")
                                  .arg(server.password, port));
        c.Open();
    };
    open(QString());
    EXPECT_EQ(scalarOf(c, QStringLiteral("select @@socket")), server.socket);
    // A mistyped port is unreachable, although a server owns the default socket.
    for (const QString port : {QString::number(closedPort()), QStringLiteral("33o6")}) {
        try {
            open(port);
            FAIL() << "localhost with port " << port.toStdString() << " reached " << scalarOf(c, "select @@port").toStdString();
        } catch (const DbError &e) {
            EXPECT_TRUE(e.number() == 2002u || e.number() == 2003u) << e.description().toStdString();
            EXPECT_EQ(c.State(), 0);
        }
    }
    // The default port is tried over TCP first: a server of the machine's own there answers instead, so
    // this part needs 3306 free, and says so where ctest shows it when it is not.
    if (listensOn(3306))
        GTEST_SKIP() << "something listens on 127.0.0.1:3306: localhost with port 3306 was not checked";
    open(QStringLiteral("3306"));
    EXPECT_EQ(scalarOf(c, QStringLiteral("select @@socket")), server.socket);
}

TEST_F(ConnectionTest, LoadDataLocalIsRefusedAndNoByteOfTheFileLeaves)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("secret.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 20000; ++i)
        file.write("a line of a file that must stay on this machine\n");
    file.close();
    exec(QStringLiteral("create table t (line text)"));
    ASSERT_TRUE(connectSession(db));
    Connection &c = Session::instance().db();
    const qint64 before = sessionStatus(c, "Bytes_received").toLongLong();
    try {
        c.Execute(QStringLiteral("LOAD DATA LOCAL INFILE '%1' INTO TABLE t").arg(file.fileName()));
        FAIL() << "LOAD DATA LOCAL ran";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("ERROR 1148 ")) || e.number() == 4166u)
            << e.description().toStdString();
    }
    const qint64 received = sessionStatus(c, "Bytes_received").toLongLong() - before;
    EXPECT_LT(received, 1000) << "the server received " << received << " bytes";
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from t")), QStringLiteral("0"));
}

TEST_F(ConnectionTest, NamesReadAsNumbersReachTheServerAsNames)
{
    const QStringList names{"1e5", "0x1f", "0b11", "2E3", "12abc", "123", "1e5x", "1e5_", "0x1fg"};
    for (const QString &name : names)
        exec(QStringLiteral("create table %1 (a int)").arg(SqlText::qualified(db, name)));
    QStringList listed;
    for (const QStringList &row : rows(QStringLiteral("show tables from `%1`").arg(db)))
        listed << row.value(0);
    listed.sort();
    QStringList expected = names;
    expected.sort();
    EXPECT_EQ(listed, expected);
    // Standing alone, not after "db.", the server reads 1e5x as the number 1e5 and the name x.
    exec(QStringLiteral("use `%1`").arg(db));
    for (const QString &name : names) {
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from %1").arg(SqlText::quoteName(name))),
                  QStringLiteral("0"));
        exec(QStringLiteral("drop table %1").arg(SqlText::quoteName(name)));
    }
    EXPECT_TRUE(rows(QStringLiteral("show tables from `%1`").arg(db)).isEmpty());
}

// --- TLS -------------------------------------------------------------------------------------------------

namespace {

struct TlsTarget
{
    QString host = QStringLiteral("127.0.0.1");
    int port = 0;
    QString ca;
};

void openWithTls(Connection &c, TlsMode mode, const TlsTarget &target)
{
    const SandboxServer &server = SandboxServer::get();
    c.setConnectionString(QStringLiteral("driver={x};server=%1;uid=root;pwd=%2;port=%3")
                              .arg(target.host, server.password,
                                   target.port ? QString::number(target.port) : server.port));
    c.setTls(mode, target.ca);
    c.Open();
}

unsigned int refusal(TlsMode mode, const TlsTarget &target)
{
    Connection c;
    try {
        openWithTls(c, mode, target);
    } catch (const DbError &e) {
        EXPECT_EQ(c.State(), 0);
        return e.number();
    }
    return 0;
}

}

TEST_F(ConnectionTest, EachTlsModeGivesTheLinkTheServerReports)
{
    const TlsTarget sandbox{QStringLiteral("127.0.0.1"), 0, sandboxCa()};
    for (const TlsMode mode : {TlsMode::None, TlsMode::Preferred, TlsMode::Required, TlsMode::Verify}) {
        Connection c;
        openWithTls(c, mode, sandbox);
        const QString cipher = sessionStatus(c, "Ssl_cipher");
        if (mode == TlsMode::None) {
            EXPECT_TRUE(cipher.isEmpty()) << cipher.toStdString();
            EXPECT_TRUE(c.tlsDescription().isEmpty());
        } else {
            // The server's own status proves the link encrypted, with the cipher the program shows.
            EXPECT_FALSE(cipher.isEmpty()) << int(mode);
            EXPECT_EQ(c.tlsDescription(), sessionStatus(c, "Ssl_version") + QLatin1Char(' ') + cipher);
        }
        // An answer slower than the link's 30 ms wait slices arrives whole, encrypted or not.
        EXPECT_EQ(scalarOf(c, QStringLiteral("select concat(sleep(0.1), 'x')")), QStringLiteral("0x"))
            << int(mode);
    }
    // "localhost" with a port is verified too (the certificate names localhost and 127.0.0.1).
    Connection local;
    openWithTls(local, TlsMode::Verify, {QStringLiteral("localhost"), 0, sandboxCa()});
    EXPECT_FALSE(sessionStatus(local, "Ssl_cipher").isEmpty());
    // And a slow answer over the Unix socket.
    Connection viaSocket;
    viaSocket.setConnectionString(QStringLiteral("driver={x};server=localhost;uid=root;pwd=%1;socket=%2")
                                      .arg(SandboxServer::get().password, qEnvironmentVariable("MYSQL_UNIX_PORT")));
    viaSocket.setTls(TlsMode::None, QString());
    viaSocket.Open();
    EXPECT_EQ(scalarOf(viaSocket, QStringLiteral("select concat(sleep(0.1), 'x')")), QStringLiteral("0x"));
}

// A killed link's close leaves an error in the thread's TLS error queue; a later link that waits for a slow
// answer, or for the server during its handshake, must not take that error for its own.
TEST_F(ConnectionTest, AnErrorLeftByAnotherLinkDoesNotFailTheNextOne)
{
    const TlsTarget sandbox{QStringLiteral("127.0.0.1"), 0, sandboxCa()};
    Connection c;
    openWithTls(c, TlsMode::Required, sandbox);
    ERR_raise(ERR_LIB_SSL, SSL_R_SHUTDOWN_WHILE_IN_INIT);
    EXPECT_EQ(scalarOf(c, QStringLiteral("select concat(sleep(0.1), 'x')")), QStringLiteral("0x"));
    ERR_raise(ERR_LIB_SSL, SSL_R_SHUTDOWN_WHILE_IN_INIT);
    Connection d;
    EXPECT_NO_THROW(openWithTls(d, TlsMode::Required, sandbox));
}

TEST_F(ConnectionTest, VerifyRefusesAnotherCaAndAForeignName)
{
    QTemporaryDir dir;
    const QString otherCa = dir.filePath(QStringLiteral("other-ca.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Another CA",
                   "-keyout", dir.filePath(QStringLiteral("other-key.pem")), "-out", otherCa});
    ASSERT_TRUE(openssl.waitForFinished(60000) && openssl.exitCode() == 0) << openssl.readAllStandardError().toStdString();

    EXPECT_EQ(refusal(TlsMode::Verify, {QStringLiteral("127.0.0.1"), 0, otherCa}), DbError::TlsRefused);
    // Without a CA file the system's store is used, which does not know the sandbox's CA.
    EXPECT_EQ(refusal(TlsMode::Verify, {QStringLiteral("127.0.0.1"), 0, QString()}), DbError::TlsRefused);
    EXPECT_EQ(refusal(TlsMode::Required, {QStringLiteral("127.0.0.1"), 0, otherCa}), 0u);

    // The same server at an address its certificate does not name.
    TcpRelay relay(QStringLiteral("127.0.0.2"), server.port.toInt());
    const TlsTarget elsewhere{QStringLiteral("127.0.0.2"), relay.port(), sandboxCa()};
    EXPECT_EQ(refusal(TlsMode::Verify, elsewhere), DbError::TlsRefused);
    EXPECT_EQ(refusal(TlsMode::Required, elsewhere), 0u);
}

TEST_F(ConnectionTest, RequiredAndVerifyRefuseALinkWithoutTls)
{
    // Someone between client and server hides the server's TLS: 優先 goes on in plain text...
    TcpRelay relay(QStringLiteral("127.0.0.1"), server.port.toInt(), {.hideTls = true});
    const TlsTarget plain{QStringLiteral("127.0.0.1"), relay.port(), sandboxCa()};
    {
        Connection c;
        openWithTls(c, TlsMode::Preferred, plain);
        EXPECT_TRUE(sessionStatus(c, "Ssl_cipher").isEmpty());
        EXPECT_TRUE(c.tlsDescription().isEmpty());
    }
    // ...必須 and 検証 do not; 検証 refuses before the user's name is sent.
    EXPECT_EQ(refusal(TlsMode::Required, plain), DbError::TlsRefused);
    const qsizetype sent = relay.clientBytes().size();
    EXPECT_EQ(refusal(TlsMode::Verify, plain), DbError::TlsRefused);
    EXPECT_FALSE(relay.clientBytes().mid(sent).contains("root"));
}

TEST_F(ConnectionTest, ClearTextPasswordIsNeverSentOverAPlainLink)
{
    TcpRelay relay(QStringLiteral("127.0.0.1"), server.port.toInt(), {.hideTls = true, .askClearPassword = true});
    const TlsTarget plain{QStringLiteral("127.0.0.1"), relay.port(), QString()};
    for (const TlsMode mode : {TlsMode::None, TlsMode::Preferred, TlsMode::Required})
        EXPECT_NE(refusal(mode, plain), 0u) << int(mode);
    EXPECT_FALSE(relay.clientBytes().contains(server.password.toUtf8()));
}

// --- MySQL 8's logins ------------------------------------------------------------------------------------

namespace {

const QString StubUserPassword = QStringLiteral("Pw-ZX81-distinctive");

Connection *openAtStub(Connection &c, const AuthStub &stub, TlsMode mode, const QString &extra = QString())
{
    c.setConnectionString(QStringLiteral("driver={x};server=127.0.0.1;uid=tester;pwd=%1;port=%2%3")
                              .arg(StubUserPassword)
                              .arg(stub.port())
                              .arg(extra));
    c.setTls(mode, sandboxCa());
    c.Open();
    return &c;
}

}

// Someone hides the server's TLS and asks for the password itself: no mode hands it over, in clear or
// encrypted to a key the listener sent.
TEST_F(ConnectionTest, NoPasswordReachesAListenerThatHidesTls)
{
    for (const AuthStub::Method method : {AuthStub::Method::CachingSha2, AuthStub::Method::Sha256}) {
        AuthStub stub(method, "the stub's own");
        for (const TlsMode mode : {TlsMode::None, TlsMode::Preferred, TlsMode::Required, TlsMode::Verify}) {
            Connection c;
            try {
                openAtStub(c, stub, mode);
                ADD_FAILURE() << "logged in, mode " << int(mode);
            } catch (const DbError &e) {
                EXPECT_EQ(e.number(), DbError::TlsRefused) << e.description().toStdString();
                // 検証 refuses the link itself before anything is sent; the others get as far as the login.
                if (mode != TlsMode::Verify)
                    EXPECT_EQ(e.message(), AuthPlugins::refusalText()) << int(mode);
            }
        }
        EXPECT_EQ(stub.keyRequests(), 0) << int(method);
        EXPECT_EQ(stub.passwordsLearnt(), 0) << int(method);
        EXPECT_FALSE(stub.received().contains(StubUserPassword.toUtf8())) << int(method);
    }
}

TEST_F(ConnectionTest, MySql8AccountsLogInWithoutAPasswordOnAPlainLink)
{
    // The stub's cache knows the account: the proof alone logs in, with or without TLS.
    AuthStub cached(AuthStub::Method::CachingSha2, StubUserPassword.toUtf8());
    for (const TlsMode mode : {TlsMode::None, TlsMode::Preferred}) {
        Connection c;
        EXPECT_EQ(openAtStub(c, cached, mode)->State(), 1);
    }
    EXPECT_EQ(cached.logins(), 2);
    EXPECT_EQ(cached.passwordsLearnt(), 0);

    // A public-key file the user named: the password goes encrypted to that key, never in clear.
    AuthStub sha256(AuthStub::Method::Sha256, StubUserPassword.toUtf8());
    QTemporaryDir dir;
    QFile key(dir.filePath(QStringLiteral("server-public.pem")));
    ASSERT_TRUE(key.open(QIODevice::WriteOnly));
    key.write(sha256.publicKey());
    key.close();
    {
        Connection c; // the stub serves one link at a time
        const QString keyFile = QStringLiteral(";serverkey=") + key.fileName();
        EXPECT_EQ(openAtStub(c, sha256, TlsMode::None, keyFile)->State(), 1);
    }
    EXPECT_EQ(sha256.passwordsLearnt(), 1);
    EXPECT_EQ(sha256.keyRequests(), 0);
    EXPECT_FALSE(sha256.received().contains(StubUserPassword.toUtf8()));
    // A file that holds no key refuses the login before the password goes.
    const QString notAKey = sandboxCa();
    try {
        Connection d;
        openAtStub(d, sha256, TlsMode::None, QStringLiteral(";rsakey=") + notAKey);
        ADD_FAILURE() << "logged in with a certificate as key";
    } catch (const DbError &e) {
        EXPECT_EQ(e.message(), AuthPlugins::keyFileText(notAKey));
    }
    EXPECT_EQ(sha256.passwordsLearnt(), 1);
}

// Over a real TLS link the server that asks for the password gets it, in every mode that asks for TLS.
TEST_F(ConnectionTest, MySql8AccountsLogInOverTls)
{
    const QString tls = QFileInfo(sandboxCa()).absolutePath();
    const AuthStub::Tls certificate{tls + QStringLiteral("/server-cert.pem"),
                                    tls + QStringLiteral("/server-key.pem")};
    for (const AuthStub::Method method : {AuthStub::Method::CachingSha2, AuthStub::Method::Sha256}) {
        AuthStub stub(method, StubUserPassword.toUtf8(), certificate);
        stub.forgetCache();
        for (const TlsMode mode : {TlsMode::Preferred, TlsMode::Required, TlsMode::Verify}) {
            Connection c;
            EXPECT_NO_THROW(openAtStub(c, stub, mode)) << int(method) << " " << int(mode);
            EXPECT_FALSE(c.tlsDescription().isEmpty());
        }
        EXPECT_EQ(stub.logins(), 3) << int(method);
        EXPECT_EQ(stub.passwordsLearnt(), 3) << int(method);
        EXPECT_EQ(stub.keyRequests(), 0) << int(method);
    }
}
