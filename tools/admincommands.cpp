#include "tools/admincommands.h"

#include "reports/reportcommand.h"
#include "tools/adminbackup.h"
#include "tools/adminexport.h"

namespace qv {

std::vector<std::pair<const char*, AdminCommand>> adminCommands()
{
    return {
        {"report",
         [](const AdminArgs& a) {
             return rpt::reportCommand(a.positional, [&a](const QString& n) { return a.values(n); });
         }},
        {"backup", adminBackup},
        {"restore", adminRestore},
        {"export", adminExport},
    };
}

} // namespace qv
