#pragma once

#include <QStringList>
#include <mutex>

class StatementLog;

// Records every statement reported to the session's statement log while it lives.
class StatementRecorder
{
public:
    StatementRecorder();
    explicit StatementRecorder(StatementLog &log);
    ~StatementRecorder();

    QStringList statements() const;
    void clear();
    // Whether some statement equals text exactly.
    bool contains(const QString &text) const;

private:
    StatementLog &m_log;
    int m_id;
    mutable std::mutex m_mutex;
    QStringList m_statements;
};
