// Putting a book in place with quoravel-admin, as a user runs it: restore takes regular files at
// both ends; journals left at a path by a book that is gone never reach the book made or restored
// there; a restore carries the commits still in the backup's WAL; a server's init --force replaces
// only a book.
#include "adminrun.h"
#include "db/backup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace qvt;

namespace {

QString bookOf(const TestDb& t)
{
    return qv::DataSource::parse(t.dataSource, t.catalog).filePath;
}

int count(const QString& book, const QString& sql, const QVariantList& params)
{
    qv::Connection c;
    c.openFileUnchecked(book, false);
    return c.scalar(sql, params).toInt();
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

} // namespace

class TstBookPlacement : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    TestDb db;
    QString backupFile;

    // A WAL holding one commit, the login "ghost", left at `path` by a book made the way init
    // makes one and then deleted.
    bool leaveGhostWal(const QString& path)
    {
        const TestDb gone = TestDb::create();
        QByteArray wal;
        {
            qv::Connection c;
            c.openFileUnchecked(bookOf(gone), false);
            c.execute("PRAGMA wal_autocheckpoint=0");
            qv::Logins::add(c, "ghost", "ghost pw", qv::Logins::HashCost::Minimal);
            QFile f(bookOf(gone) + "-wal");
            if (f.open(QIODevice::ReadOnly))
                wal = f.readAll();
        }
        gone.drop();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path + "-wal");
        return wal.size() > 32 && out.open(QIODevice::WriteOnly) && out.write(wal) == wal.size();
    }
    QStringList initArgs(const QString& path) const
    {
        return {"init", "--server", path, "--user", "owner", "--password", "owner pw", "--lock-password", "lock pw"};
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        db = TestDb::create();
        if (!isPg()) {
            backupFile = tmp.filePath("copy.sqlite");
            qv::Connection c;
            c.openFileUnchecked(bookOf(db), false);
            qv::backup::copyTo(c, backupFile);
        }
    }
    void cleanupTestCase() { db.drop(); }

    void restoreTakesOnlyRegularFiles()
    {
        if (isPg())
            QSKIP("restore works on an embedded book");
        // A node of its own for /dev/null (char 1,3): the real one is never put at risk.
        const QString node = tmp.filePath("null");
        if (::mknod(qPrintable(node), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("device nodes cannot be made here");
        const QString book = bookOf(db);
        const QByteArray before = digest(book);
        for (const QStringList& args :
             {QStringList{"--from", backupFile, "--server", node}, QStringList{"--from", node, "--server", book}}) {
            const Run r = runAdmin(QStringList{"restore"} + args);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("Nothing was restored") && r.err.contains(node), qPrintable(r.err));
            struct stat st {};
            QVERIFY(::lstat(qPrintable(node), &st) == 0 && S_ISCHR(st.st_mode));
        }
        QCOMPARE(digest(book), before);
        QCOMPARE(QDir(tmp.path()).entryList({"null*", ".null*"}, QDir::AllEntries | QDir::Hidden | QDir::System),
                 QStringList{"null"});
    }

    void journalsOfAGoneBookNeverReachTheNewOne_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("init") << "init";
        QTest::newRow("restore") << "restore";
    }
    void journalsOfAGoneBookNeverReachTheNewOne()
    {
        if (isPg())
            QSKIP("journal files belong to an embedded book");
        QFETCH(QString, command);
        const QString path = tmp.filePath(command + "/Fendral.sqlite");
        QVERIFY(leaveGhostWal(path));
        QFile shm(path + "-shm"), journal(path + "-journal");
        QVERIFY(shm.open(QIODevice::WriteOnly) && journal.open(QIODevice::WriteOnly));
        shm.close(), journal.close();
        const Run r = runAdmin(command == "init" ? initArgs(path)
                                                 : QStringList{"restore", "--from", backupFile, "--server", path});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(count(path, "select count(*) from Logins where UserName = ?", {"ghost"}), 0);
        QCOMPARE(count(path, "select count(*) from Logins where UserName = ?", {command == "init" ? "owner" : db.user}),
                 1);
    }

    void restoreCarriesTheCommitsInTheBackupsWal()
    {
        if (isPg())
            QSKIP("restore works on an embedded book");
        const TestDb source = TestDb::create();
        qv::Connection station; // keeps the commit in the WAL: no checkpoint while it is open
        station.openFileUnchecked(bookOf(source), false);
        station.execute("PRAGMA wal_autocheckpoint=0");
        station.execute("insert into Accounts (AcNodes, AcName, AcStatus) values ('7.1', 'ONLY IN THE WAL', 'DD')");
        QVERIFY(QFileInfo(bookOf(source) + "-wal").size() > 0);
        const QString target = tmp.filePath("wal/Fendral.sqlite");
        const Run r = runAdmin({"restore", "--from", bookOf(source), "--server", target});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(count(target, "select count(*) from Accounts where AcName = ?", {"ONLY IN THE WAL"}), 1);
        station.close();
        source.drop();
    }

    void serverInitForceReplacesOnlyABook()
    {
        if (!isPg())
            QSKIP("the embedded file has its own check (init --force refuses a file that is not a book)");
        const QString name = QString("payroll_%1").arg(QCoreApplication::applicationPid());
        const QString user = qEnvironmentVariable("QUORAVEL_TEST_PG_USER");
        const QString password = qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD");
        qv::Connection admin;
        db.connectAdmin(admin);
        admin.execute("create database " + name);
        TestDb payroll = db;
        payroll.catalog = name;
        {
            qv::Connection p;
            payroll.connectAdmin(p);
            p.execute("create table Employees (Name text)");
            p.execute("insert into Employees values ('kept')");
        }
        const Run r = runAdmin({"init", "--server", db.dataSource, "--catalog", name, "--user", "owner_" + name,
                                "--password", "owner pw", "--lock-password", "lock pw", "--force", "--admin-user", user,
                                "--admin-password", password});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("is not a Quoravel book"), qPrintable(r.err));
        {
            qv::Connection p;
            payroll.connectAdmin(p);
            QCOMPARE(p.scalar("select Name from Employees").toString(), QString("kept"));
        }
        admin.close();
        payroll.drop();
    }
};

QTEST_GUILESS_MAIN(TstBookPlacement)
#include "tst_bookplacement.moc"
