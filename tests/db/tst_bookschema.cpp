// A book's schema objects and stored amounts against the program's own, through quoravel-admin
// as a user runs it: triggers of someone else's, files that are not whole books and amounts of
// the wrong storage kind are refused on restore and at open; the upgrade to the current version
// keeps every row and its key.
#include "adminrun.h"
#include "db/backup.h"
#include "db/schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlRecord>
#include <QTemporaryDir>

using namespace qvt;

namespace {

// Statements run straight on a book file, past every check of the program (a hand edit).
void plant(const QString& file, const QStringList& statements)
{
    const QString name = QStringLiteral("plant");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements)
            QVERIFY2(q.exec(s), qPrintable(s + ": " + q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// The first value of a query, read straight from the file.
QVariant rawValue(const QString& file, const QString& sql)
{
    const QString name = QStringLiteral("read");
    QVariant v;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        if (q.exec(sql) && q.next())
            v = q.value(0);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return v;
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

// Every row of every table of the book but its version, keys included, of the tables a book of
// `version` has.
QStringList everyRow(qv::Connection& c, int version = qv::Schema::CurrentVersion)
{
    QStringList out;
    for (const qv::TableDef& t : qv::Schema::tables()) {
        if (QLatin1String(t.name) == QLatin1String("SchemaInfo") || t.since > version)
            continue;
        QSqlQuery q = c.query(QString("select * from %1 order by %2").arg(t.name, t.key));
        while (q.next()) {
            QStringList f{t.name};
            for (int i = 0; i < q.record().count(); ++i)
                f << q.value(i).toString();
            out << f.join('|');
        }
    }
    return out;
}

const QString Wipe = "create trigger wipe after insert on LctPswd begin delete from DetJV; end";
const QString Borrow = "create trigger borrow after insert on Logins begin update Logins set PwHash = (select PwHash "
                       "from Logins where RowID = (select min(RowID) from Logins)) where RowID = new.RowID; end";

} // namespace

class TstBookSchema : public QObject {
    Q_OBJECT
    TestDb b;
    QString book; // the embedded book's file
    QTemporaryDir tmp;

    // Detail rows of the book, read past its checks.
    int vouchers()
    {
        if (!isPg())
            return rawValue(book, "select count(*) from DetJV").toInt();
        qv::Connection c;
        b.connectAdmin(c);
        return c.scalar("select count(*) from DetJV").toInt();
    }
    // A checked copy of the book under another name, for a restore.
    QString copyOfBook(const QString& name)
    {
        const QString copy = tmp.filePath(name);
        qv::Connection c;
        b.connectAdmin(c);
        qv::backup::copyTo(c, copy);
        return copy;
    }
    // Restores `from` over the book: refused with `message`, and the book left as it was.
    void restoreIsRefused(const QString& from, const QStringList& message)
    {
        const QByteArray before = digest(book);
        const Run r = runAdmin({"restore", "--server", book, "--from", from});
        QCOMPARE(r.code, 1);
        for (const QString& m : message)
            QVERIFY2(r.err.contains(m), qPrintable(m + " not in: " + r.err));
        QCOMPARE(digest(book), before);
        QCOMPARE(QDir(QFileInfo(book).absolutePath()).entryList({"*.replaced-*"}, QDir::Files), QStringList());
    }

private slots:
    void initTestCase()
    {
        initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        b = TestDb::create(true);
        book = isPg() ? QString() : qv::DataSource::parse(b.dataSource, b.catalog).filePath;
    }
    void cleanup() { b.drop(); }

    // A trigger that empties the vouchers when the lock password is set, and one that gives a
    // new login the first login's password: refused in a backup to restore and in the book
    // itself when a command opens it, before anything fires.
    void foreignTriggersAreRefused()
    {
        const int lines = vouchers();
        QVERIFY(lines > 0);
        if (isPg()) {
            qv::Connection admin;
            b.connectAdmin(admin);
            admin.execute("create function wipe_vouchers() returns trigger language plpgsql as "
                          "$$ begin delete from DetJV; return null; end $$");
            admin.execute("create trigger wipe after insert on LctPswd for each row execute function wipe_vouchers()");
        } else {
            for (const QString& trigger : {Wipe, Borrow}) {
                const QString copy = copyOfBook(trigger.section(' ', 2, 2) + ".sqlite");
                plant(copy, {trigger});
                restoreIsRefused(copy, {"trigger \"" + trigger.section(' ', 2, 2) + "\"", "does not make"});
            }
            plant(book, {Wipe, Borrow});
        }
        const Run lock = runAdmin(QStringList{"set-lock-password"} + target(b) + QStringList{"--lock-password", "x"});
        QCOMPARE(lock.code, 1);
        QVERIFY2(lock.err.contains("trigger \"wipe\"") && lock.err.contains("does not make"), qPrintable(lock.err));
        QCOMPARE(vouchers(), lines);
        if (isPg())
            return;
        const Run add = runAdmin(QStringList{"add-login"} + target(b)
                                 + QStringList{"--new-user", "newclerk", "--new-password", "clerk pw 1"});
        QCOMPARE(add.code, 1);
        QVERIFY2(add.err.contains("trigger \"borrow\""), qPrintable(add.err));
    }

    // A file holding only SchemaInfo, and a book of version 0: not restored, the book stays.
    void onlyWholeBooksAreRestored()
    {
        if (isPg())
            QSKIP("restore works on an embedded book");
        const QString partial = tmp.filePath("partial.sqlite");
        plant(partial, {"create table SchemaInfo (Version INTEGER primary key)", "insert into SchemaInfo values (2)"});
        restoreIsRefused(partial, {"table \"Accounts\" is missing", "table \"DetJV\" is missing"});
        const QString versionZero = copyOfBook("zero.sqlite");
        plant(versionZero, {"update SchemaInfo set Version = 0"});
        restoreIsRefused(versionZero, {"not a whole Quoravel book", "(0)"});
    }

    // Amounts stored as text or as a fraction: a backup holding one is not restored, and a
    // report on a book holding one fails naming the row instead of printing a wrong figure.
    void amountsOfTheWrongKindAreRefused_data()
    {
        QTest::addColumn<QString>("update");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::newRow("text in a debit") << "update DetJV set DrAmt = '12,345.67' where RowID = %1"
                                         << "DetJV"
                                         << "DrAmt"
                                         << "the text '12,345.67'";
        QTest::newRow("fraction in a debit") << "update DetJV set DrAmt = 4.6 where RowID = %1"
                                             << "DetJV"
                                             << "DrAmt"
                                             << "the fraction 4.6";
        QTest::newRow("text as an opening") << "update Accounts set OpenBal = 'abc' where RowID = %1"
                                            << "Accounts"
                                            << "OpenBal"
                                            << "the text 'abc'";
    }
    void amountsOfTheWrongKindAreRefused()
    {
        if (isPg())
            QSKIP("PostgreSQL's NUMERIC columns hold numbers only");
        QFETCH(QString, update);
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, value);
        qint64 row = 0;
        {
            qv::Connection c;
            b.connectAdmin(c);
            row = c.scalar(table == "DetJV" ? "select min(RowID) from DetJV where DrAmt > 0"
                                            : "select RowID from Accounts where AcName = 'CASH IN HAND'")
                      .toLongLong();
        }
        // The book's own checks would refuse the value: a hand edit gets past them.
        const QStringList edit{"PRAGMA ignore_check_constraints = ON", update.arg(row)};
        const QStringList named{"row with RowID " + QString::number(row) + " of the table " + table, value,
                                "column " + column};
        const QString copy = copyOfBook(QString(QTest::currentDataTag()).replace(' ', '-') + ".sqlite");
        plant(copy, edit);
        restoreIsRefused(copy, named);

        plant(book, edit);
        const QString csv = tmp.filePath("tb.csv");
        const Run r = runAdmin(QStringList{"report", "rptTrialBalance3.rpt"} + target(b)
                               + QStringList{"--exec", "exec TrialBalance3 '2025-01-01','2026-12-31'", "--selection",
                                             "{Company.comActive} = 'Y'", "--csv", csv});
        QCOMPARE(r.code, 1);
        for (const QString& m : named)
            QVERIFY2(r.err.contains(m), qPrintable(m + " not in: " + r.err));
        QVERIFY(!QFile::exists(csv));
    }

    // A book of the version before: the upgrade keeps every row with its key, and from then on
    // a deleted voucher's key is not given to the next one. A book holding a wrong amount is
    // not upgraded and says where it is.
    void upgradeKeepsEveryRowAndNeverGivesAVoucherKeyTwice()
    {
        if (isPg())
            QSKIP("the server book's upgrade is only its version (tst_booksecurity)");
        b.makeOlder(qv::Schema::CurrentVersion - 1);
        QStringList rows;
        {
            qv::Connection c;
            b.connectAdmin(c);
            rows = everyRow(c, qv::Schema::CurrentVersion - 1);
        }
        const Run up = runAdmin({"upgrade", "--server", book});
        QVERIFY2(up.code == 0, qPrintable(up.err));
        qv::Connection c;
        b.connect(c);
        QCOMPARE(qv::Schema::version(c), qv::Schema::CurrentVersion);
        QCOMPARE(everyRow(c, qv::Schema::CurrentVersion - 1), rows);
        const qint64 last = c.scalar("select max(RowID) from MasJV").toLongLong();
        c.execute("delete from MasJV where RowID = ?", {last});
        const qint64 next = c.insertReturningKey(
            "insert into MasJV (VouNo, VouStatus, TotalAmount) values (-1, 'JV', 0) returning RowID", {});
        QVERIFY2(next > last, qPrintable(QString("%1 after %2").arg(next).arg(last)));
        c.close();

        // A book from before the amount checks may hold a wrong amount: named, nothing upgraded.
        b.makeOlder(qv::Schema::WholeCentsFrom - 1);
        plant(book, {"update Accounts set OpenBal = 'abc' where AcName = 'CASH IN HAND'"});
        const Run refused = runAdmin({"upgrade", "--server", book});
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.err.contains("table Accounts holds the text 'abc' in its column OpenBal"),
                 qPrintable(refused.err));
        qv::Connection old;
        b.connectAdmin(old);
        QCOMPARE(qv::Schema::version(old), qv::Schema::WholeCentsFrom - 1);
    }
};

QTEST_GUILESS_MAIN(TstBookSchema)
#include "tst_bookschema.moc"
