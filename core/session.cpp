#include "session.h"

#include "connectionstring.h"
#include "dberror.h"

Session &Session::instance()
{
    static Session session;
    return session;
}

QString Session::BuildConnectionString() const
{
    using ConnectionText::value;
    if (dsn.trimmed() != QStringLiteral("(なし)")) {
        // A name that would read as key=value pairs goes under the key DSN instead.
        const bool plain = !dsn.contains(QLatin1Char('=')) && !dsn.contains(QLatin1Char(';'))
                           && !dsn.contains(QLatin1Char('{')) && !dsn.contains(QLatin1Char('}'));
        return plain ? dsn : QStringLiteral("dsn=") + ConnectionText::braced(dsn.trimmed());
    }
    QString text = QStringLiteral("driver=") + ConnectionText::braced(driver) + QStringLiteral(";server=")
                   + value(server) + QStringLiteral(";uid=") + value(user);
    if (!pass.isEmpty())
        text += QStringLiteral(";pwd=") + value(pass);
    text += QStringLiteral(";port=") + value(port);
    if (!database.isEmpty())
        text += QStringLiteral(";database=") + value(database);
    return text;
}

bool Session::OpenConnection()
{
    if (isHeld()) {
        // Refused, not failed: no earlier failure's text may be shown for it.
        m_lastOpenError.clear();
        m_lastOpenErrorNumber = 0;
        return false;
    }
    runConnectionGuards();
    try {
        if (connection) {
            if (connection->State() == 1)
                connection->Close();
            connection.reset();
        }
    } catch (...) {
        connection.reset();
    }
    connection = std::make_unique<Connection>(&log);
    if (!openFromSettings(*connection))
        return false;
    m_openedDatabase = database;
    return connection->State() == 1;
}

bool Session::ReopenConnection()
{
    if (!connection || connection->State() != 1)
        return OpenConnection();
    if (isHeld()) {
        m_lastOpenError.clear();
        m_lastOpenErrorNumber = 0;
        return false;
    }
    auto fresh = std::make_unique<Connection>(&log);
    if (!openFromSettings(*fresh))
        return false;
    runConnectionGuards();
    CloseRecordset();
    connection->Close();
    connection = std::move(fresh);
    m_openedDatabase = database;
    return true;
}

bool Session::openFromSettings(Connection &c)
{
    m_lastOpenError.clear();
    m_lastOpenErrorNumber = 0;
    try {
        c.setConnectionString(BuildConnectionString());
        c.setTls(tls, tlsCa);
        c.Open();
        return true;
    } catch (const DbError &e) {
        m_lastOpenError = e.description();
        m_lastOpenErrorNumber = e.number();
    } catch (const std::exception &e) {
        m_lastOpenError = describeError(e);
    } catch (...) {
    }
    return false;
}

bool Session::CloseConnection()
{
    if (isHeld())
        return false;
    runConnectionGuards();
    CloseRecordset();
    if (!connection)
        return true;
    if (connection->State() == 1)
        connection->Close();
    connection.reset();
    return true;
}

Session::Hold::~Hold()
{
    // The last hold ends with its operation: a stop asked for it reaches no later one.
    if (--m_session.m_holds == 0 && m_session.connection)
        m_session.connection->forgetStop();
}

void Session::stopOperation()
{
    if (isHeld() && connection && connection->State() == 1)
        connection->requestStop();
}

bool Session::isBusyElsewhere() const
{
    return connection && connection->State() == 1 && connection->isOwnedByAnotherThread();
}

void Session::CloseRecordset()
{
    if (recordset && recordset->State() == 1)
        recordset->Close();
    recordset.reset();
}

Connection &Session::db()
{
    if (!connection || connection->State() != 1)
        throw DbError(2006, QStringLiteral("HY000"), QStringLiteral("MySQL server has gone away"));
    return *connection;
}

void Session::reset()
{
    CloseConnection();
    dsn = QStringLiteral("(なし)");
    driver = QStringLiteral("MySQL ODBC 3.51 Driver");
    server.clear();
    user.clear();
    pass.clear();
    port.clear();
    tls = TlsMode::Preferred;
    tlsCa.clear();
    database.clear();
    m_openedDatabase.clear();
    isLocalhost = false;
    settings = {};
    variables.clear();
}

int Session::addConnectionGuard(std::function<void()> guard)
{
    const int id = m_nextGuard++;
    m_guards.emplace_back(id, std::move(guard));
    return id;
}

void Session::removeConnectionGuard(int id)
{
    std::erase_if(m_guards, [id](const auto &entry) { return entry.first == id; });
}

void Session::runConnectionGuards()
{
    const auto guards = m_guards; // a guard may remove itself
    for (const auto &entry : guards)
        entry.second();
}
