#include "queryrun.h"

#include "core/codepage.h"
#include "core/connection.h"
#include "core/dberror.h"
#include "core/recordset.h"
#include "querytext.h"
#include "widgets/cellstore.h"

#include <QFile>

namespace {

constexpr int BatchRows = 4096;
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
    m_cutBefore = m_connection.linkCut();
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
    m_connection.requestStop();
}

bool QueryRun::linkCut() const
{
    return m_linkCut.load();
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
    // Read while the connection is certainly alive: once the run has ended, the main window may close
    // and free the connection before the window thread asks how the run ended.
    m_linkCut.store(m_connection.linkCut() && !m_cutBefore);
    m_finished.store(true);
    if (m_callbacks.finished)
        m_callbacks.finished();
}

namespace {

std::unique_ptr<RowBatch> newBatch(std::size_t capacity)
{
    auto batch = std::make_unique<RowBatch>();
    batch->capacity = capacity;
    batch->bytes.reset(new char[capacity]);
    batch->ends.reserve(BatchRows);
    return batch;
}

}

// The rows are encoded here, on the run's thread, as the grid keeps them; the window copies each batch
// into the grid, whose store is then also the text of txtRecord and of the dump file.
void QueryRun::runDisplayed(Recordset &rs, int columns)
{
    auto batch = newBatch(BatchBytes);
    std::vector<const char *> values(std::size_t(columns) + 1);
    std::vector<unsigned long> lengths(std::size_t(columns) + 1);
    try {
        while (!rs.Eof()) {
            if (m_stop.load())
                throw Stopped{};
            std::size_t bound = CellStore::MaxPrefix;
            for (int j = 0; j < columns; ++j) {
                unsigned long length = 0;
                const char *value = rs.RawValue(j, &length);
                if (!value) {
                    value = NullText;
                    length = 4;
                }
                length = std::min<unsigned long>(length, CellStore::MaxCell >> 1);
                values[std::size_t(j)] = value;
                lengths[std::size_t(j)] = length;
                bound += CellStore::MaxPrefix + length;
            }
            if (batch->capacity - batch->size < bound) {
                if (batch->rows > 0)
                    push(std::move(batch));
                batch = newBatch(std::max<std::size_t>(BatchBytes, bound));
            }
            char *out = batch->bytes.get() + batch->size;
            std::size_t used = CellStore::putNumber(out, std::uint32_t(columns));
            for (int j = 0; j < columns; ++j)
                used += CellStore::putCell(out + used, values[std::size_t(j)],
                                           std::uint32_t(lengths[std::size_t(j)]), false);
            batch->size += used;
            batch->ends.push_back(std::uint32_t(batch->size));
            ++batch->rows;
            if (batch->rows >= BatchRows) {
                push(std::move(batch));
                batch = newBatch(BatchBytes);
            }
            rs.MoveNext();
        }
    } catch (...) {
        // A stop or a failure: the rows read so far still reach the grid.
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
