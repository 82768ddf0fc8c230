#include "statementrecorder.h"

#include "session.h"
#include "statementlog.h"

StatementRecorder::StatementRecorder() : StatementRecorder(Session::instance().log) {}

StatementRecorder::StatementRecorder(StatementLog &log) : m_log(log)
{
    m_id = m_log.addObserver([this](const QString &statement) {
        std::lock_guard lock(m_mutex);
        m_statements << statement;
    });
}

StatementRecorder::~StatementRecorder()
{
    m_log.removeObserver(m_id);
}

QStringList StatementRecorder::statements() const
{
    std::lock_guard lock(m_mutex);
    return m_statements;
}

void StatementRecorder::clear()
{
    std::lock_guard lock(m_mutex);
    m_statements.clear();
}

bool StatementRecorder::contains(const QString &text) const
{
    std::lock_guard lock(m_mutex);
    return m_statements.contains(text);
}
