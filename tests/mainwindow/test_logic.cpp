#include "mainwindow/mainlogic.h"

#include <gtest/gtest.h>

using namespace MainLogic;

TEST(ConnectValidation, ByDriverChecksDriverServerUserPortInThatOrder)
{
    const QString none = QStringLiteral("(なし)");
    EXPECT_EQ(ConnectValidation(none, "", "", "", ""), QStringLiteral("ﾄﾞﾗｲﾊﾞを選択して下さい。"));
    EXPECT_EQ(ConnectValidation(none, "  ", "s", "u", "1"), QStringLiteral("ﾄﾞﾗｲﾊﾞを選択して下さい。"));
    EXPECT_EQ(ConnectValidation(none, "d", " ", "", ""), QStringLiteral("ｻｰﾊﾞｰ名を選択して下さい。"));
    EXPECT_EQ(ConnectValidation(none, "d", "s", "", ""), QStringLiteral("ﾕｰｻﾞｰ名を選択して下さい。"));
    EXPECT_EQ(ConnectValidation(none, "d", "s", "u", " "), QStringLiteral("ﾎﾟｰﾄを選択して下さい。"));
    EXPECT_EQ(ConnectValidation(none, "d", "s", "u", "3306"), QString());
}

TEST(ConnectValidation, ADataSourceNeedsNothingElseButMustNotBeBlank)
{
    EXPECT_EQ(ConnectValidation("mydsn", "", "", "", ""), QString());
    EXPECT_EQ(ConnectValidation("   ", "d", "s", "u", "1"), QStringLiteral("ﾄﾞﾗｲﾊﾞを選択して下さい。"));
    EXPECT_EQ(ConnectValidation("", "d", "s", "u", "1"), QStringLiteral("ﾄﾞﾗｲﾊﾞを選択して下さい。"));
}

TEST(IsLocalhost, OnlyExactlyLocalhostUnderServerInASegmentBeforeTheLast)
{
    EXPECT_TRUE(
        IsLocalhost("DRIVER={MySQL ODBC 3.51 Driver};SERVER=localhost;UID=root;PORT=3306;DATABASE=;"));
    EXPECT_TRUE(IsLocalhost("DSN=x; SERVER = localhost ;UID=root;"));
    EXPECT_FALSE(IsLocalhost("DRIVER={x};SERVER=127.0.0.1;UID=root;"));
    EXPECT_FALSE(IsLocalhost("DRIVER={x};SERVER=myhost;UID=root;"));
    EXPECT_FALSE(IsLocalhost("DRIVER={x};SERVER=LOCALHOST;UID=root;"));
    EXPECT_FALSE(IsLocalhost("DRIVER={x};server=localhost;UID=root;"));
    EXPECT_FALSE(IsLocalhost("DRIVER={x};UID=root;SERVER=localhost"));     // the last segment is not read
    EXPECT_TRUE(IsLocalhost("SERVER=localhost;"));
    EXPECT_FALSE(IsLocalhost(""));
    // A value in braces is one value, whatever it holds.
    EXPECT_FALSE(IsLocalhost("DRIVER={x};SERVER=db1;PWD={a;SERVER=localhost;}};UID=root;"));
    EXPECT_FALSE(IsLocalhost("DRIVER={x};SERVER=db1;UID=root;DATABASE={x;SERVER=localhost;port=1};"));
}

TEST(ListEntry, MarkerTabName)
{
    const QString entry = ListEntry("[TABLE]", "order details");
    EXPECT_EQ(entry, QStringLiteral("[TABLE]\torder details"));
    EXPECT_EQ(EntryKind(entry), QStringLiteral("[TABLE]"));
    EXPECT_EQ(EntryName(entry), QStringLiteral("order details"));
    EXPECT_EQ(EntryName("[VIEW]\ta\tb"), QStringLiteral("a\tb"));
    EXPECT_EQ(EntryName("plain"), QStringLiteral("plain"));
    EXPECT_EQ(EntryKind("plain"), QString());
    EXPECT_EQ(TableMarker(" Table "), QStringLiteral("[TABLE]"));
    EXPECT_EQ(TableMarker("View"), QStringLiteral("[VIEW]"));
}
