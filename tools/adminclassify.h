#pragma once
#include "tools/adminargs.h"

namespace qv {
// quoravel-admin classify: the control accounts' classes and the financial year's start month.
int adminClassify(const AdminArgs& a);
} // namespace qv
