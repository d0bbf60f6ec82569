// The embedded book's file: it lands whole or not at all, private to its owner, replaces only a
// book nobody has open; opening refuses what is not a book without changing it.
#include "db/logins.h"
#include "support/dbfixture.h"
#include "replacebook.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using qvt::expectRefusal;
using qvt::oldBookIsWhole;
using qvt::optionsFor;

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

class TstEmbeddedBook : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { qvt::initTestEnvironment(); }

    void failedBuildKeepsTheOldBookAndLeavesNoLitter()
    {
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
};

QTEST_GUILESS_MAIN(TstEmbeddedBook)
#include "tst_embeddedbook.moc"
