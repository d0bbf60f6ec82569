#pragma once
// The Overview's four charts, made from its figures: month-end balances of the cash and the
// banks (lines over the total's area), receipts against payments and income against expenses
// per month (grouped bars), and the top parties (horizontal bars of their debits and credits).
// Amounts on the axes and in the tooltips read "##,###0.00"; the series differ in lightness and
// line style, so that they can be told apart in greyscale print; names are drawn in the Noto
// fonts, which cover Urdu.
#include "reports/overview.h"

#include <QFont>
#include <functional>

class QChart;

namespace qv::overview {

// A click on a point or a bar: `series` as the chart numbers it (see each maker), `index` the
// month or the party.
using Click = std::function<void(int series, int index)>;

// Series: one per account of the figures drawn on its own (the account's index), and -1 for
// the banks drawn together when there are too many to tell apart.
QChart* balancesChart(const rpt::OverviewFigures& f, const Click& click);
// Series 0 receipts, 1 payments.
QChart* receiptsChart(const rpt::OverviewFigures& f, const Click& click);
// Series 0 income, 1 expenses.
QChart* incomeChart(const rpt::OverviewFigures& f, const Click& click);
// Series 0 debits, 1 credits; index: the party's place in the figures.
QChart* partiesChart(const rpt::OverviewFigures& f, const Click& click);

// The accounts the balances chart draws on their own: every one when they are few, else the
// cash and the banks holding most; the rest are drawn together.
QList<int> accountsDrawnAlone(const rpt::OverviewFigures& f);

QFont chartFont(int pointSize, bool bold = false);
QString monthLabel(const QDate& month); // "Mar 26"

} // namespace qv::overview
