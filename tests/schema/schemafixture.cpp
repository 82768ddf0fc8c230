#include "schemafixture.h"

#include "connection.h"
#include "session.h"
#include "mainwindow/frmtablora.h"
#include "schema/attach.h"

void SchemaWindowTest::TearDown()
{
    window.reset();
    for (const QString &name : m_extraDatabases)
        exec(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name));
    ServerTest::TearDown();
}

void SchemaWindowTest::openWindow(const QString &connectionDatabase)
{
    ASSERT_TRUE(connectSession(connectionDatabase));
    window = std::make_unique<frmTablora>(settings.path());
    handlers = attachSchema(*window);
    window->EnableControls(true);
    window->cmdShowDb_Click();
    chooseDatabase(db);
    recorder.clear();
}

void SchemaWindowTest::chooseDatabase(const QString &name)
{
    const auto found = window->ui->lstDb->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    window->ui->lstDb->setCurrentItem(found.first());
    ASSERT_EQ(Session::instance().database, name);
}

void SchemaWindowTest::chooseTable(const QString &name)
{
    const auto found = window->ui->lstTables->findItems(QLatin1Char('\t') + name, Qt::MatchEndsWith);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    window->ui->lstTables->setCurrentItem(found.first());
    ASSERT_EQ(window->ui->lblTableName->text(), name);
}

void SchemaWindowTest::chooseRoutine(const QString &name)
{
    const auto found = window->ui->lstProcFunc->findItems(QLatin1Char('\t') + name, Qt::MatchEndsWith);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    window->ui->lstProcFunc->setCurrentItem(found.first());
    ASSERT_EQ(window->ui->lblProcName->text(), name);
}

QString SchemaWindowTest::extraDatabase(const QString &suffix)
{
    return extraDatabaseNamed(db.left(50) + suffix);
}

QString SchemaWindowTest::extraDatabaseNamed(const QString &name)
{
    m_extraDatabases << name;
    exec(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name));
    exec(QStringLiteral("CREATE DATABASE `%1` DEFAULT CHARACTER SET utf8mb4").arg(name));
    return name;
}

Ui::frmTablora *SchemaWindowTest::ui() const
{
    return window->ui;
}

QStringList SchemaWindowTest::listEntries(const char *list) const
{
    QStringList entries;
    const auto *widget = window->findChild<QListWidget *>(QString::fromLatin1(list));
    for (int i = 0; widget && i < widget->count(); ++i)
        entries << widget->item(i)->text();
    return entries;
}

bool SchemaWindowTest::tableExists(const QString &database, const QString &table)
{
    return scalar(QStringLiteral("select count(*) from information_schema.tables where table_schema = '%1' "
                                 "and table_name = '%2'")
                          .arg(admin->escape(database), admin->escape(table)))
           == QLatin1String("1");
}

QStringList SchemaWindowTest::backupTables()
{
    QStringList names;
    for (const QStringList &row :
         rows(QStringLiteral("select table_name from information_schema.tables where "
                             "table_schema = '%1' and table_name like '%korv' "
                             "order by table_name")
                      .arg(db)))
        names << row.value(0);
    return names;
}
