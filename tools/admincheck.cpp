#include "tools/admincheck.h"

#include "db/datasource.h"
#include "db/monthsums.h"
#include "db/tables.h"
#include "reports/bookchecks.h"
#include "tools/admincommands.h"

#include <QTextStream>

namespace qv {

namespace {

// The month sums written anew from the rows: on a server as its administrator, since logins
// only read them.
void repairMonthSums(const AdminArgs& a, Connection& login)
{
    if (login.backend() == Backend::Sqlite) {
        MonthSums::rebuild(login);
        return;
    }
    const QString catalog = a.value(QStringLiteral("catalog"), QString::fromLatin1(tbl::Catalog));
    const DataSource ds = DataSource::parse(a.value(QStringLiteral("server")), catalog);
    const QString adminUser = a.value(QStringLiteral("admin-user"), QStringLiteral("postgres"));
    Connection admin;
    admin.openServerUnchecked(ds, catalog, adminUser, a.adminPassword(adminUser));
    admin.allowLongStatements();
    MonthSums::rebuild(admin);
}

} // namespace

int adminCheck(const AdminArgs& a)
{
    Connection c;
    connectAs(a, c);
    QTextStream out(stdout);
    const bool repair = a.flag(QStringLiteral("repair"));
    int findings = 0, repaired = 0;
    for (const rpt::BookCheck& check : rpt::bookChecks()) {
        QStringList found = check.run(c);
        const bool mend = repair && !found.isEmpty() && qstrcmp(check.name, rpt::MonthSumsCheck) == 0;
        if (mend) {
            repairMonthSums(a, c);
            repaired += int(found.size());
            found = check.run(c);
        }
        findings += int(found.size());
        out << check.name << ": ";
        if (mend)
            out << "Rewrote the month sums from the rows; ";
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
        out << findings << (findings == 1 ? " finding" : " findings")
            << (repaired ? " left.\n" : "; nothing was changed.\n");
    return findings == 0 ? 0 : 3;
}

} // namespace qv
