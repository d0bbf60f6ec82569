#include "reports/bookchecks.h"

#include "db/money.h"
#include "db/monthsums.h"

#include <QSqlQuery>

namespace qv::rpt {

namespace {

QString levelName(const QString& status)
{
    return status == QLatin1String("HH")   ? QStringLiteral("control account")
           : status == QLatin1String("HD") ? QStringLiteral("sub-control account")
                                           : QStringLiteral("account of level \"%1\"").arg(status);
}

// An OpenBal on a control or sub-control account is part of no balance (see openings.h): the
// figure was meant for a subsidiary account, or is left over from elsewhere.
QStringList headOpenings(Connection& c)
{
    QStringList out;
    QSqlQuery q = c.query(QStringLiteral("SELECT AcNodes, AcName, AcStatus, OpenBal FROM Accounts "
                                         "WHERE (AcStatus IS NULL OR AcStatus <> ?) AND OpenBal IS NOT NULL "
                                         "ORDER BY AcNodes"),
                          {QStringLiteral("DD")});
    while (q.next()) {
        const Money m = c.moneyOrZero(q.value(3));
        if (m.cents == 0)
            continue;
        out << QStringLiteral("%1 %2 (%3) holds an opening balance of %4 %5, which counts in no balance.")
                   .arg(q.value(0).toString().trimmed(), q.value(1).toString(),
                        levelName(q.value(2).toString().trimmed()), displayAmount(Money(qAbs(m.cents))),
                        m.cents < 0 ? QStringLiteral("Cr") : QStringLiteral("Dr"));
    }
    return out;
}

} // namespace

const std::vector<BookCheck>& bookChecks()
{
    static const std::vector<BookCheck> all{
        {"head-openings", "Opening balances on control and sub-control accounts: only a subsidiary account's counts.",
         headOpenings},
        {MonthSumsCheck, "Month sums that differ from the voucher rows: reports would show wrong figures.",
         [](Connection& c) { return MonthSums::differences(c); }},
    };
    return all;
}

} // namespace qv::rpt
