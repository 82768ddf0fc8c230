#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class Connection;

// Keeps the connection's default database on one database while it lives (so that the server's create
// texts name that database's objects without it, and a script's unqualified names land there), then goes
// back to the one before.
class DefaultDatabase
{
public:
    // always: go back to the database before also when it was the same one (a file run meanwhile may
    // have moved the connection elsewhere).
    DefaultDatabase(Connection &db, const QString &database, bool always = false);
    ~DefaultDatabase();
    DefaultDatabase(const DefaultDatabase &) = delete;
    DefaultDatabase &operator=(const DefaultDatabase &) = delete;

private:
    Connection &m_db;
    QString m_previous;
    bool m_switched = false;
    bool m_always = false;
};

// Keeps the session settings that a file of statements may change (foreign key and unique checks,
// sql_mode, time zone, autocommit, the character sets and collation of the connection) and puts them back
// when it goes, also after a file that failed halfway.
class SessionSettings
{
public:
    explicit SessionSettings(Connection &db);
    ~SessionSettings();
    SessionSettings(const SessionSettings &) = delete;
    SessionSettings &operator=(const SessionSettings &) = delete;

private:
    Connection &m_db;
    QStringList m_values;
};

// How a column's values are written into an INSERT statement.
enum class ValueKind { Number, Text, Binary };
ValueKind valueKindOf(const QString &dataType);
// A quoted literal, with the characters that could end or bend it escaped ('…' with \0 \n \r \\ \' \" \Z).
void appendQuoted(QByteArray &out, const char *data, qsizetype length);
// A hexadecimal literal (0x…), or '' for an empty value.
void appendHex(QByteArray &out, const char *data, qsizetype length);

// Writes tables of one database as files of SQL statements that the command-line client can load: a comment
// header, DROP TABLE IF EXISTS, the server's CREATE TABLE (CREATE VIEW for a view), the rows as INSERT
// statements in batches and the table's triggers, in utf8mb4. Rows are streamed from the server, so memory
// stays bounded.
// While it lives, the connection's default database is the backed-up one and its time zone is UTC (so
// TIMESTAMP values are written exactly); both are set back afterwards.
class LogicalBackup
{
public:
    // The largest INSERT statement written, in bytes (a single bigger row gets a statement of its own).
    static constexpr qsizetype BatchBytes = 1 << 20;

    LogicalBackup(Connection &db, const QString &database);
    ~LogicalBackup();
    LogicalBackup(const LogicalBackup &) = delete;
    LogicalBackup &operator=(const LogicalBackup &) = delete;

    // Writes one table or view into the file at path, which must not exist yet; a file left incomplete by a
    // failure is removed. Throws DbError for the server's errors and std::runtime_error for the file's.
    void write(const QString &table, const QString &path);
    qint64 rowsWritten() const { return m_rows; }

    // The first of the paths that exists already, or empty text.
    static QString firstExisting(const QStringList &paths);
    // Whether a file written by this class holds a view (read from its header).
    static bool holdsView(const QString &path);

private:
    void writeRows(class QFile &file, QByteArray &out, const QString &table);
    void writeTriggers(QByteArray &out, const QString &table);

    Connection &m_db;
    QString m_database;
    DefaultDatabase m_default;
    QString m_timeZone;
    qint64 m_rows = 0;
};

// What the first lines of a file say: whether it is one of the program's own backups, and the table or
// view and the database it was written from.
struct BackupHeader
{
    bool own = false;
    QString table;
    QString database;
};
BackupHeader readBackupHeader(const QString &path);

// A file of statements read through without running it: how many statements, what they create ("TABLE
// `a`", "VIEW v", …) and what they would destroy: drop, empty, delete from, rename, alter or replace.
// Memory stays at one statement. Throws std::runtime_error for the file's errors.
struct ScriptSummary
{
    qint64 statements = 0;
    QStringList creates;
    QStringList destroys; // as shown, "DROP TABLE customers", each once
    // Each object destroyed, its database read as the server would (the file's USE statements followed,
    // from `database`); a statement whose objects cannot be read gives one target without a name.
    struct Target
    {
        QString type; // TABLE, VIEW, TRIGGER, …, DATABASE
        QString database;
        QString name;
        QString text; // the statement as shown
    };
    QList<Target> targets;
};
ScriptSummary summarizeSqlFile(const QString &path, const QString &database);

// Text for a comment line of a written file: a line break inside a name would end the comment and put
// the rest of the name on a line of its own, where it would be run as a statement.
QByteArray commentText(const QString &text);

// Runs the statements of an SQL file on the connection, one by one, streaming the file.
// progress, if given, is called between statements (so pending window events can run).
void runSqlFile(Connection &db, const QString &path, const std::function<void()> &progress = {});
