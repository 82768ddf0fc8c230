#include "widgets/grid.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPalette>
#include <algorithm>

namespace {
constexpr quint32 NullBit = 0x80000000u;
constexpr quint32 EndMask = 0x7fffffffu;
}

GridModel::GridModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_announced;
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_announced || index.column() >= m_cols)
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const QByteArrayView bytes = cellBytes(index.row() + 1, index.column());
        return QString::fromUtf8(bytes.data(), bytes.size());
    }
    return QVariant();
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole && section >= 0 && section < m_announced)
            return section + 1;
        return QVariant();
    }
    if (section < 0 || section >= m_cols)
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_header.value(section);
    if (role == Qt::BackgroundRole && size_t(section) < m_headerColor.size()
        && m_headerColor[section].isValid())
        return m_headerColor[section];
    return QVariant();
}

QByteArrayView GridModel::cellBytes(int row, int col) const
{
    const int r = row - 1;
    if (r < 0 || r >= dataRows() || col < 0 || col >= m_cols)
        return {};
    const qint64 cell = qint64(r) * m_cols + col;
    if (!m_moved.isEmpty()) {
        const auto it = m_moved.constFind(cell);
        if (it != m_moved.constEnd())
            return QByteArrayView(*it);
    }
    const quint32 begin = col == 0 ? 0 : (m_cellEnd[cell - 1] & EndMask);
    const quint32 end = m_cellEnd[cell] & EndMask;
    return QByteArrayView(m_arena.constData() + m_rowStart[r] + begin, qsizetype(end - begin));
}

QString GridModel::TextMatrix(int row, int col) const
{
    if (row == 0)
        return col >= 0 && col < m_cols ? m_header.value(col) : QString();
    const QByteArrayView bytes = cellBytes(row, col);
    return QString::fromUtf8(bytes.data(), bytes.size());
}

bool GridModel::isNull(int row, int col) const
{
    const int r = row - 1;
    if (r < 0 || r >= dataRows() || col < 0 || col >= m_cols)
        return false;
    const qint64 cell = qint64(r) * m_cols + col;
    if (!m_movedNull.isEmpty() && m_moved.contains(cell))
        return m_movedNull.value(cell);
    return (m_cellEnd[cell] & NullBit) != 0;
}

void GridModel::storeRow(const QByteArrayView *cells, const bool *nulls, int n)
{
    m_rowStart.push_back(m_arena.size());
    quint32 end = 0;
    for (int c = 0; c < m_cols; ++c) {
        bool null = false;
        if (c < n) {
            const qsizetype size = std::min<qsizetype>(cells[c].size(), qsizetype(EndMask - end));
            m_arena.append(cells[c].data(), size);
            end += quint32(size);
            null = nulls[c];
        }
        m_cellEnd.push_back(end | (null ? NullBit : 0));
    }
}

void GridModel::appendRow(const char *const *values, const unsigned long *lengths, int n)
{
    constexpr int Inline = 64;
    QByteArrayView cellsInline[Inline];
    bool nullsInline[Inline];
    std::vector<QByteArrayView> cellsHeap;
    std::vector<char> nullsHeap;
    const int count = std::min(n, m_cols);
    QByteArrayView *cells = cellsInline;
    bool *nulls = nullsInline;
    if (count > Inline) {
        cellsHeap.resize(count);
        nullsHeap.resize(count);
        cells = cellsHeap.data();
        nulls = reinterpret_cast<bool *>(nullsHeap.data());
    }
    for (int c = 0; c < count; ++c) {
        nulls[c] = values[c] == nullptr;
        cells[c] = nulls[c] ? QByteArrayView() : QByteArrayView(values[c], qsizetype(lengths[c]));
    }
    const int row = dataRows();
    if (!m_batching)
        beginInsertRows(QModelIndex(), row, row);
    storeRow(cells, nulls, count);
    if (!m_batching) {
        m_announced = dataRows();
        endInsertRows();
    }
}

void GridModel::appendRow(const QStringList &values)
{
    std::vector<QByteArray> utf8;
    utf8.reserve(values.size());
    std::vector<const char *> ptrs;
    std::vector<unsigned long> lengths;
    for (const QString &value : values) {
        utf8.push_back(value.toUtf8());
        ptrs.push_back(utf8.back().constData());
        lengths.push_back(static_cast<unsigned long>(utf8.back().size()));
    }
    appendRow(ptrs.data(), lengths.data(), int(values.size()));
}

void GridModel::rewriteRow(int r, int col, const QString &text)
{
    // The last row is rewritten at the end of the arena; an earlier row keeps the changed cell aside.
    const qint64 cell = qint64(r) * m_cols + col;
    if (r != dataRows() - 1) {
        m_moved.insert(cell, text.toUtf8());
        m_movedNull.insert(cell, false);
        return;
    }
    std::vector<QByteArray> cells(m_cols);
    std::vector<char> nulls(m_cols);
    for (int c = 0; c < m_cols; ++c) {
        if (c == col) {
            cells[c] = text.toUtf8();
        } else {
            const QByteArrayView bytes = cellBytes(r + 1, c);
            cells[c] = QByteArray(bytes.data(), bytes.size());
            nulls[c] = isNull(r + 1, c);
        }
        m_moved.remove(qint64(r) * m_cols + c);
        m_movedNull.remove(qint64(r) * m_cols + c);
    }
    m_arena.truncate(m_rowStart.back());
    m_rowStart.pop_back();
    m_cellEnd.resize(m_cellEnd.size() - size_t(m_cols));
    std::vector<QByteArrayView> views(cells.begin(), cells.end());
    storeRow(views.data(), reinterpret_cast<const bool *>(nulls.data()), m_cols);
}

void GridModel::setTextMatrix(int row, int col, const QString &text)
{
    if (col < 0 || col >= m_cols || row < 0 || row >= Rows())
        return;
    if (row == 0) {
        m_header[col] = text;
        emit headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    rewriteRow(row - 1, col, text);
    if (row - 1 < m_announced)
        emit dataChanged(index(row - 1, col), index(row - 1, col));
}

void GridModel::setHeaderBackground(int col, const QColor &color)
{
    if (col < 0 || col >= m_cols)
        return;
    if (m_headerColor.size() < size_t(m_cols))
        m_headerColor.resize(m_cols);
    m_headerColor[col] = color;
    emit headerDataChanged(Qt::Horizontal, col, col);
}

QColor GridModel::headerBackground(int col) const
{
    return size_t(col) < m_headerColor.size() ? m_headerColor[col] : QColor();
}

void GridModel::setCols(int cols)
{
    cols = std::max(1, cols);
    if (cols == m_cols)
        return;
    if (dataRows() == 0) {
        if (cols > m_cols) {
            beginInsertColumns(QModelIndex(), m_cols, cols - 1);
            m_cols = cols;
            m_header.resize(cols);
            endInsertColumns();
        } else {
            beginRemoveColumns(QModelIndex(), cols, m_cols - 1);
            m_cols = cols;
            m_header.resize(cols);
            if (m_headerColor.size() > size_t(cols))
                m_headerColor.resize(cols);
            endRemoveColumns();
        }
        return;
    }
    // Rows exist: lay every row out again with the new number of cells.
    beginResetModel();
    GridModel copy;
    copy.m_cols = cols;
    copy.m_batching = true;
    const int keep = std::min(cols, m_cols);
    std::vector<QByteArrayView> views(cols);
    std::vector<char> nulls(cols);
    for (int r = 1; r <= dataRows(); ++r) {
        for (int c = 0; c < keep; ++c) {
            views[c] = cellBytes(r, c);
            nulls[c] = isNull(r, c);
        }
        copy.storeRow(views.data(), reinterpret_cast<const bool *>(nulls.data()), keep);
    }
    m_arena = std::move(copy.m_arena);
    m_rowStart = std::move(copy.m_rowStart);
    m_cellEnd = std::move(copy.m_cellEnd);
    m_moved.clear();
    m_movedNull.clear();
    m_cols = cols;
    m_header.resize(cols);
    if (m_headerColor.size() > size_t(cols))
        m_headerColor.resize(cols);
    if (!m_batching)
        m_announced = dataRows();
    else
        m_announced = std::min(m_announced, dataRows());
    endResetModel();
}

void GridModel::setRows(int rows)
{
    const int wanted = std::max(0, rows - 1);
    const int have = dataRows();
    if (wanted == have)
        return;
    if (wanted > have) {
        if (!m_batching)
            beginInsertRows(QModelIndex(), have, wanted - 1);
        for (int r = have; r < wanted; ++r)
            storeRow(nullptr, nullptr, 0);
        if (!m_batching) {
            m_announced = dataRows();
            endInsertRows();
        }
        return;
    }
    const bool announce = wanted < m_announced;
    if (announce)
        beginRemoveRows(QModelIndex(), wanted, m_announced - 1);
    m_arena.truncate(m_rowStart[wanted]);
    m_rowStart.resize(wanted);
    m_cellEnd.resize(size_t(wanted) * m_cols);
    const qint64 firstGone = qint64(wanted) * m_cols;
    for (auto it = m_moved.begin(); it != m_moved.end();) {
        if (it.key() >= firstGone) {
            m_movedNull.remove(it.key());
            it = m_moved.erase(it);
        } else {
            ++it;
        }
    }
    if (announce) {
        m_announced = wanted;
        endRemoveRows();
    }
}

void GridModel::clear()
{
    beginResetModel();
    m_cols = 1;
    m_header = QStringList{QString()};
    m_headerColor.clear();
    m_arena = QByteArray();
    m_rowStart = {};
    m_cellEnd = {};
    m_moved.clear();
    m_movedNull.clear();
    m_announced = 0;
    endResetModel();
}

void GridModel::beginBatch()
{
    m_batching = true;
}

void GridModel::endBatch()
{
    m_batching = false;
    if (dataRows() > m_announced) {
        beginInsertRows(QModelIndex(), m_announced, dataRows() - 1);
        m_announced = dataRows();
        endInsertRows();
    }
}

Grid::Grid(QWidget *parent)
    : QTableView(parent)
    , m_model(new GridModel(this))
{
    setModel(m_model);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void Grid::setCellBackColor(int row, int col, const QColor &color)
{
    if (row == 0)
        m_model->setHeaderBackground(col, color);
}

void Grid::Clear()
{
    m_model->clear();
    horizontalHeader()->resizeSection(0, horizontalHeader()->defaultSectionSize());
}

void Grid::setRedraw(bool on)
{
    if (on == m_redraw)
        return;
    m_redraw = on;
    if (!on) {
        m_model->beginBatch();
        setUpdatesEnabled(false);
    } else {
        m_model->endBatch();
        AutoFit();
        setUpdatesEnabled(true);
    }
}

void Grid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    if (m_redraw)
        AutoFit();
}

void Grid::AutoFit()
{
    const QFontMetrics cellMetrics(font());
    const QFontMetrics headMetrics(horizontalHeader()->font());
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 12;
    const int maxWidth = std::max(120, width() * 2 / 3);
    const int rows = m_model->Rows();
    for (int c = 0; c < m_model->Cols(); ++c) {
        int w = headMetrics.horizontalAdvance(m_model->TextMatrix(0, c)) + padding + 8;
        auto measure = [&](int r) {
            const QByteArrayView bytes = m_model->cellBytes(r, c);
            if (!bytes.isEmpty())
                w = std::max(w, cellMetrics.horizontalAdvance(
                                    QString::fromUtf8(bytes.data(), bytes.size())) + padding);
        };
        const int head = std::min(rows - 1, SampleRows);
        for (int r = 1; r <= head; ++r)
            measure(r);
        for (int r = std::max(head + 1, rows - SampleRows); r < rows; ++r)
            measure(r);
        setColumnWidth(c, std::min(std::max(w, 24), maxWidth));
    }
}
