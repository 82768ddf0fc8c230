#include "stopper.h"

#include "dberror.h"
#include "statementlog.h"

#include <QElapsedTimer>

#include <mysql.h>
#include <mysqld_error.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

// How long the KILL QUERY sibling may take to connect and to be answered, and how long a statement may go
// on after its KILL was delivered before the link is cut. A killed statement that changed many rows takes
// a while to roll back, and cutting a link the server still serves ends the user's whole transaction,
// temporary tables and variables with it: the link is cut after a delivered KILL only when the server
// has not ended the statement in that long.
constexpr unsigned int SiblingTimeoutSeconds = 1;
constexpr int AfterKillMs = 10000;

// The statement as the server's process list shows it: without the blanks around it and the semicolons at
// its end (the server keeps it so), its first characters, as text.
QString shownAs(const QByteArray &statement, int count)
{
    const QString text = QString::fromUtf8(statement);
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).isSpace())
        ++begin;
    while (end > begin && (text.at(end - 1).isSpace() || text.at(end - 1) == QLatin1Char(';')))
        --end;
    const QList<uint> codes = text.mid(begin, end - begin).toUcs4();
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(codes.constData()),
                             std::min<qsizetype>(codes.size(), count));
}

} // namespace

namespace Stopper {

ConnectionEndpoint peerOf(MYSQL *link, const ConnectionEndpoint &used)
{
    const int fd = link ? int(mysql_get_socket(link)) : -1;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (fd < 0 || ::getpeername(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return used;
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto *in = reinterpret_cast<const sockaddr_in *>(&address);
        ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        return {QByteArray(text), ntohs(in->sin_port), MYSQL_PROTOCOL_TCP, {}};
    }
    if (address.ss_family == AF_INET6) {
        const auto *in = reinterpret_cast<const sockaddr_in6 *>(&address);
        ::inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
        return {QByteArray(text), ntohs(in->sin6_port), MYSQL_PROTOCOL_TCP, {}};
    }
    if (address.ss_family == AF_UNIX) {
        const auto *un = reinterpret_cast<const sockaddr_un *>(&address);
        const QByteArray path(un->sun_path, qsizetype(strnlen(un->sun_path, sizeof un->sun_path)));
        if (!path.isEmpty())
            return {"localhost", 0, MYSQL_PROTOCOL_SOCKET, path};
    }
    return used;
}

bool sameAddress(const ConnectionEndpoint &a, const ConnectionEndpoint &b)
{
    return a.protocol == b.protocol && a.host == b.host && a.port == b.port && a.socket == b.socket;
}

Found killStatement(MYSQL *sibling, unsigned long id, const QByteArray &statement, StatementLog *log)
{
    // The process list shows a user's own connections to that user without any privilege.
    const QByteArray look = "SELECT LEFT(INFO, 100) FROM information_schema.PROCESSLIST WHERE ID = "
                            + QByteArray::number(qulonglong(id))
                            + " AND USER = SUBSTRING_INDEX(USER(), '@', 1)";
    if (mysql_real_query(sibling, look.constData(), look.size()) != 0)
        return Found::Elsewhere;
    MYSQL_RES *result = mysql_store_result(sibling);
    if (!result)
        return Found::Elsewhere;
    Found found = Found::Elsewhere;
    if (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long *lengths = mysql_fetch_lengths(result);
        const QString info = row[0] ? QString::fromUtf8(row[0], qsizetype(lengths[0])) : QString();
        found = !info.isEmpty() && info == shownAs(statement, 100) ? Found::Killed : Found::NotRunning;
    }
    mysql_free_result(result);
    if (found != Found::Killed)
        return found;

    const QString kill = QStringLiteral("KILL QUERY %1").arg(id);
    const quint64 logId = log ? log->report(kill) : 0;
    QElapsedTimer timer;
    timer.start();
    const QByteArray text = kill.toUtf8();
    const bool ok = mysql_real_query(sibling, text.constData(), text.size()) == 0;
    if (log)
        log->finish(logId, {ok ? 0 : -1, ok ? 0 : mysql_errno(sibling), timer.nsecsElapsed() / 1000});
    return ok ? Found::Killed : Found::Elsewhere;
}

} // namespace Stopper

// --- The members of Connection that stop its statements ----------------------------------------------

void Connection::joinStopper()
{
    if (m_stopper.joinable())
        m_stopper.join();
}

void Connection::waitForStopper() const
{
    std::unique_lock lock(m_ownerMutex);
    m_ownerReleased.wait(lock, [this] { return m_stopperDone.load(); });
}

bool Connection::statementRunning(unsigned long long generation) const
{
    return m_ownerGeneration == generation && (m_ownerThread.load() != std::thread::id() || m_inFlight);
}

void Connection::requestStop()
{
    if (!m_mysql || !m_stopperDone.load())
        return; // nothing runs, or a stop is on its way
    joinStopper();
    unsigned long long generation = 0;
    QByteArray statement;
    {
        std::lock_guard lock(m_ownerMutex);
        if (m_ownerThread.load() == std::thread::id() && !m_inFlight) {
            // Between two statements of an operation of this thread: the next one is the one stopped.
            m_stopNext.store(true);
            return;
        }
        generation = m_ownerGeneration;
        statement = m_statement;
        m_stoppingGeneration = generation;
        m_stopperDone.store(false);
    }
    const unsigned long id = threadId();
    m_stopper = std::thread([this, generation, id, statement] {
        const Stopper::Found found = sendKill(id, statement);
        std::unique_lock lock(m_ownerMutex);
        if (found == Stopper::Found::Killed)
            m_killedGeneration = generation;
        // Delivered: the server ends the statement at once. Not running there: it has just ended, or is
        // about to. Either way its end is awaited for a while before the link is cut.
        if (found != Stopper::Found::Elsewhere)
            m_ownerReleased.wait_for(lock, std::chrono::milliseconds(AfterKillMs),
                                     [&] { return !statementRunning(generation); });
        if (statementRunning(generation)) {
            // The server cannot be told (link dead or dropping, or another server reached): the wait of
            // the thread that sent the statement is ended here.
            m_linkCut.store(true);
            mariadb_cancel(m_mysql);
        }
        m_stopperDone.store(true);
        m_ownerReleased.notify_all();
    });
}

void Connection::forgetStop()
{
    m_stopNext.store(false);
}

namespace {
[[noreturn]] void interrupted()
{
    throw DbError(ER_QUERY_INTERRUPTED, QStringLiteral("70100"), QStringLiteral("Query execution was interrupted"));
}
}

void Connection::refuseIfStopped()
{
    {
        std::unique_lock lock(m_ownerMutex);
        // The owner thread's own stop is under way (it came before the statement went out): not sent.
        if (!m_stopperDone.load() && m_ownerThread.load() == std::this_thread::get_id()
            && m_stoppingGeneration == m_ownerGeneration) {
            lock.unlock();
            interrupted();
        }
        // A stop of an earlier statement is waited for, so that a late KILL never reaches this one.
        m_ownerReleased.wait(lock, [this] { return m_stopperDone.load(); });
    }
    if (m_stopNext.exchange(false))
        interrupted();
}

unsigned long long Connection::beginStatement(const QByteArray &text, bool owned)
{
    std::lock_guard lock(m_ownerMutex);
    if (!owned) {
        ++m_ownerGeneration;
        m_inFlight = true;
    }
    m_statement = text;
    return m_ownerGeneration;
}

void Connection::endStatement(bool owned)
{
    if (owned)
        return;
    std::lock_guard lock(m_ownerMutex);
    m_inFlight = false;
    m_ownerReleased.notify_all();
}

void Connection::failIfKilled(unsigned long long generation, bool owned)
{
    if (owned)
        return;
    // The answer is here: a stop on its way learns so, and says whether its KILL was delivered.
    endStatement(owned);
    waitForStopper();
    std::lock_guard lock(m_ownerMutex);
    if (m_killedGeneration == generation)
        interrupted();
}

bool Connection::cancelRunningStatement() const
{
    QByteArray statement;
    {
        std::lock_guard lock(m_ownerMutex);
        statement = m_statement;
    }
    return sendKill(threadId(), statement) == Stopper::Found::Killed;
}

Stopper::Found Connection::sendKill(unsigned long id, const QByteArray &statement) const
{
    if (!id || m_linkCut.load())
        return Stopper::Found::Elsewhere;
    MYSQL *other = openSibling(SiblingTimeoutSeconds);
    if (!other)
        return Stopper::Found::Elsewhere;
    const Stopper::Found found = Stopper::killStatement(other, id, statement, m_log);
    mysql_close(other);
    return found;
}
