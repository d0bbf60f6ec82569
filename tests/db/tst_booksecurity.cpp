// What a login may do to its book and to others, the lock password at rest, and the schema
// version check, through quoravel-admin and the connection as stations use them.
#include "db/logins.h"
#include "db/schema.h"
#include "shell/adminstore.h"
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
        QStringList adminOpts;
        if (isPg())
            adminOpts = {"--admin-user", qEnvironmentVariable("QUORAVEL_TEST_PG_USER"), "--admin-password",
                         qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD")};
        const QStringList upgrade =
            QStringList{"upgrade", "--server", b.dataSource, "--catalog", b.catalog} + adminOpts;
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
