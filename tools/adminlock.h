#pragma once
// quoravel-admin lock-period: moves the book's locked-up-to date as a manager does it in the
// program (--until DATE, or --clear; moving it back needs --reason).
#include "tools/adminargs.h"

namespace qv {
int adminLockPeriod(const AdminArgs& a);
} // namespace qv
