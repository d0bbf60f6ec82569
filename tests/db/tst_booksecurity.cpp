// What a login may do to its book and to others (a manager's logins, never another manager's
// password nor a login with rights elsewhere), the lock password at rest, and the schema
// version check, through quoravel-admin and the connection as stations use them.
#include "db/logins.h"
#include "db/schema.h"
#include "db/serverbook.h"
#include "admin/adminstore.h"
#include "adminrun.h"

#include <QFile>
#include <QFileInfo>

using namespace qvt;

class TstBookSecurity : public QObject {
    Q_OBJECT
    qvt::TestDb a, b;
    QString tag;

    void addLogin(const qvt::TestDb& t, const QString& user, const QString& password)
    {
        const Run r = runAdmin(QStringList{"add-login"} + target(t)
                               + QStringList{"--new-user", user, "--new-password", password});
        QVERIFY2(r.code == 0, qPrintable(r.err));
    }

    // Whether the book's function refuses the call on `c`.
    static bool functionRefuses(qv::Connection& c, const QString& call, const QVariantList& args)
    {
        try {
            c.scalar("select public." + call, args);
            return false;
        } catch (const qv::DbError&) {
            return true;
        }
    }
    static QStringList upgradeArgs(const qvt::TestDb& t)
    {
        QStringList adminOpts;
        if (isPg())
            adminOpts = {"--admin-user", qEnvironmentVariable("QUORAVEL_TEST_PG_USER"), "--admin-password",
                         qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD")};
        return QStringList{"upgrade", "--server", t.dataSource, "--catalog", t.catalog} + adminOpts;
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
        // A login named as a later book's group would become that group: refused, by the
        // program and by the server's function alike.
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::Logins::add(owner, "qvu_later_" + tag, "pw"));
        QVERIFY(refused(owner, QString("select public.qv_add_login('QVU_later_%1', 'SCRAM-SHA-256$4096:x')").arg(tag)));
        QCOMPARE(admin.scalar("select count(*) from pg_roles where lower(rolname) = ?", {"qvu_later_" + tag}).toInt(),
                 0);
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

    // A manager sets its own password only: a co-manager's is refused by the book's function,
    // or it could log in as that manager.
    void coManagersPasswordIsRefused()
    {
        if (!isPg())
            QSKIP("server roles only");
        const QString co = "co_" + tag;
        addLogin(a, co, "co pw");
        qv::Connection admin;
        a.connectAdmin(admin);
        using qv::ServerBook::quoteIdent;
        admin.execute(
            QString("GRANT %1 TO %2").arg(quoteIdent(qv::ServerBook::rolesFor(a.catalog).admins), quoteIdent(co)));
        qv::Connection owner;
        a.connect(owner);
        QVERIFY(functionRefuses(owner, "qv_set_login_password(?, ?)",
                                {co, qv::ServerBook::scramVerifier(owner, co, "taken")}));
        QVERIFY(canOpen(as(a, co, "co pw")));
        {
            qv::Connection self;
            as(a, co, "co pw").connect(self);
            qv::Logins::setPassword(self, co, "co pw 2");
        }
        QVERIFY(canOpen(as(a, co, "co pw 2")));
        admin.execute("DROP ROLE " + quoteIdent(co));
    }

    // A login of the book that owns something on the server, or holds a right beyond the book's
    // users' group, is the server administrator's: the manager can neither set its password
    // nor remove it.
    void loginsWithRightsElsewhereAreRefused()
    {
        if (!isPg())
            QSKIP("server roles only");
        const QString rich = "rich_" + tag;
        addLogin(a, rich, "rich pw");
        qv::Connection admin, owner;
        a.connectAdmin(admin);
        a.connect(owner);
        using qv::ServerBook::quoteIdent;
        const QString r = quoteIdent(rich), other = quoteIdent(b.catalog), spare = quoteIdent("rich_db_" + tag);
        const QList<QPair<QString, QString>> rights = {
            {"CREATE DATABASE " + spare + " OWNER " + r, "DROP DATABASE " + spare},
            {"CREATE SCHEMA rich_s AUTHORIZATION " + r, "DROP SCHEMA rich_s"},
            {"GRANT CREATE ON DATABASE " + other + " TO " + r, "REVOKE CREATE ON DATABASE " + other + " FROM " + r},
        };
        auto throws = [](auto&& step) {
            try {
                step();
                return false;
            } catch (const qv::DbError&) {
                return true;
            }
        };
        for (const auto& [give, takeBack] : rights) {
            admin.execute(give);
            QVERIFY2(throws([&] { qv::Logins::setPassword(owner, rich, "taken"); }), qPrintable(give));
            QVERIFY2(throws([&] { qv::Logins::remove(owner, rich); }), qPrintable(give));
            admin.execute(takeBack);
        }
        QVERIFY(canOpen(as(a, rich, "rich pw")));
        // Holding nothing beyond the book again, it is the manager's.
        qv::Logins::setPassword(owner, rich, "rich pw 2");
        QVERIFY(canOpen(as(a, rich, "rich pw 2")));
        qv::Logins::remove(owner, rich);
    }

    // The login functions take a password only as a well-formed SCRAM-SHA-256 verifier: any
    // other text would have become the clear password itself.
    void onlyWellFormedVerifiers()
    {
        if (!isPg())
            QSKIP("server roles only");
        const QString clerk = "scram_" + tag;
        addLogin(a, clerk, "scram pw");
        qv::Connection owner;
        a.connect(owner);
        const QString good = qv::ServerBook::scramVerifier(owner, clerk, "scram pw 2");
        const QString salt = good.section('$', 1, 1).section(':', 1), keys = good.section('$', 2);
        const QString stored = keys.section(':', 0, 0), server = keys.section(':', 1);
        auto verifier = [](const QString& iterations, const QString& salt, const QString& keys) {
            return "SCRAM-SHA-256$" + iterations + ":" + salt + "$" + keys;
        };
        const QStringList bad = {
            "SCRAM-SHA-256$garbage",
            verifier("4096", salt, stored + ":" + server.left(40)),
            verifier("4096", salt, stored + ":" + server + "AAAA"),
            verifier("4096", salt, stored),
            verifier("4096", "!!!!" + salt.mid(4), keys),
            verifier("4096", salt.left(5), keys),
            verifier("0", salt, keys),
            verifier("1", salt, keys), // too cheap to guess against
            verifier("x", salt, keys),
            good + " ",
        };
        for (const QString& v : bad) {
            QVERIFY2(functionRefuses(owner, "qv_set_login_password(?, ?)", {clerk, v}), qPrintable(v));
            QVERIFY2(functionRefuses(owner, "qv_add_login(?, ?)", {"x" + clerk, v}), qPrintable(v));
        }
        QCOMPARE(owner.scalar("select count(*) from pg_roles where rolname = ?", {"x" + clerk}).toInt(), 0);
        QVERIFY(canOpen(as(a, clerk, "scram pw")));
        QVERIFY(!functionRefuses(owner, "qv_set_login_password(?, ?)", {clerk, good}));
        QVERIFY(canOpen(as(a, clerk, "scram pw 2")));
        qv::Logins::remove(owner, clerk);
    }

    // An existing server book gets the program's login functions from quoravel-admin upgrade,
    // at the current schema version too: an older function that took any text is replaced.
    void upgradeRenewsTheLoginFunctions()
    {
        if (!isPg())
            QSKIP("server functions only");
        {
            qv::Connection admin;
            a.connectAdmin(admin);
            admin.execute("CREATE OR REPLACE FUNCTION public.qv_set_login_password(login text, verifier text) RETURNS "
                          "void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS "
                          "$$begin execute format('ALTER ROLE %I PASSWORD %L', login, verifier); end$$");
        }
        const Run up = runAdmin(upgradeArgs(a));
        QVERIFY2(up.code == 0, qPrintable(up.err + up.out));
        const QString clerk = "up_" + tag;
        addLogin(a, clerk, "up pw");
        qv::Connection owner;
        a.connect(owner);
        QVERIFY(functionRefuses(owner, "qv_set_login_password(?, ?)", {clerk, "SCRAM-SHA-256$garbage"}));
        QVERIFY(canOpen(as(a, clerk, "up pw")));
        qv::Logins::remove(owner, clerk);
        QCOMPARE(runAdmin(upgradeArgs(a)).out,
                 QString("The book is up to date (schema version %1).\n").arg(qv::Schema::CurrentVersion));
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
        const QString longLock(50, QChar('k')); // the longest a user may type
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
        const QStringList upgrade = upgradeArgs(b);
        QCOMPARE(runAdmin(upgrade).code, 1); // never downwards
        {
            // Version 1 kept the lock password in clear in a narrower column.
            b.makeOlder(1);
            qv::Connection admin;
            b.connectAdmin(admin);
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
};

QTEST_GUILESS_MAIN(TstBookSecurity)
#include "tst_booksecurity.moc"
