#pragma once
// How long what each party owes has been outstanding, as at a date, for the subsidiary accounts
// under a head (or one account): its balance (the one opening balance, openings.h) split by the
// age of the items it is made of, in days up to the date: 0-30, 31-60, 61-90, over 90.
// Which items: credits are set against the oldest debits first (first in, first out), so what is
// left of a debit balance is the newest debits that make it up; an account in credit is aged the
// same way by its newest credits (negative figures). An opening balance is the oldest item,
// dated the day before the account's first movement up to the date; an account that did not
// move by then ages its opening from the opening date of the chart (openDate) when it has one
// not after the date, and counts it over 90 days otherwise. The buckets of each account add up
// to its balance. Accounts whose balance is zero are left out; the rest are sorted by the amount
// over 90 days, the largest first.
#include "db/money.h"
#include "reports/parties.h"

#include <QDate>
#include <array>

namespace qv::rpt {

constexpr int AgeingBuckets = 4;
// 0: 0-30 days, 1: 31-60, 2: 61-90, 3: over 90.
int ageingBucket(int days);
// The rule as the report's footnote states it.
QString ageingRule();

struct AgeingLine {
    Party party;
    Money balance;
    std::array<Money, AgeingBuckets> buckets{};
};

struct Ageing {
    QDate at;
    PartyHead head;
    QList<AgeingLine> lines;
    std::array<Money, AgeingBuckets> totals{};
    Money total;
};

Ageing ageing(Connection& c, qint64 account, const QDate& at);

// The work table tmpAgeing: one row per account, in print order (LineNo).
void fillAgeing(Connection& c, qint64 account, const QDate& at);

} // namespace qv::rpt
