#pragma once
#include "tools/adminargs.h"

namespace qv {
// quoravel-admin check: runs every check of the book's stored data, changing nothing but, with
// --repair, month sums that differ from the rows. Exit 0 when every check is clean, 3 when one
// has findings.
int adminCheck(const AdminArgs& a);
} // namespace qv
