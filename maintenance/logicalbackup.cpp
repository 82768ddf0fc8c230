#include "maintenance/logicalbackup.h"

#include "core/connection.h"
#include "core/recordset.h"
#include "core/sqltext.h"
#include "maintenance/sqlscript.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

std::runtime_error fileError(const QFile &file)
{
    return std::runtime_error((file.fileName() + QStringLiteral(": ") + file.errorString()).toStdString());
}

void flush(QFile &file, QByteArray &out)
{
    if (out.isEmpty())
        return;
    if (file.write(out) != out.size())
        throw fileError(file);
    out.clear();
}

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

const QByteArray ViewMarker = "-- Kind: VIEW";

// Names in the files are always quoted: a file may be loaded into a server that reserves more words.
QString backtick(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + quoted + QLatin1Char('`');
}

} // namespace

DefaultDatabase::DefaultDatabase(Connection &db, const QString &database) : m_db(db)
{
    auto rs = m_db.Execute(QStringLiteral("select database()"));
    if (rs && !rs->Eof() && !rs->IsNull(0))
        m_previous = rs->Value(0);
    if (m_previous != database) {
        m_db.Execute(QStringLiteral("use ") + SqlText::quoteName(database));
        m_switched = true;
    }
}

DefaultDatabase::~DefaultDatabase()
{
    // Without a database before, there is none to go back to: the connection stays where it is.
    if (!m_switched || m_previous.isEmpty())
        return;
    try {
        m_db.Execute(QStringLiteral("use ") + SqlText::quoteName(m_previous));
    } catch (const std::exception &) {
    }
}

SessionSettings::SessionSettings(Connection &db) : m_db(db)
{
    auto rs = m_db.Execute(QStringLiteral("select @@session.foreign_key_checks, @@session.unique_checks,"
                                          " @@session.sql_mode, @@session.time_zone"));
    if (rs && !rs->Eof()) {
        for (int i = 0; i < 4; ++i)
            m_values << rs->Value(i);
    }
}

SessionSettings::~SessionSettings()
{
    if (m_values.size() != 4)
        return;
    try {
        m_db.Execute(QStringLiteral("set foreign_key_checks = ") + QString::number(m_values[0].toInt())
                     + QStringLiteral(", unique_checks = ") + QString::number(m_values[1].toInt())
                     + QStringLiteral(", sql_mode = '") + m_db.escape(m_values[2])
                     + QStringLiteral("', time_zone = '") + m_db.escape(m_values[3]) + QLatin1Char('\''));
    } catch (const std::exception &) {
    }
}

ValueKind valueKindOf(const QString &dataType)
{
    static const QStringList numbers = {
        QStringLiteral("tinyint"), QStringLiteral("smallint"), QStringLiteral("mediumint"),
        QStringLiteral("int"),     QStringLiteral("integer"),  QStringLiteral("bigint"),
        QStringLiteral("decimal"), QStringLiteral("numeric"),  QStringLiteral("float"),
        QStringLiteral("double"),  QStringLiteral("real"),     QStringLiteral("year")};
    static const QStringList binaries = {
        QStringLiteral("binary"),     QStringLiteral("varbinary"),       QStringLiteral("tinyblob"),
        QStringLiteral("blob"),       QStringLiteral("mediumblob"),      QStringLiteral("longblob"),
        QStringLiteral("bit"),        QStringLiteral("geometry"),        QStringLiteral("point"),
        QStringLiteral("linestring"), QStringLiteral("polygon"),         QStringLiteral("multipoint"),
        QStringLiteral("multilinestring"), QStringLiteral("multipolygon"),
        QStringLiteral("geometrycollection")};
    const QString type = dataType.toLower();
    if (numbers.contains(type))
        return ValueKind::Number;
    if (binaries.contains(type))
        return ValueKind::Binary;
    return ValueKind::Text;
}

void appendQuoted(QByteArray &out, const char *data, qsizetype length)
{
    // Runs of ordinary bytes are copied at once; only the few special ones are looked at.
    static const auto special = [] {
        std::array<char, 256> table{};
        table[0] = '0';
        table['\n'] = 'n';
        table['\r'] = 'r';
        table['\\'] = '\\';
        table['\''] = '\'';
        table['"'] = '"';
        table[0x1a] = 'Z';
        return table;
    }();
    out.append('\'');
    qsizetype start = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const char escape = special[static_cast<unsigned char>(data[i])];
        if (escape) {
            out.append(data + start, i - start);
            out.append('\\');
            out.append(escape);
            start = i + 1;
        }
    }
    out.append(data + start, length - start);
    out.append('\'');
}

void appendHex(QByteArray &out, const char *data, qsizetype length)
{
    if (length == 0) {
        out.append("''", 2);
        return;
    }
    static const char digits[] = "0123456789ABCDEF";
    const qsizetype at = out.size();
    out.resize(at + 2 + 2 * length);
    char *p = out.data() + at;
    *p++ = '0';
    *p++ = 'x';
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        *p++ = digits[byte >> 4];
        *p++ = digits[byte & 15];
    }
}

LogicalBackup::LogicalBackup(Connection &db, const QString &database)
    : m_db(db)
    , m_database(database)
    , m_default(db, database)
{
    auto rs = m_db.Execute(QStringLiteral("select @@session.time_zone"));
    if (rs && !rs->Eof())
        m_timeZone = rs->Value(0);
    rs.reset();
    m_db.Execute(QStringLiteral("set time_zone = '+00:00'"));
}

LogicalBackup::~LogicalBackup()
{
    if (m_timeZone.isEmpty())
        return;
    try {
        m_db.Execute(QStringLiteral("set time_zone = '") + m_db.escape(m_timeZone) + QLatin1Char('\''));
    } catch (const std::exception &) {
    }
}

QString LogicalBackup::firstExisting(const QStringList &paths)
{
    for (const QString &path : paths)
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            return path;
    return QString();
}

bool LogicalBackup::holdsView(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    for (int i = 0; i < 8 && !file.atEnd(); ++i) {
        if (file.readLine(256).trimmed() == ViewMarker)
            return true;
    }
    return false;
}

void LogicalBackup::write(const QString &table, const QString &path)
{
    const QString qualified = SqlText::qualified(m_database, table);
    const QString quoted = backtick(table);
    QString createText;
    bool view = false;
    {
        auto rs = m_db.Execute(QStringLiteral("show create table ") + qualified);
        if (!rs || rs->Eof())
            throw std::runtime_error("the server gave no definition");
        view = rs->FieldName(0).trimmed() == QLatin1String("View");
        createText = rs->Value(1);
    }
    QString version;
    {
        auto rs = m_db.Execute(QStringLiteral("select version()"));
        if (rs && !rs->Eof())
            version = rs->Value(0);
    }

    // NewOnly: an existing file is never overwritten, even one that appeared since the check.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw fileError(file);
    try {
        QByteArray out;
        out.reserve(BatchBytes + (1 << 16));
        out += "-- Tablora logical backup\n";
        out += "-- " + utf8(view ? QStringLiteral("View ") : QStringLiteral("Table ")) + commentText(quoted)
            + " of database " + commentText(backtick(m_database)) + "\n";
        out += view ? ViewMarker : QByteArray("-- Kind: TABLE");
        out += "\n-- Server " + utf8(version) + ", written "
            + utf8(QDateTime::currentDateTime().toString(Qt::ISODate)) + "\n";
        out += "-- Load it with the command-line client: mariadb <database> < "
            + commentText(QFileInfo(path).fileName()) + "\n\n";
        out += "SET NAMES utf8mb4;\n"
               "SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=0;\n"
               "SET @OLD_UNIQUE_CHECKS=@@UNIQUE_CHECKS, UNIQUE_CHECKS=0;\n"
               "SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO';\n"
               "SET @OLD_TIME_ZONE=@@TIME_ZONE, TIME_ZONE='+00:00';\n\n";
        out += "DROP TABLE IF EXISTS " + utf8(quoted) + ";\n";
        if (view)
            out += "DROP VIEW IF EXISTS " + utf8(quoted) + ";\n";
        out += utf8(createText) + ";\n\n";
        if (!view) {
            writeRows(file, out, table);
            // After the rows, so that loading them does not fire the triggers again.
            writeTriggers(out, table);
        }
        out += "\nSET TIME_ZONE=@OLD_TIME_ZONE;\n"
               "SET SQL_MODE=@OLD_SQL_MODE;\n"
               "SET UNIQUE_CHECKS=@OLD_UNIQUE_CHECKS;\n"
               "SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS;\n"
               "-- End of backup\n";
        flush(file, out);
        if (!file.flush())
            throw fileError(file);
        file.close();
        if (file.error() != QFileDevice::NoError)
            throw fileError(file);
    } catch (...) {
        file.close();
        file.remove();
        throw;
    }
}

void LogicalBackup::writeRows(QFile &file, QByteArray &out, const QString &table)
{
    // The stored columns in the table's order; generated ones are computed again by the server.
    QStringList names;
    std::vector<ValueKind> kinds;
    {
        auto rs = m_db.Execute(
            QStringLiteral("select COLUMN_NAME, DATA_TYPE, EXTRA from information_schema.COLUMNS "
                           "where TABLE_SCHEMA = '")
            + m_db.escape(m_database) + QStringLiteral("' and TABLE_NAME = '") + m_db.escape(table)
            + QStringLiteral("' order by ORDINAL_POSITION"));
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            if (rs->Value(2).contains(QLatin1String("GENERATED"), Qt::CaseInsensitive))
                continue;
            names << backtick(rs->Value(0));
            kinds.push_back(valueKindOf(rs->Value(1)));
        }
    }
    if (names.isEmpty())
        return;
    const QByteArray head = "INSERT INTO " + utf8(backtick(table)) + " ("
        + utf8(names.join(QLatin1Char(','))) + ") VALUES\n";

    auto rs = m_db.ExecuteStreaming(QStringLiteral("select ") + names.join(QLatin1Char(','))
                                    + QStringLiteral(" from ") + SqlText::qualified(m_database, table));
    const int columns = int(kinds.size());
    bool open = false;              // an INSERT statement is open in the output
    qsizetype statementBytes = 0;   // its size so far
    while (rs && !rs->Eof()) {
        const qsizetype before = out.size();
        if (!open) {
            out += head;
            out += '(';
            open = true;
            statementBytes = 0;
        } else {
            out += ",\n(";
        }
        for (int c = 0; c < columns; ++c) {
            if (c)
                out += ',';
            unsigned long length = 0;
            const char *value = rs->RawValue(c, &length);
            if (!value)
                out.append("NULL", 4);
            else if (kinds[c] == ValueKind::Number)
                out.append(value, qsizetype(length));
            else if (kinds[c] == ValueKind::Binary)
                appendHex(out, value, qsizetype(length));
            else
                appendQuoted(out, value, qsizetype(length));
        }
        out += ')';
        statementBytes += out.size() - before;
        ++m_rows;
        rs->MoveNext();
        if (statementBytes >= BatchBytes) {
            out += ";\n";
            open = false;
        }
        // The buffer stays bounded; an open statement simply goes on in the file.
        if (out.size() >= BatchBytes)
            flush(file, out);
    }
    if (open)
        out += ";\n";
}

bool isUtf8File(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true; // reading it is left to the run, which reports the file's own error
    QStringDecoder decoder(QStringDecoder::Utf8);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const qint64 got = file.read(buffer.data(), qint64(buffer.size()));
        if (got <= 0)
            break;
        // A sequence cut at a piece's end is carried over to the next piece. The decoder only works when
        // its result is taken.
        const QString text = decoder.decode(QByteArrayView(buffer.data(), got));
        if (decoder.hasError())
            return false;
    }
    return true;
}

QByteArray commentText(const QString &text)
{
    QString line = text;
    for (QChar &c : line)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return line.toUtf8();
}

void LogicalBackup::writeTriggers(QByteArray &out, const QString &table)
{
    // Dropping the table dropped its triggers: the backup brings them back, in their order of firing.
    QStringList names;
    {
        auto rs = m_db.Execute(
            QStringLiteral("select TRIGGER_NAME from information_schema.TRIGGERS"
                           " where EVENT_OBJECT_SCHEMA = '")
            + m_db.escape(m_database) + QStringLiteral("' and EVENT_OBJECT_TABLE = '") + m_db.escape(table)
            + QStringLiteral("' order by EVENT_MANIPULATION, ACTION_TIMING, ACTION_ORDER"));
        for (; rs && !rs->Eof(); rs->MoveNext())
            names << rs->Value(0);
    }
    for (const QString &name : names) {
        auto rs =
            m_db.Execute(QStringLiteral("show create trigger ") + SqlText::qualified(m_database, name));
        const int text = rs ? rs->FieldIndex(QStringLiteral("SQL Original Statement")) : -1;
        if (!rs || rs->Eof() || text < 0 || rs->IsNull(text))
            throw std::runtime_error("the server gave no definition of a trigger");
        // Each trigger is made under the sql_mode it was made with; the file's end sets the mode back.
        out += "SET SQL_MODE='" + utf8(m_db.escape(rs->Value(QStringLiteral("sql_mode")))) + "';\n";
        out += "DELIMITER ;;\n" + utf8(rs->Value(text)) + " ;;\nDELIMITER ;\n";
    }
}

void runSqlFile(Connection &db, const QString &path, const std::function<void()> &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(file);
    SqlScriptSplitter splitter([&](const QByteArray &statement) {
        db.Execute(QString::fromUtf8(statement));
        if (progress)
            progress();
    });
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const qint64 got = file.read(buffer.data(), qint64(buffer.size()));
        if (got < 0)
            throw fileError(file);
        if (got == 0)
            break;
        splitter.feed(buffer.data(), got);
    }
    splitter.finish();
}
