#pragma once
#include "tools/adminargs.h"

namespace qv {
// quoravel-admin import: a chart, openings and vouchers from CSV or a ledger journal.
int adminImport(const AdminArgs& a);
} // namespace qv
