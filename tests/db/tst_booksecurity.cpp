// What a login may do to its book and to others, the lock password at rest, and the schema
// version check, through quoravel-admin and the connection as stations use them.
#include "db/logins.h"
#include "db/provision.h"
#include "db/schema.h"
#include "shell/adminstore.h"
#include "support/dbfixture.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {
struct Run {
    int code;
    QString out;
    QString err;
};
Run runAdmin(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QV_ADMIN), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
bool isPg()
{
    return qvt::backend() == qv::Backend::Postgres;
}
// Whether `sql` fails when run as the login on `c`.
bool refused(qv::Connection& c, const QString& sql)
{
    try {
        c.execute(sql);
        return false;
    } catch (const qv::DbError&) {
        return true;
    }
}
} // namespace

class TstBookSecurity : public QObject {
    Q_OBJECT
    qvt::TestDb a, b;
    QString tag;

    QStringList target(const qvt::TestDb& t) const
    {
        return {"--server", t.dataSource, "--catalog", t.catalog, "--user", t.user, "--password", t.password};
    }
    qvt::TestDb as(const qvt::TestDb& t, const QString& user, const QString& password) const
    {
        qvt::TestDb o = t;
        o.user = user;
        o.password = password;
        return o;
    }
    bool canOpen(const qvt::TestDb& t)
    {
        try {
            qv::Connection c;
            t.connect(c);
            return c.isOpen();
        } catch (const qv::DbError&) {
            return false;
        }
    }
    void addLogin(const qvt::TestDb& t, const QString& user, const QString& password)
    {
        const Run r = runAdmin(QStringList{"add-login"} + target(t)
                               + QStringList{"--new-user", user, "--new-password", password});
        QVERIFY2(r.code == 0, qPrintable(r.err));
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        tag = QString("%1_%2").arg(qvt::backendName()).arg(QCoreApplication::applicationPid());
        // Each book its own first login: a login of one must not reach the other.
        a = qvt::TestDb::create(false, "own_a_" + tag);
        b = qvt::TestDb::create(false, "own_b_" + tag);
    }
    void cleanupTestCase()
    {
        a.drop();
        b.drop();
    }

    // The first login of a book and the logins it adds hold nothing beyond LOGIN: they cannot
    // make roles, give themselves any role, or reach past the program's own functions.
    void loginsHoldNoRoleRights()
    {
        if (!isPg())
            QSKIP("server roles only");
        qv::Connection admin;
        a.connectAdmin(admin);
        const QString attrs = "select count(*) from pg_roles where rolname = ? and (rolsuper or rolcreaterole or "
                              "rolcreatedb or rolreplication or rolbypassrls)";
        QCOMPARE(admin.scalar(attrs, {a.user}).toInt(), 0);
        const QString clerk = "clerk_" + tag;
        addLogin(a, clerk, "clerk pw");
        QCOMPARE(admin.scalar(attrs, {clerk}).toInt(), 0);
        QCOMPARE(admin
                     .scalar("select count(*) from pg_auth_members m join pg_roles r on r.oid = m.member "
                             "where r.rolname in (?, ?) and m.admin_option",
                             {a.user, clerk})
                     .toInt(),
                 0);
        for (const qvt::TestDb& who : {a, as(a, clerk, "clerk pw")}) {
            qv::Connection c;
            who.connect(c);
            QVERIFY(refused(c, "create role qv_intruder_" + tag));
            QVERIFY(refused(c, "grant pg_execute_server_program to current_user"));
            QVERIFY(refused(c, "grant pg_read_server_files to current_user"));
            QVERIFY(refused(c, "alter role current_user createrole"));
            QVERIFY(refused(c, "create table intruder (x int)"));
            // The book's own group may not be handed on either.
            const QString group = admin
                                      .scalar("select g.rolname from pg_auth_members m join pg_roles g on g.oid = "
                                              "m.roleid join pg_roles r on r.oid = m.member where r.rolname = ? "
                                              "order by g.rolname limit 1",
                                              {clerk})
                                      .toString();
            QVERIFY(!group.isEmpty());
            QVERIFY(refused(c, QString("grant \"%1\" to \"%2\"").arg(group, who.user == clerk ? a.user : clerk)));
        }
        // A clerk is not the book's manager: adding a login is refused.
        const Run byClerk = runAdmin(QStringList{"add-login"} + target(as(a, clerk, "clerk pw"))
                                     + QStringList{"--new-user", "x" + clerk, "--new-password", "pw"});
        QCOMPARE(byClerk.code, 1);
        QCOMPARE(admin.scalar("select count(*) from pg_roles where rolname = ?", {"x" + clerk}).toInt(), 0);
        // The manager changes and removes logins of its own book only, through the program.
        qv::Connection owner;
        a.connect(owner);
        qv::Logins::setPassword(owner, clerk, "clerk pw 2");
        QVERIFY(canOpen(as(a, clerk, "clerk pw 2")));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::Logins::setPassword(owner, b.user, "taken over"));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::Logins::remove(owner, b.user));
        QVERIFY_THROWS_EXCEPTION(qv::DbError,
                                 qv::Logins::setPassword(owner, qEnvironmentVariable("QUORAVEL_TEST_PG_USER"), "x"));
        QVERIFY(canOpen(b));
        qv::Logins::remove(owner, clerk);
        QCOMPARE(admin.scalar("select count(*) from pg_roles where rolname = ?", {clerk}).toInt(), 0);
    }

    // A login of one book cannot open another, and cannot change the version or the lock.
    void booksAreSeparate()
    {
        if (!isPg())
            QSKIP("server roles only");
        const QString clerk = "sep_" + tag;
        addLogin(a, clerk, "sep pw");
        QVERIFY(canOpen(as(a, clerk, "sep pw")));
        QVERIFY(!canOpen(as(b, a.user, a.password)));
        QVERIFY(!canOpen(as(b, clerk, "sep pw")));
        QVERIFY(!canOpen(as(a, b.user, b.password)));
        for (const qvt::TestDb& who : {a, as(a, clerk, "sep pw")}) {
            qv::Connection c;
            who.connect(c);
            QVERIFY(c.scalar("select count(*) from Accounts").toInt() >= 0);
            QVERIFY(refused(c, "update SchemaInfo set Version = 99"));
            QVERIFY(refused(c, "insert into SchemaInfo (Version) values (99)"));
            QVERIFY(refused(c, "delete from LctPswd"));
            QVERIFY(refused(c, "update LctPswd set Pswd = 'x'"));
            QVERIFY(refused(c, "insert into LctPswd (Pswd) values ('x')"));
            QVERIFY(refused(c, "drop table Accounts"));
        }
        qv::Connection owner;
        a.connect(owner);
        qv::Logins::remove(owner, clerk);
    }

    // The lock password rests as an argon2id hash; the gate and set-lock-password go through it.
    void lockPasswordIsHashed()
    {
        qv::Connection c;
        a.connect(c);
        const QString stored = c.scalar("select Pswd from LctPswd").toString();
        QVERIFY2(stored.startsWith("$argon2id$"), qPrintable(stored));
        qv::LockStore lock(c);
        QVERIFY(lock.passwordMatches(a.lockPassword));
        QVERIFY(!lock.passwordMatches(a.lockPassword.toUpper()));
        QVERIFY(!lock.passwordMatches(a.lockPassword + " "));
        QVERIFY(!lock.passwordMatches(stored));
        const QString longLock(60, QChar('k'));
        const Run set =
            runAdmin(QStringList{"set-lock-password"} + target(a) + QStringList{"--lock-password", longLock});
        QVERIFY2(set.code == 0, qPrintable(set.err));
        QCOMPARE(c.scalar("select count(*) from LctPswd").toInt(), 1);
        QVERIFY(c.scalar("select Pswd from LctPswd").toString().startsWith("$argon2id$"));
        QVERIFY(lock.passwordMatches(longLock));
        QVERIFY(!lock.passwordMatches(a.lockPassword));
        if (isPg()) {
            // Only the book's manager sets it.
            const QString clerk = "lk_" + tag;
            addLogin(a, clerk, "lk pw");
            const Run byClerk = runAdmin(QStringList{"set-lock-password"} + target(as(a, clerk, "lk pw"))
                                         + QStringList{"--lock-password", "mine now"});
            QCOMPARE(byClerk.code, 1);
            QVERIFY(lock.passwordMatches(longLock));
            qv::Logins::remove(c, clerk);
        }
    }

    // No password, of a login or of the lock, reaches the server's log, even when a request fails.
    void noPasswordInServerLog()
    {
        if (!isPg())
            QSKIP("server log only");
        const QString logPath = qEnvironmentVariable("QUORAVEL_TEST_PG_LOG");
        if (logPath.isEmpty() || !QFile::exists(logPath))
            QSKIP("the server's log is not named (QUORAVEL_TEST_PG_LOG)");
        const qint64 start = QFileInfo(logPath).size(); // earlier runs wrote there too
        const QString clerk = "log_" + tag;
        addLogin(a, clerk, "CarlSecret-123");
        // Taken name, refused by the server: a failing request.
        const Run again = runAdmin(QStringList{"add-login"} + target(a)
                                   + QStringList{"--new-user", clerk, "--new-password", "CarlSecret-456"});
        QCOMPARE(again.code, 1);
        const Run byClerk = runAdmin(QStringList{"add-login"} + target(as(a, clerk, "CarlSecret-123"))
                                     + QStringList{"--new-user", "x" + clerk, "--new-password", "CarlSecret-789"});
        QCOMPARE(byClerk.code, 1);
        qv::Connection c;
        a.connect(c);
        qv::Logins::setPassword(c, clerk, "CarlSecret-abc");
        qv::Logins::remove(c, clerk);
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.seek(start));
        const QByteArray text = log.readAll();
        QVERIFY2(text.contains(clerk.toUtf8()), "the log records statements"); // it is the right log
        for (const char* secret : {"CarlSecret-123", "CarlSecret-456", "CarlSecret-789", "CarlSecret-abc"})
            QVERIFY2(!text.contains(secret), secret);
        QVERIFY(!text.contains(a.password.toUtf8()));
    }

    // A book of a newer schema is refused; an older one is refused until upgraded, and the
    // upgrade hashes the clear lock password of version 1.
    void schemaVersionIsChecked()
    {
        {
            qv::Connection admin;
            b.connectAdmin(admin);
            admin.execute("update SchemaInfo set Version = ?", {qv::Schema::CurrentVersion + 1});
        }
        qv::Connection c;
        try {
            b.connect(c);
            QFAIL("a book of a newer schema was opened");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains("newer"), qPrintable(e.description()));
        }
        const Run newer = runAdmin(QStringList{"set-lock-password"} + target(b) + QStringList{"--lock-password", "x"});
        QCOMPARE(newer.code, 1);
        QVERIFY2(newer.err.contains("newer"), qPrintable(newer.err));
        QStringList adminOpts;
        if (isPg())
            adminOpts = {"--admin-user", qEnvironmentVariable("QUORAVEL_TEST_PG_USER"), "--admin-password",
                         qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD")};
        const QStringList upgrade =
            QStringList{"upgrade", "--server", b.dataSource, "--catalog", b.catalog} + adminOpts;
        QCOMPARE(runAdmin(upgrade).code, 1); // never downwards
        {
            // Version 1 kept the lock password in clear in a narrower column.
            qv::Connection admin;
            b.connectAdmin(admin);
            admin.execute("update SchemaInfo set Version = 1");
            admin.execute("delete from LctPswd");
            admin.execute("insert into LctPswd (Pswd) values ('old lock')");
        }
        try {
            b.connect(c);
            QFAIL("a book of an older schema was opened");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains("quoravel-admin upgrade"), qPrintable(e.description()));
        }
        const Run up = runAdmin(upgrade);
        QVERIFY2(up.code == 0, qPrintable(up.err + up.out));
        b.connect(c);
        QCOMPARE(qv::Schema::version(c), qv::Schema::CurrentVersion);
        QVERIFY(c.scalar("select Pswd from LctPswd").toString().startsWith("$argon2id$"));
        QVERIFY(qv::LockStore(c).passwordMatches("old lock"));
        QCOMPARE(runAdmin(upgrade).code, 0); // a current book is left as it is
    }

    // A server book of version 1 (one group for every book, the first login with CREATEROLE)
    // gets its own roles: the old group's logins keep this book, the manager loses CREATEROLE.
    void legacyServerBookGetsItsOwnRoles()
    {
        if (!isPg())
            QSKIP("server roles only");
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
            admin.execute("update SchemaInfo set Version = 1");
        }
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
        if (!isPg())
            QSKIP("server books only (the embedded file has its own tests)");
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
        login.close();
        c.drop();
    }
};

QTEST_GUILESS_MAIN(TstBookSecurity)
#include "tst_booksecurity.moc"
