#include "textlines.h"

#include "core/codepage.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t BlockSize = 8u << 20;
}

TextLines::TextLines() = default;
TextLines::~TextLines() = default;

void TextLines::clear()
{
    m_blocks.clear();
    m_pages.clear();
    m_pages.shrink_to_fit();
    m_lineCount = 0;
    m_lineStart = 0;
    m_maxLineBytes = 0;
    m_textBytes = 0;
}

void TextLines::beginLine()
{
    m_lineStart = m_blocks.empty() ? 0 : m_blocks.back().size;
}

void TextLines::reserve(std::size_t more)
{
    if (!m_blocks.empty() && m_blocks.back().capacity - m_blocks.back().size >= more)
        return;
    // A new block; the part of the line built so far moves along so that a line never spans two blocks.
    const std::size_t partial = m_blocks.empty() ? 0 : m_blocks.back().size - m_lineStart;
    Block block;
    block.capacity = std::max(BlockSize, (partial + more) * 2);
    block.data.reset(new char[block.capacity]);
    if (partial > 0) {
        Block &last = m_blocks.back();
        std::memcpy(block.data.get(), last.data.get() + m_lineStart, partial);
        last.size = m_lineStart;
    }
    block.size = partial;
    m_blocks.push_back(std::move(block));
    m_lineStart = 0;
}

void TextLines::appendToLine(const char *data, std::size_t size)
{
    if (size == 0)
        return;
    reserve(size);
    Block &block = m_blocks.back();
    std::memcpy(block.data.get() + block.size, data, size);
    block.size += size;
}

void TextLines::endLine()
{
    if (m_blocks.empty())
        reserve(0);
    const std::size_t length = m_blocks.back().size - m_lineStart;
    if ((m_lineCount & (PageSize - 1)) == 0)
        m_pages.emplace_back(new Line[PageSize]);
    m_pages.back()[m_lineCount & (PageSize - 1)] = Line{std::uint32_t(m_blocks.size() - 1),
                                                        std::uint32_t(m_lineStart), std::uint32_t(length)};
    ++m_lineCount;
    m_maxLineBytes = std::max(m_maxLineBytes, length);
    m_textBytes += length;
    m_lineStart = m_blocks.back().size;
}

void TextLines::appendLine(QByteArrayView bytes)
{
    beginLine();
    appendToLine(bytes);
    endLine();
}

QByteArrayView TextLines::line(std::size_t index) const
{
    if (index >= m_lineCount)
        return {};
    const Line &l = indexEntry(index);
    return QByteArrayView(m_blocks[l.block].data.get() + l.offset, qsizetype(l.length));
}

QString LineSource::lineText(std::size_t index) const
{
    QByteArray bytes;
    appendLine(index, bytes);
    return QString::fromUtf8(bytes);
}

QString LineSource::text(const QString &lineEnd) const
{
    QString result;
    QByteArray bytes;
    const std::size_t count = lineCount();
    for (std::size_t i = 0; i < count; ++i) {
        bytes.clear();
        appendLine(i, bytes);
        result += QString::fromUtf8(bytes);
        result += lineEnd;
    }
    return result;
}

bool LineSource::writeTo(QIODevice &device) const
{
    const bool utf8 = CodePage::isUtf8();
    constexpr qsizetype Chunk = 1 << 20;
    QByteArray chunk;
    chunk.reserve(Chunk + 4096);
    auto flush = [&]() {
        if (chunk.isEmpty())
            return true;
        bool ok = false;
        if (utf8) {
            ok = device.write(chunk) == chunk.size();
        } else {
            const QByteArray out = CodePage::fromUnicode(QString::fromUtf8(chunk));
            ok = device.write(out) == out.size();
        }
        chunk.resize(0); // the chunk keeps its room for the next lines
        return ok;
    };
    const std::size_t count = lineCount();
    for (std::size_t i = 0; i < count; ++i) {
        appendLine(i, chunk);
        chunk.append("\r\n", 2);
        if (chunk.size() >= Chunk && !flush())
            return false;
    }
    return flush();
}

std::unique_ptr<TextLines> TextLines::fromText(const QString &text)
{
    auto lines = std::make_unique<TextLines>();
    const QByteArray bytes = text.toUtf8();
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool ended = end >= 0;
        if (!ended)
            end = bytes.size();
        qsizetype stop = end;
        if (ended && stop > start && bytes.at(stop - 1) == '\r')
            --stop;
        lines->appendLine(QByteArrayView(bytes.constData() + start, stop - start));
        start = end + 1;
    }
    return lines;
}
