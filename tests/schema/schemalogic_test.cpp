#include "accessibility.h"
#include "schema/frmcreatedb.h"
#include "core/tablecopy.h"
#include "schema/schemalogic.h"

#include <gtest/gtest.h>

using namespace SchemaLogic;

namespace {

const QString ServerText = QStringLiteral("CREATE TABLE `orders` (\n"
                                          "  `id` int(11) NOT NULL AUTO_INCREMENT,\n"
                                          "  `ordered` datetime NOT NULL,\n"
                                          "  PRIMARY KEY (`id`)\n"
                                          ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4");

QDateTime at(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, 59));
}

}

TEST(SchemaLogicTest, NewNameIsWhatStandsBetweenTableAndTheParenthesis)
{
    EXPECT_EQ(NewTableName(ServerText), QStringLiteral("`orders`"));
    EXPECT_EQ(NewTableName(QStringLiteral("create table items2(id int)")), QStringLiteral("items2"));
    EXPECT_EQ(NewTableName(QStringLiteral("  Create   Table  \n `order details`\n (a int)")),
              QStringLiteral("`order details`"));
    EXPECT_EQ(NewTableName(QStringLiteral("CREATE TABLE `商品` (`名前` text)")), QStringLiteral("`商品`"));
    // Missing parenthesis, missing TABLE, missing CREATE.
    EXPECT_EQ(NewTableName(QStringLiteral("CREATE TABLE orders LIKE items")), QString());
    EXPECT_EQ(NewTableName(QStringLiteral("CREATE VIEW v AS select max(id) from t")), QString());
    EXPECT_EQ(NewTableName(QStringLiteral("TABLE orders (id int)")), QString());
    EXPECT_EQ(NewTableName(QString()), QString());
}

TEST(SchemaLogicTest, CreateStatementIsQualifiedByTheDatabase)
{
    EXPECT_TRUE(QualifyCreateTable(ServerText, QStringLiteral("shop"), QStringLiteral("`orders`"))
                        .startsWith(QStringLiteral("CREATE TABLE shop.`orders` (\n  `id` int(11)")));
    // Only the first mention after the word is the table's own; a database with a blank is quoted.
    EXPECT_EQ(QualifyCreateTable(QStringLiteral("  create table id (id int, key id (id))  "),
                                 QStringLiteral("my shop"), QStringLiteral("id")),
              QStringLiteral("create table `my shop`.id (id int, key id (id))"));
    // The name is found without regard to case and kept as written.
    EXPECT_EQ(QualifyCreateTable(QStringLiteral("CREATE TABLE Orders (x int)"), QStringLiteral("shop"),
                                 QStringLiteral("ORDERS")),
              QStringLiteral("CREATE TABLE shop.ORDERS (x int)"));
    EXPECT_EQ(QualifyCreateTable(QStringLiteral("CREATE TABLE `商品` (a int)"), QStringLiteral("店"),
                                 QStringLiteral("`商品`")),
              QStringLiteral("CREATE TABLE `店`.`商品` (a int)"));
    // A remark before the statement that mentions the table: the name read and the name qualified are
    // the same one, the one after CREATE ... TABLE.
    const QString remarked = QStringLiteral("-- table items, new layout\nCREATE TABLE items (id int)");
    EXPECT_EQ(NewTableName(remarked), QStringLiteral("items"));
    EXPECT_EQ(QualifyCreateTable(remarked, QStringLiteral("shop"), NewTableName(remarked)),
              QStringLiteral("-- table items, new layout\nCREATE TABLE shop.items (id int)"));
}

TEST(SchemaLogicTest, BackupNameCarriesDateAndTimeToTheMinuteAndFitsTheServer)
{
    using TableCopy::DatedName;
    EXPECT_EQ(DatedName(QStringLiteral("orders"), at(2026, 12, 7, 8, 31)),
              QStringLiteral("orders_202612070831korv"));
    EXPECT_EQ(DatedName(QStringLiteral("order details"), at(2027, 1, 2, 20, 5)),
              QStringLiteral("order details_202701022005korv"));
    // 47 characters still take the designed form; longer names are cut, each keeping a name of its own.
    const QString fits(47, QLatin1Char('f'));
    EXPECT_EQ(DatedName(fits, at(2026, 12, 7, 8, 31)), fits + QStringLiteral("_202612070831korv"));
    const QString a = QString(59, QLatin1Char('x')) + QLatin1Char('a');
    const QString b = QString(59, QLatin1Char('x')) + QLatin1Char('b');
    const QString forA = DatedName(a, at(2026, 12, 7, 8, 31));
    EXPECT_EQ(forA.size(), 64);
    EXPECT_TRUE(forA.startsWith(QString(40, QLatin1Char('x')) + QLatin1Char('~')));
    EXPECT_TRUE(forA.endsWith(QStringLiteral("_202612070831korv")));
    EXPECT_NE(forA, DatedName(b, at(2026, 12, 7, 8, 31)));
    // A character outside the basic plane is never cut in half.
    const QString wide
            = QString(39, QLatin1Char('w')) + QString::fromUtf8("\U0001F600") + QString(30, QLatin1Char('w'));
    const QString forWide = DatedName(wide, at(2026, 12, 7, 8, 31));
    EXPECT_LE(forWide.size(), 64);
    EXPECT_TRUE(forWide.startsWith(QString(39, QLatin1Char('w')) + QLatin1Char('~')));
}

TEST(SchemaLogicTest, SharedColumnsFollowTheNewOrder)
{
    const QStringList old{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("note"),
                          QStringLiteral("order date")};
    EXPECT_EQ(
            SharedColumnList(old, {QStringLiteral("note"), QStringLiteral("extra"), QStringLiteral(" id ")}),
            QStringLiteral("note,id\r\n"));
    // Names are matched as the server matches them, without regard to case; the new spelling is sent.
    EXPECT_EQ(SharedColumnList(old, {QStringLiteral("order date"), QStringLiteral("Name")}),
              QStringLiteral("`order date`,Name\r\n"));
    EXPECT_EQ(SharedColumnList(old, {QStringLiteral("memo")}), QString());
    EXPECT_EQ(SharedColumnList({}, {QStringLiteral("id")}), QString());
}

TEST(SchemaLogicTest, TableRebuildStatements)
{
    const QString edited
            = QStringLiteral("CREATE TABLE `orders2` (\n  `id` int NOT NULL,\n  `extra` int\n)");
    const TableAlterPlan plan = PlanTableAlter(QStringLiteral("shop"), QStringLiteral("orders"), edited,
                                               ServerText, at(2026, 12, 7, 8, 31));
    EXPECT_EQ(plan.newName, QStringLiteral("`orders2`"));
    EXPECT_EQ(plan.backupTable, QStringLiteral("shop.orders_202612070831korv"));
    EXPECT_EQ(plan.backup,
              QStringLiteral("create table shop.orders_202612070831korv select * from shop.orders"));
    EXPECT_EQ(plan.dropOld, QStringLiteral("drop table shop.orders"));
    EXPECT_EQ(plan.createNew,
              QStringLiteral("CREATE TABLE shop.`orders2` (\n  `id` int NOT NULL,\n  `extra` int\n)"));
    EXPECT_EQ(plan.readColumns, QStringLiteral("show full fields from shop.`orders2`;"));
    EXPECT_EQ(plan.copyRows(QStringLiteral("id\r\n")),
              QStringLiteral(
                      "insert into shop.`orders2`(id\r\n) select id\r\n from shop.orders_202612070831korv"));
    EXPECT_EQ(plan.dropBackup, QStringLiteral("drop table shop.orders_202612070831korv"));
    // The undo drops the table it created, under its new name, in the database; the old one comes back
    // under the server's own spelling of its name.
    EXPECT_EQ(plan.dropNew, QStringLiteral("drop table shop.`orders2`"));
    EXPECT_TRUE(plan.recreateOld.startsWith(QStringLiteral("CREATE TABLE shop.`orders` (")));
    EXPECT_EQ(plan.restoreRows,
              QStringLiteral("insert into shop.orders select * from shop.orders_202612070831korv"));

    const TableAlterPlan spaced
            = PlanTableAlter(QStringLiteral("shop"), QStringLiteral("order details"),
                             QStringLiteral("CREATE TABLE `order details` (a int)"),
                             QStringLiteral("CREATE TABLE `order details` (a int)"), at(2026, 12, 7, 8, 31));
    EXPECT_EQ(spaced.backup,
              QStringLiteral("create table shop.`order details_202612070831korv` select * from "
                             "shop.`order details`"));
    EXPECT_EQ(spaced.restoreRows, QStringLiteral("insert into shop.`order details` select * from "
                                                 "shop.`order details_202612070831korv`"));
}

TEST(SchemaLogicTest, TableUndoFollowsTheFailedStep)
{
    const TableAlterPlan plan = PlanTableAlter(QStringLiteral("shop"), QStringLiteral("orders"), ServerText,
                                               ServerText, at(2026, 12, 7, 8, 31));
    EXPECT_TRUE(TableUndo(plan, AlterStep::ReadKind).isEmpty());
    EXPECT_TRUE(TableUndo(plan, AlterStep::Backup).isEmpty());
    EXPECT_EQ(TableUndo(plan, AlterStep::DropOld), QStringList{plan.dropBackup});
    EXPECT_EQ(TableUndo(plan, AlterStep::CreateNew),
              (QStringList{plan.recreateOld, plan.restoreRows, plan.dropBackup}));
    const QStringList afterCreate{plan.dropNew, plan.recreateOld, plan.restoreRows, plan.dropBackup};
    EXPECT_EQ(TableUndo(plan, AlterStep::ReadColumns), afterCreate);
    EXPECT_EQ(TableUndo(plan, AlterStep::CopyRows), afterCreate);
    EXPECT_EQ(TableUndo(plan, AlterStep::DropBackup), QStringList{plan.dropBackup});
}

TEST(SchemaLogicTest, ViewReplacementAndItsUndo)
{
    const ViewAlterPlan plan = PlanViewAlter(QStringLiteral("my shop"), QStringLiteral("totals"),
                                             QStringLiteral("  CREATE VIEW totals AS select 2 "),
                                             QStringLiteral("CREATE VIEW `totals` AS select 1"));
    EXPECT_EQ(plan.dropView, QStringLiteral("drop view `my shop`.totals"));
    EXPECT_EQ(plan.createView, QStringLiteral("  CREATE VIEW totals AS select 2 "));
    EXPECT_TRUE(ViewUndo(plan, AlterStep::DropView).isEmpty());
    EXPECT_EQ(ViewUndo(plan, AlterStep::CreateView),
              (QStringList{QStringLiteral("use `my shop`"),
                           QStringLiteral("CREATE VIEW `totals` AS select 1")}));
}

TEST(SchemaLogicTest, KindsAndRoutineStatements)
{
    EXPECT_EQ(KindFromColumn(QStringLiteral(" View ")), ObjectKind::View);
    EXPECT_EQ(KindFromColumn(QStringLiteral("Table")), ObjectKind::Table);
    EXPECT_EQ(KindFromColumn(QString()), ObjectKind::Table);
    EXPECT_FALSE(IsTableColumn(QString()));
    EXPECT_FALSE(IsViewColumn(QStringLiteral("Procedure")));

    EXPECT_EQ(DropRoutineStatement(QStringLiteral("[PROC]"), QStringLiteral("shop"),
                                   QStringLiteral("add_item")),
              QStringLiteral("DROP PROCEDURE shop.add_item"));
    EXPECT_EQ(DropRoutineStatement(QStringLiteral("[FUNC]"), QStringLiteral("shop"),
                                   QStringLiteral("item count")),
              QStringLiteral("DROP FUNCTION shop.`item count`"));
    EXPECT_EQ(ShowCreateRoutineStatement(QStringLiteral("[FUNC]"), QStringLiteral("shop"),
                                         QStringLiteral("f")),
              QStringLiteral("show create function shop.f;"));
    EXPECT_EQ(CreateDatabaseStatement(QStringLiteral("new db")),
              QStringLiteral("create database `new db`;"));
    EXPECT_EQ(DropDatabaseStatement(QStringLiteral("shop2")), QStringLiteral("drop database shop2;"));
}

TEST(CreateDatabaseDialog, EveryControlHasANameForAssistiveTechnology)
{
    frmCreateDB dialog;
    EXPECT_EQ(unnamedControls(&dialog), QStringList());
}
