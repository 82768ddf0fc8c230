// Editing a routine: the edited create text replaces it, and a failing text puts the old one back.
#include "schemafixture.h"

#include "connection.h"
#include "session.h"
#include "mainwindow/frmtablora.h"
#include "schema/attach.h"

using Icon = Dialogs::Icon;
using Buttons = Dialogs::Buttons;
using Answer = Dialogs::Answer;

class RoutineEditTest : public SchemaWindowTest
{
protected:
    void SetUp() override
    {
        SchemaWindowTest::SetUp();
        exec(QStringLiteral("CREATE TABLE items (id INT, note VARCHAR(20))"));
        exec(QStringLiteral(
                "CREATE PROCEDURE mark(IN p_id INT) UPDATE items SET note = 'x' WHERE id = p_id"));
        exec(QStringLiteral(
                "CREATE FUNCTION counted() RETURNS INT READS SQL DATA RETURN (SELECT COUNT(*) FROM items)"));
    }

    QString routineText(const QString &kind, const QString &name)
    {
        return rows(QStringLiteral("SHOW CREATE %1 `%2`.`%3`").arg(kind, db, name)).value(0).value(2);
    }
};

TEST_F(RoutineEditTest, EditedProcedureReplacesTheOldOne)
{
    // The connection stands in another database, and is back there afterwards.
    const QString other = extraDatabase(QStringLiteral("_other"));
    openWindow(other);
    chooseRoutine(QStringLiteral("mark"));
    recorder.clear();
    QString text = ui()->txtProc->toPlainText();
    ui()->txtProc->setPlainText(text.replace(QStringLiteral("'x'"), QStringLiteral("'済み'")));
    const QString edited = ui()->txtProc->toPlainText().trimmed();

    dialogs.answer(Answer::Cancel);
    ui()->cmdCreateProc->click();
    EXPECT_EQ(dialogs.shown.value(0).text, QStringLiteral("markを変更します。"));
    EXPECT_EQ(dialogs.shown.value(0).icon, Icon::Critical);
    EXPECT_EQ(dialogs.shown.value(0).buttons, Buttons::OkCancel);
    EXPECT_TRUE(sent().isEmpty());

    dialogs.answer(Answer::Ok).answer(Answer::Ok);
    ui()->cmdCreateProc->click();
    EXPECT_EQ(dialogs.messages().value(2), QStringLiteral("変更しました。"));
    EXPECT_EQ(dialogs.shown.value(2).icon, Icon::Information);
    EXPECT_EQ(sent().mid(0, 5),
              (QStringList{QStringLiteral("select database()"),
                           QStringLiteral("show create procedure ") + db + QStringLiteral(".mark;"),
                           QStringLiteral("DROP PROCEDURE ") + db + QStringLiteral(".mark"),
                           QStringLiteral("use ") + db, edited}));
    EXPECT_TRUE(routineText(QStringLiteral("PROCEDURE"), QStringLiteral("mark"))
                        .contains(QStringLiteral("'済み'")));
    // The lists are read again.
    EXPECT_TRUE(sent().contains(QStringLiteral("show procedure status ;")));
    EXPECT_EQ(sent().value(5), QStringLiteral("use ") + other);
    EXPECT_EQ(Session::instance().db().Execute(QStringLiteral("select database()"))->Value(0), other);
}

TEST_F(RoutineEditTest, FailingEditPutsTheOldRoutineBackUnchanged)
{
    openWindow();
    for (const auto &[kind, name] : {std::pair{QStringLiteral("PROCEDURE"), QStringLiteral("mark")},
                                     std::pair{QStringLiteral("FUNCTION"), QStringLiteral("counted")}}) {
        const QString before = routineText(kind, name);
        ui()->optTP_1->setChecked(true);
        chooseRoutine(name);
        recorder.clear();
        dialogs.shown.clear();
        ui()->txtError->clear();
        ui()->txtProc->setPlainText(QStringLiteral("CREATE ") + kind + QLatin1Char(' ') + name
                                    + QStringLiteral("( BEGIN oops"));
        dialogs.answer(Answer::Ok).answer(Answer::Ok);
        ui()->cmdCreateProc->click();

        EXPECT_EQ(dialogs.messages().value(1), QStringLiteral("変更に失敗しました。"));
        EXPECT_EQ(dialogs.shown.value(1).icon, Icon::Critical);
        EXPECT_TRUE(ui()->txtError->text().startsWith(QStringLiteral("ERROR ")))
                << ui()->txtError->text().toStdString();
        const QStringList s = sent();
        ASSERT_EQ(s.size(), 7);
        EXPECT_EQ(s[2], QStringLiteral("DROP ") + kind + QLatin1Char(' ') + db + QLatin1Char('.') + name);
        EXPECT_EQ(s[5], QStringLiteral("use ") + db);
        EXPECT_EQ(s[6], before);
        EXPECT_EQ(routineText(kind, name), before);
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT `%1`.counted()").arg(db)), QStringLiteral("0"));
}

TEST_F(RoutineEditTest, NothingChosenAsksForARoutine)
{
    openWindow();
    // (The button waits for a routine to be chosen; the handler still checks.)
    ui()->txtProc->setPlainText(QStringLiteral("CREATE PROCEDURE x() SELECT 1"));
    dialogs.answer(Answer::Ok);
    handlers->cmdCreateProc_Click();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("ﾌﾟﾛｼｰｼﾞｬを選択して下さい。")});
    EXPECT_TRUE(sent().isEmpty());
}
