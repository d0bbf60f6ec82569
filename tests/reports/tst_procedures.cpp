// The data preparation and the seven accounts reports on a small hand-made book, on the backend
// named by the environment. Every expected figure below is worked out by hand from the vouchers:
//   OpenBal: cash 1,000.00 Dr; bank 5,000.00 Dr; party 250.50 Cr; capital 5,749.50 Cr.
//   2025-12-20 JV-1  rent Dr / cash Cr 100.00           (before the range)
//   2025-12-28 CR-1  cash Dr / party Cr 300.25          (before the range)
//   2026-01-05 BP-1  wages Dr / bank Cr 700.00          (first day of the range)
//   2026-01-10 BR-1  bank Dr / party Cr 1,234.56
//   2026-01-15 CP-1  rent 200.00 + wages 50.10 paid in cash (one cash row of 250.10)
//   2026-02-01 CR-2  cash Dr / party Cr 99.99
//   2026-02-10 JV-2  cash Dr / bank Cr 500.00
//   2026-02-20 CP-2  bank Dr / cash Cr 400.00           (cash paid into the bank)
//   2026-02-28 JV-3  rent Dr / party Cr 4.00 and 6.00   (last day of the range)
//   2026-03-01 BP-2  rent Dr / bank Cr 1.00             (after the range)
#include "bookfixture.h"
#include "reports/openings.h"
#include "reports/procedures.h"
#include "reportengine/reporterror.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QSqlQuery>
#include <QSqlRecord>

using namespace qv::rpt;
using qv::Money;

class TstProcedures : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    qvt::HandBook b;
    const QDate from{2026, 1, 5}, to{2026, 2, 28};

    // The work table's rows as "a|b|c" texts, amounts as plain figures.
    QStringList rows(const QString& sql, const QList<int>& amounts)
    {
        QSqlQuery q = Conn.query(sql);
        QStringList out;
        while (q.next()) {
            QStringList f;
            for (int i = 0; i < q.record().count(); ++i)
                f << (amounts.contains(i)   ? qv::plainAmount(qvt::money(q.value(i)))
                      : q.value(i).isNull() ? QStringLiteral("-")
                                            : q.value(i).toString());
            out << f.join('|');
        }
        return out;
    }
    QStringList ledgerRows()
    {
        return rows(
            "select LineNo, Voucher, Particulars, DrAmt, CrAmt, BalAmt, BalSide from tmpAcLedger order by LineNo",
            {3, 4, 5});
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
        b = qvt::writeHandBook();
    }
    void cleanupTestCase()
    {
        Conn.close();
        db.drop();
    }

    void statementTexts()
    {
        QCOMPARE(acLedgerStatement(12, from, to), QString("exec AcLedger 12,'2026-01-05','2026-02-28'"));
        QCOMPARE(detailAcLedgerStatement(12, from, to), QString("exec DetailAcLedger 12,5,1,2026,28,2,2026"));
        QCOMPARE(trialBalanceStatement(from, to), QString("exec TrialBalance '2026-01-05','2026-02-28'"));
        QCOMPARE(trialBalance3Statement(from, to), QString("exec TrialBalance3 '2026-01-05','2026-02-28'"));
        // The launcher's texts parse back to the same call.
        const ProcedureCall c = parseExec(detailAcLedgerStatement(12, from, to));
        QCOMPARE(int(c.procedure), int(Procedure::DetailAcLedger));
        QCOMPARE(c.account, qint64(12));
        QCOMPARE(c.from, from);
        QCOMPARE(c.to, to);
    }

    void refusedExecForms_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("why");
        QTest::newRow("unknown name") << "exec DropEverything 1"
                                      << "there is no procedure";
        QTest::newRow("quote inside") << "exec AcLedger 12,'2026-01-05'' or ''1''=''1','2026-02-28'"
                                      << "argument 2";
        QTest::newRow("statement after") << "exec TrialBalance '2026-01-01','2026-12-31'; delete from DetJV"
                                         << "argument 2";
        QTest::newRow("missing argument") << "exec AcLedger 12,'2026-01-05'"
                                          << "takes 3 arguments";
        QTest::newRow("empty argument") << "exec AcLedger 12,,'2026-02-28'"
                                        << "argument 2";
        QTest::newRow("no arguments") << "exec TrialBalance3"
                                      << "takes 2 arguments";
        QTest::newRow("date unquoted") << "exec TrialBalance 2026-01-01,'2026-12-31'"
                                       << "argument 1";
        QTest::newRow("not a date") << "exec TrialBalance '2026-02-30','2026-12-31'"
                                    << "not a date of the calendar";
        QTest::newRow("day 32") << "exec DetailAcLedger 12,32,1,2026,28,2,2026"
                                << "arguments 2 to 4";
        QTest::newRow("account as text") << "exec AcLedger '12','2026-01-05','2026-02-28'"
                                         << "argument 1";
        QTest::newRow("negative account") << "exec AcLedger -12,'2026-01-05','2026-02-28'"
                                          << "argument 1";
    }
    void refusedExecForms()
    {
        QFETCH(QString, statement);
        QFETCH(QString, why);
        const int rowsBefore = Conn.scalar("select count(*) from DetJV").toInt();
        try {
            Conn.execute(statement);
            QFAIL("the statement was run");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains("is refused"), qPrintable(e.description()));
            QVERIFY2(e.description().contains(why), qPrintable(e.description()));
        }
        QCOMPARE(Conn.scalar("select count(*) from DetJV").toInt(), rowsBefore);
    }

    void openingFromOpenBalAndEarlierRows()
    {
        QCOMPARE(OpeningBalances(Conn).of(b.cash, from), Money(120025));           // 1,000.00 - 100.00 + 300.25
        QCOMPARE(OpeningBalances(Conn).of(b.party, from), Money(-55075));          // credit: -250.50 - 300.25
        QCOMPARE(OpeningBalances(Conn).of(b.wages, from), Money(0));               // null OpenBal, no rows
        QCOMPARE(OpeningBalances(Conn).of(b.rent, QDate(2025, 12, 20)), Money(0)); // the date's own rows are not before
        QCOMPARE(OpeningBalances(Conn).of(b.rent, QDate(2025, 12, 21)), Money(10000));
    }

    void simpleLedgerOfTheCashAccount()
    {
        Conn.execute(acLedgerStatement(b.cash, from, to));
        QCOMPARE(ledgerRows(),
                 QStringList({"0|-|Opening Balance|0.00|0.00|1200.25|Dr", "1|CP-1|LANDLORD|0.00|250.10|950.15|Dr",
                              "2|CR-2|O'HARA|99.99|0.00|1050.14|Dr", "3|JV-2|WITHDRAWAL|500.00|0.00|1550.14|Dr",
                              "4|CP-2|DEPOSIT|0.00|400.00|1150.14|Dr"}));
    }

    void simpleLedgerSumsAVoucherOfSeveralRows()
    {
        // JV-3 credits the party in two lines (4.00 and 6.00): one line of the simple ledger.
        Conn.execute(acLedgerStatement(b.party, from, to));
        QCOMPARE(ledgerRows(),
                 QStringList({"0|-|Opening Balance|0.00|0.00|550.75|Cr", "1|BR-1|O'HARA|0.00|1234.56|1785.31|Cr",
                              "2|CR-2|O'HARA|0.00|99.99|1885.30|Cr", "3|JV-3|CHARGE|0.00|10.00|1895.30|Cr"}));
    }

    void detailLedgerShowsTheOtherAccount()
    {
        Conn.execute(detailAcLedgerStatement(b.cash, from, to));
        // The cash row of a cash voucher has no other account: the party shows.
        QCOMPARE(rows("select LineNo, Voucher, Particulars, Naration, ChecqNo, DrAmt, CrAmt, BalAmt, BalSide "
                      "from tmpAcLedger order by LineNo",
                      {5, 6, 7}),
                 QStringList({"0|-|Opening Balance|-|-|0.00|0.00|1200.25|Dr",
                              "1|CP-1|LANDLORD|CP line|-|0.00|250.10|950.15|Dr",
                              "2|CR-2|O'HARA|CR line|-|99.99|0.00|1050.14|Dr",
                              "3|JV-2|CITY BANK|JV line||500.00|0.00|1550.14|Dr",
                              "4|CP-2|DEPOSIT|CP line|-|0.00|400.00|1150.14|Dr"}));
        Conn.execute(detailAcLedgerStatement(b.wages, from, to));
        QCOMPARE(
            rows(
                "select LineNo, Voucher, Particulars, ChecqNo, DrAmt, BalAmt, BalSide from tmpAcLedger order by LineNo",
                {4, 5}),
            QStringList({"0|-|Opening Balance|-|0.00|0.00|Dr", "1|BP-1|CITY BANK|CH-1|700.00|700.00|Dr",
                         "2|CP-1|CASH IN HAND||50.10|750.10|Dr"}));
    }

    void trialBalanceWorkTable()
    {
        Conn.execute(trialBalanceStatement(from, to));
        QCOMPARE(rows("select AcNodes, CtlNodes, CtlName, SubNodes, DrAmt, CrAmt, NetDr, NetCr from tmpTrialBalance "
                      "order by AcNodes",
                      {4, 5, 6, 7}),
                 QStringList(
                     {"1.1.1|1|ASSETS|1.1|599.99|650.10|0.00|50.11", "1.1.2|1|ASSETS|1.1|1634.56|1200.00|434.56|0.00",
                      "1.2.1|1|ASSETS|1.2|0.00|1344.55|0.00|1344.55", "2.1.1|2|EXPENSES|2.1|210.00|0.00|210.00|0.00",
                      "2.1.2|2|EXPENSES|2.1|750.10|0.00|750.10|0.00"}));
    }

    void trialBalanceWithOpeningWorkTable()
    {
        Conn.execute(trialBalance3Statement(from, to));
        QCOMPARE(
            rows("select AcNodes, OpenDr, OpenCr, DrAmt, CrAmt, CloseDr, CloseCr from tmpTrialBalance3 "
                 "order by AcNodes",
                 {1, 2, 3, 4, 5, 6}),
            QStringList({"1.1.1|1200.25|0.00|599.99|650.10|1150.14|0.00",
                         "1.1.2|5000.00|0.00|1634.56|1200.00|5434.56|0.00",
                         "1.2.1|0.00|550.75|0.00|1344.55|0.00|1895.30", "2.1.1|100.00|0.00|210.00|0.00|310.00|0.00",
                         "2.1.2|0.00|0.00|750.10|0.00|750.10|0.00", "3.1.1|0.00|5749.50|0.00|0.00|0.00|5749.50"}));
    }

    void proceduresBelongToTheirConnection()
    {
        // Another connection to the same book runs no preparation until it is given the
        // procedures; giving them changes nothing for the first.
        qv::Connection other;
        db.connect(other);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, other.execute(trialBalanceStatement(from, to)));
        installProcedures(other);
        other.execute(trialBalanceStatement(from, to));
        QVERIFY(other.scalar("select count(*) from tmpTrialBalance").toInt() > 0);
        Conn.execute(trialBalanceStatement(from, to));
        other.close();
    }

    void fromAfterToGivesNoMovement()
    {
        Conn.execute(acLedgerStatement(b.cash, to, from));
        // Opening at 2026-02-28: everything before it (the last cash row is CP-2 of 2026-02-20).
        QCOMPARE(ledgerRows(), QStringList({"0|-|Opening Balance|0.00|0.00|1150.14|Dr"}));
        Conn.execute(trialBalanceStatement(to, from));
        QCOMPARE(Conn.scalar("select count(*) from tmpTrialBalance").toInt(), 0);
        Conn.execute(trialBalance3Statement(to, from));
        QCOMPARE(rows("select AcNodes, OpenDr, OpenCr, DrAmt, CrAmt, CloseDr, CloseCr from tmpTrialBalance3 "
                      "where AcNodes = '1.1.1'",
                      {1, 2, 3, 4, 5, 6}),
                 QStringList({"1.1.1|1150.14|0.00|0.00|0.00|1150.14|0.00"}));
    }

    void cashBookPrintsTheOtherSides()
    {
        const auto d = qvt::cashOrBankBook(b.cash, from, to);
        QStringList lines;
        for (const QStringList& r : d->csvRows())
            lines << r.join('|');
        QCOMPARE(lines, QStringList({"2026-01-15|CP-1|OFFICE RENT|CP line||0.00|200.00",
                                     "2026-01-15|CP-1|WAGES|CP line||0.00|50.10",
                                     "2026-02-01|CR-2|O'HARA & SONS|CR line||99.99|0.00",
                                     "2026-02-10|JV-2|CITY BANK|JV line||500.00|0.00",
                                     "2026-02-20|CP-2|CITY BANK|CP line||0.00|400.00"}));
        QCOMPARE(qvt::figureAfter(*d, "Opening Balance"), QString("1,200.25 Dr"));
        QCOMPARE(qvt::figureAfter(*d, "Closing Balance"), QString("1,150.14 Dr")); // = the cash ledger's closing
        QCOMPARE(qvt::figureAfter(*d, "Total"), QString("599.99"));
        QVERIFY(d->allText().contains("950.15 Dr")); // the running balance after CP-1's two lines
        QVERIFY(d->allText().contains("1,550.14 Dr"));
    }

    void bankBookHoldsCashPaidIn()
    {
        // CP-2 posts the bank as a cash voucher's line: its cash row names no account, yet the bank
        // book shows the receipt, and so agrees with the bank's ledger.
        const auto d = qvt::cashOrBankBook(b.bank, from, to);
        QStringList lines;
        for (const QStringList& r : d->csvRows())
            lines << r.join('|');
        QCOMPARE(lines, QStringList({"2026-01-05|BP-1|WAGES|BP line|CH-1|0.00|700.00",
                                     "2026-01-10|BR-1|O'HARA & SONS|BR line|CH-2|1234.56|0.00",
                                     "2026-02-10|JV-2|CASH IN HAND|JV line||0.00|500.00",
                                     "2026-02-20|CP-2|CASH IN HAND|CP line||400.00|0.00"}));
        QCOMPARE(qvt::figureAfter(*d, "Opening Balance"), QString("5,000.00 Dr"));
        QCOMPARE(qvt::figureAfter(*d, "Closing Balance"), QString("5,434.56 Dr"));
    }

    void ledgerReportsPrintTheirFigures()
    {
        const auto simple = qvt::ledger(b.party, from, to, false);
        QVERIFY(simple->allText().contains("SIMPLE LEDGER"));
        QCOMPARE(qvt::figureAfter(*simple, "Closing Balance"), QString("1,895.30"));
        QCOMPARE(qvt::figureAfter(*simple, "1,895.30", 1), QString("Cr"));
        const auto detail = qvt::ledger(b.cash, from, to, true);
        QVERIFY(detail->allText().contains("DETAIL LEDGER"));
        QCOMPARE(qvt::figureAfter(*detail, "Total"), QString("599.99"));
        QCOMPARE(qvt::figureAfter(*detail, "Closing Balance"), QString("1,150.14"));
    }

    void trialBalancesBalanceAndAgree()
    {
        const auto simple = qvt::trialBalance("rptTrialBalance.rpt", from, to);
        QCOMPARE(simple->csvRows().size(), 5);
        QCOMPARE(qvt::figureAfter(*simple, "Total"), QString("1,394.66"));
        QCOMPARE(qvt::figureAfter(*simple, "1,394.66"), QString("1,394.66")); // debit total = credit total
        const auto control = qvt::trialBalance("rptTrialBalance2.rpt", from, to);
        const QStringList page = control->pageTexts(0);
        // ASSETS with its two sub-control accounts beneath it, then EXPENSES.
        auto after = [&](const QString& label, int n) { return page.mid(page.indexOf(label) + 1, n); };
        QCOMPARE(after("CASH AND BANK", 2), QStringList({"434.56", "50.11"}));
        QCOMPARE(after("CUSTOMERS", 2), QStringList({"", "1,344.55"})); // a zero debit prints nothing
        QCOMPARE(after("Total ASSETS", 2), QStringList({"434.56", "1,394.66"}));
        QCOMPARE(after("Total EXPENSES", 2), QStringList({"960.10", "0.00"}));
        QCOMPARE(qvt::figureAfter(*control, "Total"), QString("1,394.66"));
        QCOMPARE(qvt::figureAfter(*control, "1,394.66", 1), QString("1,394.66"));
        const auto withOpening = qvt::trialBalance("rptTrialBalance3.rpt", from, to);
        QCOMPARE(withOpening->csvRows().size(), 6);
        const QStringList totals = withOpening->pageTexts(0).mid(withOpening->pageTexts(0).lastIndexOf("Total") + 1, 6);
        QCOMPARE(totals, QStringList({"6,300.25", "6,300.25", "3,194.65", "3,194.65", "7,644.80", "7,644.80"}));
    }

    void datesTextAndHeader()
    {
        const auto tb = qvt::trialBalance("rptTrialBalance.rpt", from, to);
        const QString dates =
            QStringLiteral("From :  %1   To :  %2")
                .arg(QLocale().toString(from, QLocale::ShortFormat), QLocale().toString(to, QLocale::ShortFormat));
        QVERIFY2(tb->pageTexts(0).contains(dates), qPrintable(tb->pageTexts(0).join(" / ")));
        QVERIFY(tb->pageTexts(0).contains("TEST TRADERS"));
        QVERIFY(tb->pageTexts(0).contains("Page 1 of 1"));
    }

    void workTablesArePrivateToTheSession()
    {
        Conn.execute(trialBalanceStatement(from, to));
        qv::Connection other;
        db.connect(other);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, other.scalar("select count(*) from tmpTrialBalance"));
    }

    void aFailureLeavesThePreviousWorkTable()
    {
        Conn.execute(trialBalanceStatement(from, to));
        Conn.setStatementHook([](const QString& sql) {
            if (sql.contains("FROM AcMonthSums")) // the month sums are read after the work table is emptied
                throw qv::DbError("disk I/O error");
        });
        QVERIFY_THROWS_EXCEPTION(qv::DbError, Conn.execute(trialBalanceStatement(to.addDays(1), to.addDays(30))));
        Conn.setStatementHook({});
        QVERIFY(!Conn.inTransaction());
        QCOMPARE(Conn.scalar("select count(*) from tmpTrialBalance").toInt(), 5);
    }

    void oversizedSumIsAnError()
    {
        QVERIFY_THROWS_EXCEPTION(qv::DbError, Money(std::numeric_limits<qint64>::max()) + Money(1));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, Money(std::numeric_limits<qint64>::min()) - Money(1));
        QCOMPARE(Money(-5) + Money(7), Money(2));
    }
};

QTEST_MAIN(TstProcedures)
#include "tst_procedures.moc"
