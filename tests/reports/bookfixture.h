#pragma once
// Books for the ledger and trial balance suites, written through the voucher store on the
// shared connection `Conn`: a small hand-made book whose figures the tests work out by hand, and
// random books for the invariants. Also the accounts reports run as the launcher runs them.
#include "db/money.h"
#include "reportengine/report.h"
#include "support/dbfixture.h"
#include "vouchers/voucherkinds.h"

#include <QDate>
#include <QHash>
#include <QRandomGenerator>

namespace qvt {

// An account of the chart (ParentID from the code, Dcode 1).
qint64 addAccount(const QString& nodes, const QString& name, const QString& status, const QVariant& openBal = {},
                  const QString& bank = {});
// A fresh book on `Conn` logged on as its owner, with the procedures and one active company.
TestDb openReportsBook(const QString& company);
// Saves a voucher of the kind, date and party through the voucher store, one line per (debit
// account, credit account, amount); returns its number.
qint64 saveVoucher(qv::VoucherKind kind, const QDate& date, const QString& party,
                   const QList<std::tuple<qint64, qint64, qv::Money>>& lines, const QString& cheque = {});

struct HandBook {
    // RowIDs of the subsidiary accounts.
    qint64 cash = 0, bank = 0, party = 0, rent = 0, wages = 0, capital = 0;
};

// Writes the chart, the cash account's "CP" setup row and the vouchers of the hand-made book
// (see the suite for each voucher and its figures). `Conn` must be open on an empty database.
HandBook writeHandBook();

struct RandomBook {
    QList<qint64> accounts; // the subsidiary accounts
    QList<qint64> heads;    // the control and sub-control accounts
    qint64 cash = 0;
    QList<qint64> banks;
    QDate first, last; // the vouchers' dates lie between these
};
// About `vouchers` vouchers of all five kinds on random accounts, amounts and dates, and random
// opening balances (some credit, some null), in a fresh chart. `headOpenings`: every control and
// sub-control account holds an OpenBal as well. The chart has `controlHeads` control accounts, each
// with two sub-control accounts of three subsidiaries.
RandomBook writeRandomBook(QRandomGenerator& rng, int vouchers, bool headOpenings = false, int controlHeads = 2);

qv::Money money(const QVariant& v); // a database amount of `Conn`'s backend

// The launcher's print sequences, run headless on `Conn`; each returns the laid-out report.
std::shared_ptr<const qv::rpt::Document> cashOrBankBook(qint64 account, const QDate& from, const QDate& to);
std::shared_ptr<const qv::rpt::Document> ledger(qint64 account, const QDate& from, const QDate& to, bool detail);
std::shared_ptr<const qv::rpt::Document> trialBalance(const QString& templ, const QDate& from, const QDate& to);

// The figure printed right after a label ("Closing Balance" -> "1,150.14 Dr").
QString figureAfter(const qv::rpt::Document& d, const QString& label, int skip = 0);
// Signed cents of a balance text "1,234.50 Dr" / "12.00 Cr" / "0.00".
qint64 balanceCents(const QString& text);

} // namespace qvt
