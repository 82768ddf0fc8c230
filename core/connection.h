#pragma once

#include "recordset.h"
#include "tls.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

struct st_mysql;
namespace Stopper { enum class Found; }
class StatementLog;
class StatementPipeline;

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
    // A data source's further TLS keys (odbc.ini's key and value), each used as the connector's option of
    // the same meaning (Tls::dataSourceKeys).
    QList<QPair<QString, QString>> tlsSettings;
    // The server's RSA public key (a file): a password the server asks for on a link without TLS is
    // encrypted to it. Empty: such a login is refused.
    QString serverKey;
};

// The way a connection reached its server: TCP to host and port, or the Unix socket (empty: the default).
struct ConnectionEndpoint
{
    QByteArray host;
    unsigned int port = 0;
    int protocol = 0; // mysql_protocol_type
    QByteArray socket;
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
    // The server's version as a number (5.5.0 is 50500); 0 when not connected.
    unsigned long serverVersion() const;
    // Stops the statement running on this connection by sending KILL QUERY over a sibling connection
    // (openSibling), once the sibling has found it running on the server it reached. Waits for the sibling,
    // which gives up after a second. False if it was not delivered.
    bool cancelRunningStatement() const;
    // Stops the statement running on this connection without waiting for anything, whichever thread sent
    // it (the owner thread of setOwnerThread, or the main thread waiting in its event pump): a thread of its
    // own sends KILL QUERY as cancelRunningStatement does; when that cannot be delivered, or the statement
    // still runs a while after it was, the link itself is cut (its socket shut down) so that the waiting
    // thread returns at once with an error. After a cut the connection can send nothing more (linkCut()).
    // Asked between two statements of the main thread, it stops the next one before it is sent. Any
    // statement sent after a stop waits until its KILL has been sent or given up, so a late KILL never
    // reaches a later statement.
    void requestStop();
    // The operation that asked for a stop has ended: a stop still waiting for its next statement is
    // dropped.
    void forgetStop();
    bool linkCut() const { return m_linkCut.load(); }
    // A new connection to exactly the server this one reached, as the same user with the same options,
    // without a default database, giving up after timeoutSeconds to connect and to read an answer: to the
    // address the link is connected to (Stopper::peerOf), no name resolved again and no other way tried.
    // Under 検証 the certificate has to name the server as the user wrote it: the name is used, and the
    // sibling is taken only when it reached that same address. nullptr when it cannot be had.
    st_mysql *openSibling(unsigned int timeoutSeconds) const;
    // While a thread holds the connection (the query window reads a result on a thread of its own), a
    // statement from any other thread is refused with error 2014 instead of being mixed into the
    // conversation on the same link. A default id releases it.
    void setOwnerThread(std::thread::id id);
    // Another thread than the caller's holds the connection.
    bool isOwnedByAnotherThread() const;
    // What a statement refused that way says: another window's work holds the connection.
    static QString busyText();
    // What a statement refused because its link waits for the answer to another one says.
    static QString waitingText();
    const ConnectionParams &params() const { return m_params; }
    st_mysql *handle() const { return m_mysql; }

    // Parses "key=value;..." (keys without regard to case, values in braces with "}" doubled read back
    // exactly; a bare name, or the key DSN, is a data source looked up in odbc.ini through unixODBC).
    // Throws DbError for a data source that does not exist and for a key given twice.
    static ConnectionParams parse(const QString &connectionString);

private:
    friend class Recordset;
    friend class StatementPipeline;
    // Reports the statement (sql) and its outcome to the log around run().
    std::unique_ptr<Recordset> logged(const QString &sql, const QByteArray &text, bool streaming);
    // Sends without logging; *affected gets the rows changed by a statement without an answer.
    std::unique_ptr<Recordset> run(const QByteArray &text, bool streaming, qint64 *affected);
    // Throws when no statement may go out on the link now (another thread holds it, it waits for another
    // answer); else readies it for one.
    void readyToSend();
    // While the answer to a statement is awaited, it is the one a stop is meant for (stopper.cpp).
    struct Awaited
    {
        Awaited(Connection &c, const QByteArray &text);
        ~Awaited();
        Awaited(const Awaited &) = delete;
        Awaited &operator=(const Awaited &) = delete;
        Connection &connection;
        const bool owned;
        const unsigned long long generation;
    };
    // Takes the answer whose first packet the link has read: its rows, or nullptr (then *affected).
    std::unique_ptr<Recordset> takeAnswer(bool streaming, qint64 *affected, const Awaited &awaited);
    // The rows a statement's outcome reports: those of its buffered answer, else those it changed.
    static qint64 rowsOf(const Recordset *rs, qint64 affected);
    [[noreturn]] void fail() const;
    // Reads and frees the further results of the last statement (a procedure's CALL brings them), so the
    // link is free for the next one. False at an error among them (then in mysql_errno).
    bool dropMoreResults();

    StatementLog *m_log;
    st_mysql *m_mysql = nullptr;
    QString m_connectionString;
    QString m_expanded;
    ConnectionParams m_params;
    TlsMode m_tls = TlsMode::Preferred;
    QString m_tlsCa;
    std::atomic<std::thread::id> m_ownerThread{};
    ConnectionEndpoint m_endpoint;
    // The pipeline whose statements go out on this link now: a statement sent meanwhile (by a window
    // event while its answers are read) first has it read the answers on their way, or it would be
    // answered with theirs.
    std::atomic<StatementPipeline *> m_pipeline{nullptr};

    // requestStop (stopper.cpp): the thread that sends KILL QUERY and may cut the link, and what it waits
    // on. A statement's generation counts each owner thread's hold and each statement of an unowned link.
    void joinStopper();
    void waitForStopper() const;
    bool statementRunning(unsigned long long generation) const;
    // Before each statement: waits for an earlier stop, and fails the statement a stop was asked for.
    void refuseIfStopped();
    // Around each statement: it is the one a stop reaches (its generation; an owner thread's statements
    // share the owner's) until its answer has come.
    unsigned long long beginStatement(const QByteArray &text, bool owned);
    void endStatement(bool owned);
    // A statement of the main thread that answered with rows fails as interrupted when a stop delivered
    // its KILL: the server reports the interruption of CHECK, OPTIMIZE or REPAIR TABLE in their rows.
    // (A statement without rows that was interrupted fails by itself; one that answered OK has done its
    // work, whatever KILL came after.)
    void failIfKilled(unsigned long long generation, bool owned);
    Stopper::Found sendKill(unsigned long id, const QByteArray &statement) const;
    ConnectionEndpoint m_peer; // where the link is connected to (Stopper::peerOf)
    mutable std::mutex m_ownerMutex;
    mutable std::condition_variable m_ownerReleased;
    unsigned long long m_ownerGeneration = 0;
    QByteArray m_statement; // the last statement sent, as the server's process list shows it
    bool m_inFlight = false; // a statement of an unowned link waits for its answer
    unsigned long long m_killedGeneration = 0;   // the last statement a KILL was delivered to
    unsigned long long m_stoppingGeneration = 0; // the statement the stop under way is for
    std::thread m_stopper;
    std::atomic<bool> m_stopperDone{true};
    std::atomic<bool> m_stopNext{false};
    std::atomic<bool> m_linkCut{false};
};
