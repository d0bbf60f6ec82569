#include "reports/openings.h"

#include "reports/periodsums.h"

#include <QSqlError>
#include <QSqlQuery>

namespace qv::rpt {

namespace {

const QString Subsidiary = QStringLiteral("DD");

[[noreturn]] void fail(const Connection& c, const QSqlQuery& q)
{
    c.raise(q.lastError(), q.lastQuery());
}

} // namespace

QList<qint64> postedAccounts(Connection& c)
{
    QSqlQuery q = c.query(QStringLiteral("WITH RECURSIVE codes(c) AS (SELECT MIN(AcCode) FROM DetJV UNION ALL "
                                         "SELECT (SELECT MIN(d.AcCode) FROM DetJV d WHERE d.AcCode > codes.c) FROM "
                                         "codes WHERE codes.c IS NOT NULL) "
                                         "SELECT c FROM codes WHERE c IS NOT NULL"));
    QList<qint64> out;
    while (q.next())
        out << q.value(0).toLongLong();
    if (q.lastError().isValid())
        fail(c, q);
    return out;
}

Money OpeningBalances::of(qint64 account, const QDate& at)
{
    // The account as a 64-bit number: any id a ledger may name, on every backend.
    Money open = m_c.moneyOrZero(m_c.scalar(QStringLiteral("SELECT OpenBal FROM Accounts "
                                                           "WHERE RowID = CAST(? AS BIGINT) AND AcStatus = ?"),
                                            {account, Subsidiary}));
    if (!at.isValid())
        return open;
    const PeriodTotals before = PeriodSums(m_c).before(account, at);
    return open + before.dr - before.cr;
}

QMap<qint64, Money> OpeningBalances::all(const QDate& at)
{
    QMap<qint64, Money> open;
    {
        QSqlQuery q =
            m_c.query(QStringLiteral("SELECT RowID, OpenBal FROM Accounts WHERE AcStatus = ? AND OpenBal IS NOT NULL"),
                      {Subsidiary});
        while (q.next())
            open[q.value(0).toLongLong()] = m_c.moneyOrZero(q.value(1));
    }
    if (at.isValid()) {
        // Whole months from the sums and the rest of the last month from the rows.
        const QHash<qint64, PeriodTotals> before = PeriodSums(m_c).allBefore(at);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            open[it.key()] = open.value(it.key()) + it->dr - it->cr;
    }
    for (auto it = open.begin(); it != open.end();)
        it = it->cents == 0 ? open.erase(it) : std::next(it);
    return open;
}

QMap<qint64, Money> OpeningBalances::movements(const QDate& from, const QDate& to)
{
    QMap<qint64, Money> out;
    if (!from.isValid() || !to.isValid() || from > to)
        return out;
    out = all(to.addDays(1));
    const QMap<qint64, Money> before = all(from);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        out[it.key()] = out.value(it.key()) - *it;
    for (auto it = out.begin(); it != out.end();)
        it = it->cents == 0 ? out.erase(it) : std::next(it);
    return out;
}

} // namespace qv::rpt
