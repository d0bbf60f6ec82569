#include "tools/admincommands.h"

namespace qv {

std::vector<std::pair<const char*, AdminCommand>> adminCommands()
{
    return {};
}

} // namespace qv
