#include "maintenance/scripteffects.h"

#include <QStringList>

namespace ScriptEffects {

namespace {

// Executable comments for versions this high are never run (the dump tools mark lines for their own
// client that way, "/*M!999999\- enable the sandbox mode */").
constexpr long NeverRunVersion = 900000;

struct Token
{
    enum class Type { End, Word, Quoted, String, Punct };
    Type type = Type::End;
    QString value;   // a word in upper case, a name without its quotes, a punctuation character
    QString written; // as in the statement
};

bool wordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c.unicode() >= 0x80;
}

// Reads the tokens of a statement's start.
class Reader
{
public:
    explicit Reader(const QString &text) : m_text(text) {}

    Token next()
    {
        skipBlanks();
        Token token;
        if (m_at >= m_text.size())
            return token;
        const qsizetype from = m_at;
        const QChar c = m_text[m_at];
        if (c == QLatin1Char('`') || c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            token.type = c == QLatin1Char('\'') ? Token::Type::String : Token::Type::Quoted;
            ++m_at;
            while (m_at < m_text.size()) {
                const QChar d = m_text[m_at++];
                if (d == QLatin1Char('\\') && c != QLatin1Char('`') && m_at < m_text.size()) {
                    token.value += m_text[m_at++];
                } else if (d == c) {
                    if (m_at < m_text.size() && m_text[m_at] == c) {
                        token.value += c;
                        ++m_at;
                    } else {
                        break;
                    }
                } else {
                    token.value += d;
                }
            }
        } else if (wordChar(c)) {
            token.type = Token::Type::Word;
            while (m_at < m_text.size() && wordChar(m_text[m_at]))
                ++m_at;
            token.value = m_text.mid(from, m_at - from).toUpper();
        } else {
            token.type = Token::Type::Punct;
            token.value = c;
            ++m_at;
        }
        token.written = m_text.mid(from, m_at - from);
        return token;
    }

    Token peek()
    {
        const qsizetype at = m_at;
        const Token token = next();
        m_at = at;
        return token;
    }

    // The next token if it is this word.
    bool take(const char *word)
    {
        const Token token = peek();
        if (token.type != Token::Type::Word || token.value != QLatin1String(word))
            return false;
        next();
        return true;
    }

    // A name, qualified or not; false when the next token is none.
    bool name(ObjectName &object)
    {
        const Token first = peek();
        if (first.type != Token::Type::Word && first.type != Token::Type::Quoted)
            return false;
        next();
        object = {QString(), first.type == Token::Type::Word ? first.written : first.value, first.written};
        const Token dot = peek();
        if (dot.type == Token::Type::Punct && dot.value == QLatin1String(".")) {
            next();
            const Token second = next();
            if (second.type != Token::Type::Word && second.type != Token::Type::Quoted)
                return false;
            object.database = object.name;
            object.name = second.type == Token::Type::Word ? second.written : second.value;
            object.written += QLatin1Char('.') + second.written;
        }
        return true;
    }

    // Names separated by commas.
    QList<ObjectName> names()
    {
        QList<ObjectName> list;
        ObjectName object;
        while (name(object)) {
            list << object;
            const Token comma = peek();
            if (comma.type != Token::Type::Punct || comma.value != QLatin1String(","))
                break;
            next();
        }
        return list;
    }

private:
    void skipBlanks()
    {
        while (m_at < m_text.size()) {
            const QChar c = m_text[m_at];
            if (c.isSpace()) {
                ++m_at;
            } else if (m_text.mid(m_at, 2) == QLatin1String("*/")) {
                m_at += 2; // the end of an executable comment
            } else if (m_text.mid(m_at, 2) == QLatin1String("/*")) {
                skipComment();
            } else if (c == QLatin1Char('#') || m_text.mid(m_at, 3) == QLatin1String("-- ")) {
                while (m_at < m_text.size() && m_text[m_at] != QLatin1Char('\n'))
                    ++m_at;
            } else {
                return;
            }
        }
    }

    // At "/*": an executable comment ("/*!", "/*M!" and a version) is read as text unless its version is
    // never reached; any other comment is passed over.
    void skipComment()
    {
        qsizetype at = m_at + 2;
        if (at < m_text.size() && m_text[at] == QLatin1Char('M'))
            ++at;
        if (at < m_text.size() && m_text[at] == QLatin1Char('!')) {
            ++at;
            const qsizetype digits = at;
            while (at < m_text.size() && m_text[at].isDigit())
                ++at;
            if (m_text.mid(digits, at - digits).toLong() < NeverRunVersion) {
                m_at = at;
                return;
            }
        }
        const qsizetype end = m_text.indexOf(QLatin1String("*/"), m_at + 2);
        m_at = end < 0 ? m_text.size() : end + 2;
    }

    QString m_text;
    qsizetype m_at = 0;
};

const QStringList ObjectTypes = {
    QStringLiteral("TABLE"),    QStringLiteral("VIEW"),      QStringLiteral("TRIGGER"),
    QStringLiteral("PROCEDURE"), QStringLiteral("FUNCTION"), QStringLiteral("EVENT"),
    QStringLiteral("DATABASE"), QStringLiteral("SCHEMA"),    QStringLiteral("INDEX"),
    QStringLiteral("SEQUENCE"), QStringLiteral("USER"),      QStringLiteral("ROLE"),
    QStringLiteral("SERVER"),   QStringLiteral("PACKAGE"),   QStringLiteral("TABLESPACE"),
    QStringLiteral("LOGFILE"),  QStringLiteral("INSTANCE")};

// Passes over the options before the object type (DEFINER = …, ALGORITHM = …, SQL SECURITY …, ONLINE,
// IGNORE, TEMPORARY is reported); the type, or empty text.
QString objectType(Reader &reader, bool &temporary)
{
    for (int i = 0; i < 16; ++i) {
        const Token token = reader.next();
        if (token.type == Token::Type::End)
            return QString();
        if (token.type != Token::Type::Word)
            continue;
        if (token.value == QLatin1String("TEMPORARY"))
            temporary = true;
        if (ObjectTypes.contains(token.value))
            return token.value == QLatin1String("SCHEMA") ? QStringLiteral("DATABASE") : token.value;
    }
    return QString();
}

void skipIfExists(Reader &reader)
{
    const Token token = reader.peek();
    if (token.type == Token::Type::Word && token.value == QLatin1String("IF")) {
        reader.next();
        reader.take("NOT");
        reader.take("EXISTS");
    }
}

QString writtenNames(const QList<ObjectName> &objects)
{
    QStringList names;
    for (const ObjectName &object : objects)
        names << object.written;
    return names.join(QStringLiteral(", "));
}

Effect destroy(const QString &action, const QString &type, const QList<ObjectName> &objects)
{
    Effect effect{Effect::Kind::Destroy, type, objects, QString()};
    effect.text = action + QLatin1Char(' ') + type;
    if (!objects.isEmpty())
        effect.text += QLatin1Char(' ') + writtenNames(objects);
    return effect;
}

// The start of the statement on one line, for a statement whose objects cannot be read.
QString startOf(const QString &text)
{
    const QString line = text.simplified();
    return line.size() <= 80 ? line : line.left(80) + QStringLiteral("…");
}

Effect create(Reader &reader)
{
    const bool replace = reader.take("OR") && reader.take("REPLACE");
    bool temporary = false;
    QString type = objectType(reader, temporary);
    if (type.isEmpty() || temporary)
        return {};
    skipIfExists(reader);
    QList<ObjectName> objects;
    ObjectName object;
    if (reader.name(object))
        objects << object;
    if (type == QLatin1String("INDEX")) {
        // An index replaced changes its table.
        if (!replace)
            return {};
        objects.clear();
        while (reader.peek().type != Token::Type::End && !reader.take("ON"))
            reader.next();
        if (reader.name(object))
            objects << object;
        return destroy(QStringLiteral("CREATE OR REPLACE INDEX ON"), QStringLiteral("TABLE"), objects);
    }
    if (replace)
        return destroy(QStringLiteral("CREATE OR REPLACE"), type, objects);
    if (objects.isEmpty())
        return {};
    return {Effect::Kind::Create, type, objects, type + QLatin1Char(' ') + objects.first().written};
}

Effect drop(Reader &reader)
{
    bool temporary = false;
    const QString type = objectType(reader, temporary);
    if (temporary)
        return {};
    if (type.isEmpty())
        return {Effect::Kind::Destroy, QStringLiteral("?"), {}, QString()};
    skipIfExists(reader);
    if (type == QLatin1String("INDEX")) {
        ObjectName index;
        reader.name(index);
        QList<ObjectName> objects;
        if (reader.take("ON"))
            objects = reader.names();
        return destroy(QStringLiteral("DROP INDEX ") + index.written + QStringLiteral(" ON"),
                       QStringLiteral("TABLE"), objects);
    }
    if (type == QLatin1String("DATABASE")) {
        ObjectName database;
        QList<ObjectName> objects;
        if (reader.name(database))
            objects << ObjectName{database.name, QString(), database.written};
        return destroy(QStringLiteral("DROP"), type, objects);
    }
    return destroy(QStringLiteral("DROP"), type, reader.names());
}

Effect deleteFrom(Reader &reader)
{
    while (reader.take("LOW_PRIORITY") || reader.take("QUICK") || reader.take("IGNORE")) {
    }
    if (!reader.take("FROM"))
        return {Effect::Kind::Destroy, QStringLiteral("TABLE"), {}, QString()};
    ObjectName table;
    if (!reader.name(table))
        return {Effect::Kind::Destroy, QStringLiteral("TABLE"), {}, QString()};
    // One table, maybe with an alias; a list or USING names several, some by alias only.
    const Token after = reader.peek();
    if ((after.type == Token::Type::Punct && after.value == QLatin1String(","))
        || (after.type == Token::Type::Word && after.value == QLatin1String("USING")))
        return {Effect::Kind::Destroy, QStringLiteral("TABLE"), {}, QString()};
    return {Effect::Kind::Destroy, QStringLiteral("TABLE"), {table},
            QStringLiteral("DELETE FROM ") + table.written};
}

Effect rename(Reader &reader)
{
    if (!reader.take("TABLE") && !reader.take("TABLES"))
        return {Effect::Kind::Destroy, QStringLiteral("?"), {}, QString()};
    // a TO b, c TO d: the tables renamed away are the ones that go.
    QList<ObjectName> renamed;
    ObjectName from, to;
    for (;;) {
        skipIfExists(reader);
        if (!reader.name(from) || !reader.take("TO") || !reader.name(to))
            return {Effect::Kind::Destroy, QStringLiteral("TABLE"), {}, QString()};
        renamed << from;
        const Token comma = reader.peek();
        if (comma.type != Token::Type::Punct || comma.value != QLatin1String(","))
            break;
        reader.next();
    }
    return destroy(QStringLiteral("RENAME"), QStringLiteral("TABLE"), renamed);
}

Effect alter(Reader &reader)
{
    bool temporary = false;
    const QString type = objectType(reader, temporary);
    if (type.isEmpty())
        return {Effect::Kind::Destroy, QStringLiteral("?"), {}, QString()};
    skipIfExists(reader);
    QList<ObjectName> objects;
    ObjectName object;
    if (reader.name(object))
        objects << (type == QLatin1String("DATABASE")
                        ? ObjectName{object.name, QString(), object.written}
                        : object);
    if (type == QLatin1String("DATABASE") && objects.isEmpty())
        objects << ObjectName{}; // the default database
    // Swapping a partition with another table (EXCHANGE PARTITION, CONVERT TABLE/PARTITION) changes a
    // table the statement names further on: not judged.
    for (Token token = reader.next(); token.type != Token::Type::End; token = reader.next()) {
        if (token.type != Token::Type::Word)
            continue;
        const Token after = reader.peek();
        if (token.value == QLatin1String("EXCHANGE")
            || (token.value == QLatin1String("CONVERT") && after.type == Token::Type::Word
                && (after.value == QLatin1String("TABLE") || after.value == QLatin1String("PARTITION"))))
            return {Effect::Kind::Destroy, type, {}, QString()};
    }
    return destroy(QStringLiteral("ALTER"), type, objects);
}

}

Effect effectOf(const QByteArray &statement)
{
    // The start is enough to name what a statement works on; a list of names longer than that start
    // cannot be read whole, so such a statement is not judged.
    constexpr qsizetype Start = 65536;
    const QString text = QString::fromUtf8(statement.left(Start));
    Reader reader(text);
    const Token first = reader.next();
    if (first.type != Token::Type::Word)
        return {};
    Effect effect;
    if (first.value == QLatin1String("USE")) {
        ObjectName database;
        if (!reader.name(database))
            return {};
        return {Effect::Kind::Use, QStringLiteral("DATABASE"), {{database.name, QString(), database.written}},
                QString()};
    }
    if (first.value == QLatin1String("CREATE"))
        effect = create(reader);
    else if (first.value == QLatin1String("DROP"))
        effect = drop(reader);
    else if (first.value == QLatin1String("TRUNCATE")) {
        reader.take("TABLE");
        effect = destroy(QStringLiteral("TRUNCATE"), QStringLiteral("TABLE"), reader.names());
    } else if (first.value == QLatin1String("DELETE"))
        effect = deleteFrom(reader);
    else if (first.value == QLatin1String("RENAME"))
        effect = rename(reader);
    else if (first.value == QLatin1String("ALTER"))
        effect = alter(reader);
    else {
        // Statements whose effect is not in their start cannot be judged: a procedure's CALL, dynamic
        // statements (PREPARE, EXECUTE), a compound block (BEGIN NOT ATOMIC, one behind a label) and a
        // statement behind WITH can each drop or delete anything.
        const Token second = reader.peek();
        const bool block = first.value == QLatin1String("BEGIN") && second.type == Token::Type::Word
                           && second.value != QLatin1String("WORK");
        const bool labelled = second.type == Token::Type::Punct && second.value == QLatin1String(":");
        if (block || labelled || first.value == QLatin1String("CALL") || first.value == QLatin1String("PREPARE")
            || first.value == QLatin1String("EXECUTE") || first.value == QLatin1String("WITH"))
            effect = {Effect::Kind::Destroy, first.value, {}, QString()};
    }
    if (effect.kind == Effect::Kind::Destroy && statement.size() > Start)
        effect.objects.clear();
    if (effect.kind == Effect::Kind::Destroy && (effect.objects.isEmpty() || effect.text.isEmpty()))
        effect.text = startOf(text);
    return effect;
}

}
