// The seven accounts reports of the demo company produced headless, as a user runs them:
// quoravel-admin report ... --exec ... --pdf, read back with pdftotext. The expected figures are
// summed here from the raw DetJV rows and OpenBal, not by the code under test.
#include "db/connection.h"
#include "db/money.h"
#include "reportfixture.h"
#include "support/adminrun.h"
#include "support/fixture.h"

#include <QFile>
#include <QScopeGuard>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

using qv::Money;

class TstAdminAccounts : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    QTemporaryDir tmp;
    const QString from = "2025-08-01", to = "2025-10-31";
    qint64 cash = 0, bank = 0;
    // Per account: OpenBal, then before the range, debits and credits in the range.
    struct Figures {
        qint64 open = 0, before = 0, dr = 0, cr = 0;
        bool moved = false;
        qint64 opening() const { return open + before; }
        qint64 closing() const { return opening() + dr - cr; }
    };
    QHash<qint64, Figures> fig;
    QHash<qint64, QString> controlOf; // account -> its control account's title

    static QString shown(qint64 cents) { return qv::displayAmount(Money(cents)); }
    static QString side(qint64 cents) { return shown(qAbs(cents)) + (cents < 0 ? " Cr" : " Dr"); }
    // pdftotext keeps the figures of one printed line on one text line, blanks between them.
    static QString line(const QStringList& parts)
    {
        QStringList esc;
        for (const QString& p : parts)
            esc << QRegularExpression::escape(p);
        return esc.join(" +");
    }

    QString pdf(const QString& name, const QStringList& args)
    {
        const QString out = tmp.filePath(name + ".pdf");
        const qvt::AdminRun r =
            qvt::runAdmin(QStringList{"report", name + ".rpt", "--server", db.dataSource, "--catalog", db.catalog,
                                      "--user", db.user, "--password", db.password, "--pdf", out}
                          + args);
        if (r.code != 0) {
            qWarning() << r.err;
            return {};
        }
        return qvt::pdfText(out);
    }
    // quoravel-admin with the book's server and login; later options override earlier ones.
    qvt::AdminRun run(const QStringList& args) const
    {
        return qvt::runAdmin(args.mid(0, 2)
                             + QStringList{"--server", db.dataSource, "--catalog", db.catalog, "--user", db.user}
                             + args.mid(2));
    }
    QStringList dates(const char* middle) const
    {
        auto shortDate = [](const QString& iso) {
            return QLocale().toString(QDate::fromString(iso, Qt::ISODate), QLocale::ShortFormat);
        };
        return {"--formula", QString("Dates=\"From :  %1%2%3\"").arg(shortDate(from), middle, shortDate(to))};
    }
    QStringList book(qint64 account) const
    {
        const QString a = QString::number(account);
        return QStringList{"--selection",
                           "{Company.comActive}='Y' and {DetJV.CrAc} = " + a + " and {DetJV.VouDate} in #" + from
                               + "# to #" + to + "#",
                           "--subreport",
                           "rptSubOpening={DetJV.AcCode} = " + a + " and {DetJV.VouDate} < #" + from + "#",
                           "--subreport",
                           "rptSubAcOpen={Accounts.RowID}  = " + a}
               + dates("  To :  ");
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        db = qvt::TestDb::create(true);
        qv::Connection c;
        db.connectAdmin(c);
        const bool cents = c.backend() == qv::Backend::Sqlite;
        auto m = [&](const QVariant& v) { return qv::moneyFromVariant(v, cents).value_or(Money()).cents; };
        cash = c.scalar("select AcCode from VouSetting where VouStatus = 'CP'").toLongLong();
        bank = c.scalar("select min(RowID) from Accounts where BStatus = 'B'").toLongLong();
        QHash<QString, QString> titles;
        QSqlQuery a = c.query("select RowID, OpenBal, AcStatus, AcNodes, AcName from Accounts", {}, false);
        QList<QPair<qint64, QString>> dd;
        while (a.next()) {
            titles[a.value(3).toString()] = a.value(4).toString();
            if (a.value(2).toString() == "DD") {
                fig[a.value(0).toLongLong()].open = m(a.value(1));
                dd << qMakePair(a.value(0).toLongLong(), a.value(3).toString());
            }
        }
        for (const auto& [id, nodes] : dd)
            controlOf[id] = titles[nodes.section('.', 0, 0)];
        QSqlQuery d = c.query("select AcCode, VouDate, DrAmt, CrAmt from DetJV");
        while (d.next()) {
            Figures& f = fig[d.value(0).toLongLong()];
            const QString date = d.value(1).toDate().toString(Qt::ISODate);
            if (date < from)
                f.before += m(d.value(2)) - m(d.value(3));
            else if (date <= to) {
                f.dr += m(d.value(2));
                f.cr += m(d.value(3));
                f.moved = true;
            }
        }
        QVERIFY(fig[cash].moved && fig[bank].moved);
    }
    void cleanupTestCase() { db.drop(); }

    void cashAndBankBooks()
    {
        for (qint64 account : {cash, bank}) {
            const QString text = pdf("rptAcLedger3", book(account));
            QVERIFY(!text.isEmpty());
            QVERIFY(text.contains("GREEN VALLEY DEVELOPERS (PVT) LTD"));
            QVERIFY(text.contains("CASH / BANK BOOK"));
            QVERIFY(text.contains(QRegularExpression("Page 1 of \\d")));
            QVERIFY2(text.contains(QRegularExpression(line({"Opening Balance", side(fig[account].opening())}))),
                     qPrintable(text));
            QVERIFY(text.contains(QRegularExpression(line({"Total", shown(fig[account].dr), shown(fig[account].cr)}))));
            QVERIFY(text.contains(QRegularExpression(line({"Closing Balance", side(fig[account].closing())}))));
        }
    }

    void simpleAndDetailLedgers()
    {
        for (const QString& statement : {QString("exec AcLedger %1,'%2','%3'").arg(bank).arg(from, to),
                                         QString("exec DetailAcLedger %1,1,8,2025,31,10,2025").arg(bank)}) {
            const QString text =
                pdf("rptAcLedger",
                    QStringList{"--exec", statement, "--selection", "{Company.comActive} = 'Y'"} + dates("  To :  "));
            QVERIFY(!text.isEmpty());
            QVERIFY(text.contains(statement.contains("Detail") ? "DETAIL LEDGER" : "SIMPLE LEDGER"));
            const Figures& f = fig[bank];
            QVERIFY(text.contains(QRegularExpression(
                line({"Opening Balance", shown(qAbs(f.opening())), f.opening() < 0 ? "Cr" : "Dr"}))));
            QVERIFY(text.contains(QRegularExpression(line({"Total", shown(f.dr), shown(f.cr)}))));
            QVERIFY(text.contains(QRegularExpression(
                line({"Closing Balance", shown(qAbs(f.closing())), f.closing() < 0 ? "Cr" : "Dr"}))));
        }
    }

    void trialBalances()
    {
        qint64 netDr = 0, netCr = 0, openDr = 0, openCr = 0, dr = 0, cr = 0, closeDr = 0, closeCr = 0;
        QMap<QString, QPair<qint64, qint64>> byControl;
        for (auto it = fig.cbegin(); it != fig.cend(); ++it) {
            const Figures& f = *it;
            if (f.moved) {
                const qint64 net = f.dr - f.cr;
                (net > 0 ? netDr : netCr) += qAbs(net);
                (net > 0 ? byControl[controlOf[it.key()]].first : byControl[controlOf[it.key()]].second) += qAbs(net);
            }
            if (f.moved || f.opening() != 0) {
                (f.opening() > 0 ? openDr : openCr) += qAbs(f.opening());
                (f.closing() > 0 ? closeDr : closeCr) += qAbs(f.closing());
                dr += f.dr;
                cr += f.cr;
            }
        }
        QCOMPARE(netDr, netCr);
        const QStringList tb = {"--exec", "exec TrialBalance '" + from + "','" + to + "'", "--selection",
                                "{Company.comActive} = 'Y'"};
        QString text = pdf("rptTrialBalance", tb + dates("   To :  "));
        QVERIFY(text.contains("SUBSIDIARY TRIAL BALANCE"));
        QVERIFY(text.contains(QRegularExpression(line({"Total", shown(netDr), shown(netCr)}))));
        text = pdf("rptTrialBalance2", tb + dates("   To :  "));
        QVERIFY(text.contains("CONTROL TRIAL BALANCE"));
        QVERIFY(text.contains(QRegularExpression(line({"Total", shown(netDr), shown(netCr)}))));
        for (auto it = byControl.cbegin(); it != byControl.cend(); ++it)
            QVERIFY2(
                text.contains(QRegularExpression(line({"Total " + it.key(), shown(it->first), shown(it->second)}))),
                qPrintable(it.key()));
        text = pdf("rptTrialBalance3", QStringList{"--exec", "exec TrialBalance3 '" + from + "','" + to + "'",
                                                   "--selection", "{Company.comActive} = 'Y'"}
                                           + dates("   To :  "));
        QVERIFY(text.contains("SUBSIDIARY TRIAL BALANCE (WITH OPENING)"));
        QVERIFY2(text.contains(QRegularExpression(line(
                     {"Total", shown(openDr), shown(openCr), shown(dr), shown(cr), shown(closeDr), shown(closeCr)}))),
                 qPrintable(text));
    }

    // Only the documented preparations, over a range that runs forwards, are run: anything else
    // is refused before the book is opened (exit 2, even with a wrong password) and nothing runs.
    void onlyDocumentedPreparationsRun_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        const QString right = db.password;
        QTest::newRow("a plain statement") << "delete from MasJV" << right << "not written exec NAME ARGUMENTS";
        QTest::newRow("before the login") << "delete from MasJV"
                                          << "wrong"
                                          << "not written exec NAME ARGUMENTS";
        QTest::newRow("a second statement") << "exec TrialBalance '2025-01-01','2025-12-31'; drop table DetJV" << right
                                            << "is not a date written 'yyyy-mm-dd'";
        QTest::newRow("unknown procedure") << "exec sp_who" << right << "there is no procedure \"sp_who\"";
        QTest::newRow("reversed ledger") << "exec AcLedger 4,'9999-12-31','0001-01-01'" << right
                                         << "reversed range: 9999-12-31 is after 0001-01-01";
        QTest::newRow("reversed detail ledger")
            << "exec DetailAcLedger 4,2,1,2026,1,1,2026" << right << "reversed range: 2026-01-02 is after 2026-01-01";
        QTest::newRow("reversed trial balance")
            << "exec TrialBalance3 '2026-01-02','2026-01-01'" << right << "reversed range";
    }
    void onlyDocumentedPreparationsRun()
    {
        QFETCH(QString, statement);
        QFETCH(QString, password);
        QFETCH(QString, message);
        qv::Connection c;
        db.connectAdmin(c);
        const int vouchers = c.scalar("select count(*) from MasJV").toInt();
        const qvt::AdminRun r = run({"report", "rptTrialBalance.rpt", "--password", password, "--csv",
                                     tmp.filePath("x.csv"), "--exec", statement});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(message) && r.err.contains("Nothing was run", Qt::CaseInsensitive), qPrintable(r.err));
        QVERIFY(!QFile::exists(tmp.filePath("x.csv")));
        QCOMPARE(c.scalar("select count(*) from MasJV").toInt(), vouchers);
    }

    // Account and voucher numbers beyond 32 bits reach the work tables whole.
    void wideNumbersReachTheWorkTables()
    {
        const qint64 account = 999999999999999, voucher = 3000000000;
        qv::Connection c;
        db.connectAdmin(c);
        c.execute("insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt) "
                  "values (?, 'JV', ?, 1, ?, ?, ?, ?)",
                  {voucher, QDate(2025, 9, 1), account, cash, QVariant::fromValue(Money(12345)),
                   QVariant::fromValue(Money())});
        auto cleanup = qScopeGuard([&] { c.execute("delete from DetJV where VouNo = ?", {voucher}); });
        const QString csv = tmp.filePath("wide.csv");
        for (const QString& prep : {QString("exec AcLedger %1,'%2','%3'").arg(account).arg(from, to),
                                    QString("exec TrialBalance3 '%1','%2'").arg(from, to)}) {
            const qvt::AdminRun r = run({"report", prep.contains("Ledger") ? "rptAcLedger.rpt" : "rptTrialBalance3.rpt",
                                         "--password", db.password, "--csv", csv, "--exec", prep});
            QVERIFY2(r.code == 0, qPrintable(prep + ": " + r.err));
            QFile f(csv);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            QVERIFY2(text.contains("123.45"), qPrintable(text));
            QVERIFY2(text.contains(prep.contains("Ledger") ? QString("JV-%1").arg(voucher)
                                                           : QString("account %1 not found").arg(account)),
                     qPrintable(text));
        }
    }
};

QTEST_MAIN(TstAdminAccounts)
#include "tst_adminaccounts.moc"
