#pragma once
// An account's debits, credits and rows over a range of days: the whole months inside the range
// from the month sums (AcMonthSums), the rows of at most the two partial months at its ends from
// the account index, which holds each line's date and amounts. The figures are those of the rows
// themselves, to the cent: a range's rows are exactly its whole months' and its ends' rows.
// The statements are prepared once per object and bound anew per account.
#include "db/connection.h"
#include "db/money.h"
#include "reports/accountsums.h"

#include <QDate>
#include <QHash>
#include <QSqlQuery>

namespace qv::rpt {

struct PeriodTotals {
    Money dr, cr;
    qint64 rows = 0;
    bool unknown = false; // a month sum of the range is not known (too large): read the rows
};

class PeriodSums {
public:
    explicit PeriodSums(Connection& c);
    // Rows dated from `from` to `to`, both included.
    PeriodTotals between(qint64 account, const QDate& from, const QDate& to);
    // Rows dated before `at`.
    PeriodTotals before(qint64 account, const QDate& at);
    // The same for every account with rows there, in one statement (accountsums.h).
    QHash<qint64, PeriodTotals> allBetween(const QDate& from, const QDate& to);
    QHash<qint64, PeriodTotals> allBefore(const QDate& at);

private:
    enum Statement { MonthsIn, MonthsBefore, RowsIn, RowsUpTo, RowsBefore, RowsAfter, Count };
    // Each statement is prepared when first needed: one account's opening needs two.
    PeriodTotals run(Statement s, const QVariantList& params);
    QHash<qint64, PeriodTotals> all(const DayRange& range);
    Connection& m_c;
    QSqlQuery m_q[Count];
    bool m_ready[Count] = {};
};

} // namespace qv::rpt
