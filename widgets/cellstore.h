#pragma once

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The data rows of a grid as UTF-8 cells in large blocks. A row is its number of cells, then per cell a
// short prefix (its length and a null flag) and its bytes; one small index entry per row. Neither the
// bytes nor the index are ever moved or doubled as rows arrive, so a result costs little more than its
// text. The grid and the query window's text view read the same store.
class CellStore
{
public:
    struct Cell
    {
        QByteArrayView bytes;
        bool null = false;
    };

    // The encoding of a row, for producers that prepare rows elsewhere (appendEncoded): putNumber(n), then
    // putCell for each of the n cells. A number takes at most MaxPrefix bytes.
    static constexpr std::size_t MaxPrefix = 5;
    static std::size_t putNumber(char *out, std::uint32_t value)
    {
        std::size_t i = 0;
        while (value >= 0x80) {
            out[i++] = char(value | 0x80);
            value >>= 7;
        }
        out[i++] = char(value);
        return i;
    }
    static std::size_t putCell(char *out, const char *data, std::uint32_t size, bool null)
    {
        const std::size_t prefix = putNumber(out, null ? 1u : size << 1);
        if (!null && size > 0)
            __builtin_memcpy(out + prefix, data, size);
        return prefix + (null ? 0 : size);
    }
    // Cells are limited to this size (the larger part of a longer value is cut).
    static constexpr std::uint32_t MaxCell = 0x7fffffffu;

    CellStore();
    ~CellStore();
    CellStore(const CellStore &) = delete;
    CellStore &operator=(const CellStore &) = delete;

    std::size_t rowCount() const { return m_rows; }
    int cellCount(std::size_t row) const;
    // A cell beyond the cells of its row reads as empty, not null.
    Cell cell(std::size_t row, int col) const;
    // The size of the largest row as stored: a little more than its cells' bytes.
    std::size_t maxRowSize() const { return m_maxRowSize; }

    void appendRow(const QByteArrayView *cells, const bool *nulls, int n);
    // Rows encoded as above, back to back from data; ends[i] is the end of row i counted from data.
    void appendEncoded(const char *data, const std::uint32_t *ends, int rows);
    // The row's cells replaced by these.
    void replaceRow(std::size_t row, const QByteArrayView *cells, const bool *nulls, int n);
    // The first rows kept, the others gone.
    void truncate(std::size_t rows);
    void clear();

private:
    struct Entry
    {
        std::uint32_t block;
        std::uint32_t offset;
    };
    // Large blocks are mapped on huge pages (see newBlock) and unmapped when freed.
    struct Release
    {
        std::size_t size;
        bool mapped;
        void operator()(char *data) const;
    };
    struct Block
    {
        std::unique_ptr<char, Release> data;
        std::size_t size = 0;
        std::size_t capacity = 0;
    };
    static Block newBlock(std::size_t capacity);
    static constexpr std::size_t PageBits = 14;
    static constexpr std::size_t PageSize = std::size_t(1) << PageBits;

    const char *rowData(std::size_t row) const;
    std::size_t encodedSize(const char *row) const;
    char *room(std::size_t size);
    void setEntry(std::size_t row, Entry entry);
    std::size_t encode(char *out, const QByteArrayView *cells, const bool *nulls, int n) const;
    static std::size_t encodedBound(const QByteArrayView *cells, int n);
    void decode(std::size_t row) const;

    std::vector<Block> m_blocks;
    std::vector<std::unique_ptr<Entry[]>> m_pages;
    std::size_t m_rows = 0;
    std::size_t m_maxRowSize = 0;
    std::size_t m_nextBlock;
    // The last row read, decoded: reading cell after cell of a row walks it once.
    mutable std::size_t m_decodedRow = SIZE_MAX;
    mutable std::vector<Cell> m_decoded;
};
