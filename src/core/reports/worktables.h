#pragma once
// The work tables of the data-preparation procedures (see procedures.h): created in the
// session's temporary space on first use, emptied and refilled by each run. Called inside the
// run's transaction.
#include "db/connection.h"

#include <QDate>

namespace qv::rpt {

// tmpAcLedger (a view of the session over tmpAcLedgerHead and tmpAcLedgerLines): LineNo 0 is the
// opening line; then one line per voucher (simple) or per detail row (detail) of the account in
// the range, each with the running balance.
void fillLedger(Connection& c, qint64 account, const QDate& from, const QDate& to, bool detail);
// tmpTrialBalance: every account with a DetJV row in the range.
void fillTrialBalance(Connection& c, const QDate& from, const QDate& to);
// tmpTrialBalance3: every account with an opening (OpeningBalances) or a row in the range.
void fillTrialBalance3(Connection& c, const QDate& from, const QDate& to);

} // namespace qv::rpt
