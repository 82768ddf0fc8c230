#pragma once

#include "dberror.h"
#include "recordset.h"

#include <QElapsedTimer>
#include <QStringList>
#include <deque>
#include <memory>
#include <optional>
#include <thread>

class Connection;

// Statements sent ahead on one connection, their answers read in the order sent: over a far link a list
// of statements costs about one round trip, not one each. Each statement goes to the server as a request
// of its own (never several in one text), so one that fails fails alone and the others still run; each
// is reported to the statement log on its own, when it goes out, with its own outcome when its answer
// has been read. Answers are read through the connection's own waits, so the window paints and a dead
// link is found as for Execute. A statement sent on the connection by other means while answers are on
// their way (a window event during the run) first has them read and kept for next(), so its own answer
// is its own; the pipeline goes on sending when next() is called again.
class StatementPipeline
{
public:
    // No limit on the statements on their way but the bytes (see the .cpp).
    static constexpr int Unlimited = 1 << 30;

    // ahead: how many statements may be on their way at once; 1 sends each only when the one before it
    // has been answered, as Execute does.
    explicit StatementPipeline(Connection &connection, int ahead = Unlimited);
    // Answers not taken are read and dropped (their outcomes logged); statements not sent yet never go.
    ~StatementPipeline();
    StatementPipeline(const StatementPipeline &) = delete;
    StatementPipeline &operator=(const StatementPipeline &) = delete;

    void add(const QString &sql);
    // Whether every statement added has had its answer taken.
    bool atEnd() const { return m_taken == m_statements.size(); }
    // The answer to the oldest statement not taken yet, as Execute gives it: its rows (read whole), or
    // nullptr for a statement without rows. Throws DbError when that statement failed.
    std::unique_ptr<Recordset> next();
    // Reads the answers on their way and keeps them for next(); the connection calls it before another
    // statement goes out. Throws DbError (2014) on another thread than the pipeline's.
    void settle();

private:
    struct Answer
    {
        std::unique_ptr<Recordset> rs;
        std::optional<DbError> error;
    };
    struct Sent
    {
        QByteArray text;
        quint64 logId = 0;
        QElapsedTimer timer;
        qsizetype bytes = 0;
        std::optional<DbError> refused; // it could not be sent
    };
    void fill();
    // Reads the oldest answer on its way; logs its outcome.
    Answer receive();

    Connection &m_connection;
    int m_ahead;
    QStringList m_statements;
    qsizetype m_sent = 0;
    qsizetype m_taken = 0;
    std::deque<Sent> m_onTheWay;
    qsizetype m_bytesOnTheWay = 0;
    std::deque<Answer> m_read; // answers read ahead by settle()
    StatementPipeline *m_outer; // the pipeline of the connection when this one began (a run around it)
    std::thread::id m_thread;
};
