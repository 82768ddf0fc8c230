#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <mutex>
#include <vector>

// How a statement ended: rows it returned (or changed), the error number when it failed, how long it
// took. A streaming result ends when its last row has been read or it is closed.
struct StatementOutcome
{
    qint64 rows = -1;        // rows returned or affected; -1 when not known
    unsigned int error = 0;  // 0 on success
    qint64 microseconds = 0;
};

// Every statement that the program sends is reported here just before it goes to the server, and its
// outcome once it has ended: tests assert on the exact texts, and the SQL log window shows both.
// Safe to report from a worker thread; observers are called on the reporting thread.
class StatementLog
{
public:
    using Observer = std::function<void(const QString &statement)>;
    // Each statement with a number of its own, then its outcome under the same number.
    using EntryObserver = std::function<void(quint64 id, const QString &statement)>;
    using OutcomeObserver = std::function<void(quint64 id, const StatementOutcome &outcome)>;

    int addObserver(Observer observer);
    int addEntryObserver(EntryObserver observer);
    int addOutcomeObserver(OutcomeObserver observer);
    void removeObserver(int id);

    // Returns the statement's number, for finish().
    quint64 report(const QString &statement);
    void finish(quint64 id, const StatementOutcome &outcome);

private:
    struct Entry
    {
        int id;
        Observer statement;
        EntryObserver entry;
        OutcomeObserver outcome;
    };
    std::vector<Entry> snapshot();

    std::mutex m_mutex;
    int m_nextId = 1;
    quint64 m_nextStatement = 1;
    std::vector<Entry> m_observers;
};
