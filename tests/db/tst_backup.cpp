// Backups of the embedded book: consistent copies while another connection writes, checks that
// refuse damaged copies, a restore that keeps the replaced book, and the rolling daily backups.
#include "db/backup.h"
#include "db/dailybackup.h"
#include "support/fixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QSet>
#include <atomic>
#include <thread>

using namespace qv;

namespace {

QString bookOf(const qvt::TestDb& db)
{
    return DataSource::parse(db.dataSource, db.catalog).filePath;
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void addAccount(Connection& c, const QString& nodes, const QString& name)
{
    c.execute(QStringLiteral("insert into Accounts (AcNodes, AcName, AcStatus) values (?, ?, 'DD')"), {nodes, name});
}

QStringList namesLike(const QString& file, const QString& prefix)
{
    Connection c;
    c.openFileUnchecked(file, false);
    QSqlQuery q = c.query(QStringLiteral("select AcName from Accounts where AcName like ? order by AcName"),
                          {prefix + QLatin1Char('%')});
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

// Every file in a folder, hidden ones (temporary copies) included.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TstBackup : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    QString book;

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        dailybackup::setAutomatic(true);
    }
    void init()
    {
        db = qvt::TestDb::create();
        book = bookOf(db);
    }
    void cleanup() { db.drop(); }

    void copyIsOneCommitWhileAnotherConnectionWrites()
    {
        {
            Connection c;
            c.openFileUnchecked(book, false);
            Transaction tx(c);
            for (int i = 0; i < 20000; ++i)
                addAccount(c, QStringLiteral("8.%1").arg(i), QStringLiteral("Filler account %1").arg(i));
            tx.commit();
        }
        // The writer commits pairs of accounts, one transaction each, until told to stop.
        std::atomic<int> committed{0};
        std::atomic<bool> stop{false};
        QString writerError;
        QSemaphore started;
        std::thread writer([&] {
            try {
                Connection w;
                w.openFileUnchecked(book, false);
                for (int i = 0; !stop && i < 100000; ++i) {
                    Transaction tx(w);
                    addAccount(w, QStringLiteral("9.%1.a").arg(i),
                               QStringLiteral("W%1a").arg(i, 6, 10, QLatin1Char('0')));
                    addAccount(w, QStringLiteral("9.%1.b").arg(i),
                               QStringLiteral("W%1b").arg(i, 6, 10, QLatin1Char('0')));
                    tx.commit();
                    if (++committed == 20)
                        started.release();
                }
            } catch (const DbError& e) {
                writerError = e.description();
            }
            started.release();
        });
        const bool running = started.tryAcquire(1, 60000);
        const int before = committed;
        const QString target = QDir(backup::defaultFolder(book)).filePath(QStringLiteral("copy.sqlite"));
        QString copyError;
        try {
            Connection c;
            c.openFileUnchecked(book, false);
            backup::copyTo(c, target);
        } catch (const DbError& e) {
            copyError = e.description();
        }
        const int after = committed;
        stop = true;
        writer.join();
        QVERIFY(running);
        QVERIFY2(copyError.isEmpty(), qPrintable(copyError));
        QVERIFY2(writerError.isEmpty(), qPrintable(writerError));
        QVERIFY(committed > after || after > before); // the writer outlived the copy's start

        backup::check(target);
        const QStringList names = namesLike(target, QStringLiteral("W"));
        // Whole pairs, and every pair up to the last one copied: one commit's view of the book.
        QCOMPARE(names.size() % 2, 0);
        const int pairs = int(names.size() / 2);
        for (int i = 0; i < pairs; ++i) {
            QCOMPARE(names[2 * i], QStringLiteral("W%1a").arg(i, 6, 10, QLatin1Char('0')));
            QCOMPARE(names[2 * i + 1], QStringLiteral("W%1b").arg(i, 6, 10, QLatin1Char('0')));
        }
        QVERIFY2(pairs >= before && pairs <= after,
                 qPrintable(QStringLiteral("%1 <= %2 <= %3").arg(before).arg(pairs).arg(after)));
        QCOMPARE(QFile::permissions(target) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(filesIn(backup::defaultFolder(book)), QStringList{QStringLiteral("copy.sqlite")});
        qInfo("writer: %d pairs before the copy, %d copied, %d when it returned", before, pairs, after);
    }

    void copyLeavesOutAndDoesNotWaitForAnOpenTransaction()
    {
        QSemaphore halfWritten, copied;
        QString writerError;
        std::thread writer([&] {
            try {
                Connection w;
                w.openFileUnchecked(book, false);
                Transaction tx(w);
                addAccount(w, QStringLiteral("9.1"), QStringLiteral("Half A"));
                halfWritten.release();
                copied.tryAcquire(1, 30000);
                addAccount(w, QStringLiteral("9.2"), QStringLiteral("Half B"));
                tx.commit();
            } catch (const DbError& e) {
                writerError = e.description();
                halfWritten.release();
            }
        });
        QVERIFY(halfWritten.tryAcquire(1, 30000));
        const QString target = QDir(backup::defaultFolder(book)).filePath(QStringLiteral("copy.sqlite"));
        QString copyError;
        try {
            Connection c;
            c.openFileUnchecked(book, false);
            backup::copyTo(c, target);
        } catch (const DbError& e) {
            copyError = e.description();
        }
        copied.release();
        writer.join();
        QVERIFY2(copyError.isEmpty(), qPrintable(copyError));
        QVERIFY2(writerError.isEmpty(), qPrintable(writerError));
        QCOMPARE(namesLike(target, QStringLiteral("Half")), QStringList());
        QCOMPARE(namesLike(book, QStringLiteral("Half")), (QStringList{"Half A", "Half B"}));
    }

    void failedCopyIsDeletedAndNothingIsOverwritten()
    {
        const QString folder = backup::defaultFolder(book);
        Connection c;
        c.openFileUnchecked(book, false);
        c.setStatementHook([](const QString& sql) {
            if (sql.startsWith(QLatin1String("VACUUM")))
                throw DbError(QStringLiteral("disk I/O error"));
        });
        try {
            backup::copyTo(c, QDir(folder).filePath(QStringLiteral("b.sqlite")));
            QFAIL("a failed copy was reported as made");
        } catch (const DbError& e) {
            QVERIFY2(e.description().contains("failed and was deleted"), qPrintable(e.description()));
            QVERIFY(e.description().contains("disk I/O error"));
        }
        QCOMPARE(filesIn(folder), QStringList());
        c.setStatementHook({});

        QFile other(QDir(folder).filePath(QStringLiteral("b.sqlite")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("someone's file");
        other.close();
        QVERIFY_THROWS_EXCEPTION(DbError, backup::copyTo(c, other.fileName()));
        QCOMPARE(digest(other.fileName()), QCryptographicHash::hash("someone's file", QCryptographicHash::Sha256));
        c.begin();
        QVERIFY_THROWS_EXCEPTION(DbError, backup::copyTo(c, QDir(folder).filePath(QStringLiteral("c.sqlite"))));
        c.rollback();
        QCOMPARE(filesIn(folder), QStringList{QStringLiteral("b.sqlite")});
    }

    void restoreRefusesDamagedCopiesAndTouchesNothing_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::newRow("a page overwritten") << "page"
                                            << "integrity check|not a sound database";
        QTest::newRow("cut in half") << "truncate"
                                     << "integrity check|not a sound database";
        QTest::newRow("not a database") << "text"
                                        << "not a sound database";
        QTest::newRow("another program's database") << "foreign"
                                                    << "not a Quoravel book";
        QTest::newRow("a newer book") << "newer"
                                      << "newer version";
        QTest::newRow("missing") << "missing"
                                 << "is not a file";
    }
    void restoreRefusesDamagedCopiesAndTouchesNothing()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        const QString copy = QDir(backup::defaultFolder(book)).filePath(QStringLiteral("copy.sqlite"));
        {
            Connection c;
            c.openFileUnchecked(book, false);
            backup::copyTo(c, copy);
        }
        QFile f(copy);
        if (damage == "page" || damage == "truncate" || damage == "text") {
            QVERIFY(f.open(QIODevice::ReadWrite));
            if (damage == "page") {
                f.seek(4096 * 2);
                f.write(QByteArray(4096, '\xff'));
            } else if (damage == "truncate") {
                f.resize(f.size() / 2);
            } else {
                f.resize(0);
                f.write(QByteArray("Fendral books\n").repeated(500));
            }
            f.close();
        } else if (damage == "foreign" || damage == "newer") {
            Connection c;
            if (damage == "foreign") {
                QVERIFY(f.remove());
                c.openFileUnchecked(copy, true);
                c.execute(QStringLiteral("create table Stock (Item text)"));
            } else {
                c.openFileUnchecked(copy, false);
                c.execute(QStringLiteral("insert into SchemaInfo (Version) values (99)"));
            }
        } else {
            QVERIFY(f.remove());
        }
        const QByteArray before = digest(book);
        const QStringList filesBefore = filesIn(QFileInfo(book).absolutePath());
        try {
            backup::restore(copy, book);
            QFAIL("a damaged copy was restored");
        } catch (const DbError& e) {
            QVERIFY2(e.description().startsWith("Nothing was restored"), qPrintable(e.description()));
            QVERIFY2(e.description().contains(QRegularExpression(message)), qPrintable(e.description()));
        }
        QCOMPARE(digest(book), before);
        QCOMPARE(filesIn(QFileInfo(book).absolutePath()), filesBefore);
    }

    void restoreKeepsTheReplacedBook()
    {
        const QString copy = QDir(backup::defaultFolder(book)).filePath(QStringLiteral("copy.sqlite"));
        {
            Connection c;
            db.connect(c);
            addAccount(c, QStringLiteral("7.1"), QStringLiteral("Before the backup"));
            backup::copyTo(c, copy);
            addAccount(c, QStringLiteral("7.2"), QStringLiteral("After the backup"));
        }
        QVERIFY(
            QFile::setPermissions(book, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup));

        const QString kept = backup::restore(copy, book);
        QVERIFY(kept.startsWith(book + ".replaced-"));
        // The replaced book is whole (it left WAL mode on the way, so its header differs).
        backup::check(kept);
        QCOMPARE(namesLike(kept, "After"), QStringList{"After the backup"});
        QCOMPARE(namesLike(book, "After"), QStringList());
        QCOMPARE(namesLike(book, "Before"), QStringList{"Before the backup"});
        // The restored book opens through the login check and keeps the book's sharing.
        Connection again;
        db.connect(again);
        QCOMPARE(again.scalar("select count(*) from Accounts where AcName = ?", {"Before the backup"}).toInt(), 1);
        QCOMPARE(QFile::permissions(book) & 0x7077,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup);
        again.close();
        QVERIFY(!QFileInfo::exists(kept + "-wal"));
        const QStringList left = filesIn(QFileInfo(book).absolutePath()).filter(QRegularExpression("restoring|part"));
        QCOMPARE(left, QStringList());

        // A second restore a moment later keeps a second, distinct file.
        const QString kept2 = backup::restore(copy, book);
        QVERIFY(kept2 != kept);
        QVERIFY(QFileInfo::exists(kept) && QFileInfo::exists(kept2));
    }

    void restoreRefusesABookInUse()
    {
        const QString copy = QDir(backup::defaultFolder(book)).filePath(QStringLiteral("copy.sqlite"));
        Connection station;
        db.connect(station);
        backup::copyTo(station, copy);
        addAccount(station, QStringLiteral("7.9"), QStringLiteral("Typed at a station"));
        try {
            backup::restore(copy, book);
            QFAIL("a book in use was replaced");
        } catch (const DbError& e) {
            QVERIFY2(e.description().contains("in use"), qPrintable(e.description()));
        }
        QCOMPARE(station.scalar("select count(*) from Accounts where AcName = ?", {"Typed at a station"}).toInt(), 1);
        QCOMPARE(filesIn(QFileInfo(book).absolutePath()).filter(".replaced-"), QStringList());
        station.close();
        QVERIFY(!backup::restore(copy, book).isEmpty());
    }

    void restoreWhereNoBookIsYet()
    {
        const QString copy = QDir(backup::defaultFolder(book)).filePath(QStringLiteral("copy.sqlite"));
        {
            Connection c;
            c.openFileUnchecked(book, false);
            backup::copyTo(c, copy);
        }
        const QString fresh = QFileInfo(book).absolutePath() + "/new/Fendral.sqlite";
        QCOMPARE(backup::restore(copy, fresh), QString());
        // Copied through SQLite: the same book, not necessarily the same bytes.
        backup::check(fresh);
        QCOMPARE(namesLike(fresh, QString()), namesLike(copy, QString()));
        QCOMPARE(QFile::permissions(fresh) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    }

    void dailyBackupsRotateAtTheLimit()
    {
        const QDate first(2026, 3, 1);
        const QString folder = backup::defaultFolder(book);
        QDir().mkpath(folder);
        // Files that are not this book's automatic backups are never rotated away.
        const QStringList strangers{"Fendral-20260101-120000.sqlite", "Other-auto-2026-01-01.sqlite",
                                    "Fendral-auto-notes.txt"};
        for (const QString& s : strangers) {
            QFile f(QDir(folder).filePath(s));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        for (int day = 0; day < 10; ++day) {
            const QString made = dailybackup::runNow(book, 7, first.addDays(day));
            QCOMPARE(made, dailybackup::fileFor(book, first.addDays(day)));
            const QStringList all = dailybackup::existing(book);
            QCOMPARE(all.size(), qMin(day + 1, 7));
            QCOMPARE(all.last(), made);
            QCOMPARE(all.first(), dailybackup::fileFor(book, first.addDays(qMax(0, day - 6))));
        }
        backup::check(dailybackup::existing(book).last());
        // A second login the same day makes nothing new.
        const QByteArray last = digest(dailybackup::existing(book).last());
        QCOMPARE(dailybackup::runNow(book, 7, first.addDays(9)), QString());
        QCOMPARE(digest(dailybackup::existing(book).last()), last);
        // A lower limit takes effect at the next backup.
        dailybackup::runNow(book, 3, first.addDays(12));
        QCOMPARE(dailybackup::existing(book).size(), 3);
        for (const QString& s : strangers)
            QVERIFY2(QFileInfo::exists(QDir(folder).filePath(s)), qPrintable(s));
    }

    void backgroundBackupAndItsFailure()
    {
        Connection c;
        db.connect(c);
        QStringList failures;
        dailybackup::start(c, 7, [&](const QString& d) { failures << d; });
        dailybackup::wait();
        QCOMPARE(dailybackup::existing(book), QStringList{dailybackup::fileFor(book, QDate::currentDate())});
        backup::check(dailybackup::existing(book).first());
        QCoreApplication::processEvents();
        QCOMPARE(failures, QStringList());

        // No room for backups: the failure is reported where the login runs, not swallowed.
        QVERIFY(QDir(backup::defaultFolder(book)).removeRecursively());
        QFile blocker(backup::defaultFolder(book));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        dailybackup::start(c, 7, [&](const QString& d) { failures << d; });
        dailybackup::wait();
        QTRY_COMPARE(failures.size(), 1);
        QVERIFY2(failures[0].contains("could not be created"), qPrintable(failures[0]));

        // Turned off, by the setting or for the process: nothing is started.
        QVERIFY(blocker.remove());
        dailybackup::start(c, 0, [&](const QString& d) { failures << d; });
        dailybackup::wait();
        QVERIFY(!QFileInfo::exists(backup::defaultFolder(book)));
        dailybackup::setAutomatic(false);
        dailybackup::start(c, 7, [&](const QString& d) { failures << d; });
        dailybackup::wait();
        dailybackup::setAutomatic(true);
        QVERIFY(!QFileInfo::exists(backup::defaultFolder(book)));
    }
};

QTEST_GUILESS_MAIN(TstBackup)
#include "tst_backup.moc"
