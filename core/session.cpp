#include "session.h"

#include "dberror.h"

Session &Session::instance()
{
    static Session session;
    return session;
}

QString Session::BuildConnectionString() const
{
    if (dsn.trimmed() != QStringLiteral("(なし)"))
        return dsn;
    QString text = QStringLiteral("driver={") + driver + QStringLiteral("};server=") + server
                   + QStringLiteral(";uid=") + user;
    if (!pass.isEmpty())
        text += QStringLiteral(";pwd=") + pass;
    text += QStringLiteral(";port=") + port;
    if (!database.isEmpty())
        text += QStringLiteral(";database=") + database;
    return text;
}

bool Session::OpenConnection()
{
    runConnectionGuards();
    try {
        if (connection) {
            if (connection->State() == 1)
                connection->Close();
            connection.reset();
        }
        connection = std::make_unique<Connection>(&log);
        connection->setConnectionString(BuildConnectionString());
        connection->Open();
        return connection->State() == 1;
    } catch (...) {
        return false;
    }
}

void Session::CloseConnection()
{
    runConnectionGuards();
    CloseRecordset();
    if (!connection)
        return;
    if (connection->State() == 1)
        connection->Close();
    connection.reset();
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
    database.clear();
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
