#pragma once
// Every account's debits, credits and rows over a range of days, as common table expressions that
// a report's statement builds on inside the database (no account's figures pass through the
// program): the whole months from the month sums (AcMonthSums), the rows of the partial months
// at the range's ends from the account index, which holds each line's date and amounts, sought only for the
// accounts that have a month row there. The same figures as PeriodSums gives account by account,
// to the cent; an account whose month sums are not known (too large) is read from its rows.
//
// Sums are the database's own and exact: on the embedded book SQLite's SUM of integers fails when
// it leaves 64-bit cents, and every difference is written through checked(); on a server they are
// NUMERIC, checked by the columns they are stored in or by the program when read.
#include "db/connection.h"

#include <QDate>
#include <QStringList>
#include <QVariantList>

namespace qv::rpt {

// Month boundaries of the month sums, shared by the per-account and the every-account sums.
namespace months {
// A month boundary the sums can be read at: dates compare as four-digit ISO text on the
// embedded book, so a year outside 1000..9999 is left to the rows.
inline bool usable(const QDate& d)
{
    return d.isValid() && d.year() >= 1000 && d.year() <= 9999;
}
inline QDate start(const QDate& d)
{
    return QDate(d.year(), d.month(), 1);
}
} // namespace months

// A range of days: from `from` (null with `fromStart`: the book's first row) up to `to`, which
// is included or not.
struct DayRange {
    QDate from, to;
    bool fromStart = false;
    bool toIncluded = true;
};

class AccountSums {
public:
    explicit AccountSums(Backend b)
        : m_backend(b)
    {
    }
    enum Figures {
        DebitsCredits, // columns AcCode, dr, cr, n (its rows in the range; 0: it has none there)
        Net            // columns AcCode, net (debits less credits): less to add up
    };
    // Adds the table expression `name`: one row for every account with rows or month sums in or
    // around the range.
    void add(const QString& name, const DayRange& range, Figures what = DebitsCredits);
    // Adds a table expression of the caller's own ("name AS (...)"), built on those added before.
    void define(const QString& cte, const QVariantList& params)
    {
        m_ctes << cte;
        m_params += params;
    }
    // "WITH RECURSIVE <the expressions> <statement>"; params() are theirs and then `statementParams`.
    QString sql(const QString& statement) const;
    QVariantList params(const QVariantList& statementParams = {}) const;

    // `expr` when its value is a whole number of cents (or null); on the embedded book an
    // integer overflow error otherwise, where SQLite would turn it into an inexact fraction.
    QString checked(const QString& expr) const;

private:
    QString rowsPart(const QString& where, const QString& probe, int sign, Figures what) const;
    Backend m_backend;
    QStringList m_ctes;
    QVariantList m_params;
};

} // namespace qv::rpt
