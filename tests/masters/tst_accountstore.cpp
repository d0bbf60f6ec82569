// The account store on both backends: codes of the three levels and their text order, reuse of
// a freed highest number, the refusals of deletion, the title test, the writes of each level,
// the search, and two stations working under one head at the same moment.
#include "masters/accountcodes.h"
#include "masters/accountstore.h"
#include "support/dbfixture.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QSqlDriver>
#include <QThread>
#include <QSet>
#include <atomic>
#include <memory>
#include <sqlite3.h>
#include <thread>

using qv::AccountStore;
using qv::DeleteCheck;

// The embedded file's lock: SQLite calls the busy handler of a connection that finds the file
// locked by another; this one records that and goes on waiting, as the busy timeout would.
struct LockWait {
    std::atomic<bool> blocked{false};
    std::atomic<bool> gaveUp{false};
};

int onBusy(void* p, int tries)
{
    auto* w = static_cast<LockWait*>(p);
    w->blocked = true;
    if (tries > 20000) {
        w->gaveUp = true;
        return 0;
    }
    QThread::usleep(500);
    return 1;
}

void watchBusy(qv::Connection& c, LockWait* w)
{
    const QVariant h = c.database().driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        throw qv::DbError("the embedded connection has no SQLite handle");
    sqlite3_busy_handler(*static_cast<sqlite3* const*>(h.constData()), onBusy, w);
}

class TstAccountStore : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    std::unique_ptr<qv::Connection> conn;
    std::unique_ptr<AccountStore> store;

    // One column of one account, as text ("<null>" for null).
    QString col(qint64 id, const QString& column)
    {
        qv::RecordSet rs;
        rs.open("select * from Accounts where RowID = ?", *conn, {id});
        if (rs.recordCount() == 0)
            return "<gone>";
        rs.moveFirst();
        return rs.isNull(column) ? "<null>" : rs.text(column);
    }
    qint64 count(const QString& where = "1=1", const QVariantList& params = {})
    {
        return conn->scalar("select count(*) from Accounts where " + where, params).toLongLong();
    }
    qv::SubsidiaryInput detail(const QString& title)
    {
        qv::SubsidiaryInput in;
        in.title = title;
        in.openDate = QDate(2025, 7, 1);
        return in;
    }
    // True once the other station waits for a lock this one holds: on SQLite its busy handler
    // ran; on PostgreSQL its backend has a lock not granted. False after 30 s without.
    bool waitUntilBlocked(const LockWait& w, const std::atomic<qint64>& pid)
    {
        std::unique_ptr<qv::Connection> watch;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000 && !w.gaveUp) {
            if (qvt::backend() == qv::Backend::Sqlite) {
                if (w.blocked)
                    return true;
            } else if (pid > 0) {
                if (!watch) {
                    watch = std::make_unique<qv::Connection>();
                    db.connect(*watch);
                }
                if (watch->scalar("select count(*) from pg_locks where pid = ? and not granted", {pid.load()}).toInt()
                    > 0)
                    return true;
            }
            QThread::msleep(2);
        }
        return false;
    }
    QList<qint64> controls(int n)
    {
        QList<qint64> ids;
        for (int i = 1; i <= n; ++i)
            ids << store->addControl(QString("CONTROL %1").arg(i), "").rowId;
        return ids;
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
        conn = std::make_unique<qv::Connection>();
        db.connect(*conn);
        store = std::make_unique<AccountStore>(*conn);
    }
    void cleanup()
    {
        store.reset();
        conn.reset();
        db.drop();
    }

    void codesOfTheThreeLevels()
    {
        QVERIFY(store->treeRows().empty());
        const auto assets = store->addControl("ASSETS", "");
        QCOMPARE(assets.code, QString("1"));
        QCOMPARE(col(assets.rowId, "ParentID") + col(assets.rowId, "AcNodes") + col(assets.rowId, "Dcode"),
                 QString("110"));
        QCOMPARE(col(assets.rowId, "AcStatus"), QString("HH"));
        QCOMPARE(col(assets.rowId, "OrderStatus"), QString("<null>"));
        QCOMPARE(col(assets.rowId, "DeleteStatus"), QString("N"));
        const auto liab = store->addControl("LIABILITIES", "7");
        QCOMPARE(liab.code, QString("2"));
        QCOMPARE(col(liab.rowId, "OrderStatus"), QString("7"));

        const auto cash = store->addSubControl(assets.rowId, "CASH AND BANK");
        QCOMPARE(col(cash->rowId, "AcNodes") + "|" + col(cash->rowId, "ParentID") + "|" + col(cash->rowId, "Dcode")
                     + "|" + col(cash->rowId, "AcStatus"),
                 QString("1.1|1|1|HD"));

        qv::SubsidiaryInput in = detail("HABIB BANK");
        in.fields = {{"ContactPer", "ALI"}, {"Addr", ""}, {"OpenBal", "-1234.5"}};
        in.gst = "12-34-5678-901-23";
        in.bStatus = "B";
        const auto bank = store->addSubsidiary(cash->rowId, in);
        QCOMPARE(col(bank->rowId, "AcNodes") + "|" + col(bank->rowId, "ParentID") + "|" + col(bank->rowId, "Dcode")
                     + "|" + col(bank->rowId, "AcStatus"),
                 QString("1.1.1|1.1|1|DD"));
        QCOMPARE(col(bank->rowId, "openDate"), QString("2025-07-01"));
        QCOMPARE(col(bank->rowId, "ContactPer"), QString("ALI"));
        QCOMPARE(col(bank->rowId, "Addr"), QString("<null>")); // an empty box is stored as null
        QCOMPARE(col(bank->rowId, "OpenBal"), QString("-1234.50"));
        QCOMPARE(col(bank->rowId, "GST"), QString("12-34-5678-901-23"));
        QCOMPARE(col(bank->rowId, "NTN"), QString("<null>")); // not fully typed: not written
        QCOMPARE(col(bank->rowId, "BStatus"), QString("B"));

        // A head of the wrong level, or one that is gone, takes no account; a rename or an
        // update touches its own level only; no entry box may move an account.
        QVERIFY(!store->addSubControl(cash->rowId, "WRONG LEVEL"));
        QVERIFY(!store->addSubsidiary(assets.rowId, detail("WRONG LEVEL")));
        QVERIFY(!store->addSubControl(999999, "NO HEAD"));
        QVERIFY(!store->renameControl(cash->rowId, "X", ""));
        QVERIFY(!store->renameSubControl(bank->rowId, "X"));
        QVERIFY(!store->updateSubsidiary(cash->rowId, detail("X")));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, store->renameControl(assets.rowId, "ASSETS", "1a"));
        qv::SubsidiaryInput moved = detail("MOVED");
        moved.fields = {{"AcNodes", "9.9.9"}};
        QVERIFY_THROWS_EXCEPTION(qv::DbError, store->updateSubsidiary(bank->rowId, moved));
        QCOMPARE(col(bank->rowId, "AcName") + "|" + col(bank->rowId, "AcNodes"), QString("HABIB BANK|1.1.1"));
        QCOMPARE(count(), qint64(4));
    }

    void textOrderOfCodes()
    {
        const QList<qint64> heads = controls(10);
        qint64 first = 0;
        for (int i = 1; i <= 10; ++i) {
            const auto sub = store->addSubControl(heads[0], QString("SUB %1").arg(i));
            QCOMPARE(sub->code, QString("1.%1").arg(i));
            first = first ? first : sub->rowId;
        }
        QCOMPARE(store->addSubsidiary(first, detail("LEAF"))->code, QString("1.1.1"));
        // A row of another status is never part of the tree.
        conn->execute(
            "insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('0', 'OLD', 'XX', '0', 0)");
        QStringList codes;
        for (const qv::AccountNode& n : store->treeRows())
            codes << n.code;
        QCOMPARE(codes, QStringList({"1",   "1.1", "1.1.1", "1.10", "1.2", "1.3", "1.4", "1.5", "1.6", "1.7", "1.8",
                                     "1.9", "10",  "2",     "3",    "4",   "5",   "6",   "7",   "8",   "9"}));
        QCOMPARE(qv::accounts::ancestorCodes("3.2.10"), QStringList({"3", "3.2"}));
    }

    void controlNumbersPastNine()
    {
        // The next control number is the highest as a number: as text "9" > "10", and the 11th
        // control account would be given the 10th's number again.
        controls(10);
        qv::AddedAccount eleventh, twelfth;
        QVERIFY_THROWS_NO_EXCEPTION(eleventh = store->addControl("ELEVENTH", ""));
        QVERIFY_THROWS_NO_EXCEPTION(twelfth = store->addControl("TWELFTH", ""));
        QCOMPARE(eleventh.code, QString("11"));
        QCOMPARE(col(eleventh.rowId, "ParentID") + "|" + col(eleventh.rowId, "AcNodes"), QString("11|11"));
        QCOMPARE(twelfth.code, QString("12"));
        QCOMPARE(count("AcStatus = 'HH'"), qint64(12));
    }

    void freedHighestNumberReused()
    {
        const auto head = store->addControl("HEAD", "");
        QList<qint64> subs;
        for (int i = 0; i < 3; ++i)
            subs << store->addSubControl(head.rowId, QString("S%1").arg(i))->rowId;
        QCOMPARE(store->deleteAccount(subs[2]), DeleteCheck::Allowed);
        QCOMPARE(store->addSubControl(head.rowId, "AGAIN")->code, QString("1.3"));
        // A middle number freed stays a gap.
        QCOMPARE(store->deleteAccount(subs[1]), DeleteCheck::Allowed);
        QCOMPARE(store->addSubControl(head.rowId, "NEXT")->code, QString("1.4"));
        QCOMPARE(count("AcNodes = '1.2'"), qint64(0));
        const auto second = store->addControl("SECOND", "");
        QCOMPARE(store->deleteAccount(second.rowId), DeleteCheck::Allowed);
        QCOMPARE(store->addControl("SECOND AGAIN", "").code, QString("2"));
    }

    void deletionRefusals()
    {
        QCOMPARE(store->checkDelete(0), DeleteCheck::NotSelected);
        QCOMPARE(AccountStore::refusalText(DeleteCheck::NotSelected), QString("please select any one account"));
        const QList<qint64> heads = controls(10);
        const auto sub = store->addSubControl(heads[0], "UNDER ONE");
        QCOMPARE(store->deleteAccount(heads[0]), DeleteCheck::HasChildren);
        QCOMPARE(AccountStore::refusalText(DeleteCheck::HasChildren), QString("this head not remove "));
        QCOMPARE(count("RowID = ?", {heads[0]}), qint64(1));

        // With only 10.1 left, control account 1 has nothing under it.
        QCOMPARE(store->deleteAccount(sub->rowId), DeleteCheck::Allowed);
        const auto underTen = store->addSubControl(heads[9], "UNDER TEN");
        QCOMPARE(underTen->code, QString("10.1"));
        QCOMPARE(store->checkDelete(heads[0]), DeleteCheck::Allowed);
        QCOMPARE(store->checkDelete(heads[9]), DeleteCheck::HasChildren);

        // An account named on a voucher line stays; the contra column does not count.
        const auto used = store->addSubsidiary(underTen->rowId, detail("USED"));
        const auto contraOnly = store->addSubsidiary(underTen->rowId, detail("CONTRA ONLY"));
        conn->execute("insert into DetJV (VouNo, VouStatus, AcCode, CrAc) values (1, 'JV', ?, ?)",
                      {used->rowId, contraOnly->rowId});
        QCOMPARE(store->deleteAccount(used->rowId), DeleteCheck::UsedInVouchers);
        QCOMPARE(AccountStore::refusalText(DeleteCheck::UsedInVouchers),
                 QString("this Account use in vouceher detail "));
        QCOMPARE(count("RowID = ?", {used->rowId}), qint64(1));
        QCOMPARE(store->deleteAccount(contraOnly->rowId), DeleteCheck::Allowed);
        // Accounts under it and named on a voucher line as well: the head refusal comes first.
        conn->execute("insert into DetJV (VouNo, VouStatus, AcCode) values (2, 'JV', ?)", {underTen->rowId});
        QCOMPARE(store->checkDelete(underTen->rowId), DeleteCheck::HasChildren);
        QCOMPARE(store->deleteAccount(underTen->rowId), DeleteCheck::HasChildren);
        QCOMPARE(store->deleteAccount(heads[0]), DeleteCheck::Allowed);
        QCOMPARE(count("RowID in (?, ?)", {contraOnly->rowId, heads[0]}), qint64(0));
    }

    void titleTestIgnoresBlanksAndKeepsApostrophes()
    {
        const auto head = store->addControl("CASH IN HAND", "");
        QVERIFY(store->titleExists("CASHIN  HAND"));
        QVERIFY(store->titleExists(" Cash In Hand "));
        QVERIFY(!store->titleExists("CASH IN HANDS"));
        QVERIFY(!store->titleExists("CASH  IN HAND", head.rowId)); // not against itself
        const QString odd = "O'BRIEN & SONS 100% 'A_B'";
        const auto obrien = store->addControl(odd, "");
        QCOMPARE(col(obrien.rowId, "AcName"), odd);
        QVERIFY(store->titleExists("O'BRIEN&SONS100%'A_B'"));
        QVERIFY(!store->titleExists("O'BRIEN & SONS 100% 'AXB'"));
    }

    void searchSubsidiaries()
    {
        const auto sub = store->addSubControl(store->addControl("HEAD", "").rowId, "SUB");
        for (const char* t : {"ZETA TRADERS", "O'BRIEN TRADING", "50% LAND", "A_B STORE", "ALPHA"})
            store->addSubsidiary(sub->rowId, detail(t));
        auto titles = [&](const QString& typed) {
            QStringList out;
            for (const qv::FoundAccount& f : store->search(typed))
                out << f[2];
            return out;
        };
        // By title, character by character ("_" after the letters); heads never listed.
        QCOMPARE(titles(""), QStringList({"50% LAND", "ALPHA", "A_B STORE", "O'BRIEN TRADING", "ZETA TRADERS"}));
        QCOMPARE(titles("o'b"), QStringList({"O'BRIEN TRADING"}));
        QCOMPARE(titles("%"), QStringList({"50% LAND"}));
        QCOMPARE(titles("_"), QStringList({"A_B STORE"}));
        QCOMPARE(titles("trad"), QStringList({"O'BRIEN TRADING", "ZETA TRADERS"}));
        QCOMPARE(titles("no such title"), QStringList());
        conn->execute("update Accounts set OpenBal = ?, Email = 'a@b.pk' where AcName = 'ALPHA'",
                      {QVariant::fromValue(qv::Money(-123456789))});
        const auto found = store->search("ALPHA");
        QCOMPARE(found.size(), size_t(1));
        QCOMPARE(found[0][0],
                 QString::number(conn->scalar("select RowID from Accounts where AcName = 'ALPHA'").toLongLong()));
        QCOMPARE(found[0][1] + "|" + found[0][6] + "|" + found[0][7] + "|" + found[0][8],
                 QString("1.1.5|a@b.pk|-1,234,567.89|"));
    }

    void failedWriteLeavesNothing()
    {
        const auto head = store->addControl("HEAD", "");
        conn->setStatementHook([](const QString& sql) {
            if (sql.startsWith("insert into Accounts", Qt::CaseInsensitive))
                throw qv::DbError("disk full");
        });
        QVERIFY_THROWS_EXCEPTION(qv::DbError, store->addSubControl(head.rowId, "LOST"));
        conn->setStatementHook({});
        QVERIFY(!conn->inTransaction());
        QCOMPARE(store->addSubControl(head.rowId, "KEPT")->code, QString("1.1"));

        // Sequence numbers are 16-bit: a head that has used them up says so.
        conn->execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                      "values ('1.32767', 'LAST', 'HD', '1', 32767)");
        try {
            store->addSubControl(head.rowId, "ONE TOO MANY");
            QFAIL("no error");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains("32767"), qPrintable(e.description()));
        }
        QCOMPARE(count(), qint64(3));
    }

    void codeTakenMeanwhileIsAllocatedAgain()
    {
        // The embedded file has one writer at a time: its transaction (BEGIN IMMEDIATE) keeps
        // every other station from writing between the read and the insert.
        if (qvt::backend() == qv::Backend::Sqlite)
            QSKIP("no other station can write to the embedded file inside this one's transaction");
        const auto head = store->addControl("HEAD", "");
        qv::Connection other;
        db.connect(other);
        // Between reading the highest number and inserting, another station takes 1.1.
        int fired = 0;
        conn->setStatementHook([&](const QString& sql) {
            if (fired || !sql.startsWith("insert into Accounts", Qt::CaseInsensitive))
                return;
            fired = 1;
            other.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                          "values ('1.1', 'OTHER STATION', 'HD', '1', 1)");
        });
        const auto mine = store->addSubControl(head.rowId, "MINE");
        conn->setStatementHook({});
        QCOMPARE(fired, 1);
        QCOMPARE(mine->code, QString("1.2"));
        QCOMPARE(count("AcStatus = 'HD'"), qint64(2));
    }

    void headDeletedWhileAnAccountGoesInUnderIt()
    {
        const auto head = store->addControl("HEAD", "");
        // This station has put an account under the head and not yet committed it.
        qv::Transaction tx(*conn);
        QVERIFY(store->addSubControl(head.rowId, "UNDER IT"));
        std::atomic<int> result{-1};
        std::atomic<qint64> pid{0};
        LockWait wait;
        QString error;
        std::thread other([&] {
            qv::Connection c;
            try {
                db.connect(c);
                if (c.backend() == qv::Backend::Sqlite)
                    watchBusy(c, &wait);
                else
                    pid = c.scalar("select pg_backend_pid()").toLongLong();
                result = int(AccountStore(c).deleteAccount(head.rowId));
            } catch (const qv::DbError& e) {
                error = e.description();
                wait.gaveUp = true;
            }
        });
        // Commit only once the other station is really waiting for this station's lock.
        const bool waited = waitUntilBlocked(wait, pid);
        tx.commit();
        other.join();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(waited, "the other station never waited for the lock");
        QVERIFY(!wait.gaveUp);
        // The deletion waited for the new account and then refused.
        QCOMPARE(result.load(), int(DeleteCheck::HasChildren));
        QCOMPARE(count("RowID = ?", {head.rowId}), qint64(1));
    }

    void twoStationsAddingUnderOneHead()
    {
        const auto head = store->addControl("HEAD", "");
        const auto sub = store->addSubControl(head.rowId, "SUB");
        constexpr int each = 15;
        std::atomic<int> ready{0};
        QMutex mutex;
        QStringList errors;
        auto station = [&](int n) {
            qv::Connection c;
            try {
                db.connect(c);
                AccountStore s(c);
                for (++ready; ready < 2;)
                    std::this_thread::yield();
                for (int i = 0; i < each; ++i) {
                    s.addSubControl(head.rowId, QString("S%1-%2").arg(n).arg(i));
                    s.addSubsidiary(sub->rowId, detail(QString("D%1-%2").arg(n).arg(i)));
                }
            } catch (const qv::DbError& e) {
                ++ready;
                QMutexLocker lock(&mutex);
                errors << e.description();
            }
        };
        std::thread a(station, 1), b(station, 2);
        a.join();
        b.join();
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        for (const QString parent : {"1", "1.1"}) {
            QSqlQuery q = conn->query("select AcNodes from Accounts where ParentID = ? and Dcode > 0", {parent});
            QSet<QString> codes;
            int rows = 0;
            for (; q.next(); ++rows)
                codes << q.value(0).toString();
            const int expected = parent == "1" ? 2 * each + 1 : 2 * each;
            QCOMPARE(rows, expected);
            for (int d = 1; d <= expected; ++d)
                QVERIFY2(codes.contains(parent + "." + QString::number(d)), qPrintable(QString::number(d)));
        }
    }
};

QTEST_GUILESS_MAIN(TstAccountStore)
#include "tst_accountstore.moc"
