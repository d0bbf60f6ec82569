// quoravel-admin as a user runs it: exit codes, messages, and what it leaves in the database.
#include "db/logins.h"
#include "support/dbfixture.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {
struct Run {
    int code;
    QString out;
    QString err;
};
Run admin(QStringList args)
{
    QProcess p;
    p.start(QStringLiteral(QV_ADMIN), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
} // namespace

class TstAdmin : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString server, catalog;
    QStringList pgAdmin;

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        if (qvt::backend() == qv::Backend::Sqlite) {
            server = dir.filePath("books/Fendral.sqlite");
            catalog = "Fendral";
        } else {
            server = qEnvironmentVariable("QUORAVEL_TEST_PG");
            catalog = QString("qvt_admin_%1").arg(QCoreApplication::applicationPid());
            pgAdmin = {"--admin-user", qEnvironmentVariable("QUORAVEL_TEST_PG_USER"), "--admin-password",
                       qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD")};
        }
    }
    void cleanupTestCase()
    {
        qvt::TestDb t;
        t.dataSource = server;
        t.catalog = catalog;
        t.drop();
    }

    void helpAndUsageErrors()
    {
        const Run help = admin({"--help"});
        QCOMPARE(help.code, 0);
        for (const char* word : {"init", "add-login", "set-lock-password", "report", "--demo", "--admin-user"})
            QVERIFY2(help.out.contains(word), word);
        QCOMPARE(admin({}).code, 2);
        const Run unknown = admin({"frobnicate"});
        QCOMPARE(unknown.code, 2);
        QVERIFY(unknown.err.contains("unknown command"));
        const Run missing = admin({"init", "--server", server, "--user", "owner", "--password", "pw"});
        QCOMPARE(missing.code, 2);
        QVERIFY2(missing.err.contains("--lock-password is missing"), qPrintable(missing.err));
        const Run noValue = admin({"init", "--server"});
        QCOMPARE(noValue.code, 2);
        QVERIFY(noValue.err.contains("needs a value"));
    }

    void initAddLoginAndLockPassword()
    {
        const QStringList common = {"--server", server, "--catalog", catalog};
        const Run init = admin(
            QStringList{"init"} + common
            + QStringList{"--user", "owner", "--password", "first pw", "--lock-password", "lk", "--demo", "--force"}
            + pgAdmin);
        QVERIFY2(init.code == 0, qPrintable(init.err));
        QVERIFY(init.out.contains("demo"));
        // A second init does not overwrite the books.
        const Run again = admin(QStringList{"init"} + common
                                + QStringList{"--user", "owner", "--password", "x", "--lock-password", "y"} + pgAdmin);
        QCOMPARE(again.code, 1);
        QVERIFY2(again.err.contains("already exists"), qPrintable(again.err));

        qvt::TestDb t;
        t.dataSource = server;
        t.catalog = catalog;
        t.user = "owner";
        t.password = "first pw";
        qv::Connection c;
        t.connect(c);
        QVERIFY(c.scalar("select count(*) from MasJV").toInt() > 0);
        QVERIFY(qv::Logins::verifyHash(c.scalar("select Pswd from LctPswd").toString(), "lk"));

        const Run add = admin(QStringList{"add-login"} + common
                              + QStringList{"--user", "owner", "--password", "first pw", "--new-user",
                                            "clerk_" + qvt::backendName(), "--new-password", "it's mine"});
        QVERIFY2(add.code == 0, qPrintable(add.err));
        qvt::TestDb clerk = t;
        clerk.user = "clerk_" + qvt::backendName();
        clerk.password = "it's mine";
        qv::Connection c2;
        clerk.connect(c2);
        QVERIFY(c2.isOpen());

        const Run wrong = admin(QStringList{"set-lock-password"} + common
                                + QStringList{"--user", "owner", "--password", "bad", "--lock-password", "new"});
        QCOMPARE(wrong.code, 1);
        QVERIFY(!wrong.err.trimmed().isEmpty());
        const Run lock =
            admin(QStringList{"set-lock-password"} + common
                  + QStringList{"--user", "owner", "--password", "first pw", "--lock-password", "new one"});
        QVERIFY2(lock.code == 0, qPrintable(lock.err));
        QCOMPARE(c.scalar("select count(*) from LctPswd").toInt(), 1);
        QVERIFY(qv::Logins::verifyHash(c.scalar("select Pswd from LctPswd").toString(), "new one"));
        if (qvt::backend() == qv::Backend::Postgres)
            qv::Logins::remove(c, clerk.user);
    }
};

QTEST_GUILESS_MAIN(TstAdmin)
#include "tst_admin.moc"
