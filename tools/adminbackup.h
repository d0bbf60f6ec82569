#pragma once
// quoravel-admin backup and restore: copies of the embedded book, checked before they count.
#include "tools/adminargs.h"

namespace qv {
int adminBackup(const AdminArgs& a);
int adminRestore(const AdminArgs& a);
} // namespace qv
