// The program asks for its reports with typed requests; the same reports asked for with the text
// forms (selection formulas, `exec` statements) must select the same rows, print the same pages
// and show the statement hook the same statements, on a random book, on the backend named by the
// environment. Values that hold quotes or formula syntax stay values.
#include "bookfixture.h"
#include "db/audittrail.h"
#include "reportengine/reportdata.h"
#include "reportengine/reporterror.h"
#include "reportengine/reportrequest.h"
#include "reports/accountsreport.h"
#include "reports/printrequests.h"
#include "reports/procedures.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"
#include "vouchers/periodlock.h"
#include "vouchers/voucherkinds.h"

#include <QRegularExpression>

using namespace qv::rpt;
using ReportPtr = std::shared_ptr<Report>;

namespace {
QString iso(const QDate& d)
{
    return d.toString(Qt::ISODate);
}
} // namespace

class TstReportRequests : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    qvt::RandomBook book;
    QRandomGenerator rng{20261208};
    QDate from, to;
    qint64 oddVoucher = 0;
    const QString oddParty = QStringLiteral("O'NEIL' or 'a'='a {MasJV.VouNo} > 0 #2026-01-01#");

    // A report as the program asked for it before: the template, then the text forms.
    ReportPtr accountsByText(AccountsReport r, qint64 ac)
    {
        const AccountsReportInfo& info = accountsReport(r);
        // The locked period's line and the trail's head, read as the program reads them.
        const QString locked = qv::PeriodLock(Conn).reportLine(from);
        const QString head = info.trialBalance ? qv::AuditTrail(Conn).headLine() : QString();
        ReportPtr rep = qv::openReport(TheBook, QLatin1String(info.templ));
        const QString statement = preparationStatement(r, ac, from, to);
        if (!statement.isEmpty())
            Conn.execute(statement);
        rep->setMayReadStandby(statement.isEmpty());
        if (info.book) {
            rep->setRecordSelectionFormula(
                QString("{Company.comActive}='Y' and {DetJV.CrAc} = %1 and {DetJV.VouDate} in #%2# to #%3#")
                    .arg(ac)
                    .arg(iso(from), iso(to)));
            rep->OpenSubreport("rptSubOpening")
                .setRecordSelectionFormula(
                    QString("{DetJV.AcCode} = %1 and {DetJV.VouDate} < #%2#").arg(ac).arg(iso(from)));
            rep->OpenSubreport("rptSubAcOpen").setRecordSelectionFormula(QString("{Accounts.RowID}  = %1").arg(ac));
        } else {
            rep->setRecordSelectionFormula("{Company.comActive} = 'Y'");
        }
        rep->FormulaFields().byName("Dates").setText(datesFormula(from, to, info.trialBalance));
        rep->FormulaFields().byName("Locked").setText('"' + locked + '"');
        if (info.trialBalance)
            rep->FormulaFields().byName("AuditHead").setText('"' + head + '"');
        return rep;
    }
    ReportPtr voucherByText(const qv::VoucherKindInfo& k, qint64 number)
    {
        ReportPtr rep = qv::openReport(TheBook, k.reportTemplate);
        rep->setRecordSelectionFormula(QString("{MasJV.VouNo}= %1 and {MasJV.VouStatus} = '%2' and "
                                               "{Company.comActive} = 'Y'")
                                           .arg(number)
                                           .arg(k.code));
        return rep;
    }

    // Runs a report, opened by `open`, noting every statement the hook is told on the way.
    struct Run {
        ReportPtr report;
        QStringList statements;
    };
    Run run(const std::function<ReportPtr()>& open)
    {
        Run r;
        Conn.setStatementHook([&r](const QString& sql) { r.statements << sql; });
        r.report = open();
        r.report->run(Conn);
        Conn.setStatementHook({});
        return r;
    }
    static QString pages(const Document& d)
    {
        static const QRegularExpression printed("Printed on \\S+ at \\S+ [AP]M");
        return d.allText().replace(printed, "Printed on ...");
    }

    qint64 lastVoucher(const QString& code)
    {
        return Conn.scalar("select max(VouNo) from MasJV where VouStatus = ?", {code}).toLongLong();
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        db = qvt::openReportsBook("REQUESTS"); // with the procedures, for the text forms' `exec`
        book = qvt::writeRandomBook(rng, 80);
        const qint64 span = book.first.daysTo(book.last);
        from = book.first.addDays(span / 3);
        to = book.last.addDays(-span / 4);
        oddVoucher = qvt::saveVoucher(qv::VoucherKind::JV, from, oddParty,
                                      {{book.accounts[0], book.accounts[1], qv::Money(1234)}});
    }
    void cleanupTestCase()
    {
        Conn.close();
        db.drop();
    }

    void requestAndTextFormAgree_data()
    {
        QTest::addColumn<int>("report"); // an AccountsReport, or -1 - a voucher kind, or -100: the chart
        for (const AccountsReportInfo& i : accountsReports())
            QTest::newRow(i.panel) << int(i.report);
        for (const qv::VoucherKindInfo& k : qv::voucherKinds())
            QTest::newRow(qPrintable("voucher " + k.code)) << -1 - int(k.kind);
        QTest::newRow("chart") << -100;
    }
    void requestAndTextFormAgree()
    {
        QFETCH(int, report);
        std::function<ReportPtr()> typed, text;
        if (report >= 0) {
            const auto r = AccountsReport(report);
            const qint64 ac = r == AccountsReport::CashBook   ? cashBookAccount(Conn)
                              : r == AccountsReport::BankBook ? book.banks.first()
                                                              : book.accounts[2];
            typed = [=, this] { return openAccountsReport(TheBook, r, ac, from, to); };
            text = [=, this] { return accountsByText(r, ac); };
        } else if (report > -100) {
            const qv::VoucherKindInfo& k = qv::voucherKind(qv::VoucherKind(-1 - report));
            const qint64 number = lastVoucher(k.code);
            typed = [=] { return qv::openReport(TheBook, voucherReport(k, number)); };
            text = [=, this] { return voucherByText(k, number); };
        } else {
            typed = [] { return qv::openReport(TheBook, chartReport()); };
            text = [] {
                ReportPtr rep = qv::openReport(TheBook, "\\rptChartAC.rpt");
                rep->setMayReadStandby(true);
                return rep;
            };
        }
        const Run a = run(text), b = run(typed);
        QVERIFY(a.report->document()->detailRows > 0);
        QCOMPARE(b.statements, a.statements);
        QCOMPARE(b.report->RecordSelectionFormula(), a.report->RecordSelectionFormula());
        for (const Section& s : a.report->templ().subreports)
            QCOMPARE(b.report->OpenSubreport(s.name).RecordSelectionFormula(),
                     a.report->OpenSubreport(s.name).RecordSelectionFormula());
        for (int i = 0; i < a.report->FormulaFields().count(); ++i)
            QCOMPARE(b.report->FormulaFields().item(i).Text(), a.report->FormulaFields().item(i).Text());
        QCOMPARE(b.report->document()->csvRows(), a.report->document()->csvRows());
        QCOMPARE(pages(*b.report->document()), pages(*a.report->document()));
    }

    // A party that holds quotes and formula syntax is compared as it is, in the request and in
    // its text form; a value of another type than its field's, or an undeclared field, is refused.
    void quotesAndFormulaSyntaxStayValues()
    {
        const qv::VoucherKindInfo& jv = qv::voucherKind(qv::VoucherKind::JV);
        ReportRequest q = voucherReport(jv, oddVoucher);
        q.selection = {equal("MasJV.PaidReceive", oddParty), equal("MasJV.VouStatus", jv.code)};
        const auto shown = run([&] { return qv::openReport(TheBook, q); }).report;
        QCOMPARE(shown->document()->detailRows, 1);
        QVERIFY(shown->document()->allText().contains(oddParty));
        auto byText = qv::openReport(TheBook, jv.reportTemplate);
        byText->setRecordSelectionFormula(selectionText(q.selection));
        QCOMPARE(byText->run(Conn)->csvRows(), shown->document()->csvRows());

        q.selection = {equal("MasJV.PaidReceive", "x' or 'a'='a"),
                       equal("MasJV.VouStatus", "JV' or {MasJV.VouNo} > '0")};
        QCOMPARE(qv::openReport(TheBook, q)->run(Conn)->detailRows, 0);

        for (const Selection& bad :
             {Selection{equal("MasJV.VouNo", QString("7 or 1 = 1"))}, Selection{equal("MasJV.VouDate", iso(from))},
              Selection{equal("MasJV.Nowhere", qint64(7))}}) {
            q.selection = bad;
            QVERIFY_THROWS_EXCEPTION(ReportError, qv::openReport(TheBook, q));
        }
    }
};

QTEST_MAIN(TstReportRequests)
#include "tst_reportrequests.moc"
