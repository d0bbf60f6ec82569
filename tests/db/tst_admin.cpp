// quoravel-admin as a user runs it: exit codes, messages, and what it leaves in the database.
#include "db/logins.h"
#include "support/adminrun.h"
#include "support/dbfixture.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {
using Run = qvt::AdminRun;
// Not a terminal: passwords left out are read from `input`, one a line.
Run admin(const QStringList& args, const QByteArray& input = {})
{
    qvt::AdminOptions o;
    o.input = input;
    return qvt::runAdmin(args, o);
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

    void commandLineMistakesExitTwoAndTouchNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        const QStringList init = {"init", "--user", "owner", "--password", "pw", "--lock-password", "lk"};
        QTest::newRow("unknown option") << init + QStringList{"--server", "S", "--frobnicate", "x"} << "--frobnicate";
        QTest::newRow("flag with a value") << init + QStringList{"--server", "S", "--demo=yes"} << "--demo";
        QTest::newRow("flag of another command")
            << QStringList{"set-lock-password", "--server", "S",      "--user", "o", "--password", "p",
                           "--lock-password",   "l",        "--force"}
            << "--force";
        QTest::newRow("empty server") << init + QStringList{"--server", ""} << "--server";
        QTest::newRow("blank server") << init + QStringList{"--server", "  "} << "--server";
        QTest::newRow("catalog path") << init + QStringList{"--server", "S", "--catalog", "../../x"} << "--catalog";
        QTest::newRow("catalog path on backup")
            << QStringList{"backup", "--server", "S", "--catalog", "a/b"} << "--catalog";
    }
    void commandLineMistakesExitTwoAndTouchNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        const QString where = dir.filePath("mistakes/Fendral.sqlite");
        args.replaceInStrings(QRegularExpression("^S$"), where);
        const Run r = admin(args + (args[0] == "init" ? pgAdmin : QStringList()));
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(says) && r.err.contains("--help"), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(dir.filePath("mistakes")));
        QVERIFY(!QFileInfo::exists(dir.filePath("x.sqlite")));
    }

    void passwordsLeftOutAreReadFromStandardInput()
    {
        QStringList common = {"--server", server, "--catalog", catalog + "_in"};
        if (qvt::backend() == qv::Backend::Sqlite)
            common[1] = dir.filePath("stdin/Fendral.sqlite");
        const Run bad = admin(QStringList{"init"} + common + QStringList{"--user", "owner", "--force"} + pgAdmin,
                              "pass\xff\xfeword\nlock\n");
        QVERIFY2(bad.code != 0 && bad.err.contains("UTF-8"), qPrintable(bad.err));
        const Run init = admin(QStringList{"init"} + common + QStringList{"--user", "owner", "--force"} + pgAdmin,
                               "stdin pw\nthe lock\n");
        QVERIFY2(init.code == 0, qPrintable(init.err));
        QVERIFY2(!init.out.contains("stdin pw") && !init.err.contains("stdin pw"), qPrintable(init.out + init.err));
        // Server roles outlive a run: a name of this run's own.
        const QString second = QString("second_%1").arg(QCoreApplication::applicationPid());
        const Run add = admin(QStringList{"add-login"} + common + QStringList{"--user", "owner", "--new-user", second},
                              "stdin pw\nsecond pw\n");
        QVERIFY2(add.code == 0, qPrintable(add.err));
        const Run missing = admin(QStringList{"set-lock-password"} + common + QStringList{"--user", "owner"}, "");
        QCOMPARE(missing.code, 2);

        qvt::TestDb t;
        t.dataSource = common[1];
        t.catalog = common[3];
        t.user = second;
        t.password = "second pw";
        qv::Connection c;
        t.connect(c);
        c.close();
        if (qvt::backend() == qv::Backend::Postgres) {
            t.connectAdmin(c);
            qv::Logins::remove(c, second);
            c.close();
        }
        t.drop();
    }

    void internalErrorsBecomeAdvice()
    {
        const QStringList common = {"--server", server, "--catalog", catalog};
        const Run init =
            admin(QStringList{"init"} + common
                  + QStringList{"--user", "owner", "--password", "pw", "--lock-password", "lk", "--force"} + pgAdmin);
        QVERIFY2(init.code == 0, qPrintable(init.err));
        const Run longLock =
            admin(QStringList{"set-lock-password"} + common
                  + QStringList{"--user", "owner", "--password", "pw", "--lock-password", QString(51, 'L')});
        QCOMPARE(longLock.code, 1);
        QVERIFY2(longLock.err.contains("at most 50 characters") && !longLock.err.contains("CHECK")
                     && !longLock.err.contains("varying"),
                 qPrintable(longLock.err));
        if (qvt::backend() == qv::Backend::Sqlite) {
            const Run noFolder = admin({"init", "--server", "/proc/Fendral.sqlite", "--user", "owner", "--password",
                                        "pw", "--lock-password", "lk"});
            QCOMPARE(noFolder.code, 1);
            QVERIFY2(!noFolder.err.contains("unable to open database file") && noFolder.err.contains("/proc"),
                     qPrintable(noFolder.err));
        }
    }
};

QTEST_GUILESS_MAIN(TstAdmin)
#include "tst_admin.moc"
