// Bringing books in. The round trip (export, import into an empty book, export again) gives the
// same bytes and the same balance on every account, on the demo book and on random books, as a
// journal and as CSV. A journal written by hand in hledger's own syntax lands with the balances
// hledger itself reports. Bad files are refused with their line and reason and leave the book as
// it was, as does an import whose statements fail one by one.
#include "../reports/bookfixture.h"
#include "reports/journalexport.h"
#include "reports/openings.h"
#include "reports/worktables.h"
#include "shell/mdl_connection.h"
#include "support/adminrun.h"
#include "support/failing.h"
#include "support/fixture.h"
#include "transfer/bookimport.h"
#include "vouchers/voucherstore.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace qv::imp;

namespace {

QTemporaryDir g_tmp;

QString writeFile(const QString& name, const QByteArray& bytes)
{
    QFile f(g_tmp.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(f.fileName()));
    return f.fileName();
}

QByteArray exported(qv::Connection& c, qv::rpt::ExportFormat format)
{
    qv::rpt::ExportOptions o;
    o.format = format;
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    qv::rpt::exportJournal(c, o, b);
    return b.data();
}

// Every account's closing balance by code, from the one opening function.
QHash<QString, qint64> closings(qv::Connection& c)
{
    QHash<qint64, QString> codes;
    QSqlQuery q = c.query("select RowID, AcNodes from Accounts");
    while (q.next())
        codes.insert(q.value(0).toLongLong(), q.value(1).toString().trimmed());
    QHash<QString, qint64> out;
    const auto all = qv::rpt::OpeningBalances(c).all(QDate(9999, 12, 31));
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        out.insert(codes.value(it.key()), it->cents);
    return out;
}

// The chart and the openings of an exported journal: everything before its first voucher.
QByteArray chartOf(const QByteArray& journal)
{
    QByteArray out;
    bool voucher = false;
    for (const QByteArray& line : journal.split('\n')) {
        if (!line.isEmpty() && line[0] >= '0' && line[0] <= '9' && !line.contains(" Opening balances"))
            voucher = true;
        else if (line.isEmpty())
            voucher = false;
        if (!voucher)
            out += line + '\n';
    }
    return out;
}

// Two vouchers and an opening, with a line's note split into narration and cheque.
QString smallJournal()
{
    return writeFile("small.journal", R"(account 1 Assets
    ; type: A

2025-01-01 Opening balances
    1 Assets:1.1 Cash:1.1.1 Till  100.00
    Equity:Opening Balances  -100.00

2025-01-02 JV-1 Party
    2 Costs:2.1 Office:2.1.1 Rent  40.00  ; March (cheque 7)
    1 Assets:1.1 Cash:1.1.1 Till  -40.00  ; March (cheque 7)

2025-01-03 CP-1
    2 Costs:2.1 Office:2.1.1 Rent  10.00
    1 Assets:1.1 Cash:1.1.1 Till  -10.00
)");
}

} // namespace

class TstImport : public QObject {
    Q_OBJECT
    std::optional<qvt::TestDb> badBook;

    // Export `from` in `format`, import into a new empty book, export that again.
    void roundTrip(qv::Connection& from, qv::rpt::ExportFormat format)
    {
        const bool csv = format == qv::rpt::ExportFormat::Csv;
        const QByteArray journal = exported(from, qv::rpt::ExportFormat::Ledger);
        const QByteArray first = csv ? exported(from, format) : journal;
        const qvt::TestDb db = qvt::TestDb::create(false);
        qv::Connection to;
        db.connect(to);
        ImportOptions o;
        if (csv) { // the chart and openings come from the journal, the vouchers from the CSV
            runImport(to, writeFile("chart.journal", chartOf(journal)), o, db.user);
            o.format = Format::VouchersCsv;
        }
        const ImportResult r = runImport(to, writeFile("first", first), o, db.user);
        QCOMPARE(r.vouchers, from.scalar("select count(*) from MasJV").toLongLong());
        const QByteArray second = exported(to, format);
        QVERIFY2(first == second, qPrintable(QString::fromUtf8(second.left(2000))));
        QCOMPARE(closings(to), closings(from));
        to.close();
        db.drop();
    }

    static QStringList snapshot(qv::Connection& c)
    {
        QStringList s = qvt::snapshot(c);
        // A refused import writes nothing; the trail records only what lands.
        s.erase(std::remove_if(s.begin(), s.end(), [](const QString& r) { return r.startsWith("AuditTrail"); }),
                s.end());
        return s;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        QVERIFY(g_tmp.isValid());
    }

    void roundTripDemoBook_data()
    {
        QTest::addColumn<bool>("csv");
        QTest::newRow("ledger") << false;
        QTest::newRow("csv") << true;
    }
    void roundTripDemoBook()
    {
        QFETCH(bool, csv);
        const qvt::TestDb db = qvt::TestDb::create(true);
        qv::Connection c;
        db.connect(c);
        roundTrip(c, csv ? qv::rpt::ExportFormat::Csv : qv::rpt::ExportFormat::Ledger);
        c.close();
        db.drop();
    }

    void roundTripRandomBooks_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("csv");
        for (quint32 seed : {7u, 1234u})
            for (bool csv : {false, true})
                QTest::addRow("seed %u %s", seed, csv ? "csv" : "ledger") << seed << csv;
    }
    void roundTripRandomBooks()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, csv);
        QRandomGenerator rng(seed);
        const qvt::TestDb db = qvt::openReportsBook("Random Co");
        qvt::writeRandomBook(rng, 80, false, 3);
        roundTrip(Conn, csv ? qv::rpt::ExportFormat::Csv : qv::rpt::ExportFormat::Ledger);
        Conn.close();
        db.drop();
    }

    // hledger's own syntax: comments of every kind, status marks, a code, a secondary date,
    // several postings, an elided amount, a commodity symbol. Each account's balance here equals
    // what `hledger balance` prints for the same file, and the pairing rule makes the lines.
    void handWrittenJournalAgreesWithHledger()
    {
        const QString file = writeFile("hand.journal", R"(; Household books
# another comment
comment
2025-01-01 anything here is not read
end comment
account assets:bank:checking
account expenses:food

2025-01-01 * Opening balances
    assets:bank:checking      $1,000.00
    assets:cash                 $200.00
    equity:opening/closing balances

2025-01-05=2025-01-06 ! (101) Grocery store | weekly  ; a comment
    expenses:food:groceries     $45.50  ; vegetables
    expenses:food:fruit          $4.50
    * assets:cash

2025-01-10 Salary
    assets:bank:checking     $2,500.00
    income:salary

2025/1/12 Rent and utilities
    expenses:rent               $800.00
    expenses:utilities:power     $60.25
    assets:bank:checking      $-500.00
    assets:cash                -$360.25
)");
        const qvt::TestDb db = qvt::TestDb::create(false);
        qv::Connection c;
        db.connect(c);
        const ImportResult r = runImport(c, file, {}, db.user);
        QCOMPARE(r.vouchers, 3);
        // 800 rent and 60.25 power against 500 bank and 360.25 cash: rent-bank 500, rent-cash
        // 300, power-cash 60.25.
        const qint64 rent = c.scalar("select VouNo from MasJV where PaidReceive = 'Rent and utilities'").toLongLong();
        const auto v = qv::VoucherStore(c).open(qv::VoucherKind::JV, rent);
        QVERIFY(v);
        QCOMPARE(int(v->lines.size()), 3);
        QCOMPARE(v->lines[1].amount, qv::Money(30000));
        QCOMPARE(v->lines[2].amount, qv::Money(6025));
        QCOMPARE(v->party, "Rent and utilities");

        if (QStandardPaths::findExecutable("hledger").isEmpty())
            QSKIP("hledger is not installed (scripts/setup.sh installs it); the comparison is skipped.");
        QProcess p;
        p.start(QStandardPaths::findExecutable("hledger"),
                {"-f", file, "balance", "--flat", "--no-total", "-O", "csv"});
        QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
        QHash<QString, QString> codeOf;
        for (const auto& [name, target] : r.plan.mapping)
            codeOf.insert(name, target.section(':', 2).section(' ', 0, 0));
        const auto ours = closings(c);
        int compared = 0;
        for (const QByteArray& line : p.readAllStandardOutput().split('\n').mid(1)) {
            const QList<QByteArray> f = line.split(',');
            if (f.size() != 2)
                continue;
            const QString name = QString::fromUtf8(f[0]).remove('"');
            const auto amount = qv::parseAmount(QString::fromUtf8(f[1]).remove('"').remove('$'));
            QVERIFY2(amount, line.constData());
            if (name.startsWith("equity:"))
                continue; // the openings' other side is no account of the book
            QVERIFY2(codeOf.contains(name), qPrintable(name));
            QCOMPARE(ours.value(codeOf.value(name)), amount->cents);
            ++compared;
        }
        QCOMPARE(compared, 7);
        c.close();
        db.drop();
    }

    void badInputIsRefusedWithItsLine_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        const QByteArray tx = "2025-01-05 Paid\n    expenses:x  10.00\n";
        const QByteArray ok = "    assets:y\n";
        QTest::newRow("unbalanced") << "ledger" << tx + "    assets:y  -9.00\n" << 1 << "does not balance";
        QTest::newRow("bad date") << "ledger" << QByteArray("2025-02-30 X\n    a:b:c  1\n    d:e:f\n") << 1
                                  << "not a date";
        QTest::newRow("three decimals") << "ledger" << QByteArray("2025-01-05 X\n    a:b:c  1.005\n    d:e:f\n") << 2
                                        << "more than two decimals";
        QTest::newRow("text amount") << "ledger" << QByteArray("2025-01-05 X\n    a:b:c  ten\n    d:e:f\n") << 2
                                     << "not an amount";
        QTest::newRow("second commodity") << "ledger" << tx + "    assets:y  -10.00 EUR\n" << 3 << "commodity";
        QTest::newRow("price") << "ledger" << QByteArray("2025-01-05 X\n    a:b:c  1 AAPL @ $10\n    d:e:f\n") << 2
                               << "Prices";
        QTest::newRow("price directive") << "ledger" << QByteArray("P 2025-01-01 AAPL $10\n") << 1 << "prices";
        QTest::newRow("virtual") << "ledger" << tx + ok + "    (budget:x)  5\n" << 4 << "Virtual";
        QTest::newRow("two elided") << "ledger" << QByteArray("2025-01-05 X\n    a:b:c\n    d:e:f\n") << 3 << "second";
        QTest::newRow("head posted") << "ledger" << QByteArray("2025-01-05 X\n    7 A:7.1 B  5\n    d:e:f\n") << 1
                                     << "head";
        QTest::newRow("not utf-8") << "ledger" << tx + ok + "; caf\xe9\n" << 4 << "not UTF-8";
        QTest::newRow("empty") << "ledger" << QByteArray() << 1 << "empty";
        QTest::newRow("same account") << "ledger" << QByteArray("2025-01-05 X\n    a:b:c  5\n    a:b:c  -5\n") << 3
                                      << "same account";
        QTest::newRow("stray posting") << "ledger" << QByteArray("    a:b:c  5\n") << 1 << "outside a transaction";
        QTest::newRow("include") << "ledger" << QByteArray("include other.journal\n") << 1 << "Included";
        const QByteArray head = "Code,Title,Bank,Opening\n";
        QTest::newRow("fourth level") << "accounts-csv" << head + "7.1.1.1,Deep,,\n" << 2 << "fourth level";
        QTest::newRow("leading zero") << "accounts-csv" << head + "1.01,Zero,,\n" << 2 << "not an account code";
        QTest::newRow("opening on head") << "accounts-csv" << head + "7.1,Head,,5 Dr\n" << 2 << "head";
        QTest::newRow("sign and side") << "accounts-csv" << head + "7.1.1,Cash,,-5 Cr\n" << 2 << "not both";
        QTest::newRow("unknown column") << "accounts-csv" << QByteArray("Code,Title,Colour\n") << 1 << "Colour";
        QTest::newRow("title twice") << "accounts-csv" << head + "7.1.1,Cash,,\n7.1.1,Bank,,\n" << 3 << "named";
        const QByteArray vh = "Date,Kind,Number,AccountCode,Debit,Credit\n";
        QTest::newRow("unknown kind") << "vouchers-csv" << vh + "2025-01-01,XV,1,1.1.1,5.00,0.00\n"
                                      << 2 << "not a voucher kind";
        QTest::newRow("broken quoting") << "vouchers-csv" << vh + "2025-01-01,JV,1,\"1.1.1,5.00,0.00\n"
                                        << 2 << "not closed";
        QTest::newRow("quote inside") << "vouchers-csv" << vh + "2025-01-01,JV,1,1.1\"1,5.00,0.00\n"
                                      << 2 << "quote inside";
        QTest::newRow("unpaired row") << "vouchers-csv" << vh + "2025-01-01,JV,1,1.1.1,5.00,0.00\n" << 2 << "pairs";
        QTest::newRow("csv date") << "vouchers-csv" << vh + "01-01-2025,JV,1,1.1.1,5.00,0.00\n" << 2 << "not a date";
        QTest::newRow("unknown account")
            << "vouchers-csv" << vh + "2025-01-01,JV,900,9.9.9,5.00,0.00\n2025-01-01,JV,900,9.9.8,0.00,5.00\n"
            << 2 << "no subsidiary account";
    }
    // Every refusal names its line and reason, and the book is as it was.
    void badInputIsRefusedWithItsLine()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, reason);
        // One demo book for every row: each refusal must leave it as it was for the next.
        if (!badBook)
            badBook = qvt::TestDb::create(true);
        const qvt::TestDb& db = *badBook;
        qv::Connection c;
        db.connect(c);
        const QStringList before = snapshot(c);
        ImportOptions o;
        o.format = *formatByName(format);
        const QString file = writeFile("bad", text);
        try {
            runImport(c, file, o, db.user);
            QFAIL("the file was taken");
        } catch (const ImportError& e) {
            QVERIFY2(e.line == line && e.reason.contains(reason, Qt::CaseInsensitive),
                     qPrintable(QString("line %1: %2").arg(e.line).arg(e.reason)));
        }
        QCOMPARE(snapshot(c), before);
        QVERIFY(!c.inTransaction());
        c.close();
    }
    void cleanupTestCase()
    {
        if (badBook)
            badBook->drop();
    }

    // A failure at any statement of the import leaves the book as it was.
    void failedImportLeavesTheBookUnchanged()
    {
        const QString file = smallJournal();
        const qvt::TestDb db = qvt::TestDb::create(false);
        qv::Connection c;
        db.connect(c);
        const qvt::FailEachResult r = qvt::failEachStatement(c, [&] {
            try {
                runImport(c, file, {}, db.user);
            } catch (const qv::DbError&) {
            }
        });
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QVERIFY2(r.changed.isEmpty(), qPrintable(r.changed.join('\n')));
        QVERIFY(r.statements > 20);
        QCOMPARE(c.scalar("select count(*) from MasJV").toInt(), 2);
        const auto jv = qv::VoucherStore(c).open(qv::VoucherKind::JV, 1);
        QVERIFY(jv && jv->lines.size() == 1);
        QCOMPARE(jv->lines[0].cheque, "7");
        QCOMPARE(jv->lines[0].narration, "March");
        c.close();
        db.drop();
    }

    // The import sets the embedded file's temporary storage aside for its transaction, which
    // drops the session's work tables: the station's next report makes them again, and the
    // storage comes back as it was.
    void sessionIsAsBeforeAfterAnImport()
    {
        const qvt::TestDb db = qvt::TestDb::create(false);
        qv::Connection c;
        db.connect(c);
        const QVariant store = c.backend() == qv::Backend::Sqlite ? c.scalar("PRAGMA temp_store") : QVariant();
        qv::rpt::fillTrialBalance(c, QDate(2025, 1, 1), QDate(2025, 12, 31));
        runImport(c, smallJournal(), {}, db.user);
        qv::rpt::fillTrialBalance(c, QDate(2025, 1, 1), QDate(2025, 12, 31));
        QCOMPARE(c.scalar("select count(*) from tmpTrialBalance").toInt(), 2);
        if (store.isValid())
            QCOMPARE(c.scalar("PRAGMA temp_store"), store);
        c.close();
        db.drop();
    }

    // The command: --dry-run writes nothing and prints the plan; a repeated file is refused
    // unless --skip-existing; --renumber brings the vouchers in under new numbers.
    void command()
    {
        const qvt::TestDb src = qvt::TestDb::create(true);
        qv::Connection s;
        src.connect(s);
        const QString file = writeFile("demo.journal", exported(s, qv::rpt::ExportFormat::Ledger));
        const int vouchers = s.scalar("select count(*) from MasJV").toInt();
        s.close();
        src.drop();
        const qvt::TestDb db = qvt::TestDb::create(false);
        auto run = [&](const QStringList& extra) {
            return qvt::runAdmin(QStringList{"import", "--server", db.dataSource, "--catalog", db.catalog, "--user",
                                             db.user, "--password", db.password, "--format", "ledger"}
                                 + extra + QStringList{file});
        };
        qv::Connection c;
        db.connect(c);
        const qvt::AdminRun dry = run({"--dry-run"});
        QCOMPARE(dry.code, 0);
        QVERIFY(dry.out.contains(QString("Vouchers: %1 (").arg(vouchers)));
        QVERIFY(dry.out.contains("new  DD 1.1.1"));
        QCOMPARE(c.scalar("select count(*) from Accounts").toInt(), 0);
        QCOMPARE(run({}).code, 0);
        const qvt::AdminRun again = run({});
        QCOMPARE(again.code, 1);
        QVERIFY2(again.err.contains("Line ") && again.err.contains("already"), qPrintable(again.err));
        QCOMPARE(run({"--skip-existing"}).code, 0);
        QCOMPARE(c.scalar("select count(*) from MasJV").toInt(), vouchers);
        QCOMPARE(run({"--renumber"}).code, 0);
        QCOMPARE(c.scalar("select count(*) from MasJV").toInt(), 2 * vouchers);
        QCOMPARE(run({"--format", "beancount"}).code, 2);
        c.close();
        db.drop();
    }
};

QTEST_MAIN(TstImport)
#include "tst_import.moc"
