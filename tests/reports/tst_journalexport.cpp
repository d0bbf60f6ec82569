// The export for plain-text accounting tools. The journal is read back by ledger and hledger
// themselves (each skipped where it is not installed), and every account's balance there must
// equal our trial balance with opening, to the cent: on the demo book over its whole range and
// from a date on, and on a book of awkward names, texts and amounts. The CSV is parsed back
// field by field. The command's refusals and its all-or-nothing file are checked through
// quoravel-admin itself.
#include "db/money.h"
#include "reports/journalexport.h"
#include "reports/procedures.h"
#include "support/adminrun.h"
#include "support/dbfixture.h"
#include "vouchers/voucherstore.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace qv::rpt;
using qv::Money;

namespace {

// RFC 4180 records: quoted fields with doubled quotes, CRLF (or LF) between records.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList rec;
    QString field;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += '"', ++i;
            else if (ch == '"')
                quoted = false;
            else
                field += ch;
        } else if (ch == '"') {
            quoted = true, any = true;
        } else if (ch == ',') {
            rec << field, field.clear(), any = true;
        } else if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            rec << field, records << rec;
            rec.clear(), field.clear(), any = false;
        } else {
            field += ch, any = true;
        }
    }
    if (any)
        records << (rec << field);
    return records;
}

// Account name -> balance in cents, as the tool prints it; an error text on failure.
QHash<QString, qint64> toolBalances(const QString& tool, const QString& file, const QString& before, QString* error)
{
    QStringList args{"-f", file};
    if (!before.isEmpty())
        args << "-e" << before;
    if (tool == "ledger")
        args << "--flat"
             << "--no-total"
             << "--balance-format"
             << "%(account)\t%(display_total)\n"
             << "balance";
    else
        args << "balance"
             << "--flat"
             << "--no-total"
             << "-O"
             << "csv";
    QProcess p;
    p.start(QStandardPaths::findExecutable(tool), args);
    QHash<QString, qint64> out;
    if (!p.waitForFinished(120000) || p.exitCode() != 0 || !p.readAllStandardError().isEmpty()) {
        *error = tool + " failed: " + QString::fromUtf8(p.readAllStandardError());
        return out;
    }
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    QList<QStringList> rows;
    if (tool == "ledger") {
        for (const QString& line : text.split('\n', Qt::SkipEmptyParts))
            rows << line.split('\t');
    } else {
        rows = parseCsv(text).mid(1); // the header
    }
    for (const QStringList& r : rows) {
        const auto m = r.size() == 2 ? qv::parseAmount(r[1]) : std::nullopt;
        if (!m) {
            *error = tool + " printed a line that is not an account and an amount: " + r.join('|');
            return {};
        }
        out.insert(r[0], m->cents);
    }
    return out;
}

} // namespace

class TstJournalExport : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    // Our trial balance with opening over [from, to]: account -> opening and closing in cents.
    static QHash<qint64, QPair<qint64, qint64>> trialBalance(qv::Connection& c, const QDate& from, const QDate& to)
    {
        runProcedure(c, parseExec(trialBalance3Statement(from, to)));
        QHash<qint64, QPair<qint64, qint64>> tb;
        const bool cents = c.backend() == qv::Backend::Sqlite;
        auto m = [cents](const QVariant& v) { return qv::moneyFromVariant(v, cents).value_or(Money()).cents; };
        QSqlQuery q = c.query("select AcCode, OpenDr, OpenCr, CloseDr, CloseCr from tmpTrialBalance3");
        while (q.next())
            tb.insert(q.value(0).toLongLong(), {m(q.value(1)) - m(q.value(2)), m(q.value(3)) - m(q.value(4))});
        return tb;
    }

    QString exportTo(qv::Connection& c, const QString& name, const ExportOptions& o, ExportStats* st = nullptr)
    {
        QFile f(tmp.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            return {};
        const ExportStats s = exportJournal(c, o, f);
        if (st)
            *st = s;
        return f.fileName();
    }

    // Every account's balance in the tool equals our closing (openings before `from` when
    // `before` is set); the tool knows no account beyond ours and the opening equity.
    void compareWithTool(qv::Connection& c, const QString& tool, const QString& file, const QDate& from,
                         const QDate& to)
    {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(tool + " is not installed (scripts/setup.sh installs it); its check is skipped."));
        const auto tb = trialBalance(c, from, to);
        const auto names = journalAccountNames(c);
        for (const bool openingsOnly : {false, true}) {
            QString error;
            const auto bal = toolBalances(tool, file, openingsOnly ? from.toString(Qt::ISODate) : QString(), &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QHash<QString, qint64> ours;
            qint64 equity = 0;
            for (auto it = tb.cbegin(); it != tb.cend(); ++it) {
                const qint64 v = openingsOnly ? it->first : it->second;
                if (v != 0)
                    ours.insert(names.value(it.key()), v);
                equity -= it->first;
            }
            if (equity != 0)
                ours.insert("Equity:Opening Balances", equity);
            for (auto it = ours.cbegin(); it != ours.cend(); ++it)
                QVERIFY2(bal.value(it.key()) == *it, qPrintable(QString("%1 (%2): %3 in %4, %5 in our trial balance")
                                                                    .arg(it.key(), openingsOnly ? "opening" : "closing")
                                                                    .arg(bal.value(it.key()))
                                                                    .arg(tool)
                                                                    .arg(*it)));
            for (auto it = bal.cbegin(); it != bal.cend(); ++it)
                QVERIFY2(*it == 0 || ours.contains(it.key()),
                         qPrintable(tool + " has an account we do not: " + it.key()));
        }
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        QVERIFY(tmp.isValid());
    }

    void demoBookAgreesWithTools_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<bool>("fromDate");
        for (const char* tool : {"ledger", "hledger"}) {
            QTest::addRow("%s, whole book", tool) << QString(tool) << false;
            QTest::addRow("%s, from a date on", tool) << QString(tool) << true;
        }
    }
    void demoBookAgreesWithTools()
    {
        QFETCH(QString, tool);
        QFETCH(bool, fromDate);
        const qvt::TestDb db = qvt::TestDb::create(true);
        qv::Connection c;
        db.connect(c);
        const QDate first = c.scalar("select min(VouDate) from DetJV").toDate();
        const QDate last = c.scalar("select max(VouDate) from DetJV").toDate();
        QVERIFY(first.isValid() && first < last);
        ExportOptions o;
        if (fromDate) {
            // Openings then hold rows before the date; the rows after `to` stay out.
            o.from = first.addDays(int(first.daysTo(last) / 2));
            o.to = last.addDays(-3);
        }
        ExportStats st;
        const QString file = exportTo(c, "demo.journal", o, &st);
        QVERIFY(st.openings > 0);
        QCOMPARE(st.unbalanced, 0);
        compareWithTool(c, tool, file, o.from.isValid() ? o.from : first, o.to.isValid() ? o.to : last);
        c.close();
        db.drop();
    }

    void awkwardBook_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::newRow("ledger") << "ledger";
        QTest::newRow("hledger") << "hledger";
    }
    // Titles, parties and narrations that the journal format reads as syntax, and the smallest
    // and largest amounts: the tools still read every figure, and the CSV gives the texts back.
    void awkwardBook()
    {
        QFETCH(QString, tool);
        const qvt::TestDb db = qvt::TestDb::create(false);
        qv::Connection c;
        db.connect(c);
        auto add = [&c](const QString& nodes, const QString& title, const char* status, const QVariant& open = {}) {
            return c.insertReturningKey("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode, OpenBal) "
                                        "values (?, ?, ?, ?, 1, ?) returning RowID",
                                        {nodes, title, status, nodes.section('.', 0, -2),
                                         open.isValid() ? open : QVariant(QMetaType::fromType<QString>())});
        };
        add("1", "Heads: \"quoted\"; and more", "HH");
        add("1.1", "Two  spaces\tand a tab", "HD");
        const qint64 a = add("1.1.1", "O'Brien \"Ltd\": Café Ünïcode 北京", "DD", QVariant::fromValue(Money(1)));
        const qint64 b = add("1.1.2", "semi; colon: [bracket] *star", "DD", QVariant::fromValue(Money(-250050)));
        const qint64 k = add("1.1.3", "  leading and trailing  ", "DD");
        qv::VoucherStore store(c);
        qv::Voucher v;
        v.kind = qv::VoucherKind::JV;
        v.number = 1;
        v.date = QDate(2026, 3, 1);
        v.party = "*Party; with | pipe [2026-13-45] Ref:: 5+ \"q\", comma";
        v.lines.push_back({a, {}, b, {}, Money(1), {}, "Line, one \"quoted\"\nsecond line; tag: x", "F1", {}});
        v.lines.push_back({k,
                           {},
                           a,
                           {},
                           Money(qv::VoucherStore::maxAmount().cents / 2),
                           "CHQ-1",
                           "[2026-01-01] :a:b: Key:: 1+",
                           {},
                           {}});
        store.save(v, true, "tester");
        v.number = 2;
        v.date = QDate(2026, 3, 2);
        v.party = "Plain";
        v.lines = {{b, {}, k, {}, Money(123456789), {}, "x", {}, {}}};
        store.save(v, true, "tester");

        const QString file = exportTo(c, "awkward.journal", {});
        compareWithTool(c, tool, file, QDate(2026, 3, 1), QDate(2026, 3, 2));
        const auto names = journalAccountNames(c);
        QCOMPARE(names.value(a), "1 Heads- \"quoted\", and more:1.1 Two spaces and a tab:1.1.1 O'Brien \"Ltd\"- Café "
                                 "Ünïcode 北京");
        QCOMPARE(names.value(k).section(':', 2), "1.1.3 leading and trailing");

        // The CSV keeps every text as it is stored, one record per detail row.
        ExportOptions csv;
        csv.format = ExportFormat::Csv;
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        const ExportStats st = exportJournal(c, csv, buf);
        const QString text = QString::fromUtf8(buf.data());
        QVERIFY(text.endsWith("\r\n"));
        const QList<QStringList> recs = parseCsv(text);
        QCOMPARE(recs.size(), 1 + c.scalar("select count(*) from DetJV").toInt());
        QCOMPARE(st.rows, recs.size() - 1);
        QCOMPARE(st.vouchers, 2);
        const QStringList head = recs[0];
        for (const QStringList& r : recs)
            QCOMPARE(r.size(), head.size());
        auto col = [&head](const char* n) { return int(head.indexOf(n)); };
        const QStringList& first = recs[1];
        QCOMPARE(first[col("Date")], "2026-03-01");
        QCOMPARE(first[col("Voucher")], "JV-1");
        QCOMPARE(first[col("Party")], "*Party; with | pipe [2026-13-45] Ref:: 5+ \"q\", comma");
        QCOMPARE(first[col("Narration")], "Line, one \"quoted\"\nsecond line; tag: x");
        QCOMPARE(first[col("Account")], "O'Brien \"Ltd\": Café Ünïcode 北京");
        qint64 dr = 0, cr = 0;
        QStringList amounts;
        for (const QStringList& r : recs.mid(1)) {
            dr += qv::parseAmount(r[col("Debit")])->cents;
            cr += qv::parseAmount(r[col("Credit")])->cents;
            amounts << r[col("Debit")] << r[col("Credit")];
        }
        QCOMPARE(dr, cr);
        QVERIFY(amounts.contains("0.01"));
        QVERIFY(amounts.contains(qv::plainAmount(Money(qv::VoucherStore::maxAmount().cents / 2))));
        for (const QString& s : amounts)
            QVERIFY2(s.indexOf('.') == s.size() - 3, qPrintable(s));
        c.close();
        db.drop();
    }

    // A damaged book (a voucher whose rows do not net to zero) still gives a file the tools read,
    // with the difference shown on its own account; a failing or stopped read is an error, not a
    // short file.
    void damagedBookAndFailedRead()
    {
        const qvt::TestDb db = qvt::TestDb::create(true);
        qv::Connection c;
        db.connect(c);
        QSqlQuery q = c.query("select VouStatus, VouNo, VouDate, AcCode from DetJV order by RowID");
        QVERIFY(q.next());
        const QVariantList row{q.value(0), q.value(1), q.value(2), q.value(3)};
        q.finish();
        c.execute("insert into DetJV (VouStatus, VouNo, VouDate, EntryNo, AcCode, DrAmt, CrAmt, Naration) "
                  "values (?, ?, ?, 99, ?, ?, ?, 'stray')",
                  row + QVariantList{QVariant::fromValue(Money(1234)), QVariant::fromValue(Money(0))});
        ExportStats st;
        const QString file = exportTo(c, "damaged.journal", {}, &st);
        QCOMPARE(st.unbalanced, 1);
        if (!QStandardPaths::findExecutable("ledger").isEmpty()) {
            QString error;
            const auto bal = toolBalances("ledger", file, {}, &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(bal.value("Equity:Unbalanced Vouchers"), -1234);
        }

        c.setStatementHook([](const QString& sql) {
            if (sql.contains("ORDER BY d.VouDate"))
                throw qv::DbError("disk I/O error");
        });
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, exportJournal(c, {}, buf));
        c.setStatementHook({});
        QVERIFY(!c.inTransaction());
        // Stopped part-way (Ctrl+C in the command): an error as well, after the rows it said.
        ExportOptions stop;
        stop.progressEvery = 5;
        qint64 said = 0;
        stop.progress = [&said](qint64 rows) { return (said = rows) < 10; };
        QVERIFY_THROWS_EXCEPTION(qv::DbError, exportJournal(c, stop, buf));
        QCOMPARE(said, 10);
        QVERIFY(!c.inTransaction());
        c.close();
        db.drop();
    }

    // The command: a refused line writes nothing (exit 2), a refused login writes nothing (exit 1),
    // and a written file is the exporter's journal.
    void command()
    {
        const qvt::TestDb db = qvt::TestDb::create(true);
        auto run = [&db](const QStringList& extra) {
            return qvt::runAdmin(
                       QStringList{"export", "--server", db.dataSource, "--catalog", db.catalog, "--user", db.user}
                       + extra)
                .code;
        };
        const QString out = tmp.filePath("cmd.journal");
        QCOMPARE(run({"--password", db.password, "--format", "beancount", out}), 2);
        QCOMPARE(run({"--password", db.password, "--from", "2026-02-30", out}), 2);
        QCOMPARE(run({"--password", db.password, "--from", "2026-03-01", "--to", "2026-02-01", out}), 2);
        QCOMPARE(run({"--password", db.password}), 2);
        QCOMPARE(run({"--password", "wrong", out}), 1);
        QVERIFY(!QFile::exists(out));
        QCOMPARE(run({"--password", db.password, "--format", "ledger", out}), 0);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        qv::Connection c;
        db.connect(c);
        QBuffer mine;
        mine.open(QIODevice::WriteOnly);
        exportJournal(c, {}, mine);
        QCOMPARE(f.readAll(), mine.data());
        c.close();
        db.drop();
    }

    // A journal carries only dates both tools read (ledger: 1400-01-01 to 9999-12-31); any other
    // is refused before a byte is written, whether it comes from --from (the opening balances are
    // dated the day before) or from a voucher. The CSV carries every date.
    void datesTheToolsCannotReadAreRefused()
    {
        const qvt::TestDb db = qvt::TestDb::create(true);
        const QString out = tmp.filePath("dates.journal");
        auto run = [&](const QStringList& extra) {
            const qvt::AdminRun r = qvt::runAdmin(QStringList{"export", "--server", db.dataSource, "--catalog",
                                                              db.catalog, "--user", db.user, "--password", db.password}
                                                  + extra + QStringList{out});
            return qMakePair(r.code, r.err);
        };
        auto refused = [&](const QStringList& extra, int exit, const QString& date) {
            const auto [code, err] = run(extra);
            return code == exit && err.contains(date) && err.contains("1400-01-01 to 9999-12-31")
                   && !QFile::exists(out);
        };
        QVERIFY(refused({"--from", "0001-01-01"}, 2, "0001-01-01"));
        QVERIFY(refused({"--from", "1400-01-01"}, 2, "1400-01-01"));
        qv::Connection c;
        db.connectAdmin(c);
        auto dateOneVoucher = [&](const QDate& d) {
            return c.execute("update DetJV set VouDate = ? where VouStatus = 'JV' and VouNo = 1", {d}) > 0;
        };
        QVERIFY(dateOneVoucher(QDate(1399, 12, 31)));
        QVERIFY(refused({}, 1, "1399-12-31"));
        QCOMPARE(run({"--format", "csv"}).first, 0);
        QVERIFY(QFile::remove(out));
        QVERIFY(dateOneVoucher(QDate(1400, 1, 1))); // its opening balances would be dated 1399-12-31
        QVERIFY(refused({}, 1, "1399-12-31"));
        QCOMPARE(run({"--from", "1400-01-02"}).first, 0);
        for (const char* tool : {"ledger", "hledger"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                continue;
            QString error;
            toolBalances(tool, out, {}, &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
        c.close();
        db.drop();
    }
};

QTEST_GUILESS_MAIN(TstJournalExport)
#include "tst_journalexport.moc"
