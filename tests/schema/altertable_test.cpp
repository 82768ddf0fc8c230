// Altering a table and replacing a view from the edited create statement; every failure keeps the rows.
#include "schemafixture.h"

#include "connection.h"
#include "session.h"
#include "mainwindow/frmtablora.h"
#include "schema/attach.h"

#include <QRegularExpression>

using Icon = Dialogs::Icon;
using Buttons = Dialogs::Buttons;
using Answer = Dialogs::Answer;
using SchemaLogic::AlterStep;

namespace {
const QString Failed = QStringLiteral("ﾃｰﾌﾞﾙの変更に失敗しました。");
const QString Changed = QStringLiteral("変更しました。");
}

class AlterTableTest : public SchemaWindowTest
{
protected:
    void SetUp() override
    {
        SchemaWindowTest::SetUp();
        exec(QStringLiteral("CREATE TABLE items (id INT NOT NULL PRIMARY KEY, name VARCHAR(50) NOT NULL, "
                            "note VARCHAR(50) NULL) ENGINE=InnoDB"));
        exec(QStringLiteral("INSERT INTO items VALUES (1, 'りんご', '青森県産'), (2, 'みかん', NULL), "
                            "(3, '緑茶 500ml', '冷蔵'), (4, 'Coffee \"Blend\"', 'it''s \\\\ strong')"));
        original = itemRows(QStringLiteral("items"));
        originalCreate = createText(QStringLiteral("items"));
    }

    // Opens the window on the table, dating its backup at a fixed time.
    void openOn(const QString &table, const QString &connectionDatabase = QString())
    {
        openWindow(connectionDatabase);
        handlers->clock = [] {
            return QDateTime(QDate(2026, 12, 7), QTime(8, 31, 12));
        };
        chooseTable(table);
        recorder.clear();
    }

    void edit(const QString &before, const QString &after)
    {
        QString text = ui()->txtField->toPlainText();
        ASSERT_TRUE(text.contains(before)) << text.toStdString();
        ui()->txtField->setPlainText(text.replace(before, after));
    }

    // Clicks cmdCreateTable and confirms; further answers (OK) for the messages that follow.
    void apply(int messagesAfterConfirmation)
    {
        dialogs.answer(Answer::Ok);
        for (int i = 0; i < messagesAfterConfirmation; ++i)
            dialogs.answer(Answer::Ok);
        ui()->cmdCreateTable->click();
    }

    QList<QStringList> itemRows(const QString &table)
    {
        return rows(QStringLiteral("SELECT id, name, note FROM `%1` ORDER BY id").arg(table));
    }
    QString createText(const QString &table)
    {
        return rows(QStringLiteral("SHOW CREATE TABLE `%1`").arg(table)).value(0).value(1);
    }
    QString q(const QString &name) const { return db + QLatin1Char('.') + name; }

    const QString backup = QStringLiteral("items_202612070831korv");
    QList<QStringList> original;
    QString originalCreate;
};

TEST_F(AlterTableTest, AddedColumnKeepsEveryRowAndTakesItsDefault)
{
    openOn(QStringLiteral("items"));
    edit(QStringLiteral("  PRIMARY KEY"),
         QStringLiteral("  `stock` int NOT NULL DEFAULT 7,\n  PRIMARY KEY"));
    apply(1);

    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("itemsﾃｰﾌﾞﾙを変更します。"));
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Critical);
    EXPECT_EQ(dialogs.shown[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(dialogs.shown[1].text, Changed);
    EXPECT_EQ(dialogs.shown[1].icon, Icon::Information);

    const QStringList s = sent();
    ASSERT_GE(s.size(), 13);
    EXPECT_EQ(s[0], QStringLiteral("show create table ") + q(QStringLiteral("items;")));
    EXPECT_TRUE(s[1].startsWith(QStringLiteral("select TRIGGER_NAME from information_schema.TRIGGERS")));
    // What the copy needs to know: invisible columns, system versioning.
    EXPECT_TRUE(
            s[2].startsWith(QStringLiteral("select c.TABLE_NAME, c.COLUMN_NAME, c.EXTRA, t.TABLE_TYPE ")));
    EXPECT_EQ(s[3],
              QStringLiteral("create table ") + q(backup) + QStringLiteral(" select * from ") + q("items"));
    EXPECT_EQ(s[4], QStringLiteral("drop table ") + q(QStringLiteral("items")));
    EXPECT_TRUE(s[5].startsWith(QStringLiteral("CREATE TABLE ") + q(QStringLiteral("`items` (\n"))));
    EXPECT_TRUE(s[5].contains(QStringLiteral("`stock` int NOT NULL DEFAULT 7,")));
    EXPECT_EQ(s[6], QStringLiteral("show full fields from ") + q(QStringLiteral("`items`;")));
    // The old columns are the backup's, as the server has them.
    EXPECT_EQ(s[7], QStringLiteral("show full fields from ") + q(backup) + QLatin1Char(';'));
    EXPECT_EQ(s[8], QStringLiteral("insert into ")
                            + q(QStringLiteral("`items`(id,name,note\r\n) select id,name,note\r\n from "))
                            + q(backup));
    EXPECT_EQ(s[9], QStringLiteral("select count(*) from ") + q(backup));
    EXPECT_EQ(s[10], QStringLiteral("select count(*) from ") + q(QStringLiteral("`items`")));
    EXPECT_EQ(s[11], QStringLiteral("drop table ") + q(backup));
    EXPECT_TRUE(s.mid(12).contains(QStringLiteral("show tables from ") + db + QLatin1Char(';')));

    EXPECT_EQ(itemRows(QStringLiteral("items")), original);
    EXPECT_EQ(rows(QStringLiteral("SELECT DISTINCT stock FROM items")),
              QList<QStringList>{{QStringLiteral("7")}});
    EXPECT_TRUE(backupTables().isEmpty());
    EXPECT_EQ(ui()->lblCnt->text(), QStringLiteral("5/5"));
    EXPECT_TRUE(listEntries("lstTables").contains(QStringLiteral("[TABLE]\titems")));
}

TEST_F(AlterTableTest, RenamedColumnLosesOnlyThatColumn)
{
    openOn(QStringLiteral("items"));
    edit(QStringLiteral("`note`"), QStringLiteral("`memo`"));
    apply(1);

    EXPECT_EQ(dialogs.messages().value(1), Changed);
    EXPECT_TRUE(sent().contains(QStringLiteral("insert into ")
                                + q(QStringLiteral("`items`(id,name\r\n) select id,name\r\n from "))
                                + q(backup)));
    const auto after = rows(QStringLiteral("SELECT id, name, memo FROM items ORDER BY id"));
    ASSERT_EQ(after.size(), original.size());
    for (int i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].mid(0, 2), original[i].mid(0, 2));
        EXPECT_EQ(after[i][2], QStringLiteral("NULL"));
    }
}

TEST_F(AlterTableTest, RenamedTableTakesTheRows)
{
    openOn(QStringLiteral("items"));
    edit(QStringLiteral("CREATE TABLE `items`"), QStringLiteral("CREATE TABLE `goods`"));
    apply(1);

    EXPECT_EQ(dialogs.messages().value(1), Changed);
    EXPECT_FALSE(tableExists(db, QStringLiteral("items")));
    EXPECT_EQ(itemRows(QStringLiteral("goods")), original);
    EXPECT_TRUE(backupTables().isEmpty());
    EXPECT_EQ(listEntries("lstTables"), QStringList{QStringLiteral("[TABLE]\tgoods")});
}

TEST_F(AlterTableTest, SharedColumnsAreTheServersMatchedWithoutCase)
{
    openOn(QStringLiteral("items"));
    // Since the table was chosen, another session added a column with values; the edit adds the same
    // column and writes two names in capitals.
    exec(QStringLiteral("ALTER TABLE items ADD stock INT NOT NULL DEFAULT 0"));
    exec(QStringLiteral("UPDATE items SET stock = id * 10"));
    edit(QStringLiteral("  PRIMARY KEY"), QStringLiteral("  `stock` int NOT NULL DEFAULT 0,\n  PRIMARY KEY"));
    edit(QStringLiteral("`id`"), QStringLiteral("`ID`"));
    edit(QStringLiteral("`name`"), QStringLiteral("`NAME`"));
    apply(1);

    EXPECT_EQ(dialogs.messages().value(1), Changed) << ui()->txtError->text().toStdString();
    EXPECT_EQ(itemRows(QStringLiteral("items")), original);
    EXPECT_EQ(rows(QStringLiteral("SELECT stock FROM items ORDER BY id")),
              (QList<QStringList>{{"10"}, {"20"}, {"30"}, {"40"}}));
    EXPECT_TRUE(backupTables().isEmpty());
}

TEST_F(AlterTableTest, FewerRowsKeepTheBackupAndSayWhere)
{
    openOn(QStringLiteral("items"));
    // No column in common: the new table receives no row.
    ui()->txtField->setPlainText(QStringLiteral("CREATE TABLE `items` (`code` int DEFAULT NULL)"));
    apply(1);

    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_EQ(dialogs.messages()[1], Changed + QStringLiteral("\n新しいﾃｰﾌﾞﾙに入った行は 4 行のうち 0 行です。"
                                                          "元の行はﾊﾞｯｸｱｯﾌﾟﾃｰﾌﾞﾙ ")
                                         + q(backup) + QStringLiteral(" に残しました。"));
    EXPECT_EQ(dialogs.shown[1].icon, Icon::Warning);
    EXPECT_FALSE(sent().contains(QStringLiteral("drop table ") + q(backup)));
    EXPECT_EQ(itemRows(backup), original);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM items")), QStringLiteral("0"));
}

TEST_F(AlterTableTest, TriggersComeBackOnTheNewTableAndAfterAnUndo)
{
    exec(QStringLiteral("CREATE TABLE audit (what VARCHAR(80))"));
    exec(QStringLiteral("CREATE TRIGGER items_first BEFORE INSERT ON items FOR EACH ROW "
                        "SET NEW.note = CONCAT('新:', NEW.name)"));
    exec(QStringLiteral("CREATE TRIGGER items_log AFTER INSERT ON items FOR EACH ROW "
                        "INSERT INTO audit VALUES (CONCAT(NEW.id, ';', NEW.note))"));
    // Made under a mode of its own, which decides how its text reads; ordered after the first.
    exec(QStringLiteral("SET SESSION sql_mode = CONCAT(@@sql_mode, ',PIPES_AS_CONCAT')"));
    exec(QStringLiteral("CREATE TRIGGER items_second BEFORE INSERT ON items FOR EACH ROW FOLLOWS items_first "
                        "SET NEW.name = NEW.name || '!'"));
    exec(QStringLiteral("SET SESSION sql_mode = DEFAULT"));
    const QString listing = QStringLiteral(
            "SELECT TRIGGER_NAME, EVENT_OBJECT_TABLE, ACTION_TIMING, ACTION_ORDER, ACTION_STATEMENT, "
            "SQL_MODE "
            "FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = DATABASE() "
            "ORDER BY ACTION_TIMING, ACTION_ORDER");
    const QList<QStringList> before = rows(listing);
    ASSERT_EQ(before.size(), 3);

    // A failing edit: the old table comes back, and so do its triggers.
    openOn(QStringLiteral("items"));
    const QString text = ui()->txtField->toPlainText();
    edit(QStringLiteral("PRIMARY KEY"), QStringLiteral("PRIMARY KEYS"));
    apply(1);
    EXPECT_EQ(dialogs.messages().value(1), Failed);
    EXPECT_EQ(rows(listing), before);
    EXPECT_EQ(itemRows(QStringLiteral("items")), original);
    EXPECT_TRUE(backupTables().isEmpty());

    // A working edit: the copied rows fire nothing; the triggers act on the new table.
    ui()->txtField->setPlainText(text);
    dialogs.shown.clear();
    edit(QStringLiteral("  PRIMARY KEY"), QStringLiteral("  `stock` int NOT NULL DEFAULT 7,\n  PRIMARY KEY"));
    apply(1);
    EXPECT_EQ(dialogs.messages().value(1), Changed) << ui()->txtError->text().toStdString();
    EXPECT_EQ(rows(listing), before);
    EXPECT_EQ(itemRows(QStringLiteral("items")), original);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM audit")), QStringLiteral("0"));
    exec(QStringLiteral("INSERT INTO items (id, name) VALUES (5, 'x')"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT what FROM audit")), QStringLiteral("5;新:x"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM items WHERE id = 5")), QStringLiteral("x!"));

    // A trigger that the new definition cannot carry is named with its text; the change itself stands.
    exec(QStringLiteral("DELETE FROM items WHERE id = 5"));
    chooseTable(QStringLiteral("items"));
    dialogs.shown.clear();
    edit(QStringLiteral("  `note` varchar(50) DEFAULT NULL,\n"), QString());
    apply(1);
    EXPECT_TRUE(dialogs.messages().value(1).startsWith(
            Changed + QStringLiteral("\n作成できなかったﾄﾘｶﾞｰがあります。")))
            << dialogs.messages().value(1).toStdString();
    EXPECT_TRUE(ui()->txtError->text().contains(QStringLiteral("TRIGGER items_first BEFORE INSERT ON ")))
            << ui()->txtError->text().toStdString();
    EXPECT_EQ(rows(QStringLiteral("SELECT id, name FROM items ORDER BY id")).size(), original.size());
    EXPECT_TRUE(backupTables().isEmpty());
}

TEST_F(AlterTableTest, NameWithABlank)
{
    exec(QStringLiteral("CREATE TABLE `order lines` SELECT * FROM items"));
    openOn(QStringLiteral("order lines"));
    edit(QStringLiteral("`note` varchar(50) DEFAULT NULL"),
         QStringLiteral("`note` varchar(50) DEFAULT NULL,\n  `added` date DEFAULT '2026-12-07'"));
    apply(1);

    EXPECT_EQ(dialogs.messages().value(1), Changed);
    const QString lines = QStringLiteral("`order lines_202612070831korv`");
    EXPECT_EQ(sent().value(3), QStringLiteral("create table ") + q(lines) + QStringLiteral(" select * from ")
                                       + q(QStringLiteral("`order lines`")));
    EXPECT_TRUE(sent().value(5).startsWith(QStringLiteral("CREATE TABLE ")
                                           + q(QStringLiteral("`order lines` ("))));
    EXPECT_EQ(itemRows(QStringLiteral("order lines")), original);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM `order lines` WHERE added = '2026-12-07'")),
              QStringLiteral("4"));
    EXPECT_TRUE(backupTables().isEmpty());
}

TEST_F(AlterTableTest, GeneratedColumnIsLeftToTheServer)
{
    exec(QStringLiteral("CREATE TABLE priced (id INT NOT NULL PRIMARY KEY, price INT NOT NULL, "
                        "taxed INT AS (price * 11 DIV 10) VIRTUAL, label VARCHAR(20) AS (CONCAT('#', id)) "
                        "STORED)"));
    exec(QStringLiteral("INSERT INTO priced (id, price) VALUES (1, 100), (2, 250)"));
    const QString before = createText(QStringLiteral("priced"));
    const QList<QStringList> computed{{"1", "100", "110", "#1"}, {"2", "250", "275", "#2"}};
    openOn(QStringLiteral("priced"));

    // A failing edit: the rows go back into the old table, the generated columns computed again.
    const QString text = ui()->txtField->toPlainText();
    edit(QStringLiteral("PRIMARY KEY"), QStringLiteral("PRIMARY KEYS"));
    apply(1);
    EXPECT_EQ(dialogs.messages(), (QStringList{QStringLiteral("pricedﾃｰﾌﾞﾙを変更します。"), Failed}));
    const QString table = q(QStringLiteral("priced"));
    const QString saved = q(QStringLiteral("priced_202612070831korv"));
    EXPECT_EQ(sent().mid(8),
              (QStringList{QStringLiteral("show full fields from ") + table + QLatin1Char(';'),
                           QStringLiteral("insert into ") + table
                                   + QStringLiteral("(id,price\r\n) select id,price\r\n from ") + saved,
                           QStringLiteral("drop table ") + saved}));
    EXPECT_EQ(createText(QStringLiteral("priced")), before);
    EXPECT_EQ(rows(QStringLiteral("SELECT id, price, taxed, label FROM priced ORDER BY id")), computed);
    EXPECT_TRUE(backupTables().isEmpty());

    // Adding a column: the columns that hold values are copied, the server computes the others.
    ui()->txtField->setPlainText(text);
    dialogs.shown.clear();
    recorder.clear();
    edit(QStringLiteral("  PRIMARY KEY"), QStringLiteral("  `memo` text DEFAULT NULL,\n  PRIMARY KEY"));
    apply(1);

    EXPECT_EQ(dialogs.messages().value(1), Changed) << ui()->txtError->text().toStdString();
    EXPECT_TRUE(sent().contains(QStringLiteral("insert into ")
                                + q(QStringLiteral("`priced`(id,price\r\n) select id,price\r\n from "))
                                + q(QStringLiteral("priced_202612070831korv"))));
    EXPECT_EQ(rows(QStringLiteral("SELECT id, price, taxed, label, memo FROM priced ORDER BY id")),
              (QList<QStringList>{{"1", "100", "110", "#1", "NULL"}, {"2", "250", "275", "#2", "NULL"}}));
    EXPECT_TRUE(backupTables().isEmpty());
}

TEST_F(AlterTableTest, InvisibleColumnsKeepTheirValuesUnderALongName)
{
    // 60 characters: the dated backup name must be cut to the server's 64.
    const QString name = QStringLiteral("inventory_") + QString(50, QLatin1Char('x'));
    exec(QStringLiteral("CREATE TABLE `%1` (id INT NOT NULL PRIMARY KEY, label VARCHAR(20), "
                        "secret VARCHAR(20) INVISIBLE)").arg(name));
    exec(QStringLiteral("INSERT INTO `%1` (id, label, secret) VALUES (1, 'a', 's1'), (2, 'b', 's2')")
                 .arg(name));
    const QString all = QStringLiteral("SELECT id, label, secret FROM `%1` ORDER BY id").arg(name);
    const QList<QStringList> before = rows(all);
    openOn(name);

    // A failing edit: the old table comes back with the invisible values.
    const QString text = ui()->txtField->toPlainText();
    edit(QStringLiteral("PRIMARY KEY"), QStringLiteral("PRIMARY KEYS"));
    apply(1);
    EXPECT_EQ(dialogs.messages().value(1), Failed);
    EXPECT_EQ(rows(all), before);
    EXPECT_TRUE(backupTables().isEmpty());

    ui()->txtField->setPlainText(text);
    dialogs.shown.clear();
    recorder.clear();
    edit(QStringLiteral("  PRIMARY KEY"), QStringLiteral("  `added` int DEFAULT 3,\n  PRIMARY KEY"));
    apply(1);
    EXPECT_EQ(dialogs.messages().value(1), Changed) << ui()->txtError->text().toStdString();
    EXPECT_EQ(rows(all), before);
    EXPECT_EQ(scalar(QStringLiteral("SELECT EXTRA FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '%1' "
                                    "AND TABLE_NAME = '%2' AND COLUMN_NAME = 'secret'").arg(db, name)),
              QStringLiteral("INVISIBLE"));
    // The backup named every column, under a name that fits.
    const QRegularExpression backupStatement(QStringLiteral("^create table ") + db
                                             + QStringLiteral("\\.`([^`]+)` select id,label,secret from "));
    const QStringList made = sent().filter(backupStatement);
    ASSERT_EQ(made.size(), 1) << sent().join(QLatin1Char('\n')).toStdString();
    const QString dated = backupStatement.match(made[0]).captured(1);
    EXPECT_LE(dated.size(), 64);
    EXPECT_TRUE(dated.startsWith(name.left(40)));
    EXPECT_TRUE(dated.endsWith(QStringLiteral("_202612070831korv")));
    EXPECT_TRUE(backupTables().isEmpty());
}

TEST_F(AlterTableTest, ASystemVersionedTableAsksFirst)
{
    exec(QStringLiteral("CREATE TABLE kept (id INT NOT NULL PRIMARY KEY, v INT) WITH SYSTEM VERSIONING"));
    exec(QStringLiteral("INSERT INTO kept VALUES (1, 10), (2, 20)"));
    exec(QStringLiteral("UPDATE kept SET v = v + 1"));
    const QString history = QStringLiteral("SELECT COUNT(*) FROM kept FOR SYSTEM_TIME ALL");
    const QString createBefore = createText(QStringLiteral("kept"));
    openOn(QStringLiteral("kept"));
    edit(QStringLiteral("  PRIMARY KEY"), QStringLiteral("  `added` int DEFAULT 3,\n  PRIMARY KEY"));

    // No: nothing changes.
    dialogs.answer(Answer::Ok).answer(Answer::No);
    ui()->cmdCreateTable->click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_EQ(dialogs.messages()[1],
              QStringLiteral("keptﾃｰﾌﾞﾙはｼｽﾃﾑﾊﾞｰｼﾞｮﾝ管理されています。作り直すと履歴（過去の版の行）は失われ、"
                             "今の行だけが残ります。\n\n変更しますか？"));
    EXPECT_EQ(dialogs.shown[1].buttons, Buttons::YesNo);
    EXPECT_EQ(dialogs.shown[1].icon, Icon::Warning);
    EXPECT_TRUE(sent().filter(QRegularExpression(QStringLiteral("^(create|drop) table"))).isEmpty());
    EXPECT_EQ(createText(QStringLiteral("kept")), createBefore);
    EXPECT_EQ(scalar(history), QStringLiteral("4"));

    // Yes: the table is rebuilt with its present rows.
    dialogs.shown.clear();
    dialogs.answer(Answer::Ok).answer(Answer::Yes).answer(Answer::Ok);
    ui()->cmdCreateTable->click();
    EXPECT_EQ(dialogs.messages().value(2), Changed) << ui()->txtError->text().toStdString();
    EXPECT_EQ(rows(QStringLiteral("SELECT id, v, added FROM kept ORDER BY id")),
              (QList<QStringList>{{"1", "11", "3"}, {"2", "21", "3"}}));
    EXPECT_TRUE(backupTables().isEmpty());
}

TEST_F(AlterTableTest, SyntaxErrorBringsTheOldTableBackAndDropsTheBackup)
{
    openOn(QStringLiteral("items"));
    edit(QStringLiteral("PRIMARY KEY"), QStringLiteral("PRIMARY KEYS"));
    apply(1);

    EXPECT_EQ(dialogs.messages(), (QStringList{QStringLiteral("itemsﾃｰﾌﾞﾙを変更します。"), Failed}));
    EXPECT_EQ(dialogs.shown.value(1).icon, Icon::Critical);
    EXPECT_TRUE(ui()->txtError->text().contains(QStringLiteral("1064")))
            << ui()->txtError->text().toStdString();
    EXPECT_EQ(ui()->Label13->toolTip(), ui()->txtError->text());
    EXPECT_EQ(ui()->picStatus->fraction(), 0.0);

    const QStringList s = sent();
    ASSERT_EQ(s.size(), 9);
    EXPECT_TRUE(s[6].startsWith(QStringLiteral("CREATE TABLE ") + q(QStringLiteral("`items` ("))));
    EXPECT_EQ(s[7], QStringLiteral("insert into ") + q(QStringLiteral("items select * from ")) + q(backup));
    EXPECT_EQ(s[8], QStringLiteral("drop table ") + q(backup));
    EXPECT_EQ(itemRows(QStringLiteral("items")), original);
    EXPECT_EQ(createText(QStringLiteral("items")), originalCreate);
    EXPECT_TRUE(backupTables().isEmpty());
}

TEST_F(AlterTableTest, BackupNameAlreadyTakenChangesNothing)
{
    exec(QStringLiteral("CREATE TABLE `%1` (x INT)").arg(backup));
    exec(QStringLiteral("INSERT INTO `%1` VALUES (42)").arg(backup));
    openOn(QStringLiteral("items"));
    edit(QStringLiteral("  PRIMARY KEY"),
         QStringLiteral("  `stock` int NOT NULL DEFAULT 7,\n  PRIMARY KEY"));
    apply(1);

    EXPECT_EQ(dialogs.messages().value(1), Failed);
    EXPECT_TRUE(ui()->txtError->text().contains(QStringLiteral("1050")))
            << ui()->txtError->text().toStdString();
    EXPECT_EQ(sent().size(), 4);
    EXPECT_EQ(itemRows(QStringLiteral("items")), original);
    EXPECT_EQ(createText(QStringLiteral("items")), originalCreate);
    EXPECT_EQ(rows(QStringLiteral("SELECT x FROM `%1`").arg(backup)),
              QList<QStringList>{{QStringLiteral("42")}});
}

TEST_F(AlterTableTest, RowsThatCannotBeCopiedBringTheOldTableBack)
{
    // The connection stands in another database holding a table of the same name: the undo must not
    // touch it.
    const QString other = extraDatabase(QStringLiteral("_other"));
    exec(QStringLiteral("CREATE TABLE `%1`.items (id INT, name VARCHAR(50), note VARCHAR(50))").arg(other));
    exec(QStringLiteral("INSERT INTO `%1`.items VALUES (99, 'other', NULL)").arg(other));
    openOn(QStringLiteral("items"), other);
    ASSERT_TRUE(scalar(QStringLiteral("SELECT @@GLOBAL.sql_mode"))
                        .contains(QStringLiteral("STRICT_TRANS_TABLES")));
    // Row 2 has no note: it cannot go into a NOT NULL column without default.
    edit(QStringLiteral("`note` varchar(50) DEFAULT NULL"), QStringLiteral("`note` varchar(50) NOT NULL"));
    apply(1);

    EXPECT_EQ(dialogs.messages().value(1), Failed);
    EXPECT_TRUE(ui()->txtError->text().contains(QStringLiteral("1048")))
            << ui()->txtError->text().toStdString();
    const QStringList s = sent();
    ASSERT_EQ(s.size(), 13);
    EXPECT_EQ(s[9], QStringLiteral("drop table ") + q(QStringLiteral("`items`")));
    EXPECT_EQ(itemRows(QStringLiteral("items")), original);
    EXPECT_EQ(createText(QStringLiteral("items")), originalCreate);
    EXPECT_TRUE(backupTables().isEmpty());
    EXPECT_EQ(rows(QStringLiteral("SELECT id FROM `%1`.items").arg(other)),
              QList<QStringList>{{QStringLiteral("99")}});
}

TEST_F(AlterTableTest, NothingToDoWithoutStatementNameOrConfirmation)
{
    openOn(QStringLiteral("items"));
    ui()->txtField->setPlainText(QStringLiteral("  \n "));
    dialogs.answer(Answer::Ok);
    ui()->cmdCreateTable->click();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("ﾃｰﾌﾞﾙを選択して下さい。")});
    EXPECT_EQ(dialogs.shown.value(0).icon, Icon::Information);

    ui()->txtField->setPlainText(QStringLiteral("CREATE TABLE items2 LIKE items"));
    dialogs.answer(Answer::Cancel);
    ui()->cmdCreateTable->click();
    EXPECT_TRUE(sent().isEmpty());

    apply(1);
    EXPECT_EQ(dialogs.messages().value(3), QStringLiteral("ﾃｰﾌﾞﾙ名が見つかりません。"));
    EXPECT_EQ(dialogs.shown.value(3).icon, Icon::Critical);
    EXPECT_EQ(sent(), QStringList{QStringLiteral("show create table ") + q(QStringLiteral("items;"))});
    EXPECT_EQ(itemRows(QStringLiteral("items")), original);
}

// The connection dies before one step after another: afterwards every row is in the table or in the
// dated backup, and the messages say so.
class AlterTableKilledTest : public AlterTableTest, public ::testing::WithParamInterface<AlterStep>
{
};

TEST_P(AlterTableKilledTest, RowsSurviveALostConnection)
{
    const AlterStep killedAt = GetParam();
    openOn(QStringLiteral("items"));
    const QString thread = QString::number(Session::instance().db().threadId());
    std::vector<AlterStep> reached;
    handlers->beforeAlterStep = [&](AlterStep step) {
        reached.push_back(step);
        if (step == killedAt)
            admin->Execute(QStringLiteral("KILL ") + thread);
    };
    edit(QStringLiteral("  PRIMARY KEY"),
         QStringLiteral("  `stock` int NOT NULL DEFAULT 7,\n  PRIMARY KEY"));
    const bool backupMade = killedAt != AlterStep::ReadKind && killedAt != AlterStep::Backup;
    apply(backupMade ? 2 : 1);

    ASSERT_EQ(reached.back(), killedAt);
    const QStringList messages = dialogs.messages();
    ASSERT_EQ(messages.size(), backupMade ? 3 : 2);
    EXPECT_EQ(messages[1], Failed);
    EXPECT_FALSE(ui()->txtError->text().isEmpty());
    if (backupMade) {
        EXPECT_TRUE(messages[2].startsWith(QStringLiteral("元に戻せませんでした。ﾃﾞｰﾀはﾊﾞｯｸｱｯﾌﾟﾃｰﾌﾞﾙ ")
                                           + q(backup) + QStringLiteral(" に残っています。\n")))
                << messages[2].toStdString();
        EXPECT_EQ(itemRows(backup), original);
    } else {
        EXPECT_TRUE(backupTables().isEmpty());
    }

    switch (killedAt) {
    case AlterStep::ReadKind:
    case AlterStep::Backup:
    case AlterStep::DropOld:
        EXPECT_EQ(createText(QStringLiteral("items")), originalCreate);
        EXPECT_EQ(itemRows(QStringLiteral("items")), original);
        break;
    case AlterStep::CreateNew:
        EXPECT_FALSE(tableExists(db, QStringLiteral("items")));
        break;
    case AlterStep::ReadColumns:
    case AlterStep::CopyRows:
        EXPECT_TRUE(itemRows(QStringLiteral("items")).isEmpty());
        break;
    case AlterStep::DropBackup:
        EXPECT_EQ(itemRows(QStringLiteral("items")), original);
        break;
    default:
        ADD_FAILURE();
    }
}

INSTANTIATE_TEST_SUITE_P(EachStep, AlterTableKilledTest,
                         ::testing::Values(AlterStep::ReadKind, AlterStep::Backup, AlterStep::DropOld,
                                           AlterStep::CreateNew, AlterStep::ReadColumns, AlterStep::CopyRows,
                                           AlterStep::DropBackup),
                         [](const ::testing::TestParamInfo<AlterStep> &info) {
                             switch (info.param) {
                             case AlterStep::ReadKind:
                                 return "ReadKind";
                             case AlterStep::Backup:
                                 return "Backup";
                             case AlterStep::DropOld:
                                 return "DropOld";
                             case AlterStep::CreateNew:
                                 return "CreateNew";
                             case AlterStep::ReadColumns:
                                 return "ReadColumns";
                             case AlterStep::CopyRows:
                                 return "CopyRows";
                             case AlterStep::DropBackup:
                                 return "DropBackup";
                             default:
                                 return "Other";
                             }
                         });

class AlterViewTest : public AlterTableTest
{
protected:
    void SetUp() override
    {
        AlterTableTest::SetUp();
        exec(QStringLiteral("CREATE VIEW cheap AS SELECT id, name FROM items WHERE id < 3"));
        originalView = createText(QStringLiteral("cheap"));
    }
    QString originalView;
};

TEST_F(AlterViewTest, ViewIsReplacedInItsOwnDatabase)
{
    // The view's statement, read while the connection stood in the view's database, names its table
    // without the database; meanwhile the connection has moved on to another database.
    const QString other = extraDatabase(QStringLiteral("_other"));
    openOn(QStringLiteral("cheap"), db);
    EXPECT_EQ(ui()->lblEditName->text(), QStringLiteral("編集VIEW:"));
    edit(QStringLiteral("from `items` where `items`.`id` < 3"),
         QStringLiteral("from `items` where `items`.`id` < 4"));
    // The statement is run as the user left it, blank lines around it included.
    ui()->txtField->setPlainText(QStringLiteral("\n  ") + ui()->txtField->toPlainText()
                                 + QStringLiteral("\n\n"));
    const QString edited = ui()->txtField->toPlainText();
    Session::instance().db().Execute(QStringLiteral("use ") + other);
    recorder.clear();
    apply(1);

    EXPECT_EQ(dialogs.messages(), (QStringList{QStringLiteral("cheapﾃｰﾌﾞﾙを変更します。"), Changed}));
    // The connection goes back to the database it stood in, for the statements typed later.
    EXPECT_EQ(sent().mid(0, 6),
              (QStringList{QStringLiteral("show create table ") + q(QStringLiteral("cheap;")),
                           QStringLiteral("select database()"),
                           QStringLiteral("drop view ") + q(QStringLiteral("cheap")),
                           QStringLiteral("use ") + db, edited, QStringLiteral("use ") + other}));
    EXPECT_EQ(Session::instance().db().Execute(QStringLiteral("select database()"))->Value(0), other);
    EXPECT_EQ(ui()->lblCnt->text(), QStringLiteral("3/3"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM cheap")), QStringLiteral("3"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM information_schema.views WHERE table_schema = '")
                     + other + QLatin1Char('\'')),
              QStringLiteral("0"));
}

TEST_F(AlterViewTest, FailingViewEditPutsTheOldViewBack)
{
    openOn(QStringLiteral("cheap"));
    edit(QStringLiteral(" < 3"), QStringLiteral(" < "));
    apply(1);

    EXPECT_EQ(dialogs.messages().value(1), Failed);
    EXPECT_TRUE(ui()->txtError->text().contains(QStringLiteral("1064")))
            << ui()->txtError->text().toStdString();
    const QStringList s = sent();
    ASSERT_EQ(s.size(), 7);
    EXPECT_EQ(s[5], QStringLiteral("use ") + db);
    EXPECT_EQ(s[6], ui()->lblCreateTable->text());
    EXPECT_EQ(createText(QStringLiteral("cheap")), originalView);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM cheap")), QStringLiteral("2"));
}

TEST_F(AlterViewTest, LostConnectionShowsTheOldStatement)
{
    openOn(QStringLiteral("cheap"));
    const QString thread = QString::number(Session::instance().db().threadId());
    handlers->beforeAlterStep = [&](AlterStep step) {
        if (step == AlterStep::CreateView)
            admin->Execute(QStringLiteral("KILL ") + thread);
    };
    edit(QStringLiteral(" < 3"), QStringLiteral(" < 4"));
    apply(2);

    const QStringList messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_EQ(messages[1], Failed);
    EXPECT_TRUE(messages[2].startsWith(QStringLiteral("元のVIEWに戻せませんでした。\n")));
    EXPECT_TRUE(messages[2].endsWith(QStringLiteral("\n\n") + ui()->lblCreateTable->text()))
            << messages[2].toStdString();
    EXPECT_EQ(itemRows(QStringLiteral("items")), original);
}
