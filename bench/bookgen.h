#pragma once
// A book of vouchers for the benchmarks: subsidiary accounts and vouchers of all five kinds,
// written in the voucher store's exact row shapes (VoucherStore::detailRows) by a bulk path:
// one transaction, one prepared statement per table. Deterministic for a given plan.
#include "db/connection.h"

#include <QDate>

namespace qvb {

struct BookPlan {
    qint64 detailRows = 1'000'000; // exactly this many DetJV rows are written
    int accounts = 500;            // subsidiary accounts added (every tenth a bank)
    QDate from{2024, 7, 1};        // vouchers spread over `days` days from here
    int days = 730;
};

struct BookStats {
    qint64 vouchers = 0;
    qint64 detailRows = 0;
    qint64 cashAccount = 0; // RowID of the book's cash account
    QList<qint64> accounts; // RowIDs of the subsidiary accounts added (cash and banks included)
    double seconds = 0;
};

// The login of a benchmark's book.
struct BenchLogin {
    QString dataSource, user, password;
};

// Provisions a new embedded book at `dataSource` (a file path) with a benchmark login and opens
// `c` on it as that login, through the login check the program uses. Throws DbError.
BenchLogin openBenchBook(qv::Connection& c, const QString& dataSource);

// Adds the accounts and vouchers to an open, provisioned database (numbers continue after the
// vouchers already there). Throws DbError.
BookStats writeBook(qv::Connection& c, const BookPlan& plan = {});

} // namespace qvb
