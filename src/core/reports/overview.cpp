#include "reports/overview.h"

#include "masters/accountclasses.h"
#include "reports/accountsreport.h"
#include "reports/openings.h"
#include "reports/periodsums.h"

#include <QSqlError>
#include <algorithm>

namespace qv::rpt {

namespace {

QDate monthEnd(const QDate& d)
{
    return months::start(d).addMonths(1).addDays(-1);
}

// "1.2.10" before "1.10.1": codes compare part by part as numbers.
bool codeLess(const QString& a, const QString& b)
{
    const QStringList x = a.split(QLatin1Char('.')), y = b.split(QLatin1Char('.'));
    for (int i = 0; i < x.size() && i < y.size(); ++i)
        if (x[i].toLongLong() != y[i].toLongLong())
            return x[i].toLongLong() < y[i].toLongLong();
    return x.size() < y.size();
}

struct ChartAccount {
    QString code, name;
    bool bank = false;
    QChar cls; // of its control head; null when it has none
};

QHash<qint64, ChartAccount> subsidiaries(Connection& c)
{
    const QMap<QString, QChar> classes = AccountClasses(c).byCode();
    QHash<qint64, ChartAccount> out;
    QSqlQuery q = c.query(QStringLiteral("SELECT RowID, AcNodes, AcName, BStatus FROM Accounts WHERE AcStatus = ?"),
                          {QStringLiteral("DD")});
    while (q.next()) {
        ChartAccount a;
        a.code = q.value(1).toString().trimmed();
        a.name = q.value(2).toString().trimmed();
        a.bank = q.value(3).toString().trimmed() == QLatin1String("B");
        a.cls = classes.value(a.code.section(QLatin1Char('.'), 0, 0));
        out.insert(q.value(0).toLongLong(), a);
    }
    if (q.lastError().isValid())
        c.raise(q.lastError(), q.lastQuery());
    return out;
}

// Each account's debits and credits in each whole month from `from` to `to` (`moves`), in one
// read of the month sums, and what the books count in the next month's opening only (`gaps`).
// Only an embedded book has gaps: raw SQL can store a VouDate that is no date. One past its
// month's end ('2026-02-30', which SQLite's date() takes) sits in that month's sums but after
// its last day; another ('2026-03-15x') is a "month" of its own, inside a month's days or after
// them. A month whose sum is not known (null: beyond whole cents) is read through PeriodSums.
struct Monthly {
    QMap<QDate, QHash<qint64, PeriodTotals>> moves;
    QMap<QDate, QHash<qint64, Money>> gaps;
};

Monthly monthly(Connection& c, const QDate& from, const QDate& to)
{
    Monthly out;
    QList<std::pair<qint64, QDate>> unknown;
    QSqlQuery q = c.query(QStringLiteral("SELECT AcCode, Month, DrSum, CrSum, Lines FROM AcMonthSums "
                                         "WHERE Month >= ? AND Month < ?"),
                          {from, to.addDays(1)});
    while (q.next()) {
        const qint64 account = q.value(0).toLongLong();
        const QString text = q.value(1).toString();
        QDate month = q.value(1).toDate();
        const bool own = !month.isValid() || month.day() != 1;
        if (own)
            month = QDate::fromString(text.left(7) + QStringLiteral("-01"), Qt::ISODate);
        if (!month.isValid())
            continue;
        if (q.value(2).isNull() || q.value(3).isNull()) {
            unknown.append({account, month});
            continue;
        }
        const Money dr = c.moneyOrZero(q.value(2)), cr = c.moneyOrZero(q.value(3));
        if (own && text > monthEnd(month).toString(Qt::ISODate)) {
            out.gaps[month][account] += dr - cr;
            continue;
        }
        PeriodTotals& t = out.moves[month][account];
        t.dr += dr;
        t.cr += cr;
        t.rows += q.value(4).toLongLong();
    }
    if (q.lastError().isValid())
        c.raise(q.lastError(), q.lastQuery());
    if (c.backend() == Backend::Sqlite) {
        // The days past a month's end that date() takes ('2026-02-29' to '2026-02-31'), looked up
        // for each account of the period in its index (AcCode, VouDate), the accounts first (CROSS
        // JOIN keeps that order): nothing in a sound book.
        QStringList days;
        QVariantList params{from, to.addDays(1)};
        for (QDate m = from; m <= to; m = m.addMonths(1))
            for (int d = m.daysInMonth() + 1; d <= 31; ++d) {
                days << QStringLiteral("?");
                params << QStringLiteral("%1-%2").arg(m.toString(QStringLiteral("yyyy-MM"))).arg(d);
            }
        if (!days.isEmpty()) {
            QSqlQuery r = c.query(QStringLiteral("SELECT d.AcCode, d.VouDate, SUM(d.DrAmt), SUM(d.CrAmt) FROM "
                                                 "(SELECT DISTINCT AcCode FROM AcMonthSums WHERE Month >= ? AND "
                                                 "Month < ?) a CROSS JOIN DetJV d ON d.AcCode = a.AcCode AND d.VouDate "
                                                 "IN (%1) GROUP BY d.AcCode, d.VouDate")
                                      .arg(days.join(QLatin1Char(','))),
                                  params);
            while (r.next()) {
                const qint64 account = r.value(0).toLongLong();
                const QDate m = QDate::fromString(r.value(1).toString().left(7) + QStringLiteral("-01"), Qt::ISODate);
                const Money dr = c.moneyOrZero(r.value(2)), cr = c.moneyOrZero(r.value(3));
                PeriodTotals& t = out.moves[m][account];
                t.dr -= dr;
                t.cr -= cr;
                out.gaps[m][account] += dr - cr;
            }
            if (r.lastError().isValid())
                c.raise(r.lastError(), r.lastQuery());
        }
    }
    PeriodSums sums(c);
    for (const auto& [account, month] : unknown)
        out.moves[month][account] = sums.between(account, month, monthEnd(month));
    return out;
}

OverviewPeriod clipped(QDate from, QDate to, const QString& caption, const QDate& today)
{
    to = std::min(to, monthEnd(today));
    return {from, to, caption};
}

} // namespace

OverviewPeriod thisYearPeriod(const QDate& today)
{
    return clipped(QDate(today.year(), 1, 1), QDate(today.year(), 12, 31), QStringLiteral("This year"), today);
}

OverviewPeriod last12MonthsPeriod(const QDate& today)
{
    return clipped(months::start(today).addMonths(-11), monthEnd(today), QStringLiteral("Last 12 months"), today);
}

OverviewPeriod financialYearPeriod(int startYear, int startMonth, const QDate& today)
{
    const QDate from(startYear, startMonth, 1);
    // "2025-26"; a year from January is a calendar year: "2025".
    const QString years =
        startMonth == 1 ? QString::number(startYear)
                        : QStringLiteral("%1-%2").arg(startYear).arg((startYear + 1) % 100, 2, 10, QLatin1Char('0'));
    return clipped(from, from.addMonths(12).addDays(-1), QStringLiteral("Financial year %1").arg(years), today);
}

QList<QPair<int, QString>> financialYears(Connection& c, int startMonth, const QDate& today)
{
    // The book's first month with rows, from the sums: a few thousand rows whatever its size.
    QDate first = c.scalar(QStringLiteral("SELECT MIN(Month) FROM AcMonthSums")).toDate();
    const QDate current = financialYearStart(today, startMonth);
    if (!first.isValid() || first > current)
        first = current;
    QList<QPair<int, QString>> out;
    for (QDate y = current; y >= financialYearStart(first, startMonth); y = y.addYears(-1)) {
        const OverviewPeriod p = financialYearPeriod(y.year(), startMonth, today);
        out.append({y.year(), p.caption.mid(p.caption.lastIndexOf(QLatin1Char(' ')) + 1)});
    }
    return out;
}

OverviewFigures overviewFigures(Connection& c, const OverviewPeriod& period, const QDate& today)
{
    OverviewFigures f;
    f.today = today;
    f.period = period;
    const QHash<qint64, ChartAccount> chart = subsidiaries(c);

    // The cash account of the cash book, then every bank account.
    const qint64 cash = cashBookAccount(c);
    if (chart.contains(cash))
        f.accounts.append({cash, chart[cash].code, chart[cash].name, true});
    QList<OverviewAccount> banks;
    for (auto it = chart.cbegin(); it != chart.cend(); ++it)
        if (it->bank && it.key() != cash)
            banks.append({it.key(), it->code, it->name, false});
    std::sort(banks.begin(), banks.end(),
              [](const OverviewAccount& a, const OverviewAccount& b) { return codeLess(a.code, b.code); });
    f.accounts += banks;

    OpeningBalances openings(c);
    for (const OverviewAccount& a : f.accounts) {
        f.todayBalances.append(openings.of(a.id, today.addDays(1)));
        f.todayTotal += f.todayBalances.last();
    }
    for (auto it = chart.cbegin(); it != chart.cend(); ++it)
        if (it->cls == QLatin1Char('I') || it->cls == QLatin1Char('X'))
            f.classified = true;
    if (!period.isValid())
        return f;

    // Month-end balances: the opening of the period plus each month's movement, month by month.
    QList<Money> running;
    for (const OverviewAccount& a : f.accounts)
        running.append(openings.of(a.id, period.from));
    QHash<qint64, std::pair<Money, Money>> moved; // per party, over the period
    const Monthly sums = monthly(c, months::start(period.from), period.to);
    for (QDate m = months::start(period.from); m <= period.to; m = m.addMonths(1)) {
        const QHash<qint64, PeriodTotals> month = sums.moves.value(m);
        const QHash<qint64, Money> gap = sums.gaps.value(m);
        OverviewMonth om;
        om.month = m;
        for (int i = 0; i < f.accounts.size(); ++i) {
            const PeriodTotals t = month.value(f.accounts[i].id);
            running[i] += t.dr - t.cr;
            om.balances.append(running[i]);
            om.total += running[i];
            om.receipts += t.dr;
            om.payments += t.cr;
            running[i] += gap.value(f.accounts[i].id); // in the next month's opening
        }
        for (auto it = month.cbegin(); it != month.cend(); ++it) {
            const auto acc = chart.constFind(it.key());
            if (acc == chart.cend() || it.key() == cash || acc->bank)
                continue;
            if (acc->cls == QLatin1Char('I')) {
                om.income += it->cr - it->dr;
            } else if (acc->cls == QLatin1Char('X')) {
                om.expenses += it->dr - it->cr;
            } else {
                auto& p = moved[it.key()];
                p.first += it->dr;
                p.second += it->cr;
            }
        }
        f.months.append(om);
    }

    for (auto it = moved.cbegin(); it != moved.cend(); ++it) {
        const ChartAccount& a = chart[it.key()];
        OverviewParty p{it.key(), a.code, a.name, it->first, it->second};
        if (p.moved().cents != 0)
            f.parties.append(p);
    }
    std::sort(f.parties.begin(), f.parties.end(), [](const OverviewParty& a, const OverviewParty& b) {
        return a.moved() != b.moved() ? a.moved() > b.moved() : codeLess(a.code, b.code);
    });
    if (f.parties.size() > 10)
        f.parties.resize(10);
    return f;
}

} // namespace qv::rpt
