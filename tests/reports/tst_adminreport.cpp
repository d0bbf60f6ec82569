// quoravel-admin report, run as a user runs it: the chart of accounts of the demo company to
// PDF, a book with formula fields and subreports to PDF and CSV, and every error as a message
// with a non-zero exit.
#include "db/connection.h"
#include "reportfixture.h"
#include "support/adminrun.h"
#include "support/fixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using Run = qvt::AdminRun;

class TstAdminReport : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    QTemporaryDir tmp;

    QStringList login() const
    {
        return {"--server", db.dataSource, "--catalog", db.catalog, "--user", db.user, "--password", db.password};
    }
    Run admin(const QStringList& args) const { return qvt::runAdmin(args); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        db = qvt::TestDb::create(true);
    }
    void cleanupTestCase() { db.drop(); }

    void chartOfAccountsToPdf()
    {
        const QString pdf = tmp.filePath("chart.pdf");
        const Run r = admin(QStringList{"report", "rptChartAC.rpt"} + login() + QStringList{"--pdf", pdf});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QRegularExpression("^Wrote \\d+ pages to " + QRegularExpression::escape(pdf))),
                 qPrintable(r.out));
        const QString text = qvt::pdfText(pdf);
        if (text.isNull())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QVERIFY(text.contains("Page 1 of "));
        QVERIFY(text.contains("CHART OF ACCOUNTS"));
        QVERIFY(text.contains("GREEN VALLEY DEVELOPERS (PVT) LTD"));
        qv::Connection c;
        db.connectAdmin(c);
        const auto accounts = qvt::accounts(c);
        QCOMPARE(accounts.size(), 42);
        for (const auto& [code, title] : accounts)
            QVERIFY2(text.contains(QRegularExpression("(^|\\n)" + QRegularExpression::escape(code) + " +"
                                                      + QRegularExpression::escape(title) + " ")),
                     qPrintable(code + " " + title));
    }

    void bookWithFormulaFieldAndSubreportsToPdfAndCsv()
    {
        qv::Connection c;
        db.connectAdmin(c);
        const QString cash = c.scalar("select AcCode from VouSetting where VouStatus = 'CP'").toString();
        const int lines =
            c.scalar("select count(*) from DetJV where CrAc = ? and VouDate >= '2025-10-01'", {cash}).toInt();
        QVERIFY(lines > 0);
        const QString pdf = tmp.filePath("book.pdf"), csv = tmp.filePath("book.csv");
        const Run r =
            admin(QStringList{"report", qvt::testBookTemplate()} + login()
                  + QStringList{"--selection",
                                "{Company.comActive}='Y' and {DetJV.CrAc} = " + cash
                                    + " and {DetJV.VouDate} in #2025-10-01# to #2025-12-31#",
                                "--formula", "Dates=From :  01-10-2025  To :  31-12-2025", "--subreport",
                                "rptSubAcOpen={Accounts.RowID} = " + cash, "--subreport",
                                "rptSubOpening={DetJV.AcCode} = " + cash + " and {DetJV.VouDate} < #2025-10-01#",
                                "--pdf", pdf, "--csv", csv});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QString("Wrote %1 rows to %2.").arg(lines).arg(csv)));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).count("\r\n"), lines + 1);
        const QString text = qvt::pdfText(pdf);
        if (text.isNull())
            QSKIP("pdftotext (poppler-utils) is not installed");
        // pdftotext gives runs of blanks back as one; the engine's own tests check the spacing.
        QVERIFY(text.simplified().contains("From : 01-10-2025 To : 31-12-2025"));
        QVERIFY(text.contains("Account: CASH IN HAND"));
        QVERIFY(!text.contains("Account: HABIB BANK"));
    }

    void errorsExitNonZeroWithAMessage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing template") << QStringList{"rptNone.rpt"} << 1 << "rptNone.rpt\" was not found.";
        QTest::newRow("bad formula") << QStringList{"rptChartAC.rpt", "--selection", "{Accounts.Nope} = 1"} << 1
                                     << "the field {Accounts.Nope} is not part of this report";
        QTest::newRow("statement ending") << QStringList{"rptChartAC.rpt", "--selection", "'x'; drop table Accounts"}
                                          << 1 << "the character \";\" is not allowed here";
        QTest::newRow("wrong password") << QStringList{"rptChartAC.rpt", "--password", "wrong"} << 1 << "LOGIN";
        QTest::newRow("unknown formula field") << QStringList{"rptChartAC.rpt", "--formula", "Period=x"} << 1
                                               << "The report has no formula field \"Period\".";
        QTest::newRow("unknown subreport")
            << QStringList{"rptChartAC.rpt", "--subreport", "rptSub={Accounts.RowID} = 1"} << 1
            << "The report has no subreport \"rptSub\".";
        QTest::newRow("no output") << QStringList{"rptChartAC.rpt"} << 2 << "needs --pdf FILE or --csv FILE";
        QTest::newRow("unknown option") << QStringList{"rptChartAC.rpt", "--no-pdf", "x"} << 2
                                        << "report has no option --no-pdf";
        QTest::newRow("two templates") << QStringList{"rptChartAC.rpt", "rptChartAC.rpt"} << 2
                                       << "exactly one TEMPLATE";
        QTest::newRow("formula without name")
            << QStringList{"rptChartAC.rpt", "--formula", "Dates"} << 2 << "--formula is written NAME=TEXT";
    }
    void errorsExitNonZeroWithAMessage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, message);
        const QString pdf = tmp.filePath(QString("err-%1.pdf").arg(QTest::currentDataTag()));
        QStringList all = QStringList{"report", args.takeFirst()};
        if (args.size() >= 1 && args.first() == "rptChartAC.rpt")
            all << args.takeFirst();
        all << login() << args;
        // A later --password overrides the right one.
        if (!QString(QTest::currentDataTag()).contains("output"))
            all << "--pdf" << pdf;
        const Run r = admin(all);
        QCOMPARE(r.code, exit);
        if (message == "LOGIN")
            QVERIFY2(r.err.contains("Login failed") || r.err.contains("password authentication failed"),
                     qPrintable(r.err));
        else
            QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.err.startsWith("quoravel-admin: ") || r.err.contains("\nquoravel-admin: "));
        QVERIFY(!QFile::exists(pdf));
    }
};

QTEST_GUILESS_MAIN(TstAdminReport)
#include "tst_adminreport.moc"
