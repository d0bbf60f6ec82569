#pragma once
// quoravel-admin audit verify|show: the chain walked and its first broken link reported, or its
// records listed with filters (a voucher, an account, a login, a date range), as text or CSV.
#include "tools/adminargs.h"

namespace qv {
int adminAudit(const AdminArgs& a);
} // namespace qv
