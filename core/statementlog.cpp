#include "statementlog.h"

#include <algorithm>

int StatementLog::addObserver(Observer observer)
{
    std::lock_guard lock(m_mutex);
    m_observers.push_back({m_nextId, std::move(observer), {}, {}});
    return m_nextId++;
}

int StatementLog::addEntryObserver(EntryObserver observer)
{
    std::lock_guard lock(m_mutex);
    m_observers.push_back({m_nextId, {}, std::move(observer), {}});
    return m_nextId++;
}

int StatementLog::addOutcomeObserver(OutcomeObserver observer)
{
    std::lock_guard lock(m_mutex);
    m_observers.push_back({m_nextId, {}, {}, std::move(observer)});
    return m_nextId++;
}

void StatementLog::removeObserver(int id)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_observers, [id](const Entry &entry) { return entry.id == id; });
}

std::vector<StatementLog::Entry> StatementLog::snapshot()
{
    std::lock_guard lock(m_mutex);
    return m_observers;
}

quint64 StatementLog::report(const QString &statement)
{
    quint64 number;
    {
        std::lock_guard lock(m_mutex);
        number = m_nextStatement++;
    }
    for (const Entry &observer : snapshot()) {
        if (observer.statement)
            observer.statement(statement);
        if (observer.entry)
            observer.entry(number, statement);
    }
    return number;
}

void StatementLog::finish(quint64 id, const StatementOutcome &outcome)
{
    for (const Entry &observer : snapshot())
        if (observer.outcome)
            observer.outcome(id, outcome);
}
