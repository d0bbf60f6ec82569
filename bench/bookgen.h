#pragma once
// A book of vouchers for the benchmarks: a three-level chart (five control heads, four
// sub-controls each, the subsidiary accounts spread over them) with opening balances that net to
// zero, and vouchers of all five kinds in a property developer's proportions (journal 10%, bank
// payment and receipt 25% each, cash payment and receipt 20% each) spread evenly over the days,
// written in the voucher store's exact row shapes (VoucherStore::detailRows) by a bulk path:
// one transaction, one prepared statement per table. Deterministic for a given plan.
#include "db/connection.h"

#include <QDate>
#include <memory>

namespace qvb {

struct BookPlan {
    qint64 detailRows = 1'000'000; // exactly this many DetJV rows are written
    int accounts = 1000;           // subsidiary accounts added (the first is the cash, every 50th from the
                                   // second a bank)
    QDate from{2023, 7, 1};        // vouchers spread over `days` days from here: three years
    int days = 1096;
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

// Writes MasJV and DetJV rows fast: prepared inserts on the embedded file, COPY on a server
// (where nothing else may run on the connection until finish()). Values in the order of
// master (VouNo, VouStatus, VouDate, PaidReceive, TotalAmount, Login) and detail (VouNo,
// VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt, ChecqNo, Naration, FileNo, BillNo),
// as the store binds them.
class RowWriter {
public:
    virtual ~RowWriter() = default;
    virtual void master(const QVariantList& values) = 0;
    virtual void detail(const QVariantList& values) = 0;
    virtual void finish() = 0;
};
std::unique_ptr<RowWriter> rowWriter(qv::Connection& c);

// Provisions a new embedded book at `dataSource` (a file path) with a benchmark login and opens
// `c` on it as that login, through the login check the program uses. Throws DbError.
BenchLogin openBenchBook(qv::Connection& c, const QString& dataSource);

// Adds the accounts (control heads coded 1 to 5, which the chart must not have yet) and the
// vouchers to an open, provisioned database (numbers continue after the vouchers already there).
// Throws DbError.
BookStats writeBook(qv::Connection& c, const BookPlan& plan = {});

} // namespace qvb
