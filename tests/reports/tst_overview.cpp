// The Overview's figures are the reports' figures, on a random book of five classed heads and on
// the backend named by the environment: each month-end balance of the cash and the banks is the
// closing of that account's book for the month, a month's receipts and payments are the totals
// of the receipt and payment lines of those books, income and expenses are the profit and loss
// account's for the month, and the top parties are those whose ledgers moved most.
#include "bookfixture.h"
#include "masters/accountclasses.h"
#include "reports/overview.h"
#include "reports/procedures.h"
#include "reports/statements.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QSqlQuery>
#include <algorithm>

using namespace qv::rpt;

namespace {
// The two figures printed after the book's "Total": its receipts and its payments.
QPair<qint64, qint64> bookTotals(const qv::rpt::Document& d)
{
    QStringList figures;
    for (int page = 0; page < d.pageCount(); ++page) {
        const auto& items = d.page(page)->items;
        for (int i = 0; i < items.size(); ++i)
            if (items[i].text == "Total")
                for (int j = i + 1; j < items.size() && figures.size() < 2; ++j)
                    if (items[j].kind == qv::rpt::DocItem::Text)
                        figures << items[j].text;
    }
    if (figures.size() < 2)
        return {-1, -1};
    return {qvt::balanceCents(figures[0]), qvt::balanceCents(figures[1])};
}
QDate endOf(const QDate& month)
{
    return month.addMonths(1).addDays(-1);
}
} // namespace

class TstOverview : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    qvt::RandomBook book;
    QRandomGenerator rng{20261208};
    const QDate today{2026, 10, 20}; // vouchers run on to the end of 2026: some lie after it

    QList<OverviewPeriod> periods() const
    {
        return {last12MonthsPeriod(today), financialYearPeriod(2024, 7, today), thisYearPeriod(today)};
    }

    // Each month-end balance is the closing of its book for the month; each month's receipts and
    // payments are the totals of those books; today's balances are the books' closings up to today.
    void agreeWithTheBooks(const OverviewPeriod& p)
    {
        const OverviewFigures f = overviewFigures(Conn, p, today);
        QList<qint64> ids;
        for (const OverviewAccount& a : f.accounts)
            ids << a.id;
        QCOMPARE(ids, QList<qint64>({book.cash}) + book.banks);
        qint64 total = 0;
        for (int i = 0; i < f.accounts.size(); ++i) {
            const auto upToToday = qvt::cashOrBankBook(ids[i], book.first, today);
            QCOMPARE(f.todayBalances[i].cents, qvt::balanceCents(qvt::figureAfter(*upToToday, "Closing Balance")));
            total += f.todayBalances[i].cents;
        }
        QCOMPARE(f.todayTotal.cents, total);
        QCOMPARE(f.months.first().month, p.from);
        QCOMPARE(endOf(f.months.last().month), p.to);
        for (const OverviewMonth& m : f.months) {
            qint64 receipts = 0, payments = 0, sum = 0;
            for (int i = 0; i < ids.size(); ++i) {
                const auto doc = qvt::cashOrBankBook(ids[i], m.month, endOf(m.month));
                const QString where = QStringLiteral("%1 in %2: %3 against %4")
                                          .arg(ids[i])
                                          .arg(m.month.toString("yyyy-MM"))
                                          .arg(m.balances[i].cents)
                                          .arg(qvt::figureAfter(*doc, "Closing Balance"));
                QVERIFY2(m.balances[i].cents == qvt::balanceCents(qvt::figureAfter(*doc, "Closing Balance")),
                         qPrintable(where));
                const auto [in, out] = bookTotals(*doc);
                receipts += in;
                payments += out;
                sum += m.balances[i].cents;
            }
            QCOMPARE(m.total.cents, sum);
            QVERIFY2(m.receipts.cents == receipts && m.payments.cents == payments,
                     qPrintable(m.month.toString("yyyy-MM")));
        }
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        db = qvt::openReportsBook("OVERVIEW BOOKS");
        book = qvt::writeRandomBook(rng, 160, false, 5);
        qv::AccountClasses classes(Conn);
        for (int h = 1; h <= 5; ++h)
            classes.set(QString::number(h), QLatin1Char("ALEIX"[h - 1]));
    }
    void cleanupTestCase()
    {
        Conn.close();
        db.drop();
    }

    void periodsAreWholeMonthsUpToToday()
    {
        QCOMPARE(thisYearPeriod(today).from, QDate(2026, 1, 1));
        QCOMPARE(thisYearPeriod(today).to, QDate(2026, 10, 31));
        QCOMPARE(last12MonthsPeriod(today).from, QDate(2025, 11, 1));
        QCOMPARE(last12MonthsPeriod(today).to, QDate(2026, 10, 31));
        QCOMPARE(financialYearPeriod(2024, 7, today).to, QDate(2025, 6, 30));
        QCOMPARE(financialYearPeriod(2026, 7, today).to, QDate(2026, 10, 31));
        // The book starts in January 2025: the year from July 2024 holds it.
        const auto years = financialYears(Conn, 7, today);
        QCOMPARE(years.size(), 3);
        QCOMPARE(years.first(), qMakePair(2026, QString("2026-27")));
        QCOMPARE(years.last(), qMakePair(2024, QString("2024-25")));
        QCOMPARE(financialYears(Conn, 1, today).last().second, QString("2025"));
    }

    void cashAndBanksAgreeWithTheirBooks()
    {
        for (const OverviewPeriod& p : periods())
            agreeWithTheBooks(p);
    }

    void incomeAndExpensesAreTheProfitAndLossOfEachMonth()
    {
        const OverviewFigures f = overviewFigures(Conn, last12MonthsPeriod(today), today);
        QVERIFY(f.classified);
        bool moved = false;
        for (const OverviewMonth& m : f.months) {
            const ProfitLoss pl = profitLoss(Conn, m.month, endOf(m.month), 1, false);
            QCOMPARE(m.income.cents, pl.figures.income.cents);
            QCOMPARE(m.expenses.cents, pl.figures.expenses.cents);
            moved = moved || m.income.cents != 0 || m.expenses.cents != 0;
        }
        QVERIFY(moved);
    }

    void topPartiesMovedMostInTheirLedgers()
    {
        const OverviewPeriod p = financialYearPeriod(2025, 7, today);
        const QMap<QString, QChar> classes = qv::AccountClasses(Conn).byCode();
        QList<std::tuple<qint64, qint64, qint64, qint64>> expected; // moved, dr, cr, account
        for (qint64 a : book.accounts) {
            const QString head =
                Conn.scalar("select AcNodes from Accounts where RowID = ?", {a}).toString().section('.', 0, 0);
            if (a == book.cash || book.banks.contains(a) || classes.value(head) == 'I' || classes.value(head) == 'X')
                continue;
            Conn.execute(acLedgerStatement(a, p.from, p.to));
            QSqlQuery q = Conn.query("select DrAmt, CrAmt from tmpAcLedger where LineNo > 0");
            qint64 dr = 0, cr = 0;
            while (q.next())
                dr += qvt::money(q.value(0)).cents, cr += qvt::money(q.value(1)).cents;
            if (dr + cr != 0)
                expected.append({dr + cr, dr, cr, a});
        }
        std::sort(expected.begin(), expected.end(), std::greater<>());
        const OverviewFigures f = overviewFigures(Conn, p, today);
        QCOMPARE(f.parties.size(), std::min<qsizetype>(10, expected.size()));
        QVERIFY(f.parties.size() >= 5);
        for (int i = 0; i < f.parties.size(); ++i) {
            QCOMPARE(f.parties[i].dr.cents, std::get<1>(expected[i]));
            QCOMPARE(f.parties[i].cr.cents, std::get<2>(expected[i]));
            QCOMPARE(f.parties[i].id, std::get<3>(expected[i]));
        }
    }
    // Last: it changes the book. Raw SQL on the embedded file can store a VouDate that is no
    // date: after a month's last day ('2026-02-30') the books count it in the next month's
    // opening only, inside a month's days ('2026-03-15x') among that month's lines.
    void datesThatAreNoDatesCountAsInTheBooks()
    {
        if (Conn.backend() != qv::Backend::Sqlite)
            QSKIP("only an embedded book can hold such a date");
        const qint64 party = book.accounts[10];
        int no = 990000;
        for (const char* day : {"2026-02-30", "2026-03-15x"}) {
            ++no;
            Conn.execute("insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt) "
                         "values (?, 'JV', ?, 1, ?, ?, 77700, 0), (?, 'JV', ?, 1, ?, ?, 0, 77700)",
                         {no, day, book.cash, party, no, day, party, book.cash});
        }
        agreeWithTheBooks(last12MonthsPeriod(today));
    }
};

QTEST_MAIN(TstOverview)
#include "tst_overview.moc"
