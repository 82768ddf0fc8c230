// Changing privileges in the user window: global, database and table level, moving database and table
// privileges, and putting the loaded privileges back when a step fails.
#include "userwindowtest.h"

namespace {
const QString Flush = QStringLiteral("FLUSH PRIVILEGES");
}

TEST_F(UserWindowTest, ChangesGlobalPrivileges)
{
    const QString user = account();
    exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(user)));
    exec(QStringLiteral("GRANT SELECT, PROCESS ON *.* TO %1 WITH GRANT OPTION").arg(accountSql(user)));
    open();
    selectAccount(user);
    EXPECT_EQ(checked(window->ckPrivType), (QList<int>{0, 8, 10}));

    // Cleared boxes leave USAGE and keep the account and its password.
    window->cmdUserGrantAllCK[1]->click();
    EXPECT_TRUE(checked(window->ckPrivType).isEmpty());
    EXPECT_EQ(tagged(window->ckPrivType), (QList<int>{0, 8, 10})); // tags untouched
    ok(2);
    recorder.clear();
    ui().cmdGrantEdit->click();
    EXPECT_EQ(dialogs.messages(), (QStringList{"ﾕｰｻﾞｰ権限を変更します。", "変更しました。"}));
    EXPECT_EQ(recorder.statements().mid(0, 6),
              (QStringList{QStringLiteral("REVOKE GRANT OPTION ON *.* FROM ") + tailOf(user), Flush,
                           QStringLiteral("REVOKE ALL PRIVILEGES ON *.* FROM ") + tailOf(user), Flush,
                           QStringLiteral("GRANT USAGE   ON *.*   TO ") + tailOf(user), Flush}));
    EXPECT_FALSE(grants(user).contains(QStringLiteral("SELECT")));
    EXPECT_FALSE(grants(user).contains(QStringLiteral("GRANT OPTION")));
    EXPECT_TRUE(canLogin(user, QStringLiteral("pw")));
    EXPECT_EQ(ui().lstUser->currentRow(), 0);

    // Everything checked: all 26 come back from the server.
    selectAccount(user);
    window->cmdUserGrantAllCK[0]->click();
    ok(2);
    ui().cmdGrantEdit->click();
    // Every keyword of the 26 boxes, the last of them CREATE USER.
    EXPECT_TRUE(
        grants(user).contains(QStringLiteral("ALTER ROUTINE, CREATE USER ON *.* TO `%1`@`%` ").arg(user)))
        << grants(user).toStdString();
    EXPECT_TRUE(grants(user).contains(QStringLiteral("WITH GRANT OPTION")));
    selectAccount(user);
    EXPECT_EQ(checked(window->ckPrivType).size(), 26);
}

TEST_F(UserWindowTest, GlobalChangePutsTheLoadedPrivilegesBackAtEachStage)
{
    const QString user = account();
    exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(user)));
    exec(QStringLiteral("GRANT SELECT, INSERT ON *.* TO %1 WITH GRANT OPTION").arg(accountSql(user)));
    open();
    const QString regrant = QStringLiteral("GRANT SELECT,INSERT\r\n   ON *.*   TO ") + tailOf(user)
                            + QStringLiteral(" WITH GRANT OPTION");
    const QString before = grants(user);

    // Stage 1: the grant option is gone when the second revoke fails.
    selectAccount(user);
    check(window->ckPrivType, {2});
    window->failWith = [](const QString &sql) {
        return sql.startsWith(QLatin1String("REVOKE ALL")) ? 1045u : 0u;
    };
    ok(2);
    recorder.clear();
    ui().cmdGrantEdit->click();
    EXPECT_EQ(dialogs.shown[1].icon, Dialogs::Icon::Critical);
    EXPECT_EQ(recorder.statements().mid(3), (QStringList{regrant, Flush}));
    EXPECT_EQ(grants(user), before);

    // Stage 2: all revoked when the new grant fails.
    window->failWith = [](const QString &sql) {
        return sql.startsWith(QLatin1String("GRANT UPDATE")) ? 1045u : 0u;
    };
    dialogs.shown.clear();
    ok(2);
    recorder.clear();
    ui().cmdGrantEdit->click();
    EXPECT_EQ(recorder.statements().mid(5),
              (QStringList{QStringLiteral("REVOKE ALL PRIVILEGES ON *.* FROM ") + tailOf(user), Flush,
                           regrant, Flush}));
    EXPECT_EQ(grants(user), before);

    // Stage 0: the account went away behind the window's back: the error alone, nothing more sent.
    window->failWith = nullptr;
    exec(QStringLiteral("DROP USER %1").arg(accountSql(user)));
    dialogs.shown.clear();
    ok(2);
    recorder.clear();
    ui().cmdGrantEdit->click();
    EXPECT_EQ(recorder.statements(),
              (QStringList{QStringLiteral("REVOKE GRANT OPTION ON *.* FROM ") + tailOf(user)}));
    EXPECT_TRUE(dialogs.messages().value(1).contains(QStringLiteral("1141")))
        << dialogs.messages().value(1).toStdString();
}

TEST_F(UserWindowTest, AddsChangesMovesAndDeletesDatabasePrivileges)
{
    const QString user = account();
    exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(user)));
    open();
    selectAccount(user);

    // Add: nothing chosen, nothing checked, then a grant on the test database.
    ok(2);
    ui().cmdDbGrantAdd->click();
    frmUserAdd::setListText(ui().lstAddDB, db);
    ui().cmdDbGrantAdd->click();
    EXPECT_EQ(dialogs.messages(), (QStringList{"DBを選択して下さい。", "権限にﾁｪｯｸを入れてください。"}));
    check(window->ckDBPrivType, {0, 1});
    ok(2);
    recorder.clear();
    ui().cmdDbGrantAdd->click();
    EXPECT_EQ(recorder.statements().value(0),
              QStringLiteral("GRANT SELECT,INSERT\r\n   ON %1.*   TO ").arg(db) + tailOf(user));
    EXPECT_TRUE(grants(user).contains(QStringLiteral("GRANT SELECT, INSERT ON `%1`.*").arg(db)));
    EXPECT_EQ(ui().lblDbName->text(), db); // account reloaded, its row shown
    EXPECT_EQ(checked(window->ckDBPrivType), (QList<int>{0, 1}));
    EXPECT_TRUE(ui().cmdDbGrantEdit->isEnabled());

    // Change in place: everything, GRANT OPTION among the 17.
    window->cmdDbGrantAllCK[0]->click();
    ok(2);
    recorder.clear();
    ui().cmdDbGrantEdit->click();
    EXPECT_EQ(
        recorder.statements().mid(0, 5),
        (QStringList{QStringLiteral("REVOKE GRANT OPTION ON %1.* FROM ").arg(db) + tailOf(user), Flush,
                     QStringLiteral("REVOKE ALL PRIVILEGES ON %1.* FROM ").arg(db) + tailOf(user), Flush,
                     QStringLiteral("GRANT SELECT,INSERT,UPDATE,DELETE,CREATE,DROP,GRANT OPTION,REFERENCES,"
                                    "INDEX,ALTER,CREATE TEMPORARY TABLES,LOCK TABLES,CREATE VIEW,SHOW VIEW,"
                                    "CREATE ROUTINE,ALTER ROUTINE,EXECUTE\r\n   ON %1.*   TO ")
                             .arg(db)
                         + tailOf(user)}));
    EXPECT_TRUE(
        grants(user).contains(QStringLiteral("ON `%1`.* TO `%2`@`%` WITH GRANT OPTION").arg(db, user)))
        << grants(user).toStdString();
    EXPECT_EQ(checked(window->ckDBPrivType).size(), 17);

    // Move to the other database with fewer privileges.
    check(window->ckDBPrivType, {0});
    frmUserAdd::setListText(ui().lstAddDB, db2);
    ok(2);
    ui().cmdDbGrantEdit->click();
    EXPECT_EQ(dialogs.messages().last(), QStringLiteral("変更しました。"));
    EXPECT_FALSE(grants(user).contains(QStringLiteral("`%1`.*").arg(db)));
    EXPECT_TRUE(grants(user).contains(QStringLiteral("GRANT SELECT ON `%1`.*").arg(db2)))
        << grants(user).toStdString();
    EXPECT_EQ(ui().lblDbName->text(), db2);
    EXPECT_EQ(frmUserAdd::listText(ui().lstDB), db2);
    auto as = login(user, QStringLiteral("pw"));
    EXPECT_NO_THROW(as->Execute(QStringLiteral("show tables from `%1`").arg(db2)));

    // Delete.
    ok(2);
    recorder.clear();
    ui().cmdDbGrantDel->click();
    EXPECT_EQ(dialogs.shown[dialogs.shown.size() - 2].icon, Dialogs::Icon::Critical);
    EXPECT_EQ(recorder.statements().value(0),
              QStringLiteral("delete from mysql.db where host = '%'  and db = '%1'  and user = '%2'")
                  .arg(db2, user));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from mysql.db where user = '%1'").arg(user)),
              QStringLiteral("0"));
    EXPECT_FALSE(ui().cmdDbGrantEdit->isEnabled());
}

TEST_F(UserWindowTest, DatabaseChangePutsTheLoadedRowBack)
{
    const QString user = account();
    exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(user)));
    exec(QStringLiteral("GRANT SELECT, DELETE ON `%1`.* TO %2 WITH GRANT OPTION").arg(db, accountSql(user)));
    open();
    selectAccount(user);
    EXPECT_EQ(tagged(window->ckDBPrivType), (QList<int>{0, 3, 6}));
    const QString before = grants(user);

    // A move whose grant on the new database fails: the loaded row returns to the database it came from.
    check(window->ckDBPrivType, {1});
    frmUserAdd::setListText(ui().lstAddDB, db2);
    window->failWith = [](const QString &sql) {
        return sql.startsWith(QLatin1String("GRANT INSERT")) ? 1044u : 0u;
    };
    ok(2);
    recorder.clear();
    ui().cmdDbGrantEdit->click();
    EXPECT_EQ(
        recorder.statements().mid(5),
        (QStringList{QStringLiteral("delete from mysql.db where host = '%'  and db = '%1'  and user = '%2'")
                         .arg(db, user),
                     Flush,
                     QStringLiteral("GRANT SELECT,DELETE,GRANT OPTION\r\n   ON %1.*   TO ").arg(db)
                         + tailOf(user),
                     Flush}));
    EXPECT_EQ(dialogs.messages().last(), QStringLiteral("ERROR 1044 (42000): Access denied for this test"));
    EXPECT_EQ(grants(user), before);

    // The first revoke failing changes nothing and the restore leaves the row as it was.
    window->failWith = [](const QString &sql) {
        return sql.startsWith(QLatin1String("REVOKE GRANT")) ? 1044u : 0u;
    };
    ok(2);
    ui().cmdDbGrantEdit->click();
    EXPECT_EQ(grants(user), before);

    // A row without any privilege has nothing to give back: the restore only clears it. (The server refuses
    // to revoke from such a row, so the change fails at its second revoke.)
    window->failWith = nullptr;
    exec(QStringLiteral("INSERT INTO mysql.db (Host, Db, User) VALUES ('%', '%1', '%2')").arg(db2, user));
    exec(QStringLiteral("FLUSH PRIVILEGES"));
    selectNew();
    selectAccount(user);
    frmUserAdd::setListText(ui().lstDB, db2);
    EXPECT_TRUE(tagged(window->ckDBPrivType).isEmpty());
    check(window->ckDBPrivType, {2});
    ok(2);
    recorder.clear();
    ui().cmdDbGrantEdit->click();
    EXPECT_TRUE(dialogs.messages().last().contains(QStringLiteral("1141")));
    EXPECT_EQ(
        recorder.statements().mid(3),
        (QStringList{QStringLiteral("delete from mysql.db where host = '%'  and db = '%1'  and user = '%2'")
                         .arg(db2, user),
                     Flush}));
    EXPECT_EQ(
        scalar(
            QStringLiteral("select count(*) from mysql.db where user = '%1' and db = '%2'").arg(user, db2)),
        QStringLiteral("0"));
    EXPECT_EQ(grants(user), before);
}

TEST_F(UserWindowTest, AddsChangesMovesAndDeletesTablePrivileges)
{
    const QString user = account();
    exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(user)));
    exec(QStringLiteral("GRANT SELECT, UPDATE, ALTER ON `%1`.t1 TO %2").arg(db, accountSql(user)));
    open();
    selectAccount(user);
    EXPECT_EQ(checked(window->ckTablePrivType), (QList<int>{0, 2}));
    EXPECT_EQ(ui().cboAddDB->currentText(), db);
    EXPECT_EQ(frmUserAdd::listText(ui().lstAddTable), QStringLiteral("t1"));

    // "*" as the database: add and change do nothing at all.
    ui().cboAddDB->setCurrentIndex(0);
    emit ui().cboAddDB->activated(0);
    recorder.clear();
    ui().cmdTableGrantAdd->click();
    ui().cmdTableGrantEdit->click();
    EXPECT_TRUE(recorder.statements().isEmpty());
    EXPECT_TRUE(dialogs.shown.isEmpty());

    // A database without a table chosen.
    ui().cboAddDB->setCurrentIndex(ui().cboAddDB->findText(db));
    emit ui().cboAddDB->activated(ui().cboAddDB->currentIndex());
    ok();
    ui().cmdTableGrantEdit->click();
    EXPECT_EQ(dialogs.messages(), (QStringList{"ﾃｰﾌﾞﾙが選択されていません。"}));
    EXPECT_EQ(dialogs.shown[0].icon, Dialogs::Icon::Critical);

    // Add on another table.
    frmUserAdd::setListText(ui().lstAddTable, QStringLiteral("t2"));
    check(window->ckTablePrivType, {1});
    ok(2);
    recorder.clear();
    ui().cmdTableGrantAdd->click();
    EXPECT_EQ(recorder.statements().value(0),
              QStringLiteral("GRANT INSERT\r\n   ON %1.t2   TO ").arg(db) + tailOf(user));
    EXPECT_TRUE(grants(user).contains(QStringLiteral("GRANT INSERT ON `%1`.`t2`").arg(db)));
    EXPECT_EQ(ui().lstTable->count(), 2);

    // Change t1 in place: the ALTER the boxes do not show stays.
    frmUserAdd::setListText(ui().lstTable, db + QStringLiteral("\tt1"));
    check(window->ckTablePrivType, {0, 3});
    ok(2);
    recorder.clear();
    ui().cmdTableGrantEdit->click();
    EXPECT_EQ(
        recorder.statements().mid(0, 4),
        (QStringList{QStringLiteral("delete from mysql.tables_priv where user='%1'   and host='%'   "
                                    "and db='%2'   and Table_name ='t1'")
                         .arg(user, db),
                     Flush,
                     QStringLiteral("GRANT SELECT,DELETE,ALTER\r\n   ON %1.t1   TO ").arg(db) + tailOf(user),
                     Flush}));
    EXPECT_TRUE(grants(user).contains(QStringLiteral("GRANT SELECT, DELETE, ALTER ON `%1`.`t1`").arg(db)))
        << grants(user).toStdString();
    EXPECT_EQ(frmUserAdd::listText(ui().lstTable), db + QStringLiteral("\tt1"));

    // Move t1's row to t3.
    frmUserAdd::setListText(ui().lstAddTable, QStringLiteral("t3"));
    ok(2);
    ui().cmdTableGrantEdit->click();
    EXPECT_FALSE(grants(user).contains(QStringLiteral("`t1`")));
    EXPECT_TRUE(grants(user).contains(QStringLiteral("GRANT SELECT, DELETE, ALTER ON `%1`.`t3`").arg(db)));
    EXPECT_EQ(frmUserAdd::listText(ui().lstTable), db + QStringLiteral("\tt3"));
    EXPECT_EQ(ui().lblTableName->text(), QStringLiteral("t3"));
    auto as = login(user, QStringLiteral("pw"));
    EXPECT_NO_THROW(as->Execute(QStringLiteral("select * from `%1`.t3").arg(db)));
    EXPECT_THROW(as->Execute(QStringLiteral("select * from `%1`.t1").arg(db)), DbError);

    // Delete both rows: the buttons go off with the last.
    ok(2);
    ui().cmdTableGrantDel->click();
    ASSERT_EQ(ui().lstTable->count(), 1);
    ok(2);
    ui().cmdTableGrantDel->click();
    EXPECT_EQ(ui().lstTable->count(), 0);
    EXPECT_FALSE(ui().cmdTableGrantEdit->isEnabled());
    EXPECT_FALSE(ui().cmdTableGrantDel->isEnabled());
    EXPECT_EQ(ui().cboAddDB->currentText(), QStringLiteral("*"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from mysql.tables_priv where user = '%1'").arg(user)),
              QStringLiteral("0"));
}

TEST_F(UserWindowTest, TableChangePutsTheLoadedRowBack)
{
    const QString user = account();
    exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(user)));
    exec(QStringLiteral("GRANT INSERT, INDEX ON `%1`.t1 TO %2").arg(db, accountSql(user)));
    exec(QStringLiteral("GRANT CREATE ON `%1`.t2 TO %2").arg(db, accountSql(user)));
    open();
    selectAccount(user);
    const QString before = grants(user);

    // The new grant fails after the row was deleted: the row as loaded, INDEX with it, comes back.
    check(window->ckTablePrivType, {0});
    window->failWith = [](const QString &sql) {
        return sql.startsWith(QLatin1String("GRANT SELECT")) ? 1142u : 0u;
    };
    ok(2);
    recorder.clear();
    ui().cmdTableGrantEdit->click();
    EXPECT_EQ(recorder.statements().mid(3),
              (QStringList{
                  QStringLiteral("REVOKE ALL PRIVILEGES ON %1.t1 FROM ").arg(db) + tailOf(user), Flush,
                  QStringLiteral("GRANT INSERT,INDEX\r\n   ON %1.t1   TO ").arg(db) + tailOf(user), Flush}));
    EXPECT_EQ(grants(user), before);

    // A row without any of the four words and nothing else to give back: the restore only revokes.
    frmUserAdd::setListText(ui().lstTable, db + QStringLiteral("\tt2"));
    EXPECT_TRUE(tagged(window->ckTablePrivType).isEmpty());
    exec(QStringLiteral(
             "UPDATE mysql.tables_priv SET Table_priv = '' WHERE user = '%1' AND table_name = 't2'")
             .arg(user));
    exec(QStringLiteral("FLUSH PRIVILEGES"));
    selectNew();
    selectAccount(user);
    frmUserAdd::setListText(ui().lstTable, db + QStringLiteral("\tt2"));
    check(window->ckTablePrivType, {0});
    ok(2);
    recorder.clear();
    ui().cmdTableGrantEdit->click();
    EXPECT_EQ(
        recorder.statements().mid(3),
        (QStringList{QStringLiteral("REVOKE ALL PRIVILEGES ON %1.t2 FROM ").arg(db) + tailOf(user), Flush}));
    EXPECT_FALSE(grants(user).contains(QStringLiteral("`t2`")));
}

TEST_F(UserWindowTest, PrivilegesWithoutABoxStayAtEveryLevel)
{
    const QString user = account();
    const QString all = account(QStringLiteral("a"));
    exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(user)));
    exec(QStringLiteral("GRANT SELECT, EVENT, TRIGGER ON *.* TO %1").arg(accountSql(user)));
    exec(QStringLiteral("GRANT SELECT, EVENT, DELETE HISTORY ON `%1`.* TO %2").arg(db, accountSql(user)));
    exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(all)));
    exec(QStringLiteral("GRANT ALL PRIVILEGES ON *.* TO %1").arg(accountSql(all)));
    open();

    // Global: INSERT added, EVENT and TRIGGER (no boxes) kept.
    selectAccount(user);
    check(window->ckPrivType, {0, 1});
    ok(2);
    ui().cmdGrantEdit->click();
    EXPECT_EQ(dialogs.messages().value(1), QStringLiteral("変更しました。"));
    EXPECT_TRUE(grants(user).contains(QStringLiteral("GRANT SELECT, INSERT, EVENT, TRIGGER ON *.*")))
        << grants(user).toStdString();

    // Database: INSERT added, EVENT and DELETE HISTORY kept.
    selectAccount(user);
    check(window->ckDBPrivType, {0, 1});
    dialogs.shown.clear();
    ok(2);
    ui().cmdDbGrantEdit->click();
    EXPECT_EQ(dialogs.messages().value(1), QStringLiteral("変更しました。"));
    EXPECT_TRUE(grants(user).contains(
        QStringLiteral("GRANT SELECT, INSERT, EVENT, DELETE HISTORY ON `%1`.*").arg(db)))
        << grants(user).toStdString();

    // ALL PRIVILEGES with every box left checked stays ALL PRIVILEGES.
    const QString before = grants(all);
    selectAccount(all);
    EXPECT_EQ(checked(window->ckPrivType).size(), 25);
    dialogs.shown.clear();
    ok(2);
    ui().cmdGrantEdit->click();
    EXPECT_EQ(grants(all), before);
}

TEST_F(UserWindowTest, TheConnectedAccountIsWarnedAboutAndAFailedRestoreIsShown)
{
    // The window's own account: the change is asked about once more, and Cancel sends nothing.
    open();
    const QString current =
        Session::instance().db().Execute(QStringLiteral("select current_user()"))->Value(0);
    const QString rootUser = current.section(QLatin1Char('@'), 0, -2);
    const QString rootHost = current.section(QLatin1Char('@'), -1);
    const QString rootGrants = grants(rootUser, rootHost);
    selectAccount(rootUser, rootHost);
    recorder.clear();
    dialogs.answer(Dialogs::Answer::Ok).answer(Dialogs::Answer::Cancel);
    ui().cmdGrantEdit->click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(
        dialogs.messages()[1].startsWith(QStringLiteral("接続中のﾕｰｻﾞｰ (CURRENT_USER()) の権限を変更します。")));
    EXPECT_EQ(dialogs.shown[1].icon, Dialogs::Icon::Warning);
    EXPECT_TRUE(recorder.statements().isEmpty());
    EXPECT_EQ(grants(rootUser, rootHost), rootGrants);

    // A change that fails, and whose restore fails too: both said, with the statements that put it back.
    const QString user = account();
    exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(user)));
    exec(QStringLiteral("GRANT SELECT ON *.* TO %1").arg(accountSql(user)));
    open();
    selectAccount(user);
    check(window->ckPrivType, {2});
    window->failWith = [](const QString &sql) {
        return sql.startsWith(QLatin1String("GRANT ")) ? 1045u : 0u;
    };
    dialogs.shown.clear();
    ok(2);
    ui().cmdGrantEdit->click();
    const QString regrant = QStringLiteral("GRANT SELECT\r\n   ON *.*   TO ") + tailOf(user);
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(dialogs.messages()[1].contains(QStringLiteral("権限を元に戻せませんでした。")));
    EXPECT_TRUE(dialogs.messages()[1].contains(regrant)) << dialogs.messages()[1].toStdString();
    window->failWith = nullptr;
}

TEST_F(UserWindowTest, AllPrivilegesStayLessWhatIsUnchecked)
{
    // What the account should hold is the server's own answer: a second account given the same grants
    // loses by REVOKE what the window unchecks.
    const QString user = account();
    const QString model = account(QStringLiteral("m"));
    for (const QString &u : {user, model}) {
        exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(u)));
        exec(QStringLiteral("GRANT ALL PRIVILEGES ON `%1`.* TO %2 WITH GRANT OPTION").arg(db, accountSql(u)));
        exec(QStringLiteral("GRANT ALL PRIVILEGES ON *.* TO %1").arg(accountSql(u)));
    }
    open();
    const auto change = [&](QPushButton *button, const std::function<void()> &uncheck) {
        selectNew();
        selectAccount(user);
        uncheck();
        dialogs.shown.clear();
        ok(2);
        button->click();
        EXPECT_EQ(dialogs.messages().value(1), QStringLiteral("変更しました。"));
    };

    // Database level, nothing unchecked: EVENT, TRIGGER, DELETE HISTORY and the grant option stay.
    change(ui().cmdDbGrantEdit, [] {});
    EXPECT_EQ(sortedGrants(user), sortedGrants(model, user));
    // DELETE unchecked.
    change(ui().cmdDbGrantEdit, [&] { window->ckDBPrivType[3]->setChecked(false); });
    exec(QStringLiteral("REVOKE DELETE ON `%1`.* FROM %2").arg(db, accountSql(model)));
    EXPECT_EQ(sortedGrants(user), sortedGrants(model, user));

    // Global level, nothing unchecked, then SELECT and REPL CLIENT unchecked: the privileges without a box
    // (EVENT, BINLOG ADMIN, CONNECTION ADMIN, ...) stay.
    change(ui().cmdGrantEdit, [] {});
    EXPECT_EQ(sortedGrants(user), sortedGrants(model, user));
    change(ui().cmdGrantEdit, [&] {
        window->ckPrivType[0]->setChecked(false);
        window->ckPrivType[20]->setChecked(false);
    });
    exec(QStringLiteral("REVOKE SELECT, REPLICATION CLIENT ON *.* FROM %1").arg(accountSql(model)));
    EXPECT_EQ(sortedGrants(user), sortedGrants(model, user));
    EXPECT_TRUE(grants(user).contains(QStringLiteral("CONNECTION ADMIN"))) << grants(user).toStdString();

    // Unchecking REPL CLIENT takes it away from an account that holds it by name (BINLOG MONITOR).
    exec(QStringLiteral("REVOKE ALL PRIVILEGES ON *.* FROM %1").arg(accountSql(user)));
    exec(QStringLiteral("GRANT SELECT, REPLICATION CLIENT ON *.* TO %1").arg(accountSql(user)));
    change(ui().cmdGrantEdit, [&] { window->ckPrivType[20]->setChecked(false); });
    EXPECT_TRUE(grants(user).contains(QStringLiteral("GRANT SELECT ON *.*"))) << grants(user).toStdString();
}

TEST_F(UserWindowTest, DatabasePrivilegesWithoutABoxAreFoundUnderAnsiQuotes)
{
    const QString user = account();
    const QString model = account(QStringLiteral("m"));
    for (const QString &u : {user, model}) {
        exec(QStringLiteral("CREATE USER %1 IDENTIFIED BY 'pw'").arg(accountSql(u)));
        exec(QStringLiteral("GRANT ALL PRIVILEGES ON `%1`.* TO %2 WITH GRANT OPTION").arg(db, accountSql(u)));
        exec(QStringLiteral("GRANT SELECT, EVENT, TRIGGER ON `%1`.* TO %2").arg(db2, accountSql(u)));
    }
    exec(QStringLiteral("GRANT INSERT ON `%1`.* TO %2").arg(db2, accountSql(model)));
    Connection &session = Session::instance().db();
    session.Execute(QStringLiteral("SET SESSION sql_mode = CONCAT(@@global.sql_mode, ',ANSI_QUOTES')"));
    open();
    for (const QString &database : {db, db2}) {
        SCOPED_TRACE(database.toStdString());
        selectNew();
        selectAccount(user);
        frmUserAdd::setListText(ui().lstDB, database);
        ASSERT_EQ(ui().lblDbName->text(), database);
        if (database == db2)
            window->ckDBPrivType[1]->setChecked(true);
        dialogs.shown.clear();
        ok(2);
        ui().cmdDbGrantEdit->click();
        EXPECT_EQ(dialogs.messages().value(1), QStringLiteral("変更しました。"));
    }
    session.Execute(QStringLiteral("SET SESSION sql_mode = @@global.sql_mode"));
    EXPECT_EQ(sortedGrants(user), sortedGrants(model, user));
}
