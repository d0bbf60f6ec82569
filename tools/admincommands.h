#pragma once
// The further commands of quoravel-admin, each subsystem adding its own with the options and
// flags it accepts (see AdminCommandDef); anything else on its command line exits 2.
#include "tools/adminargs.h"

#include <vector>

namespace qv {
std::vector<AdminCommandDef> adminCommands();
} // namespace qv
