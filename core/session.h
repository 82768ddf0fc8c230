#pragma once

#include "connection.h"
#include "statementlog.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// One user-variable name of the query window, as kept in variable.dat.
struct variablename
{
    QString strVariableName;
};

// The settings of the "Query" and "InOut" sections, carried as text for the windows that use them.
struct WindowSettings
{
    QString memo, memo1, memo2, font, texte, textpath, delimiter, inoutpath;
};

// The one process-wide session: the connection, the settings it is built from, the current database,
// the is-localhost flag and the shared recordset slot. The only link between the windows; each reads what
// it needs when it becomes active.
class Session
{
public:
    static Session &instance();

    std::unique_ptr<Connection> connection;
    std::unique_ptr<Recordset> recordset; // the shared slot: close (state 1) and clear before reuse

    QString dsn = QStringLiteral("(なし)");
    QString driver = QStringLiteral("MySQL ODBC 3.51 Driver");
    QString server;
    QString user;
    QString pass;
    QString port;
    // TLS as chosen on the connect panel, and the CA file for verifying (empty: the system's CA store).
    TlsMode tls = TlsMode::Preferred;
    QString tlsCa;
    QString database;
    bool isLocalhost = false;

    WindowSettings settings;
    std::vector<variablename> variables;

    // Every statement sent on any connection of this session is reported here.
    StatementLog log;

    // The connection string built from the settings (driver form or the bare dsn). A value holding ";",
    // "{", "}" or "=" is written in braces with "}" doubled, so no value can change where it connects.
    QString BuildConnectionString() const;
    // Closes any open connection, then opens a new one. Never throws: false on any failure, whose text
    // is then in lastOpenError(); false without touching the connection while an operation holds it
    // (see Hold).
    bool OpenConnection();
    // The query window's reopening for a newly chosen database: a new connection is opened first and
    // takes the place of the open one only when it opened; when it fails the open one stays as it was
    // (false, the reason in lastOpenError()). Without an open connection, OpenConnection.
    bool ReopenConnection();
    const QString &lastOpenError() const { return m_lastOpenError; }
    unsigned int lastOpenErrorNumber() const { return m_lastOpenErrorNumber; }
    // Closes the connection. False (and nothing closed) while an operation holds it.
    bool CloseConnection();
    // Closes and clears the shared recordset slot.
    void CloseRecordset();
    // The session's connection; throws DbError when there is none open.
    Connection &db();

    // Back to the state at program start (tests).
    void reset();

    // The database chosen in the main window when the connection was last opened: the query window opens
    // it again on activation only when the choice changed since.
    const QString &openedDatabase() const { return m_openedDatabase; }

    // An operation of a window's thread that goes on across the event pump holds the connection for as
    // long as it runs: meanwhile nothing closes or replaces it (OpenConnection and CloseConnection refuse),
    // so a statement of the operation never finds its connection gone. Holds nest.
    class Hold
    {
    public:
        explicit Hold(Session &session) : m_session(session) { ++m_session.m_holds; }
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        Session &m_session;
    };
    bool isHeld() const { return m_holds.load() > 0; }
    // Stops the operation that holds the connection as the query window's 中断 stops a run: the statement
    // it waits for is ended by KILL QUERY (the link cut when that cannot be delivered or does not end it in
    // time), or, between two of its statements, its next one fails. The operation then ends through its
    // own failure path, which says what it did and did not do.
    void stopOperation();
    // The connection is open and a thread other than the caller's reads a result on it (the query
    // window's run): any statement sent now would be refused.
    bool isBusyElsewhere() const;

    // Called before the connection is closed or replaced (OpenConnection, CloseConnection), so that a
    // window still using it on another thread (the query window's run) can stop that work first.
    int addConnectionGuard(std::function<void()> guard);
    void removeConnectionGuard(int id);

private:
    void runConnectionGuards();
    // Opens c with the connection string and TLS of the settings; false with the reason recorded.
    bool openFromSettings(Connection &c);
    std::atomic<int> m_holds{0};
    QString m_openedDatabase;
    QString m_lastOpenError;
    unsigned int m_lastOpenErrorNumber = 0;
    std::vector<std::pair<int, std::function<void()>>> m_guards;
    int m_nextGuard = 1;
};
