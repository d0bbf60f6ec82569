#include "reports/periodsums.h"

#include <QSqlError>
#include <QSqlQuery>

namespace qv::rpt {

namespace {

PeriodTotals& operator+=(PeriodTotals& a, const PeriodTotals& b)
{
    a.dr += b.dr;
    a.cr += b.cr;
    a.rows += b.rows;
    return a;
}

const QString Months = QStringLiteral("SELECT SUM(DrSum), SUM(CrSum), SUM(Lines), COUNT(*) - COUNT(DrSum + CrSum) "
                                      "FROM AcMonthSums WHERE AcCode = ? ");
const QString Rows = QStringLiteral("SELECT SUM(DrAmt), SUM(CrAmt), COUNT(*) FROM DetJV WHERE AcCode = ? ");

} // namespace

PeriodSums::PeriodSums(Connection& c)
    : m_c(c)
{
}

PeriodTotals PeriodSums::run(Statement s, const QVariantList& params)
{
    QSqlQuery& q = m_q[s];
    if (!m_ready[s]) {
        static const QString sql[Count] = {Months + QStringLiteral("AND Month >= ? AND Month < ?"),
                                           Months + QStringLiteral("AND Month < ?"),
                                           Rows + QStringLiteral("AND VouDate >= ? AND VouDate <= ?"),
                                           Rows + QStringLiteral("AND VouDate >= ? AND VouDate < ?"),
                                           Rows + QStringLiteral("AND VouDate < ?"),
                                           Rows + QStringLiteral("AND VouDate > ? AND VouDate < ?")};
        q = QSqlQuery(m_c.database());
        q.setForwardOnly(true);
        if (!q.prepare(sql[s]))
            m_c.raise(q.lastError(), sql[s]);
        m_ready[s] = true;
    }
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, m_c.toStorage(params[i]));
    if (!q.exec())
        m_c.raise(q.lastError(), q.lastQuery());
    PeriodTotals t;
    if (q.next()) {
        t.dr = m_c.moneyOrZero(q.value(0));
        t.cr = m_c.moneyOrZero(q.value(1));
        t.rows = q.value(2).toLongLong();
        t.unknown = s <= MonthsBefore && q.value(3).toLongLong() > 0;
    } else if (q.lastError().isValid()) {
        m_c.raise(q.lastError(), q.lastQuery());
    }
    q.finish();
    return t;
}

PeriodTotals PeriodSums::between(qint64 account, const QDate& from, const QDate& to)
{
    // The whole months: from the first month that starts on or after `from` up to the last one
    // that ends on or before `to`.
    const QDate first = from.day() == 1 ? from : months::start(from).addMonths(1);
    const QDate end = to.isValid() && to.day() == to.daysInMonth() ? months::start(to).addMonths(1) : months::start(to);
    if (!from.isValid() || !months::usable(first) || !months::usable(end) || first >= end)
        return run(RowsIn, {account, from, to});
    PeriodTotals t = run(MonthsIn, {account, first, end});
    if (t.unknown)
        return run(RowsIn, {account, from, to});
    if (from < first)
        t += run(RowsUpTo, {account, from, first});
    if (end <= to)
        t += run(RowsIn, {account, end, to});
    else if (m_c.backend() == Backend::Sqlite) {
        // The last month is whole: its sums also hold a VouDate after `to` that is no date
        // ('2026-02-30'), which the rows' own `VouDate <= to` leaves out. A seek that finds
        // nothing in a sound book.
        const PeriodTotals after = run(RowsAfter, {account, to, end});
        t.dr -= after.dr;
        t.cr -= after.cr;
        t.rows -= after.rows;
    }
    return t;
}

PeriodTotals PeriodSums::before(qint64 account, const QDate& at)
{
    const QDate start = at.isValid() ? months::start(at) : QDate();
    if (!months::usable(start))
        return run(RowsBefore, {account, at});
    PeriodTotals t = run(MonthsBefore, {account, start});
    if (t.unknown)
        return run(RowsBefore, {account, at});
    if (start < at)
        t += run(RowsUpTo, {account, start, at});
    return t;
}

QHash<qint64, PeriodTotals> PeriodSums::all(const DayRange& range)
{
    AccountSums sums(m_c.backend());
    sums.add(QStringLiteral("r"), range);
    QHash<qint64, PeriodTotals> out;
    QSqlQuery q = m_c.query(sums.sql(QStringLiteral("SELECT AcCode, dr, cr, n FROM r")), sums.params());
    while (q.next()) {
        PeriodTotals& t = out[q.value(0).toLongLong()];
        t.dr = m_c.moneyOrZero(q.value(1));
        t.cr = m_c.moneyOrZero(q.value(2));
        t.rows = q.value(3).toLongLong();
    }
    if (q.lastError().isValid())
        m_c.raise(q.lastError(), q.lastQuery());
    return out;
}

QHash<qint64, PeriodTotals> PeriodSums::allBetween(const QDate& from, const QDate& to)
{
    return all({from, to});
}

QHash<qint64, PeriodTotals> PeriodSums::allBefore(const QDate& at)
{
    return all({QDate(), at, true, false});
}

} // namespace qv::rpt
