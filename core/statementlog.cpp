#include "statementlog.h"

#include <algorithm>

int StatementLog::addObserver(Observer observer)
{
    std::lock_guard lock(m_mutex);
    const int id = m_nextId++;
    m_observers.emplace_back(id, std::move(observer));
    return id;
}

void StatementLog::removeObserver(int id)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_observers, [id](const auto &entry) { return entry.first == id; });
}

void StatementLog::report(const QString &statement)
{
    std::vector<Observer> observers;
    {
        std::lock_guard lock(m_mutex);
        for (const auto &entry : m_observers)
            observers.push_back(entry.second);
    }
    for (const auto &observer : observers)
        observer(statement);
}
