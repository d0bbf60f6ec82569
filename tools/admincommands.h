#pragma once
// The further commands of quoravel-admin, each subsystem adding its own with the options and
// flags it accepts (see AdminCommandDef); anything else on its command line exits 2.
#include "tools/adminargs.h"

#include <vector>

namespace qv {
class Connection;
std::vector<AdminCommandDef> adminCommands();
// Opens `c` on the book that --server and --catalog name, as --user with --password (asked for
// when left out).
void connectAs(const AdminArgs& a, Connection& c);
} // namespace qv
