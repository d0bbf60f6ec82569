// Stations adding accounts under one head at the same moment: each waits its turn, none is
// told that no free code was found, and the codes come out without gaps or repeats.
#include "masters/accountstore.h"
#include "support/dbfixture.h"

#include <QSet>
#include <atomic>
#include <thread>

class TstHeadContention : public QObject {
    Q_OBJECT
    qvt::TestDb db;

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        db = qvt::TestDb::create();
    }
    void cleanupTestCase() { db.drop(); }

    void stationsUnderOneHeadAllSave()
    {
        qv::Connection c;
        db.connect(c);
        qv::AccountStore store(c);
        const qint64 control = store.addControl("CONTENDED", "").rowId;
        const auto head = store.addSubControl(control, "ONE HEAD");
        QVERIFY(head);
        const int stations = 6, perStation = 40;
        std::atomic<int> failed{0};
        QStringList errors;
        std::mutex errorsLock;
        std::vector<std::thread> threads;
        for (int s = 0; s < stations; ++s)
            threads.emplace_back([&, s] {
                try {
                    qv::Connection mine;
                    db.connect(mine);
                    qv::AccountStore st(mine);
                    for (int i = 0; i < perStation; ++i) {
                        qv::SubsidiaryInput in;
                        in.title = QString("STATION %1 ACCOUNT %2").arg(s).arg(i);
                        in.openDate = QDate(2025, 7, 1);
                        try {
                            if (!st.addSubsidiary(head->rowId, in))
                                ++failed;
                        } catch (const qv::DbError& e) {
                            ++failed;
                            std::lock_guard g(errorsLock);
                            errors << e.description();
                        }
                    }
                } catch (const qv::DbError& e) {
                    ++failed;
                    std::lock_guard g(errorsLock);
                    errors << e.description();
                }
            });
        for (auto& t : threads)
            t.join();
        errors.removeDuplicates();
        QVERIFY2(failed == 0, qPrintable(QString("%1 saves failed: %2").arg(failed.load()).arg(errors.join(" | "))));
        QSqlQuery q = c.query("select Dcode from Accounts where ParentID = ? order by Dcode", {head->code});
        QSet<int> seen;
        while (q.next())
            seen << q.value(0).toInt();
        QCOMPARE(seen.size(), stations * perStation);
        for (int d = 1; d <= stations * perStation; ++d)
            QVERIFY2(seen.contains(d), qPrintable(QString::number(d)));
    }
};

QTEST_GUILESS_MAIN(TstHeadContention)
#include "tst_headcontention.moc"
