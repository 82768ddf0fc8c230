#pragma once

#include <QString>
#include <exception>
#include <stdexcept>

// A failing data-access call. description() is what the windows show and record in their error box,
// for example "ERROR 1146 (42S02): Table 'shop.x' doesn't exist".
class DbError : public std::runtime_error
{
public:
    DbError(unsigned int number, const QString &sqlState, const QString &message);

    // The number of a connection refused because its link is not encrypted (or not verified) as the
    // chosen TLS mode demands: the connector's own number for a failed TLS set-up.
    static constexpr unsigned int TlsRefused = 2026;

    unsigned int number() const { return m_number; }
    const QString &sqlState() const { return m_sqlState; }
    const QString &message() const { return m_message; }
    const QString &description() const { return m_description; }

private:
    unsigned int m_number;
    QString m_sqlState;
    QString m_message;
    QString m_description;
};

// The text the windows show for any failure: a DbError's description, or the failure's own text.
QString describeError(const std::exception &error);
