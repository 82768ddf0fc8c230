#include "widgets/grid.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <string>

namespace {

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
