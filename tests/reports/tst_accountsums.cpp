// Every account's figures as the database adds them up in one statement (the trial balances, the
// openings and movements of every account): an account whose month sums are no longer known is
// read from its rows, and a figure that leaves the range of amounts is refused, never stored or
// printed as a wrong one. The statements' lines reach their work table unchanged.
#include "db/connection.h"
#include "db/money.h"
#include "masters/accountclasses.h"
#include "reports/openings.h"
#include "reports/procedures.h"
#include "support/dbfixture.h"

#include <QSqlQuery>
#include <QTest>

using qv::Money;

class TstAccountSums : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    qv::Connection c;
    qint64 ac = 0;
    const Money Huge{999999999999999999LL}; // the largest an amount column holds

    void post(int no, const QDate& day, Money dr, Money cr)
    {
        c.execute("insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt) "
                  "values (?, 'JV', ?, 1, ?, ?, ?, ?)",
                  {900000 + no, day, ac, ac, QVariant::fromValue(dr), QVariant::fromValue(cr)});
    }
    // The account's rows' own figures: "debits/credits" over a condition on VouDate.
    QString rows(const QString& where, const QVariantList& p)
    {
        QSqlQuery q =
            c.query("select sum(DrAmt), sum(CrAmt) from DetJV where AcCode = ? and " + where, QVariantList{ac} + p);
        q.next();
        return QString("%1/%2").arg(c.moneyOrZero(q.value(0)).cents).arg(c.moneyOrZero(q.value(1)).cents);
    }
    Money net(const QString& figures)
    {
        return Money(figures.section('/', 0, 0).toLongLong() - figures.section('/', 1, 1).toLongLong());
    }
    QString work(const QString& sql)
    {
        QSqlQuery q = c.query(sql, {ac});
        return q.next() ? QString("%1/%2").arg(c.moneyOrZero(q.value(0)).cents).arg(c.moneyOrZero(q.value(1)).cents)
                        : QString("none");
    }

private slots:
    void initTestCase()
    {
        QVT_REQUIRE_BACKEND();
        qvt::initTestEnvironment();
    }
    void init()
    {
        db = qvt::TestDb::create(true);
        db.connectAdmin(c);
        qv::rpt::installProcedures(c);
        ac = c.scalar("select min(RowID) from Accounts where AcStatus = 'DD'").toLongLong();
    }
    void cleanup()
    {
        c.close();
        db.drop();
    }

    void anAccountWhoseMonthSumIsNotKnownIsReadFromItsRows()
    {
        if (qvt::backend() == qv::Backend::Postgres)
            QSKIP("a server's month sums are NUMERIC and always known");
        // Ten rows of the largest amount make March's sum unknown for good; once they are gone
        // the account's rows add up again.
        for (int i = 0; i < 10; ++i)
            post(i, QDate(2026, 3, 10), Huge, Money());
        QVERIFY(c.scalar("select count(*) from AcMonthSums where DrSum is null").toInt() > 0);
        c.execute("delete from DetJV where VouNo >= 900000");
        post(20, QDate(2026, 2, 10), Money(300), Money());
        post(21, QDate(2026, 3, 5), Money(15000), Money());
        post(22, QDate(2026, 3, 20), Money(), Money(4000));
        post(23, QDate(2026, 4, 2), Money(700), Money());
        const QDate from(2026, 3, 1), to(2026, 12, 31);

        c.execute(qv::rpt::trialBalanceStatement(QDate(2026, 1, 1), to));
        QCOMPARE(work("select DrAmt, CrAmt from tmpTrialBalance where AcCode = ?"),
                 rows("VouDate >= ? and VouDate <= ?", {QDate(2026, 1, 1), to}));
        c.execute(qv::rpt::trialBalance3Statement(from, to));
        QCOMPARE(work("select DrAmt, CrAmt from tmpTrialBalance3 where AcCode = ?"),
                 rows("VouDate >= ? and VouDate <= ?", {from, to}));

        qv::rpt::OpeningBalances open(c);
        const Money openBal = open.of(ac, QDate());
        QCOMPARE(open.all(QDate(2026, 4, 1)).value(ac), openBal + net(rows("VouDate < ?", {QDate(2026, 4, 1)})));
        QCOMPARE(open.movements(from, QDate(2026, 3, 31)).value(ac),
                 net(rows("VouDate >= ? and VouDate <= ?", {from, QDate(2026, 3, 31)})));
    }

    void aDifferenceBeyondTheRangeOfAmountsIsRefused()
    {
        // Debits and credits each hold (negative credits from raw SQL); their difference does not.
        for (int i = 0; i < 5; ++i) {
            post(i, QDate(2026, 5, 10), Huge, Money());
            post(10 + i, QDate(2026, 5, 12), Money(), Money() - Huge);
        }
        auto refused = [this](const char* what, const std::function<void()>& run) {
            try {
                run();
                QFAIL(qPrintable(QString("%1 gave a figure").arg(what)));
            } catch (const qv::DbError& e) {
                QVERIFY2(e.description().contains("too large to be represented"), qPrintable(e.description()));
            }
        };
        refused("the trial balance", [&] { c.execute(qv::rpt::trialBalanceStatement({2026, 1, 1}, {2026, 12, 31})); });
        refused("the trial balance with opening", [&] {
            c.execute(qv::rpt::trialBalance3Statement({2026, 1, 1}, {2026, 12, 31}));
        });
        refused("the openings", [&] { qv::rpt::OpeningBalances(c).all({2026, 6, 1}); });
        refused("the movements", [&] { qv::rpt::OpeningBalances(c).movements({2026, 5, 1}, {2026, 5, 31}); });
    }

    void statementLinesReachTheWorkTableUnchanged()
    {
        qv::AccountClasses classes(c);
        for (const QString& head : classes.unclassified())
            classes.set(head, QLatin1Char('A'));
        const QString name = "Qu\"ote\\ 'x' \u0627\u0631\u062F\u0648\n%1";
        const Money big(999999999999999LL);
        c.execute("update Accounts set AcName = ?, OpenBal = ? where RowID = ?", {name, QVariant::fromValue(big), ac});
        c.execute("update Accounts set OpenBal = null where RowID <> ?", {ac});
        const QString code = c.scalar("select AcNodes from Accounts where RowID = ?", {ac}).toString();
        c.execute(qv::rpt::balanceSheetStatement({2026, 6, 30}, 3));
        QSqlQuery q = c.query("select Title, Amount, Compare from tmpBalanceSheet where Code = ?", {code});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), name);
        QCOMPARE(c.moneyOrZero(q.value(1)), big + net(rows("VouDate < ?", {QDate(2026, 7, 1)})));
        QVERIFY(q.value(2).isNull());
        // A line without a code (a heading, a total) keeps a null code, not an empty text.
        QVERIFY(c.scalar("select count(*) from tmpBalanceSheet where Code is null").toInt() > 0);
        QCOMPARE(c.scalar("select count(*) from tmpBalanceSheet where Code = ''").toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TstAccountSums)
#include "tst_accountsums.moc"
