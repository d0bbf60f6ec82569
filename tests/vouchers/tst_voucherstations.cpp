// The voucher store with two stations on one book: a number taken meanwhile, two saves of one
// kind at the same moment, a change of a voucher the other station deleted.
#include "voucherstoresuite.h"

#include <QMutex>
#include <latch>
#include <thread>

using qv::SaveResult;

class TstVoucherStations : public qvt::VoucherStoreSuite {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { openBook(); }
    void cleanup() { closeBook(); }

    void takenNumberIsRenumbered()
    {
        // This window proposed 1; another station saved its own 1 first.
        const qint64 proposed = store->nextNumber(K::CP, 1);
        qv::Connection other;
        db.connect(other);
        qv::VoucherStore(other).save(voucher(K::CP, proposed, {line(B, C, "9.99", "theirs")}, "OTHER"), true, "them");
        const QStringList theirs = detail(K::CP, 1) << master(K::CP, 1);

        const SaveResult r = store->save(voucher(K::CP, proposed, {line(A, C, "1.50", "mine")}, "MINE"), true, "me");
        QCOMPARE(int(r.outcome), int(SaveResult::Outcome::Renumbered));
        QCOMPARE(r.number, qint64(2));
        QCOMPARE(detail(K::CP, 1) << master(K::CP, 1), theirs);
        QCOMPARE(detail(K::CP, 2), QStringList({"1|A|C|1.50|0.00||mine|<null>|<null>|2025-09-14",
                                                "2|C|<null>|0.00|1.50|<null>|mine|<null>|<null>|2025-09-14"}));
        QCOMPARE(master(K::CP, 2), QString("2025-09-14|MINE|1.50|me|<null>"));
    }

    void twoStationsSaveTheSameKindAtOnce()
    {
        constexpr int rounds = 6;
        QMutex mutex;
        QStringList errors;
        QList<SaveResult> results;
        for (int round = 0; round < rounds; ++round) {
            std::latch start(2);
            auto station = [&](int who) {
                bool arrived = false;
                try {
                    qv::Connection c;
                    db.connect(c);
                    qv::VoucherStore s(c);
                    // Both propose the same number, then save at the same moment.
                    const qint64 no = s.nextNumber(K::JV, 1);
                    std::vector<VoucherLine> lines;
                    for (int i = 0; i < 10; ++i)
                        lines.push_back(line(who ? A : B, who ? B : A, "0.01", QString("station %1").arg(who)));
                    arrived = true;
                    start.arrive_and_wait();
                    const SaveResult r = s.save(voucher(K::JV, no, lines), true, QString("station%1").arg(who));
                    QMutexLocker lock(&mutex);
                    results << r;
                } catch (const qv::DbError& e) {
                    if (!arrived)
                        start.count_down(); // the other station must not wait for this one
                    QMutexLocker lock(&mutex);
                    errors << e.description();
                }
            };
            std::thread one(station, 0), two(station, 1);
            one.join();
            two.join();
        }
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(results.size(), 2 * rounds);
        QSet<qint64> numbers;
        int renumbered = 0;
        for (const SaveResult& r : results) {
            numbers << r.number;
            renumbered += r.outcome == SaveResult::Outcome::Renumbered;
            // Complete: the master with its total and all twenty rows of one station.
            QCOMPARE(master(K::JV, r.number).section('|', 2, 2), QString("0.10"));
            const QStringList rows = detail(K::JV, r.number);
            QCOMPARE(rows.size(), 20);
            QCOMPARE(conn->scalar("select count(distinct Naration) from DetJV where VouStatus = 'JV' and VouNo = ?",
                                  {r.number})
                         .toInt(),
                     1);
        }
        QCOMPARE(numbers.size(), 2 * rounds);
        QCOMPARE(renumbered, rounds); // each round, exactly one found its number taken
        QCOMPARE(conn->scalar("select count(*) from DetJV").toInt(), 2 * rounds * 20);
    }

    void changeOfAVoucherAnotherStationDeleted()
    {
        store->save(voucher(K::BR, 5, {line(K_, P, "250")}), true, "u");
        auto opened = store->open(K::BR, 5);
        qv::Connection other;
        db.connect(other);
        QVERIFY(qv::VoucherStore(other).remove(K::BR, 5));
        const QStringList before = tables();
        opened->lines.push_back(line(K_, A, "1"));
        const SaveResult r = store->save(*opened, false, "late");
        QCOMPARE(int(r.outcome), int(SaveResult::Outcome::Gone));
        QCOMPARE(tables(), before);
        QVERIFY(!conn->inTransaction());
        {
            // Within a caller's transaction, a gone voucher does not end that transaction.
            qv::Transaction outer(*conn);
            QCOMPARE(int(store->save(*opened, false, "late").outcome), int(SaveResult::Outcome::Gone));
            QVERIFY(conn->inTransaction());
            outer.commit();
        }
        QVERIFY(!store->remove(K::BR, 5));
        // Saved as a new voucher instead, it lands.
        QCOMPARE(int(store->save(*opened, true, "late").outcome), int(SaveResult::Outcome::Saved));
        QCOMPARE(detail(K::BR, 5).size(), 4);
    }
};

QTEST_MAIN(TstVoucherStations)
#include "tst_voucherstations.moc"
