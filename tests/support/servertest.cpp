#include "servertest.h"

#include "connection.h"
#include "dberror.h"
#include "session.h"

#include <QFile>
#include <QRegularExpression>
#include <unistd.h>

void ServerTest::SetUp()
{
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    QString name = QStringLiteral("t_%1_%2").arg(QString::fromLatin1(info->test_suite_name()),
                                                 QString::fromLatin1(info->name()));
    name = name.toLower().replace(QRegularExpression(QStringLiteral("[^a-z0-9_]")), QStringLiteral("_"));
    db = name.left(64);
    Session::instance().reset();
    admin = server.connect();
    admin->Execute(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(db));
    admin->Execute(QStringLiteral("CREATE DATABASE `%1` DEFAULT CHARACTER SET utf8mb4").arg(db));
    admin->Execute(QStringLiteral("USE `%1`").arg(db));
}

void ServerTest::TearDown()
{
    Session::instance().reset();
    try {
        if (!admin || admin->State() != 1)
            admin = server.connect();
        admin->Execute(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(db));
    } catch (const DbError &e) {
        ADD_FAILURE() << "could not drop " << db.toStdString() << ": " << e.description().toStdString();
    }
}

bool ServerTest::connectSession(const QString &database, const QString &host)
{
    Session &s = Session::instance();
    s.dsn = QStringLiteral("(なし)");
    s.driver = QStringLiteral("MySQL ODBC 3.51 Driver");
    s.server = host;
    s.user = server.user;
    s.pass = server.password;
    s.port = server.port;
    s.database = database;
    return s.OpenConnection();
}

void ServerTest::exec(const QString &sql)
{
    admin->Execute(sql);
}

QList<QStringList> ServerTest::rows(const QString &sql)
{
    return rowsOf(*admin, sql);
}

QString ServerTest::scalar(const QString &sql)
{
    return scalarOf(*admin, sql);
}

void ServerTest::loadShop()
{
    QFile file(QStringLiteral(TABLORA_SOURCE_DIR "/scripts/sample.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("scripts/sample.sql is missing");
    const QString text = QString::fromUtf8(file.readAll());
    // The tables and their rows only: the database, routines and accounts are the shop's own.
    const int from = text.indexOf(QStringLiteral("CREATE TABLE items"));
    const int to = text.indexOf(QStringLiteral("DELIMITER //"));
    for (QString statement : text.mid(from, to - from).split(QStringLiteral(";\n"))) {
        statement = statement.trimmed();
        if (!statement.isEmpty())
            exec(statement);
    }
}
