#include "reports/ageing.h"

#include "reports/openings.h"
#include "reports/worktables_p.h"

#include <QSqlQuery>

#include <algorithm>

namespace qv::rpt {

namespace {

// Above this many parties the balances are read for every account at once.
constexpr int OneByOne = 16;

// The newest rows of one side first: a balance is made of them, so the walk stops as soon as
// they add up to it and the older rows are never read (the account index serves it backwards).
const QString NewestDebits = QStringLiteral("SELECT VouDate, DrAmt, CrAmt FROM DetJV WHERE AcCode = ? AND "
                                            "VouDate <= ? AND DrAmt > CrAmt ORDER BY VouDate DESC");
const QString NewestCredits = QStringLiteral("SELECT VouDate, DrAmt, CrAmt FROM DetJV WHERE AcCode = ? AND "
                                             "VouDate <= ? AND CrAmt > DrAmt ORDER BY VouDate DESC");
const QString FirstMove = QStringLiteral("SELECT MIN(VouDate) FROM DetJV WHERE AcCode = ? AND VouDate <= ?");

class Walker {
public:
    explicit Walker(Connection& c)
        : m_c(c)
    {
        prepare(m_debits, NewestDebits);
        prepare(m_credits, NewestCredits);
        prepare(m_first, FirstMove);
    }

    // Splits `balance` (debit positive) of `account` as at `at` into the buckets.
    std::array<Money, AgeingBuckets> split(qint64 account, Money balance, const QDate& at)
    {
        std::array<Money, AgeingBuckets> out{};
        const bool debit = balance.cents > 0;
        qint64 left = debit ? balance.cents : -balance.cents; // still to place, in cents of the side
        QSqlQuery& q = debit ? m_debits : m_credits;
        run(q, {account, at});
        while (left > 0 && q.next()) {
            const Money net = m_c.moneyOrZero(q.value(1)) - m_c.moneyOrZero(q.value(2));
            const qint64 amount = qMin(left, debit ? net.cents : -net.cents);
            out[ageingBucket(int(q.value(0).toDate().daysTo(at)))] += Money(debit ? amount : -amount);
            left -= amount;
        }
        if (q.isActive() && q.lastError().isValid())
            m_c.raise(q.lastError(), q.lastQuery());
        q.finish();
        if (left > 0) // what the rows do not make up is the opening's, the oldest item
            out[ageingBucket(openingAge(account, at))] += Money(debit ? left : -left);
        return out;
    }

private:
    int openingAge(qint64 account, const QDate& at)
    {
        run(m_first, {account, at});
        const QDate first = m_first.next() ? m_first.value(0).toDate() : QDate();
        m_first.finish();
        if (first.isValid())
            return int(first.addDays(-1).daysTo(at));
        const QDate opened =
            m_c.scalar(QStringLiteral("SELECT openDate FROM Accounts WHERE RowID = ?"), {account}).toDate();
        return opened.isValid() && opened <= at ? int(opened.daysTo(at)) : 91;
    }
    void prepare(QSqlQuery& q, const QString& sql)
    {
        q = QSqlQuery(m_c.database());
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            m_c.raise(q.lastError(), sql);
    }
    void run(QSqlQuery& q, const QVariantList& params)
    {
        for (int i = 0; i < params.size(); ++i)
            q.bindValue(i, m_c.toStorage(params[i]));
        if (!q.exec())
            m_c.raise(q.lastError(), q.lastQuery());
    }

    Connection& m_c;
    QSqlQuery m_debits, m_credits, m_first;
};

QString day(const QDate& d)
{
    return d.toString(QStringLiteral("dd-MM-yyyy"));
}

} // namespace

int ageingBucket(int days)
{
    return days <= 30 ? 0 : days <= 60 ? 1 : days <= 90 ? 2 : 3;
}

QString ageingRule()
{
    return QStringLiteral(
        "Credits are set against the oldest debits first (first in, first out): what an account owes is its newest "
        "debits, each aged in days from its date to the date of the report. An opening balance is the oldest item, "
        "dated the day before the account's first movement (an account without movements: its opening date in the "
        "chart, else over 90 days). An account in credit is aged the same way by its newest credits, shown as "
        "negative figures. Accounts with a balance of zero are left out.");
}

Ageing ageing(Connection& c, qint64 account, const QDate& at)
{
    Ageing a;
    a.at = at;
    const QList<Party> parties = partiesOf(c, account, &a.head);
    OpeningBalances open(c);
    QMap<qint64, Money> balances;
    if (parties.size() > OneByOne)
        balances = open.all(at.addDays(1));
    Walker walker(c);
    for (const Party& p : parties) {
        const Money balance = parties.size() > OneByOne ? balances.value(p.id) : open.of(p.id, at.addDays(1));
        if (balance.cents == 0)
            continue;
        AgeingLine l{p, balance, walker.split(p.id, balance, at)};
        for (int b = 0; b < AgeingBuckets; ++b)
            a.totals[b] += l.buckets[b];
        a.total += balance;
        a.lines.append(l);
    }
    std::stable_sort(a.lines.begin(), a.lines.end(),
                     [](const AgeingLine& x, const AgeingLine& y) { return x.buckets[3].cents > y.buckets[3].cents; });
    return a;
}

void fillAgeing(Connection& c, qint64 account, const QDate& at)
{
    const QString table = QStringLiteral("tmpAgeing");
    prepareWorkTable(c, table,
                     QStringLiteral("LineNo INTEGER, AcCode BIGINT, AcNodes VARCHAR(60), AcName VARCHAR(200), "
                                    "Heading VARCHAR(300), Balance AMOUNT, Days30 AMOUNT, Days60 AMOUNT, Days90 "
                                    "AMOUNT, Over90 AMOUNT, Rule VARCHAR(1000)"));
    const Ageing a = ageing(c, account, at);
    Inserter ins(c, table,
                 {QStringLiteral("LineNo"), QStringLiteral("AcCode"), QStringLiteral("AcNodes"),
                  QStringLiteral("AcName"), QStringLiteral("Heading"), QStringLiteral("Balance"),
                  QStringLiteral("Days30"), QStringLiteral("Days60"), QStringLiteral("Days90"),
                  QStringLiteral("Over90"), QStringLiteral("Rule")});
    const QString heading = QStringLiteral("As at %1: %2 %3").arg(day(at), a.head.account.nodes, a.head.account.name);
    auto money = [](Money m) { return QVariant::fromValue(m); };
    int n = 0;
    for (const AgeingLine& l : a.lines)
        ins.insert({++n, l.party.id, l.party.nodes, l.party.name, heading, money(l.balance), money(l.buckets[0]),
                    money(l.buckets[1]), money(l.buckets[2]), money(l.buckets[3]), ageingRule()});
    ins.finish();
}

} // namespace qv::rpt
