#include "windowtest.h"

#include "connection.h"
#include "dberror.h"
#include "maintenance/attach.h"
#include "mainwindow/frmtablora.h"
#include "session.h"

#include <QFile>
#include <QListWidget>
#include <QProcess>

#include <utility>

void WindowTest::SetUp()
{
    ServerTest::SetUp();
    ASSERT_TRUE(settingsDir.isValid());
    ASSERT_TRUE(work.isValid());
    window = std::make_unique<frmTablora>(settingsDir.path());
    ASSERT_TRUE(connectSession(QString(), QStringLiteral("localhost")));
    Session::instance().isLocalhost = true;
    window->EnableControls(true);
    maintenance = attachMaintenance(*window);
    recorder = std::make_unique<StatementRecorder>();
}

void WindowTest::TearDown()
{
    recorder.reset();
    window.reset();
    for (const QString &name : extraDatabases) {
        try {
            exec(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name));
        } catch (const DbError &) {
        }
    }
    ServerTest::TearDown();
}

void WindowTest::chooseDatabase()
{
    window->cmdShowDb_Click();
    const auto found = window->ui->lstDb->findItems(db, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    window->ui->lstDb->setCurrentItem(found.first());
    ASSERT_EQ(window->ui->lblPreTable->text(), QStringLiteral("0"));
    ASSERT_EQ(Session::instance().database, db);
}

void WindowTest::chooseTable(const QString &name)
{
    QListWidget *list = window->ui->lstTables;
    for (int i = 0; i < list->count(); ++i) {
        if (frmTablora::EntryName(list->item(i)->text()) == name) {
            list->setCurrentItem(list->item(i));
            ASSERT_EQ(window->ui->lblPreTable->text(), QStringLiteral("1"));
            return;
        }
    }
    FAIL() << "no entry " << name.toStdString();
}

QStringList WindowTest::tableEntries() const
{
    QStringList entries;
    for (int i = 0; i < window->ui->lstTables->count(); ++i)
        entries << window->ui->lstTables->item(i)->text();
    return entries;
}

QList<QStringList> WindowTest::tableRows(const QString &database, const QString &table)
{
    // Binary and bit columns compared as hex, so that every byte counts.
    QStringList columns;
    for (const QStringList &c :
         rows(QStringLiteral("select COLUMN_NAME, DATA_TYPE from information_schema.COLUMNS "
                             "where TABLE_SCHEMA='%1' and TABLE_NAME='%2' "
                             "order by ORDINAL_POSITION")
                  .arg(database, table))) {
        const QString type = c[1].toLower();
        const QString name = QStringLiteral("`") + c[0] + QStringLiteral("`");
        columns << (type.contains(QLatin1String("blob")) || type.contains(QLatin1String("binary"))
                            || type == QLatin1String("bit")
                        ? QStringLiteral("hex(") + name + QStringLiteral(")")
                        : name);
    }
    QStringList order;
    for (int i = 1; i <= columns.size(); ++i)
        order << QString::number(i);
    return rows(QStringLiteral("select %1 from `%2`.`%3` order by %4")
                    .arg(columns.join(QLatin1Char(',')), database, table, order.join(QLatin1Char(','))));
}

QString WindowTest::loadWithClient(const QString &database, const QString &file)
{
    QProcess client;
    client.setStandardInputFile(file);
    client.start(QStringLiteral("mariadb"),
                 {QStringLiteral("--no-defaults"), QStringLiteral("-h127.0.0.1"),
                  QStringLiteral("-P") + server.port, QStringLiteral("-u") + server.user,
                  QStringLiteral("-p") + server.password, database});
    if (!client.waitForFinished(60000))
        return QStringLiteral("the client did not finish");
    const QString errors = QString::fromUtf8(client.readAllStandardError());
    return client.exitCode() == 0 ? QString() : errors + QStringLiteral(" (exit ") +
                                                    QString::number(client.exitCode()) + QLatin1Char(')');
}

QString WindowTest::otherDatabase()
{
    const QString name = (db + QStringLiteral("_x")).right(64);
    exec(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name));
    exec(QStringLiteral("CREATE DATABASE `%1` DEFAULT CHARACTER SET utf8mb4").arg(name));
    extraDatabases << name;
    return name;
}

void WindowTest::clickDatabaseDuringTheRun(const QString &name)
{
    const auto found = window->ui->lstDb->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << "list the databases after making the other one";
    QListWidgetItem *item = found.first();
    // The run's first progress step is where its window events first run: the click is handled there, once.
    window->onProgressStep = [this, item, clicked = false]() mutable {
        if (!std::exchange(clicked, true))
            window->ui->lstDb->setCurrentItem(item);
    };
}
