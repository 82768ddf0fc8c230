#include "maintenance/sqlscript.h"

namespace {
bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
}

void SqlScriptSplitter::emitStatement()
{
    qsizetype from = 0;
    qsizetype to = m_statement.size();
    while (from < to && blank(m_statement[from]))
        ++from;
    while (to > from && blank(m_statement[to - 1]))
        --to;
    if (to > from)
        m_sink(m_statement.mid(from, to - from));
    m_statement.clear();
    m_lineStart = true;
    m_blank = true;
}

namespace {
const QByteArray Command = "delimiter";

// Whether the text read so far at a statement's start can still become a DELIMITER command: a prefix of
// the word, or the word followed by a blank.
bool mayBeCommand(const QByteArray &line)
{
    if (line.size() <= Command.size())
        return line.toLower() == Command.left(line.size());
    return line.left(Command.size()).toLower() == Command && blank(line[Command.size()]);
}
}

void SqlScriptSplitter::takeCandidate(char c)
{
    if (c != '\n') {
        m_pendingLine += c;
        if (mayBeCommand(m_pendingLine))
            return;
    } else if (m_pendingLine.size() > Command.size() && mayBeCommand(m_pendingLine)) {
        // A whole DELIMITER line.
        const QByteArray delimiter = m_pendingLine.mid(Command.size() + 1).trimmed();
        m_pendingLine.clear();
        m_inDelimiterCandidate = false;
        if (!delimiter.isEmpty())
            m_delimiter = delimiter;
        return;
    } else {
        m_pendingLine += c;
    }
    // Not a command: the few characters read are ordinary text, read again as such. They cannot start
    // another command (the first one is marked), so this goes no deeper than one level.
    m_inDelimiterCandidate = false;
    const QByteArray again = m_pendingLine;
    m_pendingLine.clear();
    m_notCommand = true;
    const bool wholeLines = m_wholeLines;
    m_wholeLines = true;
    feed(again.constData(), again.size());
    m_wholeLines = wholeLines;
}

void SqlScriptSplitter::feed(const char *data, qsizetype size)
{
    if (!m_carry.isEmpty()) {
        const QByteArray joined = m_carry + QByteArray(data, size);
        m_carry.clear();
        feed(joined.constData(), joined.size());
        return;
    }
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (m_inDelimiterCandidate) {
            takeCandidate(c);
            continue;
        }
        const bool notCommand = m_notCommand;
        m_notCommand = false;
        switch (m_state) {
        case State::Normal:
            if (m_lineStart && m_blank && !notCommand && (c == 'd' || c == 'D')) {
                // A DELIMITER command stands on a line of its own at a statement's start.
                m_inDelimiterCandidate = true;
                m_statement.clear();
                m_pendingLine = QByteArray(1, c);
                continue;
            }
            if (c == '#') {
                m_state = State::LineComment;
                continue;
            }
            if (c == '-') {
                if (i + 2 >= size && !m_wholeLines) {
                    // Too close to the piece's end to tell a comment: read it again with the next piece.
                    m_carry = QByteArray(data + i, size - i);
                    return;
                }
                if (i + 1 < size && data[i + 1] == '-' && (i + 2 >= size || blank(data[i + 2]))) {
                    m_state = State::LineComment;
                    ++i;
                    continue;
                }
            }
            m_statement += c;
            if (c == '\n') {
                m_lineStart = true;
                continue;
            }
            if (blank(c))
                continue;
            m_lineStart = false;
            m_blank = false;
            if (c == '\'')
                m_state = State::Single;
            else if (c == '"')
                m_state = State::Double;
            else if (c == '`')
                m_state = State::Backtick;
            else if (c == '*' && m_statement.size() >= 2 && m_statement[m_statement.size() - 2] == '/')
                m_state = State::BlockComment;
            else if (m_statement.endsWith(m_delimiter)) {
                m_statement.chop(m_delimiter.size());
                emitStatement();
            }
            break;
        case State::Single:
        case State::Double: {
            m_statement += c;
            const char quote = m_state == State::Single ? '\'' : '"';
            if (m_escape)
                m_escape = false;
            else if (c == '\\')
                m_escape = true;
            else if (c == quote)
                m_state = State::Normal;
            break;
        }
        case State::Backtick:
            m_statement += c;
            if (c == '`')
                m_state = State::Normal;
            break;
        case State::LineComment:
            if (c == '\n') {
                m_state = State::Normal;
                m_lineStart = true;
                if (!m_blank)
                    m_statement += c;
            }
            break;
        case State::BlockComment:
            m_statement += c;
            if (c == '/' && m_statement.size() >= 2 && m_statement[m_statement.size() - 2] == '*')
                m_state = State::Normal;
            break;
        }
    }
}

void SqlScriptSplitter::finish()
{
    if (!m_carry.isEmpty()) {
        // At the end of the text a lone "-" or "--" is ordinary text.
        const QByteArray rest = m_carry;
        m_carry.clear();
        for (const char c : rest) {
            m_statement += c;
            m_blank = false;
        }
    }
    if (m_inDelimiterCandidate)
        takeCandidate('\n');
    emitStatement();
    m_state = State::Normal;
    m_escape = false;
}
