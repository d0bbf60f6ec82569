#pragma once
// What the reliability runs share: the generated vouchers, their fingerprints and the check of a
// whole book (every voucher whole and balanced, no number twice).
#include "db/connection.h"
#include "vouchers/voucherstore.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>

namespace qvrel {

using namespace qv;

extern const QString User; // the login every station uses
extern const QString Password;

// The value after `name` in the arguments.
QString arg(const QStringList& a, const QString& name, const QString& fallback = {});
// The subsidiary accounts of the demo chart, which every generated line posts to.
QList<qint64> accounts(Connection& c);
// A voucher of the kind with 1 to 5 random lines.
Voucher randomVoucher(QRandomGenerator& rng, const QList<qint64>& acs, VoucherKind kind, qint64 number);
// What a voucher holds, as the store gives it back: the acknowledged content is compared by it.
QString fingerprint(const Voucher& v);
// "JV-12"
QString key(const QString& kind, qint64 number);

struct BookCheck {
    int vouchers = 0;
    QStringList problems;
    QSet<QString> present;          // every voucher's key
    QHash<QString, QString> prints; // key -> fingerprint of what is stored (those asked for)
};

// Every voucher whole: its lines balance, its total is the lines' total, a cash voucher has its
// cash row, no detail row without its voucher, no number twice, month sums equal to the rows. `printsOf` gives the
// stored content of the vouchers named (all with `allPrints`).
BookCheck checkBook(Connection& c, const QStringList& printsOf = {}, bool allPrints = false);

// The audit trail against the book: the chain whole, and for every voucher the last record of
// its saves, changes and deletes shows it exactly as it is stored (or gone). A committed change
// without its record, or a record of a change that did not commit, shows here. `records` gets
// the number of those voucher records.
QStringList checkAudit(Connection& c, int* records = nullptr);

// A demo book for the station login (an embedded file, or a database on a server through the
// administrator named).
QString makeBook(const QString& dataSource, const QString& catalog, const QString& adminUser,
                 const QString& adminPassword);
// Logs `c` in as the station login, through the same check as the login window.
void connectStation(Connection& c, const QStringList& a);

} // namespace qvrel
