#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;

// Lines of text as txtRecord shows them and the dump file holds them, each without its line end; every
// line counts as ended.
class LineSource
{
public:
    virtual ~LineSource() = default;
    virtual std::size_t lineCount() const = 0;
    // Appends the UTF-8 bytes of a line to out.
    virtual void appendLine(std::size_t index, QByteArray &out) const = 0;
    // The bytes of the longest line, or a little more.
    virtual std::size_t maxLineBytes() const = 0;

    QString lineText(std::size_t index) const;
    // Every line followed by lineEnd.
    QString text(const QString &lineEnd = QStringLiteral("\n")) const;
    // Writes every line followed by CR LF, in the system code page. False when the device fails.
    bool writeTo(QIODevice &device) const;
};

// A text of its own as lines of UTF-8 bytes in large blocks, with one small index entry per line.
class TextLines : public LineSource
{
public:
    TextLines();
    ~TextLines() override;
    TextLines(const TextLines &) = delete;
    TextLines &operator=(const TextLines &) = delete;

    void clear();
    // Builds a line piece by piece: begin, append the pieces, end.
    void beginLine();
    void appendToLine(const char *data, std::size_t size);
    void appendToLine(QByteArrayView bytes) { appendToLine(bytes.data(), std::size_t(bytes.size())); }
    void endLine();
    void appendLine(QByteArrayView bytes);

    std::size_t lineCount() const override { return m_lineCount; }
    QByteArrayView line(std::size_t index) const;
    void appendLine(std::size_t index, QByteArray &out) const override { out.append(line(index)); }
    std::size_t maxLineBytes() const override { return m_maxLineBytes; }
    // Bytes of text, line ends not counted.
    std::uint64_t textBytes() const { return m_textBytes; }

    // Splits a text at LF (a CR before it is dropped); a last piece without a line end becomes a line.
    static std::unique_ptr<TextLines> fromText(const QString &text);

private:
    struct Line
    {
        std::uint32_t block;
        std::uint32_t offset;
        std::uint32_t length;
    };
    struct Block
    {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        std::size_t capacity = 0;
    };
    void reserve(std::size_t more);
    // The index grows by whole pages of lines: no doubling and no copy as a result grows.
    static constexpr std::size_t PageBits = 16;
    static constexpr std::size_t PageSize = std::size_t(1) << PageBits;
    const Line &indexEntry(std::size_t i) const { return m_pages[i >> PageBits][i & (PageSize - 1)]; }

    std::vector<Block> m_blocks;
    std::vector<std::unique_ptr<Line[]>> m_pages;
    std::size_t m_lineCount = 0;
    std::size_t m_lineStart = 0; // offset in the last block of the line being built
    std::size_t m_maxLineBytes = 0;
    std::uint64_t m_textBytes = 0;
};
