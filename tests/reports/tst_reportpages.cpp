// Every page of a long report says what it is: its title, its period and its column heads
// come back on each page, not only on the first.
#include "bookfixture.h"
#include "reports/procedures.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"
#include "vouchers/voucherstore.h"

using qv::Money;

class TstReportPages : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    qvt::RandomBook book;
    const QDate from{2025, 1, 1}, to{2026, 12, 31};

    static void everyPageShows(const qv::rpt::Document& d, const QStringList& texts)
    {
        QVERIFY2(d.pageCount() > 1, "the report must run to a second page");
        for (int p = 0; p < d.pageCount(); ++p) {
            const QStringList page = d.pageTexts(p);
            for (const QString& t : texts)
                QVERIFY2(page.contains(t), qPrintable(QString("page %1 lacks \"%2\"").arg(p + 1).arg(t)));
        }
    }
    static QString period(const char* middle)
    {
        return QString("From :  %1%2%3")
            .arg(QLocale().toString(QDate(2025, 1, 1), QLocale::ShortFormat), middle,
                 QLocale().toString(QDate(2026, 12, 31), QLocale::ShortFormat));
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
        qv::rpt::installProcedures(Conn);
        Conn.execute("insert into Company (Company, comActive) values ('LONG BOOKS', 'Y')");
        QRandomGenerator rng(7);
        book = qvt::writeRandomBook(rng, 400);
        // Enough accounts, each with an opening and a movement, for the trial balances to run
        // past one page.
        qv::VoucherStore store(Conn);
        for (int i = 1; i <= 70; ++i) {
            const qint64 id =
                Conn.insertReturningKey("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode, OpenBal) "
                                        "values (?, ?, 'DD', '2.2', ?, ?) returning RowID",
                                        {QString("2.2.%1").arg(i + 10), QString("EXTRA %1").arg(i), i + 10,
                                         QVariant::fromValue(Money(i * 1000))});
            qv::Voucher v;
            v.kind = qv::VoucherKind::JV;
            v.date = QDate(2025, 6, 1);
            v.number = store.nextNumber(v.kind, 1);
            qv::VoucherLine l;
            l.drAc = id;
            l.crAc = book.cash;
            l.amount = Money(i * 100);
            v.lines.push_back(l);
            store.save(v, true, QStringLiteral("tester"));
        }
    }
    void cleanupTestCase()
    {
        Conn.close();
        db.drop();
    }

    void trialBalances()
    {

        everyPageShows(*qvt::trialBalance("rptTrialBalance.rpt", from, to),
                       {"SUBSIDIARY TRIAL BALANCE", period("   To :  "), "Account Title", "Debit", "Credit"});
        everyPageShows(
            *qvt::trialBalance("rptTrialBalance3.rpt", from, to),
            {"SUBSIDIARY TRIAL BALANCE (WITH OPENING)", period("   To :  "), "Account Title", "Opening", "Closing"});
    }

    void ledgersAndBooks()
    {
        everyPageShows(*qvt::ledger(book.cash, from, to, false),
                       {"SIMPLE LEDGER", period("  To :  "), "Particulars", "Balance"});
        everyPageShows(*qvt::cashOrBankBook(book.cash, from, to),
                       {"CASH / BANK BOOK", period("  To :  "), "Narration", "Receipt", "Payment"});
    }
};

QTEST_MAIN(TstReportPages)
#include "tst_reportpages.moc"
