#include "resultlines.h"

#include "querytext.h"
#include "widgets/cellstore.h"

#include <algorithm>

ResultLines::ResultLines(std::shared_ptr<const CellStore> rows, const QStringList &names,
                         const QString &delimiter)
    : m_rows(std::move(rows)), m_columns(int(names.size())), m_delimiter(delimiter.toUtf8())
{
    const QString header = QueryText::headerLine(names, delimiter);
    m_header = header.toUtf8();
    m_dashes = QueryText::dashLine(header);
}

std::size_t ResultLines::lineCount() const
{
    return 2 + m_rows->rowCount();
}

void ResultLines::appendLine(std::size_t index, QByteArray &out) const
{
    if (index == 0) {
        out.append(m_header);
        return;
    }
    if (index == 1) {
        out.append(m_dashes);
        return;
    }
    const std::size_t row = index - 2;
    if (row >= m_rows->rowCount())
        return;
    for (int c = 0; c < m_columns; ++c) {
        if (c > 0)
            out.append(m_delimiter);
        const CellStore::Cell cell = m_rows->cell(row, c);
        if (cell.null)
            out.append("NULL", 4);
        else
            out.append(cell.bytes);
    }
}

std::size_t ResultLines::maxLineBytes() const
{
    const std::size_t joins = std::size_t(std::max(0, m_columns - 1)) * std::size_t(m_delimiter.size());
    return std::max({std::size_t(m_header.size()), std::size_t(m_dashes.size()),
                     m_rows->maxRowSize() + joins});
}
