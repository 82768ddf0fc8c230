// Walking a streaming Recordset over a large result, against a plain Connector/C loop over the same rows.
// Prints the best of three runs of each and their ratio.
#include "benchtable.h"
#include "connection.h"
#include "recordset.h"
#include "sandbox.h"

#include <mysql.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

double plainLoop(Connection &c, const QString &sql, quint64 *checksum)
{
    QElapsedTimer t;
    t.start();
    MYSQL *m = c.handle();
    const QByteArray text = sql.toUtf8();
    mysql_real_query(m, text.constData(), text.size());
    MYSQL_RES *res = mysql_use_result(m);
    const unsigned int n = mysql_num_fields(res);
    quint64 sum = 0;
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        unsigned long *lengths = mysql_fetch_lengths(res);
        for (unsigned int i = 0; i < n; ++i)
            sum += row[i] ? lengths[i] + uchar(row[i][0]) : 1;
    }
    mysql_free_result(res);
    *checksum = sum;
    return t.nsecsElapsed() / 1e9;
}

double recordsetLoop(Connection &c, const QString &sql, quint64 *checksum)
{
    QElapsedTimer t;
    t.start();
    auto rs = c.ExecuteStreaming(sql);
    const int n = rs->FieldCount();
    quint64 sum = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
        for (int i = 0; i < n; ++i) {
            unsigned long length = 0;
            const char *value = rs->RawValue(i, &length);
            sum += value ? length + uchar(value[0]) : 1;
        }
    }
    rs->Close();
    *checksum = sum;
    return t.nsecsElapsed() / 1e9;
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 1000000;
    auto admin = SandboxServer::get().connect();
    const QString table = BenchTable::ensure(*admin, rows);
    const QString sql = QStringLiteral("SELECT * FROM %1").arg(table);
    auto c = SandboxServer::get().connect();
    double bestPlain = 1e9, bestRs = 1e9;
    quint64 a = 0, b = 0;
    for (int run = 0; run < 3; ++run) {
        bestPlain = std::min(bestPlain, plainLoop(*c, sql, &a));
        bestRs = std::min(bestRs, recordsetLoop(*c, sql, &b));
    }
    if (a != b) {
        std::printf("streaming recordset: values differ from the plain loop (%llu vs %llu)\n",
                    (unsigned long long)b, (unsigned long long)a);
        return 1;
    }
    std::printf("streaming recordset over %d rows x 10 columns: %.3f s; plain connector loop: %.3f s; "
                "ratio %.2f (goal <= 1.30)\n", rows, bestRs, bestPlain, bestRs / bestPlain);
    return 0;
}
