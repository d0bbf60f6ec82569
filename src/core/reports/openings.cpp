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

void OpeningBalances::addAll(AccountSums& sums, const QString& name, const QDate& at)
{
    // The OpenBal of each subsidiary account and, with a date, every account's rows before it
    // (whole months from the sums, the rest of the last month from the rows), added up by the
    // database with its checked sums.
    QString rows;
    if (at.isValid()) {
        sums.add(name + QStringLiteral("_bf"), {QDate(), at, true, false}, AccountSums::Net);
        rows = QStringLiteral(" UNION ALL SELECT AcCode, net FROM %1_bf").arg(name);
    }
    sums.define(QStringLiteral("%1 AS (SELECT AcCode, SUM(v) AS open FROM (SELECT RowID AS AcCode, OpenBal AS v FROM "
                               "Accounts WHERE AcStatus = ? AND OpenBal IS NOT NULL%2) x GROUP BY AcCode)")
                    .arg(name, rows),
                {Subsidiary});
}

QMap<qint64, Money> OpeningBalances::all(const QDate& at)
{
    AccountSums sums(m_c.backend());
    addAll(sums, QStringLiteral("op"), at);
    return balances(sums.sql(QStringLiteral("SELECT AcCode, open FROM op WHERE open <> 0")), sums.params());
}

QMap<qint64, Money> OpeningBalances::movements(const QDate& from, const QDate& to)
{
    if (!from.isValid() || !to.isValid() || from > to)
        return {};
    // What the opening at the day after `to` adds to the one at `from`: the rows dated from
    // `from` up to that day.
    AccountSums sums(m_c.backend());
    sums.add(QStringLiteral("mv"), {from, to.addDays(1), false, false}, AccountSums::Net);
    return balances(sums.sql(QStringLiteral("SELECT AcCode, net FROM mv WHERE net <> 0")), sums.params());
}

QMap<qint64, Money> OpeningBalances::balances(const QString& sql, const QVariantList& params)
{
    QMap<qint64, Money> out;
    QSqlQuery q = m_c.query(sql, params);
    while (q.next())
        out.insert(q.value(0).toLongLong(), m_c.moneyOrZero(q.value(1)));
    if (q.lastError().isValid())
        fail(m_c, q);
    return out;
}

} // namespace qv::rpt
