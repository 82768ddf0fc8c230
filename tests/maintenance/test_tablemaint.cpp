// Check, optimise, repair and copy, driven through the real main window against the sandbox.
#include "windowtest.h"

#include "connection.h"
#include "maintenance/maintenance.h"
#include "mainwindow/frmtablora.h"
#include "scripteddialogs.h"
#include "session.h"

#include <QDate>
#include <QFile>

using Answer = Dialogs::Answer;
using Icon = Dialogs::Icon;

namespace {
QString q(const char *text)
{
    return QString::fromUtf8(text);
}
}

class TableMaintenance : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        loadShop();
        maintenance->clock = [] { return QDate(2026, 12, 7); }; // a copy is named "_26_12_07"
    }
    // Statements other than the window's own listing ones.
    QStringList sent() const
    {
        QStringList out;
        for (const QString &s : recorder->statements())
            if (!s.startsWith(q("show ")))
                out << s;
        return out;
    }
    QStringList allTables() const
    {
        return {q("access_log"),    q("customers"),    q("items"),
                q("order details"), q("order_totals"), q("orders")};
    }
    QString qualified(const QString &name) const
    {
        return db + q(".") + (name.contains(QLatin1Char(' ')) ? q("`") + name + q("`") : name);
    }
};

TEST_F(TableMaintenance, WithoutADatabaseEveryButtonSaysSoAndSendsNothing)
{
    window->cmdShowDb_Click();
    ASSERT_TRUE(window->ui->lblPreTable->text().isEmpty());
    recorder->clear();
    ScriptedDialogs dialogs;
    for (int i = 0; i < 8; ++i)
        dialogs.answer(Answer::Ok);
    for (QPushButton *button : {window->ui->cmdCheckTable, window->ui->cmdOptimizeTable,
                                window->ui->cmdRepairTable, window->ui->cmdCopyDb, window->ui->cmdBackup,
                                window->ui->cmdRestore, window->ui->cmdScriptBackUp, window->ui->cmdInOut}) {
        button->setEnabled(true);
        button->click();
    }
    EXPECT_EQ(dialogs.messages(), QStringList(8, q("ﾃﾞｰﾀﾍﾞｰｽが選択されていません。")));
    for (const auto &shown : dialogs.shown) {
        EXPECT_EQ(shown.icon, Icon::Critical);
        EXPECT_EQ(shown.title, window->windowTitle());
    }
    EXPECT_TRUE(recorder->statements().isEmpty());
}

TEST_F(TableMaintenance, ADatabaseWithoutTablesHasNothingToWorkOn)
{
    exec(q("DROP TABLE `order details`, orders, customers, items, access_log"));
    exec(q("DROP VIEW order_totals"));
    chooseDatabase();
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::Ok).answer(Answer::Ok);
    window->ui->cmdCheckTable->click();
    window->ui->cmdCopyDb->click();
    window->ui->cmdBackup->click();
    EXPECT_EQ(dialogs.messages(), QStringList(3, q("ﾃｰﾌﾞﾙがありません。")));
    EXPECT_TRUE(recorder->statements().isEmpty());
}

TEST_F(TableMaintenance, CheckOptimizeRepairOneTable)
{
    chooseDatabase();
    for (const QString &table : {q("access_log"), q("items")}) { // MyISAM and InnoDB
        chooseTable(table);
        const QString entry = window->ui->lstTables->currentItem()->text();
        recorder->clear();
        ScriptedDialogs dialogs;
        for (int i = 0; i < 6; ++i)
            dialogs.answer(Answer::Ok);
        window->ui->cmdCheckTable->click();
        window->ui->cmdOptimizeTable->click();
        window->ui->cmdRepairTable->click();
        EXPECT_EQ(sent(), (QStringList{q("check table ") + qualified(table) + q(" "),
                                       q("optimize table ") + qualified(table),
                                       q("repair table ") + qualified(table)}));
        EXPECT_EQ(dialogs.messages(),
                  (QStringList{entry + q("ﾃｰﾌﾞﾙの検査を行います。"), q("問題はありませんでした。"),
                               entry + q("ﾃｰﾌﾞﾙの最適化を行います。"), q("最適化しました。"),
                               entry + q("ﾃｰﾌﾞﾙの修復を行います。"), q("修復しました。")}));
        EXPECT_EQ(dialogs.shown[0].buttons, Dialogs::Buttons::OkCancel);
        EXPECT_EQ(dialogs.shown[0].icon, Icon::Information);
        EXPECT_EQ(dialogs.shown[1].icon, Icon::Information);
        // The label is back at its text from before the run; Tag kept it meanwhile.
        EXPECT_EQ(window->ui->lblCkTableName->text(), table);
        EXPECT_EQ(window->ui->lblCkTableName->property("Tag").toString(), table);
        EXPECT_EQ(window->ui->lblCnt->text(), q("0/6"));
    }
}

TEST_F(TableMaintenance, CheckOptimizeRepairAllTablesSkippingErrorEntries)
{
    chooseDatabase();
    // An entry whose definition could not be read is passed over but still counted.
    window->ui->lstTables->insertItem(1, q("[ERROR]\tunreadable"));
    recorder->clear();
    ScriptedDialogs dialogs;
    for (int i = 0; i < 6; ++i)
        dialogs.answer(Answer::Ok);
    window->ui->cmdCheckTable->click();
    EXPECT_EQ(window->ui->lblCnt->text(), q("6/7"));
    window->ui->cmdOptimizeTable->click();
    window->ui->cmdRepairTable->click();
    // Views are sent like tables; that the server cannot optimise or repair a view is no finding.
    QStringList expected;
    for (const char *keyword : {"check table ", "optimize table ", "repair table "})
        for (const QString &table : allTables())
            expected << q(keyword) + qualified(table)
                            + (q(keyword) == q("check table ") ? q(" ") : QString());
    EXPECT_EQ(sent(), expected);
    EXPECT_EQ(dialogs.messages(),
              (QStringList{q("全ﾃｰﾌﾞﾙの検査を行います。"), q("問題はありませんでした。"),
                           q("全ﾃｰﾌﾞﾙの最適化を行います。"), q("最適化しました。"),
                           q("全ﾃｰﾌﾞﾙの修復を行います。"), q("修復しました。")}));
    EXPECT_EQ(window->ui->lblCnt->text(), q("6/7"));
    EXPECT_EQ(window->ui->lblCkTableName->text(), db + q("全ﾃｰﾌﾞﾙ"));
}

TEST_F(TableMaintenance, CancelSendsNothingAndLeavesTheLabels)
{
    chooseDatabase();
    chooseTable(q("items"));
    recorder->clear();
    ScriptedDialogs dialogs;
    for (int i = 0; i < 4; ++i)
        dialogs.answer(Answer::Cancel);
    window->ui->cmdCheckTable->click();
    window->ui->cmdOptimizeTable->click();
    window->ui->cmdRepairTable->click();
    window->ui->cmdCopyDb->click();
    EXPECT_TRUE(recorder->statements().isEmpty());
    EXPECT_EQ(window->ui->lblCkTableName->text(), q("items"));
    EXPECT_EQ(dialogs.messages().size(), 4);
}

TEST_F(TableMaintenance, ADamagedMyisamTableIsReportedWithTheServersFindingsAndRepaired)
{
    exec(q("DROP VIEW order_totals"));
    const QString datadir = scalar(q("select @@datadir"));
    exec(q("FLUSH TABLES access_log"));
    {
        QFile data(datadir + q("/") + db + q("/access_log.MYD"));
        ASSERT_TRUE(data.exists());
        ASSERT_TRUE(data.resize(10));
    }
    chooseDatabase();
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok)   // check all tables
        .answer(Answer::Ok)      // the findings
        .answer(Answer::Ok)      // the repair offered at once
        .answer(Answer::Ok);     // repaired
    window->ui->cmdCheckTable->click();
    const QStringList messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 4);
    EXPECT_FALSE(messages.contains(q("問題はありませんでした。")));
    EXPECT_TRUE(messages[1].startsWith(q("検査で問題が見つかりました。\r\n"))) << messages[1].toStdString();
    EXPECT_TRUE(messages[1].contains(db + q(".access_log : error : Size of datafile is:")));
    EXPECT_TRUE(messages[1].contains(db + q(".access_log : error : Corrupt")));
    EXPECT_FALSE(messages[1].contains(q("items"))); // only the damaged table's rows
    EXPECT_EQ(dialogs.shown[1].icon, Icon::Critical);
    EXPECT_EQ(messages[2], q("全ﾃｰﾌﾞﾙの修復を行います。"));
    EXPECT_EQ(messages[3], q("修復しました。"));
    EXPECT_TRUE(window->ui->txtError->text().contains(q("Corrupt")));
    EXPECT_TRUE(recorder->contains(q("repair table ") + db + q(".access_log")));
    EXPECT_EQ(scalar(q("select count(*) from information_schema.TABLES where TABLE_SCHEMA='") + db
                     + q("' and TABLE_NAME='access_log'")), q("1"));
    const auto after = rows(q("check table access_log"));
    ASSERT_FALSE(after.isEmpty());
    EXPECT_EQ(after.last().value(3), q("OK"));
}

TEST_F(TableMaintenance, AFailingCheckOffersTheRepairAtOnceAndEndsWithAnEmptyBar)
{
    chooseDatabase();
    chooseTable(q("items"));
    // The connection is gone: the statement fails.
    Session::instance().CloseConnection();
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::Ok).answer(Answer::Cancel);
    window->ui->cmdCheckTable->click();
    const QStringList messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_EQ(dialogs.shown[1].icon, Icon::Critical);
    EXPECT_EQ(messages[1], window->ui->txtError->text());
    EXPECT_FALSE(messages[1].isEmpty());
    EXPECT_EQ(window->ui->Label13->toolTip(), messages[1]);
    EXPECT_EQ(messages[2], q("[TABLE]\titemsﾃｰﾌﾞﾙの修復を行います。"));
    EXPECT_TRUE(window->ui->lblCkTableName->text().isEmpty());
    EXPECT_EQ(window->ui->picStatus->fraction(), 0.0);
}

TEST_F(TableMaintenance, ANameWithABlankIsCheckedAndCopied)
{
    chooseDatabase();
    chooseTable(q("order details"));
    recorder->clear();
    ScriptedDialogs dialogs;
    for (int i = 0; i < 4; ++i)
        dialogs.answer(Answer::Ok);
    window->ui->cmdCheckTable->click();
    window->ui->cmdCopyDb->click();
    const QString copy = q("back_order details_26_12_07");
    const QStringList s = sent();
    ASSERT_EQ(s.size(), 3);
    EXPECT_EQ(s[0], q("check table ") + db + q(".`order details` "));
    // What the copy needs to know (invisible columns), then the copy itself as designed.
    EXPECT_TRUE(s[1].startsWith(q("select c.TABLE_NAME, c.COLUMN_NAME, c.EXTRA, t.TABLE_TYPE ")));
    EXPECT_TRUE(s[1].contains(q(" and t.TABLE_NAME = 'order details' ")));
    EXPECT_EQ(s[2],
              q("create table ") + db + q(".`") + copy + q("` select * from ") + db + q(".`order details`"));
    EXPECT_EQ(dialogs.messages().last(), q("ﾃｰﾌﾞﾙをｺﾋﾟｰしました。"));
    EXPECT_EQ(tableRows(db, copy), tableRows(db, q("order details")));
}

TEST_F(TableMaintenance, CopyingTwiceOnTheSameDayFailsOnTheSecond)
{
    chooseDatabase();
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    window->ui->cmdCopyDb->click();
    EXPECT_EQ(dialogs.messages(), (QStringList{q("全ﾃｰﾌﾞﾙのﾃﾞｰﾀｺﾋﾟｰを行います。"), q("ﾃｰﾌﾞﾙをｺﾋﾟｰしました。")}));
    // Every table and the view became a dated table with the same rows.
    for (const QString &table : allTables()) {
        const QString copy = q("back_") + table + q("_26_12_07");
        EXPECT_EQ(scalar(q("select TABLE_TYPE from information_schema.TABLES where TABLE_SCHEMA='") + db
                         + q("' and TABLE_NAME='") + copy + q("'")),
                  q("BASE TABLE"));
        EXPECT_EQ(tableRows(db, copy), tableRows(db, table));
    }

    // The list still names the originals: the second run stops at the first copy that exists.
    recorder->clear();
    ScriptedDialogs again;
    again.answer(Answer::Ok).answer(Answer::Ok);
    window->ui->cmdCopyDb->click();
    ASSERT_EQ(again.messages().size(), 2);
    EXPECT_TRUE(again.messages()[1].contains(q("already exists"))) << again.messages()[1].toStdString();
    EXPECT_EQ(again.shown[1].icon, Icon::Critical);
    EXPECT_EQ(sent().size(), 2); // one read for the whole run, then the first copy
    // The message says that nothing was done, and the error box holds it on one line.
    EXPECT_TRUE(again.messages()[1].endsWith(q("\r\n0/6 件を終えたところで中断しました。\r\n終わっていないもの: "
                                              "access_log, customers, items, order details, order_totals, "
                                              "orders")));
    EXPECT_EQ(window->ui->txtError->text(), QString(again.messages()[1]).replace(q("\r\n"), q(" / ")));
    EXPECT_TRUE(window->ui->lblCkTableName->text().isEmpty());
}

TEST_F(TableMaintenance, ACopyKeepsInvisibleColumnsAndFitsALongName)
{
    const QString name = q("inventory_") + QString(50, QLatin1Char('x'));
    exec(q("ALTER TABLE items ADD secret VARCHAR(20) INVISIBLE"));
    exec(q("UPDATE items SET secret = CONCAT('s', id)"));
    exec(q("CREATE TABLE `%1` (id INT, hidden INT INVISIBLE)").arg(name));
    exec(q("INSERT INTO `%1` (id, hidden) VALUES (1, 10), (2, 20)").arg(name));
    chooseDatabase();
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    window->ui->cmdCopyDb->click();
    EXPECT_EQ(dialogs.messages().last(), q("ﾃｰﾌﾞﾙをｺﾋﾟｰしました。")) << window->ui->txtError->text().toStdString();
    EXPECT_TRUE(recorder->contains(q("create table ") + db + q(".back_items") + q("_26_12_07")
                                   + q(" select id,name,note,price,added,secret from ") + db + q(".items")));
    EXPECT_EQ(rows(q("select id, secret from `back_items%1` order by id").arg(q("_26_12_07"))),
              rows(q("select id, secret from items order by id")));
    const QString copy = scalar(q("select TABLE_NAME from information_schema.TABLES where TABLE_SCHEMA='")
                                + db
                                + q("' and TABLE_NAME like 'back\\_inventory%'"));
    EXPECT_LE(copy.size(), 64);
    EXPECT_TRUE(copy.endsWith(q("_26_12_07"))) << copy.toStdString();
    EXPECT_EQ(rows(q("select id, hidden from `%1` order by id").arg(copy)),
              (QList<QStringList>{{q("1"), q("10")}, {q("2"), q("20")}}));
}

TEST_F(TableMaintenance, ARunKeepsToItsListAndDatabaseWhenAnotherDatabaseIsClickedMeanwhile)
{
    const QString other = otherDatabase(); // no tables: the list becomes empty
    chooseDatabase();
    recorder->clear();
    ScriptedDialogs dialogs;
    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    clickDatabaseDuringTheRun(other);
    window->ui->cmdCheckTable->click();
    EXPECT_EQ(Session::instance().database, other); // the click was handled during the run
    QStringList expected;
    for (const QString &table : allTables())
        expected << q("check table ") + qualified(table) + q(" ");
    EXPECT_EQ(sent(), expected);
    EXPECT_EQ(dialogs.messages().last(), q("問題はありませんでした。"));
}
