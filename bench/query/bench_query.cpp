// The query window's runs over a large result, against the command-line client and a bare Connector/C
// loop run in the same command. One mode per command:
//   bench_query stream [rows]    streamed run to sqldump.dat: time and peak memory
//   bench_query display [rows]   displayed run (grid and text): time, peak memory, jumping to the end
//   (rows above 1,000,000: the million-row table joined with a run of numbers, one more column)
//   bench_query stop             stopping runs over 10,000,000 rows, and a run still inside the server
//   bench_query all [rows]       the three above, each in a process of its own
//   bench_query show [view]      the window after a run over the shop database (for a screenshot)
// Figures are printed one per line, with their ratios.
#include "benchtable.h"
#include "connection.h"
#include "benchdialogs.h"
#include "frmsql.h"
#include "recordset.h"
#include "sandbox.h"
#include "session.h"
#include "ui_frmsql.h"

#include <mysql.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double megabytes(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}

long statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(strlen(key))).trimmed().split(' ').first().toLong();
    return 0;
}

// Starts a new peak: the peak resident size is set back to the current one.
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

double clientSeconds(const SandboxServer &server, const QString &sql, const QString &out)
{
    const QString client = QFileInfo::exists(QStringLiteral("/usr/bin/mariadb")) ? QStringLiteral("mariadb")
                                                                                   : QStringLiteral("mysql");
    const QString command =
        QStringLiteral("%1 --no-defaults -h127.0.0.1 -P%2 -u%3 -p%4 -B --quick -e \"%5\" > %6")
                                .arg(client, server.port, server.user, server.password, sql, out);
    QElapsedTimer t;
    t.start();
    QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    return t.nsecsElapsed() / 1e9;
}

// The least a program can do: fetch each row and write it as a delimited line.
double bareLoopSeconds(Connection &c, const QString &sql, const QString &out)
{
    QElapsedTimer t;
    t.start();
    FILE *file = fopen(out.toLocal8Bit().constData(), "wb");
    MYSQL *m = c.handle();
    const QByteArray text = sql.toUtf8();
    mysql_real_query(m, text.constData(), text.size());
    MYSQL_RES *res = mysql_use_result(m);
    const unsigned int n = mysql_num_fields(res);
    std::vector<char> block(2 << 20);
    size_t used = 0;
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        unsigned long *lengths = mysql_fetch_lengths(res);
        for (unsigned int i = 0; i < n; ++i) {
            const char *value = row[i] ? row[i] : "NULL";
            const size_t length = row[i] ? lengths[i] : 4;
            if (used + length + 3 > block.size()) {
                fwrite(block.data(), 1, used, file);
                used = 0;
                if (length + 3 > block.size())
                    block.resize(length + 3);
            }
            memcpy(block.data() + used, value, length);
            used += length;
            if (i + 1 < n)
                block[used++] = '\t';
        }
        block[used++] = '\r';
        block[used++] = '\n';
    }
    fwrite(block.data(), 1, used, file);
    mysql_free_result(res);
    fclose(file);
    return t.nsecsElapsed() / 1e9;
}

struct Bench
{
    const SandboxServer &server = SandboxServer::get();
    BenchDialogs dialogs;
    QTemporaryDir temp;
    std::unique_ptr<frmSql> window;
    QString table;
    QString sql; // all rows of the run

    explicit Bench(int rows)
    {
        Dialogs::install(&dialogs);
        auto admin = server.connect();
        constexpr int Million = 1000000;
        table = BenchTable::ensure(*admin, std::min(rows, Million));
        sql = rows <= Million ? QStringLiteral("select * from %1").arg(table)
                              : QStringLiteral("select w.*, s.seq from %1 w join tablora_bench.seq_1_to_%2 s")
                                    .arg(table).arg(rows / Million);
        Session &s = Session::instance();
        s.server = server.host;
        s.user = server.user;
        s.pass = server.password;
        s.port = server.port;
        if (!s.OpenConnection()) {
            fprintf(stderr, "bench_query: cannot connect to the sandbox\n");
            exit(1);
        }
        s.settings.textpath = temp.path();
        s.settings.texte = QStringLiteral("true");
        window = std::make_unique<frmSql>();
        window->ui->cboDelimiter->setCurrentIndex(1);
        window->ckMemo[0]->setChecked(false);
        window->show();
        QTest::qWait(50);
    }
    ~Bench()
    {
        window.reset();
        Session::instance().CloseConnection();
        Dialogs::install(nullptr);
    }

    // Clicks cmdExec and returns the seconds until the run has ended.
    double run(const QString &sql)
    {
        window->ui->txtSql->setPlainText(sql);
        QSignalSpy finished(window.get(), &frmSql::runFinished);
        QElapsedTimer t;
        t.start();
        window->ui->cmdExec->click();
        if (finished.isEmpty())
            finished.wait(3600 * 1000);
        return t.nsecsElapsed() / 1e9;
    }
};

int streamMode(int rows)
{
    Bench bench(rows);
    const QString sql = bench.sql;
    const QString clientOut = bench.temp.filePath(QStringLiteral("client.txt"));
    const QString bareOut = bench.temp.filePath(QStringLiteral("bare.txt"));
    bench.window->ui->ckNoTextNoGrid->click();
    double client = 1e9, bare = 1e9, ours = 1e9;
    long peakKb = 0;
    for (int i = 0; i < 3; ++i) {
        client = std::min(client, clientSeconds(bench.server, sql, clientOut));
        bare = std::min(bare, bareLoopSeconds(*Session::instance().connection, sql, bareOut));
        const long before = statusKb("VmRSS:");
        resetPeak();
        ours = std::min(ours, bench.run(sql));
        peakKb = std::max(peakKb, statusKb("VmHWM:") - before);
    }
    const double textBytes = QFileInfo(clientOut).size();
    printf("stream rows: %d\n", rows);
    printf("stream result as text (client output): %.1f MB\n", megabytes(textBytes));
    printf("stream sqldump.dat: %.1f MB, %s records\n",
           megabytes(QFileInfo(bench.temp.filePath(QStringLiteral("sqldump.dat"))).size()),
           qPrintable(bench.window->ui->lblRecordCount->text()));
    printf("stream client (mariadb -B --quick > file): %.3f s\n", client);
    printf("stream bare connector loop: %.3f s\n", bare);
    printf("stream query window: %.3f s\n", ours);
    printf("stream ratio vs client: %.2f (target <= 1.0)\n", ours / client);
    printf("stream ratio vs bare loop: %.2f (target <= 1.6)\n", ours / bare);
    printf("stream peak memory growth: %.1f MB (target < 10)\n", peakKb / 1024.0);
    return 0;
}

// Milliseconds to scroll a view to its end and paint it, then back to its start and paint it.
double jumpMs(QAbstractScrollArea *view)
{
    QElapsedTimer t;
    t.start();
    QScrollBar *bar = view->verticalScrollBar();
    bar->setValue(bar->maximum());
    view->viewport()->repaint();
    bar->setValue(0);
    view->viewport()->repaint();
    return t.nsecsElapsed() / 1e6;
}

int displayMode(int rows)
{
    Bench bench(rows);
    const QString sql = bench.sql;
    const QString clientOut = bench.temp.filePath(QStringLiteral("client.txt"));
    // The big result is read once or twice only: it is long, and the machine is shared.
    const int runs = rows > 1000000 ? 1 : 2;
    double client = 1e9;
    for (int i = 0; i < runs + 1; ++i)
        client = std::min(client, clientSeconds(bench.server, sql, clientOut));
    const double textBytes = QFileInfo(clientOut).size();
    QFile::remove(clientOut);
    // Each run starts from an empty grid and text box, so the peak covers one full result.
    double ours = 1e9;
    long peakKb = 0;
    for (int i = 0; i < runs; ++i) {
        bench.run(QStringLiteral("select 1"));
        bench.window->ui->txtRecord->clear();
        const long before = statusKb("VmRSS:");
        resetPeak();
        ours = std::min(ours, bench.run(sql));
        peakKb = std::max(peakKb, statusKb("VmHWM:") - before);
    }
    printf("display rows: %s\n", qPrintable(bench.window->ui->lblRecordCount->text()));
    printf("display result as text (client output): %.1f MB\n", megabytes(textBytes));
    printf("display client (mariadb -B --quick > file): %.3f s\n", client);
    printf("display query window, grid and text filled: %.3f s\n", ours);
    printf("display ratio vs client: %.2f (target <= 1.0)\n", ours / client);
    printf("display peak memory growth: %.1f MB\n", peakKb / 1024.0);
    printf("display peak memory / result as text: %.2f (target <= 1.3)\n", peakKb * 1024.0 / textBytes);
    bench.window->optRecord[0]->click();
    const double text = jumpMs(bench.window->ui->txtRecord);
    bench.window->optRecord[1]->click();
    const double grid = jumpMs(bench.window->ui->flgrid_Record);
    printf("display jump to the end and back, drawn: text %.1f ms, grid %.1f ms\n", text, grid);
    return 0;
}

// Clicks cmdStop after delayMs and returns the seconds from the click to the end of the run.
double stopAfter(Bench &bench, const QString &sql, int delayMs, qint64 *rowsSoFar)
{
    QElapsedTimer sinceClick;
    QTimer::singleShot(delayMs, bench.window.get(), [&] {
        sinceClick.start();
        bench.window->ui->cmdStop->click();
    });
    bench.run(sql);
    *rowsSoFar = bench.window->ui->lblRecordCount->text().toLongLong();
    return sinceClick.nsecsElapsed() / 1e9;
}

int stopMode()
{
    Bench bench(1000000);
    // Ten million rows: the million-row table ten times over.
    const QString sql =
        QStringLiteral("select w.*, s.seq from %1 w join tablora_bench.seq_1_to_10 s").arg(bench.table);
    qint64 rows = 0;
    double displayed = stopAfter(bench, sql, 1500, &rows);
    printf("stop displayed run over 10000000 rows after 1.5 s: %.3f s to stop, %lld rows kept, "
           "message \"%s\""
           " (target < 1 s)\n", displayed, rows, qPrintable(bench.dialogs.messages.value(0)));
    bench.window->ui->ckNoTextNoGrid->click();
    bench.dialogs.messages.clear();
    double streamed = stopAfter(bench, sql, 1500, &rows);
    printf("stop streamed run over 10000000 rows after 1.5 s: %.3f s to stop, %lld records written"
           " (target < 1 s)\n", streamed, rows);
    bench.dialogs.messages.clear();
    double sleeping = stopAfter(bench, QStringLiteral("select sleep(60)"), 500, &rows);
    printf("stop select sleep(60) after 0.5 s: %.3f s to stop (target < 1 s)\n", sleeping);
    return 0;
}

// Shows the window after a run over the shop database, on the given view, for a screenshot.
int showMode(int view)
{
    Bench bench(1000);
    bench.window->ckMemo[0]->setChecked(true);
    bench.run(QStringLiteral("select * from shop.items"));
    bench.window->ui->txtVariablename->setText(QStringLiteral("@a"));
    bench.window->ui->cmdVariable->click();
    bench.window->ui->txtSql->setPlainText(QStringLiteral("select *\nfrom shop.items\nwhere price > 100"));
    bench.window->ui->cmdAnalyze->click();
    bench.window->optRecord[size_t(view)]->click();
    bench.window->move(0, 0);
    return QApplication::exec();
}

}

int main(int argc, char **argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "show") {
        QApplication app(argc, argv);
        return showMode(argc > 2 ? atoi(argv[2]) : 0);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("all");
    const int rows = argc > 2 ? atoi(argv[2]) : 1000000;
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (mode == QLatin1String("stream"))
        return streamMode(rows);
    if (mode == QLatin1String("display"))
        return displayMode(rows);
    if (mode == QLatin1String("stop"))
        return stopMode();
    // Each mode in a process of its own, so that every peak of memory is its own.
    int failed = 0;
    for (const QString &m : {QStringLiteral("stream"), QStringLiteral("display"), QStringLiteral("stop")}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {m, QString::number(rows)});
        child.waitForFinished(-1);
        failed |= child.exitCode();
    }
    return failed;
}
