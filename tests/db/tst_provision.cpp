// Making a book: every input is checked before an old book is touched, on both backends; stored
// hashes and passwords that would cost or collide are refused; the Data Source's servers and TLS.
#include "db/logins.h"
#include "support/dbfixture.h"
#include "replacebook.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

using qvt::expectRefusal;
using qvt::oldBookIsWhole;
using qvt::optionsFor;

class TstProvision : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    bool embedded() const { return qvt::backend() == qv::Backend::Sqlite; }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }

    void badInputsLeaveTheOldBook_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("lock");
        QTest::addColumn<QString>("catalog");
        QTest::addColumn<QString>("reason");
        QTest::newRow("name") << "bad name"
                              << "pw"
                              << "lk" << QString() << "user name";
        QTest::newRow("empty password") << "owner2"
                                        << ""
                                        << "lk" << QString() << "password";
        QTest::newRow("empty lock") << "owner2"
                                    << "pw"
                                    << "" << QString() << "lock password";
        QTest::newRow("long lock") << "owner2"
                                   << "pw" << QString(51, 'L') << QString() << "50";
        QTest::newRow("lone surrogate") << "owner2" << QString("pa") + QChar(0xD800) + "ss"
                                        << "lk" << QString() << "UTF-8";
        QTest::newRow("replacement char") << "owner2"
                                          << "pw" << QString("l") + QChar(0xFFFD) + "k" << QString() << "UTF-8";
        QTest::newRow("catalog path") << "owner2"
                                      << "pw"
                                      << "lk"
                                      << "../../x"
                                      << "catalog";
        QTest::newRow("catalog blank") << "owner2"
                                       << "pw"
                                       << "lk"
                                       << " "
                                       << "catalog";
    }
    void badInputsLeaveTheOldBook()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, lock);
        QFETCH(QString, catalog);
        QFETCH(QString, reason);
        const qvt::TestDb t = qvt::TestDb::create(true);
        qv::InitOptions o = optionsFor(t);
        o.user = user;
        o.password = password;
        o.lockPassword = lock;
        if (!catalog.isNull()) {
            o.catalog = catalog;
            // The catalog names the file only in the data folder.
            if (qvt::backend() == qv::Backend::Sqlite)
                o.dataSource = ".";
        }
        const QString why = expectRefusal(o);
        QVERIFY2(why.contains(reason, Qt::CaseInsensitive), qPrintable(why));
        QVERIFY(oldBookIsWhole(t));
        t.drop();
    }

    void fiftyCharacterLockPasswordIsAccepted()
    {
        const qvt::TestDb t = qvt::TestDb::create();
        qv::InitOptions o = optionsFor(t);
        // 50 characters: 100 bytes, and 20 of them outside the BMP (two UTF-16 units each).
        o.lockPassword = QString(30, QChar(0x00E9)) + QString::fromUtf8("😀").repeated(20);
        QCOMPARE(expectRefusal(o), QString());
        qv::Connection c;
        qvt::TestDb fresh = t;
        fresh.user = o.user;
        fresh.password = o.password;
        fresh.connect(c);
        QCOMPARE(c.scalar(QStringLiteral("select count(*) from LctPswd")).toInt(), 1);
        t.drop();
    }

    void storedHashBeyondOwnParametersIsRefusedAtOnce()
    {
        const QString own = qv::Logins::hashPassword(QStringLiteral("pw"));
        QVERIFY(qv::Logins::verifyHash(own, QStringLiteral("pw")));
        // The same hash asking for 256 MiB and 10 passes.
        QString greedy = own;
        greedy.replace(QRegularExpression(QStringLiteral("m=\\d+,t=\\d+")), QStringLiteral("m=262144,t=10"));
        QVERIFY(greedy != own);
        QElapsedTimer timer;
        timer.start();
        QString why;
        try {
            QVERIFY(!qv::Logins::verifyHash(greedy, QStringLiteral("pw")));
        } catch (const qv::DbError& e) {
            why = e.description();
        }
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(why.contains("more work"), qPrintable(why));
    }

    void passwordsMustBeValidText()
    {
        // Lone surrogates all became the same bytes: different passwords matched.
        const QString a = QString("x") + QChar(0xD800), b = QString("x") + QChar(0xDBFF);
        bool refused = false;
        try {
            const QString h = qv::Logins::hashPassword(a, qv::Logins::HashCost::Minimal);
            QVERIFY(!qv::Logins::verifyHash(h, b));
        } catch (const qv::DbError& e) {
            refused = e.description().contains("UTF-8");
        }
        QVERIFY(refused);
        const QString h = qv::Logins::hashPassword(QStringLiteral("x?"), qv::Logins::HashCost::Minimal);
        QVERIFY(!qv::Logins::verifyHash(h, QString("x") + QChar(0xFFFD)));
        QVERIFY(qv::Logins::passwordProblem(QStringLiteral("gültig ✓")).isEmpty());
        QVERIFY(!qv::Logins::passwordProblem(QString("x") + QChar(0xFFFD)).isEmpty());
        QVERIFY(qv::Logins::decodeUtf8("\xff\xfe").has_value() == false);
        QCOMPARE(qv::Logins::decodeUtf8("gr\xc3\xbc\xc3\x9f").value(), QString::fromUtf8("grüß"));
    }

    void dataSourceNamesServersAndTls()
    {
        using qv::DataSource;
        const DataSource one = DataSource::parse("db1:5433?sslmode=require", "F");
        QCOMPARE(one.backend, qv::Backend::Postgres);
        QCOMPARE(one.host, QString("db1"));
        QCOMPARE(one.port, 5433);
        QCOMPARE(one.sslMode, QString("require"));
        QVERIFY(one.connectOptions().contains("sslmode=require"));
        QVERIFY(!one.connectOptions().contains("target_session_attrs"));
        QCOMPARE(DataSource::parse("db1", "F").sslMode, QString("prefer"));
        const DataSource two = DataSource::parse("db1:5432,db2", "F");
        QCOMPARE(two.hosts, QStringList({"db1", "db2"}));
        QCOMPARE(two.ports, QList<int>({5432, 5432}));
        QVERIFY(two.connectOptions().contains("target_session_attrs=read-write"));
        QVERIFY(two.connectOptions().contains("port=5432,5432"));
        QVERIFY(!DataSource::parse("db1?sslmode=bogus", "F").error.isEmpty());
        QVERIFY(!DataSource::parse("db1?host=evil", "F").error.isEmpty());
        QVERIFY(!DataSource::parse("db1:99999", "F").error.isEmpty());
        // Reports on a standby: their own connection prefers one; saves still want the primary.
        const DataSource reports = DataSource::parse("db1,db2?sslmode=require&reports=standby", "F");
        QVERIFY(reports.error.isEmpty() && reports.reportsOnStandby && reports.sslMode == "require");
        QVERIFY(reports.connectOptions(DataSource::Use::Reports).contains("target_session_attrs=prefer-standby"));
        QVERIFY(reports.connectOptions().contains("target_session_attrs=read-write"));
        QVERIFY(!DataSource::parse("db1?reports=sometimes", "F").error.isEmpty());
    }

    void serverConnectionFollowsTheDataSource()
    {
        if (embedded())
            QSKIP("a server only");
        const qvt::TestDb t = qvt::TestDb::create();
        const QString server = t.dataSource;
        auto tryConnect = [&](const QString& ds) {
            qvt::TestDb x = t;
            x.dataSource = ds;
            qv::Connection c;
            try {
                x.connect(c);
            } catch (const qv::DbError& e) {
                return e.description();
            }
            return QString();
        };
        // The first server is down: the second one, which takes writes, serves.
        QCOMPARE(tryConnect("127.0.0.1:1," + server), QString());
        QCOMPARE(tryConnect(server + "?sslmode=disable"), QString());
        // The test cluster has no TLS: demanding it must fail, so the mode reached libpq.
        QVERIFY(!tryConnect(server + "?sslmode=require").isEmpty());
        t.drop();
    }
};

QTEST_GUILESS_MAIN(TstProvision)
#include "tst_provision.moc"
