#include "windowtest.h"

#include "session.h"
#include "widgets/grid.h"

#include <QApplication>
#include <QDir>

class Inspectors : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        loadShop();
        exec("CREATE PROCEDURE add_item(IN p_name VARCHAR(100)) BEGIN SELECT p_name; END");
        exec("CREATE FUNCTION item_count() RETURNS INT RETURN 42");
        connectWindow("root", server.password);
        chooseDatabase();
        recorder->clear();
    }
};

TEST_F(Inspectors, ATableShowsItsDefinitionColumnsAndIndexes)
{
    ASSERT_TRUE(choose(ui->lstTables, "[TABLE]\titems"));
    EXPECT_EQ(window->SelectedTable(), QStringLiteral("items"));
    EXPECT_EQ(window->SelectedTableKind(), QStringLiteral("[TABLE]"));
    EXPECT_EQ(ui->lblPreTable->text(), QStringLiteral("1"));
    EXPECT_EQ(ui->lblTableName->text(), QStringLiteral("items"));
    EXPECT_EQ(ui->lblCkTableName->text(), QStringLiteral("items"));
    EXPECT_EQ(ui->lblEditName->text(), QStringLiteral("編集ﾃｰﾌﾞﾙ:"));
    const QString create = ui->txtField->toPlainText();
    EXPECT_TRUE(create.startsWith("CREATE TABLE `items`")) << create.toStdString();
    EXPECT_TRUE(create.contains("COMMENT='商品'"));
    EXPECT_EQ(ui->lblCreateTable->text(), create);

    EXPECT_EQ(ui->flGrid_Field->Rows(), 6);
    EXPECT_EQ(ui->flGrid_Field->TextMatrix(5, 0), QStringLiteral("added"));
    EXPECT_EQ(ui->flGrid_Field->TextMatrix(0, 0), QStringLiteral("Field"));
    EXPECT_EQ(ui->flGrid_Field->TextMatrix(0, 2), QStringLiteral("Collation"));   // the full field list
    EXPECT_EQ(ui->flGrid_Field->TextMatrix(1, 2), QStringLiteral("NULL"));         // int has no collation
    EXPECT_EQ(ui->flGrid_Index->TextMatrix(0, 2), QStringLiteral("Key_name"));
    EXPECT_EQ(ui->flGrid_Index->Rows(), 3);   // PRIMARY and idx_name

    EXPECT_EQ(recorder->statements(),
              (QStringList{"show create table " + db + ".items;", "show full fields from " + db + ".items;",
                           "show index from " + db + ".items;"}));
    for (QWidget *w : {ui->cmdDropTable, ui->cmdCreateTable, ui->cmdDataGet})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(ui->cmdInOut->isEnabled());   // not "localhost"
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Choosing the database again forgets the table.
    ASSERT_TRUE(choose(ui->lstDb, "mysql"));
    EXPECT_EQ(ui->lblPreTable->text(), QStringLiteral("0"));
}

TEST_F(Inspectors, AViewAndANameThatNeedsQuoting)
{
    ASSERT_TRUE(choose(ui->lstTables, "[VIEW]\torder_totals"));
    EXPECT_EQ(ui->lblEditName->text(), QStringLiteral("編集VIEW:"));
    EXPECT_TRUE(ui->txtField->toPlainText().contains("VIEW `" + db + "`.`order_totals`"));
    EXPECT_EQ(ui->flGrid_Field->TextMatrix(2, 0), QStringLiteral("total"));
    EXPECT_EQ(window->SelectedTableKind(), QStringLiteral("[VIEW]"));

    ASSERT_TRUE(choose(ui->lstTables, "[TABLE]\torder details"));
    EXPECT_EQ(window->SelectedTable(), QStringLiteral("order details"));
    EXPECT_EQ(ui->flGrid_Field->TextMatrix(3, 0), QStringLiteral("quantity"));
    EXPECT_TRUE(recorder->contains("show full fields from " + db + ".`order details`;"));
    EXPECT_TRUE(ui->txtError->text().isEmpty());
}

TEST_F(Inspectors, AnUnreadableTableRecordsTheErrorAndKeepsOnlyDrop)
{
    exec("DROP TABLE access_log");   // behind the window's back
    ASSERT_TRUE(choose(ui->lstTables, "[TABLE]\taccess_log"));
    EXPECT_TRUE(ui->txtError->text().contains("access_log")) << ui->txtError->text().toStdString();
    EXPECT_EQ(ui->Label13->toolTip(), ui->txtError->text());
    EXPECT_TRUE(ui->cmdDropTable->isEnabled());
    EXPECT_FALSE(ui->cmdCreateTable->isEnabled());
    EXPECT_FALSE(ui->cmdInOut->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialogs->shown.isEmpty());
}

TEST_F(Inspectors, RoutinesShowTheirCreateText)
{
    ASSERT_TRUE(choose(ui->lstProcFunc, "[PROC]\tadd_item"));
    EXPECT_EQ(ui->lblProcName->text(), QStringLiteral("add_item"));
    EXPECT_TRUE(ui->txtProc->toPlainText().contains("PROCEDURE `add_item`"))
        << ui->txtProc->toPlainText().toStdString();
    EXPECT_EQ(ui->lblCreateProc->text(), ui->txtProc->toPlainText());
    EXPECT_TRUE(ui->cmdCreateProc->isEnabled());
    EXPECT_TRUE(ui->cmdDropProc->isEnabled());
    EXPECT_EQ(window->SelectedRoutine(), QStringLiteral("add_item"));
    EXPECT_EQ(window->SelectedRoutineKind(), QStringLiteral("[PROC]"));

    ASSERT_TRUE(choose(ui->lstProcFunc, "[FUNC]\titem_count"));
    EXPECT_TRUE(ui->txtProc->toPlainText().contains("FUNCTION `item_count`"));
    EXPECT_EQ(recorder->statements(), (QStringList{"show create procedure " + db + ".add_item;",
                                                   "show create function " + db + ".item_count;"}));
    EXPECT_EQ(window->SelectedRoutineKind(), QStringLiteral("[FUNC]"));
}

TEST_F(Inspectors, DataViewerAtEachLimit)
{
    exec("CREATE TABLE big (id INT PRIMARY KEY, label VARCHAR(20) NULL)");
    exec("INSERT INTO big SELECT seq, IF(seq % 2, NULL, CONCAT('行', seq)) FROM seq_1_to_1500");
    ui->cmdShowDb->click();
    ASSERT_TRUE(choose(ui->lstDb, db));
    ASSERT_TRUE(choose(ui->lstTables, "[TABLE]\tbig"));
    const struct { int index; int rows; } limits[] = {{0, 100}, {1, 1000}, {2, 1500}};
    for (const auto &limit : limits) {
        ui->cboLimit->setCurrentIndex(limit.index);
        recorder->clear();
        ui->cmdDataGet->click();
        EXPECT_EQ(recorder->statements(),
                  QStringList{"select * from " + db + ".big limit " + ui->cboLimit->currentText()});
        EXPECT_EQ(ui->flGrid_Data->Rows(), limit.rows + 1);
        EXPECT_EQ(ui->lblRecordCount->text(), QString::number(limit.rows));
    }
    EXPECT_TRUE(window->optField[3]->isChecked());
    EXPECT_EQ(ui->flGrid_Data->TextMatrix(0, 1), QStringLiteral("label"));
    EXPECT_EQ(ui->flGrid_Data->TextMatrix(1, 1), QStringLiteral("NULL"));
    EXPECT_EQ(ui->flGrid_Data->TextMatrix(2, 1), QStringLiteral("行2"));

    // A table gone meanwhile: the error is recorded and shown.
    exec("DROP TABLE big");
    dialogs->answer(Dialogs::Answer::Ok);
    ui->cmdDataGet->click();
    EXPECT_TRUE(ui->txtError->text().contains("big"));
    EXPECT_EQ(dialogs->shown.size(), 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Saves a picture of the connected window with the sample database chosen, to look at:
// TABLORA_SCREENSHOT=out.png, best under the xcb platform on a virtual display.
TEST_F(Inspectors, Screenshot)
{
    const QString path = qEnvironmentVariable("TABLORA_SCREENSHOT");
    if (path.isEmpty())
        GTEST_SKIP() << "set TABLORA_SCREENSHOT to a file name";
    window->show();
    // TABLORA_SCREENSHOT_SIZE=WxH: the window at another size, rescaled by its resize control.
    const QStringList size = qEnvironmentVariable("TABLORA_SCREENSHOT_SIZE").split(QLatin1Char('x'));
    if (size.size() == 2)
        window->resize(size[0].toInt(), size[1].toInt());
    chooseDatabase("shop");
    ASSERT_TRUE(choose(ui->lstTables, "[TABLE]\titems"));
    ASSERT_TRUE(choose(ui->lstProcFunc, "[PROC]\tadd_item"));
    window->optField[qEnvironmentVariableIntValue("TABLORA_SCREENSHOT_VIEW")]->click();
    if (window->optField[3]->isChecked())
        ui->cmdDataGet->click();
    window->ShowCount(8, 3);
    window->RecordError("ERROR 1146 (42S02): Table 'shop.x' doesn't exist");
    window->ShowCount(8, 3);
    QApplication::processEvents();
    EXPECT_TRUE(window->grab().save(path));
}
