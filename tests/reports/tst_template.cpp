// The template reader: the shipped templates read cleanly, and a faulty template is refused
// with its file, its line and the reason.
#include "reportengine/reporterror.h"
#include "reportengine/template.h"

#include <QDir>
#include <QTest>

using namespace qv::rpt;

namespace {
// A small valid template; tests break one line of it at a time.
const char* Base = R"(title "T"
from Accounts a
field {Accounts.AcNodes} text a.AcNodes
field {Accounts.OpenBal} amount a.OpenBal
band detail 5
    text 0 0 30 5 {Accounts.AcNodes}
end
)";

QString errorOf(const QString& text)
{
    try {
        parseTemplate(text, "/x/rptBroken.rpt");
    } catch (const ReportError& e) {
        return e.description();
    }
    return {};
}
} // namespace

class TstTemplate : public QObject {
    Q_OBJECT
private slots:
    void chartOfAccountsTemplateReads()
    {
        const Template t = loadTemplate(QDir(QVT_TEMPLATES_DIR).filePath("rptChartAC.rpt"));
        QCOMPARE(t.title, QString("CHART OF ACCOUNTS"));
        QCOMPARE(t.orientation, QPageLayout::Portrait);
        QVERIFY(t.main.fields.find("Company.comActive")); // the callers' usual condition compiles
        QCOMPARE(t.main.order.size(), 1);
        QCOMPARE(t.main.fields.all()[t.main.order[0].first].name, QString("Accounts.AcNodes"));
        for (BandKind k : {BandKind::PageHeader, BandKind::ColumnHeader, BandKind::Detail, BandKind::ReportFooter,
                           BandKind::PageFooter})
            QVERIFY(t.main.band(k));
        // The opening balance is right-aligned and never cut short.
        const Band* d = t.main.band(BandKind::Detail);
        bool amount = false;
        for (const Element& e : d->elements)
            if (e.pieces.size() == 1 && e.pieces[0].kind == PieceKind::Field
                && t.main.fields.all()[e.pieces[0].field].type == FieldType::Amount) {
                QCOMPARE(t.styles[e.style].align, Qt::AlignRight);
                QVERIFY(t.styles[e.style].shrink);
                amount = true;
            }
        QVERIFY(amount);
    }

    void testBookTemplateReads()
    {
        const Template t = loadTemplate(QDir(QVT_TEST_TEMPLATES_DIR).filePath("rptTestBook.rpt"));
        QCOMPARE(t.orientation, QPageLayout::Landscape);
        QCOMPARE(t.subreports.size(), 2);
        QCOMPARE(t.subreportIndex("RPTSUBOPENING"), 0);
        QCOMPARE(t.formulaIndex("dates"), 0);
        QCOMPARE(t.main.groups.size(), 1);
        QVERIFY(t.main.band(BandKind::GroupFooter, 1));
        QCOMPARE(t.subreports[0].aggregates.size(), 2);
    }

    void declarationsMayFollowTheirUse()
    {
        const QString text = "from Accounts a\n"
                             "band detail 5\n  text 0 0 30 5 {Accounts.AcName}\nend\n"
                             "field {Accounts.AcName} text a.AcName\n";
        QCOMPARE(parseTemplate(text, "x.rpt").main.band(BandKind::Detail)->elements.size(), 1);
    }

    void sqlContinuesOnIndentedLines()
    {
        const QString text =
            QString(Base).replace("from Accounts a\n", "from Accounts a\n    join Company c\n      on 1 = 1\n");
        QCOMPARE(parseTemplate(text, "x.rpt").main.from, QString("Accounts a join Company c on 1 = 1"));
    }

    void faultsNamedWithLine_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown directive") << "title \"T\""
                                           << "colour red"
                                           << "line 1: \"colour\" is not a directive";
        QTest::newRow("undeclared field") << "{Accounts.AcNodes}\nend"
                                          << "{Accounts.Nope}\nend"
                                          << "line 6: the field {Accounts.Nope} is not declared";
        QTest::newRow("bad type") << "amount a.OpenBal"
                                  << "money a.OpenBal"
                                  << "line 4: the type of {Accounts.OpenBal} must be text, number, amount or date";
        QTest::newRow("declared twice") << "field {Accounts.OpenBal} amount"
                                        << "field {Accounts.acnodes} amount"
                                        << "line 4: The field {Accounts.acnodes} is declared twice";
        QTest::newRow("no from") << "from Accounts a\n"
                                 << ""
                                 << "has no \"from\"";
        QTest::newRow("group band without group") << "band detail 5"
                                                  << "band group-header 1 5"
                                                  << "line 5: there is no group 1";
        QTest::newRow("sum in a detail") << "{Accounts.AcNodes}\nend"
                                         << "sum({Accounts.OpenBal})\nend"
                                         << "line 6: sums and counts belong in group and report footers";
        QTest::newRow("beyond the margin") << "text 0 0 30 5"
                                           << "text 150 0 50 5"
                                           << "line 6: the element ends at 200 mm";
        QTest::newRow("taller than band") << "text 0 0 30 5"
                                          << "text 0 2 30 5"
                                          << "line 6: the element is taller than its band";
        QTest::newRow("band not closed") << "\nend\n"
                                         << "\n"
                                         << "line 5: the band has no \"end\"";
        QTest::newRow("no such subreport") << "    text 0 0 30 5"
                                           << "    subreport rptNone\n    text 0 0 30 5"
                                           << "line 6: there is no subreport \"rptNone\"";
        QTest::newRow("subreport in the page header")
            << "band detail 5\n    text 0 0 30 5 {Accounts.AcNodes}\nend\n"
            << "band detail 5\n    text 0 0 30 5 {Accounts.AcNodes}\nend\nband page-header 5\n    subreport "
               "s\nend\n"
               "subreport s\n from Accounts a\n field {Accounts.RowID} number a.RowID\nend\n"
            << "line 9: a subreport flows below a report, group or detail band";
        QTest::newRow("unquoted literal") << "{Accounts.AcNodes}\nend"
                                          << "Code\nend"
                                          << "line 6: \"Code\" is neither an option of this element nor a "
                                             "text between double quotes or a {field}";
        QTest::newRow("unknown option") << "text 0 0 30 5"
                                        << "text 0 0 30 5 blink"
                                        << "line 6: \"blink\" is neither an option";
        QTest::newRow("unquoted formula") << "title \"T\""
                                          << "formula Dates From"
                                          << "line 1: the text of the formula field Dates";
        QTest::newRow("unknown formula") << "{Accounts.AcNodes}\nend"
                                         << "{@Dates}\nend"
                                         << "line 6: there is no formula field Dates";
        QTest::newRow("company column") << "{Accounts.AcNodes}\nend"
                                        << "{Company.Owner}\nend"
                                        << "line 6: the company has no column \"Owner\"";
        QTest::newRow("paper") << "title \"T\""
                               << "page B9 portrait"
                               << "line 1: the paper is A4, A3, A5, Letter or Legal";
        QTest::newRow("new page on a detail") << "band detail 5"
                                              << "band detail 5 new-page"
                                              << "line 5: \"new-page\" after a band's height: only a group header";
        QTest::newRow("measure") << "band detail 5"
                                 << "band detail five"
                                 << "line 5: the band height must be a measure";
        QTest::newRow("page band in subreport")
            << "end\n"
            << "end\nsubreport s\n from Accounts a\n"
               " field {Accounts.RowID} number a.RowID\n band page-header 5\n end\nend\n"
            << "line 11: a subreport has no page header";
        QTest::newRow("subreport not closed") << "end\n"
                                              << "end\nsubreport s\n from Accounts a\n"
                                              << "line 8: the subreport \"s\" has no \"end\"";
    }
    void faultsNamedWithLine()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        const QString text = QString(Base).replace(from, to);
        QVERIFY2(text != QString(Base), "the test's replacement did not apply");
        const QString e = errorOf(text);
        QVERIFY2(e.startsWith("Error in the report template rptBroken.rpt, "), qPrintable(e));
        QVERIFY2(e.contains(message), qPrintable(e));
    }

    void sumOfTextRefused()
    {
        const QString e =
            errorOf(QString(Base).replace("band detail 5\n    text 0 0 30 5 {Accounts.AcNodes}",
                                          "band report-footer 5\n    text 0 0 30 5 sum({Accounts.AcNodes})"));
        QVERIFY2(e.contains("only amounts and numbers can be summed, not {Accounts.AcNodes}"), qPrintable(e));
    }

    void missingFileNamed()
    {
        try {
            loadTemplate("/no/such/folder/rptNone.rpt");
            QFAIL("a missing template was read");
        } catch (const ReportError& e) {
            QCOMPARE(e.description(), QString("The report template \"/no/such/folder/rptNone.rpt\" was not found."));
        }
    }
};

QTEST_GUILESS_MAIN(TstTemplate)
#include "tst_template.moc"
