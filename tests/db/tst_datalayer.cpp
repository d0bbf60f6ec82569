// The data layer on the backend named by the environment: record sets, parameters, money,
// dates, nulls, transactions, widths and the keys the schema guards.
#include "db/logins.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "support/dbfixture.h"

#include <QDate>

using qv::Money;

namespace {
qv::Connection Conn;
qv::RecordSet Rs;

void OpenRs(const QString& sql, const QVariantList& params = {})
{
    if (Rs.isOpen())
        Rs.close();
    Rs.open(sql, Conn, params);
}
} // namespace

class TstDataLayer : public QObject {
    Q_OBJECT
    qvt::TestDb db;

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        db = qvt::TestDb::create();
        db.connect(Conn);
    }
    void cleanup()
    {
        Rs.close();
        Conn.close();
        db.drop();
    }

    void emptyResultTakesNewRow()
    {
        OpenRs("select * from tblCatagory where 0 = 1");
        QCOMPARE(Rs.recordCount(), 0);
        QVERIFY(Rs.eof());
        Rs.addNew();
        Rs.setField("CataId", 1);
        Rs.setField("catagory", "5 MARLA"); // names match without regard to case
        Rs.setField("Amount", "1234.50");
        Rs.setField("Status", QVariant());
        Rs.update();
        OpenRs("select * from tblCatagory");
        QCOMPARE(Rs.recordCount(), 1);
        Rs.moveFirst();
        QCOMPARE(Rs.text("Catagory"), QString("5 MARLA"));
        QCOMPARE(Rs.field("Amount").value<Money>().cents, 123450);
        QCOMPARE(qv::displayAmount(Rs.money("AMOUNT")), QString("1,234.50"));
        QVERIFY(Rs.field("Status").isNull()); // a null stays a null, not ""
        QCOMPARE(Rs.text("Status"), QString());
    }

    void identityAndDefaultsAfterInsert()
    {
        OpenRs("select * from Accounts where 0=1 ");
        Rs.addNew();
        Rs.setField("AcNodes", "1");
        Rs.setField("ParentID", "1");
        Rs.setField("AcName", "ASSETS");
        Rs.setField("AcStatus", "HH");
        Rs.setField("Dcode", 0);
        Rs.update();
        QVERIFY(Rs.field("RowID").toLongLong() > 0);
        QCOMPARE(Rs.text("DeleteStatus"), QString("N"));
        QVERIFY(Rs.field("OpenBal").isNull());
        // Editing the row through the same record set updates it by its key.
        Rs.setField("AcName", "CURRENT ASSETS");
        Rs.update();
        QCOMPARE(Conn.scalar("select AcName from Accounts where RowID = ?", {Rs.field("RowID")}).toString(),
                 QString("CURRENT ASSETS"));
    }

    void awkwardTextRoundTrips_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("apostrophe") << "O'BRIEN'S PLOT";
        QTest::newRow("percent") << "100% ADVANCE";
        QTest::newRow("backslash") << "A\\B\\\\C";
        QTest::newRow("underscore") << "FILE_NO_7";
        QTest::newRow("non-ascii") << QString::fromUtf8("Zoë Çelik — پلاٹ");
        QTest::newRow("sql-looking") << "x'); drop table Accounts; --";
    }
    void awkwardTextRoundTrips()
    {
        QFETCH(QString, title);
        OpenRs("select * from Accounts where 0=1");
        Rs.addNew();
        Rs.setField("AcNodes", "7");
        Rs.setField("AcName", title);
        Rs.setField("AcStatus", "HH");
        Rs.update();
        const QVariant id = Rs.field("RowID");
        OpenRs("select * from Accounts where rowid = ?", {id});
        QCOMPARE(Rs.recordCount(), 1);
        QCOMPARE(Rs.text("AcName"), title);
        // Found by a contains-search on a piece of it, wildcards taken literally.
        const QString piece = title.mid(1, title.size() - 2);
        OpenRs("select AcName from Accounts where " + qv::likeContains("AcName"), {qv::containsPattern(piece)});
        QCOMPARE(Rs.recordCount(), 1);
        Rs.moveFirst();
        QCOMPARE(Rs.text("AcName"), title);
        // Search is case-insensitive for ASCII letters on both backends.
        OpenRs("select AcName from Accounts where " + qv::likeContains("AcName"),
               {qv::containsPattern(title.left(3).toLower())});
        QCOMPARE(Rs.recordCount(), title.left(3).toLower() == title.left(3).toUpper().toLower() ? 1 : Rs.recordCount());
        QVERIFY(Conn.scalar("select count(*) from Accounts").toInt() == 1);
    }

    void wildcardsAreLiteralInSearch()
    {
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus) values ('1', 'ABC', 'HH')");
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus) values ('2', 'A%C', 'HH')");
        OpenRs("select AcName from Accounts where " + qv::likeContains("AcName"), {qv::containsPattern("%")});
        QCOMPARE(Rs.recordCount(), 1);
        OpenRs("select AcName from Accounts where " + qv::likeContains("AcName"), {qv::containsPattern("a")});
        QCOMPARE(Rs.recordCount(), 2);
    }

    void recordCountsAndNavigation()
    {
        OpenRs("select * from Company");
        QCOMPARE(Rs.recordCount(), 0);
        QVERIFY(Rs.eof());
        Conn.execute("insert into Company (Company) values (?)", {"ONE"});
        OpenRs("select * from Company");
        QCOMPARE(Rs.recordCount(), 1);
        Conn.execute("insert into Company (Company) values (?)", {"TWO"});
        Conn.execute("insert into Company (Company) values (?)", {"THREE"});
        OpenRs("select Company from Company order by CompCode");
        QCOMPARE(Rs.recordCount(), 3);
        QStringList names;
        for (Rs.moveFirst(); !Rs.eof(); Rs.moveNext())
            names << Rs.text("company");
        QCOMPARE(names, QStringList({"ONE", "TWO", "THREE"}));
        // A second OpenRs leaves only its own result.
        OpenRs("select CompCode from Company where Company = ?", {"TWO"});
        QCOMPARE(Rs.recordCount(), 1);
        QVERIFY(!Rs.hasField("Company"));
        // A missing column or a read past the end is an error, not a silent empty value.
        Rs.moveFirst();
        QVERIFY_THROWS_EXCEPTION(qv::DbError, Rs.field("Nope"));
        Rs.moveNext();
        QVERIFY_THROWS_EXCEPTION(qv::DbError, Rs.field("CompCode"));
    }

    void amountsAndDatesExact()
    {
        const QDate d(2025, 3, 3);
        Conn.execute(
            "insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, DrAmt, CrAmt) values (?,?,?,?,?,?,?)",
            {1, "JV", d, 1, 5, QVariant::fromValue(Money(123450)), QVariant::fromValue(Money(0))});
        // Many small amounts sum to the exact total in SQL on both backends.
        for (int i = 0; i < 300; ++i)
            Conn.execute(
                "insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, DrAmt, CrAmt) values (?,?,?,?,?,?,?)",
                {2, "JV", d, i + 1, 6, QVariant::fromValue(Money(10)), QVariant::fromValue(Money(0))});
        OpenRs("select * from DetJV where VouNo = ?", {1});
        Rs.moveFirst();
        QCOMPARE(Rs.field("DrAmt").value<Money>(), Money(123450));
        QCOMPARE(Rs.field("CrAmt").value<Money>(), Money(0));
        QCOMPARE(Rs.field("VouDate").toDate(), d);
        QVERIFY(Rs.field("CrAc").isNull());
        OpenRs("select sum(DrAmt) as Total from DetJV where VouNo = ?", {2});
        Rs.moveFirst();
        QCOMPARE(Rs.money("Total"), Money(3000));
        // Dates compare as dates.
        QCOMPARE(Conn.scalar("select count(*) from DetJV where VouDate between ? and ?",
                             {QDate(2025, 3, 1), QDate(2025, 3, 31)})
                     .toInt(),
                 301);
    }

    void transactionsAreAllOrNothing()
    {
        try {
            qv::Transaction tx(Conn);
            Conn.execute("insert into Company (Company) values ('KEPT?')");
            Conn.execute("insert into NoSuchTable (x) values (1)");
            tx.commit();
            QFAIL("the second statement should have failed");
        } catch (const qv::DbError& e) {
            QVERIFY(!e.description().isEmpty());
        }
        QCOMPARE(Conn.scalar("select count(*) from Company").toInt(), 0);
        // A failure injected through the statement hook behaves the same.
        int n = 0;
        Conn.setStatementHook([&n](const QString&) {
            if (++n == 3)
                throw qv::DbError("injected failure");
        });
        QVERIFY_THROWS_EXCEPTION(qv::DbError, [] {
            qv::Transaction tx(Conn);
            Conn.execute("insert into Company (Company) values ('A')");
            Conn.execute("insert into Company (Company) values ('B')");
            tx.commit();
        }());
        Conn.setStatementHook({});
        QCOMPARE(Conn.scalar("select count(*) from Company").toInt(), 0);
        // And the connection is usable afterwards.
        qv::Transaction ok(Conn);
        Conn.execute("insert into Company (Company) values ('C')");
        ok.commit();
        QCOMPARE(Conn.scalar("select count(*) from Company").toInt(), 1);
    }

    void keysTheSchemaGuards()
    {
        Conn.execute("insert into MasJV (VouNo, VouStatus, TotalAmount) values (1, 'JV', 0)");
        Conn.execute("insert into MasJV (VouNo, VouStatus, TotalAmount) values (1, 'BP', 0)");
        try {
            Conn.execute("insert into MasJV (VouNo, VouStatus, TotalAmount) values (1, 'JV', 0)");
            QFAIL("a second JV-1 should be refused");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.isUniqueViolation(), qPrintable(e.description() + " / " + e.sqlState()));
        }
    }

    void columnWidths()
    {
        QCOMPARE(Conn.columnWidth("Accounts", "AcStatus"), 2);
        QCOMPARE(Conn.columnWidth("accounts", "gst"), 17); // "##-##-####-###-##"
        QCOMPARE(Conn.columnWidth("Accounts", "NTN"), 9);  // "#######-#"
        QCOMPARE(Conn.columnWidth("tblApplication", "Nationality"), 15);
        QCOMPARE(Conn.columnWidth("Accounts", "Dcode"), -1);
        // The width is enforced, on SQLite too.
        QVERIFY_THROWS_EXCEPTION(qv::DbError,
                                 Conn.execute("insert into Accounts (AcNodes, AcStatus) values ('9', 'HHH')"));
    }

    void schemaVersionRecorded()
    {
        QCOMPARE(qv::Schema::version(Conn), qv::Schema::CurrentVersion);
        qv::Schema::migrate(Conn); // a current database migrates to itself
        QVERIFY(qv::Schema::isProvisioned(Conn));
    }

    void loginsListAddRemove()
    {
        // The test login exists; another can be added, listed, used and removed.
        QVERIFY(qv::Logins::list(Conn).contains(db.user));
        qv::Logins::add(Conn, "clerk_" + qvt::backendName(), "s3cret'", qv::Logins::HashCost::Minimal);
        QVERIFY(qv::Logins::list(Conn).contains("clerk_" + qvt::backendName()));
        qvt::TestDb other = db;
        other.user = "clerk_" + qvt::backendName();
        other.password = "s3cret'";
        qv::Connection c2;
        other.connect(c2);
        QVERIFY(c2.isOpen());
        c2.close();
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::Logins::add(Conn, other.user, "again"));
        qv::Logins::remove(Conn, other.user);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, other.connect(c2));
        QVERIFY(!qv::Logins::checkName("bad name; drop").isEmpty());
    }

    void demoDataBalances()
    {
        Conn.close();
        db.drop();
        db = qvt::TestDb::create(true);
        db.connect(Conn);
        QCOMPARE(Conn.scalar("select count(*) from VouSetting").toInt(), 11);
        QCOMPARE(Conn.scalar("select count(*) from Company where comActive = 'Y'").toInt(), 1);
        for (const char* kind : {"JV", "BP", "BR", "CP", "CR"})
            QVERIFY2(Conn.scalar("select count(*) from MasJV where VouStatus = ?", {kind}).toInt() >= 5, kind);
        // Every voucher's lines balance, and its total is the sum of one side.
        OpenRs("select m.VouStatus, m.VouNo, m.TotalAmount, sum(d.DrAmt) as Dr, sum(d.CrAmt) as Cr from MasJV m "
               "join DetJV d on d.VouNo = m.VouNo and d.VouStatus = m.VouStatus "
               "group by m.VouStatus, m.VouNo, m.TotalAmount");
        QVERIFY(Rs.recordCount() > 40);
        for (Rs.moveFirst(); !Rs.eof(); Rs.moveNext()) {
            QCOMPARE(Rs.money("Dr"), Rs.money("Cr"));
            QCOMPARE(Rs.money("TotalAmount"), Rs.money("Dr"));
        }
        // Cash vouchers: one row per line plus the cash row with no contra account.
        const QVariant cash = Conn.scalar("select AcCode from VouSetting where VouStatus = 'CP'");
        QVERIFY(!cash.isNull());
        QCOMPARE(
            Conn.scalar("select count(*) from DetJV where VouStatus in ('CP','CR') and CrAc is null and AcCode <> ?",
                        {cash})
                .toInt(),
            0);
        QCOMPARE(Conn.scalar("select count(*) from DetJV where VouStatus in ('CP','CR') and CrAc is null").toInt(),
                 Conn.scalar("select count(*) from MasJV where VouStatus in ('CP','CR')").toInt());
        // Opening balances agree.
        OpenRs("select sum(OpenBal) as Total from Accounts");
        Rs.moveFirst();
        QCOMPARE(Rs.money("Total"), Money(0));
    }
};

QTEST_GUILESS_MAIN(TstDataLayer)
#include "tst_datalayer.moc"
