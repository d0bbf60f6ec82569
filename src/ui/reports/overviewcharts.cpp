#include "reports/overviewcharts.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QCursor>
#include <QHorizontalBarSeries>
#include <QLegendMarker>
#include <QLineSeries>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace qv::overview {

namespace {

using rpt::OverviewFigures;

// Dark against light first, then line styles: every pair differs in greyscale.
struct Look {
    QColor colour;
    Qt::PenStyle line;
};
const Look Looks[] = {{QColor(0x1f, 0x3b, 0x73), Qt::SolidLine},      {QColor(0xe0, 0x8e, 0x3c), Qt::DashLine},
                      {QColor(0x2e, 0x7d, 0x32), Qt::DotLine},        {QColor(0xb8, 0x3b, 0x5e), Qt::DashDotLine},
                      {QColor(0x7f, 0x7f, 0x7f), Qt::DashDotDotLine}, {QColor(0x00, 0x00, 0x00), Qt::SolidLine}};
const QColor Dark(0x1f, 0x3b, 0x73), Light(0xf2, 0xb5, 0x6b);
constexpr int MaxLines = 5;

double units(Money m)
{
    return double(m.cents) / 100.0; // drawing only: every sum stays in cents
}

QString amountText(double v)
{
    return displayAmount(Money(qint64(std::llround(v * 100.0))));
}

// A value axis whose ticks read "##,###0.00": a category axis with a label on each round value
// (the value axis's printf formats have no thousands separators).
QCategoryAxis* amountAxis(double lo, double hi, int ticks = 5)
{
    lo = std::min(lo, 0.0);
    hi = std::max(hi, 0.0);
    if (hi - lo < 1.0)
        hi = lo + 1.0;
    const double raw = (hi - lo) / ticks, mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double step = mag * (raw / mag <= 1 ? 1 : raw / mag <= 2 ? 2 : raw / mag <= 5 ? 5 : 10);
    const double first = std::floor(lo / step) * step, last = std::ceil(hi / step) * step;
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setLabelsFont(chartFont(8));
    axis->setTruncateLabels(false);
    axis->setMin(first);
    axis->setStartValue(first);
    for (double v = first; v <= last + step / 2; v += step)
        axis->append(amountText(std::abs(v) < step / 2 ? 0.0 : v), v);
    axis->setMax(last);
    return axis;
}

QChart* newChart(const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setTitleFont(chartFont(10, true));
    chart->legend()->setFont(chartFont(8));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setShowToolTips(true); // a name cut short shows whole under the mouse
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    return chart;
}

QBarCategoryAxis* monthAxis(const OverviewFigures& f)
{
    auto* axis = new QBarCategoryAxis;
    for (const rpt::OverviewMonth& m : f.months)
        axis->append(monthLabel(m.month));
    axis->setLabelsFont(chartFont(8));
    axis->setTruncateLabels(false);
    axis->setLabelsAngle(-45);
    return axis;
}

void tip(const QString& what, const QString& where, Money m)
{
    QToolTip::showText(QCursor::pos(), QStringLiteral("%1, %2: %3").arg(what, where, displayAmount(m)));
}

QBarSet* barSet(const QString& name, const QColor& colour, const QList<Money>& values)
{
    auto* set = new QBarSet(name);
    set->setColor(colour);
    set->setBorderColor(colour.darker(140));
    for (Money m : values)
        set->append(units(m));
    return set;
}

// Two sets of bars per month: series 0 and 1 of `click`.
QChart* monthBars(const OverviewFigures& f, const QString& title, const QString& first, const QString& second,
                  const std::function<std::pair<Money, Money>(const rpt::OverviewMonth&)>& values, const Click& click)
{
    QChart* chart = newChart(title);
    QList<Money> a, b;
    double lo = 0, hi = 0;
    for (const rpt::OverviewMonth& m : f.months) {
        const auto [x, y] = values(m);
        a << x;
        b << y;
        lo = std::min({lo, units(x), units(y)});
        hi = std::max({hi, units(x), units(y)});
    }
    auto* series = new QBarSeries;
    const QList<QBarSet*> sets{barSet(first, Dark, a), barSet(second, Light, b)};
    for (int s = 0; s < 2; ++s) {
        series->append(sets[s]);
        const QList<Money> amounts = s == 0 ? a : b;
        QObject::connect(sets[s], &QBarSet::clicked, chart, [click, s](int index) { click(s, index); });
        QObject::connect(sets[s], &QBarSet::hovered, chart,
                         [name = sets[s]->label(), amounts, months = f.months](bool on, int index) {
                             if (on && index >= 0 && index < amounts.size())
                                 tip(name, months[index].month.toString(QStringLiteral("MMMM yyyy")), amounts[index]);
                         });
    }
    chart->addSeries(series);
    chart->addAxis(monthAxis(f), Qt::AlignBottom);
    chart->addAxis(amountAxis(lo, hi), Qt::AlignLeft);
    series->attachAxis(chart->axes(Qt::Horizontal).first());
    series->attachAxis(chart->axes(Qt::Vertical).first());
    return chart;
}

} // namespace

QFont chartFont(int pointSize, bool bold)
{
    // Latin from Noto Sans, Arabic script (Urdu names) from Noto Naskh Arabic.
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans"), QStringLiteral("Noto Naskh Arabic"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

QString monthLabel(const QDate& month)
{
    return month.toString(QStringLiteral("MMM yy"));
}

QList<int> accountsDrawnAlone(const OverviewFigures& f)
{
    QList<int> all;
    for (int i = 0; i < f.accounts.size(); ++i)
        all << i;
    if (all.size() <= MaxLines)
        return all;
    // The cash, then the banks holding most today (either side).
    QList<int> banks;
    for (int i : all)
        if (!f.accounts[i].cash)
            banks << i;
    std::stable_sort(banks.begin(), banks.end(), [&f](int a, int b) {
        return std::abs(f.todayBalances[a].cents) > std::abs(f.todayBalances[b].cents);
    });
    QList<int> out;
    for (int i : all)
        if (f.accounts[i].cash)
            out << i;
    while (out.size() < MaxLines - 1 && !banks.isEmpty())
        out << banks.takeFirst();
    std::sort(out.begin(), out.end());
    return out;
}

QChart* balancesChart(const OverviewFigures& f, const Click& click)
{
    QChart* chart = newChart(QStringLiteral("Month-end balances of cash and banks"));
    const QList<int> alone = accountsDrawnAlone(f);
    QList<QPair<int, QString>> lines; // account (or -1: the other banks), name
    for (int i : alone)
        lines.append({i, f.accounts[i].name});
    if (alone.size() < f.accounts.size())
        lines.append({-1, QStringLiteral("Other banks (%1)").arg(f.accounts.size() - alone.size())});

    double lo = 0, hi = 0;
    // The total as a light area behind the lines.
    auto* totalLine = new QLineSeries;
    auto* zero = new QLineSeries;
    for (int m = 0; m < f.months.size(); ++m) {
        totalLine->append(m, units(f.months[m].total));
        zero->append(m, 0);
        lo = std::min(lo, units(f.months[m].total));
        hi = std::max(hi, units(f.months[m].total));
    }
    auto* area = new QAreaSeries(totalLine, zero);
    area->setName(QStringLiteral("Total"));
    area->setColor(QColor(0xdd, 0xdd, 0xdd));
    area->setBorderColor(QColor(0xaa, 0xaa, 0xaa));
    chart->addSeries(area);

    QList<QLineSeries*> series;
    for (int l = 0; l < lines.size(); ++l) {
        const int account = lines[l].first;
        auto* s = new QLineSeries;
        s->setName(lines[l].second);
        QList<Money> values;
        for (int m = 0; m < f.months.size(); ++m) {
            Money v;
            if (account >= 0)
                v = f.months[m].balances[account];
            else
                for (int i = 0; i < f.accounts.size(); ++i)
                    if (!alone.contains(i))
                        v += f.months[m].balances[i];
            values << v;
            s->append(m, units(v));
            lo = std::min(lo, units(v));
            hi = std::max(hi, units(v));
        }
        const Look& look = Looks[l % std::size(Looks)];
        QPen pen(look.colour, 2.0, look.line);
        s->setPen(pen);
        s->setPointsVisible(true);
        const auto nearest = [](const QPointF& p) { return int(std::lround(p.x())); };
        QObject::connect(s, &QLineSeries::clicked, chart,
                         [click, account, nearest](const QPointF& p) { click(account, nearest(p)); });
        QObject::connect(s, &QLineSeries::hovered, chart,
                         [name = s->name(), values, months = f.months, nearest](const QPointF& p, bool on) {
                             const int m = nearest(p);
                             if (on && m >= 0 && m < values.size())
                                 tip(name, months[m].month.toString(QStringLiteral("MMMM yyyy")), values[m]);
                         });
        chart->addSeries(s);
        series << s;
    }
    chart->addAxis(monthAxis(f), Qt::AlignBottom);
    chart->addAxis(amountAxis(lo, hi), Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(chart->axes(Qt::Horizontal).first());
        s->attachAxis(chart->axes(Qt::Vertical).first());
    }
    return chart;
}

QChart* receiptsChart(const OverviewFigures& f, const Click& click)
{
    return monthBars(
        f, QStringLiteral("Receipts and payments of cash and banks"), QStringLiteral("Receipts"),
        QStringLiteral("Payments"), [](const rpt::OverviewMonth& m) { return std::pair(m.receipts, m.payments); },
        click);
}

QChart* incomeChart(const OverviewFigures& f, const Click& click)
{
    QChart* chart = monthBars(
        f, QStringLiteral("Income and expenses"), QStringLiteral("Income"), QStringLiteral("Expenses"),
        [](const rpt::OverviewMonth& m) { return std::pair(m.income, m.expenses); }, click);
    if (!f.classified)
        chart->setTitle(QStringLiteral("Income and expenses (no control account is classed Income or Expenses: "
                                       "see Account Classes)"));
    return chart;
}

QChart* partiesChart(const OverviewFigures& f, const Click& click)
{
    QChart* chart = newChart(QStringLiteral("Parties that moved most (debits and credits)"));
    auto* series = new QHorizontalBarSeries;
    auto* names = new QBarCategoryAxis;
    names->setLabelsFont(chartFont(8));
    names->setTruncateLabels(false);
    // The largest at the top: bars are drawn from the bottom up.
    const int n = int(f.parties.size());
    QList<Money> dr, cr;
    double hi = 0;
    for (int i = n - 1; i >= 0; --i) {
        const rpt::OverviewParty& p = f.parties[i];
        QString name = p.name.size() > 28 ? p.name.left(27) + QChar(0x2026) : p.name;
        names->append(QStringLiteral("%1 %2").arg(name, QString(n - 1 - i, QChar(0x200B)))); // unique labels
        dr << p.dr;
        cr << p.cr;
        hi = std::max({hi, units(p.dr), units(p.cr)});
    }
    const QList<QBarSet*> sets{barSet(QStringLiteral("Debits"), Dark, dr),
                               barSet(QStringLiteral("Credits"), Light, cr)};
    for (int s = 0; s < 2; ++s) {
        series->append(sets[s]);
        const QList<Money> amounts = s == 0 ? dr : cr;
        QObject::connect(sets[s], &QBarSet::clicked, chart, [click, s, n](int index) { click(s, n - 1 - index); });
        QObject::connect(sets[s], &QBarSet::hovered, chart,
                         [what = sets[s]->label(), amounts, parties = f.parties, n](bool on, int index) {
                             if (on && index >= 0 && index < n)
                                 tip(what, parties[n - 1 - index].name, amounts[index]);
                         });
    }
    chart->addSeries(series);
    chart->addAxis(names, Qt::AlignLeft);
    chart->addAxis(amountAxis(0, hi, 3), Qt::AlignBottom);
    series->attachAxis(names);
    series->attachAxis(chart->axes(Qt::Horizontal).first());
    return chart;
}

} // namespace qv::overview
