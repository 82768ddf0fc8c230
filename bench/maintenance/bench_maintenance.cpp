// Times the logical backup of a 1,000,000-row table against mariadb-dump of the same table on the same
// server, each written to a file in the same folder; the best of three runs of each, interleaved.
// Run: bench_maintenance   (starts or finds the sandbox server through scripts/sandbox)
// Prints the figures as lines and the ratio backup / mariadb-dump; exits 1 when the ratio exceeds 1.5.

#include "core/connection.h"
#include "core/dberror.h"
#include "core/recordset.h"
#include "maintenance/logicalbackup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Rows = 1000000;
constexpr int Runs = 3;
constexpr double Limit = 1.5;
const QString Database = QStringLiteral("bench_maintenance");
const QString Table = QStringLiteral("sales");

struct Sandbox
{
    QString port, socket, password;
};

Sandbox sandbox()
{
    Sandbox s;
    QProcess script;
    script.start(QStringLiteral(TABLORA_SOURCE_DIR "/scripts/sandbox"), {QStringLiteral("env")});
    script.waitForFinished(120000);
    for (const QString &line : QString::fromUtf8(script.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        const QString value = line.section(QLatin1Char('='), 1);
        if (key == QLatin1String("TABLORA_SANDBOX_PORT"))
            s.port = value;
        else if (key == QLatin1String("TABLORA_SANDBOX_SOCKET"))
            s.socket = value;
        else if (key == QLatin1String("TABLORA_SANDBOX_PASSWORD"))
            s.password = value;
    }
    return s;
}

QString scalar(Connection &db, const QString &sql)
{
    auto rs = db.Execute(sql);
    return rs && !rs->Eof() ? rs->Value(0) : QString();
}

// The table: numbers, text with Japanese, quotes and backslashes, nulls, decimals, dates and bytes.
void prepare(Connection &db)
{
    db.Execute(QStringLiteral("create database if not exists ") + Database);
    const bool ready = scalar(db, QStringLiteral("select count(*) from information_schema.TABLES where "
                                                 "TABLE_SCHEMA='bench_maintenance' and TABLE_NAME='sales'"))
        == QLatin1String("1");
    if (ready
        && scalar(db, QStringLiteral("select count(*) from bench_maintenance.sales"))
               == QString::number(Rows))
        return;
    db.Execute(QStringLiteral("drop table if exists bench_maintenance.sales"));
    db.Execute(QStringLiteral(
        "create table bench_maintenance.sales (id int not null primary key, customer varchar(60) not null,"
        " note varchar(200) null, price decimal(12,2) not null, ratio double null, sold datetime not null,"
        " code varbinary(16) null) engine=InnoDB"));
    db.Execute(QStringLiteral(
        "insert into bench_maintenance.sales select seq, concat('顧客 ', seq, ' O''Brien'),"
        " if(seq % 5 = 0, null, concat('note \\\\ ', md5(seq))), seq * 1.25, if(seq % 7 = 0, null, seq / 3),"
        " '2026-01-01' + interval (seq % 100000) minute, unhex(md5(seq))"
        " from bench_maintenance.seq_1_to_1000000"));
}

double timeBackup(Connection &db, const QString &path)
{
    QFile::remove(path);
    QElapsedTimer timer;
    timer.start();
    {
        LogicalBackup backup(db, Database);
        backup.write(Table, path);
    }
    return timer.nsecsElapsed() / 1e9;
}

double timeDump(const Sandbox &s, const QString &path)
{
    QFile::remove(path);
    QProcess dump;
    dump.setStandardOutputFile(path);
    QElapsedTimer timer;
    timer.start();
    dump.start(QStringLiteral("mariadb-dump"),
               {QStringLiteral("--no-defaults"), QStringLiteral("-h127.0.0.1"),
                QStringLiteral("-P") + s.port, QStringLiteral("-uroot"), QStringLiteral("-p") + s.password,
                Database, Table});
    dump.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (dump.exitCode() != 0) {
        std::fprintf(stderr, "mariadb-dump failed: %s\n", dump.readAllStandardError().constData());
        return -1;
    }
    return seconds;
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Sandbox s = sandbox();
    if (s.port.isEmpty()) {
        std::fprintf(stderr, "the sandbox server did not start\n");
        return 2;
    }
    try {
        Connection db;
        db.setConnectionString(
            QStringLiteral("driver={MySQL ODBC 3.51 Driver};server=127.0.0.1;uid=root;pwd=") + s.password
            + QStringLiteral(";port=") + s.port);
        db.Open();
        prepare(db);

        QTemporaryDir dir;
        const QString ours = dir.filePath(QStringLiteral("sales.sql"));
        const QString theirs = dir.filePath(QStringLiteral("sales-dump.sql"));
        double best = 1e9, bestDump = 1e9;
        for (int i = 0; i < Runs; ++i) {
            best = std::min(best, timeBackup(db, ours));
            const double d = timeDump(s, theirs);
            if (d < 0)
                return 2;
            bestDump = std::min(bestDump, d);
        }
        const double ratio = best / bestDump;
        std::printf("rows: %d\n", Rows);
        std::printf("logical backup: %.3f s, %lld bytes\n", best, QFile(ours).size());
        std::printf("mariadb-dump: %.3f s, %lld bytes\n", bestDump, QFile(theirs).size());
        std::printf("ratio backup/mariadb-dump: %.2f (limit %.1f) %s\n", ratio, Limit,
                    ratio <= Limit ? "ok" : "TOO SLOW");
        return ratio <= Limit ? 0 : 1;
    } catch (const DbError &e) {
        std::fprintf(stderr, "%s\n", e.description().toUtf8().constData());
        return 2;
    }
}
