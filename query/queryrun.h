#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class Connection;

// Rows handed from the run's thread to the window, encoded as the grid's store keeps them (the text "NULL"
// for a null), back to back, with the end of each row.
struct RowBatch
{
    int rows = 0;
    std::size_t size = 0;
    std::size_t capacity = 0;
    std::unique_ptr<char[]> bytes;
    std::vector<std::uint32_t> ends;
};

// One execution of the query text on its own thread, so that the window stays responsive while the server
// works and rows arrive. The thread executes the statement and walks the streaming result; the window
// thread receives the column names and row batches (displayed run) and fills its widgets, and may ask the
// run to stop at any moment. A streamed run writes every record to the dump file on the run's thread and
// keeps no more than one block of output in memory.
class QueryRun
{
public:
    enum class Outcome { NoRows, Rows, Failed };

    struct Options
    {
        QString sql;
        bool streamed = false;
        QString delimiter;
        QString dumpPath; // streamed run: the file to write
    };
    // Called on the run's thread; the window forwards them to its own thread.
    struct Callbacks
    {
        std::function<void(const QStringList &names)> header;
        std::function<void()> batchesReady; // the queue went from empty to not empty
        std::function<void()> finished;
    };

    QueryRun(Connection &connection, Options options, Callbacks callbacks);
    ~QueryRun();
    QueryRun(const QueryRun &) = delete;
    QueryRun &operator=(const QueryRun &) = delete;

    void start();
    // Asks the run to stop, without waiting: it ends at its next row; a statement still running on the
    // server is cancelled, and a link that cannot carry the cancel is cut (Connection::requestStop), so the
    // run's thread returns within about a second even when the server no longer answers.
    void requestStop();
    // The stop had to cut the link: the connection is of no further use.
    bool linkCut() const;
    bool stopRequested() const { return m_stop.load(); }
    // Waits for the run's thread. Safe to call more than once.
    void join();
    bool isFinished() const { return m_finished.load(); }

    // Window thread: every batch waiting, in order.
    std::vector<std::unique_ptr<RowBatch>> takeBatches();
    // Records written to the dump file so far (streamed run).
    long long recordCount() const { return m_count.load(); }

    // After the run's thread has ended:
    Outcome outcome() const { return m_outcome; }
    unsigned int errorNumber() const { return m_errorNumber; }
    const QString &errorDescription() const { return m_errorDescription; }
    // The column names, once the statement has returned rows.
    const QStringList &names() const { return m_names; }

private:
    void run();
    void runDisplayed(class Recordset &rs, int columns);
    void runStreamed(class Recordset &rs, int columns);
    void push(std::unique_ptr<RowBatch> batch);
    void fail(unsigned int number, const QString &description);

    Connection &m_connection;
    Options m_options;
    Callbacks m_callbacks;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::atomic<long long> m_count{0};
    bool m_cutBefore = false;
    std::atomic<bool> m_linkCut{false};

    std::mutex m_mutex;
    std::condition_variable m_room;
    std::deque<std::unique_ptr<RowBatch>> m_queue;

    Outcome m_outcome = Outcome::NoRows;
    unsigned int m_errorNumber = 0;
    QString m_errorDescription;
    QStringList m_names;
};
