#include "dberror.h"

DbError::DbError(unsigned int number, const QString &sqlState, const QString &message)
    : std::runtime_error(message.toStdString()), m_number(number), m_sqlState(sqlState), m_message(message)
{
    m_description = QStringLiteral("ERROR %1 (%2): %3")
                        .arg(number)
                        .arg(sqlState.isEmpty() ? QStringLiteral("HY000") : sqlState, message);
}
