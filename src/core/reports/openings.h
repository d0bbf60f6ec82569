#pragma once
// An account's opening balance at a date: what it brings into that day. The one definition that
// every ledger, cash and bank book, trial balance and the journal export use:
//   the account's OpenBal when it is a subsidiary account (debit positive, null = 0),
//   plus its DetJV rows dated before the date, debits minus credits.
// An OpenBal stored on a control or sub-control account is part of no balance: a head's figures
// are the sums of its subsidiaries' (docs/accounts.md; `quoravel-admin check` reports one).
// Sums are exact and checked; a figure that cannot be represented is a DbError.
//
// One account (a ledger) or every account at once (the trial balance, the export): callers ask
// this object and never read OpenBal or sum earlier rows themselves, so the way the figure is
// gathered can change in one place: the earlier rows' sum is read from the month sums for the
// whole months and from the rows for the rest of the date's month (periodsums.h for one
// account, accountsums.h for every account in one statement).
#include "db/connection.h"
#include "db/money.h"
#include "reports/accountsums.h"

#include <QDate>
#include <QMap>

namespace qv::rpt {

class OpeningBalances {
public:
    explicit OpeningBalances(Connection& c)
        : m_c(c)
    {
    }
    // One account at `at`. A null date is the start of the book: the OpenBal alone.
    Money of(qint64 account, const QDate& at);
    // Every account whose opening at `at` is not zero.
    QMap<qint64, Money> all(const QDate& at);
    // The same inside a statement: the table expression `name` (AcCode, open) of every account
    // with an OpenBal or rows before `at` (its opening may be zero), added to `sums`.
    static void addAll(AccountSums& sums, const QString& name, const QDate& at);
    // Every account's net movement (debits minus credits) dated from `from` to `to`, both
    // included: what its opening at the day after `to` adds to its opening at `from`. Accounts
    // that did not move are left out; nothing when `from` is after `to`.
    QMap<qint64, Money> movements(const QDate& from, const QDate& to);

private:
    // Account and figure of each row `sql` gives.
    QMap<qint64, Money> balances(const QString& sql, const QVariantList& params);
    Connection& m_c;
};

// The accounts that have detail rows, in order of RowID: one seek of the account index per
// account (a loose index scan), where a GROUP BY would read every row.
QList<qint64> postedAccounts(Connection& c);

} // namespace qv::rpt
