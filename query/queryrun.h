#pragma once

#include "textlines.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class Connection;

// Rows handed from the run's thread to the window: the cell texts back to back ("NULL" for a null),
// with each cell's offset and length, cells of a row side by side.
struct RowBatch
{
    int columns = 0;
    int rows = 0;
    QByteArray bytes;
    std::vector<unsigned long> offsets;
    std::vector<unsigned long> lengths;
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
    // Asks the run to stop: it ends at its next row; a statement still running on the server is cancelled.
    void requestStop();
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
    // The text gathered (displayed run): header, dash line and one line per record.
    std::unique_ptr<TextLines> takeText() { return std::move(m_text); }

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

    std::mutex m_mutex;
    std::condition_variable m_room;
    std::deque<std::unique_ptr<RowBatch>> m_queue;

    Outcome m_outcome = Outcome::NoRows;
    unsigned int m_errorNumber = 0;
    QString m_errorDescription;
    std::unique_ptr<TextLines> m_text;
    QStringList m_names;
};
