// Nested transactions on the backend named by the environment: an inner level that fails
// rolls back to its savepoint and the outer level goes on; an outer rollback takes every
// inner level with it; a failed statement spoils its level until that level is rolled back.
#include "db/connection.h"
#include "db/retry.h"
#include "support/dbfixture.h"

class TstTransactions : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    qv::Connection c;

    void insert(const char* name)
    {
        c.execute("insert into Company (Company) values (?)", {QString::fromLatin1(name)});
    }
    // The names committed, as another connection sees them.
    QStringList committed()
    {
        qv::Connection other;
        db.connect(other);
        QStringList out;
        QSqlQuery q = other.query("select Company from Company order by Company");
        while (q.next())
            out << q.value(0).toString().trimmed();
        return out;
    }
    void failingStatement() { c.execute("insert into NoSuchTable (x) values (1)"); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        db = qvt::TestDb::create();
        db.connect(c);
    }
    void cleanup()
    {
        c.setStatementHook({});
        c.close();
        db.drop();
    }

    void innerFailureLeavesOuterGoing()
    {
        {
            qv::Transaction outer(c);
            insert("A");
            try {
                qv::Transaction inner(c);
                insert("B");
                throw std::runtime_error("inner work failed");
            } catch (const std::runtime_error&) {
            }
            QVERIFY(c.inTransaction());
            insert("C");
            // Nothing is visible to others before the outer commit.
            QCOMPARE(committed(), QStringList());
            outer.commit();
        }
        QVERIFY(!c.inTransaction());
        QCOMPARE(committed(), (QStringList{"A", "C"}));
    }

    void failedStatementTwoLevelsDown()
    {
        // A statement that really fails three levels in (PostgreSQL then refuses everything
        // until the rollback to the savepoint), a released middle level, and the outer goes on.
        {
            qv::Transaction outer(c);
            insert("A");
            {
                qv::Transaction middle(c);
                insert("B");
                try {
                    qv::Transaction inner(c);
                    insert("C");
                    failingStatement();
                    inner.commit();
                    QFAIL("the statement should have failed");
                } catch (const qv::DbError&) {
                }
                insert("D");
                middle.commit();
            }
            insert("E");
            outer.commit();
        }
        QCOMPARE(committed(), (QStringList{"A", "B", "D", "E"}));
    }

    void middleRollbackTakesCommittedInner()
    {
        {
            qv::Transaction outer(c);
            insert("A");
            try {
                qv::Transaction middle(c);
                insert("B");
                {
                    qv::Transaction inner(c);
                    insert("C");
                    inner.commit(); // released into the middle level, not committed
                }
                throw std::runtime_error("middle failed");
            } catch (const std::runtime_error&) {
            }
            insert("D");
            outer.commit();
        }
        QCOMPARE(committed(), (QStringList{"A", "D"}));
        // An outer rollback discards what inner levels committed.
        {
            qv::Transaction outer(c);
            insert("E");
            qv::Transaction inner(c);
            insert("F");
            inner.commit();
        }
        QCOMPARE(committed(), (QStringList{"A", "D"}));
        QVERIFY(!c.inTransaction());
    }

    void failedStatementSpoilsItsLevel()
    {
        // A failure caught inside one level must not let that level commit as if whole: on
        // PostgreSQL the commit of an aborted transaction would silently roll back.
        qv::Transaction tx(c);
        insert("A");
        QVERIFY_THROWS_EXCEPTION(qv::DbError, failingStatement());
        QVERIFY_THROWS_EXCEPTION(qv::DbError, tx.commit());
        QVERIFY(!c.inTransaction());
        QCOMPARE(committed(), QStringList());
        // An injected failure of the savepoint itself leaves the outer level failed too.
        qv::Transaction outer(c);
        insert("B");
        c.setStatementHook([](const QString& sql) {
            if (sql.startsWith(QLatin1String("SAVEPOINT"), Qt::CaseInsensitive))
                throw qv::DbError("injected failure");
        });
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::Transaction inner(c));
        c.setStatementHook({});
        QVERIFY_THROWS_EXCEPTION(qv::DbError, outer.commit());
        QCOMPARE(committed(), QStringList());
        // The connection is usable afterwards.
        qv::Transaction again(c);
        insert("C");
        again.commit();
        QCOMPARE(committed(), QStringList{"C"});
        QVERIFY_THROWS_EXCEPTION(qv::DbError, c.commit());
    }

    void keyRetriedAfterAUniqueViolation()
    {
        // The first number tried is taken: the plain insert fails on the unique key (on
        // PostgreSQL the transaction then refuses everything until the try's savepoint is rolled
        // back), and the next try goes in. The work around it is kept.
        c.execute("insert into MasJV (VouNo, VouStatus, TotalAmount) values (1, 'JV', 0)");
        int tries = 0;
        qv::Transaction outer(c);
        insert("BEFORE");
        const qint64 no = qv::withRetry(c, 3, "no number", [&] {
            const qint64 n = ++tries;
            c.execute("insert into MasJV (VouNo, VouStatus, TotalAmount) values (?, 'JV', 0)", {n});
            return n;
        });
        insert("AFTER");
        outer.commit();
        QCOMPARE(tries, 2);
        QCOMPARE(no, qint64(2));
        QCOMPARE(committed(), (QStringList{"AFTER", "BEFORE"}));
        QCOMPARE(c.scalar("select count(*) from MasJV where VouStatus = 'JV' and VouNo in (1, 2)").toInt(), 2);
    }

    void keyRetryGivesUpAndLeavesNothing()
    {
        int tries = 0;
        try {
            qv::withRetry(c, 3, "no free number", [&] {
                ++tries;
                c.execute("insert into MasJV (VouNo, VouStatus, TotalAmount) values (?, 'JV', 0)", {tries});
                throw qv::KeyTaken();
                return 0;
            });
            QFAIL("the retries should have run out");
        } catch (const qv::DbError& e) {
            QCOMPARE(e.description(), QString("no free number"));
        }
        QCOMPARE(tries, 3);
        QVERIFY(!c.inTransaction());
        QCOMPARE(c.scalar("select count(*) from MasJV").toInt(), 0);
        // Any other failure ends it at once.
        tries = 0;
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::withRetry(c, 3, "no free number", [&] {
                                     ++tries;
                                     failingStatement();
                                     return 0;
                                 }));
        QCOMPARE(tries, 1);
        QVERIFY(!c.inTransaction());
    }

    // Inner levels without savepoints take none, and one that fails spoils the whole level: its
    // commit saves nothing. The next transaction's inner levels take savepoints again.
    void innerLevelsWithoutSavepointsAreAllOrNothing()
    {
        QStringList statements;
        c.setStatementHook([&](const QString& sql) { statements << sql; });
        {
            qv::Transaction outer(c);
            c.innerLevelsWithoutSavepoints();
            insert("A");
            {
                qv::Transaction inner(c);
                insert("B");
                inner.commit();
            }
            try {
                qv::Transaction inner(c);
                insert("C");
                throw std::runtime_error("inner work failed");
            } catch (const std::runtime_error&) {
            }
            insert("D");
            QVERIFY_THROWS_EXCEPTION(qv::DbError, outer.commit());
        }
        c.setStatementHook({});
        QVERIFY(statements.filter("SAVEPOINT").isEmpty());
        QCOMPARE(committed(), QStringList());
        QVERIFY(!c.inTransaction());
        innerFailureLeavesOuterGoing();
    }

    // A lookup run again and again is prepared once on the embedded file; it must be finished
    // when read, however little of it was read, or the station would keep reading the book as
    // it was and never see another station's vouchers. On the embedded file, statements run
    // while its rows are read may fill the cache of prepared statements; the rows read on.
    void repeatedLookupLeavesNoSnapshotBehind()
    {
        for (const char* n : {"A", "B", "C"})
            insert(n);
        const QString lookup = "select Company from Company where Company >= ? order by Company";
        QStringList read;
        c.eachRow(lookup, {"A"}, [&](QSqlQuery& q) {
            QVERIFY(q.next());
            read << q.value(0).toString().trimmed();
            // (A server streams the rows: no other statement runs on it meanwhile.)
            for (int i = 0; c.backend() == qv::Backend::Sqlite && i < 70; ++i)
                c.execute(QString("update Company set Company = Company where Company = ? and %1 = %1").arg(i), {"Z"});
            while (q.next())
                read << q.value(0).toString().trimmed();
        });
        QCOMPARE(read, QStringList({"A", "B", "C"}));
        c.eachRow(lookup, {"A"}, [](QSqlQuery& q) { QVERIFY(q.next()); });
        {
            qv::Connection other;
            db.connect(other);
            other.execute("insert into Company (Company) values (?)", {QString("D")});
        }
        QCOMPARE(c.scalar("select count(*) from Company").toInt(), 4);
    }
};

QTEST_GUILESS_MAIN(TstTransactions)
#include "tst_transactions.moc"
