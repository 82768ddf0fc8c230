// Running query text in the query window against the sandbox: results, the dump file, the editor, stops.
#include "queryfixture.h"

#include "codepage.h"
#include "dberror.h"
#include "frmsql.h"
#include "frmtextediter.h"
#include "scripteddialogs.h"
#include "session.h"
#include "statementrecorder.h"
#include "ui_frmsql.h"
#include "ui_frmtextediter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDialog>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using Icon = Dialogs::Icon;
using Answer = Dialogs::Answer;

namespace {
const QString Title = QStringLiteral("ｸｴﾘｰ実行");

// From here on no editor may start: the setting names a program that does not exist, so a start fails at
// once and shows its error, a dialog that the test has not scripted.
void noEditorMayStart()
{
    Session::instance().settings.texte = QStringLiteral("/nonexistent/tablora-test-editor");
}
}

TEST_F(QueryWindowTest, BlankTextAsksForSqlAndSendsNothing)
{
    dialogs.answer(Answer::Ok);
    StatementRecorder sent;
    window->ui->txtError->setText(QStringLiteral("old"));
    window->ui->txtSql->setPlainText(QStringLiteral("   \n  "));
    window->ui->cmdExec->click(); // nothing runs, so nothing to wait for
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, Title);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("SQL文を入力してください。"));
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Information);
    EXPECT_TRUE(sent.statements().isEmpty());
    EXPECT_TRUE(window->ui->txtError->text().isEmpty());
    EXPECT_TRUE(window->ui->cmdExec->isEnabled());
}

TEST_F(QueryWindowTest, StatementWithoutRowsSaysDoneAndLeavesTheResultAlone)
{
    exec(QStringLiteral("CREATE TABLE t (id INT, name VARCHAR(20))"));
    run(QStringLiteral("select 1 as x"));
    dialogs.answer(Answer::Ok);
    const QString textBefore = window->ui->txtRecord->toPlainText();
    ASSERT_EQ(window->ui->flgrid_Record->Rows(), 2);

    StatementRecorder sent;
    // Blanks around the text go, line ends stay (as LF).
    run(QStringLiteral("  insert into t\n values (1, 'a')  \n  "));
    EXPECT_EQ(sent.statements(), QStringList{QStringLiteral("insert into t\n values (1, 'a')  \n")});
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("正常終了")});
    EXPECT_EQ(dialogs.shown.last().icon, Icon::Information);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from t")), QStringLiteral("1"));
    EXPECT_EQ(window->ui->txtRecord->toPlainText(), textBefore);
    EXPECT_EQ(window->ui->flgrid_Record->Rows(), 2);
    EXPECT_EQ(window->ui->flgrid_Record->TextMatrix(1, 0), QStringLiteral("1"));
    EXPECT_EQ(window->execTag(), QStringLiteral("False"));
    EXPECT_TRUE(window->ui->cmdExec->isEnabled());
    EXPECT_FALSE(window->ui->cmdStop->isEnabled());
}

TEST_F(QueryWindowTest, ResultWithNullsAndJapaneseNameFillsGridTextAndFile)
{
    exec(QStringLiteral("CREATE TABLE t (id INT, name VARCHAR(20), d DATE)"));
    exec(QStringLiteral("INSERT INTO t VALUES (1, '東京', '2024-01-31'), (2, NULL, NULL)"));
    window->ui->cboDelimiter->setCurrentIndex(1);
    window->ckMemo[0]->setChecked(true);
    window->ckMemo[1]->setChecked(false); // "Textを開く" unchecked
    noEditorMayStart();
    CodePage::setOverride("UTF-8");
    run(QStringLiteral("select id, name as 名前, d from t order by id"));

    Grid *grid = window->ui->flgrid_Record;
    ASSERT_EQ(grid->Rows(), 3);
    ASSERT_EQ(grid->Cols(), 3);
    EXPECT_EQ(grid->TextMatrix(0, 1), QStringLiteral("名前"));
    EXPECT_EQ(grid->TextMatrix(1, 1), QStringLiteral("東京"));
    EXPECT_EQ(grid->TextMatrix(2, 1), QStringLiteral("NULL"));
    EXPECT_EQ(grid->TextMatrix(2, 2), QStringLiteral("NULL"));
    EXPECT_EQ(grid->gridModel()->headerBackground(0), window->palette().color(QPalette::Button));
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_TRUE(grid->Redraw());
    EXPECT_EQ(window->ui->lblRecordCount->text(), QStringLiteral("2"));

    // "id\t名前\td": 2 + 1 + 6 + 1 + 1 bytes in UTF-8.
    const QString dashes(11, QLatin1Char('-'));
    EXPECT_EQ(textLines(), (QStringList{QStringLiteral("id\t名前\td"), dashes,
                                        QStringLiteral("1\t東京\t2024-01-31"),
                                        QStringLiteral("2\tNULL\tNULL")}));
    EXPECT_EQ(dumpFile(), QByteArray("id\t名前\td\r\n-----------\r\n1\t東京\t2024-01-31\r\n"
                                     "2\tNULL\tNULL\r\n\r\n"));

    // In Shift-JIS a double-byte character counts two, and the file is written in that code page.
    CodePage::setOverride("SHIFT_JIS");
    window->ui->cboDelimiter->setCurrentIndex(3);
    run(QStringLiteral("select name as 名前 from t order by id"));
    EXPECT_EQ(textLines(), (QStringList{QStringLiteral("名前"), QStringLiteral("----"), QStringLiteral("東京"),
                                        QStringLiteral("NULL")}));
    EXPECT_EQ(dumpFile(), QByteArray("\x96\xbc\x91\x4f\r\n----\r\n\x93\x8c\x8b\x9e\r\nNULL\r\n\r\n"));
    CodePage::setOverride(QByteArray());
}

TEST_F(QueryWindowTest, EachDelimiterSeparatesHeaderAndValues)
{
    const QStringList delimiters{QStringLiteral(" "), QStringLiteral("\t"), QStringLiteral("|"),
                                 QStringLiteral(","), QStringLiteral(":"), QStringLiteral(";")};
    ASSERT_EQ(window->ui->cboDelimiter->count(), 6);
    for (int i = 0; i < delimiters.size(); ++i) {
        window->ui->cboDelimiter->setCurrentIndex(i);
        run(QStringLiteral("select 'a b' as x, 2 as y, null as z"));
        const QString d = delimiters.at(i);
        EXPECT_EQ(textLines(), (QStringList{QStringLiteral("x") + d + QStringLiteral("y") + d
                                                + QStringLiteral("z"),
                                            QStringLiteral("-----"),
                                            QStringLiteral("a b") + d + QStringLiteral("2") + d
                                                + QStringLiteral("NULL")}))
            << "delimiter index " << i;
    }
}

TEST_F(QueryWindowTest, DisplayedRunOpensTheEditorOnlyWithBothFileOptions)
{
    window->ckMemo[0]->setChecked(true);
    window->ckMemo[1]->setChecked(true);
    run(QStringLiteral("select 1 as n"));
    EXPECT_EQ(editorArguments(), dumpPath() + QStringLiteral("\n"));
    QFile::remove(temp.filePath(QStringLiteral("args.txt")));
    QFile::remove(dumpPath());

    // "Text保存" off: no file and no editor, even with "Textを開く" still checked.
    window->ckMemo[0]->click();
    EXPECT_FALSE(window->ckMemo[1]->isEnabled());
    EXPECT_TRUE(window->ckMemo[1]->isChecked());
    noEditorMayStart();
    run(QStringLiteral("select 2 as n"));
    EXPECT_FALSE(QFile::exists(dumpPath()));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(QueryWindowTest, TheEditorGetsTheDumpPathAsOneArgumentWhateverTheFolderHolds)
{
    // A folder with blanks and something that looks like an option, and an editor setting whose program
    // path holds a blank (quoted, as the user writes it) followed by an argument of its own.
    const QString blanks = temp.filePath(QStringLiteral("my dumps -n x"));
    ASSERT_TRUE(QDir().mkpath(blanks));
    ASSERT_TRUE(QFile::copy(temp.filePath(QStringLiteral("editor.sh")), temp.filePath(QStringLiteral("my editor.sh"))));
    Session::instance().settings.texte =
        QLatin1Char('"') + temp.filePath(QStringLiteral("my editor.sh")) + QStringLiteral("\" --new-window");
    Session::instance().settings.textpath = blanks;
    window->ckMemo[0]->setChecked(true);
    window->ckMemo[1]->setChecked(true);
    run(QStringLiteral("select 1 as n"));
    EXPECT_EQ(editorArguments(), QStringLiteral("--new-window\n") + blanks + QStringLiteral("/sqldump.dat\n"));
    EXPECT_TRUE(QFile::exists(blanks + QStringLiteral("/sqldump.dat")));
}

TEST_F(QueryWindowTest, StreamedRunWritesTheFileAndAlwaysStartsTheEditor)
{
    exec(QStringLiteral("CREATE TABLE t (id INT, name VARCHAR(20))"));
    window->ui->ckNoTextNoGrid->click();
    EXPECT_TRUE(window->ckMemo[0]->isChecked() && window->ckMemo[1]->isChecked());
    EXPECT_FALSE(window->ckMemo[0]->isEnabled() || window->ckMemo[1]->isEnabled());
    window->ui->txtRecord->setPlainText(QStringLiteral("before"));
    window->ui->cboDelimiter->setCurrentIndex(2);

    // No records: an empty file (not even the header), the counter at 0, the editor started anyway.
    run(QStringLiteral("select id, name from t"));
    EXPECT_TRUE(QFile::exists(dumpPath()));
    EXPECT_EQ(dumpFile(), QByteArray());
    EXPECT_EQ(window->ui->lblRecordCount->text(), QStringLiteral("0"));
    EXPECT_EQ(editorArguments(), dumpPath() + QStringLiteral("\n"));
    QFile::remove(temp.filePath(QStringLiteral("args.txt")));

    exec(QStringLiteral("INSERT INTO t VALUES (1, 'x'), (2, NULL)"));
    run(QStringLiteral("select id, name as 名 from t order by id"));
    EXPECT_EQ(dumpFile(), QByteArray("id|名\r\n------\r\n1|x\r\n2|NULL\r\n"));
    EXPECT_EQ(window->ui->lblRecordCount->text(), QStringLiteral("2"));
    EXPECT_EQ(window->ui->txtRecord->toPlainText(), QStringLiteral("before\n"));
    EXPECT_EQ(window->ui->flgrid_Record->Rows(), 1);
    EXPECT_EQ(window->ui->flgrid_Record->TextMatrix(0, 1), QStringLiteral("名"));
    EXPECT_EQ(editorArguments(), dumpPath() + QStringLiteral("\n"));

    window->ui->ckNoTextNoGrid->click();
    EXPECT_TRUE(window->ckMemo[0]->isEnabled() && window->ckMemo[1]->isEnabled());
    EXPECT_TRUE(window->ckMemo[0]->isChecked());
}

TEST_F(QueryWindowTest, MissingEditorIsReportedAsAFailure)
{
    dialogs.answer(Answer::Ok);
    Session::instance().settings.texte = QStringLiteral("/no/such/editor");
    window->ui->ckNoTextNoGrid->click();
    run(QStringLiteral("select 1"));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Critical);
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("/no/such/editor ") + dumpPath()));
    EXPECT_EQ(window->ui->txtError->text(), dialogs.shown[0].text);
    EXPECT_EQ(dumpFile(), QByteArray("1\r\n-\r\n1\r\n"));
}

TEST_F(QueryWindowTest, DumpFolderThatDoesNotExistFallsBackToTheProgramFolder)
{
    Session::instance().settings.textpath = folder + QStringLiteral("gone");
    window->ckMemo[0]->setChecked(true);
    run(QStringLiteral("select 1"));
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/");
    EXPECT_EQ(Session::instance().settings.textpath, program);
    EXPECT_TRUE(QFile::exists(program + QStringLiteral("sqldump.dat")));
    QFile::remove(program + QStringLiteral("sqldump.dat"));
}

TEST_F(QueryWindowTest, ServerErrorGoesToTheErrorBoxAndAMessage)
{
    dialogs.answer(Answer::Ok);
    run(QStringLiteral("select * from no_such_table"));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, Title);
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Critical);
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("1146")));
    EXPECT_EQ(window->ui->txtError->text(), dialogs.shown[0].text);
    EXPECT_EQ(window->ui->Label1->toolTip(), dialogs.shown[0].text);
    EXPECT_TRUE(window->ui->cmdExec->isEnabled());

    // A procedure that returns rows and then fails has failed.
    exec(QStringLiteral("CREATE PROCEDURE rows_then_fail() BEGIN SELECT 1 AS a; SELECT * FROM no_such; END"));
    dialogs.shown.clear();
    dialogs.answer(Answer::Ok);
    run(QStringLiteral("call rows_then_fail()"));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Critical);
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("1146")))
            << dialogs.shown[0].text.toStdString();
    dialogs.shown.clear();

    // Without a connection the data-access layer's own description is shown.
    Session::instance().CloseConnection();
    dialogs.answer(Answer::Ok);
    run(QStringLiteral("select 1"));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Critical);
    EXPECT_EQ(window->execTag(), QStringLiteral("False"));
    EXPECT_TRUE(window->ui->cmdExec->isEnabled());
}

TEST_F(QueryWindowTest, StopWhileRowsArriveKeepsTheRowsSoFar)
{
    dialogs.answer(Answer::Ok);
    StatementRecorder sent;
    // Stop as soon as some rows have reached the grid.
    QTimer poll;
    int shownAtStop = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window->ui->lblRecordCount->text().toInt() > 0 && window->ui->cmdStop->isEnabled()) {
            EXPECT_EQ(window->execTag(), QStringLiteral("True"));
            shownAtStop = window->ui->flgrid_Record->Rows() - 1;
            window->ui->cmdStop->click();
            poll.stop();
        }
    });
    poll.start(5);
    window->ckMemo[0]->setChecked(true);
    run(QStringLiteral("select seq, concat('行', seq) as name from seq_1_to_1000000"));
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("処理を中断しました")});
    const int rows = window->ui->flgrid_Record->Rows() - 1;
    // The rows shown at the stop stay, and only the few batches already read join them (a run that went
    // on to the end would bring all million).
    EXPECT_GT(shownAtStop, 0);
    EXPECT_GE(rows, shownAtStop);
    EXPECT_LT(rows, shownAtStop + 100000);
    EXPECT_EQ(window->ui->lblRecordCount->text(), QString::number(rows));
    EXPECT_EQ(window->ui->flgrid_Record->TextMatrix(1, 1), QStringLiteral("行1"));
    // The text gathered so far is shown, in step with the grid; no dump file is written for a stopped run.
    const QStringList lines = textLines();
    EXPECT_EQ(lines.size(), rows + 2);
    EXPECT_EQ(lines.last(), QStringLiteral("%1\t行%1").arg(rows));
    EXPECT_EQ(lines.at(2), QStringLiteral("1\t行1"));
    EXPECT_FALSE(QFile::exists(dumpPath()));
    EXPECT_TRUE(sent.statements().filter(QStringLiteral("KILL QUERY")).size() >= 1);
    EXPECT_EQ(window->execTag(), QStringLiteral("False"));
    EXPECT_FALSE(window->ui->cmdStop->isEnabled());
    // The connection is usable again.
    run(QStringLiteral("select 7"));
    EXPECT_EQ(window->ui->flgrid_Record->TextMatrix(1, 0), QStringLiteral("7"));
}

TEST_F(QueryWindowTest, StopWhileTheServerIsStillWorking)
{
    dialogs.answer(Answer::Ok);
    window->ui->txtRecord->setPlainText(QStringLiteral("kept"));
    startRun(QStringLiteral("select sleep(60)"));
    // The window answers while the statement runs.
    EXPECT_TRUE(window->ui->cmdStop->isEnabled());
    EXPECT_FALSE(window->ui->cmdExec->isEnabled());
    window->ui->cmdStop->click();
    waitForEnd();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("処理を中断しました")});
    EXPECT_EQ(window->ui->txtRecord->toPlainText(), QStringLiteral("kept\n"));
    EXPECT_TRUE(window->ui->txtError->text().isEmpty());
    run(QStringLiteral("select 8"));
    EXPECT_EQ(window->ui->flgrid_Record->TextMatrix(1, 0), QStringLiteral("8"));
}

TEST_F(QueryWindowTest, StreamedRunStoppedKeepsTheRecordsWritten)
{
    dialogs.answer(Answer::Ok);
    window->ui->ckNoTextNoGrid->click();
    noEditorMayStart(); // a stopped run opens no editor
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window->ui->lblRecordCount->text().toInt() > 1000) {
            window->ui->cmdStop->click();
            poll.stop();
        }
    });
    poll.start(5);
    run(QStringLiteral("select seq from seq_1_to_50000000"));
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("処理を中断しました")});
    const long long count = window->ui->lblRecordCount->text().toLongLong();
    const QByteArray file = dumpFile();
    EXPECT_TRUE(file.startsWith("seq\r\n---\r\n1\r\n2\r\n"));
    EXPECT_EQ(file.count('\n'), count + 2);
}

TEST_F(QueryWindowTest, DisconnectFromTheMainWindowStopsTheRun)
{
    dialogs.answer(Answer::Ok);
    startRun(QStringLiteral("select sleep(60)"));
    // What the main window's cmdClose does: close the connection, then set the tag.
    Session::instance().CloseConnection();
    window->setExecTag(QStringLiteral("False"));
    waitForEnd();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("処理を中断しました")});
    // Activation does not reopen a connection that the main window closed.
    window->Form_Activate();
    EXPECT_FALSE(Session::instance().connection);
}

TEST_F(QueryWindowTest, FolderEditorAndFontOptions)
{
    dialogs.folder(QString()).folder(QStringLiteral("/chosen"));
    window->ui->cmdFolder->click();
    EXPECT_EQ(Session::instance().settings.textpath, folder);
    window->ui->cmdFolder->click();
    EXPECT_EQ(Session::instance().settings.textpath, QStringLiteral("/chosen"));
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("保存先のﾌｫﾙﾀﾞを選択して下さい。"));

    dialogs.modal([](QWidget *w) {
        auto *dialog = qobject_cast<frmTextEditer *>(w);
        EXPECT_TRUE(dialog);
        dialog->ui->txtTextEditer->setText(QStringLiteral("  /usr/bin/mousepad  "));
        dialog->ui->cmdOK->click();
        return dialog->result();
    });
    window->ui->cmdEditer->click();
    EXPECT_EQ(Session::instance().settings.texte, QStringLiteral("/usr/bin/mousepad"));
    dialogs.modal([](QWidget *w) {
        auto *dialog = qobject_cast<frmTextEditer *>(w);
        dialog->ui->txtTextEditer->setText(QStringLiteral("other"));
        dialog->ui->cmdCancel->click();
        return dialog->result();
    });
    window->ui->cmdEditer->click();
    EXPECT_EQ(Session::instance().settings.texte, QStringLiteral("/usr/bin/mousepad"));
}

TEST_F(QueryWindowTest, WindowSettingsAreKeptAndRestored)
{
    window->ui->cboDelimiter->setCurrentIndex(4);
    window->ui->cboDelimiter->activated(4);
    window->ckMemo[0]->click();
    window->ckMemo[1]->click();
    QFont font(QStringLiteral("Monospace"), 15);
    dialogs.modal([&](QWidget *w) {
        auto *fonts = qobject_cast<QFontDialog *>(w);
        EXPECT_TRUE(fonts);
        fonts->setCurrentFont(font);
        return int(QDialog::Accepted);
    });
    window->ui->cmdFont->click();
    const WindowSettings &s = Session::instance().settings;
    EXPECT_EQ(s.delimiter, QStringLiteral("4"));
    EXPECT_EQ(s.memo, QStringLiteral("1"));
    EXPECT_EQ(s.memo1, QStringLiteral("1"));
    EXPECT_EQ(s.memo2, QStringLiteral("0"));
    EXPECT_FALSE(s.font.isEmpty());

    window.reset();
    window = std::make_unique<frmSql>();
    EXPECT_EQ(window->ui->cboDelimiter->currentIndex(), 4);
    EXPECT_TRUE(window->ckMemo[0]->isChecked());
    EXPECT_TRUE(window->ckMemo[1]->isChecked() && window->ckMemo[1]->isEnabled());
    EXPECT_EQ(window->ui->txtSql->font().pointSize(), 15);
    EXPECT_EQ(window->ui->txtRecord->font().pointSize(), 15);
    EXPECT_TRUE(window->optRecord[0]->isChecked());
    EXPECT_TRUE(window->ui->txtRecord->isVisibleTo(window.get()));
    EXPECT_FALSE(window->ui->flgrid_Record->isVisibleTo(window.get()));
}

TEST_F(QueryWindowTest, OtherStatementsAreRefusedWhileARunHoldsTheConnection)
{
    dialogs.answer(Answer::Ok);
    startRun(QStringLiteral("select sleep(60)"));
    // What another window does meanwhile on the same connection: refused, not mixed into the run's talk.
    try {
        Session::instance().db().Execute(QStringLiteral("select 1"));
        ADD_FAILURE() << "a statement was sent on a connection in use";
    } catch (const DbError &e) {
        EXPECT_EQ(e.number(), 2014u);
    }
    // Analysis and the variables refresh stay silent.
    window->ui->txtSql->setPlainText(QStringLiteral("select 2"));
    window->ui->cmdAnalyze->click();
    window->ui->txtVariablename->setText(QStringLiteral("v"));
    window->ui->cmdVariable->click();
    EXPECT_EQ(window->ui->lstVariable->count(), 0);
    window->ui->cmdStop->click();
    waitForEnd();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("処理を中断しました")});
    EXPECT_EQ(scalarOf(Session::instance().db(), QStringLiteral("select 3")), QStringLiteral("3"));
}

TEST_F(QueryWindowTest, ServerErrorAfterSomeRowsLeavesTheTextAsItWas)
{
    dialogs.answer(Answer::Ok);
    window->ckMemo[0]->setChecked(true);
    window->ui->txtRecord->setPlainText(QStringLiteral("kept"));
    // The subquery fails at row 5000, after rows have been sent.
    run(QStringLiteral("select seq, if(seq = 5000, (select 1 union select 2), 1) as x from seq_1_to_10000"));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Critical);
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("1242")));
    EXPECT_EQ(window->ui->txtRecord->toPlainText(), QStringLiteral("kept\n"));
    // The grid keeps every row that came before the failure.
    ASSERT_EQ(window->ui->flgrid_Record->Rows(), 5000);
    EXPECT_EQ(window->ui->flgrid_Record->TextMatrix(4999, 0), QStringLiteral("4999"));
    EXPECT_EQ(window->ui->lblRecordCount->text(), QStringLiteral("4999"));
    EXPECT_FALSE(QFile::exists(dumpPath()));
}

// The text of a result is read from the grid's rows; a later run that fails after rows fills the grid
// anew and still leaves the earlier result's text as it was.
TEST_F(QueryWindowTest, EarlierResultTextOutlivesAFailedRunThatRefilledTheGrid)
{
    dialogs.answer(Answer::Ok);
    window->ui->cboDelimiter->setCurrentIndex(2);
    run(QStringLiteral("select seq as n, if(seq = 2, null, concat('値', seq)) as v from seq_1_to_3"));
    const QStringList earlier{QStringLiteral("n|v"), QStringLiteral("---"), QStringLiteral("1|値1"),
                              QStringLiteral("2|NULL"), QStringLiteral("3|値3")};
    EXPECT_EQ(textLines(), earlier);
    window->ui->cboDelimiter->setCurrentIndex(3);
    run(QStringLiteral("select seq, if(seq = 5000, (select 1 union select 2), 1) as x from seq_1_to_10000"));
    ASSERT_EQ(window->ui->flgrid_Record->Rows(), 5000);
    EXPECT_EQ(textLines(), earlier);
    // Selecting all copies the whole result as shown.
    window->ui->txtRecord->selectAll();
    EXPECT_EQ(window->ui->txtRecord->selectedText(), earlier.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

TEST_F(QueryWindowTest, DisplayedRunTakesTheDumpFolderAsItIsAtItsEnd)
{
    QTemporaryDir other;
    const QString chosen = other.path() + QStringLiteral("/");
    dialogs.folder(other.path());
    window->ckMemo[0]->setChecked(true);
    // The folder is changed while the server still works on the statement: it waits for a lock that the
    // test holds, and gets it after the change.
    const QString lock = QStringLiteral("'%1'").arg(db);
    ASSERT_EQ(scalar(QStringLiteral("select get_lock(%1, 0)").arg(lock)), QStringLiteral("1"));
    startRun(QStringLiteral("select get_lock(%1, 60) as s").arg(lock));
    window->ui->cmdFolder->click();
    ASSERT_EQ(scalar(QStringLiteral("select release_lock(%1)").arg(lock)), QStringLiteral("1"));
    waitForEnd();
    EXPECT_EQ(Session::instance().settings.textpath, chosen);
    EXPECT_EQ(window->ui->lblTextPath->text(), chosen);
    EXPECT_TRUE(QFile::exists(chosen + QStringLiteral("sqldump.dat")));
    EXPECT_FALSE(QFile::exists(dumpPath()));
}
