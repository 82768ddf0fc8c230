#include "about/frmabout.h"
#include "accessibility.h"
#include "mainwindow/frmtablora.h"
#include "widgets/grid.h"
#include "widgets/progressbox.h"

#include "inifile.h"
#include "scripteddialogs.h"
#include "session.h"
#include "settingsstore.h"
#include "statementrecorder.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

namespace {

class Shell : public ::testing::Test
{
protected:
    void SetUp() override { Session::instance().reset(); }
    void TearDown() override { Session::instance().reset(); }

    std::unique_ptr<frmTablora> open()
    {
        auto window = std::make_unique<frmTablora>(settings.path());
        window->Form_Activate();
        return window;
    }

    QTemporaryDir settings;
    ScriptedDialogs dialogs;
};

QList<QWidget *> connectedOnly(Ui::frmTablora *ui, frmTablora &w)
{
    return {ui->cmdClose, ui->txtField, ui->txtProc, ui->cmdShowDb, ui->cmdCreateDb, ui->cmdDropDb,
            ui->cmdCreateUser, ui->cmdExec, ui->cmdDropProc, ui->cmdCreateProc, w.optTP[0], w.optTP[1],
            ui->cmdBackup, ui->cmdRestore, ui->cmdCheckTable, ui->cmdRepairTable, ui->cmdOptimizeTable,
            ui->cmdCopyDb, ui->cmdDropTable, ui->cmdCreateTable, ui->cmdInOut, ui->cmdScriptBackUp,
            ui->lstDb, ui->lstTables, ui->lstProcFunc, w.optField[0], w.optField[1], w.optField[2],
            w.optField[3], ui->cmdDataGet, ui->cboLimit, ui->flGrid_Field, ui->flGrid_Index,
            ui->flGrid_Status, ui->flGrid_Data};
}

}

TEST_F(Shell, LoadsTheSettingsIntoThePanelInTheDisconnectedState)
{
    const QString ini = SettingsStore(settings.path()).iniPath();
    IniFile::write(ini, "DataBase", "dsn", "gone_dsn");
    IniFile::write(ini, "DataBase", "driver", "Some Driver That Is Not Installed");
    IniFile::write(ini, "DataBase", "server", "db1");
    IniFile::write(ini, "DataBase", "user", "admin");
    IniFile::write(ini, "DataBase", "pass", SettingsStore::shiftDown("secret"));
    auto window = open();
    Ui::frmTablora *ui = window->ui;

    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tablora"));
    EXPECT_EQ(ui->txtServer->text(), QStringLiteral("db1"));
    EXPECT_EQ(ui->txtUser->text(), QStringLiteral("admin"));
    EXPECT_EQ(ui->txtPass->text(), QStringLiteral("secret"));
    EXPECT_EQ(ui->txtPort->text(), QString());   // an empty stored port empties the box
    // Not installed: entry 0 stays chosen.
    EXPECT_EQ(ui->cboDSNList->currentIndex(), 0);
    EXPECT_EQ(ui->cboDSNList->itemText(0), QStringLiteral("(なし)"));
    EXPECT_EQ(ui->cboDrivers->currentIndex(), 0);
    for (int i = 0; i < ui->cboDrivers->count(); ++i)
        EXPECT_TRUE(ui->cboDrivers->itemText(i).contains("MySQL"))
            << ui->cboDrivers->itemText(i).toStdString();
    EXPECT_EQ(ui->cboLimit->currentText(), QStringLiteral("100"));
    EXPECT_EQ(ui->cboLimit->count(), 3);

    for (QWidget *w : {static_cast<QWidget *>(ui->cmdConnect), static_cast<QWidget *>(ui->cboDSNList),
                       static_cast<QWidget *>(ui->txtServer), static_cast<QWidget *>(ui->txtPort)})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget *w : connectedOnly(ui, *window))
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(ui->cmdEnd->isEnabled());
    EXPECT_TRUE(ui->Command1->isEnabled());
    EXPECT_EQ(ui->picStatus->text(), QStringLiteral("0%"));
    EXPECT_EQ(ui->lblEditName->text(), QStringLiteral("編集????："));
    EXPECT_EQ(ui->lblPreTable->text(), QStringLiteral("0:database,1:table"));
}

TEST_F(Shell, EnablingRoutineClearsListsGridsAndTheSessionsDatabase)
{
    auto window = open();
    Ui::frmTablora *ui = window->ui;
    ui->lstDb->addItem("x");
    ui->lstTables->addItem("[TABLE]\tt");
    ui->lstProcFunc->addItem("[PROC]\tp");
    ui->flGrid_Status->setCols(3);
    ui->flGrid_Status->appendRow(QStringList{"a", "b", "c"});
    ui->txtField->setPlainText("create table t (a int)");
    ui->lblTableName->setText("t");
    ui->lblCkTableName->setText("t");
    Session::instance().database = "x";

    window->EnableControls(true);
    EXPECT_EQ(ui->lstDb->count() + ui->lstTables->count() + ui->lstProcFunc->count(), 0);
    EXPECT_EQ(ui->flGrid_Status->Cols(), 1);
    EXPECT_EQ(ui->flGrid_Status->Rows(), 1);
    EXPECT_TRUE(ui->txtField->toPlainText().isEmpty());
    EXPECT_TRUE(ui->lblTableName->text().isEmpty());
    EXPECT_TRUE(ui->lblCkTableName->text().isEmpty());
    EXPECT_TRUE(Session::instance().database.isEmpty());
    for (QWidget *w : connectedOnly(ui, *window))
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget *w : {static_cast<QWidget *>(ui->cmdConnect), static_cast<QWidget *>(ui->cboDrivers),
                       static_cast<QWidget *>(ui->txtUser), static_cast<QWidget *>(ui->txtPass)})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
}

TEST_F(Shell, CounterAndProgressBox)
{
    auto window = open();
    Ui::frmTablora *ui = window->ui;
    window->ShowCount(0, 0);
    EXPECT_EQ(ui->lblCnt->text(), QStringLiteral("0/0"));
    EXPECT_EQ(ui->picStatus->fraction(), 0.0);
    EXPECT_EQ(ui->picStatus->text(), QStringLiteral("1%"));
    window->ShowCount(12, 3);
    EXPECT_EQ(ui->lblCnt->text(), QStringLiteral("3/12"));
    EXPECT_DOUBLE_EQ(ui->picStatus->fraction(), 0.25);
    EXPECT_EQ(ui->picStatus->text(), QStringLiteral("25%"));
    window->ShowCount(7, 7);
    EXPECT_EQ(ui->picStatus->text(), QStringLiteral("99%"));
    window->DrawStatus(1, true);
    EXPECT_EQ(ui->picStatus->text(), QStringLiteral("100%"));
    window->EnableControls(false);
    EXPECT_EQ(ui->picStatus->text(), QStringLiteral("0%"));
}

TEST_F(Shell, RecordErrorResetsProgressPointerAndFillsTheErrorBox)
{
    auto window = open();
    Ui::frmTablora *ui = window->ui;
    window->DrawStatus(0.5, true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    window->RecordError(QStringLiteral("ERROR 1146 (42S02): Table 'shop.x' doesn't exist"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(ui->picStatus->fraction(), 0.0);
    EXPECT_EQ(ui->txtError->text(), QStringLiteral("ERROR 1146 (42S02): Table 'shop.x' doesn't exist"));
    EXPECT_EQ(ui->Label13->toolTip(), ui->txtError->text());
    EXPECT_EQ(ui->Label13->text(), QStringLiteral("直前のｴﾗｰ"));

    dialogs.answer(Dialogs::Answer::Cancel);
    EXPECT_EQ(window->Message("sure?", Dialogs::Icon::Information, Dialogs::Buttons::OkCancel),
              Dialogs::Answer::Cancel);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Tablora"));
    EXPECT_EQ(dialogs.shown[0].icon, Dialogs::Icon::Information);
    EXPECT_EQ(dialogs.shown[0].buttons, Dialogs::Buttons::OkCancel);
}

TEST_F(Shell, GainingFocusSelectsTheWholeTextOfTheFiveBoxes)
{
    auto window = open();
    Ui::frmTablora *ui = window->ui;
    window->show();
    QApplication::setActiveWindow(window.get());
    ui->txtError->setText("some error");
    for (QLineEdit *box : {ui->txtError, ui->txtServer, ui->txtUser, ui->txtPass, ui->txtPort}) {
        if (box->text().isEmpty())
            box->setText("text of " + box->objectName());
        ui->cmdEnd->setFocus();
        QApplication::processEvents();
        if (box == ui->txtServer)
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 5));   // a click would place the cursor
        else
            box->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        EXPECT_EQ(box->selectionStart(), 0) << box->objectName().toStdString();
        EXPECT_EQ(box->selectionLength(), box->text().size()) << box->objectName().toStdString();
    }
    window->hide();
}

TEST_F(Shell, ALongErrorShowsItsStartAndTheWholeTextInTheToolTip)
{
    auto window = open();
    Ui::frmTablora *ui = window->ui;
    window->show();
    QApplication::setActiveWindow(window.get());
    const QString error = QStringLiteral("ERROR 1064 (42000): You have an error in your SQL syntax near '")
                          + QString(400, QLatin1Char('x')) + QStringLiteral("' at line 1");
    window->RecordError(error);
    EXPECT_EQ(ui->txtError->text(), error);
    EXPECT_EQ(ui->txtError->toolTip(), error);
    EXPECT_EQ(ui->txtError->cursorPosition(), 0);
    // Focus selects the whole text and still keeps its start in view.
    ui->txtError->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(ui->txtError->selectedText(), error);
    EXPECT_EQ(ui->txtError->cursorPosition(), 0);
    window->hide();
}

TEST_F(Shell, ConnectPanelBoxesLoseTheirSelectionWhenDisabled)
{
    auto window = open();
    Ui::frmTablora *ui = window->ui;
    window->show();
    QApplication::setActiveWindow(window.get());
    ui->txtServer->setText(QStringLiteral("localhost"));
    ui->txtServer->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(ui->txtServer->hasSelectedText());
    window->EnableControls(true);
    QApplication::processEvents();
    for (QLineEdit *box : {ui->txtServer, ui->txtUser, ui->txtPass, ui->txtPort}) {
        EXPECT_FALSE(box->isEnabled());
        EXPECT_FALSE(box->hasSelectedText()) << box->objectName().toStdString();
    }
    window->hide();
}

TEST_F(Shell, OptionButtonsSwitchPanelsAndViews)
{
    auto window = open();
    Ui::frmTablora *ui = window->ui;
    window->show();
    window->EnableControls(true);
    window->optTP[1]->click();
    EXPECT_TRUE(ui->picProc->isVisible());
    EXPECT_FALSE(ui->picTable->isVisible());
    window->optTP[0]->click();
    EXPECT_TRUE(ui->picTable->isVisible());
    EXPECT_FALSE(ui->picProc->isVisible());

    QWidget *views[] = {ui->txtField, ui->flGrid_Field, ui->flGrid_Status, ui->flGrid_Data};
    for (int i = 0; i < 4; ++i) {
        window->optField[i]->click();
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(views[j]->isVisible(), i == j) << i << " " << j;
    }
    window->optField[1]->click();
    EXPECT_TRUE(ui->flGrid_Index->isVisible());
    window->hide();
}

TEST_F(Shell, ButtonsOfOtherFoldersDoNothingUntilAttachedAndHooksRun)
{
    auto window = open();
    Ui::frmTablora *ui = window->ui;
    window->EnableControls(true);
    StatementRecorder recorder;
    for (QPushButton *b :
         {ui->cmdCreateDb, ui->cmdDropDb, ui->cmdCreateTable, ui->cmdDropTable, ui->cmdCreateProc,
          ui->cmdDropProc, ui->cmdCheckTable, ui->cmdRepairTable, ui->cmdOptimizeTable, ui->cmdBackup,
          ui->cmdRestore, ui->cmdCopyDb, ui->cmdScriptBackUp, ui->cmdInOut, ui->cmdExec, ui->cmdCreateUser})
        b->click();
    EXPECT_TRUE(recorder.statements().isEmpty());
    EXPECT_TRUE(dialogs.shown.isEmpty());

    int exec = 0, users = 0;
    window->onExec = [&] { ++exec; };
    window->onCreateUser = [&] { ++users; };
    ui->cmdExec->click();
    ui->cmdCreateUser->click();
    EXPECT_EQ(exec, 1);
    EXPECT_EQ(users, 1);
}

TEST_F(Shell, VersionButtonShowsTheAboutBoxModally)
{
    auto window = open();
    QString caption;
    dialogs.modal([&](QWidget *w) {
        caption = w->windowTitle();
        return 1;
    });
    window->ui->Command1->click();
    EXPECT_EQ(caption, QStringLiteral("Tablora のﾊﾞｰｼﾞｮﾝ情報"));
}

TEST_F(Shell, EveryControlHasANameForAssistiveTechnology)
{
    auto window = open();
    EXPECT_EQ(unnamedControls(window.get()), QStringList());
    // A label that shows a value is read with the value; a list and a grid with their caption.
    auto name = [](QWidget *w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    window->ShowCount(10, 3);
    EXPECT_EQ(name(window->ui->lblCnt), QStringLiteral("3/10"));
    EXPECT_EQ(name(window->ui->picStatus), QStringLiteral("30%"));
    window->ui->lblTableName->setText(QStringLiteral("items"));
    EXPECT_EQ(name(window->ui->lblTableName), QStringLiteral("items"));
    EXPECT_EQ(name(window->ui->lstDb), QStringLiteral("database"));
    EXPECT_EQ(name(window->ui->lstTables), QStringLiteral("table & view"));
    EXPECT_EQ(name(window->ui->flGrid_Field), QStringLiteral("fields"));
    EXPECT_EQ(name(window->ui->txtServer), QStringLiteral("SERVER"));
    frmAbout about;
    EXPECT_EQ(unnamedControls(&about), QStringList());
}

// Every control of the window carries its caption as designed (ASCII and half-width kana as they are).
TEST_F(Shell, CaptionsAreAsDesigned)
{
    auto window = open();
    const std::pair<const char *, const char *> captions[] = {
        {"Frame1", "接続設定"}, {"Label1", "DSN :"}, {"Label2", "DRIVERS :"}, {"Label3", "SERVER :"},
        {"Label4", "USER :"}, {"Label5", "PASS :"}, {"Label6", "PORT :"}, {"cmdConnect", "接続"},
        {"cmdClose", "切断"}, {"Label7", "database"}, {"cmdShowDb", "ﾃﾞｰﾀﾍﾞｰｽ表示"},
        {"cmdCreateDb", "ﾃﾞｰﾀﾍﾞｰｽ作成"}, {"cmdDropDb", "ﾃﾞｰﾀﾍﾞｰｽ削除"}, {"cmdBackup", "ﾊﾞｯｸｱｯﾌﾟ"},
        {"cmdRestore", "復元"}, {"cmdCopyDb", "ﾃﾞｰﾀ ｺﾋﾟｰ"}, {"cmdScriptBackUp", "全scriptﾊﾞｯｸｱｯﾌﾟ"},
        {"optTP_0", "table"}, {"optTP_1", "proc"}, {"Label8", "table && view"},
        {"Label9", "procedure && function"}, {"optField_0", "ﾃｷｽﾄ"}, {"optField_1", "ｸﾞﾘｯﾄﾞ"},
        {"optField_2", "ｽﾃｰﾀｽ"}, {"optField_3", "ﾃﾞｰﾀ一覧"}, {"Label10", "fields"}, {"Label11", "index"},
        {"cmdDataGet", "ﾃﾞｰﾀ表示"}, {"cmdCreateTable", "ﾃｰﾌﾞﾙ変更"}, {"cmdDropTable", "ﾃｰﾌﾞﾙ削除"},
        {"lblCreateTable", "create tableｽｸﾘﾌﾟﾄ"}, {"cmdCreateProc", "変更"}, {"cmdDropProc", "削除"},
        {"lblCreateProc", "create Procｽｸﾘﾌﾟﾄ"}, {"Frame2", "ﾃｰﾌﾞﾙｱｸｾｽ"},
        {"Label15", "検査・修復・最適化・ｺﾋﾟｰ："}, {"cmdCheckTable", "ﾃｰﾌﾞﾙ検査"},
        {"cmdRepairTable", "ﾃｰﾌﾞﾙ修復"}, {"cmdOptimizeTable", "ﾃｰﾌﾞﾙ最適化"}, {"cmdInOut", "ﾃﾞｰﾀ入出力"},
        {"cmdExec", "ｸｴﾘ実行"}, {"cmdCreateUser", "ﾕｰｻﾞｰ設定"}, {"Command1", "ﾊﾞｰｼﾞｮﾝ情報"},
        {"cmdEnd", "終了"}, {"Label13", "直前のｴﾗｰ"}, {"Label12", "直前の選択"},
        {"lblPreTable", "0:database,1:table"}};
    for (const auto &[name, caption] : captions) {
        const QWidget *w = window->findChild<QWidget *>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        const auto *box = qobject_cast<const QGroupBox *>(w);
        EXPECT_EQ(box ? box->title() : w->property("text").toString(), QString::fromUtf8(caption)) << name;
    }
    // The enabling routine at load replaces the design caption of the routine inspector's label.
    EXPECT_EQ(window->ui->lblEditProcName->text(), QStringLiteral("編集????："));
    EXPECT_EQ(window->size(), QSize(1200, 800));
    EXPECT_FALSE(window->ui->lblCreateTable->isVisibleTo(window.get()));
    EXPECT_FALSE(window->ui->lblCreateProc->isVisibleTo(window.get()));
}

TEST_F(Shell, ReturningFromAnotherWindowActivatesButReturningFromAMessageDoesNot)
{
    auto window = open();
    Ui::frmTablora *ui = window->ui;
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
    ui->cboDrivers->addItem("MySQL Other Driver");
    ui->cboDrivers->setCurrentText("MySQL Other Driver");

    QMessageBox box(QMessageBox::Critical, "Tablora", "ｻｰﾊﾞｰ名を選択して下さい。", QMessageBox::Ok, window.get());
    box.show();
    QApplication::setActiveWindow(&box);
    QApplication::processEvents();
    box.close();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
    EXPECT_EQ(ui->cboDrivers->currentText(), QStringLiteral("MySQL Other Driver"));

    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QApplication::processEvents();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
    EXPECT_EQ(ui->cboDrivers->currentText(), Session::instance().driver);
    other.close();
    window->hide();
}
