// The month sums (AcMonthSums) equal what the rows give after every kind of write, on either
// backend: the voucher store's saves, changes and deletes and a login's own SQL on DetJV. The
// admin tool's check names a planted difference and --repair mends it; the upgrade builds the
// sums of an older book.
#include "db/adminrun.h"
#include "db/monthsums.h"
#include "db/schema.h"
#include "reports/openings.h"
#include "reports/periodsums.h"
#include "vouchers/voucherstore.h"

#include <QRandomGenerator>
#include <QSqlQuery>

class TstMonthSums : public QObject {
    Q_OBJECT
    qvt::TestDb b;
    QRandomGenerator rng{20261208};

    QList<qint64> accounts(qv::Connection& c)
    {
        QList<qint64> out;
        QSqlQuery q = c.query("select RowID from Accounts where AcStatus = 'DD' order by RowID");
        while (q.next())
            out << q.value(0).toLongLong();
        return out;
    }
    qv::Voucher randomVoucher(const QList<qint64>& acs, qint64 number)
    {
        qv::Voucher v;
        v.kind = qv::VoucherKind::JV;
        v.number = number;
        v.date = QDate(2025, 11, 1).addDays(rng.bounded(120));
        for (int i = 0, n = 1 + rng.bounded(4); i < n; ++i) {
            qv::VoucherLine l;
            l.drAc = acs[rng.bounded(int(acs.size()))];
            do
                l.crAc = acs[rng.bounded(int(acs.size()))];
            while (l.crAc == l.drAc);
            l.amount = qv::Money(1 + rng.bounded(1'000'000));
            l.narration = "line";
            v.lines.push_back(l);
        }
        return v;
    }
    QStringList differences(qv::Connection& c) { return qv::MonthSums::differences(c); }
    QStringList adminOptions() const
    {
        if (!qvt::isPg())
            return {};
        return {"--admin-user", qEnvironmentVariable("QUORAVEL_TEST_PG_USER"), "--admin-password",
                qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD")};
    }

private slots:
    void initTestCase()
    {
        QVT_REQUIRE_BACKEND();
        qvt::initTestEnvironment();
    }
    void init() { b = qvt::TestDb::create(true); }
    void cleanup() { b.drop(); }

    void sumsEqualTheRowsAfterEveryKindOfWrite()
    {
        qv::Connection c;
        b.connect(c);
        QVERIFY2(differences(c).isEmpty(), qPrintable(differences(c).join('\n')));
        QVERIFY(c.scalar("select count(*) from AcMonthSums").toInt() > 0); // the demo's vouchers
        const QList<qint64> acs = accounts(c);
        qv::VoucherStore store(c);
        QList<QPair<qint64, qint64>> saved; // number, identity
        for (int i = 0; i < 120; ++i) {
            const int op = rng.bounded(9);
            const qint64 ac = acs[rng.bounded(int(acs.size()))];
            const QString day = QDate(2025, 10, 15).addDays(rng.bounded(150)).toString(Qt::ISODate);
            if (op <= 2 || saved.isEmpty()) {
                const qint64 no = store.nextNumber(qv::VoucherKind::JV, 1);
                const qv::SaveResult r = store.save(randomVoucher(acs, no), true, "tester");
                saved.append({r.number, r.rowId});
            } else if (op == 3) {
                const auto [no, id] = saved[rng.bounded(int(saved.size()))];
                qv::Voucher v = randomVoucher(acs, no);
                v.rowId = id;
                store.save(v, false, "tester");
            } else if (op == 4) {
                const auto [no, id] = saved.takeAt(rng.bounded(int(saved.size())));
                store.remove(qv::VoucherKind::JV, no, id);
            } else if (op == 5) { // a login's own SQL: a row without its voucher, one with no date
                c.execute("insert into DetJV (VouNo, VouStatus, VouDate, AcCode, DrAmt, CrAmt) values (?, 'XX', ?, ?, "
                          "?, null)",
                          {i, rng.bounded(4) ? QVariant(day) : QVariant(QMetaType::fromType<QString>()), ac,
                           rng.bounded(100000)});
            } else if (op == 6) {
                c.execute("update DetJV set DrAmt = DrAmt + 7, CrAmt = CrAmt * 2 where VouNo % 5 = ?",
                          {rng.bounded(5)});
            } else if (op == 7) {
                c.execute("update DetJV set AcCode = ?, VouDate = ? where RowID in (select RowID from DetJV "
                          "where VouNo % 7 = ?)",
                          {ac, day, rng.bounded(7)});
            } else {
                c.execute("delete from DetJV where RowID in (select RowID from DetJV where VouNo % 11 = ? and "
                          "VouStatus = 'XX')",
                          {rng.bounded(11)});
            }
            c.execute("update DetJV set Naration = 'changed' where RowID = (select max(RowID) from DetJV)");
        }
        if (!qvt::isPg()) // only raw SQL on the file stores a date that is none
            c.execute("insert into DetJV (VouNo, VouStatus, VouDate, AcCode, DrAmt) values (1, 'XX', '2026-02-30', "
                      "?, 5), (2, 'XX', '2026-03', ?, 6), (3, 'XX', 20260301, ?, 7)",
                      {acs[0], acs[0], acs[0]});
        QVERIFY2(differences(c).isEmpty(), qPrintable(differences(c).join('\n')));
        c.execute("delete from DetJV");
        QVERIFY2(differences(c).isEmpty(), qPrintable(differences(c).join('\n')));
        if (qvt::isPg()) // a login reads the sums but cannot write them
            QVERIFY(qvt::refused(c, "update AcMonthSums set DrSum = 0"));
    }

    // Ranges read from the sums give the rows' own figures: ranges that start or end on the first
    // or last day of a month, a single day, a range inside one month, dates before the first row.
    void rangesFromTheSumsGiveTheRowsFigures()
    {
        qv::Connection c;
        b.connect(c);
        const QList<qint64> acs = accounts(c);
        for (int i = 0; i < 300; ++i)
            c.execute(
                "insert into DetJV (VouNo, VouStatus, VouDate, AcCode, DrAmt, CrAmt) values (?, 'XX', ?, ?, ?, ?)",
                {i, QDate(2025, 12, 28).addDays(rng.bounded(100)), acs[rng.bounded(3)], rng.bounded(1000),
                 rng.bounded(1000)});
        if (!qvt::isPg())
            c.execute("insert into DetJV (VouNo, VouStatus, VouDate, AcCode, DrAmt) values (1, 'XX', '2026-02-30', ?, "
                      "5), (2, 'XX', '2026-03', ?, 6), (3, 'XX', 20260301, ?, 7)",
                      {acs[0], acs[0], acs[0]});
        QList<QDate> days{QDate(1999, 1, 1), QDate(2025, 12, 1), QDate(9999, 12, 31)};
        for (QDate d(2025, 12, 30); d < QDate(2026, 4, 3); d = d.addDays(1))
            if (d.day() <= 2 || d.day() >= d.daysInMonth() - 1 || d.day() == 15)
                days << d;
        qv::rpt::PeriodSums sums(c);
        qv::rpt::OpeningBalances openings(c);
        for (int k = 0; k < 3; ++k) {
            const qint64 ac = acs[k];
            auto rows = [&](const QString& where, const QVariantList& p) {
                QSqlQuery q =
                    c.query("select sum(DrAmt), sum(CrAmt), count(*) from DetJV where AcCode = ? and " + where,
                            QVariantList{ac} + p);
                q.next();
                return QString("%1/%2/%3")
                    .arg(c.moneyOrZero(q.value(0)).cents)
                    .arg(c.moneyOrZero(q.value(1)).cents)
                    .arg(q.value(2).toLongLong());
            };
            auto shown = [](const qv::rpt::PeriodTotals& t) {
                return QString("%1/%2/%3").arg(t.dr.cents).arg(t.cr.cents).arg(t.rows);
            };
            const qv::Money open = openings.of(ac, QDate());
            for (const QDate& from : days) {
                const QString where = QString("account %1 before %2").arg(ac).arg(from.toString(Qt::ISODate));
                QCOMPARE(shown(sums.before(ac, from)), rows("VouDate < ?", {from}));
                const qv::rpt::PeriodTotals t = sums.before(ac, from);
                QVERIFY2(openings.of(ac, from) == open + t.dr - t.cr, qPrintable(where));
                QCOMPARE(shown(sums.allBefore(from).value(ac)), rows("VouDate < ?", {from}));
                for (const QDate& to : days) {
                    const QString expected = rows("VouDate >= ? and VouDate <= ?", {from, to});
                    const QString range = QString("account %1 from %2 to %3")
                                              .arg(ac)
                                              .arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
                    QVERIFY2(shown(sums.between(ac, from, to)) == expected, qPrintable(range));
                    QVERIFY2(shown(sums.allBetween(from, to).value(ac)) == expected, qPrintable(range));
                }
            }
        }
    }

    void checkNamesAPlantedDifferenceAndRepairMendsIt()
    {
        {
            qv::Connection admin;
            b.connectAdmin(admin);
            admin.execute("update AcMonthSums set DrSum = DrSum + 1 where (AcCode, Month) = (select AcCode, Month "
                          "from AcMonthSums order by AcCode, Month limit 1)");
        }
        const qvt::Run found = qvt::runAdmin(QStringList{"check"} + qvt::target(b));
        QCOMPARE(found.code, 3);
        QVERIFY2(found.out.contains("month-sums: 1 finding") && found.out.contains("the sums hold debits"),
                 qPrintable(found.out));
        const qvt::Run repaired = qvt::runAdmin(QStringList{"check", "--repair"} + qvt::target(b) + adminOptions());
        QVERIFY2(repaired.code == 0 && repaired.out.contains("Rewrote the month sums"),
                 qPrintable(repaired.out + repaired.err));
        const qvt::Run clean = qvt::runAdmin(QStringList{"check"} + qvt::target(b));
        QVERIFY2(clean.code == 0, qPrintable(clean.out + clean.err));
    }

    void upgradeBuildsTheSumsOfAnOlderBook()
    {
        b.makeOlder(qv::Schema::MonthSumsFrom - 1);
        {
            qv::Connection admin;
            b.connectAdmin(admin);
            QVERIFY(!qv::MonthSums::exists(admin));
        }
        const qvt::Run up =
            qvt::runAdmin(QStringList{"upgrade", "--server", b.dataSource, "--catalog", b.catalog} + adminOptions());
        QVERIFY2(up.code == 0, qPrintable(up.out + up.err));
        qv::Connection c;
        b.connect(c); // the schema check at open knows the new objects
        QVERIFY(c.scalar("select count(*) from AcMonthSums").toInt() > 0);
        QVERIFY2(differences(c).isEmpty(), qPrintable(differences(c).join('\n')));
        const QList<qint64> acs = accounts(c);
        qv::VoucherStore(c).save(randomVoucher(acs, 900), true, "tester"); // the triggers work
        QVERIFY2(differences(c).isEmpty(), qPrintable(differences(c).join('\n')));
    }
};

QTEST_GUILESS_MAIN(TstMonthSums)
#include "tst_monthsums.moc"
