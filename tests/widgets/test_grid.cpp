#include "widgets/grid.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <string>

#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count of the bytes its allocator holds for the program (GCC ships no header).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// The bytes the heap holds for the program now (under AddressSanitizer, its allocator's own count).
std::size_t heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

QStringList rowOf(const Grid &grid, int row)
{
    QStringList cells;
    for (int c = 0; c < grid.Cols(); ++c)
        cells << grid.TextMatrix(row, c);
    return cells;
}

}

TEST(Grid, StartsAndClearsToOneColumnAndOneRow)
{
    Grid grid;
    EXPECT_EQ(grid.Cols(), 1);
    EXPECT_EQ(grid.Rows(), 1);
    grid.setCols(3);
    grid.setTextMatrix(0, 2, QStringLiteral("c"));
    grid.appendRow(QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    grid.Clear();
    EXPECT_EQ(grid.Cols(), 1);
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_EQ(grid.TextMatrix(0, 0), QString());
    EXPECT_EQ(grid.model()->rowCount(), 0);
}

// The pattern of the windows: columns one by one with their header, then rows added and written cell by
// cell, and the fast path of the query window; every change checked by the model tester.
TEST(Grid, HeaderAndRowsThroughEveryPathUnderTheModelTester)
{
    Grid grid;
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (int i = 1; i <= 3; ++i) {
        grid.setCols(i);
        grid.setCellBackColor(0, i - 1, QColor(Qt::lightGray));
        grid.setTextMatrix(0, i - 1, QStringLiteral("h%1").arg(i));
    }
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("h2"));
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(),
              QColor(Qt::lightGray));

    grid.setRows(grid.Rows() + 1);
    for (int c = 0; c < 3; ++c)
        grid.setTextMatrix(1, c, QStringLiteral("r1c%1 日本語").arg(c));

    const char *values[] = {"x", nullptr, "zz"};
    const unsigned long lengths[] = {1, 0, 2};
    grid.appendRow(values, lengths, 3);
    grid.appendRow(QStringList{QStringLiteral("only")});                // missing cells are empty
    grid.appendRow(QStringList{"1", "2", "3", "ignored"});              // extra cells are dropped

    ASSERT_EQ(grid.Rows(), 5);
    EXPECT_EQ(rowOf(grid, 1), (QStringList{"r1c0 日本語", "r1c1 日本語", "r1c2 日本語"}));
    EXPECT_EQ(rowOf(grid, 2), (QStringList{"x", "", "zz"}));
    EXPECT_TRUE(grid.gridModel()->isNull(2, 1));
    EXPECT_FALSE(grid.gridModel()->isNull(2, 0));
    EXPECT_EQ(rowOf(grid, 3), (QStringList{"only", "", ""}));
    EXPECT_EQ(rowOf(grid, 4), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(grid.model()->data(grid.model()->index(3, 2)).toString(), QStringLiteral("3"));

    // Rewriting a cell of an earlier row, and of the last row, leaves the neighbours alone.
    grid.setTextMatrix(2, 1, QStringLiteral("was null"));
    grid.setTextMatrix(4, 0, QStringLiteral("longer than before"));
    EXPECT_EQ(rowOf(grid, 2), (QStringList{"x", "was null", "zz"}));
    EXPECT_FALSE(grid.gridModel()->isNull(2, 1));
    EXPECT_EQ(rowOf(grid, 4), (QStringList{"longer than before", "2", "3"}));
    EXPECT_EQ(rowOf(grid, 3), (QStringList{"only", "", ""}));

    // More and fewer columns keep what fits.
    grid.setCols(4);
    EXPECT_EQ(rowOf(grid, 2), (QStringList{"x", "was null", "zz", ""}));
    EXPECT_TRUE(grid.gridModel()->isNull(2, 1) == false);
    grid.setCols(2);
    EXPECT_EQ(rowOf(grid, 4), (QStringList{"longer than before", "2"}));
    EXPECT_EQ(grid.TextMatrix(0, 1), QStringLiteral("h2"));

    // Fewer rows drop the last ones, rewritten cells included; more rows come empty.
    grid.setRows(3);
    EXPECT_EQ(grid.Rows(), 3);
    grid.setRows(5);
    EXPECT_EQ(rowOf(grid, 4), (QStringList{"", ""}));
    EXPECT_EQ(rowOf(grid, 2), (QStringList{"x", "was null"}));
}

TEST(Grid, RedrawOffHoldsRowsBackUntilOnAndThenFitsColumns)
{
    Grid grid;
    grid.resize(800, 300);
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(grid.model(), &QAbstractItemModel::rowsInserted);
    grid.setCols(2);
    grid.setTextMatrix(0, 0, QStringLiteral("id"));
    grid.setTextMatrix(0, 1, QStringLiteral("a rather long header"));
    grid.setRedraw(false);
    for (int i = 0; i < 50; ++i)
        grid.appendRow(QStringList{QString::number(i), QStringLiteral("x")});
    EXPECT_EQ(grid.model()->rowCount(), 0);
    EXPECT_EQ(grid.Rows(), 51);                 // the grid itself knows its rows
    EXPECT_EQ(grid.TextMatrix(50, 0), QStringLiteral("49"));
    EXPECT_EQ(inserted.count(), 0);
    grid.setRedraw(true);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(grid.model()->rowCount(), 50);
    // Widths follow the content: the long header makes its column wider than the short one.
    EXPECT_GT(grid.columnWidth(1), grid.columnWidth(0));
    EXPECT_GE(grid.columnWidth(1),
              grid.fontMetrics().horizontalAdvance(QStringLiteral("a rather long header")));
}

TEST(Grid, ALargerFontWidensTheColumnsAndRows)
{
    Grid grid;
    grid.resize(800, 300);
    grid.setCols(1);
    grid.setTextMatrix(0, 0, QStringLiteral("h"));
    grid.appendRow(QStringList{QStringLiteral("NULL NULL NULL")});
    grid.AutoFit();
    const int width = grid.columnWidth(0);
    const int height = grid.rowHeight(0);
    QFont font = grid.font();
    font.setPointSizeF(font.pointSizeF() * 2);
    grid.setFont(font); // as the resize control does when the window grows
    EXPECT_GT(grid.columnWidth(0), width * 3 / 2);
    EXPECT_GT(grid.verticalHeader()->defaultSectionSize(), height);
}

TEST(Grid, AMillionRowsWithoutAnObjectPerCell)
{
    Grid grid;
    grid.setCols(3);
    grid.setRedraw(false);
    const std::size_t heapBefore = heapInUse();
    const char *values[3];
    unsigned long lengths[3];
    std::string a, b;
    for (int i = 0; i < 1000000; ++i) {
        a = std::to_string(i);
        b = "name " + std::to_string(i % 1000);
        values[0] = a.c_str();
        lengths[0] = a.size();
        values[1] = b.c_str();
        lengths[1] = b.size();
        values[2] = (i % 7 == 0) ? nullptr : "v";
        lengths[2] = 1;
        grid.appendRow(values, lengths, 3);
    }
    // The text lies in large blocks mapped apart from the heap; on the heap a row costs its index entry
    // (8 bytes) and a share of the small blocks. An object per cell (a string, a variant, an item) costs
    // tens of bytes each.
    const double bytesPerRow = double(heapInUse() - heapBefore) / 1000000;
    EXPECT_LT(bytesPerRow, 32) << "the grid's heap grew by " << bytesPerRow << " bytes per row";
    grid.setRedraw(true);
    ASSERT_EQ(grid.Rows(), 1000001);
    EXPECT_EQ(grid.model()->rowCount(), 1000000);
    EXPECT_EQ(grid.TextMatrix(1000000, 0), QStringLiteral("999999"));
    EXPECT_EQ(grid.TextMatrix(500001, 1), QStringLiteral("name 0"));
    EXPECT_TRUE(grid.gridModel()->isNull(1, 2));
    EXPECT_EQ(grid.TextMatrix(2, 2), QStringLiteral("v"));
    // The widest number of the sample (the last rows) sets the first column's width.
    EXPECT_GE(grid.columnWidth(0), grid.fontMetrics().horizontalAdvance(QStringLiteral("999999")));
}

// The store under the grid: cells of every prefix size, rows encoded elsewhere and copied in across block
// ends, rewritten rows, and a holder keeping the rows after the grid is cleared.
TEST(CellStore, EncodedRowsLongCellsRewritesAndHolders)
{
    CellStore store;
    const QByteArray sizes[] = {QByteArray(), QByteArray(63, 'a'), QByteArray(64, 'b'), QByteArray(8191, 'c'),
                                QByteArray(8192, 'd'), QByteArray(9 << 20, 'e')};
    std::vector<QByteArrayView> cells(std::begin(sizes), std::end(sizes));
    const bool nulls[6] = {true, false, false, false, false, false};
    store.appendRow(cells.data(), nulls, 6);
    ASSERT_EQ(store.rowCount(), 1u);
    EXPECT_EQ(store.cellCount(0), 6);
    EXPECT_TRUE(store.cell(0, 0).null);
    for (int c = 1; c < 6; ++c)
        EXPECT_EQ(store.cell(0, c).bytes, QByteArrayView(sizes[c])) << c;
    EXPECT_EQ(store.cell(0, 6).bytes.size(), 0);
    EXPECT_FALSE(store.cell(0, 6).null);
    EXPECT_GE(store.maxRowSize(), std::size_t(9 << 20));

    // Rows encoded by a producer: enough of them that the copy crosses into new blocks.
    std::vector<char> bytes;
    std::vector<std::uint32_t> ends;
    constexpr int Rows = 40000;
    for (int r = 0; r < Rows; ++r) {
        const QByteArray text = QByteArray::number(r) + QByteArray(r % 300, 'x');
        char buffer[4096];
        std::size_t used = CellStore::putNumber(buffer, 2);
        used += CellStore::putCell(buffer + used, text.constData(), std::uint32_t(text.size()), false);
        used += CellStore::putCell(buffer + used, nullptr, 0, r % 3 == 0);
        bytes.insert(bytes.end(), buffer, buffer + used);
        ends.push_back(std::uint32_t(bytes.size()));
    }
    store.appendEncoded(bytes.data(), ends.data(), Rows);
    ASSERT_EQ(store.rowCount(), std::size_t(Rows) + 1);
    for (int r : {0, 1, 299, 20000, Rows - 1}) {
        EXPECT_EQ(store.cell(std::size_t(r) + 1, 0).bytes, QByteArray::number(r) + QByteArray(r % 300, 'x'));
        EXPECT_EQ(store.cell(std::size_t(r) + 1, 1).null, r % 3 == 0) << r;
    }

    // An earlier row and the last row rewritten; their neighbours stay.
    const QByteArray changed("changed");
    QByteArrayView one[] = {QByteArrayView(changed)};
    const bool notNull[] = {false};
    store.replaceRow(5, one, notNull, 1);
    store.replaceRow(std::size_t(Rows), one, notNull, 1);
    EXPECT_EQ(store.cell(5, 0).bytes, QByteArrayView(changed));
    EXPECT_EQ(store.cellCount(5), 1);
    EXPECT_EQ(store.cell(4, 0).bytes, QByteArray("3") + QByteArray(3, 'x'));
    EXPECT_EQ(store.cell(6, 0).bytes, QByteArray("5") + QByteArray(5, 'x'));
    EXPECT_EQ(store.cell(std::size_t(Rows), 0).bytes, QByteArrayView(changed));
    store.truncate(3);
    EXPECT_EQ(store.rowCount(), 3u);
    store.appendRow(one, notNull, 1);
    EXPECT_EQ(store.cell(3, 0).bytes, QByteArrayView(changed));

    Grid grid;
    grid.setCols(2);
    grid.appendRow(QStringList{QStringLiteral("東京"), QStringLiteral("1")});
    const std::shared_ptr<const CellStore> held = grid.gridModel()->store();
    grid.Clear();
    grid.appendRow(QStringList{QStringLiteral("new")});
    ASSERT_EQ(held->rowCount(), 1u);
    EXPECT_EQ(QString::fromUtf8(held->cell(0, 0).bytes), QStringLiteral("東京"));
    EXPECT_EQ(grid.TextMatrix(1, 0), QStringLiteral("new"));
}
