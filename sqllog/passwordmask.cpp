#include "passwordmask.h"

#include <QRegularExpression>

namespace {

// A quoted literal in either quote, with backslash escapes and doubled quotes; an unterminated one runs
// to the end of the text (it is still a password being typed).
#define LITERAL R"(('(?:[^'\\]|\\.|'')*(?:'|$)|"(?:[^"\\]|\\.|"")*(?:"|$)))"

const QRegularExpression &pattern()
{
    static const QRegularExpression re(
        QStringLiteral(R"((\bIDENTIFIED\s+(?:WITH\s+\S+\s+)?(?:BY|AS)\s+(?:PASSWORD\s+)?))" LITERAL
                       R"(|(\bPASSWORD\s*\(\s*))" LITERAL
                       R"(|(\bSET\s+PASSWORD\b(?:\s+FOR\s+[^=]+)?\s*=\s*))" LITERAL),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

} // namespace

QString maskPasswords(const QString &statement)
{
    QString out;
    qsizetype done = 0;
    auto it = pattern().globalMatch(statement);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        // Three alternatives, each a prefix group followed by its literal group.
        for (int group = 2; group <= 6; group += 2) {
            if (match.capturedStart(group) < 0)
                continue;
            const qsizetype start = match.capturedStart(group);
            const QChar quote = statement.at(start);
            out += QStringView(statement).mid(done, start - done);
            out += quote + QStringLiteral("****") + quote;
            done = match.capturedEnd(group);
        }
    }
    out += QStringView(statement).mid(done);
    return out;
}
