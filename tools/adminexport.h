#pragma once
#include "tools/adminargs.h"

namespace qv {
// quoravel-admin export: the book as a ledger/hledger journal or as CSV.
int adminExport(const AdminArgs& a);
} // namespace qv
