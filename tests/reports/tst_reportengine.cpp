// The engine on the demo company, on the backend named by the environment: what the chart of
// accounts and a book with subreports print, sums to the cent, selections against real rows,
// the logon, and the PDF and CSV files.
#include "db/logins.h"
#include "db/money.h"
#include "reportfixture.h"
#include "reportengine/reporterror.h"
#include "support/corebook.h"
#include "support/dbfixture.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace qv::rpt;
using qv::Money;

namespace {
Money money(const QVariant& v)
{
    return qv::moneyFromVariant(v, Conn.backend() == qv::Backend::Sqlite).value_or(Money());
}

int count(const QString& sql, const QVariantList& params = {})
{
    return Conn.scalar(sql, params).toInt();
}

const DocItem* findItem(const Document& d, const QString& text)
{
    for (int p = 0; p < d.pageCount(); ++p)
        for (const DocItem& i : d.page(p)->items) // a short report's pages are all kept
            if (i.text == text)
                return &i;
    return nullptr;
}
} // namespace

class TstReportEngine : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    QTemporaryDir tmp;
    qint64 cash = 0;

    std::shared_ptr<Report> book(const QString& selection = {})
    {
        auto r = qvt::openReport(qvt::testBookTemplate(), LoginUser, LoginPassword);
        r->setRecordSelectionFormula(selection);
        return r;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        db = qvt::TestDb::create(true);
        db.connect(Conn);
        LoginUser = db.user;
        LoginPassword = db.password;
        cash = Conn.scalar("select AcCode from VouSetting where VouStatus = 'CP'").toLongLong();
        QVERIFY(cash > 0);
    }
    void cleanupTestCase()
    {
        Conn.close();
        db.drop();
    }

    void chartInCodeOrderIndentedByLevel()
    {
        // A tenth sub-control account sorts as text: after 1.1.x, before 1.2.
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('1.10', "
                     "'SUNDRY ASSETS', 'HD', '1', 10)");
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode, OpenBal) values "
                     "('1.10.1', 'SECURITY DEPOSITS', 'DD', '1.10', 1, ?)",
                     {QVariant::fromValue(Money(0))});
        auto report = qvt::openReport(qvt::chartTemplate(), LoginUser, LoginPassword);
        const auto doc = report->run(Conn);
        QStringList expected;
        for (const auto& [code, title] : qvt::accounts(Conn))
            expected << code;
        std::sort(expected.begin(), expected.end());
        QStringList codes;
        for (const QStringList& r : doc->csvRows())
            codes << r[0];
        QCOMPARE(codes, expected);
        QVERIFY(codes.indexOf("1.10") == codes.indexOf("1.1.3") + 1
                && codes.indexOf("1.2") == codes.indexOf("1.10.1") + 1);

        QVERIFY(doc->pageCount() >= 2);
        for (int p = 0; p < doc->pageCount(); ++p) {
            const QStringList t = doc->pageTexts(p);
            QVERIFY(t.contains("GREEN VALLEY DEVELOPERS (PVT) LTD"));
            QVERIFY(t.contains("Tel: 042 3571 2201, 042 3571 2202     Fax: 042 3571 2203"));
            QVERIFY(t.contains("Sales Tax No: 03-06-2100-012-45     NTN: 1234567-8"));
            QVERIFY(t.contains("Code") && t.contains("Opening Balance")); // column headers on every page
            QVERIFY(t.contains(QString("Page %1 of %2").arg(p + 1).arg(doc->pageCount())));
        }
        // The title heads every page, once.
        for (int p = 0; p < doc->pageCount(); ++p)
            QCOMPARE(doc->pageTexts(p).count("CHART OF ACCOUNTS"), 1);

        const DocItem* hh = findItem(*doc, "ASSETS");
        const DocItem* hd = findItem(*doc, "CASH AND BANK");
        const DocItem* dd = findItem(*doc, "CASH IN HAND");
        QVERIFY(hh && hd && dd);
        QVERIFY(hh->rect.left() < hd->rect.left() && hd->rect.left() < dd->rect.left());
        QVERIFY(doc->styles[hh->style].bold && !doc->styles[dd->style].bold);

        // Level everywhere; opening balance and bank/supplier mark of subsidiary accounts only.
        const QList<QStringList> csv = doc->csvRows();
        auto row = [&](const QString& code) { return csv[codes.indexOf(code)]; };
        QCOMPARE(row("1"), (QStringList{"1", "ASSETS", "Control", "", ""}));
        QCOMPARE(row("1.1"), (QStringList{"1.1", "CASH AND BANK", "Sub-Control", "", ""}));
        QCOMPARE(row("1.1.2"), (QStringList{"1.1.2", "HABIB BANK LTD - 0123-7", "Subsidiary", "1500000.00", "Bank"}));
        QCOMPARE(row("2.1.1")[4], QString("Supplier"));
        QVERIFY(doc->allText().contains("1,500,000.00"));
        QVERIFY(doc->allText().contains("-30,825,500.50"));
        // The opening balances of the demo company agree: their total is nil.
        const QStringList last = doc->pageTexts(doc->pageCount() - 1);
        QCOMPARE(last[last.indexOf("Total of opening balances:") + 1], QString("0.00"));
        QVERIFY(last.contains(QString("Accounts: %1").arg(expected.size())));
    }

    void emptySelectionStillPrintsItsHeaders()
    {
        auto r = book("{DetJV.VouNo} = -1");
        r->OpenSubreport("rptSubAcOpen").setRecordSelectionFormula("{Accounts.RowID} = -1");
        r->OpenSubreport("rptSubOpening").setRecordSelectionFormula("{DetJV.AcCode} = -1");
        const auto doc = r->run(Conn);
        QCOMPARE(doc->detailRows, 0);
        QCOMPARE(doc->pageCount(), 1);
        const QStringList t = doc->pageTexts(0);
        for (const char* s : {"GREEN VALLEY DEVELOPERS (PVT) LTD", "TEST BOOK", "Date", "Narration", "Debit", "Credit",
                              "Grand total", "Page 1 of 1"})
            QVERIFY2(t.contains(s), s);
        QCOMPARE(t[t.indexOf("Grand total") + 1], QString("0.00"));
        QCOMPARE(t[t.indexOf("Opening debits:") + 1], QString("0.00"));
        QVERIFY(!t.join(' ').contains("Kind: "));
        QVERIFY(!t.join(' ').contains("Account: "));
    }

    void activeCompanyCondition()
    {
        // With no active company the callers' condition selects nothing; the report still opens.
        Conn.execute("update Company set comActive = null");
        auto r = book("{Company.comActive} = 'Y'");
        const auto doc = r->run(Conn);
        Conn.execute("update Company set comActive = 'Y'");
        QCOMPARE(doc->detailRows, 0);
        QVERIFY(!doc->pageTexts(0).contains("GREEN VALLEY DEVELOPERS (PVT) LTD"));
        QCOMPARE(book("{Company.comActive} = 'Y'")->run(Conn)->detailRows, count("select count(*) from DetJV"));
    }

    void formulaFieldOnEveryPage()
    {
        auto r = book();
        const QString dates = "From :  01-07-2025  To :  31-12-2025";
        r->FormulaFields().byName("Dates").setText('"' + dates + '"');
        const auto doc = r->run(Conn);
        QVERIFY(doc->pageCount() > 3);
        for (int p = 0; p < doc->pageCount(); ++p)
            QCOMPARE(doc->pageTexts(p).count(dates), 2); // page header and page footer

        // Quotes inside the text; a text not between quotes and an unknown name are refused.
        r->FormulaFields().byName("dates").setText("\"Say \"\"when\"\"\"");
        QVERIFY(r->run(Conn)->pageTexts(0).contains("Say \"when\""));
        QVERIFY_THROWS_EXCEPTION(ReportError, r->FormulaFields().byName("Dates").setText("From : 01-07-2025"));
        QVERIFY_THROWS_EXCEPTION(ReportError, r->FormulaFields().byName("Period"));
    }

    void subreportSelectsItsOwnRows()
    {
        const QString c = QString::number(cash);
        auto r = book("{Company.comActive}='Y' and {DetJV.CrAc} = " + c
                      + " and {DetJV.VouDate} in #2025-10-01# to #2025-12-31#");
        r->FormulaFields().byName("Dates").setText("\"From :  01-10-2025  To :  31-12-2025\"");
        r->OpenSubreport("rptSubOpening")
            .setRecordSelectionFormula("{DetJV.AcCode} = " + c + " and {DetJV.VouDate} < #2025-10-01#");
        r->OpenSubreport("rptSubAcOpen").setRecordSelectionFormula("{Accounts.RowID}  = " + c);
        const auto doc = r->run(Conn);

        QSqlQuery q = Conn.query("select sum(DrAmt), sum(CrAmt) from DetJV where AcCode = ? and VouDate < ?",
                                 {cash, QDate(2025, 10, 1)});
        QVERIFY(q.next());
        const Money dr = money(q.value(0)), cr = money(q.value(1));
        QVERIFY(dr.cents > 0 && cr.cents > 0);
        const QStringList t = doc->pageTexts(0);
        QCOMPARE(t[t.indexOf("Opening debits:") + 1], qv::displayAmount(dr));
        QCOMPARE(t[t.indexOf("Opening credits:") + 1], qv::displayAmount(cr));
        QCOMPARE(t.filter("Account: ").size(), 1);
        QVERIFY(t.contains("Account: CASH IN HAND"));
        QCOMPARE(t[t.indexOf("Account: CASH IN HAND") + 1], QString("250,000.00"));
        QCOMPARE(doc->detailRows, count("select count(*) from DetJV where CrAc = ? and VouDate between ? and ?",
                                        {cash, QDate(2025, 10, 1), QDate(2025, 12, 31)}));

        // Without its formula the subreport reads all of its rows.
        const auto all = book("{DetJV.VouNo} = -1")->run(Conn);
        QCOMPARE(all->allText().count("Account: "), count("select count(*) from Accounts"));
        QVERIFY_THROWS_EXCEPTION(ReportError, r->OpenSubreport("rptSubClosing"));
        // A subreport's formula is compiled against the subreport's own fields.
        QVERIFY_THROWS_EXCEPTION(ReportError,
                                 r->OpenSubreport("rptSubAcOpen").setRecordSelectionFormula("{DetJV.VouNo} = 1"));
    }

    void groupSumsExactToTheCent()
    {
        const auto doc = book()->run(Conn);
        const QStringList t = doc->allText().split(QRegularExpression("[\n\f]"));
        QSqlQuery q = Conn.query("select VouStatus, count(*), sum(DrAmt), sum(CrAmt) from DetJV group by VouStatus");
        Money totalDr, totalCr;
        int kinds = 0;
        while (q.next()) {
            const QString label = QString("Total of %1, lines: %2").arg(q.value(0).toString()).arg(q.value(1).toInt());
            const int at = int(t.indexOf(label));
            QVERIFY2(at >= 0, qPrintable(label));
            QCOMPARE(t[at + 1], qv::displayAmount(money(q.value(2))));
            QCOMPARE(t[at + 2], qv::displayAmount(money(q.value(3))));
            totalDr += money(q.value(2));
            totalCr += money(q.value(3));
            ++kinds;
        }
        QCOMPARE(kinds, 5);
        const int g = int(t.indexOf("Grand total"));
        QCOMPARE(t[g + 1], qv::displayAmount(totalDr));
        QCOMPARE(t[g + 2], qv::displayAmount(totalCr));
        QCOMPARE(totalDr, totalCr); // every voucher balances
        // Groups come in code order, each opened by its header.
        QStringList kindsSeen = t.filter(QRegularExpression("^Kind: "));
        QCOMPARE(kindsSeen, (QStringList{"Kind: BP", "Kind: BR", "Kind: CP", "Kind: CR", "Kind: JV"}));
    }

    void selectionsAgainstTheRows_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("where"); // the same selection written by hand
        QTest::addColumn<QVariantList>("params");
        QTest::newRow("date range") << "{DetJV.VouDate} in #2025-08-01# to #2025-08-31#"
                                    << "d.VouDate between ? and ?"
                                    << QVariantList{QDate(2025, 8, 1), QDate(2025, 8, 31)};
        QTest::newRow("apostrophe") << "{Accounts.AcName} = 'O''BRIEN TRADING CO'"
                                    << "a.AcName = ?" << QVariantList{"O'BRIEN TRADING CO"};
        QTest::newRow("commas") << "{DetJV.Naration} = 'Cement, 1,200 bags'"
                                << "d.Naration = ?" << QVariantList{"Cement, 1,200 bags"};
        QTest::newRow("amount and not") << "{DetJV.DrAmt} > 1000000 and not {DetJV.VouStatus} = 'JV'"
                                        << "d.DrAmt > ? and d.VouStatus <> 'JV'"
                                        << QVariantList{QVariant::fromValue(Money(100000000))};
        QTest::newRow("or and parentheses")
            << "({DetJV.VouStatus} = 'CP' or {DetJV.VouStatus} = 'CR') and {DetJV.CrAmt} >= 0.01"
            << "d.VouStatus in ('CP', 'CR') and d.CrAmt > 0" << QVariantList{};
        QTest::newRow("widened") << "{Company.comActive} = 'Y' or 1=1"
                                 << "1 = 1" << QVariantList{};
    }
    void selectionsAgainstTheRows()
    {
        QFETCH(QString, formula);
        QFETCH(QString, where);
        QFETCH(QVariantList, params);
        const int expected =
            count("select count(*) from DetJV d join Accounts a on a.RowID = d.AcCode where " + where, params);
        QVERIFY(expected > 0);
        QCOMPARE(book(formula)->run(Conn)->detailRows, expected);
    }

    void statementEndingTextChangesNothing()
    {
        const int accounts = count("select count(*) from Accounts");
        QVERIFY_THROWS_EXCEPTION(ReportError, book("{DetJV.Naration} = 'x'; drop table Accounts"));
        auto r = book("{DetJV.Naration} = 'x''; drop table Accounts; --'");
        QCOMPARE(r->run(Conn)->detailRows, 0);
        QCOMPARE(count("select count(*) from Accounts"), accounts);
    }

    void logonDecidesTheLogin()
    {
        auto wrong = qvt::openReport(qvt::chartTemplate(), LoginUser, "not the password");
        try {
            wrong->run(Conn);
            QFAIL("a wrong password was accepted");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains("Login failed")
                         || e.description().contains("password authentication failed"),
                     qPrintable(e.description()));
        }
        QVERIFY(!wrong->document());

        auto same = qvt::openReport(qvt::chartTemplate(), LoginUser, LoginPassword);
        same->run(Conn);
        QCOMPARE(same->lastLogin(), LoginUser);

        const QString clerk = QString("clerk_%1").arg(QCoreApplication::applicationPid());
        qv::Logins::add(Conn, clerk, "clerk's pw", qv::Logins::HashCost::Minimal);
        auto other = qvt::openReport(qvt::chartTemplate(), clerk, "clerk's pw");
        const auto doc = other->run(Conn);
        qv::Logins::remove(Conn, clerk);
        QCOMPARE(other->lastLogin(), clerk);
        QCOMPARE(doc->detailRows, count("select count(*) from Accounts"));

        // The engine reads from the connection it is given, not from the shared one.
        const int accounts = count("select count(*) from Accounts");
        qv::Connection mine;
        db.connect(mine);
        Conn.close();
        auto given = qvt::openReport(qvt::chartTemplate(), LoginUser, LoginPassword);
        const auto fromMine = given->run(mine);
        db.connect(Conn);
        QCOMPARE(fromMine->detailRows, accounts);

        auto report = qvt::openReport(qvt::chartTemplate(), LoginUser, LoginPassword);
        QVERIFY_THROWS_EXCEPTION(ReportError, report->Database().Tables(2));
        QVERIFY_THROWS_EXCEPTION(ReportError, report->Database().Tables(1).ConnectionProperties("Data Source"));
    }

    void templateFoundFromTheProgramFolder()
    {
        Application app;
        const QString folder = QDir(QVT_TEMPLATES_DIR).absolutePath();
        QVERIFY(app.OpenReport(folder + "\\rptChartAC.rpt"));
        TheBook.setProgramFolder(folder);
        QCOMPARE(TheBook.templatePath("\\rptChartAC.rpt"), folder + "\\rptChartAC.rpt");
        TheBook.setProgramFolder(QString());
        try {
            app.OpenReport(folder + "\\rptNone.rpt");
            QFAIL("a missing template opened");
        } catch (const ReportError& e) {
            QCOMPARE(e.description(), QString("The report template \"%1/rptNone.rpt\" was not found.").arg(folder));
        }
    }

    void pdfAndCsvFiles()
    {
        const auto chart = qvt::openReport(qvt::chartTemplate(), LoginUser, LoginPassword)->run(Conn);
        const QString pdf = tmp.filePath("chart.pdf");
        chart->writePdf(pdf);
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5) == "%PDF-");
        const QString text = qvt::pdfText(pdf);
        if (!text.isNull()) {
            QCOMPARE(text.count('\f'), chart->pageCount());
            QVERIFY(text.contains(QString("Page 1 of %1").arg(chart->pageCount())));
            for (const auto& [code, title] : qvt::accounts(Conn))
                QVERIFY2(text.contains(QRegularExpression("(^|\\n)" + QRegularExpression::escape(code) + " +"
                                                          + QRegularExpression::escape(title))),
                         qPrintable(code + " " + title));
        }

        const QString csv = tmp.filePath("book.csv");
        book("{DetJV.Naration} = 'Cement, 1,200 bags'")->run(Conn)->writeCsv(csv);
        QFile c(csv);
        QVERIFY(c.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(c.readAll()).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.first(),
                 QString("DetJV.VouDate,DetJV.VouNo,Accounts.AcName,DetJV.Naration,DetJV.DrAmt,DetJV.CrAmt"));
        QCOMPARE(lines.size() - 1, count("select count(*) from DetJV where Naration = 'Cement, 1,200 bags'"));
        QVERIFY2(lines[1].contains(",\"Cement, 1,200 bags\",420000.00,0.00")
                     || lines[1].contains(",\"Cement, 1,200 bags\",0.00,420000.00"),
                 qPrintable(lines[1]));

        // A file that cannot be written is an error, and nothing is left behind.
        const QString bad = tmp.filePath("no-such-folder/chart.pdf");
        QVERIFY_THROWS_EXCEPTION(ReportError, chart->writePdf(bad));
        QVERIFY(!QFile::exists(bad));
    }

    void longNarrationWrapsAndPushesTheNextLine()
    {
        const QString narration = "Being the amount paid for levelling, compacting and metalling the main boulevard of "
                                  "phase II between blocks C and F, including the culverts and the storm drain, as per "
                                  "the running bill of the contractor";
        Conn.execute(
            "insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, DrAmt, CrAmt, Naration) "
            "values (900, 'JV', ?, 1, ?, ?, ?, ?)",
            {QDate(2025, 12, 31), cash, QVariant::fromValue(Money(123456)), QVariant::fromValue(Money(0)), narration});
        auto r = book("{DetJV.VouNo} = 900");
        r->OpenSubreport("rptSubAcOpen").setRecordSelectionFormula("{Accounts.RowID} = -1");
        const auto doc = r->run(Conn);
        QVector<const DocItem*> parts;
        for (const DocItem& i : doc->page(0)->items)
            if (i.kind == DocItem::Text && narration.contains(i.text) && i.text.size() > 10)
                parts << &i;
        QVERIFY2(parts.size() >= 3, qPrintable(doc->pageTexts(0).join('|')));
        QStringList words;
        for (const DocItem* i : parts)
            words << i->text;
        QCOMPARE(words.join(' '), narration);
        const DocItem* footer = findItem(*doc, "Total of JV, lines: 1");
        QVERIFY(footer && footer->rect.top() >= parts.last()->rect.bottom() - 0.01);
    }
};

QTEST_MAIN(TstReportEngine)
#include "tst_reportengine.moc"
