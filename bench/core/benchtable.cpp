#include "benchtable.h"

#include "connection.h"
#include "sandbox.h"

QString BenchTable::ensure(Connection &admin, int rows)
{
    const QString table = QStringLiteral("tablora_bench.wide_%1").arg(rows);
    admin.Execute(QStringLiteral("CREATE DATABASE IF NOT EXISTS tablora_bench"));
    const QString have = scalarOf(admin, QStringLiteral(
        "SELECT table_rows FROM information_schema.tables WHERE table_schema = 'tablora_bench' "
        "AND table_name = 'wide_%1'").arg(rows));
    if (!have.isEmpty() && scalarOf(admin, QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt() == rows)
        return table;
    admin.Execute(QStringLiteral("DROP TABLE IF EXISTS %1").arg(table));
    admin.Execute(QStringLiteral(
        "CREATE TABLE %1 (id INT PRIMARY KEY, name VARCHAR(100), note VARCHAR(200) NULL, price DECIMAL(10,2), "
        "qty INT NULL, added DATE, updated DATETIME NULL, flag TINYINT, code CHAR(8), memo VARCHAR(100))"
        " ENGINE=InnoDB").arg(table));
    admin.Execute(QStringLiteral(
        "INSERT INTO %1 SELECT seq, CONCAT('商品名', seq, 'りんごとみかん'), "
        "IF(seq % 3 = 0, NULL, CONCAT('備考 ', seq)), seq * 1.25 % 10000, IF(seq % 5 = 0, NULL, seq % 1000), "
        "DATE_ADD('2020-01-01', INTERVAL seq % 2000 DAY), IF(seq % 7 = 0, NULL, "
        "DATE_ADD('2020-01-01 00:00:00', INTERVAL seq SECOND)), seq % 2, LPAD(seq, 8, '0'), "
        "REPEAT('x', seq % 40) FROM tablora_bench.seq_1_to_%2").arg(table).arg(rows));
    return table;
}
