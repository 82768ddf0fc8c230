#include "accessibility.h"
// Analysis and user variables of the query window against the sandbox.
#include "queryfixture.h"

#include "frmsql.h"
#include "frmtextediter.h"
#include "session.h"
#include "settingsstore.h"
#include "statementrecorder.h"
#include "recordtextview.h"
#include "ui_frmsql.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>

#include <QTest>

using Answer = Dialogs::Answer;

namespace {
QStringList items(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void clickItem(QListWidget *list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}
}

TEST_F(QueryWindowTest, AnalysisOfAMultiLineQueryKeepsItsLineBreaks)
{
    exec(QStringLiteral("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20))"));
    exec(QStringLiteral("INSERT INTO t VALUES (1, 'a'), (2, 'b')"));
    StatementRecorder sent;
    window->ui->txtSql->setPlainText(QStringLiteral("  select *\nfrom t\nwhere name = 'a'\n  "));
    window->ui->cmdAnalyze->click();
    EXPECT_EQ(sent.statements(),
              QStringList{QStringLiteral("EXPLAIN select *\r\nfrom t\r\nwhere name = 'a'\r\n")});
    EXPECT_TRUE(window->optRecord[2]->isChecked());
    EXPECT_TRUE(window->ui->flgrid_ANALYZE->isVisibleTo(window.get()));
    EXPECT_FALSE(window->ui->txtRecord->isVisibleTo(window.get()));
    Grid *grid = window->ui->flgrid_ANALYZE;
    ASSERT_EQ(grid->Rows(), 2);
    EXPECT_EQ(grid->TextMatrix(0, 0), QStringLiteral("id"));
    EXPECT_EQ(grid->TextMatrix(0, 1), QStringLiteral("select_type"));
    const int key = [&] {
        for (int c = 0; c < grid->Cols(); ++c)
            if (grid->TextMatrix(0, c) == QStringLiteral("key"))
                return c;
        return -1;
    }();
    ASSERT_GE(key, 0);
    EXPECT_EQ(grid->TextMatrix(1, key), QStringLiteral("NULL")); // no usable key for name
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_TRUE(grid->Redraw());
}

TEST_F(QueryWindowTest, AnalysisFailsSilentlyAndAsksForText)
{
    StatementRecorder sent;
    window->ui->txtSql->setPlainText(QStringLiteral("drop table nothing_here"));
    window->ui->cmdAnalyze->click(); // no message: the script has none
    EXPECT_EQ(sent.statements().size(), 1);
    EXPECT_EQ(window->ui->flgrid_ANALYZE->Rows(), 1);
    EXPECT_TRUE(window->ui->flgrid_ANALYZE->isEnabled());

    sent.clear();
    dialogs.answer(Answer::Ok);
    window->optRecord[0]->click();
    window->ui->txtSql->setPlainText(QStringLiteral("  "));
    window->ui->cmdAnalyze->click();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("SQL文を入力してください。")});
    EXPECT_TRUE(window->optRecord[2]->isChecked());
    EXPECT_TRUE(sent.statements().isEmpty());
}

TEST_F(QueryWindowTest, VariablesAreAddedWithoutAtAndShownWithTheirValues)
{
    dialogs.answer(Answer::Ok);
    run(QStringLiteral("set @a = 42, @`x y` = '日本'"));
    StatementRecorder sent;
    window->ui->txtVariablename->setText(QStringLiteral("@a"));
    window->ui->cmdVariable->click();
    window->ui->txtVariablename->setText(QStringLiteral("never_set"));
    window->ui->cmdVariable->click();
    window->ui->txtVariablename->setText(QStringLiteral("x y"));
    window->ui->cmdVariable->click();
    EXPECT_TRUE(window->optRecord[3]->isChecked());
    EXPECT_TRUE(window->ui->picVariablename->isVisibleTo(window.get()));
    EXPECT_EQ(items(window->ui->lstVariablename),
              (QStringList{QStringLiteral("a"), QStringLiteral("never_set"), QStringLiteral("x y")}));
    EXPECT_EQ(items(window->ui->lstVariable), (QStringList{QStringLiteral("42"), QStringLiteral("NULL"),
                                                           QStringLiteral("日本")}));
    EXPECT_EQ(sent.statements().last(), QStringLiteral("select @a,@never_set,@`x y`\r\n"));
    ASSERT_EQ(Session::instance().variables.size(), 3u);
    EXPECT_EQ(Session::instance().variables[0].strVariableName, QStringLiteral("a"));
    EXPECT_FALSE(Session::instance().recordset);

    // Clicking a name copies it and selects its value; clicking a value selects its name.
    QListWidget *names = window->ui->lstVariablename;
    QListWidget *values = window->ui->lstVariable;
    clickItem(names, 1);
    EXPECT_EQ(window->ui->txtVariablename->text(), QStringLiteral("never_set"));
    EXPECT_EQ(values->currentRow(), 1);
    clickItem(values, 2);
    EXPECT_EQ(names->currentRow(), 2);
}

TEST_F(QueryWindowTest, EmptyNameListSendsNothingAndFailedRefreshIsSilent)
{
    StatementRecorder sent;
    window->ui->cmdVariabl->click();
    EXPECT_TRUE(sent.statements().isEmpty());
    EXPECT_EQ(window->ui->lstVariable->count(), 0);

    Session::instance().CloseConnection();
    window->ui->txtVariablename->setText(QStringLiteral("a"));
    window->ui->cmdVariable->click();
    EXPECT_EQ(items(window->ui->lstVariablename), QStringList{QStringLiteral("a")});
    EXPECT_EQ(window->ui->lstVariable->count(), 0);
}

TEST_F(QueryWindowTest, DeleteKeyRemovesFromBothListsOrOnlyWhatExists)
{
    dialogs.answer(Answer::Ok);
    run(QStringLiteral("set @a = 1, @b = 2, @c = 3"));
    for (const char *name : {"a", "b", "c"}) {
        window->ui->txtVariablename->setText(QString::fromLatin1(name));
        window->ui->cmdVariable->click();
    }
    QListWidget *names = window->ui->lstVariablename;
    QListWidget *values = window->ui->lstVariable;
    ASSERT_EQ(items(values), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));

    // Moving with the keys keeps the two lists on the same position, as a click does.
    clickItem(names, 0);
    QTest::keyClick(names, Qt::Key_Down);
    EXPECT_EQ(values->currentRow(), 1);
    EXPECT_EQ(window->ui->txtVariablename->text(), QStringLiteral("b"));
    QTest::keyClick(values, Qt::Key_Down);
    EXPECT_EQ(names->currentRow(), 2);
    QTest::keyClick(values, Qt::Key_Up);
    EXPECT_EQ(names->currentRow(), 1);

    // Delete in the name list; with Shift, Ctrl or Alt held nothing goes.
    for (Qt::KeyboardModifier held : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier})
        QTest::keyClick(names, Qt::Key_Delete, held);
    EXPECT_EQ(names->count(), 3);
    QTest::keyClick(names, Qt::Key_Delete);
    EXPECT_EQ(items(names), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    EXPECT_EQ(items(values), (QStringList{QStringLiteral("1"), QStringLiteral("3")}));

    // Delete in the value list.
    clickItem(values, 1);
    QTest::keyClick(values, Qt::Key_Delete);
    EXPECT_EQ(items(names), QStringList{QStringLiteral("a")});
    EXPECT_EQ(items(values), QStringList{QStringLiteral("1")});
    ASSERT_EQ(Session::instance().variables.size(), 1u);

    // The value list empty (a refresh that failed): only the name goes.
    values->clear();
    names->setCurrentRow(0);
    QTest::keyClick(names, Qt::Key_Delete);
    EXPECT_EQ(names->count(), 0);
    EXPECT_TRUE(Session::instance().variables.empty());
}

TEST_F(QueryWindowTest, VariableNamesSurviveARestartInVariableDat)
{
    for (const char *name : {"@first", "second"}) {
        window->ui->txtVariablename->setText(QString::fromUtf8(name));
        window->ui->cmdVariable->click();
    }
    QTemporaryDir settings;
    SettingsStore store(settings.path());
    ASSERT_TRUE(store.Save(Session::instance()));
    window.reset();
    Session::instance().reset();
    store.Load(Session::instance());
    window = std::make_unique<frmSql>();
    EXPECT_EQ(items(window->ui->lstVariablename),
              (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
}

TEST_F(QueryWindowTest, ActivationOpensALostConnectionAgain)
{
    Session::instance().CloseConnection();
    window->Form_Activate();
    ASSERT_TRUE(Session::instance().connection);
    EXPECT_EQ(Session::instance().connection->State(), 1);
    // An open connection is kept as it is, with the session's variables.
    Session::instance().db().Execute(QStringLiteral("set @kept = 5"));
    window->Form_Activate();
    EXPECT_EQ(scalarOf(Session::instance().db(), QStringLiteral("select @kept")), QStringLiteral("5"));

    // A database newly chosen in the main window takes effect: the connection is opened again on it.
    Session::instance().database = db;
    window->Form_Activate();
    EXPECT_EQ(scalarOf(Session::instance().db(), QStringLiteral("select database()")), db);
    Session::instance().db().Execute(QStringLiteral("set @kept = 6"));
    window->Form_Activate();
    EXPECT_EQ(scalarOf(Session::instance().db(), QStringLiteral("select @kept")), QStringLiteral("6"));

    // A database that cannot be opened (dropped meanwhile) leaves the working link as it was, and the
    // window says why, once.
    Session::instance().database = QStringLiteral("tablora_dropped_meanwhile");
    dialogs.answer(Dialogs::Answer::Ok);
    window->Form_Activate();
    window->Form_Activate();
    ASSERT_EQ(dialogs.messages().size(), 1);
    const QString said = dialogs.messages().first();
    EXPECT_TRUE(said.startsWith(QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ「tablora_dropped_meanwhile」で接続し直せなかったため、"
                                               "今までの接続のまま実行します。")))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("Unknown database"))) << said.toStdString();
    EXPECT_EQ(window->ui->txtError->text(), said);
    EXPECT_EQ(scalarOf(Session::instance().db(), QStringLiteral("select @kept")), QStringLiteral("6"));
}

TEST(RecordTextView, SelectsAndCopiesAcrossLines)
{
    RecordTextView view;
    view.resize(300, 200);
    view.show();
    view.setPlainText(QStringLiteral("id\t名前\r\n-------\r\n1\t東京\r\n"));
    EXPECT_EQ(view.toPlainText(), QStringLiteral("id\t名前\n-------\n1\t東京\n"));
    EXPECT_FALSE(view.hasSelection());
    view.selectAll();
    EXPECT_EQ(view.selectedText(), QStringLiteral("id\t名前\n-------\n1\t東京\n"));
    // Keyboard: from the start, shift+down twice and shift+right selects two lines and one character.
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view.selectedText(), QStringLiteral("id\t名前\n-------\n1"));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("id\t名前\n-------\n1"));
    view.clear();
    EXPECT_EQ(view.toPlainText(), QString());
}

// Assistive technology reads the text view through Qt's text interface: text, caret and selection, and
// moves the caret through it.
TEST(RecordTextView, ExposesTextCaretAndSelectionToAssistiveTechnology)
{
    RecordTextView view;
    view.setAccessibleName(QStringLiteral("ﾃｷｽﾄ"));
    view.resize(300, 200);
    view.show();
    view.setPlainText(QStringLiteral("id\t名前\r\n1\t東京\r\n"));
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(accessible, nullptr);
    QAccessibleTextInterface *text = accessible->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("ﾃｷｽﾄ"));
    EXPECT_TRUE(accessible->state().readOnly);
    EXPECT_EQ(text->characterCount(), 11);
    EXPECT_EQ(text->text(0, 11), QStringLiteral("id\t名前\n1\t東京\n"));
    EXPECT_EQ(text->text(3, 8), QStringLiteral("名前\n1\t"));
    EXPECT_EQ(text->cursorPosition(), 0);
    EXPECT_EQ(text->selectionCount(), 0);

    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(text->cursorPosition(), 10);
    ASSERT_EQ(text->selectionCount(), 1);
    int start = -1, end = -1;
    text->selection(0, &start, &end);
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(6, 10));
    EXPECT_EQ(view.selectedText(), QStringLiteral("1\t東京"));

    text->setSelection(0, 3, 5);
    EXPECT_EQ(view.selectedText(), QStringLiteral("名前"));
    text->setCursorPosition(10);
    EXPECT_FALSE(view.hasSelection());
    EXPECT_EQ(text->cursorPosition(), 10);
}

// Saves a picture of the window after a run, to look at: TABLORA_SCREENSHOT=out.png, best under the xcb
// platform on a virtual display; TABLORA_SCREENSHOT_SIZE=WxH rescales it, TABLORA_SCREENSHOT_VIEW=0..3
// picks the result view, and with TABLORA_SCREENSHOT_DIALOG=1 the editor dialog is saved instead.
TEST_F(QueryWindowTest, EveryControlHasANameForAssistiveTechnology)
{
    EXPECT_EQ(unnamedControls(window.get()), QStringList());
    frmTextEditer editor;
    EXPECT_EQ(unnamedControls(&editor), QStringList());
}

TEST_F(QueryWindowTest, Screenshot)
{
    const QString path = qEnvironmentVariable("TABLORA_SCREENSHOT");
    if (path.isEmpty())
        GTEST_SKIP() << "set TABLORA_SCREENSHOT to a file name";
    if (qEnvironmentVariableIntValue("TABLORA_SCREENSHOT_DIALOG") == 1) {
        frmTextEditer dialog;
        dialog.show();
        QTest::qWait(200);
        EXPECT_TRUE(dialog.grab().save(path));
        return;
    }
    dialogs.answer(Answer::Ok);
    run(QStringLiteral("set @a = 42, @b = '日本語'"));
    for (const char *name : {"a", "b"}) {
        window->ui->txtVariablename->setText(QString::fromLatin1(name));
        window->ui->cmdVariable->click();
    }
    run(QStringLiteral("select seq as 番号, concat('行', seq) as 名前, null as n from seq_1_to_40"));
    window->ui->txtSql->setPlainText(QStringLiteral("select seq as 番号, concat('行', seq) as 名前\n"
                                                    "from seq_1_to_40"));
    window->ui->cmdAnalyze->click();
    const int view = qEnvironmentVariableIntValue("TABLORA_SCREENSHOT_VIEW");
    window->optRecord[size_t(std::clamp(view, 0, 3))]->click();
    const QStringList size = qEnvironmentVariable("TABLORA_SCREENSHOT_SIZE").split(QLatin1Char('x'));
    if (size.size() == 2)
        window->resize(size[0].toInt(), size[1].toInt());
    QTest::qWait(300);
    EXPECT_TRUE(window->grab().save(path));
}
