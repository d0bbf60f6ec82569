#pragma once
// The refusal of the voucher writes (vouchers/voucherwrites.h) that would change a line cleared in
// a finished bank reconciliation, in words that name the reconciliation. The database refuses it
// too (db/clearingguards.h); this is the check that says which.
#include "db/connection.h"

namespace qv::BankClearings {

// Throws DbError (Refused) when a line of the voucher is cleared in a finished reconciliation.
void refuseClearedVoucher(Connection& c, const QString& kind, qint64 number);

inline const QString Refused = QStringLiteral("QV_CLEARED");

} // namespace qv::BankClearings
