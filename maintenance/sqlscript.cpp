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

void SqlScriptSplitter::takeDelimiterLine()
{
    // m_pendingLine holds a whole line that began at a statement's start.
    const QByteArray line = m_pendingLine.trimmed();
    m_pendingLine.clear();
    m_inDelimiterCandidate = false;
    if (line.size() > 9 && line.left(9).toUpper() == "DELIMITER" && blank(line[9])) {
        const QByteArray delimiter = line.mid(10).trimmed();
        if (!delimiter.isEmpty())
            m_delimiter = delimiter;
        return;
    }
    // Not a command: the line is ordinary text, read again character by character.
    m_blank = false;
    m_lineStart = false;
    const QByteArray again = line + '\n';
    m_wholeLines = true;
    feed(again.constData(), again.size());
    m_wholeLines = false;
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
            if (c == '\n')
                takeDelimiterLine();
            else
                m_pendingLine += c;
            continue;
        }
        switch (m_state) {
        case State::Normal:
            if (m_lineStart && m_blank && (c == 'd' || c == 'D')) {
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
        takeDelimiterLine();
    emitStatement();
    m_state = State::Normal;
    m_escape = false;
}
