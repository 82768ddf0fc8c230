#include "windowtest.h"

#include "session.h"
#include "tcprelay.h"
#include "widgets/grid.h"

using ObjectLists = WindowTest;

namespace {

QStringList header(const Grid *grid)
{
    QStringList cells;
    for (int c = 0; c < grid->Cols(); ++c)
        cells << grid->TextMatrix(0, c);
    return cells;
}

int column(const Grid *grid, const QString &title)
{
    return int(header(grid).indexOf(title));
}

}

TEST_F(ObjectLists, ListingDatabasesEnablesTheDatabaseButtons)
{
    connectWindow("root", server.password);
    recorder->clear();
    ui->cmdShowDb->click();
    EXPECT_EQ(recorder->statements(), QStringList{"show databases;"});
    const QStringList dbs = items(ui->lstDb);
    EXPECT_TRUE(dbs.contains(db));
    EXPECT_TRUE(dbs.contains("mysql"));
    EXPECT_TRUE(ui->lblPreTable->text().isEmpty());
    EXPECT_EQ(Session::instance().recordset, nullptr);
    for (QWidget *w : {ui->cmdDropDb, ui->cmdExec, ui->cmdCheckTable, ui->cmdRepairTable,
                       ui->cmdOptimizeTable, ui->cmdCopyDb, ui->cmdScriptBackUp})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget *w : {ui->cmdDropTable, ui->cmdCreateTable, ui->cmdInOut, ui->cmdDataGet})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
}

TEST_F(ObjectLists, ChoosingADatabaseListsObjectsRoutinesAndStatus)
{
    loadShop();
    exec("CREATE PROCEDURE add_item(IN p INT) BEGIN SELECT p; END");
    exec("CREATE FUNCTION item_count() RETURNS INT RETURN 1");
    // The same names in another database are not listed.
    const QString other = db.left(60) + "_o";
    exec("DROP DATABASE IF EXISTS " + other);
    exec("CREATE DATABASE " + other);
    exec("CREATE PROCEDURE " + other + ".add_item() BEGIN END");
    exec("CREATE PROCEDURE " + other + ".elsewhere() BEGIN END");

    connectWindow("root", server.password);
    ui->cmdShowDb->click();
    recorder->clear();
    ASSERT_TRUE(choose(ui->lstDb, db));
    exec("DROP DATABASE " + other);

    EXPECT_EQ(Session::instance().database, db);
    EXPECT_EQ(ui->lblPreTable->text(), QStringLiteral("0"));
    EXPECT_EQ(ui->lblCkTableName->text(), db + QStringLiteral("全ﾃｰﾌﾞﾙ"));
    EXPECT_EQ(ui->lblEditName->text(), QStringLiteral("編集????:"));
    EXPECT_TRUE(window->optTP[0]->isChecked());
    EXPECT_EQ(items(ui->lstTables),
              (QStringList{"[TABLE]\taccess_log", "[TABLE]\tcustomers", "[TABLE]\titems",
                           "[TABLE]\torder details", "[VIEW]\torder_totals", "[TABLE]\torders"}));
    EXPECT_EQ(items(ui->lstProcFunc), (QStringList{"[PROC]\tadd_item", "[FUNC]\titem_count"}));

    // Names go into the statements as written; one with a blank is quoted.
    const QStringList sent = recorder->statements();
    EXPECT_EQ(sent.first(), "show tables from " + db + ";");
    EXPECT_TRUE(sent.contains("show create table " + db + ".items;"));
    EXPECT_TRUE(sent.contains("show create table " + db + ".`order details`;"));
    EXPECT_TRUE(sent.contains("show procedure status ;"));
    EXPECT_TRUE(sent.contains("show function status"));
    EXPECT_EQ(sent.last(), "show table status from " + db + " ;");

    const Grid *status = ui->flGrid_Status;
    EXPECT_EQ(status->Rows(), 7);
    EXPECT_EQ(header(status).mid(0, 3), (QStringList{"Name", "Engine", "Version"}));
    EXPECT_TRUE(status->Redraw());
    EXPECT_EQ(status->model()->rowCount(), 6);
    const int engine = column(status, "Engine");
    for (int r = 1; r < status->Rows(); ++r) {
        if (status->TextMatrix(r, 0) == "order_totals")
            EXPECT_EQ(status->TextMatrix(r, engine), QStringLiteral("NULL"));
        if (status->TextMatrix(r, 0) == "access_log")
            EXPECT_EQ(status->TextMatrix(r, engine), QStringLiteral("MyISAM"));
    }

    for (QWidget *w : {ui->cmdDropTable, ui->cmdCreateTable, ui->cmdDropProc, ui->cmdCreateProc,
                       ui->cmdInOut, ui->cmdDataGet})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(Session::instance().recordset, nullptr);
    EXPECT_TRUE(dialogs->shown.isEmpty());
}

TEST_F(ObjectLists, ADatabaseWithoutTablesStillListsRoutinesAndTheStatusHeader)
{
    exec("CREATE PROCEDURE only_proc() BEGIN END");
    connectWindow("root", server.password);
    chooseDatabase();
    EXPECT_EQ(ui->lstTables->count(), 0);
    EXPECT_EQ(items(ui->lstProcFunc), QStringList{"[PROC]\tonly_proc"});
    EXPECT_EQ(ui->flGrid_Status->Rows(), 1);
    EXPECT_GT(ui->flGrid_Status->Cols(), 10);
    EXPECT_EQ(ui->flGrid_Status->TextMatrix(0, 0), QStringLiteral("Name"));
}

TEST_F(ObjectLists, AnUnreadableDefinitionIsListedAsErrorAndTheClickGoesOn)
{
    loadShop();
    const QString account = "'" + db.left(20) + "'@'%'";
    exec("DROP USER IF EXISTS " + account);
    exec("CREATE USER " + account + " IDENTIFIED BY 'pw'");
    exec("GRANT SELECT ON " + db + ".items TO " + account);
    exec("GRANT SELECT ON " + db + ".order_totals TO " + account);   // without SHOW VIEW
    exec("GRANT SELECT ON " + db + ".orders TO " + account);
    connectWindow(db.left(20), "pw");
    chooseDatabase();
    const QStringList direct = items(ui->lstTables);
    const int statusRows = ui->flGrid_Status->Rows();
    // The same through a far link, where the statements go out together: the one that fails fails alone.
    TcpRelay far(server.host, server.port.toInt(), {.delayMs = 5});
    connectWindow(db.left(20), "pw", server.host, QString::number(far.port()));
    recorder->clear();
    chooseDatabase();
    exec("DROP USER " + account);
    EXPECT_EQ(direct, (QStringList{"[TABLE]\titems", "[ERROR]\torder_totals", "[TABLE]\torders"}));
    EXPECT_EQ(statusRows, 4);
    EXPECT_EQ(items(ui->lstTables), direct);
    EXPECT_EQ(ui->flGrid_Status->Rows(), statusRows);
    EXPECT_EQ(recorder->statements().filter("show create table ").size(), 3);
    EXPECT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();
}

TEST_F(ObjectLists, ADatabaseThatVanishedShowsTheErrorInABox)
{
    exec("CREATE TABLE t (a INT)");
    connectWindow("root", server.password);
    ui->cmdShowDb->click();
    exec("DROP DATABASE " + db);
    dialogs->answer(Dialogs::Answer::Ok);
    ASSERT_TRUE(choose(ui->lstDb, db));
    ASSERT_EQ(dialogs->shown.size(), 1);
    EXPECT_TRUE(dialogs->shown[0].text.contains("Unknown database")) << dialogs->shown[0].text.toStdString();
    EXPECT_EQ(dialogs->shown[0].icon, Dialogs::Icon::Critical);
    EXPECT_EQ(dialogs->shown[0].title, QStringLiteral("Tablora"));
    EXPECT_EQ(Session::instance().recordset, nullptr);
    EXPECT_TRUE(ui->flGrid_Status->Redraw());
    exec("CREATE DATABASE " + db);   // for the fixture's clean-up
}

TEST_F(ObjectLists, NamesWithQuotesBlanksAndBackticksAreBrowsedWhole)
{
    const QString odd = db.left(40) + " o'k `q";
    const QString quoted = "`" + QString(odd).replace("`", "``") + "`";
    exec("DROP DATABASE IF EXISTS " + quoted);
    exec("CREATE DATABASE " + quoted);
    exec("CREATE TABLE " + quoted + ".`it's ``x`` \\t` (`a b` INT, c VARCHAR(10))");
    exec("INSERT INTO " + quoted + ".`it's ``x`` \\t` VALUES (1, 'q''\\\\'), (NULL, NULL)");
    exec("CREATE PROCEDURE " + quoted + ".`my 'proc` () BEGIN END");
    connectWindow("root", server.password);
    chooseDatabase(odd);
    const QString table = "it's `x` \\t";
    EXPECT_EQ(items(ui->lstTables), QStringList{"[TABLE]\t" + table});
    EXPECT_EQ(items(ui->lstProcFunc), QStringList{"[PROC]\tmy 'proc"});
    EXPECT_EQ(ui->flGrid_Status->Rows(), 2);
    EXPECT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();

    ASSERT_TRUE(choose(ui->lstTables, "[TABLE]\t" + table));
    EXPECT_EQ(ui->flGrid_Field->TextMatrix(1, 0), QStringLiteral("a b"));
    EXPECT_EQ(ui->flGrid_Field->TextMatrix(2, 0), QStringLiteral("c"));
    EXPECT_TRUE(ui->txtError->text().isEmpty()) << ui->txtError->text().toStdString();
    ui->cmdDataGet->click();
    EXPECT_EQ(ui->lblRecordCount->text(), QStringLiteral("2"));
    EXPECT_EQ(ui->flGrid_Data->TextMatrix(1, 1), QStringLiteral("q'\\"));
    EXPECT_EQ(ui->flGrid_Data->TextMatrix(2, 0), QStringLiteral("NULL"));
    ASSERT_TRUE(choose(ui->lstProcFunc, "[PROC]\tmy 'proc"));
    EXPECT_TRUE(ui->txtProc->toPlainText().contains("PROCEDURE")) << ui->txtProc->toPlainText().toStdString();
    EXPECT_TRUE(dialogs->shown.isEmpty()) << dialogs->messages().join(";").toStdString();
    exec("DROP DATABASE " + quoted);
}
