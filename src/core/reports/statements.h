#pragma once
// The balance sheet as at a date and the profit and loss account for a range, from the one
// opening balance (openings.h) and the control heads' classes (masters/accountclasses.h):
//   assets = liabilities + equity + profit for the period + retained earnings
//            + difference in opening balances
// where the profit for the period is this financial year's income less expenses up to the date,
// retained earnings all earlier years' (with any opening of an income or expense account), and
// the difference is what the balances of every account net to: the openings entered in the
// chart when they do not net to zero. No closing voucher is needed.
// Liabilities, equity and income are shown credit positive, assets and expenses debit positive.
// A book with a control head that has no class is refused (DbError naming the heads).
#include "db/connection.h"
#include "db/money.h"

#include <QDate>
#include <QList>
#include <optional>

namespace qv::rpt {

struct StatementLine {
    QString section; // "Assets", "Liabilities", "Equity", "Income", "Expenses"
    QString code, title;
    int depth = 0; // 0 a section's heading or total, 1 control, 2 sub-control, 3 subsidiary
    bool strong = false;
    std::optional<Money> amount, compare; // none: a heading, or no comparison
};

struct BalanceSheetFigures {
    Money assets, liabilities, equity, profit, retained, difference;
};

struct BalanceSheet {
    QDate at, compareAt; // compareAt null: no comparison column
    BalanceSheetFigures figures, compared;
    QList<StatementLine> lines;
};

struct ProfitLossFigures {
    Money income, expenses, net;
};

struct ProfitLoss {
    QDate from, to, compareFrom, compareTo; // compareFrom null: no comparison column
    ProfitLossFigures figures, compared;
    QList<StatementLine> lines;
};

// `level`: 1 control heads, 2 down to sub-control heads, 3 down to subsidiary accounts.
BalanceSheet balanceSheet(Connection& c, const QDate& at, int level, const QDate& compareAt = {});
// With `compare`, a second column for the same range a year earlier.
ProfitLoss profitLoss(Connection& c, const QDate& from, const QDate& to, int level, bool compare);

// The work tables tmpBalanceSheet and tmpProfitLoss, one row per printed line (LineNo order).
void fillBalanceSheet(Connection& c, const QDate& at, int level, const QDate& compareAt);
void fillProfitLoss(Connection& c, const QDate& from, const QDate& to, int level, bool compare);

} // namespace qv::rpt
