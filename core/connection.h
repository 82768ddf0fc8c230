#pragma once

#include "recordset.h"
#include "tls.h"

#include <QString>
#include <atomic>
#include <memory>
#include <thread>

struct st_mysql;
class StatementLog;

// Where and as whom to connect, taken apart from a connection string.
struct ConnectionParams
{
    QString dsn;       // data-source name when connecting through one
    QString driver;
    QString server;
    QString user;
    QString password;
    QString port;
    QString database;
    QString socket;
    // TLS: the mode and the files of the CA, the client certificate and its key (empty: none chosen).
    TlsMode tls = TlsMode::Preferred;
    QString tlsCa;
    QString tlsCert;
    QString tlsKey;
};

// The one connection of a session to a MySQL or MariaDB server, over MariaDB Connector/C.
// Set ConnectionString, then Open. Execute runs one statement: statements with rows yield a recordset,
// others yield nullptr. Every failing call throws DbError.
class Connection
{
public:
    explicit Connection(StatementLog *log = nullptr);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Before Open: the text set. After a successful Open: the expanded string, upper-case keys,
    // e.g. "DRIVER={MySQL ODBC 3.51 Driver};SERVER=localhost;UID=root;PWD=x;PORT=3306;DATABASE=;".
    QString ConnectionString() const;
    void setConnectionString(const QString &text);

    // TLS as the user chose it. A data source asking for more in odbc.ini gets more: the stricter mode
    // wins, and the data source's CA file is used when none is chosen here.
    void setTls(TlsMode mode, const QString &caFile = QString());

    void Open();
    int State() const;
    // "TLSv1.3 TLS_AES_256_GCM_SHA384" while an encrypted link is open, else empty.
    QString tlsDescription() const;
    void Close();

    // Buffered: the whole answer is read before this returns.
    std::unique_ptr<Recordset> Execute(const QString &sql);
    // Streaming: rows are read one by one as the caller walks them.
    std::unique_ptr<Recordset> ExecuteStreaming(const QString &sql);
    // Buffered, the statement sent as the bytes given (as the command-line client sends a file: a value
    // written raw in it reaches the server unchanged).
    std::unique_ptr<Recordset> ExecuteBytes(const QByteArray &sql);

    // The value escaped for use inside a quoted literal ('...' or "..."), in the connection's own way.
    QString escape(const QString &value) const;
    // The server's id of this connection (for KILL QUERY from another connection).
    unsigned long threadId() const;
    // Stops the statement running on this connection, from another thread if need be, by sending
    // KILL QUERY over a second short-lived connection with the same parameters. Returns false if that failed.
    bool cancelRunningStatement() const;
    // While a thread holds the connection (the query window reads a result on a thread of its own), a
    // statement from any other thread is refused with "Commands out of sync" (2014) instead of being
    // mixed into the conversation on the same link. A default id releases it.
    void setOwnerThread(std::thread::id id) { m_ownerThread.store(id); }
    const ConnectionParams &params() const { return m_params; }
    st_mysql *handle() const { return m_mysql; }

    // Parses "key=value;..." (keys without regard to case, values in braces with "}" doubled read back
    // exactly; a bare name, or the key DSN, is a data source looked up in odbc.ini through unixODBC).
    // Throws DbError for a data source that does not exist and for a key given twice.
    static ConnectionParams parse(const QString &connectionString);

private:
    friend class Recordset;
    // Reports the statement (sql) and its outcome to the log around run().
    std::unique_ptr<Recordset> logged(const QString &sql, const QByteArray &text, bool streaming);
    // Sends without logging; *affected gets the rows changed by a statement without an answer.
    std::unique_ptr<Recordset> run(const QByteArray &text, bool streaming, qint64 *affected);
    [[noreturn]] void fail() const;

    StatementLog *m_log;
    st_mysql *m_mysql = nullptr;
    QString m_connectionString;
    QString m_expanded;
    ConnectionParams m_params;
    TlsMode m_tls = TlsMode::Preferred;
    QString m_tlsCa;
    std::atomic<std::thread::id> m_ownerThread{};
};
