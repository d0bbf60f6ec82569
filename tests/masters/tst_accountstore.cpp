// The account store on both backends: codes of the three levels and their text order, reuse of
// a freed highest number, the refusals of deletion, the title test, the writes of each level,
// the search, and two stations adding under one head at the same moment.
#include "masters/accountcodes.h"
#include "masters/accountstore.h"
#include "support/fixture.h"

#include <QMutex>
#include <QSet>
#include <atomic>
#include <memory>
#include <thread>

using qv::AccountStore;
using qv::DeleteCheck;

class TstAccountStore : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    std::unique_ptr<qv::Connection> conn;
    std::unique_ptr<AccountStore> store;

    qv::RecordSet row(qint64 id)
    {
        qv::RecordSet rs;
        rs.open("select * from Accounts where RowID = ?", *conn, {id});
        if (rs.recordCount() > 0)
            rs.moveFirst();
        return rs;
    }
    qint64 count(const QString& where = "1=1", const QVariantList& params = {})
    {
        return conn->scalar("select count(*) from Accounts where " + where, params).toLongLong();
    }
    QStringList treeCodes()
    {
        QStringList out;
        for (const qv::AccountNode& n : store->treeRows())
            out << n.code;
        return out;
    }
    qv::SubsidiaryInput detail(const QString& title)
    {
        qv::SubsidiaryInput in;
        in.title = title;
        in.openDate = QDate(2025, 7, 1);
        return in;
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
        QCOMPARE(store->treeRows().size(), size_t(0));
        QCOMPARE(store->nextControlCode(), QString("1"));
        const auto assets = store->addControl("ASSETS", "");
        QCOMPARE(assets.code, QString("1"));
        qv::RecordSet rs = row(assets.rowId);
        QCOMPARE(rs.text("ParentID"), QString("1"));
        QCOMPARE(rs.text("AcNodes"), QString("1"));
        QCOMPARE(rs.field("Dcode").toInt(), 0);
        QCOMPARE(rs.text("AcStatus"), QString("HH"));
        QVERIFY(rs.isNull("OrderStatus"));
        QCOMPARE(rs.text("DeleteStatus"), QString("N"));

        const auto liab = store->addControl("LIABILITIES", "7");
        QCOMPARE(liab.code, QString("2"));
        QCOMPARE(row(liab.rowId).field("OrderStatus").toInt(), 7);

        const auto cash = store->addSubControl(assets.rowId, "CASH AND BANK");
        QVERIFY(cash);
        rs = row(cash->rowId);
        QCOMPARE(rs.text("AcNodes"), QString("1.1"));
        QCOMPARE(rs.text("ParentID"), QString("1"));
        QCOMPARE(rs.field("Dcode").toInt(), 1);
        QCOMPARE(rs.text("AcStatus"), QString("HD"));

        qv::SubsidiaryInput in = detail("HABIB BANK");
        in.fields = {{"ContactPer", "ALI"}, {"Addr", ""}, {"Contact", "0300,0421"}, {"OpenBal", "-1234.5"}};
        in.gst = "12-34-5678-901-23";
        in.bStatus = "B";
        const auto bank = store->addSubsidiary(cash->rowId, in);
        QVERIFY(bank);
        rs = row(bank->rowId);
        QCOMPARE(rs.text("AcNodes"), QString("1.1.1"));
        QCOMPARE(rs.text("ParentID"), QString("1.1"));
        QCOMPARE(rs.field("Dcode").toInt(), 1);
        QCOMPARE(rs.text("AcStatus"), QString("DD"));
        QCOMPARE(rs.text("AcName"), QString("HABIB BANK"));
        QCOMPARE(rs.field("openDate").toDate(), QDate(2025, 7, 1));
        QCOMPARE(rs.text("ContactPer"), QString("ALI"));
        QVERIFY(rs.isNull("Addr")); // an empty box is stored as null
        QCOMPARE(rs.text("Contact"), QString("0300,0421"));
        QCOMPARE(rs.money("OpenBal"), qv::Money(-123450));
        QCOMPARE(rs.text("GST"), QString("12-34-5678-901-23"));
        QVERIFY(rs.isNull("NTN")); // not fully typed: not written
        QCOMPARE(rs.text("BStatus"), QString("B"));

        // A head of the wrong level, or one that is gone, takes no account.
        QVERIFY(!store->addSubControl(cash->rowId, "WRONG LEVEL"));
        QVERIFY(!store->addSubsidiary(assets.rowId, detail("WRONG LEVEL")));
        QVERIFY(!store->addSubControl(999999, "NO HEAD"));
        QCOMPARE(count(), qint64(4));
    }

    void textOrderOfCodes()
    {
        QList<qint64> controls;
        for (int i = 1; i <= 10; ++i)
            controls << store->addControl(QString("CONTROL %1").arg(i), "").rowId;
        qint64 first = 0;
        for (int i = 1; i <= 10; ++i) {
            const auto sub = store->addSubControl(controls[0], QString("SUB %1").arg(i));
            QCOMPARE(sub->code, QString("1.%1").arg(i));
            if (i == 1)
                first = sub->rowId;
        }
        QCOMPARE(store->addSubsidiary(first, detail("LEAF"))->code, QString("1.1.1"));
        // A row of another status is never part of the tree.
        conn->execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('0', 'OLD', 'XX', '0', 0)");

        const QStringList expected = {"1",   "1.1", "1.1.1", "1.10", "1.2", "1.3", "1.4", "1.5", "1.6", "1.7",
                                      "1.8", "1.9", "10",    "2",    "3",   "4",   "5",   "6",   "7",   "8", "9"};
        QCOMPARE(treeCodes(), expected);

        QVERIFY(qv::accounts::codeLess("1.1.1", "1.10"));
        QVERIFY(qv::accounts::codeLess(" 10", "2 "));
        QCOMPARE(qv::accounts::ancestorCodes("3.2.10"), QStringList({"3", "3.2"}));
        QCOMPARE(qv::accounts::ancestorCodes("3"), QStringList());
        QCOMPARE(qv::accounts::nodeKey(" 3.2 "), QString("'3.2'"));
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
        const auto next = store->addSubControl(head.rowId, "NEXT");
        QCOMPARE(next->code, QString("1.4"));
        QCOMPARE(next->dcode, 4);
        QCOMPARE(count("AcNodes = ?", {"1.2"}), qint64(0));

        // The same for control accounts.
        const auto second = store->addControl("SECOND", "");
        QCOMPARE(store->deleteAccount(second.rowId), DeleteCheck::Allowed);
        QCOMPARE(store->addControl("SECOND AGAIN", "").code, QString("2"));
    }

    void deletionRefusals()
    {
        QCOMPARE(store->checkDelete(0), DeleteCheck::NotSelected);
        QCOMPARE(AccountStore::refusalText(DeleteCheck::NotSelected), QString("please select any one account"));

        QList<qint64> controls;
        for (int i = 1; i <= 10; ++i)
            controls << store->addControl(QString("C%1").arg(i), "").rowId;
        const auto sub = store->addSubControl(controls[0], "UNDER ONE");
        QCOMPARE(store->checkDelete(controls[0]), DeleteCheck::HasChildren);
        QCOMPARE(AccountStore::refusalText(DeleteCheck::HasChildren), QString("this head not remove "));
        QCOMPARE(store->deleteAccount(controls[0]), DeleteCheck::HasChildren);
        QCOMPARE(count("RowID = ?", {controls[0]}), qint64(1));

        // With only 10.1 left, control 1 has no account under it.
        QCOMPARE(store->deleteAccount(sub->rowId), DeleteCheck::Allowed);
        const auto underTen = store->addSubControl(controls[9], "UNDER TEN");
        QCOMPARE(underTen->code, QString("10.1"));
        QCOMPARE(store->checkDelete(controls[0]), DeleteCheck::Allowed);
        QCOMPARE(store->checkDelete(controls[9]), DeleteCheck::HasChildren);

        // An account named on a voucher line stays; the contra column does not count.
        const auto used = store->addSubsidiary(underTen->rowId, detail("USED"));
        const auto contraOnly = store->addSubsidiary(underTen->rowId, detail("CONTRA ONLY"));
        conn->execute("insert into DetJV (VouNo, VouStatus, AcCode, CrAc) values (1, 'JV', ?, ?)",
                      {used->rowId, contraOnly->rowId});
        QCOMPARE(store->checkDelete(used->rowId), DeleteCheck::UsedInVouchers);
        QCOMPARE(AccountStore::refusalText(DeleteCheck::UsedInVouchers), QString("this Account use in vouceher detail "));
        QCOMPARE(store->deleteAccount(used->rowId), DeleteCheck::UsedInVouchers);
        QCOMPARE(count("RowID = ?", {used->rowId}), qint64(1));
        QCOMPARE(store->deleteAccount(contraOnly->rowId), DeleteCheck::Allowed);
        QCOMPARE(count("RowID = ?", {contraOnly->rowId}), qint64(0));
        QCOMPARE(store->deleteAccount(controls[0]), DeleteCheck::Allowed);
        QCOMPARE(count("RowID = ?", {controls[0]}), qint64(0));
    }

    void titleTestIgnoresBlanks()
    {
        const auto head = store->addControl("CASH IN HAND", "");
        QVERIFY(store->titleExists("CASHIN  HAND"));
        QVERIFY(store->titleExists(" CASH IN HAND "));
        QVERIFY(store->titleExists("Cash In Hand"));
        QVERIFY(!store->titleExists("CASH IN HANDS"));
        // The account being retitled does not clash with itself.
        QVERIFY(!store->titleExists("CASH  IN HAND", head.rowId));

        // Apostrophes and other signs are stored and compared as typed.
        const QString odd = "O'BRIEN & SONS 100% 'A_B'";
        const auto obrien = store->addControl(odd, "");
        QCOMPARE(row(obrien.rowId).text("AcName"), odd);
        QVERIFY(store->titleExists("O'BRIEN&SONS100%'A_B'"));
        QVERIFY(!store->titleExists("O'BRIEN & SONS 100% 'AXB'"));
    }

    void renamesAndUpdate()
    {
        const auto head = store->addControl("ASSETS", "3");
        const auto sub = store->addSubControl(head.rowId, "CASH");
        qv::SubsidiaryInput in = detail("BANK");
        in.gst = "11-22-3333-444-55";
        in.ntn = "1234567-8";
        in.bStatus = "S";
        in.fields = {{"Email", "a@b.pk"}};
        const auto leaf = store->addSubsidiary(sub->rowId, in);

        QVERIFY(store->renameControl(head.rowId, "OWNER'S ASSETS", "12"));
        qv::RecordSet rs = row(head.rowId);
        QCOMPARE(rs.text("AcName"), QString("OWNER'S ASSETS"));
        QCOMPARE(rs.field("OrderStatus").toInt(), 12);
        QCOMPARE(rs.text("AcNodes"), QString("1"));
        QVERIFY(store->renameControl(head.rowId, "ASSETS", ""));
        QVERIFY(row(head.rowId).isNull("OrderStatus"));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, store->renameControl(head.rowId, "ASSETS", "1a"));

        QVERIFY(store->renameSubControl(sub->rowId, "CASH 'N' BANK"));
        QCOMPARE(row(sub->rowId).text("AcName"), QString("CASH 'N' BANK"));
        QCOMPARE(row(sub->rowId).text("AcNodes"), QString("1.1"));
        // Each rename touches only its own level.
        QVERIFY(!store->renameControl(sub->rowId, "X", ""));
        QVERIFY(!store->renameSubControl(leaf->rowId, "X"));

        // A half-typed number is not sent: the stored one stays; the rest is written.
        qv::SubsidiaryInput up = detail("BANK LTD");
        up.openDate = QDate(2024, 1, 31);
        up.fields = {{"Email", ""}, {"OpenBal", "99.99"}};
        up.ntn = "7654321-0";
        QVERIFY(store->updateSubsidiary(leaf->rowId, up));
        rs = row(leaf->rowId);
        QCOMPARE(rs.text("AcName"), QString("BANK LTD"));
        QCOMPARE(rs.text("GST"), QString("11-22-3333-444-55"));
        QCOMPARE(rs.text("NTN"), QString("7654321-0"));
        QVERIFY(rs.isNull("Email"));
        QVERIFY(rs.isNull("BStatus"));
        QCOMPARE(rs.money("OpenBal"), qv::Money(9999));
        QCOMPARE(rs.field("openDate").toDate(), QDate(2024, 1, 31));
        QCOMPARE(rs.text("AcNodes"), QString("1.1.1"));

        // A box bound to a column that places the account is refused, and nothing changes.
        qv::SubsidiaryInput bad = detail("MOVED");
        bad.fields = {{"AcNodes", "9.9.9"}};
        QVERIFY_THROWS_EXCEPTION(qv::DbError, store->updateSubsidiary(leaf->rowId, bad));
        QCOMPARE(row(leaf->rowId).text("AcName"), QString("BANK LTD"));
        QVERIFY(!store->updateSubsidiary(sub->rowId, detail("NOT A SUBSIDIARY")));
        QVERIFY(!store->updateSubsidiary(999999, detail("GONE")));
    }

    void searchSubsidiaries()
    {
        const auto head = store->addControl("HEAD", "");
        const auto sub = store->addSubControl(head.rowId, "SUB");
        for (const char* t : {"ZETA TRADERS", "O'BRIEN TRADING", "50% LAND", "A_B STORE", "ALPHA"})
            store->addSubsidiary(sub->rowId, detail(t));
        auto titles = [&](const QString& typed) {
            QStringList out;
            for (const qv::FoundAccount& f : store->search(typed))
                out << f[2];
            return out;
        };
        // Ordered by title, character by character ("_" after the letters).
        QCOMPARE(titles(""), QStringList({"50% LAND", "ALPHA", "A_B STORE", "O'BRIEN TRADING", "ZETA TRADERS"}));
        QCOMPARE(titles("o'b"), QStringList({"O'BRIEN TRADING"}));
        QCOMPARE(titles("%"), QStringList({"50% LAND"}));
        QCOMPARE(titles("_"), QStringList({"A_B STORE"}));
        QCOMPARE(titles("trad"), QStringList({"O'BRIEN TRADING", "ZETA TRADERS"}));
        QCOMPARE(titles("no such title"), QStringList());
        conn->execute("update Accounts set OpenBal = ?, Email = ? where AcName = 'ALPHA'",
                      {QVariant::fromValue(qv::Money(-123456789)), "a@b.pk"});
        const auto found = store->search("ALPHA");
        QCOMPARE(found.size(), size_t(1));
        QCOMPARE(found[0][0], QString::number(conn->scalar("select RowID from Accounts where AcName = 'ALPHA'").toLongLong()));
        QCOMPARE(found[0][1], QString("1.1.5"));
        QCOMPARE(found[0][6], QString("a@b.pk"));
        QCOMPARE(found[0][7], QString("-1,234,567.89"));
        QVERIFY(found[0][3].isEmpty() && found[0][8].isEmpty());
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
        QCOMPARE(count(), qint64(1));
        QCOMPARE(store->addSubControl(head.rowId, "KEPT")->code, QString("1.1"));

        // Sequence numbers are 16-bit: the head that has used them up says so.
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

    void codeTakenMeanwhileIsRetried()
    {
        const auto head = store->addControl("HEAD", "");
        int fired = 0;
        std::unique_ptr<qv::Connection> other;
        if (qvt::backend() == qv::Backend::Postgres) {
            other = std::make_unique<qv::Connection>();
            db.connect(*other);
        }
        // Between reading the highest number and inserting, another station takes 1.1.
        conn->setStatementHook([&](const QString& sql) {
            if (fired || !sql.startsWith("insert into Accounts", Qt::CaseInsensitive))
                return;
            fired = 1;
            qv::Connection& by = other ? *other : *conn; // the embedded file has one writer at a time
            by.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                       "values ('1.1', 'OTHER STATION', 'HD', '1', 1)");
        });
        const auto mine = store->addSubControl(head.rowId, "MINE");
        conn->setStatementHook({});
        QVERIFY(mine);
        QCOMPARE(count("AcNodes = ?", {mine->code}), qint64(1));
        QCOMPARE(fired, 1);
        QCOMPARE(count("AcStatus = 'HD'"), qint64(2));
        QCOMPARE(mine->code, QString("1.2"));
        QCOMPARE(mine->dcode, 2);
    }

    void headDeletedWhileAnAccountGoesInUnderIt()
    {
        const auto head = store->addControl("HEAD", "");
        // This station has put an account under the head and not yet committed it.
        qv::Transaction tx(*conn);
        QVERIFY(store->addSubControl(head.rowId, "UNDER IT"));
        std::atomic<int> result{-1};
        QString error;
        std::thread other([&] {
            qv::Connection c;
            try {
                db.connect(c);
                result = int(AccountStore(c).deleteAccount(head.rowId));
            } catch (const qv::DbError& e) {
                error = e.description();
            }
        });
        QTest::qWait(300);
        tx.commit();
        other.join();
        QVERIFY2(error.isEmpty(), qPrintable(error));
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
                ++ready;
                while (ready < 2)
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
        for (const QString& parent : {QString("1"), QString("1.1")}) {
            QSqlQuery q = conn->query("select AcNodes, Dcode from Accounts where ParentID = ? and Dcode > 0", {parent});
            QSet<QString> codes;
            QSet<int> dcodes;
            while (q.next()) {
                codes << q.value(0).toString();
                dcodes << q.value(1).toInt();
            }
            const int expected = parent == "1" ? 2 * each + 1 : 2 * each;
            QCOMPARE(codes.size(), expected);
            QCOMPARE(dcodes.size(), expected);
            for (int d = 1; d <= expected; ++d)
                QVERIFY2(codes.contains(parent + "." + QString::number(d)), qPrintable(QString::number(d)));
        }
    }
};

QTEST_GUILESS_MAIN(TstAccountStore)
#include "tst_accountstore.moc"
