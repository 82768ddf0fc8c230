#include "connection.h"
#include "dberror.h"
#include "session.h"
#include "sqltext.h"
#include "stringbuffer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <stdexcept>

TEST(ConnectionStringTest, BuiltFromTheSessionSettings)
{
    Session s;
    s.server = QStringLiteral("db1");
    s.user = QStringLiteral("admin");
    s.port = QStringLiteral("3306");
    EXPECT_EQ(s.BuildConnectionString(), QStringLiteral("driver={MySQL ODBC 3.51 Driver};server=db1;uid=admin;port=3306"));
    s.pass = QStringLiteral("p w");
    s.port.clear();
    s.database = QStringLiteral("shop");
    EXPECT_EQ(s.BuildConnectionString(),
              QStringLiteral("driver={MySQL ODBC 3.51 Driver};server=db1;uid=admin;pwd=p w;port=;database=shop"));
    s.dsn = QStringLiteral("  MyShop ");
    EXPECT_EQ(s.BuildConnectionString(), QStringLiteral("  MyShop "));
    s.dsn = QStringLiteral(" (なし) ");
    EXPECT_TRUE(s.BuildConnectionString().startsWith(QStringLiteral("driver={")));
}

TEST(ConnectionStringTest, ParsedWithoutRegardToKeyCase)
{
    const ConnectionParams p = Connection::parse(
        QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};Server=h;USER=u;Password=p;PORT=1;Database=d;socket=/s"));
    EXPECT_EQ(p.driver, QStringLiteral("MySQL ODBC 3.51 Driver"));
    EXPECT_EQ(p.server, QStringLiteral("h"));
    EXPECT_EQ(p.user, QStringLiteral("u"));
    EXPECT_EQ(p.password, QStringLiteral("p"));
    EXPECT_EQ(p.port, QStringLiteral("1"));
    EXPECT_EQ(p.database, QStringLiteral("d"));
    EXPECT_EQ(p.socket, QStringLiteral("/s"));
    const ConnectionParams q = Connection::parse(QStringLiteral("driver={x};uid=a;pwd=;port="));
    EXPECT_EQ(q.user, QStringLiteral("a"));
    EXPECT_TRUE(q.password.isEmpty());
    EXPECT_TRUE(q.port.isEmpty());
}

TEST(ConnectionStringTest, DataSourceLookedUpInOdbcIni)
{
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("odbc.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[ShopDSN]\nDriver=MySQL ODBC 3.51 Driver\nSERVER=dbhost\nUSER=clerk\nPASSWORD=pw\n"
              "PORT=3310\nDATABASE=shop\n");
    ini.close();
    qputenv("ODBCINI", ini.fileName().toLocal8Bit());
    qputenv("ODBCSYSINI", dir.path().toLocal8Bit());
    const ConnectionParams p = Connection::parse(QStringLiteral("ShopDSN"));
    EXPECT_EQ(p.dsn, QStringLiteral("ShopDSN"));
    EXPECT_EQ(p.server, QStringLiteral("dbhost"));
    EXPECT_EQ(p.user, QStringLiteral("clerk"));
    EXPECT_EQ(p.password, QStringLiteral("pw"));
    EXPECT_EQ(p.port, QStringLiteral("3310"));
    EXPECT_EQ(p.database, QStringLiteral("shop"));
    EXPECT_THROW(Connection::parse(QStringLiteral("NoSuchDSN")), DbError);
    qunsetenv("ODBCINI");
    qunsetenv("ODBCSYSINI");
}

TEST(StringBufferTest, GrowsByAGrowingStep)
{
    StringBuffer b;
    EXPECT_EQ(b.Capacity(), 128);
    b.Append(QString(300, QLatin1Char('x')));
    EXPECT_EQ(b.Step(), 256);
    EXPECT_EQ(b.Capacity(), 384);
    EXPECT_EQ(b.Text().size(), 300);
    b.Append(QString());
    EXPECT_EQ(b.Capacity(), 384);
    b.Append(QStringLiteral("末尾"));
    EXPECT_TRUE(b.ToString().endsWith(QStringLiteral("x末尾")));

    b.setText(QStringLiteral("abc"));
    EXPECT_EQ(b.Capacity(), 3);
    b.Append(QStringLiteral("d"));
    EXPECT_EQ(b.Capacity(), 3 + 256); // the step never shrinks
    EXPECT_EQ(b.Text(), QStringLiteral("abcd"));
    b.Clear();
    EXPECT_EQ(b.Text(), QString());
    EXPECT_EQ(b.Capacity(), 0);
    b.Init(0);
    EXPECT_EQ(b.Step(), 128);
}

TEST(ConnectionStringTest, ValuesInBracesReadBackExactlyAndKeysCountOnce)
{
    Session s;
    s.server = QStringLiteral("db1");
    s.user = QStringLiteral("u=1");
    s.pass = QStringLiteral("a;b{c}");
    s.port = QStringLiteral("3306");
    s.database = QStringLiteral("x;server=127.0.0.2;port=1");
    const QString text = s.BuildConnectionString();
    EXPECT_EQ(text, QStringLiteral("driver={MySQL ODBC 3.51 Driver};server=db1;uid={u=1};pwd={a;b{c}}};"
                                   "port=3306;database={x;server=127.0.0.2;port=1}"));
    const ConnectionParams p = Connection::parse(text);
    EXPECT_EQ(p.server, s.server);
    EXPECT_EQ(p.user, s.user);
    EXPECT_EQ(p.password, s.pass);
    EXPECT_EQ(p.port, s.port);
    EXPECT_EQ(p.database, s.database);
    s.driver = QStringLiteral("odd}driver");
    EXPECT_EQ(Connection::parse(s.BuildConnectionString()).driver, s.driver);

    // A key given twice, under its own name or another name of it, and a brace left open are refused.
    for (const char *bad : {"server=a;uid=u;server=b", "server=a;host=b", "server={a;port=1", "pwd={a}b;uid=u"})
        EXPECT_THROW(Connection::parse(QString::fromLatin1(bad)), DbError) << bad;
    // A data-source name that would read as pairs goes under the key DSN, in braces.
    s.dsn = QStringLiteral("a;server=b");
    EXPECT_EQ(s.BuildConnectionString(), QStringLiteral("dsn={a;server=b}"));
}

TEST(StringBufferTest, OverflowPastThirtyTwoBitsRaises)
{
    StringBuffer b;
    b.Init(INT32_MAX);
    b.setText(QStringLiteral("abc"));
    EXPECT_THROW(b.Append(QStringLiteral("defg")), std::overflow_error); // capacity 3 + step 2^31-1
    EXPECT_EQ(b.Text(), QStringLiteral("abc"));                          // and nothing was changed
}

TEST(SqlTextTest, NamesQuotedOnlyWhenTheyNeedIt)
{
    EXPECT_EQ(SqlText::quoteName(QStringLiteral("items")), QStringLiteral("items"));
    EXPECT_EQ(SqlText::quoteName(QStringLiteral("a$_1")), QStringLiteral("a$_1"));
    EXPECT_EQ(SqlText::quoteName(QStringLiteral("order details")), QStringLiteral("`order details`"));
    EXPECT_EQ(SqlText::quoteName(QStringLiteral("select")), QStringLiteral("`select`"));
    // Reserved words in any case, from both ends of the list and among those with '_' and digits (which
    // order differently from letters once case is folded); near misses stay bare.
    for (const QString word : {"ACCESSIBLE", "Day_Hour", "int1", "INT8", "Sql_Big_Result", "sqlstate",
                               "utc_timestamp", "Current_User", "zerofill", "XOR", "Order"})
        EXPECT_EQ(SqlText::quoteName(word), '`' + word + '`');
    for (const QString name : {"days", "int5", "sql_", "zerofills", "a", "current_users"})
        EXPECT_EQ(SqlText::quoteName(name), name);
    // Every name that starts with a digit (the server reads some as numbers, 1e5x as a number and a name);
    // digits after the first letter change nothing.
    for (const QString number :
         {"123", "1e5", "2E10", "0x1f", "0X1F", "0b101", "1e5x", "12abc", "0xg1", "9_"})
        EXPECT_EQ(SqlText::quoteName(number), '`' + number + '`');
    for (const QString name : {"e5", "x0x1f", "_1e5", "$1"})
        EXPECT_EQ(SqlText::quoteName(name), name);
    EXPECT_EQ(SqlText::quoteName(QStringLiteral("a`b")), QStringLiteral("`a``b`"));
    EXPECT_EQ(SqlText::quoteName(QStringLiteral("商品")), QStringLiteral("`商品`"));
    EXPECT_EQ(SqlText::qualified(QStringLiteral("shop"), QStringLiteral("a.b")), QStringLiteral("shop.`a.b`"));
    EXPECT_EQ(SqlText::escapeLiteral(QStringLiteral("it's \\ \"x\"")), QStringLiteral("it\\'s \\\\ \\\"x\\\""));
}
