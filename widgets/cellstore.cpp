#include "widgets/cellstore.h"

#include <algorithm>
#include <cstring>
#include <sys/mman.h>

namespace {

// Blocks grow from small (a grid of a few rows stays small) to this size, then stay there.
constexpr std::size_t FirstBlock = 64u << 10;
constexpr std::size_t LargestBlock = 8u << 20;

std::uint32_t takeNumber(const char *&p)
{
    std::uint32_t value = 0;
    int shift = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(*p++);
        value |= std::uint32_t(byte & 0x7f) << shift;
        if (byte < 0x80)
            return value;
        shift += 7;
    }
}

}

void CellStore::Release::operator()(char *data) const
{
    if (mapped)
        munmap(data, size);
    else
        delete[] data;
}

// A fresh page costs a fault when first written, and faults are dear on some machines (a virtual machine
// may take microseconds each): large blocks are laid on huge pages where the system offers them, a fault
// per 2 MB instead of one per 4 KB.
CellStore::Block CellStore::newBlock(std::size_t capacity)
{
    constexpr std::size_t Huge = 2u << 20;
    Block block;
    if (capacity >= Huge) {
        capacity = (capacity + Huge - 1) & ~(Huge - 1);
        void *mapped = mmap(nullptr, capacity + Huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                            -1, 0);
        if (mapped != MAP_FAILED) {
            // Aligned to a huge page: the part before and after goes back at once.
            const auto start = reinterpret_cast<std::uintptr_t>(mapped);
            const std::uintptr_t aligned = (start + Huge - 1) & ~std::uintptr_t(Huge - 1);
            if (aligned > start)
                munmap(mapped, aligned - start);
            if (const std::size_t tail = (start + capacity + Huge) - (aligned + capacity))
                munmap(reinterpret_cast<void *>(aligned + capacity), tail);
            madvise(reinterpret_cast<void *>(aligned), capacity, MADV_HUGEPAGE);
            block.capacity = capacity;
            block.data = std::unique_ptr<char, Release>(reinterpret_cast<char *>(aligned),
                                                        Release{capacity, true});
            return block;
        }
    }
    block.capacity = capacity;
    block.data = std::unique_ptr<char, Release>(new char[capacity], Release{capacity, false});
    return block;
}

CellStore::CellStore() : m_nextBlock(FirstBlock) {}
CellStore::~CellStore() = default;

const char *CellStore::rowData(std::size_t row) const
{
    const Entry &e = m_pages[row >> PageBits][row & (PageSize - 1)];
    return m_blocks[e.block].data.get() + e.offset;
}

std::size_t CellStore::encodedSize(const char *row) const
{
    const char *p = row;
    const std::uint32_t n = takeNumber(p);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t prefix = takeNumber(p);
        if (!(prefix & 1))
            p += prefix >> 1;
    }
    return std::size_t(p - row);
}

int CellStore::cellCount(std::size_t row) const
{
    if (row >= m_rows)
        return 0;
    const char *p = rowData(row);
    return int(takeNumber(p));
}

void CellStore::decode(std::size_t row) const
{
    m_decoded.clear();
    const char *p = rowData(row);
    const std::uint32_t n = takeNumber(p);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t prefix = takeNumber(p);
        if (prefix & 1) {
            m_decoded.push_back(Cell{QByteArrayView(), true});
        } else {
            m_decoded.push_back(Cell{QByteArrayView(p, qsizetype(prefix >> 1)), false});
            p += prefix >> 1;
        }
    }
    m_decodedRow = row;
}

CellStore::Cell CellStore::cell(std::size_t row, int col) const
{
    if (row >= m_rows || col < 0)
        return {};
    if (row != m_decodedRow)
        decode(row);
    return std::size_t(col) < m_decoded.size() ? m_decoded[std::size_t(col)] : Cell{};
}

char *CellStore::room(std::size_t size)
{
    if (m_blocks.empty() || m_blocks.back().capacity - m_blocks.back().size < size) {
        m_blocks.push_back(newBlock(std::max(m_nextBlock, size)));
        m_nextBlock = std::min(LargestBlock, m_nextBlock * 2);
    }
    Block &last = m_blocks.back();
    return last.data.get() + last.size;
}

void CellStore::setEntry(std::size_t row, Entry entry)
{
    if (row == m_pages.size() * PageSize)
        m_pages.emplace_back(new Entry[PageSize]);
    m_pages[row >> PageBits][row & (PageSize - 1)] = entry;
}

std::size_t CellStore::encodedBound(const QByteArrayView *cells, int n)
{
    std::size_t bound = MaxPrefix;
    for (int i = 0; i < n; ++i)
        bound += MaxPrefix + std::min<std::size_t>(std::size_t(cells[i].size()), MaxCell >> 1);
    return bound;
}

std::size_t CellStore::encode(char *out, const QByteArrayView *cells, const bool *nulls, int n) const
{
    std::size_t used = putNumber(out, std::uint32_t(n));
    for (int i = 0; i < n; ++i) {
        const auto size = std::uint32_t(std::min<std::size_t>(std::size_t(cells[i].size()), MaxCell >> 1));
        used += putCell(out + used, cells[i].data(), size, nulls[i]);
    }
    return used;
}

void CellStore::appendRow(const QByteArrayView *cells, const bool *nulls, int n)
{
    n = std::max(0, n);
    char *out = room(encodedBound(cells, n));
    const std::size_t used = encode(out, cells, nulls, n);
    Block &last = m_blocks.back();
    setEntry(m_rows, Entry{std::uint32_t(m_blocks.size() - 1), std::uint32_t(last.size)});
    last.size += used;
    ++m_rows;
    m_maxRowSize = std::max(m_maxRowSize, used);
}

void CellStore::appendEncoded(const char *data, const std::uint32_t *ends, int rows)
{
    int done = 0;
    std::uint32_t start = 0;
    while (done < rows) {
        // As many whole rows as the current block takes go in with one copy.
        const std::size_t first = ends[done] - start;
        room(first);
        Block &last = m_blocks.back();
        const std::size_t free = last.capacity - last.size;
        int take = done;
        while (take < rows && ends[take] - start <= free)
            ++take;
        const std::uint32_t bytes = ends[take - 1] - start;
        std::memcpy(last.data.get() + last.size, data + start, bytes);
        std::uint32_t previous = start;
        for (int r = done; r < take; ++r) {
            setEntry(m_rows, Entry{std::uint32_t(m_blocks.size() - 1),
                                   std::uint32_t(last.size + (previous - start))});
            m_maxRowSize = std::max<std::size_t>(m_maxRowSize, ends[r] - previous);
            previous = ends[r];
            ++m_rows;
        }
        last.size += bytes;
        start = ends[take - 1];
        done = take;
    }
}

void CellStore::replaceRow(std::size_t row, const QByteArrayView *cells, const bool *nulls, int n)
{
    if (row >= m_rows)
        return;
    n = std::max(0, n);
    // The last row stored at the end of the last block is rewritten where it is; any other row is written
    // anew at the end (the old bytes stay unused: the program rewrites a cell rarely).
    const Entry &e = m_pages[row >> PageBits][row & (PageSize - 1)];
    Block &owner = m_blocks[e.block];
    if (e.block + 1 == m_blocks.size() && e.offset + encodedSize(rowData(row)) == owner.size) {
        const std::size_t bound = encodedBound(cells, n);
        if (owner.capacity - e.offset >= bound) {
            // Encoded aside first: the new cells may be read from the old row's bytes.
            std::unique_ptr<char[]> scratch(new char[bound]);
            const std::size_t used = encode(scratch.get(), cells, nulls, n);
            std::memcpy(owner.data.get() + e.offset, scratch.get(), used);
            owner.size = e.offset + used;
            m_maxRowSize = std::max(m_maxRowSize, used);
            m_decodedRow = SIZE_MAX;
            return;
        }
    }
    std::unique_ptr<char[]> scratch(new char[encodedBound(cells, n)]);
    const std::size_t used = encode(scratch.get(), cells, nulls, n);
    char *out = room(used);
    std::memcpy(out, scratch.get(), used);
    Block &last = m_blocks.back();
    setEntry(row, Entry{std::uint32_t(m_blocks.size() - 1), std::uint32_t(last.size)});
    last.size += used;
    m_maxRowSize = std::max(m_maxRowSize, used);
    m_decodedRow = SIZE_MAX;
}

void CellStore::truncate(std::size_t rows)
{
    if (rows >= m_rows)
        return;
    if (rows == 0) {
        clear();
        return;
    }
    m_rows = rows;
    m_pages.resize((rows + PageSize - 1) >> PageBits);
    m_decodedRow = SIZE_MAX;
}

void CellStore::clear()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_pages.clear();
    m_pages.shrink_to_fit();
    m_rows = 0;
    m_maxRowSize = 0;
    m_nextBlock = FirstBlock;
    m_decodedRow = SIZE_MAX;
    m_decoded.clear();
}
