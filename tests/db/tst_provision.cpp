// Making a book: every input is checked before an old book is touched, an embedded book lands
// whole or not at all, private to its owner; opening refuses what is not a book without changing it.
#include "db/logins.h"
#include "support/dbfixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

qv::InitOptions optionsFor(const qvt::TestDb& t)
{
    qv::InitOptions o;
    o.dataSource = t.dataSource;
    o.catalog = t.catalog;
    o.user = QStringLiteral("newowner");
    o.password = QStringLiteral("new pw");
    o.lockPassword = QStringLiteral("new lock");
    o.replace = true;
    o.cost = qv::Logins::HashCost::Minimal;
    o.adminUser = qEnvironmentVariable("QUORAVEL_TEST_PG_USER", QStringLiteral("postgres"));
    o.adminPassword = qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD");
    return o;
}

// The old book still opens with its own login and holds its own lock password.
bool oldBookIsWhole(const qvt::TestDb& t)
{
    try {
        qv::Connection c;
        t.connect(c);
        return c.scalar(QStringLiteral("select count(*) from LctPswd")).toInt() == 1
               && c.scalar(QStringLiteral("select count(*) from Accounts")).toInt() > 0;
    } catch (const qv::DbError& e) {
        qWarning("%s", qPrintable(e.description()));
        return false;
    }
}

QString expectRefusal(const qv::InitOptions& o)
{
    try {
        qv::Provision::init(o);
    } catch (const qv::DbError& e) {
        return e.description();
    }
    return {};
}

int mode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QStringList folderEntries(const QString& file)
{
    return QDir(QFileInfo(file).absolutePath()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

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
        o.lockPassword = QString(50, QChar(0x00E9)); // 50 characters, 100 bytes
        QCOMPARE(expectRefusal(o), QString());
        qv::Connection c;
        qvt::TestDb fresh = t;
        fresh.user = o.user;
        fresh.password = o.password;
        fresh.connect(c);
        QCOMPARE(c.scalar(QStringLiteral("select count(*) from LctPswd")).toInt(), 1);
        t.drop();
    }

    void failedBuildKeepsTheOldBookAndLeavesNoLitter()
    {
        if (!embedded())
            QSKIP("the embedded file only");
        const qvt::TestDb t = qvt::TestDb::create(true);
        const QString book = qv::DataSource::parse(t.dataSource, t.catalog).filePath;
        const QStringList before = folderEntries(book);
        qv::InitOptions o = optionsFor(t);
        o.demo = true;
        bool bookVisibleDuringBuild = true;
        o.demoVouchers = [&](qv::Connection&) {
            bookVisibleDuringBuild = QFileInfo::exists(book);
            throw qv::DbError(QStringLiteral("disk full"));
        };
        QVERIFY(expectRefusal(o).contains("disk full"));
        QVERIFY(oldBookIsWhole(t));
        QCOMPARE(folderEntries(book), before);

        // A new book is nowhere to be seen until it is whole.
        QFile::remove(book);
        o.replace = false;
        QVERIFY(!expectRefusal(o).isEmpty());
        QVERIFY(!QFileInfo::exists(book));
        QVERIFY2(folderEntries(book).isEmpty(), qPrintable(folderEntries(book).join(',')));
        o.demoVouchers = [&](qv::Connection&) { bookVisibleDuringBuild = QFileInfo::exists(book); };
        qv::Provision::init(o);
        QVERIFY(!bookVisibleDuringBuild);
        QVERIFY(QFileInfo(book).isFile());
        t.drop();
    }

    void litterOfInterruptedSetUpsIsCleared()
    {
        if (!embedded())
            QSKIP("the embedded file only");
        const QString folder = dir.filePath("litter");
        QDir().mkpath(folder);
        auto touch = [&](const QString& name) {
            QFile f(folder + "/" + name);
            f.open(QIODevice::WriteOnly);
            f.write("x");
        };
        touch(".Fendral.sqlite.AbCdEf.building");
        touch(".Fendral.sqlite.AbCdEf.building-wal");
        touch(".Fendral.sqlite.GhIjKl.building-shm"); // journals whose file is gone
        touch(".Fendral.sqlite.MnOpQr.building");     // another set-up at work holds this one
        touch("Notes.txt");
        const int held = ::open(QFile::encodeName(folder + "/.Fendral.sqlite.MnOpQr.building").constData(), O_RDONLY);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        qvt::TestDb t;
        t.dataSource = folder + "/Fendral.sqlite";
        t.catalog = "Fendral";
        qv::InitOptions o = optionsFor(t);
        o.replace = false;
        QCOMPARE(expectRefusal(o), QString());
        ::close(held);
        QStringList left = folderEntries(t.dataSource);
        left.sort();
        QCOMPARE(left, QStringList({".Fendral.sqlite.MnOpQr.building", "Fendral.sqlite", "Notes.txt"}));
        QDir(folder).removeRecursively();
    }

    void embeddedBookIsPrivate()
    {
        if (!embedded())
            QSKIP("the embedded file only");
        const QString folder = dir.filePath("private/deeper");
        qvt::TestDb t;
        t.dataSource = folder + "/Fendral.sqlite";
        t.catalog = "Fendral";
        qv::InitOptions o = optionsFor(t);
        o.replace = false;
        qv::Provision::init(o);
        QCOMPARE(mode(t.dataSource), 0600);
        QCOMPARE(mode(folder), 0700);
        QDir(dir.filePath("private")).removeRecursively();
    }

    void replaceRefusesWhatIsNotABook()
    {
        if (!embedded())
            QSKIP("the embedded file only");
        const QString folder = dir.filePath("odd");
        QDir().mkpath(folder);
        qvt::TestDb t;
        t.catalog = "Fendral";
        qv::InitOptions o = optionsFor(t);

        o.dataSource = folder + "/fifo.sqlite";
        QCOMPARE(::mkfifo(QFile::encodeName(o.dataSource).constData(), 0600), 0);
        QVERIFY(expectRefusal(o).contains("not a regular file"));
        QVERIFY(QFileInfo(o.dataSource).exists() && !QFileInfo(o.dataSource).isFile());

        o.dataSource = folder + "/folder.sqlite";
        QDir().mkpath(o.dataSource + "/inside");
        QVERIFY(expectRefusal(o).contains("not a regular file"));
        QVERIFY(QFileInfo(o.dataSource + "/inside").isDir());

        o.dataSource = folder + "/letter.sqlite";
        {
            QFile f(o.dataSource);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("Dear sir, this is not a book.\n");
        }
        QVERIFY(expectRefusal(o).contains("not a Quoravel"));
        QCOMPARE(QFileInfo(o.dataSource).size(), 30);

        // What an interrupted first run of an older version left: an empty file may go.
        o.dataSource = folder + "/empty.sqlite";
        QFile(o.dataSource).open(QIODevice::WriteOnly);
        qv::Provision::init(o);
        QVERIFY(QFileInfo(o.dataSource).size() > 0);
        QDir(folder).removeRecursively();
    }

    void replaceRefusesABookInUse()
    {
        if (!embedded())
            QSKIP("the embedded file only");
        const qvt::TestDb t = qvt::TestDb::create(true);
        qv::Connection station;
        t.connect(station);
        const QString why = expectRefusal(optionsFor(t));
        QVERIFY2(why.contains("in use"), qPrintable(why));
        station.close();
        QVERIFY(oldBookIsWhole(t));
        t.drop();
    }

    void openingRefusesForeignFilesWithoutChangingThem()
    {
        if (!embedded())
            QSKIP("the embedded file only");
        const QString folder = dir.filePath("foreign");
        QDir().mkpath(folder);
        qvt::TestDb t;
        t.catalog = "Fendral";
        auto tryOpen = [&](const QString& path) {
            t.dataSource = path;
            qv::Connection c;
            try {
                t.connect(c);
            } catch (const qv::DbError& e) {
                return e.description();
            }
            return QString();
        };
        const QString empty = folder + "/empty.sqlite";
        QFile(empty).open(QIODevice::WriteOnly);
        QVERIFY(tryOpen(empty).contains("not a Quoravel database"));
        QCOMPARE(QFileInfo(empty).size(), 0);

        const QString other = folder + "/other.sqlite";
        {
            qv::Connection raw;
            raw.openFileUnchecked(other, true);
            raw.execute("PRAGMA journal_mode=DELETE");
            raw.execute("create table Notes (Body text)");
            raw.execute("insert into Notes values ('mine')");
        }
        QFile::remove(other + "-wal");
        QFile::remove(other + "-shm");
        const QByteArray before = [&] {
            QFile f(other);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        QVERIFY(tryOpen(other).contains("not a Quoravel database"));
        QFile f(other);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before); // not switched to WAL, nothing rewritten
        QVERIFY(!QFileInfo::exists(other + "-wal"));
        QDir(folder).removeRecursively();
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
