#include "connection.h"

#include "authplugins.h"
#include "connectionstring.h"
#include "dberror.h"
#include "events.h"
#include "pipeline.h"
#include "sqltext.h"
#include "statementlog.h"
#include "stopper.h"

#include <QElapsedTimer>

#include <mysql.h>
#include <openssl/err.h>
#include <errmsg.h>
#include <odbcinst.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

namespace {

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        mysql_library_init(0, nullptr, nullptr);
        AuthPlugins::registerPlugins(); // before any login could load the connector's own
    });
}

QString lookupDsnKey(const QString &dsn, std::initializer_list<const char *> keys)
{
    const QByteArray section = dsn.toUtf8();
    for (const char *key : keys) {
        char buffer[1024] = {};
        const int n = SQLGetPrivateProfileString(section.constData(), key, "", buffer, sizeof buffer,
                                                 "odbc.ini");
        if (n > 0)
            return QString::fromUtf8(buffer, n).trimmed();
    }
    return {};
}

// The settings of a MySQL data source in odbc.ini, TLS included (the usual keys of MySQL data sources).
void readDataSource(ConnectionParams &p)
{
    const QString driver = lookupDsnKey(p.dsn, {"Driver", "DRIVER"});
    if (p.dsn.isEmpty() || driver.isEmpty())
        throw DbError(0, QStringLiteral("IM002"),
                      QStringLiteral("[unixODBC][Driver Manager]Data source name not found "
                                     "and no default driver specified"));
    p.driver = driver;
    p.server = lookupDsnKey(p.dsn, {"SERVER", "Server", "server", "HOST"});
    p.user = lookupDsnKey(p.dsn, {"UID", "USER", "User", "uid", "user"});
    p.password = lookupDsnKey(p.dsn, {"PWD", "PASSWORD", "Password", "pwd", "password"});
    p.port = lookupDsnKey(p.dsn, {"PORT", "Port", "port"});
    p.database = lookupDsnKey(p.dsn, {"DATABASE", "Database", "database", "DB"});
    p.socket = lookupDsnKey(p.dsn, {"SOCKET", "Socket", "socket"});
    bool given = false;
    p.tls = Tls::fromOdbc(lookupDsnKey(p.dsn, {"SSLMODE", "SslMode", "sslmode", "SSL_MODE"}),
                          lookupDsnKey(p.dsn, {"SSLVERIFY", "SslVerify", "sslverify"}),
                          lookupDsnKey(p.dsn, {"FORCETLS", "ForceTls", "forcetls"}), &given);
    p.tlsCa = lookupDsnKey(p.dsn, {"SSLCA", "SslCa", "sslca", "SSL_CA"});
    p.tlsCert = lookupDsnKey(p.dsn, {"SSLCERT", "SslCert", "sslcert", "SSL_CERT"});
    p.tlsKey = lookupDsnKey(p.dsn, {"SSLKEY", "SslKey", "sslkey", "SSL_KEY"});
    for (const QString &key : Tls::dataSourceKeys()) {
        const QByteArray upper = key.toLatin1(), lower = key.toLower().toLatin1();
        const QString value = lookupDsnKey(p.dsn, {upper.constData(), lower.constData()});
        if (!value.isEmpty())
            p.tlsSettings.append({key, value});
    }
    p.serverKey = lookupDsnKey(p.dsn, {"SERVERKEY", "ServerKey", "serverkey", "RSAKEY", "rsakey"});
}

// A link that dies silently (server gone, packets dropped) is found by TCP keep-alive probes while the
// program waits for an answer, however long a legitimate statement takes: the wait ends with "Lost
// connection" about a minute after the peer stopped answering. Data sent and never acknowledged ends
// after the same time. A Unix socket cannot die that way and is left alone.
void detectDeadLink(MYSQL *m)
{
    const int fd = int(mysql_get_socket(m));
    if (fd < 0)
        return;
    int on = 1, idle = 30, interval = 5, count = 4;
    unsigned int userTimeout = 60000;
    if (setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0)
        return; // not a TCP socket
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
}

// The sockets whose answers the main thread waits for while window events run (see waitForLink); more
// than one when such an event waits for a slow answer on another link.
thread_local std::vector<int> waitingSockets;

// How the library waits when an answer is slow: in slices of 30 ms, and on the main thread inside an
// operation the window's events run between them (painting, timers; never user input), so a long ALTER
// or CHECK leaves the window painting. A quick answer never comes here: the socket's receive time-out
// (sliceTimeout) hands the wait over only after a slice. timeout: the library's limit in ms, 0 or less
// for none. Returns as poll does.
int waitForLink(my_socket socket, my_bool isRead, int timeout)
{
    pollfd p{int(socket), short(isRead ? POLLIN : POLLOUT), 0};
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const int slice = timeout > 0 ? int(std::clamp<qint64>(timeout - waited.elapsed(), 0, 30)) : 30;
        const int ready = ::poll(&p, 1, slice);
        if (ready > 0 || (ready < 0 && errno != EINTR))
            return ready;
        if (timeout > 0 && waited.elapsed() >= timeout) {
            errno = ETIMEDOUT;
            return 0;
        }
        if (ready == 0 && Events::PumpWhileWaiting::here()) {
            waitingSockets.push_back(int(socket));
            Events::PumpWhileWaiting::pumpNow();
            waitingSockets.pop_back();
            ERR_clear_error(); // what the events did on other links must not fail this one's read
        }
    }
}

// A blocking read of the link gives the wait to waitForLink after this long without an answer.
void sliceTimeout(MYSQL *m)
{
    const int fd = int(mysql_get_socket(m));
    const timeval slice{0, 30000};
    if (fd >= 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice);
}

// One way to the server with the program's options (TLS included): the same for the session's connection
// and for the KILL QUERY sibling. readTimeout: 0 for none (a statement may take as long as it needs), else
// the seconds an answer may take. nullptr on failure, with the error.
MYSQL *tryEndpoint(const ConnectionParams &p, const ConnectionEndpoint &a, const QByteArray &database,
                   unsigned int connectTimeout, unsigned int readTimeout, QString *error,
                   unsigned int *errorNumber, QString *sqlState)
{
    initLibrary();
    // A data source's TLS key that the mode cannot use is refused, not passed over.
    if (const QString unusable = Tls::unusableSetting(p); !unusable.isEmpty()) {
        *error = unusable;
        *errorNumber = DbError::TlsRefused;
        *sqlState = QStringLiteral("08S01");
        return nullptr;
    }
    const QByteArray user = p.user.toUtf8();
    const QByteArray password = p.password.toUtf8();
    MYSQL *m = mysql_init(nullptr);
    mysql_optionsv(m, MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
    if (readTimeout > 0) {
        mysql_optionsv(m, MYSQL_OPT_READ_TIMEOUT, &readTimeout);
        mysql_optionsv(m, MYSQL_OPT_WRITE_TIMEOUT, &readTimeout);
    }
    mysql_optionsv(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    int protocol = a.protocol;
    mysql_optionsv(m, MYSQL_OPT_PROTOCOL, &protocol);
    if (readTimeout == 0)
        mysql_optionsv(m, MARIADB_OPT_IO_WAIT, reinterpret_cast<void *>(&waitForLink));
    Tls::applyOptions(m, p);
    ERR_clear_error(); // as before a statement (see Connection::run): the handshake waits too
    const AuthPlugins::ServerKeyScope serverKey(p.serverKey);
    if (mysql_real_connect(m, a.host.constData(), user.constData(), password.constData(),
                           database.isEmpty() ? nullptr : database.constData(), a.port,
                           a.socket.isEmpty() ? nullptr : a.socket.constData(), CLIENT_MULTI_RESULTS)) {
        const QString refused = Tls::checkLink(m, p);
        if (refused.isEmpty()) {
            detectDeadLink(m);
            if (readTimeout == 0)
                sliceTimeout(m);
            *errorNumber = 0;
            return m;
        }
        mysql_close(m);
        *error = refused;
        *errorNumber = DbError::TlsRefused;
        *sqlState = QStringLiteral("08S01");
        return nullptr;
    }
    const unsigned int number = mysql_errno(m);
    const QString message = QString::fromUtf8(mysql_error(m));
    const bool tlsFailed = number == CR_SSL_CONNECTION_ERROR && !AuthPlugins::isRefusal(message);
    *error = tlsFailed && p.tls >= TlsMode::Required
                 ? QStringLiteral("サーバーとの通信を暗号化(TLS)できないか、サーバーの証明書を"
                                  "検証できないため、接続を中止しました。(%1)")
                       .arg(message)
                 : message;
    *errorNumber = number;
    *sqlState = QString::fromLatin1(mysql_sqlstate(m));
    mysql_close(m);
    return nullptr;
}

// Opens a MYSQL handle for the given parameters. "localhost" with a port goes over TCP to that port; the
// default Unix socket is tried only when the port is empty or the default 3306, so a mistyped port is
// reported as unreachable and never reaches whatever server owns the default socket.
// used: the way that reached the server.
MYSQL *connectHandle(const ConnectionParams &p, QString *error, unsigned int *errorNumber, QString *sqlState,
                     ConnectionEndpoint *used)
{
    const QByteArray database = p.database.toUtf8();
    const QByteArray socket = p.socket.toUtf8();
    const QString server = p.server.isEmpty() ? QStringLiteral("localhost") : p.server;
    const QString portText = p.port.trimmed();
    bool portOk = false;
    const unsigned int port = portText.toUInt(&portOk);
    if (!portText.isEmpty() && (!portOk || port == 0 || port > 65535)) {
        *error = QStringLiteral("Can't connect to server on '%1' (port '%2' is not a port number)")
                     .arg(server, portText);
        *errorNumber = CR_CONN_HOST_ERROR;
        *sqlState = QStringLiteral("HY000");
        return nullptr;
    }
    const bool local = server.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;

    std::vector<ConnectionEndpoint> attempts;
    if (!socket.isEmpty())
        attempts.push_back({"localhost", 0, MYSQL_PROTOCOL_SOCKET, socket});
    else if (local && portOk) {
        attempts.push_back({"127.0.0.1", port, MYSQL_PROTOCOL_TCP, {}});
        if (port == MYSQL_PORT)
            attempts.push_back({"localhost", 0, MYSQL_PROTOCOL_SOCKET, {}});
    } else if (local)
        attempts.push_back({"localhost", 0, MYSQL_PROTOCOL_SOCKET, {}});
    else
        attempts.push_back({server.toUtf8(), portOk ? port : 0, MYSQL_PROTOCOL_TCP, {}});

    for (size_t i = 0; i < attempts.size(); ++i) {
        QString text, state;
        unsigned int number = 0;
        MYSQL *m = tryEndpoint(p, attempts[i], database, 10, 0, &text, &number, &state);
        if (m) {
            if (used)
                *used = attempts[i];
            return m;
        }
        // Only "nothing listens there" moves on to the next way; a refused login is final.
        const bool unreachable = number == CR_CONNECTION_ERROR || number == CR_CONN_HOST_ERROR;
        if (i == 0 || !unreachable) { // the first way's error names the port the user asked for
            *error = text;
            *errorNumber = number;
            *sqlState = state;
        }
        if (!unreachable)
            return nullptr;
    }
    return nullptr;
}

}

Connection::Connection(StatementLog *log) : m_log(log) {}

Connection::~Connection()
{
    Close();
}

void Connection::setOwnerThread(std::thread::id id)
{
    std::lock_guard lock(m_ownerMutex);
    if (id != std::thread::id())
        ++m_ownerGeneration;
    m_ownerThread.store(id);
    m_ownerReleased.notify_all();
}

bool Connection::isOwnedByAnotherThread() const
{
    const std::thread::id owner = m_ownerThread.load();
    return owner != std::thread::id() && owner != std::this_thread::get_id();
}

QString Connection::ConnectionString() const
{
    return m_mysql ? m_expanded : m_connectionString;
}

void Connection::setConnectionString(const QString &text)
{
    m_connectionString = text;
}

ConnectionParams Connection::parse(const QString &connectionString)
{
    ConnectionParams p;
    const QString text = connectionString.trimmed();
    if (!text.contains(QLatin1Char('='))) {
        // A bare data-source name: its settings come from odbc.ini.
        p.dsn = text;
        readDataSource(p);
        return p;
    }
    static const QList<QStringList> aliases = {
        {QStringLiteral("server"), QStringLiteral("host")},
        {QStringLiteral("uid"), QStringLiteral("user")},
        {QStringLiteral("pwd"), QStringLiteral("password")},
        {QStringLiteral("database"), QStringLiteral("db")},
        {QStringLiteral("sslmode"), QStringLiteral("ssl-mode")},
        {QStringLiteral("sslca"), QStringLiteral("ssl-ca")},
        {QStringLiteral("sslcert"), QStringLiteral("ssl-cert")},
        {QStringLiteral("sslkey"), QStringLiteral("ssl-key")},
        {QStringLiteral("serverkey"), QStringLiteral("rsakey")},
    };
    QString sslMode, sslVerify, forceTls;
    for (const auto &[key, value] : ConnectionText::parse(text, aliases)) {
        if (key == QLatin1String("dsn")) {
            p.dsn = value;
            readDataSource(p);
        } else if (key == QLatin1String("driver"))
            p.driver = value;
        else if (key == QLatin1String("server") || key == QLatin1String("host"))
            p.server = value;
        else if (key == QLatin1String("uid") || key == QLatin1String("user"))
            p.user = value;
        else if (key == QLatin1String("pwd") || key == QLatin1String("password"))
            p.password = value;
        else if (key == QLatin1String("port"))
            p.port = value;
        else if (key == QLatin1String("database") || key == QLatin1String("db"))
            p.database = value;
        else if (key == QLatin1String("socket"))
            p.socket = value;
        else if (key == QLatin1String("sslmode") || key == QLatin1String("ssl-mode"))
            sslMode = value;
        else if (key == QLatin1String("sslverify"))
            sslVerify = value;
        else if (key == QLatin1String("forcetls"))
            forceTls = value;
        else if (key == QLatin1String("sslca") || key == QLatin1String("ssl-ca"))
            p.tlsCa = value;
        else if (key == QLatin1String("sslcert") || key == QLatin1String("ssl-cert"))
            p.tlsCert = value;
        else if (key == QLatin1String("sslkey") || key == QLatin1String("ssl-key"))
            p.tlsKey = value;
        else if (key == QLatin1String("serverkey") || key == QLatin1String("rsakey"))
            p.serverKey = value;
    }
    bool given = false;
    const TlsMode mode = Tls::fromOdbc(sslMode, sslVerify, forceTls, &given);
    if (given)
        p.tls = mode;
    return p;
}

void Connection::setTls(TlsMode mode, const QString &caFile)
{
    m_tls = mode;
    m_tlsCa = caFile;
}

QString Connection::tlsDescription() const
{
    return Tls::linkDescription(m_mysql);
}

void Connection::Open()
{
    Close();
    m_params = parse(m_connectionString);
    // The data source's own TLS settings count only where they ask for more than the panel.
    const bool fromSource = m_params.tls != TlsMode::Preferred;
    m_params.tls = fromSource ? std::max(m_params.tls, m_tls) : m_tls;
    if (!m_tlsCa.isEmpty())
        m_params.tlsCa = m_tlsCa;
    QString error, sqlState;
    unsigned int number = 0;
    m_linkCut.store(false);
    m_mysql = connectHandle(m_params, &error, &number, &sqlState, &m_endpoint);
    if (!m_mysql)
        throw DbError(number, sqlState, error);
    m_peer = Stopper::peerOf(m_mysql, m_endpoint);
    // Values holding ";", "{", "}" or "=" are written in braces, so the string reads back as it was meant.
    using ConnectionText::value;
    QString expanded;
    if (!m_params.dsn.isEmpty())
        expanded += QStringLiteral("DSN=") + value(m_params.dsn) + QLatin1Char(';');
    else
        expanded += QStringLiteral("DRIVER=") + ConnectionText::braced(m_params.driver) + QLatin1Char(';');
    expanded += QStringLiteral("SERVER=") + value(m_params.server) + QStringLiteral(";UID=")
                + value(m_params.user) + QStringLiteral(";PWD=") + value(m_params.password)
                + QStringLiteral(";PORT=") + value(m_params.port) + QStringLiteral(";DATABASE=")
                + value(m_params.database) + QLatin1Char(';');
    if (!m_params.socket.isEmpty())
        expanded += QStringLiteral("SOCKET=") + value(m_params.socket) + QLatin1Char(';');
    m_expanded = expanded;
}

int Connection::State() const
{
    return m_mysql ? 1 : 0;
}

void Connection::Close()
{
    joinStopper();
    if (m_mysql) {
        mysql_close(m_mysql);
        m_mysql = nullptr;
    }
}

void Connection::fail() const
{
    if (!m_mysql)
        throw DbError(CR_SERVER_GONE_ERROR, QStringLiteral("HY000"),
                      QStringLiteral("The connection is not open"));
    throw DbError(mysql_errno(m_mysql), QString::fromLatin1(mysql_sqlstate(m_mysql)),
                  QString::fromUtf8(mysql_error(m_mysql)));
}

std::unique_ptr<Recordset> Connection::Execute(const QString &sql)
{
    return logged(sql, sql.toUtf8(), false);
}

std::unique_ptr<Recordset> Connection::ExecuteStreaming(const QString &sql)
{
    return logged(sql, sql.toUtf8(), true);
}

std::unique_ptr<Recordset> Connection::ExecuteBytes(const QByteArray &sql)
{
    return logged(m_log ? QString::fromUtf8(sql) : QString(), sql, false);
}

std::unique_ptr<Recordset> Connection::logged(const QString &sql, const QByteArray &text, bool streaming)
{
    if (!m_log)
        return run(text, streaming, nullptr);
    // The log gets the statement before it goes out and its outcome once it has ended: a buffered
    // answer or a statement without rows here, a streaming answer when its rows end or it is closed.
    const quint64 logId = m_log->report(sql);
    QElapsedTimer timer;
    timer.start();
    try {
        qint64 affected = -1;
        std::unique_ptr<Recordset> rs = run(text, streaming, &affected);
        if (rs && rs->m_streaming) {
            rs->m_log = m_log;
            rs->m_logId = logId;
            rs->m_logTimer = timer;
            if (rs->m_eof)
                rs->finishLog(0);
        } else {
            m_log->finish(logId, {rowsOf(rs.get(), affected), 0, timer.nsecsElapsed() / 1000});
        }
        return rs;
    } catch (const DbError &error) {
        m_log->finish(logId, {-1, error.number() ? error.number() : 1u, timer.nsecsElapsed() / 1000});
        throw;
    }
}

qint64 Connection::rowsOf(const Recordset *rs, qint64 affected)
{
    return rs && rs->m_result ? qint64(mysql_num_rows(rs->m_result)) : affected;
}

std::unique_ptr<Recordset> Connection::run(const QByteArray &text, bool streaming, qint64 *affected)
{
    readyToSend();
    // Answers of statements sent ahead are read first (and kept): this statement's answer is its own, and
    // a stop meant for it does not compare its text with a statement the server still runs.
    if (StatementPipeline *pipeline = m_pipeline.load())
        pipeline->settle();
    const Awaited awaited(*this, text);
    // A TLS read that has to wait asks the TLS library why it stopped, and that answer is spoiled by an
    // error another link left in this thread's queue (a killed link's close leaves one): the wait would
    // be taken for a failure of this link. The queue holds nothing of this statement yet.
    ERR_clear_error();
    if (mysql_real_query(m_mysql, text.constData(), text.size()) != 0)
        fail();
    return takeAnswer(streaming, affected, awaited);
}

Connection::Awaited::Awaited(Connection &c, const QByteArray &text)
    : connection(c)
    , owned(c.m_ownerThread.load() != std::thread::id())
    , generation(c.beginStatement(text, owned))
{
}

Connection::Awaited::~Awaited()
{
    connection.endStatement(owned);
}

void Connection::readyToSend()
{
    if (!m_mysql)
        fail();
    if (isOwnedByAnotherThread())
        throw DbError(CR_COMMANDS_OUT_OF_SYNC, QStringLiteral("HY000"), busyText());
    // A window event that runs while this link waits for the answer to another statement: the link is in
    // the middle of that conversation.
    if (!waitingSockets.empty()
        && std::find(waitingSockets.begin(), waitingSockets.end(), int(mysql_get_socket(m_mysql)))
               != waitingSockets.end())
        throw DbError(CR_COMMANDS_OUT_OF_SYNC, QStringLiteral("HY000"), waitingText());
    refuseIfStopped();
}

std::unique_ptr<Recordset> Connection::takeAnswer(bool streaming, qint64 *affected, const Awaited &awaited)
{
    if (affected && mysql_field_count(m_mysql) == 0)
        *affected = qint64(mysql_affected_rows(m_mysql));
    std::unique_ptr<Recordset> rs;
    if (mysql_field_count(m_mysql) > 0) {
        MYSQL_RES *result = streaming ? mysql_use_result(m_mysql) : mysql_store_result(m_mysql);
        if (!result)
            fail();
        rs.reset(new Recordset);
        rs->m_owner = this;
        rs->m_result = result;
        rs->m_streaming = streaming;
        rs->m_open = true;
        const unsigned int n = mysql_num_fields(result);
        MYSQL_FIELD *fields = mysql_fetch_fields(result);
        for (unsigned int i = 0; i < n; ++i)
            rs->m_names << QString::fromUtf8(fields[i].name, int(fields[i].name_length));
        if (streaming)
            rs->fetch();
        else {
            // A procedure's CALL brings further results; they are read and dropped so the
            // connection is free for the next statement. An error among them (a procedure that
            // returned rows and then failed) is the statement's failure.
            if (!dropMoreResults())
                fail();
            rs->fetch();
        }
        failIfKilled(awaited.generation, awaited.owned);
        return rs;
    }
    if (!dropMoreResults())
        fail();
    return rs;
}

bool Connection::dropMoreResults()
{
    while (mysql_more_results(m_mysql)) {
        if (mysql_next_result(m_mysql) > 0)
            return false;
        if (MYSQL_RES *more = mysql_store_result(m_mysql))
            mysql_free_result(more);
    }
    return true;
}

QString Connection::escape(const QString &value) const
{
    if (!m_mysql)
        return SqlText::escapeLiteral(value);
    const QByteArray in = value.toUtf8();
    QByteArray out(in.size() * 2 + 1, Qt::Uninitialized);
    const unsigned long n = mysql_real_escape_string(m_mysql, out.data(), in.constData(), in.size());
    out.resize(qsizetype(n));
    return QString::fromUtf8(out);
}

unsigned long Connection::threadId() const
{
    return m_mysql ? mysql_thread_id(m_mysql) : 0;
}

unsigned long Connection::serverVersion() const
{
    return m_mysql ? mysql_get_server_version(m_mysql) : 0;
}

st_mysql *Connection::openSibling(unsigned int timeoutSeconds) const
{
    if (!m_mysql)
        return nullptr;
    QString error, sqlState;
    unsigned int number = 0;
    const bool byName = m_peer.protocol == MYSQL_PROTOCOL_TCP && m_params.tls == TlsMode::Verify;
    MYSQL *sibling = tryEndpoint(m_params, byName ? m_endpoint : m_peer, QByteArray(), timeoutSeconds,
                                 timeoutSeconds, &error, &number, &sqlState);
    if (sibling && byName && !Stopper::sameAddress(Stopper::peerOf(sibling, {}), m_peer)) {
        mysql_close(sibling);
        return nullptr;
    }
    return sibling;
}

QString Connection::waitingText()
{
    return QStringLiteral("処理中のため実行できません。終わってから実行して下さい。");
}

QString Connection::busyText()
{
    return QStringLiteral("ｸｴﾘｰ実行の処理がこの接続を使っています。中断するか、終わるのを待ってから"
                          "実行して下さい。");
}

// --- Recordset -------------------------------------------------------------------------------------------

void closeQuietly(std::unique_ptr<Recordset> &rs)
{
    if (rs && rs->State() == 1) {
        try {
            rs->Close();
        } catch (const std::exception &) {
        }
    }
    rs.reset();
}

Recordset::~Recordset()
{
    Close();
}

void Recordset::fetch()
{
    m_row = m_result ? mysql_fetch_row(m_result) : nullptr;
    if (!m_row) {
        m_eof = true;
        m_lengths = nullptr;
        if (m_streaming && m_owner && m_owner->m_mysql) {
            if (const unsigned int error = mysql_errno(m_owner->m_mysql)) {
                finishLog(error);
                m_owner->fail();
            }
            // The rows are all read: the results that follow (a procedure's) are read and dropped now,
            // so that an error among them fails the statement instead of passing unseen.
            mysql_free_result(m_result);
            m_result = nullptr;
            if (!m_owner->dropMoreResults()) {
                finishLog(mysql_errno(m_owner->m_mysql));
                m_owner->fail();
            }
        }
        finishLog(0);
        return;
    }
    ++m_rowsRead;
    m_eof = false;
    m_lengths = mysql_fetch_lengths(m_result);
}

void Recordset::MoveNext()
{
    if (m_open && !m_eof)
        fetch();
}

int Recordset::FieldIndex(const QString &name) const
{
    // The name as the server spells it is the usual case, and the quick one.
    if (const qsizetype exact = m_names.indexOf(name); exact >= 0)
        return int(exact);
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const char *Recordset::cell(int index, unsigned long *length) const
{
    if (m_eof || !m_row || index < 0 || index >= m_names.size()) {
        if (length)
            *length = 0;
        return nullptr;
    }
    if (length)
        *length = m_lengths[index];
    return m_row[index];
}

const char *Recordset::RawValue(int index, unsigned long *length) const
{
    return cell(index, length);
}

bool Recordset::IsNull(int index) const
{
    return cell(index, nullptr) == nullptr;
}

bool Recordset::IsNull(const QString &name) const
{
    return IsNull(FieldIndex(name));
}

QString Recordset::Value(int index) const
{
    unsigned long length = 0;
    const char *value = cell(index, &length);
    return value ? QString::fromUtf8(value, qsizetype(length)) : QString();
}

QString Recordset::Value(const QString &name) const
{
    const int index = FieldIndex(name);
    if (index < 0)
        throw DbError(0, QStringLiteral("HY000"), QStringLiteral("Unknown column '%1'").arg(name));
    return Value(index);
}

std::optional<QString> Recordset::Field(int index) const
{
    if (IsNull(index))
        return std::nullopt;
    return Value(index);
}

void Recordset::finishLog(unsigned int error)
{
    if (!m_log)
        return;
    StatementLog *log = m_log;
    m_log = nullptr;
    log->finish(m_logId, {m_rowsRead, error, m_logTimer.nsecsElapsed() / 1000});
}

void Recordset::Close()
{
    if (!m_open)
        return;
    finishLog(0);
    m_open = false;
    if (m_streaming && !m_eof && m_owner && m_owner->m_mysql && !m_owner->m_linkCut.load()
        && mysql_errno(m_owner->m_mysql) == 0) {
        // Reading the rest of a large answer could take minutes: stop it on the server instead.
        m_owner->cancelRunningStatement();
    }
    mysql_free_result(m_result);
    m_result = nullptr;
    if (m_streaming && m_owner && m_owner->m_mysql) {
        m_owner->dropMoreResults(); // closing: an error among them has nobody left to tell
    }
    m_eof = true;
    m_row = nullptr;
}
