#pragma once

#include "textlines.h"

#include <QByteArray>
#include <QStringList>
#include <memory>

class CellStore;

// The text of a displayed result read from the grid's rows, without a copy: the header line, the dash
// line, then one line per row, its cells joined by the delimiter ("NULL" for a null).
class ResultLines : public LineSource
{
public:
    ResultLines(std::shared_ptr<const CellStore> rows, const QStringList &names, const QString &delimiter);

    std::size_t lineCount() const override;
    void appendLine(std::size_t index, QByteArray &out) const override;
    std::size_t maxLineBytes() const override;

private:
    std::shared_ptr<const CellStore> m_rows;
    int m_columns;
    QByteArray m_header;
    QByteArray m_dashes;
    QByteArray m_delimiter;
};
