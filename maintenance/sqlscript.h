#pragma once

#include <QByteArray>
#include <functional>

// Splits SQL text as the command-line client reads it into single statements: statements end at the
// delimiter (";" unless a DELIMITER line changes it) outside quotes, backticks and comments; line comments
// ("-- ", "#") are dropped; a statement that is only blanks is dropped. Text is fed in pieces of any size,
// so a file can be run without holding more than one statement in memory; nothing recurses, so a file of
// any length and any number of statements on one line is read alike.
class SqlScriptSplitter
{
public:
    using Sink = std::function<void(const QByteArray &statement)>;

    explicit SqlScriptSplitter(Sink sink) : m_sink(std::move(sink)) {}
    void feed(const char *data, qsizetype size);
    void feed(const QByteArray &text) { feed(text.constData(), text.size()); }
    // The text after the last delimiter, if any, is a statement too.
    void finish();

private:
    enum class State { Normal, Single, Double, Backtick, LineComment, BlockComment };
    void emitStatement();
    // One more character of a line that may be a DELIMITER command.
    void takeCandidate(char c);

    Sink m_sink;
    QByteArray m_statement;
    QByteArray m_delimiter = ";";
    State m_state = State::Normal;
    bool m_escape = false;        // the previous character was a backslash inside quotes
    bool m_lineStart = true;      // nothing but blanks since the last line break
    bool m_blank = true;          // nothing but blanks in the statement so far
    QByteArray m_pendingLine;     // a line that may be a DELIMITER command, collected while it may be one
    bool m_inDelimiterCandidate = false;
    bool m_notCommand = false;    // the next character is text read again: it starts no command
    bool m_wholeLines = false;    // the text being read ends at a line's end: no carry needed
    QByteArray m_carry;           // a "-" or "--" at the end of a piece, read again with the next one
};
