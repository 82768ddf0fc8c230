// The query window's text rules and its text store, without a server.
#include "codepage.h"
#include "querytext.h"
#include "resultlines.h"
#include "textlines.h"
#include "widgets/cellstore.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QTemporaryDir>

using namespace QueryText;

TEST(QueryText, TrimSpacesKeepsLineEndsAndTabs)
{
    EXPECT_EQ(trimSpaces(QStringLiteral("  select 1\r\n  ")), QStringLiteral("select 1\r\n"));
    EXPECT_EQ(trimSpaces(QStringLiteral("\tx ")), QStringLiteral("\tx"));
    EXPECT_EQ(trimSpaces(QStringLiteral("   ")), QString());
}

TEST(QueryText, DelimiterByListIndex)
{
    const QStringList expected{QStringLiteral(" "), QStringLiteral("\t"), QStringLiteral("|"),
                               QStringLiteral(","), QStringLiteral(":"), QStringLiteral(";")};
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(delimiterFor(i), expected.at(i)) << i;
    EXPECT_EQ(delimiterFor(-1), QString());
    EXPECT_EQ(delimiterFor(6), QString());
}

TEST(QueryText, HeaderAndDashLineCountBytesOfTheCodePage)
{
    const QString header = headerLine({QStringLiteral("id"), QStringLiteral("名前")}, QStringLiteral("\t"));
    EXPECT_EQ(header, QStringLiteral("id\t名前"));
    EXPECT_EQ(headerLine({QStringLiteral("a")}, QStringLiteral(",")), QStringLiteral("a"));

    CodePage::setOverride("UTF-8");
    EXPECT_EQ(dashLine(header), QByteArray(3 + 6, '-'));
    CodePage::setOverride("SHIFT_JIS");
    EXPECT_EQ(dashLine(header), QByteArray(3 + 4, '-'));
    // Half-width katakana are one byte in Shift-JIS.
    EXPECT_EQ(dashLine(QStringLiteral("ﾃｷｽﾄ")), QByteArray(4, '-'));
    CodePage::setOverride(QByteArray());
}

TEST(QueryText, DumpFolderFallsBackToTheProgramFolderAndEndsInASeparator)
{
    QTemporaryDir dir;
    const QString program = QStringLiteral("/opt/program");
    EXPECT_EQ(normalisedDumpFolder(QString(), program), QStringLiteral("/opt/program/"));
    EXPECT_EQ(normalisedDumpFolder(QStringLiteral("   "), program), QStringLiteral("/opt/program/"));
    EXPECT_EQ(normalisedDumpFolder(dir.path() + QStringLiteral("/no/such"), program),
              QStringLiteral("/opt/program/"));
    EXPECT_EQ(normalisedDumpFolder(QStringLiteral("  ") + dir.path() + QStringLiteral(" "), program),
              dir.path() + QStringLiteral("/"));
    EXPECT_EQ(normalisedDumpFolder(dir.path() + QStringLiteral("/"), program),
              dir.path() + QStringLiteral("/"));
}

TEST(QueryText, EditorCommandLineAsShownAndEditorsThatCannotStart)
{
    EXPECT_EQ(editorCommandLine(QStringLiteral("/usr/bin/gedit"), QStringLiteral("/my dir/")),
              QStringLiteral("/usr/bin/gedit /my dir/sqldump.dat"));
    EXPECT_EQ(editorCommandLine(QString(), QStringLiteral("/d/")), QStringLiteral(" /d/sqldump.dat"));
    EXPECT_FALSE(startEditor(QStringLiteral(" "), QStringLiteral("/tmp/sqldump.dat")));
    EXPECT_FALSE(startEditor(QStringLiteral("/no/such/editor"), QStringLiteral("/tmp/sqldump.dat")));
}

TEST(QueryText, VariableNamesAndTheirStatement)
{
    EXPECT_EQ(variableName(QStringLiteral("@a@b")), QStringLiteral("ab"));
    EXPECT_EQ(variablesStatement({}), QString());
    EXPECT_EQ(variablesStatement({QStringLiteral("a"), QStringLiteral("b")}),
              QStringLiteral("select @a,@b\r\n"));
    // A name that is no plain identifier is quoted, so it cannot extend the statement.
    EXPECT_EQ(variablesStatement({QStringLiteral("x y"), QStringLiteral("q`;drop"),
                                  QStringLiteral("日本.v$")}),
              QStringLiteral("select @`x y`,@`q``;drop`,@日本.v$\r\n"));
}

TEST(QueryText, SettingsAsText)
{
    EXPECT_TRUE(boolFromText(QStringLiteral("1"), false));
    EXPECT_TRUE(boolFromText(QStringLiteral("True"), false));
    EXPECT_FALSE(boolFromText(QStringLiteral("0"), true));
    EXPECT_TRUE(boolFromText(QString(), true));
    EXPECT_EQ(indexFromText(QStringLiteral("3"), 1, 6), 3);
    EXPECT_EQ(indexFromText(QStringLiteral("6"), 1, 6), 1);
    EXPECT_EQ(indexFromText(QStringLiteral("x"), 1, 6), 1);
}

TEST(TextLines, LinesPiecesAndLongLinesAcrossBlocks)
{
    TextLines lines;
    lines.appendLine("head");
    lines.beginLine();
    lines.appendToLine("a", 1);
    lines.appendToLine("\t", 1);
    lines.appendToLine("日本");
    lines.endLine();
    // A line larger than a block, started in a partly used block, stays whole.
    lines.beginLine();
    lines.appendToLine("x", 1);
    const QByteArray big(9 << 20, 'y');
    lines.appendToLine(big);
    lines.endLine();
    lines.appendLine(QByteArrayView());
    ASSERT_EQ(lines.lineCount(), 4u);
    EXPECT_EQ(lines.line(0), QByteArrayView("head"));
    EXPECT_EQ(lines.lineText(1), QStringLiteral("a\t日本"));
    EXPECT_EQ(lines.line(2).size(), big.size() + 1);
    EXPECT_TRUE(lines.line(2).startsWith("xyy"));
    EXPECT_EQ(lines.line(3).size(), 0);
    EXPECT_EQ(lines.maxLineBytes(), size_t(big.size() + 1));
}

TEST(TextLines, WritesCrLfLinesInTheCodePage)
{
    auto lines = TextLines::fromText(QStringLiteral("名前\r\n----\nx"));
    ASSERT_EQ(lines->lineCount(), 3u);
    EXPECT_EQ(lines->text(), QStringLiteral("名前\n----\nx\n"));
    QBuffer utf8;
    utf8.open(QIODevice::WriteOnly);
    CodePage::setOverride("UTF-8");
    ASSERT_TRUE(lines->writeTo(utf8));
    EXPECT_EQ(utf8.data(), QByteArray("名前\r\n----\r\nx\r\n"));
    QBuffer sjis;
    sjis.open(QIODevice::WriteOnly);
    CodePage::setOverride("SHIFT_JIS");
    ASSERT_TRUE(lines->writeTo(sjis));
    EXPECT_EQ(sjis.data(), QByteArray("\x96\xbc\x91\x4f\r\n----\r\nx\r\n"));
    CodePage::setOverride(QByteArray());
}

// A displayed result's text read from the grid's rows: header, dashes, cells joined, "NULL" for a null,
// and the widest line estimated from the rows.
TEST(ResultLines, ReadsTheGridRowsThroughTheDelimiter)
{
    auto rows = std::make_shared<CellStore>();
    const QByteArray tokyo("東京");
    const QByteArrayView first[] = {QByteArrayView("1"), QByteArrayView(tokyo)};
    const QByteArrayView second[] = {QByteArrayView("2"), QByteArrayView()};
    const bool none[] = {false, false};
    const bool secondNull[] = {false, true};
    rows->appendRow(first, none, 2);
    rows->appendRow(second, secondNull, 2);
    CodePage::setOverride("UTF-8");
    const ResultLines lines(rows, QStringList{QStringLiteral("id"), QStringLiteral("名前")}, QStringLiteral("|"));
    ASSERT_EQ(lines.lineCount(), 4u);
    EXPECT_EQ(lines.text(), QStringLiteral("id|名前\n---------\n1|東京\n2|NULL\n"));
    EXPECT_GE(lines.maxLineBytes(), std::size_t(QByteArray("1|東京").size()));
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    ASSERT_TRUE(lines.writeTo(file));
    EXPECT_EQ(file.data(), QByteArray("id|名前\r\n---------\r\n1|東京\r\n2|NULL\r\n"));
    CodePage::setOverride(QByteArray());
}
