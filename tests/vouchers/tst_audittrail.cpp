// The audit trail on both backends: each voucher action's record holds the voucher exactly as it
// was and as it became; a record exists if and only if its change committed; the chain shows a
// record changed, removed or slipped in, and the last ones removed against a printed head; on a
// server no login, a manager included, can change it.
#include "admin/adminstore.h"
#include "admin/removedata.h"
#include "masters/accountstore.h"
#include "masters/companystore.h"
#include "db/audittrail.h"
#include "db/sqlaudit.h"
#include "db/schema.h"
#include "support/adminrun.h"
#include "support/dbfixture.h"
#include "support/failing.h"
#include "vouchers/periodlock.h"
#include "vouchers/voucherstore.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <memory>

using qv::AuditRecord;
using qv::AuditTrail;
using K = qv::VoucherKind;

class TstAuditTrail : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    std::unique_ptr<qv::Connection> c;
    qint64 rent = 0, cash = 0;

    // The two accounts are part of the book's making: on a server, typed SQL would be recorded.
    void makeAccounts()
    {
        qv::Connection admin;
        db.connectAdmin(admin);
        qv::Transaction tx(admin);
        if (qvt::backend() == qv::Backend::Postgres)
            admin.execute(qv::SqlAudit::markStatement());
        const QString sql = "insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                            "values (?, ?, 'DD', '1.1', 1) returning RowID";
        rent = admin.insertReturningKey(sql, {"1.1.1", "OFFICE RENT"});
        cash = admin.insertReturningKey(sql, {"1.1.2", "CASH IN HAND"});
        tx.commit();
    }
    qv::Voucher voucher(qint64 number, qint64 cents, const QString& narration)
    {
        qv::Voucher v;
        v.kind = K::JV;
        v.number = number;
        v.date = QDate(2026, 3, 2);
        v.party = "RENT";
        qv::VoucherLine l;
        l.drAc = rent;
        l.crAc = cash;
        l.amount = qv::Money(cents);
        l.narration = narration;
        v.lines.push_back(l);
        return v;
    }
    // The journal voucher as its records must show it: the master row, then its two mirrored rows.
    QString expected(qint64 rowId, qint64 number, const QString& total, const QString& narration)
    {
        const QString line = QString("{\"AcCode\":%1,\"BillNo\":null,\"ChecqNo\":\"\",\"CrAc\":%2,\"CrAmt\":\"%3\","
                                     "\"DrAmt\":\"%4\",\"EntryNo\":1,\"FileNo\":null,\"Naration\":\"%5\","
                                     "\"VouDate\":\"2026-03-02\"}");
        return QString(
                   "{\"ChecqNo\":null,\"Login\":\"%1\",\"PaidReceive\":\"RENT\",\"RowID\":%2,\"TotalAmount\":\"%3\","
                   "\"VouDate\":\"2026-03-02\",\"VouNo\":%4,\"VouStatus\":\"JV\",\"lines\":[%5,%6]}")
            .arg(db.user)
            .arg(rowId)
            .arg(total)
            .arg(number)
            .arg(line.arg(rent).arg(cash).arg("0.00", total, narration),
                 line.arg(cash).arg(rent).arg(total, "0.00", narration));
    }
    std::vector<AuditRecord> all() { return AuditTrail(*c).records({}); }
    // Four records on a fresh trail.
    void fourRecords()
    {
        qv::VoucherStore store(*c);
        for (int n = 1; n <= 4; ++n)
            store.save(voucher(n, 100 * n, "N"), true, db.user);
        QCOMPARE(int(all().size()), 4);
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
        makeAccounts();
    }
    void cleanup()
    {
        c.reset();
        db.drop();
    }

    void eachActionRecordsTheVoucherAsItWasAndAsItBecame()
    {
        qv::VoucherStore store(*c);
        const qint64 id = store.save(voucher(1, 500, "FIRST"), true, db.user).rowId;
        qv::Voucher v = *store.open(K::JV, 1);
        v.lines.front().amount = qv::Money(750);
        v.lines.front().narration = "SECOND";
        store.save(v, false, db.user);
        const qint64 other = store.save(voucher(1, 200, "TAKEN"), true, db.user).rowId; // renumbered to 2
        QVERIFY(store.remove(K::JV, 1, id));
        qv::RemovalChoice ch;
        ch.vouchers = true;
        ch.from = QDate(2026, 1, 1);
        ch.to = QDate(2026, 12, 31);
        qv::RemoveData(*c).remove(ch, qv::RemoveData(*c).count(ch));
        qv::PeriodLock(*c).move(QDate(2026, 1, 31), {}, db.user);

        const std::vector<AuditRecord> r = all();
        QCOMPARE(int(r.size()), 6);
        const QStringList actions = {"voucher saved",   "voucher changed", "voucher renumbered",
                                     "voucher deleted", "data removed",    "period lock moved"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(r[i].action, actions[i]);
        QCOMPARE(r[0].key, QString("JV-1"));
        QCOMPARE(r[0].before, QString());
        QCOMPARE(r[0].after, expected(id, 1, "5.00", "FIRST"));
        QCOMPARE(r[1].before, r[0].after);
        QCOMPARE(r[1].after, expected(id, 1, "7.50", "SECOND"));
        QCOMPARE(r[2].key, QString("JV-2"));
        QCOMPARE(r[2].after, expected(other, 2, "2.00", "TAKEN"));
        QCOMPARE(r[3].before, r[1].after);
        QCOMPARE(r[3].after, QString());
        QCOMPARE(r[4].before, QString("{\"applications\":0,\"categories\":0,\"from\":\"2026-01-01\",\"kind\":\"\","
                                      "\"lines\":2,\"to\":\"2026-12-31\",\"vouchers\":1}"));
        QCOMPARE(r[5].after, QString("{\"LockedUpTo\":\"2026-01-31\",\"Reason\":\"\"}"));
        for (const AuditRecord& x : r) {
            QCOMPARE(x.login, db.user);
            QCOMPARE(x.host, AuditTrail::host());
        }
        QCOMPARE(AuditTrail(*c).verify(), std::nullopt);
        QCOMPARE(int(AuditTrail(*c).records({"JV-1", {}, {}, {}, 0}).size()), 3);
        QCOMPARE(int(AuditTrail(*c).records({{}, {}, {}, {}, rent}).size()), 4);
    }

    // Accounts, the company, the rights and the logins leave their records too.
    void theBooksSettingsAreRecorded()
    {
        // Typed by a login: on a server the database records it at commit.
        const qint64 spare = c->insertReturningKey("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                                                   "values ('1.1.9', 'SPARE', 'DD', '1.1', 1) returning RowID",
                                                   {});
        const QString spareImage =
            QString("{\"AcName\":\"SPARE\",\"AcNodes\":\"1.1.9\",\"AcStatus\":\"DD\",\"Addr\":null,"
                    "\"Addr2\":null,\"BStatus\":null,\"Contact\":null,\"ContactPer\":null,\"Dcode\":1,"
                    "\"DeleteStatus\":\"N\",\"Email\":null,\"Fax\":null,\"GST\":null,\"Location\":null,"
                    "\"NTN\":null,\"OpenBal\":null,\"OrderStatus\":null,\"ParentID\":\"1.1\",\"RowID\":%1,"
                    "\"WebSite\":null,\"openDate\":null}")
                .arg(spare);
        QCOMPARE(qv::AccountStore(*c).deleteAccount(spare), qv::DeleteCheck::Allowed);
        qv::CompanyStore(*c).save(std::nullopt, {{"Company", "GREEN VALLEY"}}, true);
        qv::RightsStore(*c).save({{"Vouchers", true}});
        const QString clerk = QString("aud%1_%2")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(QRandomGenerator::global()->bounded(1000000));
        qv::UserStore(*c).add(clerk, "clerk pass 1", qv::Logins::HashCost::Minimal);
        qv::UserStore(*c).remove(clerk, db.user);
        std::vector<AuditRecord> r = all();
        if (qvt::backend() == qv::Backend::Postgres) {
            QCOMPARE(r.front().action, QString("sql insert"));
            QCOMPARE(r.front().key, QString::number(spare));
            QCOMPARE(r.front().after, spareImage);
            r.erase(r.begin());
        }
        QStringList actions;
        for (const AuditRecord& x : r)
            actions << x.action;
        QCOMPARE(actions, QStringList({"account deleted", "company saved", "menu rights saved", "login added",
                                       "login removed"}));
        QCOMPARE(r[0].before, spareImage);
        QCOMPARE(r[0].after, QString());
        QVERIFY2(r[1].after.contains("\"Company\":\"GREEN VALLEY\"") && r[1].after.contains("\"comActive\":\"Y\""),
                 qPrintable(r[1].after));
        QVERIFY(r[2].before.size() > r[2].after.size()); // 28 rights before, one after
        QVERIFY(r[2].after.contains("\"Menus\":\"Vouchers\""));
        QCOMPARE(r[3].key, clerk);
        QCOMPARE(AuditTrail(*c).verify(), std::nullopt);
    }

    // A failed save leaves no record; the one that goes through leaves exactly one.
    void aRecordIfAndOnlyIfItsChangeCommitted()
    {
        qv::VoucherStore store(*c);
        store.save(voucher(1, 500, "FIRST"), true, db.user);
        qv::Voucher v = *store.open(K::JV, 1);
        v.lines.front().narration = "CHANGED";
        const qvt::FailEachResult r = qvt::failEachStatement(*c, [&] {
            try {
                store.save(v, false, db.user);
            } catch (const qv::DbError&) {
            }
        });
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QVERIFY2(r.changed.isEmpty(), qPrintable(r.changed.join('\n')));
        QVERIFY(r.statements > 3);
        QCOMPARE(int(all().size()), 2);
        QCOMPARE(AuditTrail(*c).verify(), std::nullopt);
    }

    void theChainShowsEveryEdit()
    {
        fourRecords();
        const AuditTrail::Head printed = AuditTrail(*c).head();
        qv::Connection admin; // the file's owner, or the server's administrator
        db.connectAdmin(admin);
        auto finding = [&] {
            const auto f = AuditTrail(*c).verify(printed);
            return f ? f->seq : 0;
        };
        // Changed in place.
        const QString after2 = admin.scalar("select After from AuditTrail where Seq = 2").toString();
        admin.execute("update AuditTrail set After = replace(After, '\"N\"', '\"X\"') where Seq = 2");
        QCOMPARE(finding(), qint64(2));
        admin.execute("update AuditTrail set After = ? where Seq = 2", {after2});
        QCOMPARE(finding(), qint64(0));
        // Removed in the middle, then a forged one slipped into its place.
        const QStringList cols = {"Seq",    "At",     "Login", "Host",     "Action", "TableName",
                                  "RowKey", "Before", "After", "PrevHash", "Hash"};
        admin.execute("create temporary table kept as select * from AuditTrail where Seq = 3");
        admin.execute("delete from AuditTrail where Seq = 3");
        QCOMPARE(finding(), qint64(3));
        AuditRecord forged = all()[1];
        forged.seq = 3;
        forged.prevHash = forged.hash;
        forged.action = "voucher saved";
        forged.hash = AuditTrail::hashOf(forged);
        admin.execute("insert into AuditTrail (Seq, At, Login, Host, Action, TableName, RowKey, Before, After, "
                      "PrevHash, Hash) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                      {forged.seq, forged.at, forged.login, forged.host, forged.action, forged.table, forged.key,
                       forged.before, forged.after, forged.prevHash, forged.hash});
        QCOMPARE(finding(), qint64(4));
        admin.execute("delete from AuditTrail where Seq = 3");
        admin.execute("insert into AuditTrail select * from kept");
        QCOMPARE(finding(), qint64(0));
        // The last one removed: a whole chain, but short of the head a report printed.
        admin.execute("delete from AuditTrail where Seq = 4");
        QCOMPARE(AuditTrail(*c).verify(), std::nullopt);
        QCOMPARE(finding(), qint64(4));
    }

    void theCommandLineVerifiesAndShows()
    {
        fourRecords();
        const QStringList who = {"--server", db.dataSource, "--catalog",  db.catalog,
                                 "--user",   db.user,       "--password", db.password};
        const AuditTrail::Head head = AuditTrail(*c).head();
        const QString printed = QString("%1:%2").arg(head.seq).arg(head.hash);
        qvt::AdminRun r = qvt::runAdmin(QStringList{"audit", "verify", "--head", printed} + who);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("Head: " + printed), qPrintable(r.out));
        r = qvt::runAdmin(QStringList{"audit", "show", "--voucher", "jv-2", "--csv"} + who);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.count("\r\n"), 2);
        QVERIFY(r.out.contains(",voucher saved,MasJV,JV-2,"));
        QCOMPARE(qvt::runAdmin(QStringList{"audit", "show", "--account", "1.1.2"} + who).out.count("voucher saved"), 4);
        // The audit report of a date range, per login.
        QTemporaryDir out;
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        r = qvt::runAdmin(QStringList{"report", "rptAudit.rpt", "--selection",
                                      "{AuditTrail.Day} >= '" + today + "' and {AuditTrail.Day} <= '" + today + "'",
                                      "--csv", out.filePath("audit.csv")}
                          + who);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile csv(out.filePath("audit.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 5);
        QVERIFY2(rows[1].contains(",voucher saved,JV-1,"), qPrintable(rows[1]));
        QVERIFY(rows[4].contains("," + db.user + ","));
        qv::Connection admin;
        db.connectAdmin(admin);
        admin.execute("delete from AuditTrail where Seq = 4");
        QCOMPARE(qvt::runAdmin(QStringList{"audit", "verify"} + who).code, 0);
        r = qvt::runAdmin(QStringList{"audit", "verify", "--head", printed} + who);
        QCOMPARE(r.code, 3);
        QVERIFY2(r.out.contains("broken at record 4"), qPrintable(r.out));
    }

    void noLoginChangesTheTrailOnAServer()
    {
        if (qvt::backend() != qv::Backend::Postgres)
            QSKIP("the embedded file's owner can write anything: the chain shows it instead");
        fourRecords();
        // The book's first login is its manager.
        for (const char* sql :
             {"update AuditTrail set Action = 'x'", "delete from AuditTrail where Seq = 4", "truncate AuditTrail",
              "insert into AuditTrail (Seq, At, Action, PrevHash, Hash) values (9, 'x', 'x', '', '')"})
            QVERIFY_THROWS_EXCEPTION(qv::DbError, c->execute(sql));
        QCOMPARE(int(all().size()), 4);
        QCOMPARE(AuditTrail(*c).verify(), std::nullopt);
    }

    // On a server, SQL typed by a login leaves a record of each row it wrote, at its commit, with
    // the row as the program images it; the program's own writes leave only their own records.
    void typedSqlOnAServerIsRecorded()
    {
        if (qvt::backend() != qv::Backend::Postgres)
            QSKIP("the embedded file's owner can write anything: the chain shows it instead");
        qv::VoucherStore(*c).save(voucher(1, 500, "FIRST"), true, db.user);
        const qint64 from = AuditTrail(*c).head().seq;
        const qint64 line = c->scalar("select min(RowID) from DetJV").toLongLong();
        auto image = [&](const char* table, qint64 id) {
            return AuditTrail::rowsImage(*c, table, "RowID = ?", {id}, true);
        };
        const QString lineBefore = image("DetJV", line);
        c->execute("update DetJV set Naration = 'TYPED' where RowID = ?", {line});
        const QString lineAfter = image("DetJV", line);
        qint64 master = 0;
        {
            qv::Transaction tx(*c);
            c->execute("set constraints all immediate"); // no way round the record
            master = c->insertReturningKey("insert into MasJV (VouNo, VouStatus, VouDate, TotalAmount) values "
                                           "(7, 'JV', '2026-03-03', 1) returning RowID",
                                           {});
            tx.commit();
        }
        const QString masterImage = image("MasJV", master);
        c->execute("delete from MasJV where RowID = ?", {master});
        {
            // Declaring a record to come and never making it leaves a record all the same.
            qv::Transaction tx(*c);
            c->execute("select qv_audit_intent()");
            c->execute("update DetJV set Naration = 'QUIET' where RowID = ?", {line});
            tx.commit();
        }
        std::vector<AuditRecord> r = all();
        r.erase(r.begin(), r.begin() + from);
        QCOMPARE(int(r.size()), 4);
        const QStringList expected[] = {{"sql update", "DetJV", "JV-1", lineBefore, lineAfter},
                                        {"sql insert", "MasJV", "JV-7", "", masterImage},
                                        {"sql delete", "MasJV", "JV-7", masterImage, ""},
                                        {"changes unrecorded", "", "", "", ""}};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(QStringList({r[i].action, r[i].table, r[i].key, r[i].before, r[i].after}), expected[i]);
            QCOMPARE(r[i].login, db.user);
        }
        QVERIFY(lineAfter.contains("\"Naration\":\"TYPED\"") && masterImage.contains("\"TotalAmount\":\"1.00\""));
        QCOMPARE(AuditTrail(*c).verify(), std::nullopt);
    }

    // A book of the version before gets an empty trail whose first record hashes the book.
    void upgradeOpensTheTrail()
    {
        qv::VoucherStore(*c).save(voucher(1, 500, "FIRST"), true, db.user);
        c.reset();
        db.makeOlder(qv::Schema::AuditTrailFrom - 1);
        {
            qv::Connection admin;
            db.connectAdmin(admin);
            qv::Schema::migrate(admin);
        }
        c = std::make_unique<qv::Connection>();
        db.connect(*c);
        const std::vector<AuditRecord> r = all();
        QCOMPARE(int(r.size()), 1);
        QCOMPARE(r[0].action, QString("trail opened"));
        QVERIFY2(r[0].after.startsWith("{\"Accounts\":2,\"MasJV\":1,\"DetJV\":2,"), qPrintable(r[0].after));
        qv::VoucherStore(*c).save(voucher(2, 100, "NEXT"), true, db.user);
        QCOMPARE(AuditTrail(*c).verify(), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TstAuditTrail)
#include "tst_audittrail.moc"
