#include "pipeline.h"

#include "connection.h"
#include "statementlog.h"

#include <mysql.h>
#include <errmsg.h>
#include <openssl/err.h>

namespace {

// The statement text on its way at most. Sending never waits while this much fits in the link's buffers
// (the server's receive buffer and this side's send buffer hold far more), so the program never blocks
// in a send while the server blocks in sending answers that nobody reads yet.
constexpr qsizetype MaxBytesOnTheWay = 32 * 1024;

}

StatementPipeline::StatementPipeline(Connection &connection, int ahead)
    : m_connection(connection)
    , m_ahead(std::max(1, ahead))
    , m_outer(connection.m_pipeline.load())
    , m_thread(std::this_thread::get_id())
{
    if (m_outer) {
        try {
            connection.readyToSend(); // not while the link waits for one of the outer one's answers
            m_outer->settle();        // its answers are kept; this one's statements go out after them
        } catch (const DbError &) {
            // the link is not free: this one's statements are refused as they are sent
        }
    }
    connection.m_pipeline.store(this);
}

StatementPipeline::~StatementPipeline()
{
    while (!m_onTheWay.empty())
        receive(); // its outcome is in the log; nobody is left to take it
    m_connection.m_pipeline.store(m_outer);
}

void StatementPipeline::add(const QString &sql)
{
    m_statements << sql;
}

void StatementPipeline::fill()
{
    Connection &c = m_connection;
    if (c.m_pipeline.load() != this)
        return;
    while (m_sent < m_statements.size() && qsizetype(m_onTheWay.size()) < m_ahead) {
        const QByteArray text = m_statements.at(m_sent).toUtf8();
        if (!m_onTheWay.empty() && m_bytesOnTheWay + text.size() > MaxBytesOnTheWay)
            return;
        Sent sent;
        sent.text = text;
        sent.logId = c.m_log ? c.m_log->report(m_statements.at(m_sent)) : 0;
        sent.timer.start();
        sent.bytes = text.size();
        try {
            c.readyToSend();
            if (mysql_send_query(c.m_mysql, text.constData(), text.size()) != 0)
                c.fail();
        } catch (const DbError &error) {
            sent.refused = error;
        }
        ++m_sent;
        m_bytesOnTheWay += sent.bytes;
        m_onTheWay.push_back(std::move(sent));
    }
}

StatementPipeline::Answer StatementPipeline::receive()
{
    Connection &c = m_connection;
    Sent sent = std::move(m_onTheWay.front());
    m_onTheWay.pop_front();
    m_bytesOnTheWay -= sent.bytes;
    Answer answer;
    answer.error = sent.refused;
    qint64 affected = -1;
    if (!answer.error) {
        try {
            if (!c.m_mysql) // closed meanwhile: "not open"
                c.fail();
            // The statement whose answer is read is the oldest on its way: the one the server runs now,
            // or has just run. A stop meanwhile (中断, a second close) sends its KILL for this one.
            const Connection::Awaited awaited(c, sent.text);
            ERR_clear_error(); // as before a statement: a TLS read that waits must not see another link's error
            if (mysql_read_query_result(c.m_mysql) != 0)
                c.fail();
            answer.rs = c.takeAnswer(false, &affected, awaited);
        } catch (const DbError &error) {
            answer.error = error;
        }
    }
    if (c.m_log) {
        const unsigned int number = answer.error ? std::max(answer.error->number(), 1u) : 0u;
        c.m_log->finish(sent.logId, {answer.error ? -1 : Connection::rowsOf(answer.rs.get(), affected), number,
                                     sent.timer.nsecsElapsed() / 1000});
    }
    return answer;
}

void StatementPipeline::settle()
{
    if (std::this_thread::get_id() != m_thread)
        throw DbError(CR_COMMANDS_OUT_OF_SYNC, QStringLiteral("HY000"), Connection::waitingText());
    while (!m_onTheWay.empty())
        m_read.push_back(receive());
}

std::unique_ptr<Recordset> StatementPipeline::next()
{
    if (atEnd())
        throw std::logic_error("StatementPipeline::next: no statement left");
    // A stop asked for between two answers ends the run here, as it would before the next Execute.
    if (m_thread == std::this_thread::get_id() && m_connection.m_mysql)
        m_connection.refuseIfStopped();
    fill();
    Answer answer;
    if (!m_read.empty()) {
        answer = std::move(m_read.front());
        m_read.pop_front();
    } else if (!m_onTheWay.empty()) {
        answer = receive();
    } else { // another pipeline holds the link (not one nested in this one's run, which has ended)
        answer.error = DbError(CR_COMMANDS_OUT_OF_SYNC, QStringLiteral("HY000"), Connection::waitingText());
    }
    ++m_taken;
    fill(); // the next statements go out before the caller works on this answer
    if (answer.error)
        throw *answer.error;
    return std::move(answer.rs);
}
