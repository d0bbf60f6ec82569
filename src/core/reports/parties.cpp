#include "reports/parties.h"

#include <QSqlQuery>

#include <algorithm>

namespace qv::rpt {

namespace {

bool codeBefore(const Party& a, const Party& b)
{
    const QStringList x = a.nodes.split(QLatin1Char('.')), y = b.nodes.split(QLatin1Char('.'));
    for (int i = 0; i < qMin(x.size(), y.size()); ++i)
        if (x[i].toLongLong() != y[i].toLongLong())
            return x[i].toLongLong() < y[i].toLongLong();
    return x.size() < y.size();
}

} // namespace

QList<Party> partiesOf(Connection& c, qint64 account, PartyHead* head)
{
    QSqlQuery a = c.query(
        QStringLiteral("SELECT AcNodes, AcName, AcStatus FROM Accounts WHERE RowID = CAST(? AS BIGINT)"), {account});
    if (!a.next())
        throw DbError(QStringLiteral("There is no account %1 in the chart of accounts.").arg(account));
    const Party asked{account, a.value(0).toString().trimmed(), a.value(1).toString()};
    const QString status = a.value(2).toString().trimmed();
    if (head)
        *head = {asked, status};
    if (status == QLatin1String("DD"))
        return {asked};
    QList<Party> out;
    QSqlQuery q = c.query(QStringLiteral("SELECT RowID, AcNodes, AcName FROM Accounts WHERE AcStatus = ? AND "
                                         "AcNodes LIKE ?"),
                          {QStringLiteral("DD"), asked.nodes + QStringLiteral(".%")});
    while (q.next())
        out.append({q.value(0).toLongLong(), q.value(1).toString().trimmed(), q.value(2).toString()});
    std::sort(out.begin(), out.end(), codeBefore);
    return out;
}

QList<PartyHead> partyHeads(Connection& c)
{
    QList<PartyHead> out;
    QSqlQuery q =
        c.query(QStringLiteral("SELECT RowID, AcNodes, AcName, AcStatus FROM Accounts WHERE AcStatus IN ('HH', 'HD')"));
    while (q.next())
        out.append({{q.value(0).toLongLong(), q.value(1).toString().trimmed(), q.value(2).toString()},
                    q.value(3).toString().trimmed()});
    std::sort(out.begin(), out.end(),
              [](const PartyHead& a, const PartyHead& b) { return codeBefore(a.account, b.account); });
    return out;
}

Applicant applicantOf(Connection& c, qint64 account)
{
    QSqlQuery q = c.query(QStringLiteral("SELECT Name, RegNo, Nationality, Address FROM tblApplication "
                                         "WHERE ACCode = ? ORDER BY RowNo"),
                          {account});
    if (!q.next())
        return {};
    return {true, q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()};
}

} // namespace qv::rpt
