// Which voucher a change or a delete reaches, on both backends and with two real connections:
// a voucher deleted and numbered again under an open change, another kind's voucher of the same
// number, and the end of a kind's numbering.
#include "support/dbfixture.h"
#include "vouchers/voucherstore.h"

#include <limits>
#include <memory>

using qv::SaveResult;
using qv::Voucher;
using K = qv::VoucherKind;

class TstVoucherIdentity : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    std::unique_ptr<qv::Connection> a, b; // two stations on one book
    qint64 rent = 0, cash = 0, bank = 0;

    qint64 account(const QString& nodes, const QString& name)
    {
        return a->insertReturningKey("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                                     "values (?, ?, 'DD', '1.1', 1) returning RowID",
                                     {nodes, name});
    }
    Voucher voucher(K kind, qint64 number, const QString& party, qint64 cents)
    {
        Voucher v;
        v.kind = kind;
        v.number = number;
        v.date = QDate(2026, 3, 2);
        v.party = party;
        qv::VoucherLine l;
        const bool receive = kind == K::BR || kind == K::CR;
        l.drAc = receive ? (kind == K::BR ? bank : cash) : rent;
        l.crAc = receive ? rent : (kind == K::JV || kind == K::CP ? cash : bank);
        l.amount = qv::Money(cents);
        l.narration = party;
        v.lines.push_back(l);
        return v;
    }
    // Master and detail rows of one voucher, every column but the keys.
    QStringList stored(K kind, qint64 number)
    {
        QStringList out;
        const QString code = qv::voucherKind(kind).code;
        for (const char* sql : {"select RowID, PaidReceive, Login from MasJV where VouStatus = ? and VouNo = ?",
                                "select AcCode, CrAc, Naration from DetJV where VouStatus = ? and VouNo = ? "
                                "order by RowID"}) {
            QSqlQuery q = b->query(sql, {code, number});
            while (q.next())
                out << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}.join('|');
        }
        return out;
    }
    int count(const char* table) { return b->scalar(QString("select count(*) from %1").arg(table)).toInt(); }

    // Station A opens the highest journal voucher, JV-31; station B deletes it and saves a new
    // one, which takes the same number. `opened` is A's voucher, `theirs` B's as stored.
    void openedThenNumberedAgain(Voucher& opened, QStringList& theirs)
    {
        qv::VoucherStore stationA(*a), stationB(*b);
        stationB.save(voucher(K::JV, 30, "THIRTY", 100), true, "b");
        stationB.save(voucher(K::JV, 31, "FIRST 31", 200), true, "b");
        opened = *stationA.open(K::JV, stationA.nextNumber(K::JV, 1) - 1);
        QCOMPARE(opened.number, qint64(31));
        QVERIFY(stationB.remove(K::JV, 31));
        const qint64 again = stationB.nextNumber(K::JV, 1);
        QCOMPARE(again, qint64(31));
        stationB.save(voucher(K::JV, again, "SECOND 31", 300), true, "b");
        theirs = stored(K::JV, 31);
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        db = qvt::TestDb::create(false);
        a = std::make_unique<qv::Connection>();
        b = std::make_unique<qv::Connection>();
        db.connect(*a);
        db.connect(*b);
        rent = account("1.1.1", "OFFICE RENT");
        cash = account("1.1.2", "CASH IN HAND");
        bank = account("1.1.3", "HABIB BANK");
    }
    void cleanup()
    {
        a.reset();
        b.reset();
        db.drop();
    }

    // A's change then finds its voucher gone and writes nothing; saved as new, A's lines take
    // the next number.
    void changeOfAVoucherDeletedAndNumberedAgain()
    {
        Voucher opened;
        QStringList theirs;
        openedThenNumberedAgain(opened, theirs);
        if (QTest::currentTestFailed())
            return;
        qv::VoucherStore stationA(*a);
        opened.party = "A'S CHANGE";
        opened.lines.front().narration = "A'S CHANGE";
        QCOMPARE(int(stationA.save(opened, false, "a").outcome), int(SaveResult::Outcome::Gone));
        QCOMPARE(stored(K::JV, 31), theirs);
        QCOMPARE(count("MasJV"), 2);
        QCOMPARE(stationA.save(opened, true, "a").number, qint64(32));
        QCOMPARE(stored(K::JV, 31), theirs);
    }

    // A's delete of what it opened leaves B's voucher of that number.
    void deleteOfAVoucherDeletedAndNumberedAgain()
    {
        Voucher opened;
        QStringList theirs;
        openedThenNumberedAgain(opened, theirs);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!qv::VoucherStore(*a).remove(K::JV, 31, opened.rowId));
        QCOMPARE(stored(K::JV, 31), theirs);
    }

    // A delete reaches its own kind only: the other kinds' vouchers of that number stay whole.
    void deleteSparesTheOtherKindsOfTheNumber()
    {
        qv::VoucherStore store(*a);
        for (K kind : {K::JV, K::BP, K::CR})
            store.save(voucher(kind, 5, qv::voucherKind(kind).code, 500), true, "a");
        const QStringList bp = stored(K::BP, 5), cr = stored(K::CR, 5);
        QVERIFY(store.remove(K::JV, 5));
        QCOMPARE(stored(K::JV, 5), QStringList());
        QCOMPARE(stored(K::BP, 5), bp);
        QCOMPARE(stored(K::CR, 5), cr);
        QCOMPARE(bp.size(), 3);
    }

    // The largest number a voucher can have: no next number is computed past it, and a save
    // that must look for a free number says the kind's numbering is exhausted and writes nothing.
    void numberingOfAKindEnds()
    {
        constexpr qint64 last = std::numeric_limits<qint64>::max();
        qv::VoucherStore store(*a);
        QCOMPARE(store.save(voucher(K::CP, last, "LAST", 100), true, "a").number, last);
        try {
            store.nextNumber(K::CP, 1);
            QFAIL("a number past the largest was given");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains("numbering of the Cash Payment Vouchers is exhausted"),
                     qPrintable(e.description()));
            QVERIFY2(e.description().contains(QString("CP-%1").arg(last)), qPrintable(e.description()));
        }
        QVERIFY_THROWS_EXCEPTION(qv::DbError, store.save(voucher(K::CP, last, "TAKEN", 100), true, "a"));
        QCOMPARE(count("MasJV"), 1);
        QCOMPARE(count("DetJV"), 2);
        QVERIFY(!a->inTransaction());
        QCOMPARE(store.nextNumber(K::CR, 7), qint64(7)); // the other kinds go on
    }
};

QTEST_GUILESS_MAIN(TstVoucherIdentity)
#include "tst_voucheridentity.moc"
