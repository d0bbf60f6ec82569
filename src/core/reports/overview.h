#pragma once
// The figures of the Overview: where the money is and where it is going, at a glance.
//   - the cash account's and each bank account's balance at the end of today, with the total;
//   - per month of a period: their month-end balances, the receipts and payments through them
//     (their debits and credits: a transfer between two of them is both, as in their books), and
//     income against expenses (the control heads classed Income and Expenses);
//   - the ten parties that moved most in the period (debits plus credits).
// A party is any subsidiary account but the cash, the banks and the income and expense accounts.
// Balances come from the one opening balance (openings.h) and movements from the month sums
// (periodsums.h), so each figure is the one the books, ledgers and statements print.
// Periods are whole months; none reaches past the month of `today`.
#include "db/connection.h"
#include "db/money.h"

#include <QDate>
#include <QList>

namespace qv::rpt {

struct OverviewPeriod {
    QDate from, to; // the first day of its first month, the last day of its last
    QString caption;
    bool isValid() const { return from.isValid() && to.isValid() && from <= to; }
};

// January of this year up to this month.
OverviewPeriod thisYearPeriod(const QDate& today);
// This month and the eleven before it.
OverviewPeriod last12MonthsPeriod(const QDate& today);
// The financial year starting on the 1st of `startMonth` of `startYear`, cut at this month.
OverviewPeriod financialYearPeriod(int startYear, int startMonth, const QDate& today);
// The financial years from the one of the book's first posted month up to the one holding
// `today`, latest first, as (start year, caption "2025-26").
QList<QPair<int, QString>> financialYears(Connection& c, int startMonth, const QDate& today);

struct OverviewAccount {
    qint64 id = 0;
    QString code, name;
    bool cash = false;
};

struct OverviewMonth {
    QDate month;           // its first day
    QList<Money> balances; // at its end, one per account of OverviewFigures::accounts
    Money total;           // their sum
    Money receipts, payments;
    Money income, expenses; // income credit positive, expenses debit positive
};

struct OverviewParty {
    qint64 id = 0;
    QString code, name;
    Money dr, cr; // in the period
    Money moved() const { return dr + cr; }
};

struct OverviewFigures {
    QDate today;
    OverviewPeriod period;
    QList<OverviewAccount> accounts; // the cash account first, then the banks in code order
    QList<Money> todayBalances;      // one per account, at the end of today
    Money todayTotal;
    QList<OverviewMonth> months;
    bool classified = false;      // some control head is classed Income or Expenses
    QList<OverviewParty> parties; // at most ten, the largest first
};

// Throws DbError.
OverviewFigures overviewFigures(Connection& c, const OverviewPeriod& period, const QDate& today);

} // namespace qv::rpt
