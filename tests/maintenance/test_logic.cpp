// The maintenance rules that need no window and no server.
#include "accessibility.h"
#include "maintenance/frminout.h"
#include "maintenance/frmrestore.h"
#include "maintenance/logicalbackup.h"
#include "maintenance/maintlogic.h"
#include "maintenance/scripteffects.h"
#include "maintenance/sqlscript.h"

#include "widgets/qtdialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

using namespace MaintLogic;

namespace {
QString q(const char *text)
{
    return QString::fromUtf8(text);
}
}

TEST(MaintLogic, ScopeFollowsTheMarkersLeadingNumber)
{
    EXPECT_EQ(scopeOf(QString()), Scope::None);
    EXPECT_EQ(scopeOf(q("0")), Scope::All);
    EXPECT_EQ(scopeOf(q("0:database,1:table")), Scope::All); // the label's design text
    EXPECT_EQ(scopeOf(q("1")), Scope::One);
    EXPECT_EQ(scopeOf(q(" 2")), Scope::One);
    EXPECT_EQ(scopeOf(q("x")), Scope::All);
    EXPECT_DOUBLE_EQ(leadingNumber(q("1:table")), 1.0);
    EXPECT_DOUBLE_EQ(leadingNumber(q("-1.5abc")), -1.5);
}

TEST(MaintLogic, StatementsNamePlainNamesLetterForLetterAndQuoteOthers)
{
    const QDate day(2026, 12, 7);
    EXPECT_EQ(statement(Operation::Check, q("shop"), q("orders"), day), q("check table shop.orders "));
    EXPECT_EQ(statement(Operation::Optimize, q("shop"), q("orders"), day), q("optimize table shop.orders"));
    EXPECT_EQ(statement(Operation::Repair, q("shop"), q("orders"), day), q("repair table shop.orders"));
    EXPECT_EQ(statement(Operation::Copy, q("shop"), q("orders"), day),
              q("create table shop.back_orders_26_12_07 select * from shop.orders"));
    EXPECT_EQ(statement(Operation::Check, q("shop"), q("order details"), day),
              q("check table shop.`order details` "));
    EXPECT_EQ(statement(Operation::Copy, q("my db"), q("a`b"), QDate(2031, 1, 2)),
              q("create table `my db`.`back_a``b_31_01_02` select * from `my db`.`a``b`"));
}

TEST(MaintLogic, VariantTexts)
{
    EXPECT_EQ(variant(Operation::Check).singleConfirm, q("ﾃｰﾌﾞﾙの検査を行います。"));
    EXPECT_EQ(variant(Operation::Optimize).allConfirm, q("全ﾃｰﾌﾞﾙの最適化を行います。"));
    EXPECT_EQ(variant(Operation::Repair).resultMessage, q("修復しました。"));
    EXPECT_EQ(variant(Operation::Copy).singleConfirm, q("ﾃｰﾌﾞﾙのﾃﾞｰﾀｺﾋﾟｰを行います。"));
    EXPECT_EQ(variant(Operation::Copy).resultMessage, q("ﾃｰﾌﾞﾙをｺﾋﾟｰしました。"));
}

TEST(MaintLogic, ProblemsInTheServersAnswer)
{
    const QList<Finding> ok = {{q("s.t"), q("check"), q("OK")}};
    const QList<Finding> okStatus = {{q("s.t"), q("warning"), q("1 client is using the table")},
                                     {q("s.t"), q("status"), q("OK")}};
    const QList<Finding> corrupt = {{q("s.t"), q("error"), q("Size of datafile is: 6 Should be: 60")},
                                    {q("s.t"), q("error"), q("Corrupt")}};
    const QList<Finding> missing = {{q("s.x"), q("Error"), q("Table 's.x' doesn't exist")},
                                    {q("s.x"), q("status"), q("Operation failed")}};
    const QList<Finding> notOk = {{q("s.t"), q("status"), q("Table is marked as crashed")}};
    EXPECT_TRUE(problemsOf(Operation::Check, okStatus).isEmpty());
    EXPECT_TRUE(problemsOf(Operation::Check, ok).isEmpty()); // no status row at all: nothing to judge by
    EXPECT_EQ(problemsOf(Operation::Check, corrupt), corrupt);
    EXPECT_EQ(problemsOf(Operation::Check, missing), missing);
    EXPECT_EQ(problemsOf(Operation::Check, notOk), notOk);
    // Optimise and repair report only the error rows.
    EXPECT_EQ(problemsOf(Operation::Repair, missing), missing.mid(0, 1));
    EXPECT_TRUE(problemsOf(Operation::Optimize, notOk).isEmpty());
    EXPECT_TRUE(problemsOf(Operation::Copy, corrupt).isEmpty());
    EXPECT_EQ(formatFindings(missing, q("\n")),
              q("s.x : Error : Table 's.x' doesn't exist\ns.x : status : Operation failed"));
}

TEST(MaintLogic, BackupAndRestoreStatements)
{
    EXPECT_EQ(tableList(q("shop"), {q("a"), q("order details")}), q("shop.a,shop.`order details`"));
    EXPECT_EQ(backupStatement(q("shop.a,shop.b"), q("C:\\\\bk")),
              q("backup table shop.a,shop.b to 'C:\\\\bk'"));
    EXPECT_EQ(restoreStatement(q("shop.a"), q("/bk")), q("restore table shop.a from '/bk'"));
    EXPECT_EQ(dropStatement(q("shop"), q("a")), q("drop table shop.a"));
    EXPECT_EQ(Texts::backedUp(q("C:\\bk")), q("「C:\\bk」にﾊﾞｯｸｱｯﾌﾟしました。"));
    EXPECT_EQ(Texts::restored(q("/bk")), q("「/bk」から復元しました。"));
}

TEST(MaintLogic, RestoreNameList)
{
    EXPECT_EQ(restoreNames({}), QStringList{QString()});
    EXPECT_EQ(restoreNames({q("Orders.FRM"), q("items.frm"), q("a.Frm.frm"), q("notes.sql"), q("x.SQL")}),
              (QStringList{q("Orders"), q("items"), q("a.Frm"), q("notes"), q("x")}));
    // Only the ending goes.
    EXPECT_EQ(restoreNames({q("a.frmb.frm")}), QStringList{q("a.frmb")});
    EXPECT_EQ(restoreTotal({q("a")}), 1);
    EXPECT_EQ(restoreTotal({q("a"), q("b")}), 2);
    EXPECT_EQ(restoreTotal({q("a"), q("b"), q("c")}), 4);
    EXPECT_EQ(backupFileName(q("order details")), q("order details.sql"));
    EXPECT_EQ(backupFileName(q("a/b")), q("a@002fb.sql"));
    // A file of statements gives back the name it was written for, ".frm", "@" and "/" included.
    EXPECT_EQ(backupFileName(q("x.frm@1/2")), q("x.frm@00401@002f2.sql"));
    EXPECT_EQ(restoreNames({backupFileName(q("x.frm@1/2")), q("a@002f.frm"), q("@0041.sql")}),
              (QStringList{q("x.frm@1/2"), q("a@002f"), q("@0041")}));
    EXPECT_EQ(scriptFileName(q("view"), q("v")), q("view_v.sql"));
}

TEST(MaintLogic, ImportAndExportStatements)
{
    EXPECT_EQ(loadStatement(q("/d/x.txt"), q("shop"), q("order details"), q("utf8mb4"), q(",")),
              q("load data infile '/d/x.txt' into table shop.`order details` character set utf8mb4 "
                "fields terminated by ',' lines terminated by '\\n'"));
    EXPECT_EQ(unloadStatement(q("/d/x.txt"), q("shop"), q("items"), q("cp932"), q("\t")),
              q("select * from shop.items into outfile '/d/x.txt' character set cp932 "
                "fields terminated by '\t' lines terminated by '\\n'"));
    EXPECT_EQ(serverCharset("UTF-8"), q("utf8mb4"));
    EXPECT_EQ(serverCharset("SHIFT_JIS"), q("cp932"));
    EXPECT_EQ(serverCharset("EUC-JP"), q("ujis"));
}

TEST(LogicalBackup, ValuesCannotEndTheirLiterals)
{
    QByteArray out;
    const QByteArray text("it's \\ \"q\"\n\r\x1a", 13);
    appendQuoted(out, text.constData(), text.size());
    EXPECT_EQ(out, QByteArray("'it\\'s \\\\ \\\"q\\\"\\n\\r\\Z'"));
    out.clear();
    const QByteArray zero("a\0b", 3);
    appendQuoted(out, zero.constData(), zero.size());
    EXPECT_EQ(out, QByteArray("'a\\0b'"));
    out.clear();
    const QByteArray japanese = q("醤油").toUtf8();
    appendQuoted(out, japanese.constData(), japanese.size());
    EXPECT_EQ(out, "'" + japanese + "'");
    out.clear();
    appendHex(out, "\x00\xff\x10", 3);
    EXPECT_EQ(out, QByteArray("0x00FF10"));
    out.clear();
    appendHex(out, "", 0);
    EXPECT_EQ(out, QByteArray("''"));
    EXPECT_EQ(valueKindOf(q("DECIMAL")), ValueKind::Number);
    EXPECT_EQ(valueKindOf(q("longblob")), ValueKind::Binary);
    EXPECT_EQ(valueKindOf(q("bit")), ValueKind::Binary);
    EXPECT_EQ(valueKindOf(q("datetime")), ValueKind::Text);
    EXPECT_EQ(valueKindOf(q("json")), ValueKind::Text);
}

namespace {
QList<QByteArray> split(const QByteArray &text, qsizetype piece)
{
    QList<QByteArray> statements;
    SqlScriptSplitter splitter([&](const QByteArray &s) { statements << s; });
    for (qsizetype i = 0; i < text.size(); i += piece)
        splitter.feed(text.mid(i, piece));
    splitter.finish();
    return statements;
}
}

TEST(SqlScriptSplitter, StatementsAsTheClientReadsThem)
{
    const QByteArray script =
        "-- a comment line\n"
        "# another\n"
        "SET NAMES utf8mb4;\n"
        "INSERT INTO t VALUES ('a;b', 'it\\'s', \"x\\\";y\", '--not', 'a''b');\n"
        "CREATE TABLE `x;y` (a int) /* c;d */;\n"
        "DELIMITER ;;\n"
        "CREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END ;;\n"
        "DELIMITER ;\n"
        "select 3 - -1;\n"
        "delete from t -- trailing comment\n"
        "where a = 1;\n"
        "select 'last'";
    const QList<QByteArray> expected = {
        "SET NAMES utf8mb4",
        "INSERT INTO t VALUES ('a;b', 'it\\'s', \"x\\\";y\", '--not', 'a''b')",
        "CREATE TABLE `x;y` (a int) /* c;d */",
        "CREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END",
        "select 3 - -1",
        "delete from t \nwhere a = 1",
        "select 'last'",
    };
    // Whatever the pieces the text arrives in, the statements are the same.
    for (const qsizetype piece : {qsizetype(1), qsizetype(2), qsizetype(3), qsizetype(7), script.size()})
        EXPECT_EQ(split(script, piece), expected) << "pieces of " << piece;
}

TEST(SqlScriptSplitter, AnyLengthAndAnyNumberOfStatementsOnOneLine)
{
    // 100,000 statements on one line, each beginning as a DELIMITER command would.
    QByteArray line;
    for (int i = 0; i < 100000; ++i)
        line += "do " + QByteArray::number(i) + ";";
    qint64 count = 0;
    QByteArray last;
    SqlScriptSplitter splitter([&](const QByteArray &s) {
        ++count;
        last = s;
    });
    splitter.feed(line);
    splitter.finish();
    EXPECT_EQ(count, 100000);
    EXPECT_EQ(last, QByteArray("do 99999"));

    // 100 MB in pieces of 1 MB, a DELIMITER change halfway: every statement arrives whole.
    const QByteArray statement = "delete from t where note = 'd;" + QByteArray(60, 'x') + "';\n";
    QByteArray piece;
    while (piece.size() < (1 << 20))
        piece += statement;
    count = 0;
    qsizetype longest = 0;
    SqlScriptSplitter big([&](const QByteArray &s) {
        ++count;
        longest = std::max(longest, s.size());
    });
    for (int i = 0; i < 100; ++i) {
        if (i == 50)
            big.feed("DELIMITER //\nselect 1; select 2//\nDELIMITER ;\n");
        big.feed(piece);
    }
    big.finish();
    EXPECT_EQ(count, 100 * (piece.size() / statement.size()) + 1);
    EXPECT_EQ(longest, statement.size() - 2);
}

namespace {
// Runs act on the folder chooser once it is up, from the event loop that it runs.
void whenChooserIsUp(std::function<void(QWidget *)> act)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, poll] {
        if (QWidget *modal = QApplication::activeModalWidget())
            act(modal);
        else
            QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}
}

TEST(ScriptEffects, WhatAStatementDestroysIsReadAsTheServerReadsIt)
{
    using ScriptEffects::Effect;
    const auto shown = [](const char *statement) { return ScriptEffects::effectOf(statement).text; };
    const auto objects = [](const char *statement) {
        QStringList names;
        for (const auto &object : ScriptEffects::effectOf(statement).objects)
            names << (object.database.isEmpty() ? QString() : object.database + q(".")) + object.name;
        return names;
    };
    EXPECT_EQ(shown("DROP TABLE IF EXISTS `a`, shop.`b c`"), q("DROP TABLE `a`, shop.`b c`"));
    EXPECT_EQ(objects("DROP TABLE IF EXISTS `a`, shop.`b c`"), (QStringList{q("a"), q("shop.b c")}));
    // The dump tools' version comments are run; comments and never-run versions are not.
    EXPECT_EQ(shown("/*!50001 DROP VIEW IF EXISTS `v`*/"), q("DROP VIEW `v`"));
    EXPECT_EQ(shown("/*!40000 ALTER TABLE `t` DISABLE KEYS */"), q("ALTER TABLE `t`"));
    const char *dumpStart = "/*M!999999\\- enable the sandbox mode */ /* note */\nCREATE TABLE t (a INT)";
    EXPECT_EQ(ScriptEffects::effectOf(dumpStart).kind, Effect::Kind::Create);
    EXPECT_EQ(shown("TRUNCATE items"), q("TRUNCATE TABLE items"));
    EXPECT_EQ(shown("DELETE LOW_PRIORITY FROM items WHERE id = 1"), q("DELETE FROM items"));
    EXPECT_EQ(objects("RENAME TABLE a TO b, c TO d"), (QStringList{q("a"), q("c")}));
    EXPECT_EQ(objects("DROP INDEX i ON shop.items"), QStringList{q("shop.items")});
    EXPECT_EQ(shown("CREATE OR REPLACE DEFINER=`root`@`%` VIEW v AS SELECT 1"),
              q("CREATE OR REPLACE VIEW v"));
    EXPECT_EQ(shown("DROP DATABASE IF EXISTS shop"), q("DROP DATABASE shop"));
    EXPECT_EQ(objects("DROP DATABASE shop").value(0), q("shop."));
    EXPECT_EQ(ScriptEffects::effectOf("use `other`").objects.value(0).database, q("other"));
    // A partition swapped with another table, or a name list longer than what is read: not judged.
    EXPECT_TRUE(objects("ALTER TABLE t EXCHANGE PARTITION p WITH TABLE other").isEmpty());
    EXPECT_TRUE(objects("ALTER TABLE t CONVERT TABLE other TO PARTITION p VALUES LESS THAN (9)").isEmpty());
    EXPECT_EQ(objects("ALTER TABLE t CONVERT TO CHARACTER SET utf8mb4"), QStringList{q("t")});
    QByteArray longList = "DROP TABLE a0";
    for (int i = 1; longList.size() <= 70000; ++i)
        longList += ", a" + QByteArray::number(i);
    EXPECT_TRUE(ScriptEffects::effectOf(longList).objects.isEmpty());
    // Several tables, some maybe by alias only: no names, the statement's start shown.
    const Effect many = ScriptEffects::effectOf("DELETE a FROM items a JOIN orders o ON o.id = a.id");
    EXPECT_EQ(many.kind, Effect::Kind::Destroy);
    EXPECT_TRUE(many.objects.isEmpty());
    EXPECT_EQ(many.text, q("DELETE a FROM items a JOIN orders o ON o.id = a.id"));
    EXPECT_TRUE(ScriptEffects::effectOf("DELETE FROM a, b USING a JOIN b").objects.isEmpty());
    // What creates or reads only destroys nothing; a temporary table is no one else's.
    EXPECT_EQ(ScriptEffects::effectOf("CREATE TABLE IF NOT EXISTS `t` (a INT)").text, q("TABLE `t`"));
    for (const char *harmless : {"INSERT INTO t VALUES (1)", "DROP TEMPORARY TABLE t", "LOCK TABLES t WRITE",
                                 "SELECT 'DROP TABLE x'", "-- DROP TABLE x\nSET @a = 1"})
        EXPECT_EQ(ScriptEffects::effectOf(harmless).kind, Effect::Kind::None) << harmless;
}

TEST(FolderPicker, ShowsTheWholePromptAndGivesThePathOrEmptyText)
{
    QtDialogs dialogs;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString shown, caption;
    whenChooserIsUp([&](QWidget *modal) {
        caption = modal->windowTitle();
        if (auto *label = modal->findChild<QLabel *>(q("lblPrompt")))
            shown = label->text();
        auto *chooser = modal->findChild<QFileDialog *>();
        if (!chooser) {
            ADD_FAILURE() << "no folder chooser inside the modal window";
            qobject_cast<QDialog *>(modal)->reject(); // never leave the test waiting on it
            return;
        }
        chooser->setDirectory(dir.path());
        static_cast<QDialog *>(chooser)->accept(); // as the Choose button does
    });
    // The warning first, then the prompt, each on its own line.
    EXPECT_EQ(dialogs.chooseFolder(Texts::BackupFolderPrompt), dir.path());
    EXPECT_EQ(shown, q("データは上書きされません。事前に削除または、保存先を別けて下さい。\n保存先のﾌｫﾙﾀﾞを選択して下さい。"));
    EXPECT_EQ(caption, q("データは上書きされません。事前に削除または、保存先を別けて下さい。 保存先のﾌｫﾙﾀﾞを選択して下さい。"));

    whenChooserIsUp([](QWidget *modal) { qobject_cast<QDialog *>(modal)->reject(); });
    EXPECT_EQ(dialogs.chooseFolder(Texts::ScriptFolderPrompt), QString());
}

TEST(MaintenanceDialogs, EveryControlHasANameForAssistiveTechnology)
{
    RestoreSelection selection;
    frmRestore restore(selection);
    EXPECT_EQ(unnamedControls(&restore), QStringList());
    frmInOut inOut(QStringLiteral("items"), QDir::tempPath());
    EXPECT_EQ(unnamedControls(&inOut), QStringList());
}
