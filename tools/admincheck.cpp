#include "tools/admincheck.h"

#include "reports/bookchecks.h"
#include "tools/admincommands.h"

#include <QTextStream>

namespace qv {

int adminCheck(const AdminArgs& a)
{
    Connection c;
    connectAs(a, c);
    QTextStream out(stdout);
    int findings = 0;
    for (const rpt::BookCheck& check : rpt::bookChecks()) {
        const QStringList found = check.run(c);
        findings += int(found.size());
        out << check.name << ": ";
        if (found.isEmpty()) {
            out << "clean\n";
            continue;
        }
        out << found.size() << (found.size() == 1 ? " finding" : " findings") << " (" << check.about << ")\n";
        for (const QString& f : found)
            out << "  " << f << "\n";
    }
    if (findings == 0)
        out << "The book passed every check.\n";
    else
        out << findings << (findings == 1 ? " finding" : " findings") << "; nothing was changed.\n";
    return findings == 0 ? 0 : 3;
}

} // namespace qv
