#pragma once

#include <QString>
#include <functional>
#include <mutex>
#include <vector>

// Every statement that the program sends is reported here just before it goes to the server:
// tests assert on the exact texts, and the program can show them in a log.
// Safe to report from a worker thread; observers are called on the reporting thread.
class StatementLog
{
public:
    using Observer = std::function<void(const QString &statement)>;

    int addObserver(Observer observer);
    void removeObserver(int id);
    void report(const QString &statement);

private:
    std::mutex m_mutex;
    int m_nextId = 1;
    std::vector<std::pair<int, Observer>> m_observers;
};
