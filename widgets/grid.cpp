#include "widgets/grid.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPalette>
#include <algorithm>

GridModel::GridModel(QObject *parent)
    : QAbstractTableModel(parent), m_store(std::make_shared<CellStore>())
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
    if (row < 1 || col < 0 || col >= m_cols)
        return {};
    return m_store->cell(std::size_t(row - 1), col).bytes;
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
    if (row < 1 || col < 0 || col >= m_cols)
        return false;
    return m_store->cell(std::size_t(row - 1), col).null;
}

// Stores rows and tells the views, or only stores them while batching.
void GridModel::addRows(const QByteArrayView *cells, const bool *nulls, int n)
{
    const int row = dataRows();
    if (!m_batching)
        beginInsertRows(QModelIndex(), row, row);
    m_store->appendRow(cells, nulls, std::min(n, m_cols));
    if (!m_batching) {
        m_announced = dataRows();
        endInsertRows();
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
    addRows(cells, nulls, count);
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

void GridModel::appendEncoded(const char *data, const std::uint32_t *ends, int rows)
{
    if (rows <= 0)
        return;
    const int row = dataRows();
    if (!m_batching)
        beginInsertRows(QModelIndex(), row, row + rows - 1);
    m_store->appendEncoded(data, ends, rows);
    if (!m_batching) {
        m_announced = dataRows();
        endInsertRows();
    }
}

void GridModel::rewriteRow(int r, int col, const QString &text)
{
    const QByteArray changed = text.toUtf8();
    std::vector<QByteArray> kept(m_cols);
    std::vector<QByteArrayView> cells(m_cols);
    std::vector<char> nulls(m_cols);
    for (int c = 0; c < m_cols; ++c) {
        if (c == col) {
            cells[c] = changed;
        } else {
            const CellStore::Cell cell = m_store->cell(std::size_t(r), c);
            kept[c] = cell.bytes.toByteArray();
            cells[c] = kept[c];
            nulls[c] = cell.null;
        }
    }
    m_store->replaceRow(std::size_t(r), cells.data(), reinterpret_cast<const bool *>(nulls.data()), m_cols);
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
    if (dataRows() == 0 || cols > m_cols) {
        // Rows keep their cells: the new columns read as empty.
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
    // Fewer columns with rows: every row is laid out again without the cells that go.
    beginResetModel();
    auto copy = std::make_shared<CellStore>();
    std::vector<QByteArrayView> views(cols);
    std::vector<char> nulls(cols);
    for (std::size_t r = 0; r < m_store->rowCount(); ++r) {
        const int keep = std::min(cols, m_store->cellCount(r));
        for (int c = 0; c < keep; ++c) {
            const CellStore::Cell cell = m_store->cell(r, c);
            views[c] = cell.bytes;
            nulls[c] = cell.null;
        }
        copy->appendRow(views.data(), reinterpret_cast<const bool *>(nulls.data()), keep);
    }
    m_store = std::move(copy);
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
            m_store->appendRow(nullptr, nullptr, 0);
        if (!m_batching) {
            m_announced = dataRows();
            endInsertRows();
        }
        return;
    }
    const bool announce = wanted < m_announced;
    if (announce)
        beginRemoveRows(QModelIndex(), wanted, m_announced - 1);
    m_store->truncate(std::size_t(wanted));
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
    // A view may still show the rows of the old store; the grid goes on with a new one.
    m_store = std::make_shared<CellStore>();
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
    // A column is never wider than maxWidth: text beyond what could fill it is not measured.
    const qsizetype measured = maxWidth / std::max(1, cellMetrics.averageCharWidth() / 2) * 4 + 4;
    const int rows = m_model->Rows();
    const int cols = m_model->Cols();
    std::vector<int> widths(static_cast<size_t>(cols));
    for (int c = 0; c < cols; ++c)
        widths[size_t(c)] = headMetrics.horizontalAdvance(m_model->TextMatrix(0, c)) + padding + 8;
    // Row by row: the store reads a row's cells in one walk.
    auto measure = [&](int r) {
        for (int c = 0; c < cols; ++c) {
            const QByteArrayView bytes = m_model->cellBytes(r, c);
            if (bytes.isEmpty() || widths[size_t(c)] >= maxWidth)
                continue;
            const QByteArrayView part = bytes.first(std::min(bytes.size(), measured));
            widths[size_t(c)] = std::max(widths[size_t(c)],
                                         cellMetrics.horizontalAdvance(QString::fromUtf8(part)) + padding);
        }
    };
    const int head = std::min(rows - 1, SampleRows);
    for (int r = 1; r <= head; ++r)
        measure(r);
    for (int r = std::max(head + 1, rows - SampleRows); r < rows; ++r)
        measure(r);
    for (int c = 0; c < cols; ++c)
        setColumnWidth(c, std::min(std::max(widths[size_t(c)], 24), maxWidth));
}
