#include "queryrun.h"

#include "core/codepage.h"
#include "core/connection.h"
#include "core/dberror.h"
#include "core/recordset.h"
#include "querytext.h"

#include <QFile>

namespace {

constexpr int BatchRows = 2048;
constexpr qsizetype BatchBytes = 1 << 20;
constexpr std::size_t QueueLimit = 6;
constexpr qsizetype FileBlock = 1 << 20;

// Error numbers for failures that do not come from the server; never 0, so they are always reported.
constexpr unsigned int FileError = 75;
constexpr unsigned int StoppedError = 1317;

struct Stopped {};

const char NullText[] = "NULL";

}

QueryRun::QueryRun(Connection &connection, Options options, Callbacks callbacks)
    : m_connection(connection), m_options(std::move(options)), m_callbacks(std::move(callbacks))
{
}

QueryRun::~QueryRun()
{
    requestStop();
    join();
}

void QueryRun::start()
{
    // The connection belongs to the run's thread before that thread sends anything and before the window
    // thread serves any other event; the thread waits for the lock until then.
    std::lock_guard lock(m_mutex);
    m_thread = std::thread([this] {
        { std::lock_guard owned(m_mutex); }
        run();
    });
    m_connection.setOwnerThread(m_thread.get_id());
}

void QueryRun::requestStop()
{
    if (m_stop.exchange(true) || m_finished.load())
        return;
    {
        // A full queue must not keep the run from seeing the stop.
        std::lock_guard lock(m_mutex);
        m_room.notify_all();
    }
    m_connection.cancelRunningStatement();
}

void QueryRun::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<std::unique_ptr<RowBatch>> QueryRun::takeBatches()
{
    std::vector<std::unique_ptr<RowBatch>> batches;
    std::lock_guard lock(m_mutex);
    while (!m_queue.empty()) {
        batches.push_back(std::move(m_queue.front()));
        m_queue.pop_front();
    }
    m_room.notify_all();
    return batches;
}

void QueryRun::push(std::unique_ptr<RowBatch> batch)
{
    bool wasEmpty = false;
    bool stopping = false;
    {
        std::unique_lock lock(m_mutex);
        m_room.wait(lock, [this] { return m_queue.size() < QueueLimit || m_stop.load(); });
        stopping = m_stop.load();
        wasEmpty = m_queue.empty();
        // Rows read are never dropped: after a stop they still reach the grid, in step with the text.
        m_queue.push_back(std::move(batch));
    }
    if (wasEmpty && m_callbacks.batchesReady)
        m_callbacks.batchesReady();
    if (stopping)
        throw Stopped{};
}

void QueryRun::fail(unsigned int number, const QString &description)
{
    m_outcome = Outcome::Failed;
    m_errorNumber = number;
    m_errorDescription = description;
}

void QueryRun::run()
{
    std::unique_ptr<Recordset> rs;
    try {
        if (m_stop.load())
            throw Stopped{};
        rs = m_connection.ExecuteStreaming(m_options.sql);
        if (!rs || rs->State() == 0) {
            m_outcome = Outcome::NoRows;
        } else {
            m_outcome = Outcome::Rows;
            m_names = rs->FieldNames();
            if (m_callbacks.header)
                m_callbacks.header(m_names);
            if (m_options.streamed)
                runStreamed(*rs, int(m_names.size()));
            else
                runDisplayed(*rs, int(m_names.size()));
        }
    } catch (const DbError &e) {
        fail(e.number(), e.description());
    } catch (const Stopped &) {
        fail(StoppedError, QStringLiteral("処理を中断しました"));
    } catch (const std::exception &e) {
        fail(FileError, QString::fromLocal8Bit(e.what()));
    }
    // The result is closed here, on the thread that read it; a result left before its end is cancelled.
    try {
        if (rs && rs->State() == 1)
            rs->Close();
    } catch (...) {
    }
    rs.reset();
    m_connection.setOwnerThread(std::thread::id());
    m_finished.store(true);
    if (m_callbacks.finished)
        m_callbacks.finished();
}

void QueryRun::runDisplayed(Recordset &rs, int columns)
{
    const QByteArray delimiter = m_options.delimiter.toUtf8();
    m_text = std::make_unique<TextLines>();
    const QString header = QueryText::headerLine(m_names, m_options.delimiter);
    m_text->appendLine(header.toUtf8());
    m_text->appendLine(QueryText::dashLine(header));

    auto batch = std::make_unique<RowBatch>();
    batch->columns = columns;
    try {
        while (!rs.Eof()) {
            if (m_stop.load())
                throw Stopped{};
            m_text->beginLine();
            for (int j = 0; j < columns; ++j) {
                unsigned long length = 0;
                const char *value = rs.RawValue(j, &length);
                if (!value) {
                    value = NullText;
                    length = 4;
                }
                batch->offsets.push_back(static_cast<unsigned long>(batch->bytes.size()));
                batch->lengths.push_back(length);
                batch->bytes.append(value, qsizetype(length));
                m_text->appendToLine(value, length);
                if (j + 1 < columns)
                    m_text->appendToLine(delimiter);
            }
            m_text->endLine();
            ++batch->rows;
            if (batch->rows >= BatchRows || batch->bytes.size() >= BatchBytes) {
                push(std::move(batch));
                batch = std::make_unique<RowBatch>();
                batch->columns = columns;
            }
            rs.MoveNext();
        }
    } catch (...) {
        // A stop or a failure: the rows of the batch begun are in the text, so they go to the grid too.
        if (batch && batch->rows > 0) {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(batch));
        }
        throw;
    }
    if (batch->rows > 0)
        push(std::move(batch));
}

void QueryRun::runStreamed(Recordset &rs, int columns)
{
    QFile file(m_options.dumpPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(QStringLiteral("%1: %2").arg(m_options.dumpPath, file.errorString())
                                     .toLocal8Bit().toStdString());
    const bool utf8 = CodePage::isUtf8();
    const QByteArray delimiter = m_options.delimiter.toUtf8();
    QByteArray block;
    block.reserve(FileBlock + 4096);
    auto flush = [&]() {
        if (block.isEmpty())
            return;
        const QByteArray out = utf8 ? block : CodePage::fromUnicode(QString::fromUtf8(block));
        if (file.write(out) != out.size())
            throw std::runtime_error(QStringLiteral("%1: %2").arg(m_options.dumpPath, file.errorString())
                                         .toLocal8Bit().toStdString());
        block.clear();
    };
    // The header and dash lines go out with the first record: no records, an empty file.
    const QString header = QueryText::headerLine(m_names, m_options.delimiter);
    QByteArray headerLines = header.toUtf8() + "\r\n" + QueryText::dashLine(header) + "\r\n";
    long long count = 0;
    try {
        while (!rs.Eof()) {
            if (m_stop.load())
                throw Stopped{};
            if (count == 0)
                block.append(headerLines);
            for (int j = 0; j < columns; ++j) {
                unsigned long length = 0;
                const char *value = rs.RawValue(j, &length);
                if (value)
                    block.append(value, qsizetype(length));
                else
                    block.append(NullText, 4);
                if (j + 1 < columns)
                    block.append(delimiter);
            }
            block.append("\r\n", 2);
            if (block.size() >= FileBlock)
                flush();
            m_count.store(++count, std::memory_order_relaxed);
            rs.MoveNext();
        }
    } catch (...) {
        // Every record counted so far reaches the file, also when the run is stopped or fails.
        try {
            flush();
        } catch (...) {
        }
        throw;
    }
    flush();
    if (!file.flush())
        throw std::runtime_error(file.errorString().toLocal8Bit().toStdString());
    file.close();
}
