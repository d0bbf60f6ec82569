#include "db/datasource.h"
#include "db/dberror.h"
#include "db/money.h"

#include <QTest>

using qv::Money;

class TstMoney : public QObject {
    Q_OBJECT
private slots:
    void formats_data()
    {
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("plain");
        QTest::newRow("zero") << qint64(0) << "0.00"
                              << "0.00";
        QTest::newRow("small") << qint64(5) << "0.05"
                               << "0.05";
        QTest::newRow("thousand") << qint64(123450) << "1,234.50"
                                  << "1234.50";
        QTest::newRow("million") << qint64(123456789012) << "1,234,567,890.12"
                                 << "1234567890.12";
        QTest::newRow("negative") << qint64(-100000) << "-1,000.00"
                                  << "-1000.00";
        // Below one unit the units are 0 and carry no sign of their own: the sign must not be lost.
        QTest::newRow("negative half") << qint64(-50) << "-0.50"
                                       << "-0.50";
        QTest::newRow("negative cent") << qint64(-1) << "-0.01"
                                       << "-0.01";
        QTest::newRow("negative just below one") << qint64(-99) << "-0.99"
                                                 << "-0.99";
        QTest::newRow("negative one") << qint64(-100) << "-1.00"
                                      << "-1.00";
        QTest::newRow("negative with cents") << qint64(-123456) << "-1,234.56"
                                             << "-1234.56";
        QTest::newRow("exact hundred") << qint64(100000000) << "1,000,000.00"
                                       << "1000000.00";
    }
    void formats()
    {
        QFETCH(qint64, cents);
        QFETCH(QString, display);
        QCOMPARE(qv::displayAmount(Money(cents)), display);
        QFETCH(QString, plain);
        QCOMPARE(qv::plainAmount(Money(cents)), plain);
        // What is written reads back to the same cents.
        QCOMPARE(qv::parseAmount(plain)->cents, cents);
        QCOMPARE(qv::parseAmount(qv::displayAmount(Money(cents)))->cents, cents);
    }
    void parsing()
    {
        QCOMPARE(qv::parseAmount("1234.5")->cents, 123450);
        QCOMPARE(qv::parseAmount(".5")->cents, 50);
        QCOMPARE(qv::parseAmount("12")->cents, 1200);
        QCOMPARE(qv::parseAmount("0.005")->cents, 1); // half a cent rounds away from zero
        QCOMPARE(qv::parseAmount("-0.005")->cents, -1);
        QVERIFY(!qv::parseAmount("").has_value());
        QVERIFY(!qv::parseAmount(".").has_value());
        QVERIFY(!qv::parseAmount("12a").has_value());
        QVERIFY(!qv::parseAmount("1.2.3").has_value());
        // At most what an amount column holds, rounding included.
        QCOMPARE(qv::parseAmount("9999999999999999.99")->cents, 999999999999999999LL);
        QVERIFY(!qv::parseAmount("9999999999999999.995").has_value());
        QVERIFY(!qv::parseAmount("99999999999999999").has_value());
        // Summing a million cents as integers stays exact where doubles drift.
        Money sum;
        for (int i = 0; i < 1000000; ++i)
            sum += *qv::parseAmount("0.10");
        QCOMPARE(sum.cents, 10000000);
    }
    // A comma only separates thousands: a decimal comma must never read as ten or a hundred
    // times the amount.
    void commasOnlySeparateThousands()
    {
        QCOMPARE(qv::parseAmount("1,500")->cents, 150000);
        QCOMPARE(qv::parseAmount("12,345,678.90")->cents, 1234567890);
        QCOMPARE(qv::parseAmount("-1,000.5")->cents, -100050);
        for (const char* bad : {"1,5", "1,50", "1,,2,,3", ",500", "1,500,", "1500,000", "12,34,567", "1,5000",
                                "1.500,00", "1,500.2,5", ","})
            QVERIFY2(!qv::parseAmount(bad).has_value(), bad);
        QVERIFY(!qv::amountProblem("1,5").isEmpty());
        QVERIFY(qv::amountProblem("1,500.50").isEmpty());
    }
    void sumsNeverWrap()
    {
        const qint64 top = std::numeric_limits<qint64>::max(), bottom = std::numeric_limits<qint64>::min();
        const Money huge(999999999999999999LL); // the largest an amount column holds
        Money sum;
        for (int i = 0; i < 9; ++i)
            sum += huge; // nine still fit
        QCOMPARE(sum.cents, 9 * huge.cents);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, sum += huge);
        QCOMPARE(sum.cents, 9 * huge.cents); // a failed sum changes nothing
        QVERIFY_THROWS_EXCEPTION(qv::DbError, Money(top) + Money(1));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, Money(bottom) - Money(1));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, Money(-1) - Money(top) - Money(2));
        Money down(bottom + 1);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, down -= Money(2));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, Money::fromUnits(top / 10));
        QCOMPARE((Money(top) - Money(1) + Money(1)).cents, top);
        try {
            sum += huge;
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains("too large to be represented"), qPrintable(e.description()));
        }
        // The extremes still print: no negation of the smallest value.
        QCOMPARE(qv::plainAmount(Money(bottom)), QString("-92233720368547758.08"));
        QCOMPARE(qv::displayAmount(Money(bottom)), QString("-92,233,720,368,547,758.08"));
    }
    void storedValuesBeyondRangeAreErrors()
    {
        // PostgreSQL's sum of NUMERIC(18,2) has more digits than a Money holds: never a wrong figure.
        QCOMPARE(qv::moneyFromVariant(QVariant("92233720368547758.07"), false)->cents,
                 std::numeric_limits<qint64>::max());
        QCOMPARE(qv::moneyFromVariant(QVariant("-9999999999999999.99"), false)->cents, -999999999999999999LL);
        QCOMPARE(qv::moneyFromVariant(QVariant("12.5"), false)->cents, 1250);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::moneyFromVariant(QVariant("92233720368547758.08"), false));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::moneyFromVariant(QVariant("99999999999999999999.99"), false));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::moneyFromVariant(QVariant(1e19), true));
        QVERIFY(!qv::moneyFromVariant(QVariant(), true).has_value());
        QVERIFY(!qv::moneyFromVariant(QVariant("abc"), false).has_value());
    }
    void dataSources()
    {
        using qv::Backend;
        QCOMPARE(qv::DataSource::parse(".", "Fendral").backend, Backend::Sqlite);
        QVERIFY(qv::DataSource::parse("", "Fendral").filePath.endsWith("Fendral.sqlite"));
        QCOMPARE(qv::DataSource::parse("/tmp/a.db", "Fendral").filePath, QString("/tmp/a.db"));
        QCOMPARE(qv::DataSource::parse("books.sqlite", "Fendral").backend, Backend::Sqlite);
        const auto pg = qv::DataSource::parse("dbhost:5433", "Fendral");
        QCOMPARE(pg.backend, Backend::Postgres);
        QCOMPARE(pg.host, QString("dbhost"));
        QCOMPARE(pg.port, 5433);
        QCOMPARE(qv::DataSource::parse("dbhost", "Fendral").port, 5432);
    }
};

QTEST_GUILESS_MAIN(TstMoney)
#include "tst_money.moc"
