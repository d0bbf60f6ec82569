// Server books made and replaced by quoravel-admin: a failed or refused replacement leaves the
// old book, its login and the server's roles as they were; a version-1 book gets its own roles.
#include "adminrun.h"
#include "db/provision.h"

using namespace qvt;

class TstServerBooks : public QObject {
    Q_OBJECT
    qvt::TestDb a;
    QString tag;

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        if (!isPg())
            QSKIP("server books only (the embedded file has its own suites)");
        tag = QString("%1_%2").arg(qvt::backendName()).arg(QCoreApplication::applicationPid());
        a = qvt::TestDb::create(false, "own_a_" + tag);
    }
    void cleanupTestCase() { a.drop(); }

    // A server book of version 1 (one group for every book, the first login with CREATEROLE)
    // gets its own roles: the old group's logins keep this book, the manager loses CREATEROLE.
    void legacyServerBookGetsItsOwnRoles()
    {
        const qvt::TestDb d = qvt::TestDb::create(false, "own_d_" + tag);
        const QString mgr = "old_mgr_" + tag, clerk = "old_clerk_" + tag;
        {
            qv::Connection admin;
            d.connectAdmin(admin);
            if (admin.scalar("select count(*) from pg_roles where rolname = 'quoravel_users'").toInt() == 0)
                admin.execute("create role quoravel_users nologin");
            admin.execute(QString("create role %1 login createrole password 'mgr pw' in role quoravel_users").arg(mgr));
            admin.execute(QString("create role %1 login password 'clerk pw' in role quoravel_users").arg(clerk));
            admin.execute(QString("grant connect on database %1 to quoravel_users").arg(d.catalog));
            admin.execute("grant select, insert, update, delete on all tables in schema public to quoravel_users");
        }
        d.makeOlder(1);
        const Run up = runAdmin({"upgrade", "--server", d.dataSource, "--catalog", d.catalog, "--admin-user",
                                 qEnvironmentVariable("QUORAVEL_TEST_PG_USER"), "--admin-password",
                                 qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD")});
        QVERIFY2(up.code == 0, qPrintable(up.err));
        qv::Connection admin;
        d.connectAdmin(admin);
        QVERIFY(!admin.scalar("select rolcreaterole from pg_roles where rolname = ?", {mgr}).toBool());
        QVERIFY(!admin.scalar("select has_table_privilege('quoravel_users', 'lctpswd', 'SELECT')").toBool());
        QVERIFY(
            !admin.scalar("select has_database_privilege('quoravel_users', current_database(), 'CONNECT')").toBool());
        QVERIFY(canOpen(as(d, clerk, "clerk pw")));
        const Run add = runAdmin(QStringList{"add-login"} + target(as(d, mgr, "mgr pw"))
                                 + QStringList{"--new-user", "new_" + clerk, "--new-password", "new pw"});
        QVERIFY2(add.code == 0, qPrintable(add.err));
        QVERIFY(canOpen(as(d, "new_" + clerk, "new pw")));
        QVERIFY(!canOpen(as(a, clerk, "clerk pw"))); // the old group opens no other book
        for (const QString& r : {mgr, clerk, "new_" + clerk})
            admin.execute(QString("drop role if exists %1").arg(r));
        admin.close();
        d.drop();
    }

    // Replacing a server book: a failure while the new one is built leaves the old book, its
    // login's password and the server's roles as they were, and no half-made database.
    void failedReplaceLeavesTheBook()
    {
        const qvt::TestDb c = qvt::TestDb::create(false, "own_c_" + tag);
        qv::Connection admin;
        c.connectAdmin(admin);
        admin.execute("insert into Company (Company) values ('KEEP ME')");
        auto census = [&] {
            qv::Connection server;
            const qv::DataSource ds = qv::DataSource::parse(c.dataSource, c.catalog);
            server.openServerUnchecked(ds.host, ds.port, "postgres", qEnvironmentVariable("QUORAVEL_TEST_PG_USER"),
                                       qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD"));
            QStringList out;
            QSqlQuery q = server.query("select datname from pg_database union all select rolname from pg_roles "
                                       "order by 1");
            while (q.next())
                out << q.value(0).toString();
            return out;
        };
        const QStringList before = census();
        qv::InitOptions o;
        o.dataSource = c.dataSource;
        o.catalog = c.catalog;
        o.user = c.user;
        o.password = "a new password";
        o.lockPassword = "new lock";
        o.replace = true;
        o.demo = true;
        o.cost = qv::Logins::HashCost::Minimal;
        o.adminUser = qEnvironmentVariable("QUORAVEL_TEST_PG_USER");
        o.adminPassword = qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD");
        o.demoVouchers = [](qv::Connection&) { throw qv::DbError("the disk filled up"); };
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::Provision::init(o));
        admin.close();
        QCOMPARE(census(), before);
        qv::Connection login;
        QVERIFY(canOpen(c)); // the old password still opens it
        c.connect(login);
        QCOMPARE(login.scalar("select Company from Company").toString(), QString("KEEP ME"));
        login.close();
        // A new login name already taken by a role with rights of its own is refused before anything.
        o.demoVouchers = nullptr;
        o.user = qEnvironmentVariable("QUORAVEL_TEST_PG_USER");
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::Provision::init(o));
        QCOMPARE(census(), before);
        c.connect(login);
        QCOMPARE(login.scalar("select Company from Company").toString(), QString("KEEP ME"));
        // A book open on a station is not replaced.
        o.user = c.user;
        o.demo = false;
        try {
            qv::Provision::init(o);
            QFAIL("a book in use was replaced");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains("is open"), qPrintable(e.description()));
        }
        QCOMPARE(census(), before);
        QCOMPARE(login.scalar("select Company from Company").toString(), QString("KEEP ME"));
        login.close();
        c.drop();
    }
};

QTEST_GUILESS_MAIN(TstServerBooks)
#include "tst_serverbooks.moc"
