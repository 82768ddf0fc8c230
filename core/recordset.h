#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

struct st_mysql;
struct st_mysql_res;

// Rows of one statement's answer, walked forward only: while !Eof() read the fields, then MoveNext().
// Values are the server's text form (UTF-8); a null is its own state, told apart from an empty text.
// A buffered recordset holds the whole answer, so the connection is free for further statements while it
// is walked. A streaming one (Connection::ExecuteStreaming) reads each row as it arrives: memory stays at
// one row, and the connection is busy until the recordset is closed or at its end.
class Recordset
{
public:
    ~Recordset();
    Recordset(const Recordset &) = delete;
    Recordset &operator=(const Recordset &) = delete;

    // (Named Eof: EOF is a macro of the C library.)
    bool Eof() const { return m_eof; }
    void MoveNext();

    int FieldCount() const { return int(m_names.size()); }
    QString FieldName(int index) const { return m_names.value(index); }
    const QStringList &FieldNames() const { return m_names; }
    // Position of a column by name without regard to case, or -1.
    int FieldIndex(const QString &name) const;

    bool IsNull(int index) const;
    bool IsNull(const QString &name) const;
    // The value as text; a null reads as empty text (test IsNull first where it matters).
    QString Value(int index) const;
    QString Value(const QString &name) const;
    std::optional<QString> Field(int index) const;
    // The raw bytes of the current row's value, without copying: nullptr for a null.
    const char *RawValue(int index, unsigned long *length) const;

    // 1 while open, 0 once closed.
    int State() const { return m_open ? 1 : 0; }
    // Releases the answer. A streaming result closed before its end is cancelled on the server, not read.
    void Close();

private:
    friend class Connection;
    Recordset() = default;
    void fetch();
    // Tells the statement log how a streaming answer ended (once).
    void finishLog(unsigned int error);
    const char *cell(int index, unsigned long *length) const;

    class Connection *m_owner = nullptr;
    st_mysql_res *m_result = nullptr;
    bool m_streaming = false;
    bool m_open = false;
    bool m_eof = true;
    QStringList m_names;
    char **m_row = nullptr;
    unsigned long *m_lengths = nullptr;
    class StatementLog *m_log = nullptr;
    quint64 m_logId = 0;
    qint64 m_rowsRead = 0;
    QElapsedTimer m_logTimer;
};

// Closes (when open) and drops a recordset, whatever state it is in and whatever the close throws.
void closeQuietly(std::unique_ptr<Recordset> &rs);
