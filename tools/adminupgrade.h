#pragma once
// quoravel-admin upgrade: brings a book of an older schema version up to this program's.
#include "tools/adminargs.h"

namespace qv {
int adminUpgrade(const AdminArgs& a);
} // namespace qv
