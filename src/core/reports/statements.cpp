#include "reports/statements.h"

#include "masters/accountclasses.h"
#include "reports/openings.h"
#include "reports/worktables_p.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>

#include <algorithm>
#include <vector>

namespace qv::rpt {

namespace {

struct Account {
    QString nodes;
    QChar cls;
};

// What the statements need of the chart: every account's code and class, the titles by code.
struct ClassedChart {
    QHash<qint64, Account> byId;
    QHash<QString, QString> nameByNodes;

    QChar classOf(qint64 id) const { return byId.value(id).cls; }
};

ClassedChart readClassedChart(Connection& c, const QString& report)
{
    AccountClasses classes(c);
    const QStringList missing = classes.unclassified();
    if (!missing.isEmpty())
        throw DbError(QStringLiteral("The %1 needs the class of every control account. Not classified yet: %2. Set "
                                     "them in the window Account Classes (from the chart of accounts) or with "
                                     "quoravel-admin classify.")
                          .arg(report, missing.join(QStringLiteral(", "))));
    const QMap<QString, QChar> byCode = classes.byCode();
    ClassedChart ch;
    QSqlQuery q = c.query(QStringLiteral("SELECT RowID, AcNodes, AcName FROM Accounts"));
    while (q.next()) {
        const QString nodes = q.value(1).toString().trimmed();
        ch.byId.insert(q.value(0).toLongLong(), {nodes, byCode.value(nodes.section(QLatin1Char('.'), 0, 0))});
        ch.nameByNodes.insert(nodes, q.value(2).toString());
    }
    return ch;
}

// Every balance belongs to a class: an account outside the chart, or under no control account,
// would leave the statement's sides apart without saying why.
void requireClasses(const ClassedChart& ch, const QMap<qint64, Money>& balances, const QString& report)
{
    QStringList lost;
    for (auto it = balances.cbegin(); it != balances.cend(); ++it)
        if (ch.classOf(it.key()).isNull())
            lost << (ch.byId.contains(it.key()) ? ch.byId.value(it.key()).nodes
                                                : QStringLiteral("(account %1, not in the chart)").arg(it.key()));
    if (!lost.isEmpty())
        throw DbError(QStringLiteral("The %1 cannot place the accounts %2: they lie under no classified control "
                                     "account.")
                          .arg(report, lost.join(QStringLiteral(", "))));
}

Money negated(Money m)
{
    return Money() - m;
}

Money withSign(int sign, Money m)
{
    return sign < 0 ? negated(m) : m;
}

// Codes in the chart's order, part by part as numbers ("3.2.9" before "3.2.10"); each code is
// split once, not at every comparison.
void sortCodes(QStringList& codes)
{
    std::vector<std::pair<std::vector<qint64>, QString>> keyed;
    keyed.reserve(codes.size());
    for (const QString& code : std::as_const(codes)) {
        std::vector<qint64> parts;
        for (const QStringView part : QStringView(code).split(QLatin1Char('.')))
            parts.push_back(part.toLongLong());
        keyed.emplace_back(std::move(parts), code);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    codes.clear();
    for (auto& k : keyed)
        codes << k.second;
}

Money classSum(const ClassedChart& ch, const QMap<qint64, Money>& balances, QChar cls)
{
    Money sum;
    for (auto it = balances.cbegin(); it != balances.cend(); ++it)
        if (ch.classOf(it.key()) == cls)
            sum += *it;
    return sum;
}

Money total(const QMap<qint64, Money>& balances)
{
    Money sum;
    for (const Money m : balances)
        sum += m;
    return sum;
}

// One column's balances by head: each account's figure (times `sign`) added to its control
// head, its sub-control head and itself, down to `level`.
QHash<QString, Money> headSums(const ClassedChart& ch, const QMap<qint64, Money>& balances, QChar cls, int sign,
                               int level)
{
    QHash<QString, Money> out;
    for (auto it = balances.cbegin(); it != balances.cend(); ++it) {
        if (ch.classOf(it.key()) != cls)
            continue;
        const QStringList parts = ch.byId.value(it.key()).nodes.split(QLatin1Char('.'));
        const Money m = withSign(sign, *it);
        for (int depth = 1; depth <= qMin(level, int(parts.size())); ++depth)
            out[parts.mid(0, depth).join(QLatin1Char('.'))] += m;
    }
    return out;
}

std::optional<Money> maybe(bool present, Money m)
{
    return present ? std::optional<Money>(m) : std::nullopt;
}

// A class's lines: its heading, each head down to `level` whose figure is not zero in either
// column (the heads above `level` in bold), and its total.
void classLines(QList<StatementLine>& out, const ClassedChart& ch, QChar cls, int sign, int level,
                const QMap<qint64, Money>& now, const QMap<qint64, Money>* then, const QString& totalTitle)
{
    const QString section = AccountClasses::name(cls);
    const QHash<QString, Money> a = headSums(ch, now, cls, sign, level);
    const QHash<QString, Money> b = then ? headSums(ch, *then, cls, sign, level) : QHash<QString, Money>();
    QStringList codes = a.keys();
    for (auto it = b.cbegin(); it != b.cend(); ++it)
        if (!a.contains(it.key()))
            codes << it.key();
    sortCodes(codes);
    out.append({section, {}, section, 0, true, std::nullopt, std::nullopt});
    for (const QString& code : codes) {
        const Money x = a.value(code), y = b.value(code);
        if (x.cents == 0 && y.cents == 0)
            continue;
        const int depth = int(code.count(QLatin1Char('.'))) + 1;
        out.append({section, code, ch.nameByNodes.value(code), depth, depth < level, x, maybe(then, y)});
    }
    out.append({section,
                {},
                totalTitle,
                0,
                true,
                withSign(sign, classSum(ch, now, cls)),
                maybe(then, then ? withSign(sign, classSum(ch, *then, cls)) : Money())});
}

BalanceSheetFigures sheetFigures(Connection& c, const ClassedChart& ch, const QDate& at, QMap<qint64, Money>& balances)
{
    OpeningBalances open(c);
    const QDate yearStart = financialYearStart(at, AccountClasses(c).startMonth());
    const QMap<qint64, Money> earlier = open.all(yearStart);
    // The balances at the end of `at`: the year's opening and the year's movements so far (the
    // sums of fewer months than the balances from the start).
    balances = earlier;
    const QMap<qint64, Money> moved = open.movements(yearStart, at);
    for (auto it = moved.cbegin(); it != moved.cend(); ++it)
        balances[it.key()] += *it;
    for (auto it = balances.begin(); it != balances.end();)
        it = it->cents == 0 ? balances.erase(it) : std::next(it);
    requireClasses(ch, balances, QStringLiteral("balance sheet"));
    requireClasses(ch, earlier, QStringLiteral("balance sheet"));
    BalanceSheetFigures f;
    f.assets = classSum(ch, balances, QLatin1Char('A'));
    f.liabilities = negated(classSum(ch, balances, QLatin1Char('L')));
    f.equity = negated(classSum(ch, balances, QLatin1Char('E')));
    const Money resultToDate = classSum(ch, balances, QLatin1Char('I')) + classSum(ch, balances, QLatin1Char('X'));
    const Money resultBefore = classSum(ch, earlier, QLatin1Char('I')) + classSum(ch, earlier, QLatin1Char('X'));
    f.retained = negated(resultBefore);
    f.profit = negated(resultToDate - resultBefore);
    f.difference = total(balances);
    return f;
}

ProfitLossFigures resultFigures(const ClassedChart& ch, const QMap<qint64, Money>& moved)
{
    ProfitLossFigures f;
    f.income = negated(classSum(ch, moved, QLatin1Char('I')));
    f.expenses = classSum(ch, moved, QLatin1Char('X'));
    f.net = f.income - f.expenses;
    return f;
}

QString day(const QDate& d)
{
    return d.toString(QStringLiteral("dd-MM-yyyy"));
}

const QString StatementColumns = QStringLiteral(
    "LineNo INTEGER, Section VARCHAR(20), Code VARCHAR(60), Title VARCHAR(200), Depth INTEGER, Strong INTEGER, "
    "Amount AMOUNT, Compare AMOUNT, ColHead VARCHAR(40), CmpHead VARCHAR(40), Period VARCHAR(120)");

// The lines go to the database as one JSON array bound as a single value, which the database
// takes apart itself: binding every line's every value cost more than the figures.
void writeLines(Connection& c, const QString& table, const QList<StatementLine>& lines, const QString& colHead,
                const QString& cmpHead, const QString& period)
{
    prepareWorkTable(c, table, StatementColumns);
    const bool pg = c.backend() == Backend::Postgres;
    auto text = [](const QString& t) { return t.isNull() ? QJsonValue() : QJsonValue(t); };
    auto value = [pg](const std::optional<Money>& m) {
        return !m ? QJsonValue() : pg ? QJsonValue(plainAmount(*m)) : QJsonValue(m->cents);
    };
    QJsonArray rows;
    for (const StatementLine& l : lines)
        rows.append(QJsonArray{text(l.section), text(l.code), text(l.title), l.depth, l.strong ? 1 : 0, value(l.amount),
                               value(l.compare)});
    const QString columns = QStringLiteral("INSERT INTO %1 (LineNo, Section, Code, Title, Depth, Strong, Amount, "
                                           "Compare, ColHead, CmpHead, Period) ")
                                .arg(table);
    const QString select =
        pg ? QStringLiteral("SELECT CAST(j.n AS INTEGER), j.v->>0, j.v->>1, j.v->>2, CAST(j.v->>3 AS INTEGER), "
                            "CAST(j.v->>4 AS INTEGER), CAST(j.v->>5 AS NUMERIC), CAST(j.v->>6 AS NUMERIC), "
                            "CAST(? AS VARCHAR), CAST(? AS VARCHAR), CAST(? AS VARCHAR) "
                            "FROM json_array_elements(CAST(? AS json)) WITH ORDINALITY AS j(v, n)")
           : QStringLiteral("SELECT j.key + 1, j.value ->> 0, j.value ->> 1, j.value ->> 2, j.value ->> 3, "
                            "j.value ->> 4, j.value ->> 5, j.value ->> 6, ?, ?, ? FROM json_each(?) j");
    c.execute(columns + select,
              {colHead, cmpHead, period, QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact))});
}

} // namespace

BalanceSheet balanceSheet(Connection& c, const QDate& at, int level, const QDate& compareAt)
{
    const ClassedChart ch = readClassedChart(c, QStringLiteral("balance sheet"));
    BalanceSheet bs;
    bs.at = at;
    bs.compareAt = compareAt;
    QMap<qint64, Money> now, then;
    bs.figures = sheetFigures(c, ch, at, now);
    const bool cmp = compareAt.isValid();
    if (cmp)
        bs.compared = sheetFigures(c, ch, compareAt, then);
    const QMap<qint64, Money>* other = cmp ? &then : nullptr;
    const BalanceSheetFigures &f = bs.figures, &g = bs.compared;
    classLines(bs.lines, ch, QLatin1Char('A'), 1, level, now, other, QStringLiteral("Total Assets"));
    classLines(bs.lines, ch, QLatin1Char('L'), -1, level, now, other, QStringLiteral("Total Liabilities"));
    classLines(bs.lines, ch, QLatin1Char('E'), -1, level, now, other, QStringLiteral("Total Equity"));
    // The year's result and the earlier years' sit in equity, above its total.
    StatementLine equityTotal = bs.lines.takeLast();
    const QString equity = equityTotal.section;
    bs.lines.append({equity, {}, QStringLiteral("Profit for the period"), 1, false, f.profit, maybe(cmp, g.profit)});
    bs.lines.append({equity, {}, QStringLiteral("Retained earnings"), 1, false, f.retained, maybe(cmp, g.retained)});
    equityTotal.amount = f.equity + f.profit + f.retained;
    equityTotal.compare = maybe(cmp, g.equity + g.profit + g.retained);
    bs.lines.append(equityTotal);
    if (f.difference.cents != 0 || (cmp && g.difference.cents != 0))
        bs.lines.append({equity,
                         {},
                         QStringLiteral("Difference in opening balances"),
                         0,
                         false,
                         f.difference,
                         maybe(cmp, g.difference)});
    bs.lines.append({equity,
                     {},
                     QStringLiteral("Total Liabilities and Equity"),
                     0,
                     true,
                     f.liabilities + f.equity + f.profit + f.retained + f.difference,
                     maybe(cmp, g.liabilities + g.equity + g.profit + g.retained + g.difference)});
    return bs;
}

ProfitLoss profitLoss(Connection& c, const QDate& from, const QDate& to, int level, bool compare)
{
    const ClassedChart ch = readClassedChart(c, QStringLiteral("profit and loss account"));
    ProfitLoss pl;
    pl.from = from;
    pl.to = to;
    OpeningBalances open(c);
    const QMap<qint64, Money> now = open.movements(from, to);
    requireClasses(ch, now, QStringLiteral("profit and loss account"));
    pl.figures = resultFigures(ch, now);
    QMap<qint64, Money> then;
    if (compare) {
        pl.compareFrom = from.addYears(-1);
        pl.compareTo = to.addYears(-1);
        then = open.movements(pl.compareFrom, pl.compareTo);
        requireClasses(ch, then, QStringLiteral("profit and loss account"));
        pl.compared = resultFigures(ch, then);
    }
    const QMap<qint64, Money>* other = compare ? &then : nullptr;
    classLines(pl.lines, ch, QLatin1Char('I'), -1, level, now, other, QStringLiteral("Total Income"));
    classLines(pl.lines, ch, QLatin1Char('X'), 1, level, now, other, QStringLiteral("Total Expenses"));
    pl.lines.append({AccountClasses::name(QLatin1Char('X')),
                     {},
                     QStringLiteral("Net profit for the period"),
                     0,
                     true,
                     pl.figures.net,
                     maybe(compare, pl.compared.net)});
    return pl;
}

void fillBalanceSheet(Connection& c, const QDate& at, int level, const QDate& compareAt)
{
    const BalanceSheet bs = balanceSheet(c, at, level, compareAt);
    writeLines(c, QStringLiteral("tmpBalanceSheet"), bs.lines, day(at),
               compareAt.isValid() ? day(compareAt) : QString(), QStringLiteral("As at ") + day(at));
}

void fillProfitLoss(Connection& c, const QDate& from, const QDate& to, int level, bool compare)
{
    const ProfitLoss pl = profitLoss(c, from, to, level, compare);
    const QString range = QStringLiteral("From %1 to %2").arg(day(from), day(to));
    writeLines(c, QStringLiteral("tmpProfitLoss"), pl.lines, QStringLiteral("This period"),
               compare ? QStringLiteral("A year earlier") : QString(),
               compare
                   ? range + QStringLiteral(" (a year earlier: %1 to %2)").arg(day(pl.compareFrom), day(pl.compareTo))
                   : range);
}

} // namespace qv::rpt
