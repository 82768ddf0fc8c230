#include "dberror.h"

DbError::DbError(unsigned int number, const QString &sqlState, const QString &message)
    : std::runtime_error(message.toStdString()), m_number(number), m_sqlState(sqlState), m_message(message)
{
    m_description = QStringLiteral("ERROR %1 (%2): %3")
                        .arg(number)
                        .arg(sqlState.isEmpty() ? QStringLiteral("HY000") : sqlState, message);
}

QString describeError(const std::exception &error)
{
    if (const auto *db = dynamic_cast<const DbError *>(&error))
        return db->description();
    return QString::fromUtf8(error.what());
}
