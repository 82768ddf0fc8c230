#pragma once

#include <QString>

class Connection;

// The benchmarks' shared table: `tablora_bench`.`wide`, rows × 10 columns of Japanese text, NULLs, numbers
// and dates, made once on the sandbox server and kept for later runs.
namespace BenchTable {
QString ensure(Connection &admin, int rows);
}
