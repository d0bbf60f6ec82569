#pragma once
// The benchmarks' books, written once and kept between runs. Which book and how big comes from
// the environment, the same for every benchmark:
//   QV_BENCH_ROWS    detail rows: 1000000, or with a suffix: 100k, 1M, 10M (each benchmark has its
//                    own default)
//   QV_BENCH_SERVER  a PostgreSQL server (host:port): the book is its database qvbench_ROWS, made
//                    through the administrator QV_BENCH_PG_USER / QV_BENCH_PG_PASSWORD (default
//                    qvadmin / qvadmin-pw) when it is not there yet, then vacuumed and analysed as
//                    a server's autovacuum would have done
//   QV_BENCH_DIR     where embedded books are kept (default /tmp/quoravel-bench): book-ROWS.sqlite
// The login is bench / bench; the book has an active company and the cash account in the cash
// payment setup row, as the cash book needs.
#include "bookgen.h"

#include <functional>

namespace qvb {

struct BenchBook {
    BenchLogin login;
    QString catalog;
    qint64 rows = 0;           // detail rows
    QDate first, last;         // the vouchers' first and last day
    qint64 cash = 0, bank = 0; // the cash account and the first bank
    qint64 party = 0;          // an ordinary party account (the 21st subsidiary account)
    QString where;             // the file, or host:port/database
    bool server() const { return !login.dataSource.contains(QLatin1Char('/')); }
};

// QV_BENCH_ROWS, or `fallback` when it is not set.
qint64 benchRows(qint64 fallback);

// Opens `c` as the bench login on the book the environment names, writing it first when it is
// missing or has another number of rows. Prints what it opened to standard error. Throws DbError.
BenchBook openBench(qv::Connection& c, qint64 defaultRows = 1'000'000);

// A new, empty book for a benchmark that writes its own rows: `file` (an embedded book), or the
// database qvbench_NAME on the server QV_BENCH_SERVER names, replaced. Opens `c` on it.
BenchLogin openFreshBook(qv::Connection& c, const QString& file, const QString& name);

// A book kept between runs for a benchmark that writes its own rows: QV_BENCH_DIR/NAME.sqlite,
// or the database qvbench_NAME on the server QV_BENCH_SERVER names. Opens `c` on it; when it is
// missing or `whole` says it is not complete, makes it anew and calls `write`.
void openKeptBook(qv::Connection& c, const QString& name, const std::function<bool(qv::Connection&)>& whole,
                  const std::function<void(qv::Connection&)>& write);

// Opens `c` on a book that openBench made, from its data source and catalog.
void openExisting(qv::Connection& c, const QString& dataSource, const QString& catalog);
// The same by one name: a file, host:port/database, or "bench" (openBench's book).
void openNamed(qv::Connection& c, const QString& name);

} // namespace qvb
