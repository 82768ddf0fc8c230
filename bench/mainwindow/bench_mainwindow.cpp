// Big schemas and wide rows in the main window and the user window, each timed against the same
// statements sent in a bare Connector/C loop in the same command. The bench makes its database, tables
// and accounts itself and drops them at the end. One mode per command:
//   bench_mainwindow lists [tables]  choosing a database of 10,000 tables, 500 views and 500 routines, and
//                                ﾃｰﾌﾞﾙ検査 of all its tables
//   bench_mainwindow data            ﾃﾞｰﾀ表示 of 10,000 rows of a 50-column table with long text
//   bench_mainwindow users           the user window over 5,000 accounts: loading, choosing an account
//   bench_mainwindow all             the three above, each in a process of its own (the default)
#include "connection.h"
#include "benchclients.h"
#include "benchdialogs.h"
#include "benchwindow.h"
#include "mainwindow/frmtablora.h"
#include "maintenance/attach.h"
#include "recordset.h"
#include "sandbox.h"
#include "session.h"
#include "ui_frmuseradd.h"
#include "users/frmuseradd.h"

#include <mysql.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {

const QString Database = QStringLiteral("tablora_bench_schema");
const QString WideDatabase = QStringLiteral("tablora_bench_wide");

void exec(Connection &c, const QString &sql)
{
    c.Execute(sql);
}

// One statement through the bare client library, its rows fetched and each row's cells touched.
// Returns the rows; names (when given) receives the values of column `column`.
int bare(MYSQL *m, const QByteArray &sql, QList<QByteArray> *names = nullptr, int column = 0,
         bool streamed = false)
{
    if (mysql_real_query(m, sql.constData(), sql.size()) != 0)
        return -1;
    MYSQL_RES *res = streamed ? mysql_use_result(m) : mysql_store_result(m);
    if (!res)
        return 0;
    const unsigned int n = mysql_num_fields(res);
    mysql_fetch_fields(res);
    int rows = 0;
    volatile unsigned long sum = 0;
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        const unsigned long *lengths = mysql_fetch_lengths(res);
        for (unsigned int i = 0; i < n; ++i)
            sum = sum + lengths[i];
        if (names)
            names->append(QByteArray(row[column], qsizetype(lengths[column])));
        ++rows;
    }
    mysql_free_result(res);
    return rows;
}

double seconds(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e9;
}

// The session's connection and a main window connected through its connect panel.
struct MainWindowBench
{
    const SandboxServer &server = SandboxServer::get();
    BenchDialogs dialogs;
    QTemporaryDir settings;
    std::unique_ptr<frmTablora> window;

    MainWindowBench()
    {
        Dialogs::install(&dialogs);
        window = benchWindow(settings.path(), server.port);
        Ui::frmTablora *ui = window->ui;
        ui->cmdConnect->click();
        ui->cmdShowDb->click();
        QTest::qWait(50);
    }
    ~MainWindowBench()
    {
        window.reset();
        Session::instance().CloseConnection();
        Dialogs::install(nullptr);
    }
    MYSQL *handle() { return Session::instance().connection->handle(); }

    bool choose(QListWidget *list, const QString &text) { return chooseEntry(list, text); }
};

// The longest time the window's thread went without serving its events while work ran.
class EventGap
{
public:
    EventGap()
    {
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_since.restart());
        });
    }
    void start()
    {
        m_longest = 0;
        m_since.start();
        m_timer.start();
    }
    qint64 stop()
    {
        m_timer.stop();
        return std::max(m_longest, m_since.elapsed());
    }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

bool keep()
{
    return qEnvironmentVariableIntValue("TABLORA_BENCH_KEEP") == 1;
}

void createSchema(Connection &admin, int tables)
{
    if (keep() && scalarOf(admin, QStringLiteral("SELECT COUNT(*) FROM information_schema.TABLES WHERE "
                                                 "TABLE_SCHEMA = '%1'").arg(Database)).toInt() == tables + 500)
        return;
    exec(admin, QStringLiteral("DROP DATABASE IF EXISTS ") + Database);
    exec(admin, QStringLiteral("CREATE DATABASE ") + Database);
    constexpr int Clients = 8;
    QStringList scripts(Clients);
    for (int i = 1; i <= tables; ++i)
        scripts[i % Clients] += QStringLiteral("CREATE TABLE %1.t%2 (id INT PRIMARY KEY, name VARCHAR(40), "
                                               "added DATETIME NULL) ENGINE=InnoDB;\n")
                                    .arg(Database).arg(i, 5, 10, QChar('0'));
    runClients(scripts);
    scripts = QStringList(Clients);
    for (int i = 1; i <= 500; ++i)
        scripts[i % Clients] += QStringLiteral("CREATE VIEW %1.v%2 AS SELECT id, name FROM %1.t%3;\n")
                                    .arg(Database).arg(i, 3, 10, QChar('0')).arg(i, 5, 10, QChar('0'));
    for (int i = 1; i <= 250; ++i) {
        scripts[i % Clients] += QStringLiteral("CREATE PROCEDURE %1.p%2(IN x INT) SELECT x + %2;\n")
                                    .arg(Database).arg(i, 3, 10, QChar('0'));
        scripts[i % Clients] += QStringLiteral("CREATE FUNCTION %1.f%2(x INT) RETURNS INT DETERMINISTIC "
                                               "RETURN x + %2;\n").arg(Database).arg(i, 3, 10, QChar('0'));
    }
    runClients(scripts);
}

void dropDatabase(Connection &admin, const QString &database)
{
    if (!keep())
        exec(admin, QStringLiteral("DROP DATABASE IF EXISTS ") + database);
}

// The statements of choosing a database, sent in a bare loop. longest: the longest single statement.
double bareListing(MYSQL *m, const QString &database, double *longest)
{
    QElapsedTimer t, one;
    t.start();
    *longest = 0;
    auto timed = [&](const QByteArray &sql, QList<QByteArray> *names = nullptr) {
        one.start();
        bare(m, sql, names, 0);
        *longest = std::max(*longest, seconds(one));
    };
    QList<QByteArray> names;
    timed(("show tables from " + database + ";").toUtf8(), &names);
    for (const QByteArray &name : names)
        timed("show create table " + database.toUtf8() + "." + name + ";");
    timed("show procedure status ;");
    timed("show function status");
    timed(("show table status from " + database + " ;").toUtf8());
    return seconds(t);
}

double bareCheck(MYSQL *m, const QString &database, const QStringList &entries)
{
    QElapsedTimer t;
    t.start();
    for (const QString &entry : entries)
        bare(m, ("check table " + database + "." + entry.section(QLatin1Char('\t'), 1) + " ").toUtf8());
    return seconds(t);
}

int listsMode(int tables)
{
    auto admin = SandboxServer::get().connect();
    QElapsedTimer setup;
    setup.start();
    createSchema(*admin, tables);
    printf("lists setup: %d tables, 500 views, 500 routines made in %.1f s\n", tables, seconds(setup));
    int failed = 0;
    {
        MainWindowBench bench;
        Ui::frmTablora *ui = bench.window->ui;
        double window = 1e9, baseline = 1e9, longest = 0;
        qint64 gap = 0;
        EventGap gaps;
        // The first round warms the server's caches; the best of the next two counts.
        for (int i = 0; i < 3; ++i) {
            double statement = 0;
            const double b = bareListing(bench.handle(), Database, &statement);
            ui->cmdShowDb->click();
            QElapsedTimer t;
            gaps.start();
            t.start();
            bench.choose(ui->lstDb, Database);
            const double w = seconds(t);
            const qint64 g = gaps.stop();
            if (i == 0)
                continue;
            baseline = std::min(baseline, b);
            window = std::min(window, w);
            gap = std::max(gap, g);
            longest = std::max(longest, statement);
        }
        printf("lists entries: %d tables and views, %d routines, %d status rows\n", ui->lstTables->count(),
               ui->lstProcFunc->count(), ui->flGrid_Status->Rows() - 1);
        printf("lists bare statements: %.3f s\n", baseline);
        printf("lists main window, database chosen: %.3f s\n", window);
        printf("lists ratio vs bare statements: %.2f (target <= 1.2)\n", window / baseline);
        printf("lists longest wait for events while filling: %lld ms (the longest single statement alone: "
               "%.0f ms)\n", gap, longest * 1000);

        QStringList entries;
        for (int i = 0; i < ui->lstTables->count(); ++i)
            entries << ui->lstTables->item(i)->text();
        double check = 1e9, bareChecks = 1e9;
        for (int i = 0; i < 3; ++i) {
            const double b = bareCheck(bench.handle(), Database, entries);
            bench.dialogs.messages.clear();
            QElapsedTimer t;
            gaps.start();
            t.start();
            ui->cmdCheckTable->click();
            const double w = seconds(t);
            const qint64 g = gaps.stop();
            if (i == 0)
                continue;
            bareChecks = std::min(bareChecks, b);
            check = std::min(check, w);
            gap = g;
        }
        printf("check message: %s\n", qPrintable(bench.dialogs.messages.value(1).left(60)));
        printf("check bare statements: %.3f s\n", bareChecks);
        printf("check main window, all tables: %.3f s\n", check);
        printf("check ratio vs bare statements: %.2f (target <= 1.1)\n", check / bareChecks);
        printf("check longest wait for events: %lld ms\n", gap);
        failed = window / baseline > 1.2 || check / bareChecks > 1.1;
    }
    dropDatabase(*admin, Database);
    return failed;
}

int dataMode()
{
    constexpr int Rows = 10000;
    constexpr int Columns = 50;
    auto admin = SandboxServer::get().connect();
    exec(*admin, QStringLiteral("DROP DATABASE IF EXISTS ") + WideDatabase);
    exec(*admin, QStringLiteral("CREATE DATABASE ") + WideDatabase);
    QStringList columns, values;
    for (int c = 0; c < Columns; ++c) {
        columns << QStringLiteral("c%1 TEXT").arg(c);
        // Long text of varying length, Japanese and Latin, a null now and then.
        values << QStringLiteral("IF(seq %% 11 = %1, NULL, CONCAT(REPEAT('長い文章 long text ', 1 + (seq + %1) %% 12),"
                                 " seq))").arg(c % 11).replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    exec(*admin, QStringLiteral("CREATE TABLE %1.wide (id INT PRIMARY KEY, %2) ENGINE=InnoDB")
                     .arg(WideDatabase, columns.join(QStringLiteral(", "))));
    exec(*admin, QStringLiteral("INSERT INTO %1.wide SELECT seq, %2 FROM %1.seq_1_to_%3")
                     .arg(WideDatabase, values.join(QStringLiteral(", "))).arg(Rows));
    int failed = 0;
    {
        MainWindowBench bench;
        Ui::frmTablora *ui = bench.window->ui;
        bench.choose(ui->lstDb, WideDatabase);
        bench.choose(ui->lstTables, QStringLiteral("[TABLE]\twide"));
        ui->cboLimit->setCurrentIndex(ui->cboLimit->findText(QStringLiteral("10000")));
        const QByteArray sql = ("select * from " + WideDatabase + ".wide limit 10000").toUtf8();
        double window = 1e9, baseline = 1e9, streamed = 1e9;
        for (int i = 0; i < 4; ++i) {
            QElapsedTimer b;
            b.start();
            bare(bench.handle(), sql);
            const double buffered = seconds(b);
            b.restart();
            bare(bench.handle(), sql, nullptr, 0, true);
            const double oneByOne = seconds(b);
            QElapsedTimer t;
            t.start();
            ui->cmdDataGet->click();
            const double w = seconds(t);
            if (i == 0)
                continue; // the first round warms the server's caches
            baseline = std::min(baseline, buffered);
            streamed = std::min(streamed, oneByOne);
            window = std::min(window, w);
        }
        printf("data rows shown: %s of %d columns\n", qPrintable(ui->lblRecordCount->text()),
               ui->flGrid_Data->Cols());
        printf("data bare fetch loop (whole answer first, as the viewer fetched before): %.3f s\n", baseline);
        printf("data bare fetch loop (row by row, nothing kept): %.3f s\n", streamed);
        printf("data main window, ﾃﾞｰﾀ表示: %.3f s\n", window);
        printf("data ratio vs bare fetch loop: %.2f (target <= 1.2)\n", window / baseline);
        printf("data ratio vs bare row-by-row loop: %.2f\n", window / streamed);
        failed = window / baseline > 1.2;
    }
    dropDatabase(*admin, WideDatabase);
    return failed;
}

int usersMode()
{
    constexpr int Accounts = 5000;
    auto admin = SandboxServer::get().connect();
    // The accounts go straight into the grant table: five thousand CREATE USER would take a while.
    exec(*admin, QStringLiteral("DELETE FROM mysql.global_priv WHERE User LIKE 'tbench\\_%'"));
    exec(*admin, QStringLiteral("INSERT INTO mysql.global_priv (Host, User, Priv) SELECT 'localhost', "
                                "CONCAT('tbench_', LPAD(seq, 5, '0')), '{}' FROM mysql.seq_1_to_%1").arg(Accounts));
    exec(*admin, QStringLiteral("FLUSH PRIVILEGES"));
    const QString chosen = QStringLiteral("tbench_02500");
    exec(*admin, QStringLiteral("GRANT SELECT ON shop.* TO '%1'@'localhost'").arg(chosen));
    exec(*admin, QStringLiteral("GRANT SELECT ON shop.items TO '%1'@'localhost'").arg(chosen));
    int failed = 0;
    {
        const SandboxServer &server = SandboxServer::get();
        BenchDialogs dialogs;
        Dialogs::install(&dialogs);
        Session &s = Session::instance();
        s.server = server.host;
        s.user = server.user;
        s.pass = server.password;
        s.port = server.port;
        s.OpenConnection();
        MYSQL *m = s.connection->handle();
        double load = 1e9, bareLoad = 1e9, click = 1e9, bareClick = 1e9;
        int listed = 0;
        const QString where = QStringLiteral(" where user = '%1'   and host = 'localhost'").arg(chosen);
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer b;
            b.start();
            bare(m, "select * from mysql.user");
            bare(m, "show databases;");
            bareLoad = std::min(bareLoad, seconds(b));
            QElapsedTimer t;
            t.start();
            frmUserAdd window;
            load = std::min(load, seconds(t));
            window.show();
            QTest::qWait(20);
            listed = window.ui()->lstUser->count() - 1;

            b.restart();
            for (const char *table : {"user", "db", "tables_priv"})
                bare(m, ("select * from mysql." + QString::fromLatin1(table) + where).toUtf8());
            bareClick = std::min(bareClick, seconds(b));
            const QList<QListWidgetItem *> found =
                window.ui()->lstUser->findItems(QStringLiteral("localhost\t") + chosen, Qt::MatchExactly);
            t.restart();
            if (!found.isEmpty())
                window.ui()->lstUser->setCurrentItem(found.first());
            click = std::min(click, seconds(t));
        }
        printf("users accounts listed: %d\n", listed);
        printf("users bare statements of loading: %.3f s\n", bareLoad);
        printf("users window loaded: %.3f s\n", load);
        printf("users load ratio vs bare statements: %.2f\n", load / bareLoad);
        printf("users bare statements of choosing an account: %.4f s\n", bareClick);
        printf("users account chosen: %.4f s\n", click);
        printf("users choice ratio vs bare statements: %.2f\n", click / bareClick);
        s.CloseConnection();
        Dialogs::install(nullptr);
    }
    exec(*admin, QStringLiteral("DROP USER '%1'@'localhost'").arg(chosen));
    exec(*admin, QStringLiteral("DELETE FROM mysql.global_priv WHERE User LIKE 'tbench\\_%'"));
    exec(*admin, QStringLiteral("FLUSH PRIVILEGES"));
    return failed;
}

}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("all");
    if (mode == QLatin1String("lists"))
        return listsMode(argc > 2 ? atoi(argv[2]) : 10000);
    if (mode == QLatin1String("data"))
        return dataMode();
    if (mode == QLatin1String("users"))
        return usersMode();
    int failed = 0;
    for (const QString &m : {QStringLiteral("lists"), QStringLiteral("data"), QStringLiteral("users")}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {m});
        child.waitForFinished(-1);
        failed |= child.exitCode();
    }
    return failed;
}
