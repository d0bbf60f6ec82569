// The balance sheet and the profit and loss account, on the backend named by the environment.
// A hand-made book (financial year from July), every figure worked out here:
//   OpenBal: cash 1,000.00 Dr; bank 5,000.00 Dr; supplier 800.00 Cr; capital 5,000.00 Cr:
//            they net to 200.00 Dr, the difference in opening balances.
//   2025-03-10 CR  cash Dr / sales Cr 3,000.00
//   2025-05-15 CP  rent Dr / cash Cr 400.00
//   2025-06-30 BP  wages Dr / bank Cr 600.00          (the year's last day)
//   2025-07-01 BR  bank Dr / sales Cr 2,500.00        (the next year's first day)
//   2025-08-20 JV  rent Dr / supplier Cr 300.00
//   2025-09-05 BP  supplier Dr / bank Cr 1,000.00
//   2026-01-10 CP  wages Dr / cash Cr 450.00
//   2026-07-01 CR  cash Dr / sales Cr 100.00          (after both statements)
// Then random books of five classed heads: each balance sheet balances and agrees with the trial
// balance with opening, and each profit and loss with the trial balance of its range.
#include "bookfixture.h"
#include "db/adminrun.h"
#include "db/schema.h"
#include "masters/accountclasses.h"
#include "masters/accountstore.h"
#include "reports/procedures.h"
#include "reports/statements.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace qv::rpt;
using qv::Money;
using K = qv::VoucherKind;

namespace {
Money m(const char* text)
{
    return *qv::parseAmount(QString::fromLatin1(text));
}
QVariant open(const char* text)
{
    return QVariant::fromValue(m(text));
}
} // namespace

class TstStatements : public QObject {
    Q_OBJECT
    qvt::TestDb db;

    // The work table's lines as "code|title|amount|compare" ("-" for none).
    QStringList lines(const QString& table)
    {
        QSqlQuery q =
            Conn.query(QStringLiteral("select Code, Title, Amount, Compare from %1 order by LineNo").arg(table));
        QStringList out;
        auto fig = [](const QVariant& v) { return v.isNull() ? QStringLiteral("-") : qv::plainAmount(qvt::money(v)); };
        while (q.next())
            out << QStringList{q.value(0).toString(), q.value(1).toString(), fig(q.value(2)), fig(q.value(3))}.join(
                '|');
        return out;
    }
    void classify(const QStringList& classes)
    {
        qv::AccountClasses ac(Conn);
        for (int i = 0; i < classes.size(); ++i)
            ac.set(QString::number(i + 1), qv::AccountClasses::parse(classes[i]));
    }
    QStringList adminTarget() const
    {
        return {"--server", db.dataSource, "--catalog", db.catalog, "--user", db.user, "--password", db.password};
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        db = qvt::TestDb::create(false);
        db.connect(Conn);
        LoginUser = db.user;
        LoginPassword = db.password;
        installProcedures(Conn);
        Conn.execute("insert into Company (Company, comActive) values ('TEST TRADERS', 'Y')");
        using qvt::addAccount;
        addAccount("1", "ASSETS", "HH");
        addAccount("1.1", "CASH AND BANK", "HD");
        const qint64 cash = addAccount("1.1.1", "CASH", "DD", open("1000.00"));
        const qint64 bank = addAccount("1.1.2", "BANK", "DD", open("5000.00"), "B");
        addAccount("2", "LIABILITIES", "HH");
        addAccount("2.1", "CREDITORS", "HD");
        const qint64 supplier = addAccount("2.1.1", "SUPPLIER", "DD", open("-800.00"));
        addAccount("3", "EQUITY", "HH");
        addAccount("3.1", "OWNERS", "HD");
        addAccount("3.1.1", "CAPITAL", "DD", open("-5000.00"));
        addAccount("4", "INCOME", "HH");
        addAccount("4.1", "SALES", "HD");
        const qint64 sales = addAccount("4.1.1", "PLOT SALES", "DD");
        addAccount("5", "EXPENSES", "HH");
        addAccount("5.1", "ADMIN", "HD");
        const qint64 rent = addAccount("5.1.1", "RENT", "DD");
        const qint64 wages = addAccount("5.1.2", "WAGES", "DD");
        using qvt::saveVoucher;
        saveVoucher(K::CR, {2025, 3, 10}, "BUYER", {{cash, sales, m("3000.00")}});
        saveVoucher(K::CP, {2025, 5, 15}, "LANDLORD", {{rent, cash, m("400.00")}});
        saveVoucher(K::BP, {2025, 6, 30}, "STAFF", {{wages, bank, m("600.00")}});
        saveVoucher(K::BR, {2025, 7, 1}, "BUYER", {{bank, sales, m("2500.00")}});
        saveVoucher(K::JV, {2025, 8, 20}, "LANDLORD", {{rent, supplier, m("300.00")}});
        saveVoucher(K::BP, {2025, 9, 5}, "SUPPLIER", {{supplier, bank, m("1000.00")}});
        saveVoucher(K::CP, {2026, 1, 10}, "STAFF", {{wages, cash, m("450.00")}});
        saveVoucher(K::CR, {2026, 7, 1}, "BUYER", {{cash, sales, m("100.00")}});
        classify({"A", "L", "E", "I", "X"});
    }
    void cleanupTestCase()
    {
        Conn.close();
        db.drop();
    }

    // Until every head has a class the statements are refused, naming the heads left.
    void unclassifiedHeadsAreNamed()
    {
        for (const char* head : {"3", "4", "5"})
            qv::AccountClasses(Conn).set(head, QChar());
        for (const QString& exec :
             {balanceSheetStatement({2026, 6, 30}, 1), profitLossStatement({2025, 7, 1}, {2026, 6, 30}, 1, false)}) {
            try {
                Conn.execute(exec);
                QFAIL("refused");
            } catch (const qv::DbError& e) {
                QVERIFY2(e.description().contains("Not classified yet: 3 EQUITY, 4 INCOME, 5 EXPENSES."),
                         qPrintable(e.description()));
            }
        }
        classify({"A", "L", "E", "I", "X"});
        QVERIFY(qv::AccountClasses(Conn).unclassified().isEmpty());
    }

    // A deleted control account takes its class with it: a new head given the freed code starts
    // unclassified instead of inheriting a class meant for another.
    void deletedHeadTakesItsClass()
    {
        qv::AccountStore store(Conn);
        const qv::AddedAccount loans = store.addControl("LOANS", {});
        qv::AccountClasses(Conn).set(loans.code, 'L');
        QCOMPARE(store.deleteAccount(loans.rowId), qv::DeleteCheck::Allowed);
        const qv::AddedAccount grants = store.addControl("GRANTS", {});
        QCOMPARE(grants.code, loans.code);
        QCOMPARE(qv::AccountClasses(Conn).unclassified(), QStringList({grants.code + " GRANTS"}));
        QCOMPARE(store.deleteAccount(grants.rowId), qv::DeleteCheck::Allowed);
    }

    // Two year ends: the first year's profit becomes the second's retained earnings, and the
    // openings' 200.00 stands on its own line in both columns.
    void balanceSheetAcrossAYearEnd()
    {
        Conn.execute(balanceSheetStatement({2026, 6, 30}, 1, {2025, 6, 30}));
        QCOMPARE(lines("tmpBalanceSheet"),
                 QStringList({"|Assets|-|-", "1|ASSETS|9050.00|8000.00", "|Total Assets|9050.00|8000.00",
                              "|Liabilities|-|-", "2|LIABILITIES|100.00|800.00", "|Total Liabilities|100.00|800.00",
                              "|Equity|-|-", "3|EQUITY|5000.00|5000.00", "|Profit for the period|1750.00|2000.00",
                              "|Retained earnings|2000.00|0.00", "|Total Equity|8750.00|7000.00",
                              "|Difference in opening balances|200.00|200.00",
                              "|Total Liabilities and Equity|9050.00|8000.00"}));
        // Down to the subsidiaries, without a comparison.
        Conn.execute(balanceSheetStatement({2025, 6, 30}, 3));
        const QStringList three = lines("tmpBalanceSheet");
        QCOMPARE(three.mid(1, 4), QStringList({"1|ASSETS|8000.00|-", "1.1|CASH AND BANK|8000.00|-",
                                               "1.1.1|CASH|3600.00|-", "1.1.2|BANK|4400.00|-"}));
        // A year starting in January moves the year's line: only 2026's wages are this year's.
        qv::AccountClasses(Conn).setStartMonth(1);
        const BalanceSheet jan = balanceSheet(Conn, {2026, 6, 30}, 1);
        qv::AccountClasses(Conn).setStartMonth(7);
        QCOMPARE(jan.figures.profit, m("-450.00"));
        QCOMPARE(jan.figures.retained, m("4200.00"));
        QCOMPARE(jan.figures.assets, m("9050.00"));
    }

    void profitAndLossWithTheYearBefore()
    {
        Conn.execute(profitLossStatement({2025, 7, 1}, {2026, 6, 30}, 3, true));
        QCOMPARE(lines("tmpProfitLoss"),
                 QStringList({"|Income|-|-", "4|INCOME|2500.00|3000.00", "4.1|SALES|2500.00|3000.00",
                              "4.1.1|PLOT SALES|2500.00|3000.00", "|Total Income|2500.00|3000.00", "|Expenses|-|-",
                              "5|EXPENSES|750.00|1000.00", "5.1|ADMIN|750.00|1000.00", "5.1.1|RENT|300.00|400.00",
                              "5.1.2|WAGES|450.00|600.00", "|Total Expenses|750.00|1000.00",
                              "|Net profit for the period|1750.00|2000.00"}));
    }

    // The trial balance with opening of the second year: the openings' 200.00 on the credit side
    // below the accounts' own total, and totals with it that balance.
    void trialBalanceWithOpeningShowsTheDifference()
    {
        const auto tb = qvt::trialBalance("rptTrialBalance3.rpt", {2025, 7, 1}, {2026, 6, 30});
        const QStringList page = tb->pageTexts(0);
        auto after = [&](const QString& label, int n) { return page.mid(page.indexOf(label) + 1, n); };
        QCOMPARE(after("Total", 6),
                 QStringList({"9,000.00", "8,800.00", "4,250.00", "4,250.00", "10,800.00", "10,600.00"}));
        QCOMPARE(after("Difference in opening balances", 4), QStringList({"", "200.00", "", "200.00"}));
        QCOMPARE(after("Total with the difference", 4),
                 QStringList({"9,000.00", "9,000.00", "10,800.00", "10,800.00"}));
    }

    // The command line: classify lists the heads, refuses a wrong class before opening the book,
    // and the statements print to CSV through the report command.
    void fromTheCommandLine()
    {
        const qvt::AdminRun bad = qvt::runAdmin(QStringList{"classify", "--set", "3=Capital"} + adminTarget());
        QCOMPARE(bad.code, 2);
        const qvt::AdminRun list =
            qvt::runAdmin(QStringList{"classify", "--set", "5=expenses", "--start-month", "7"} + adminTarget());
        QVERIFY2(list.code == 0, qPrintable(list.err));
        QVERIFY2(list.out.contains("3  EQUITY: Equity\n4  INCOME: Income\n5  EXPENSES: Expenses\n"
                                   "The financial year starts in July."),
                 qPrintable(list.out));
        QTemporaryDir tmp;
        const QString csv = tmp.filePath("bs.csv");
        const qvt::AdminRun r = qvt::runAdmin(QStringList{"report", QVT_TEMPLATES_DIR "/rptBalanceSheet.rpt", "--exec",
                                                          balanceSheetStatement({2026, 6, 30}, 1), "--csv", csv}
                                              + adminTarget());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains("Difference in opening balances,200.00"), qPrintable(text));
    }

    // hledger reads the export's account types: its balance sheet and income statement agree
    // with ours to the cent (equity there holds the openings' balancing posting).
    void agreesWithHledger()
    {
        const QString hledger = QStandardPaths::findExecutable("hledger");
        if (hledger.isEmpty())
            QSKIP("hledger is not installed");
        QTemporaryDir tmp;
        const QString journal = tmp.filePath("book.journal");
        const qvt::AdminRun ex = qvt::runAdmin(QStringList{"export", "--format", "ledger", journal} + adminTarget());
        QVERIFY2(ex.code == 0, qPrintable(ex.err));
        // Each section's total and the net, by section name, in cents.
        auto totals = [&](const QStringList& args) {
            QProcess p;
            p.start(hledger, QStringList{"-f", journal} + args + QStringList{"-O", "csv"});
            p.waitForFinished(60000);
            QHash<QString, qint64> out;
            QString section;
            const QString text = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
            for (const QString& line : text.split('\n')) {
                QStringList f = line.trimmed().split(',');
                for (QString& x : f)
                    x.remove('"');
                if (f.size() == 2 && f[1].isEmpty() && !f[0].contains(':'))
                    section = f[0];
                else if (f.size() == 2 && (f[0] == "total" || f[0] == "Net:"))
                    out[f[0] == "Net:" ? "Net" : section] = qv::parseAmount(f[1].remove(','))->cents;
            }
            if (!out.contains("Net"))
                qWarning("%s", qPrintable(text));
            return out;
        };
        const BalanceSheet bs = balanceSheet(Conn, {2026, 6, 30}, 1);
        const QHash<QString, qint64> bse = totals({"bse", "-e", "2026-07-01"});
        QCOMPARE(bse.value("Assets"), bs.figures.assets.cents);
        QCOMPARE(bse.value("Liabilities"), bs.figures.liabilities.cents);
        QCOMPARE(bse.value("Equity"), (bs.figures.equity + bs.figures.difference).cents);
        const ProfitLoss pl = profitLoss(Conn, {2025, 7, 1}, {2026, 6, 30}, 1, false);
        const QHash<QString, qint64> is = totals({"is", "-b", "2025-07-01", "-e", "2026-07-01"});
        QCOMPARE(is.value("Revenues"), pl.figures.income.cents);
        QCOMPARE(is.value("Expenses"), pl.figures.expenses.cents);
        QCOMPARE(is.value("Net"), bs.figures.profit.cents);
        QCOMPARE(totals({"is", "-e", "2025-07-01"}).value("Net"), bs.figures.retained.cents);
    }

    // A book of the version before the classes: the upgrade makes their tables, which a login
    // (on a server: a user without DDL rights) then reads and writes.
    void upgradeMakesTheClassesTables()
    {
        qvt::TestDb old = qvt::TestDb::create(true);
        old.makeOlder(qv::Schema::ClassesFrom - 1);
        QStringList up{"upgrade", "--server", old.dataSource, "--catalog", old.catalog};
        if (qvt::backend() == qv::Backend::Postgres)
            up << "--admin-user" << qEnvironmentVariable("QUORAVEL_TEST_PG_USER") << "--admin-password"
               << qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD");
        const qvt::AdminRun r = qvt::runAdmin(up);
        QVERIFY2(r.code == 0, qPrintable(r.err + r.out));
        {
            qv::Connection c;
            old.connect(c);
            qv::AccountClasses classes(c);
            QCOMPARE(classes.unclassified().size(), 5); // an upgraded book starts unclassified
            classes.set("1", 'A');
            classes.setStartMonth(4);
            QCOMPARE(classes.startMonth(), 4);
        }
        old.drop();
    }

    // Random books of five heads, one of each class, and random financial years.
    void invariantsOverRandomBooks()
    {
        QRandomGenerator rng(20261208);
        for (int round = 0; round < 2; ++round) {
            qvt::TestDb other = qvt::TestDb::create(false);
            other.connect(Conn);
            installProcedures(Conn);
            qvt::writeRandomBook(rng, 150, round == 1, 5);
            classify({"Assets", "Liabilities", "Equity", "Income", "Expenses"});
            qv::AccountClasses(Conn).setStartMonth(1 + rng.bounded(12));
            QHash<qint64, QChar> cls;
            QSqlQuery a = Conn.query("select RowID, AcNodes from Accounts where AcStatus = 'DD'");
            while (a.next())
                cls[a.value(0).toLongLong()] = QString("ALEIX").at(a.value(1).toString().left(1).toInt() - 1);
            const qint64 openings =
                qvt::money(Conn.scalar("select sum(OpenBal) from Accounts where AcStatus = 'DD'")).cents;
            for (int i = 0; i < 12; ++i) {
                const QDate at = QDate(2024, 12, 1).addDays(rng.bounded(800));
                const int level = 1 + rng.bounded(3);
                const BalanceSheet bs = balanceSheet(Conn, at, level);
                const BalanceSheetFigures& f = bs.figures;
                QCOMPARE(f.assets, f.liabilities + f.equity + f.profit + f.retained + f.difference);
                QCOMPARE(f.difference.cents, openings);
                // The trial balance with opening over this financial year gives every figure.
                const QDate start = qv::financialYearStart(at, qv::AccountClasses(Conn).startMonth());
                Conn.execute(trialBalance3Statement(start, at));
                QHash<QChar, qint64> closing, opening;
                QSqlQuery t = Conn.query("select AcCode, OpenDr, OpenCr, CloseDr, CloseCr from tmpTrialBalance3");
                while (t.next()) {
                    const QChar c = cls.value(t.value(0).toLongLong());
                    opening[c] += qvt::money(t.value(1)).cents - qvt::money(t.value(2)).cents;
                    closing[c] += qvt::money(t.value(3)).cents - qvt::money(t.value(4)).cents;
                }
                QCOMPARE(f.assets.cents, closing['A']);
                QCOMPARE(f.liabilities.cents, -closing['L']);
                QCOMPARE(f.equity.cents, -closing['E']);
                QCOMPARE(f.retained.cents, -(opening['I'] + opening['X']));
                QCOMPARE(f.profit.cents, -(closing['I'] + closing['X'] - opening['I'] - opening['X']));
                // The lines of the chosen level add up to each class's total.
                qint64 atLevel = 0;
                for (const StatementLine& l : bs.lines)
                    if (l.depth == level && l.section == "Assets")
                        atLevel += l.amount->cents;
                QCOMPARE(atLevel, f.assets.cents);

                QDate from = QDate(2024, 12, 1).addDays(rng.bounded(800)), to = from.addDays(rng.bounded(400));
                const ProfitLoss pl = profitLoss(Conn, from, to, level, true);
                Conn.execute(trialBalanceStatement(from, to));
                QHash<QChar, qint64> net;
                QSqlQuery r = Conn.query("select AcCode, DrAmt, CrAmt from tmpTrialBalance");
                while (r.next())
                    net[cls.value(r.value(0).toLongLong())] +=
                        qvt::money(r.value(1)).cents - qvt::money(r.value(2)).cents;
                QCOMPARE(pl.figures.income.cents, -net['I']);
                QCOMPARE(pl.figures.expenses.cents, net['X']);
                QCOMPARE(pl.figures.net.cents, -(net['I'] + net['X']));
                QCOMPARE(pl.compared.net, profitLoss(Conn, from.addYears(-1), to.addYears(-1), 1, false).figures.net);
            }
            Conn.close();
            other.drop();
        }
        db.connect(Conn);
        installProcedures(Conn);
    }
};

QTEST_MAIN(TstStatements)
#include "tst_statements.moc"
