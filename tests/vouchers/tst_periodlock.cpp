// The locked period on both backends: every path that writes vouchers (the store, Remove Data,
// SQL typed by a login) leaves a voucher dated on or before the locked date as it was; moving
// the date is a manager's, and reopening needs a reason.
#include "admin/removedata.h"
#include "db/logins.h"
#include "db/schema.h"
#include "support/adminrun.h"
#include "support/dbfixture.h"
#include "vouchers/periodlock.h"
#include "vouchers/voucherstore.h"

#include <QSqlRecord>

#include <memory>

using qv::Voucher;
using K = qv::VoucherKind;

namespace {
const QDate LockDate(2026, 1, 31);
} // namespace

class TstPeriodLock : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    std::unique_ptr<qv::Connection> c;
    qint64 rent = 0, cash = 0, inJanuary = 0;
    int clerks = 0;

    qint64 account(const QString& nodes, const QString& name)
    {
        return c->insertReturningKey("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                                     "values (?, ?, 'DD', '1.1', 1) returning RowID",
                                     {nodes, name});
    }
    Voucher voucher(qint64 number, const QDate& date, qint64 cents = 500)
    {
        Voucher v;
        v.kind = K::JV;
        v.number = number;
        v.date = date;
        v.party = "RENT";
        qv::VoucherLine l;
        l.drAc = rent;
        l.crAc = cash;
        l.amount = qv::Money(cents);
        v.lines.push_back(l);
        return v;
    }
    // Every voucher row of the book, as text.
    QStringList book()
    {
        QStringList out;
        for (const char* sql : {"select RowID, VouNo, VouDate, TotalAmount from MasJV order by RowID",
                                "select RowID, VouNo, VouDate, DrAmt, CrAmt from DetJV order by RowID"}) {
            QSqlQuery q = c->query(sql);
            while (q.next()) {
                QStringList row;
                for (int i = 0; i < q.record().count(); ++i)
                    row << q.value(i).toString();
                out << row.join('|');
            }
        }
        return out;
    }
    // `write` is refused with the message naming the locked date, and the book is as it was.
    void refusedByLock(const std::function<void()>& write)
    {
        const QStringList before = book();
        try {
            write();
            QFAIL("the write was not refused");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains("locked up to 31-01-2026"), qPrintable(e.description()));
        }
        QCOMPARE(book(), before);
    }
    bool refused(const QString& sql, const QVariantList& params = {})
    {
        try {
            c->execute(sql, params);
            return false;
        } catch (const qv::DbError&) {
            return true;
        }
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
        c = std::make_unique<qv::Connection>();
        db.connect(*c);
        rent = account("1.1.1", "OFFICE RENT");
        cash = account("1.1.2", "CASH IN HAND");
        qv::VoucherStore store(*c);
        inJanuary = store.save(voucher(1, QDate(2026, 1, 10)), true, db.user).rowId;
        store.save(voucher(2, QDate(2026, 3, 2)), true, db.user);
        qv::PeriodLock(*c).move(LockDate, {}, db.user);
    }
    void cleanup()
    {
        c.reset();
        db.drop();
    }

    void theStoreRefusesEveryChangeInTheLockedPeriod()
    {
        qv::VoucherStore store(*c);
        refusedByLock([&] { store.save(voucher(3, LockDate), true, db.user); });
        Voucher january = *store.open(K::JV, 1);
        january.lines.front().amount = qv::Money(700);
        refusedByLock([&] { store.save(january, false, db.user); });
        january.date = QDate(2026, 2, 1); // moved out of the locked period: still a change of it
        refusedByLock([&] { store.save(january, false, db.user); });
        Voucher march = *store.open(K::JV, 2);
        march.date = LockDate;
        refusedByLock([&] { store.save(march, false, db.user); });
        refusedByLock([&] { store.remove(K::JV, 1, inJanuary); });
        refusedByLock([&] { store.remove(K::JV, 1); });
        // After the date everything goes on as before.
        march.date = QDate(2026, 2, 1);
        QCOMPARE(int(store.save(march, false, db.user).outcome), int(qv::SaveResult::Outcome::Saved));
        QCOMPARE(store.save(voucher(3, QDate(2026, 2, 1)), true, db.user).number, qint64(3));
        QVERIFY(store.remove(K::JV, 3));
    }

    void removeDataRefusesARangeReachingIntoTheLockedPeriod()
    {
        qv::RemoveData rd(*c);
        qv::RemovalChoice all;
        all.vouchers = true;
        all.from = QDate(2026, 1, 1);
        all.to = QDate(2026, 12, 31);
        const qv::RemovalCounts n = rd.count(all);
        refusedByLock([&] { rd.remove(all, n); });
        qv::RemovalChoice after = all;
        after.from = LockDate.addDays(1);
        QCOMPARE(rd.remove(after, rd.count(after)).vouchers, 1);
    }

    // Whatever a login types, the database keeps the locked rows.
    void theDatabaseRefusesRawWritesInTheLockedPeriod()
    {
        const QStringList before = book();
        QVERIFY(
            refused("insert into MasJV (VouNo, VouStatus, VouDate, TotalAmount) values (9, 'JV', ?, 100)", {LockDate}));
        QVERIFY(refused("insert into DetJV (VouNo, VouStatus, VouDate, AcCode, DrAmt) values (9, 'JV', ?, ?, 100)",
                        {QDate(2025, 6, 1), rent}));
        QVERIFY(refused("update MasJV set TotalAmount = 1 where VouNo = 1"));
        QVERIFY(refused("update DetJV set VouDate = ? where VouNo = 2", {LockDate}));
        QVERIFY(refused("delete from DetJV where VouNo = 1"));
        QVERIFY(refused("delete from MasJV"));
        QCOMPARE(book(), before);
        QVERIFY(!refused("update DetJV set Naration = 'LATER' where VouNo = 2"));
        if (qvt::backend() == qv::Backend::Postgres) {
            // Nor may it move the lock or switch the guard off but through the managers' function.
            for (const char* sql :
                 {"update PeriodLock set LockedUpTo = null", "delete from PeriodLock",
                  "insert into PeriodLock (LockedUpTo) values (null)",
                  "alter table MasJV disable trigger qv_masjv_locked", "drop trigger qv_detjv_locked on DetJV"})
                QVERIFY2(refused(sql), sql);
            QCOMPARE(qv::PeriodLock(*c).lockedUpTo(), std::optional<QDate>(LockDate));
        }
    }

    void movingTheDate()
    {
        qv::PeriodLock lock(*c);
        QCOMPARE(lock.reportLine(QDate(2026, 1, 1)), QString("Period locked up to 31-01-2026"));
        QCOMPARE(lock.reportLine(QDate(2026, 2, 1)), QString());
        lock.move(QDate(2026, 2, 28), {}, db.user); // forward: no reason asked
        for (const std::optional<QDate>& back : {std::optional<QDate>(LockDate), std::optional<QDate>()}) {
            try {
                lock.move(back, "  ", db.user);
                QFAIL("reopened without a reason");
            } catch (const qv::DbError& e) {
                QVERIFY(e.description().contains("needs a reason"));
            }
        }
        lock.move(std::nullopt, "A bill of January came late", db.user);
        QCOMPARE(lock.lockedUpTo(), std::nullopt);
        const std::vector<qv::PeriodLockMove> moves = lock.history();
        QCOMPARE(int(moves.size()), 3);
        QCOMPARE(moves[0].reason, QString("A bill of January came late"));
        QCOMPARE(moves[0].by, db.user);
        QVERIFY(!moves[0].until.isValid());
        QCOMPARE(moves[1].until, QDate(2026, 2, 28));
        qv::VoucherStore(*c).save(voucher(3, LockDate), true, db.user);

        // Another login may not move it.
        const QString clerkName = QString("clerk%1_%2").arg(QCoreApplication::applicationPid()).arg(++clerks);
        qv::Logins::add(*c, clerkName, "clerk pass 1", qv::Logins::HashCost::Minimal);
        qvt::TestDb asClerk = db;
        asClerk.user = clerkName;
        asClerk.password = "clerk pass 1";
        qv::Connection clerk;
        asClerk.connect(clerk);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::PeriodLock(clerk).move(LockDate, {}, clerkName));
        QCOMPARE(lock.lockedUpTo(), std::nullopt);
    }

    void theCommandLineMovesTheDate()
    {
        const QStringList who = {"--server", db.dataSource, "--catalog",  db.catalog,
                                 "--user",   db.user,       "--password", db.password};
        qvt::AdminRun r = qvt::runAdmin(QStringList{"lock-period", "--until", "28-02-2026"} + who);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(qv::PeriodLock(*c).lockedUpTo(), std::optional<QDate>(QDate(2026, 2, 28)));
        r = qvt::runAdmin(QStringList{"lock-period", "--clear"} + who);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("needs a reason"), qPrintable(r.err));
        r = qvt::runAdmin(QStringList{"lock-period", "--clear", "--reason", "Audit adjustments"} + who);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(qv::PeriodLock(*c).lockedUpTo(), std::nullopt);
        QCOMPARE(qvt::runAdmin(QStringList{"lock-period", "--until", "31-02-2026"} + who).code, 2);
    }

    // A book of the version before gets the lock, empty, with its guards.
    void upgradeBringsTheLock()
    {
        c.reset();
        db.makeOlder(qv::Schema::PeriodLockFrom - 1);
        {
            qv::Connection admin;
            db.connectAdmin(admin);
            qv::Schema::migrate(admin);
        }
        c = std::make_unique<qv::Connection>();
        db.connect(*c);
        QCOMPARE(qv::PeriodLock(*c).lockedUpTo(), std::nullopt);
        qv::PeriodLock(*c).move(LockDate, {}, db.user);
        QVERIFY(refused("delete from MasJV where VouNo = 1"));
    }
};

QTEST_GUILESS_MAIN(TstPeriodLock)
#include "tst_periodlock.moc"
