#pragma once
// The further commands of quoravel-admin, each subsystem adding its own.
#include "tools/adminargs.h"

#include <utility>
#include <vector>

namespace qv {
std::vector<std::pair<const char*, AdminCommand>> adminCommands();
} // namespace qv
