// The accounts report launcher driven as a user, on the hand-made book (see tst_procedures):
// menu entries and panels, the account and cash-account checks, the statements sent, each
// button's report in the viewer, a failed preparation, and the busy cursor.
#include "bookfixture.h"
#include "reports/frmrptaccounts.h"
#include "viewer/frmveiwer.h"
#include "viewer/reportviewer.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "db/audittrail.h"
#include "vouchers/periodlock.h"

#include <QRegularExpression>
#include "shell/mdichild.h"
#include "support/fixture.h"

#include <QApplication>
#include <QDateEdit>
#include <QFrame>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QToolButton>

using qv::rpt::AccountsReport;

class TstRptAccounts : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    qvt::HandBook b;
    QStringList execs; // the exec statements that reached Conn
    const QDate from{2026, 1, 5}, to{2026, 2, 28};

    frmRPTAccounts* launcher() { return qvt::findWindow<frmRPTAccounts>(app.main(), "frmRPTAccounts"); }
    frmRPTAccounts* openFrom(const char* menu)
    {
        return qv::Windows::runMenu(QLatin1String(menu)) ? launcher() : nullptr;
    }
    // The finder's hand-over, then the launcher's activation.
    void pick(frmRPTAccounts* w, qint64 id, const QString& name)
    {
        FindACRowID = QString::number(id);
        FindACName = name;
        app.main()->mdiArea()->setActiveSubWindow(nullptr);
        app.main()->mdiArea()->setActiveSubWindow(w->subWindow());
        w->onActivated(); // idempotent: the pick is taken once
    }
    void setRange(frmRPTAccounts* w, const QDate& f, const QDate& t)
    {
        qvt::child<QDateEdit>(w, "DTPicker1")->setDate(f);
        qvt::child<QDateEdit>(w, "DTPicker2")->setDate(t);
    }
    void click(frmRPTAccounts* w, const char* button)
    {
        auto* b = qvt::child<QToolButton>(w, button);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    std::shared_ptr<qv::rpt::Report> shown()
    {
        auto* v = qvt::findWindow<frmVeiwer>(app.main(), "frmVeiwer");
        return v ? qvt::child<qv::ReportViewer>(v, "CRViewer91")->reportSource() : nullptr;
    }
    QString templ(const std::shared_ptr<qv::rpt::Report>& r) { return QFileInfo(r->templ().path).fileName(); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        SetProgramFolder(QVT_TEMPLATES_DIR);
    }
    void cleanupTestCase() { SetProgramFolder(QString()); }
    void init()
    {
        app.start(false);
        Conn.execute("insert into Company (Company, comActive) values ('TEST TRADERS', 'Y')");
        b = qvt::writeHandBook();
        execs.clear();
        Conn.setStatementHook([this](const QString& sql) {
            if (sql.startsWith("exec "))
                execs << sql;
        });
    }
    void cleanup()
    {
        Conn.setStatementHook({});
        app.stop();
    }

    void menuEntriesShowTheirPanelsAndKeepEarlierOnes()
    {
        QStringList shownSoFar;
        for (const auto& info : qv::rpt::accountsReports()) {
            frmRPTAccounts* w = openFrom(info.menu);
            QVERIFY(w);
            QCOMPARE(w->windowTitle(), QString("Accounts Report"));
            QCOMPARE(w->subWindow()->pos(), QPoint(2500 / 15, 1000 / 15));
            QCOMPARE(w->subWindow()->size(), QSize(10000 / 15, 4725 / 15));
            shownSoFar << info.panel;
            for (const auto& other : qv::rpt::accountsReports()) {
                QFrame* f = qvt::child<QFrame>(w, other.panel);
                QCOMPARE(f->property("tag").toString(), QString("R"));
                QCOMPARE(f->pos(), QPoint(1080 / 15, 420 / 15));
                QCOMPARE(f->isVisible(), shownSoFar.contains(other.panel));
            }
            w->subWindow()->move(0, 0); // the next entry puts it back
        }
        QCOMPARE(app.main()->mdiArea()->subWindowList().size(), 1); // one window, reused
        QCOMPARE(qvt::child<QFrame>(launcher(), "Frame1")->size(), QSize(8340 / 15, 1455 / 15));
        QCOMPARE(qvt::child<QDateEdit>(launcher(), "DTPicker1")->date(), QDate::currentDate());
        QCOMPARE(qvt::child<QDateEdit>(launcher(), "DTPicker2")->date(), QDate::currentDate());
        // Find A/C shows the finder, not modal, for all accounts.
        FindACType.clear();
        QTest::mouseClick(qvt::child<QPushButton>(launcher(), "cmdFindAC"), Qt::LeftButton);
        QVERIFY(qvt::findWindow(app.main(), "frmFindAC"));
        QVERIFY(FindACType.isEmpty());
        QVERIFY(!QApplication::activeModalWidget());
        // Closing the launcher applies the menu rights, which brings the home panel back.
        qvt::findWindow<qv::MdiChild>(app.main(), "frmFindAC")->unload();
        app.main()->close_Menu();
        QVERIFY(!app.main()->homePanelVisible());
        launcher()->unload();
        QVERIFY(!launcher());
        QVERIFY(app.main()->homePanelVisible());
    }

    void accountAndCashAccountChecks()
    {
        qvt::MsgRecorder msgs;
        frmRPTAccounts* w = openFrom("mnuSimpleLedger");
        for (const char* m : {"mnuDetLedger", "mnuBankBook", "mnuCashBook"})
            qv::Windows::runMenu(m);
        qvt::child<QLineEdit>(w, "txtAcName")->setText("typed, not picked");
        for (const char* button : {"cmdLedger", "cmdDetLedger", "cmdBankBook"}) {
            msgs.clear();
            w->showPanel(button == QByteArray("cmdLedger")      ? AccountsReport::SimpleLedger
                         : button == QByteArray("cmdDetLedger") ? AccountsReport::DetailLedger
                                                                : AccountsReport::BankBook);
            click(w, button);
            QCOMPARE(msgs.texts(), QStringList({"please select Account"}));
            QCOMPARE(w->focusWidget(), qvt::child<QPushButton>(w, "cmdFindAC"));
        }
        QVERIFY(!shown());
        QVERIFY(execs.isEmpty());
        // No "CP" row, then a "CP" row without account: both books stop, the bank book even with a pick.
        pick(w, b.bank, "CITY BANK");
        for (const char* setup : {"delete from VouSetting where VouStatus = 'CP'",
                                  "insert into VouSetting (VouStatus, VouNo, Fix) values ('CP', 1, 'N')"}) {
            Conn.execute(setup);
            for (AccountsReport r : {AccountsReport::CashBook, AccountsReport::BankBook}) {
                msgs.clear();
                w->showPanel(r);
                click(w, qv::rpt::accountsReport(r).button);
                QCOMPARE(msgs.texts(), QStringList({"Cash Book Account not found!"}));
            }
        }
        QVERIFY(!shown());
        // The trial balances need no account and no cash account.
        msgs.clear();
        qvt::child<QLineEdit>(w, "txtAcName")->setProperty("tag", QString());
        qv::Windows::runMenu("mnuSubTBSimple");
        click(w, "cmdTrialBal");
        QVERIFY(msgs.texts().isEmpty());
        QVERIFY(shown());
    }

    void statementsOfTheExampleAndDatesTexts()
    {
        frmRPTAccounts* w = openFrom("mnuDetLedger");
        qv::Windows::runMenu("mnuSimpleLedger");
        pick(w, 12, "OWNERS");
        QCOMPARE(qvt::child<QLineEdit>(w, "txtAcName")->text(), QString("OWNERS"));
        QCOMPARE(qvt::child<QLineEdit>(w, "txtAcName")->property("tag").toString(), QString("12"));
        QCOMPARE(FindACRowID.toLongLong(), 0);
        setRange(w, from, to);
        w->showPanel(AccountsReport::DetailLedger);
        click(w, "cmdDetLedger");
        w->showPanel(AccountsReport::SimpleLedger);
        click(w, "cmdLedger");
        QCOMPARE(execs, QStringList({"exec DetailAcLedger 12,5,1,2026,28,2,2026",
                                     "exec AcLedger 12,'2026-01-05','2026-02-28'"}));
        // The period reads dd-mm-yyyy, as every date on screen.
        const QString d1 = from.toString("dd-MM-yyyy"), d2 = to.toString("dd-MM-yyyy");
        QCOMPARE(shown()->FormulaFields().byName("Dates").Text(), "\"From :  " + d1 + "  To :  " + d2 + "\"");
        QCOMPARE(shown()->RecordSelectionFormula(), QString("{Company.comActive} = 'Y'"));
        qv::Windows::runMenu("mnuControlTB");
        click(w, "cmdTrialControl");
        QCOMPARE(execs.last(), QString("exec TrialBalance '2026-01-05','2026-02-28'"));
        QCOMPARE(shown()->FormulaFields().byName("Dates").Text(), "\"From :  " + d1 + "   To :  " + d2 + "\"");
    }

    // A range reaching into the locked period says so under the figures; one after it does not.
    void aLockedPeriodIsNamedOnTheReport()
    {
        frmRPTAccounts* w = openFrom("mnuControlTB");
        setRange(w, from, to);
        for (const QDate& lock : {from, from.addDays(-1)}) {
            qv::PeriodLock(Conn).move(lock, "test", LoginUser);
            click(w, "cmdTrialControl");
            QCOMPARE(shown()->FormulaFields().byName("Locked").Text(),
                     lock < from ? QString("\"\"") : "\"Period locked up to " + from.toString("dd-MM-yyyy") + "\"");
        }
    }

    // The trial balance prints the trail's head; the last record removed later shows against it.
    void theTrialBalancePrintsTheTrailsHead()
    {
        qv::PeriodLock(Conn).move(from, {}, LoginUser); // a record in the trail
        frmRPTAccounts* w = openFrom("mnuControlTB");
        setRange(w, from, to);
        click(w, "cmdTrialControl");
        const QString line = shown()->FormulaFields().byName("AuditHead").Text();
        const auto m = QRegularExpression("^\"Audit trail: record (\\d+), SHA-256 ([0-9a-f]{64})\"$").match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        const qv::AuditTrail::Head printed{m.captured(1).toLongLong(), m.captured(2)};
        QCOMPARE(printed.hash, qv::AuditTrail(Conn).head().hash);
        qv::Connection admin;
        app.db().connectAdmin(admin);
        admin.execute("delete from AuditTrail where Seq = ?", {printed.seq});
        QCOMPARE(qv::AuditTrail(Conn).verify(), std::nullopt);
        QVERIFY(qv::AuditTrail(Conn).verify(printed).has_value());
    }

    void ledgerThenBankBookForOnePick()
    {
        frmRPTAccounts* w = openFrom("mnuSimpleLedger");
        qv::Windows::runMenu("mnuBankBook");
        pick(w, b.bank, "CITY BANK");
        setRange(w, from, to);
        w->showPanel(AccountsReport::SimpleLedger);
        click(w, "cmdLedger");
        QCOMPARE(templ(shown()), QString("rptAcLedger.rpt"));
        QCOMPARE(qvt::figureAfter(*shown()->document(), "Closing Balance"), QString("5,434.56"));
        w->showPanel(AccountsReport::BankBook);
        click(w, "cmdBankBook");
        const auto book = shown();
        QCOMPARE(templ(book), QString("rptAcLedger3.rpt"));
        QCOMPARE(book->RecordSelectionFormula(),
                 QString("{Company.comActive}='Y' and {DetJV.CrAc} = %1 and {DetJV.VouDate} in #2026-01-05# to "
                         "#2026-02-28#")
                     .arg(b.bank));
        QCOMPARE(book->OpenSubreport("rptSubOpening").RecordSelectionFormula(),
                 QString("{DetJV.AcCode} = %1 and {DetJV.VouDate} < #2026-01-05#").arg(b.bank));
        QCOMPARE(book->OpenSubreport("rptSubAcOpen").RecordSelectionFormula(),
                 QString("{Accounts.RowID}  = %1").arg(b.bank));
        QCOMPARE(qvt::figureAfter(*book->document(), "Closing Balance"), QString("5,434.56 Dr"));
        QCOMPARE(qvt::child<QLineEdit>(w, "txtAcName")->property("tag").toString(),
                 QString::number(b.bank)); // kept for later reports
    }

    void everyButtonOpensTheViewerOnItsReport()
    {
        frmRPTAccounts* w = openFrom("mnuCashBook");
        pick(w, b.cash, "CASH IN HAND");
        setRange(w, from, to);
        // Each report's template and a figure worked out by hand.
        const QList<std::tuple<AccountsReport, QString, QString, QString>> expected{
            {AccountsReport::CashBook, "rptAcLedger3.rpt", "Closing Balance", "1,150.14 Dr"},
            {AccountsReport::BankBook, "rptAcLedger3.rpt", "Closing Balance", "1,150.14 Dr"},
            {AccountsReport::SimpleLedger, "rptAcLedger.rpt", "Closing Balance", "1,150.14"},
            {AccountsReport::DetailLedger, "rptAcLedger.rpt", "Total", "599.99"},
            {AccountsReport::TrialBalance, "rptTrialBalance.rpt", "Total", "1,394.66"},
            {AccountsReport::ControlTrialBalance, "rptTrialBalance2.rpt", "Total ASSETS", "434.56"},
            {AccountsReport::TrialBalanceWithOpening, "rptTrialBalance3.rpt", "Total", "6,300.25"}};
        for (const auto& [r, file, label, figure] : expected) {
            qv::Windows::runMenu(qv::rpt::accountsReport(r).menu);
            click(w, qv::rpt::accountsReport(r).button);
            QVERIFY(shown());
            QCOMPARE(templ(shown()), file);
            QCOMPARE(qvt::figureAfter(*shown()->document(), label), figure);
            auto* v = qvt::findWindow<frmVeiwer>(app.main(), "frmVeiwer");
            QCOMPARE(app.main()->mdiArea()->activeSubWindow(), v->subWindow());
        }
    }

    void fromAfterToIsPassedOn()
    {
        qvt::MsgRecorder msgs;
        frmRPTAccounts* w = openFrom("mnuSimpleLedger");
        pick(w, b.cash, "CASH IN HAND");
        setRange(w, to, from);
        click(w, "cmdLedger");
        QVERIFY(msgs.texts().isEmpty());
        QCOMPARE(execs, QStringList({"exec AcLedger " + QString::number(b.cash) + ",'2026-02-28','2026-01-05'"}));
        QCOMPARE(shown()->document()->detailRows, 1); // the opening line only
    }

    void failedPreparationShowsOneMessageAndNoViewer()
    {
        qvt::MsgRecorder msgs;
        frmRPTAccounts* w = openFrom("mnuSubTBWOB");
        bool busy = false;
        Conn.setStatementHook([&](const QString& sql) {
            busy = busy || QApplication::overrideCursor() != nullptr;
            if (sql.contains("FROM AcMonthSums"))
                throw qv::DbError("the disk is full");
        });
        click(w, "cmdTrialOpening");
        QCOMPARE(msgs.seen.size(), 1);
        QVERIFY(msgs.last().contains("the disk is full"));
        QVERIFY(!shown());
        QVERIFY(busy);
        QVERIFY(!QApplication::overrideCursor());
        // The window stays usable: the next try goes through.
        Conn.setStatementHook({});
        click(w, "cmdTrialOpening");
        QVERIFY(shown());
        QCOMPARE(msgs.seen.size(), 1);
    }
};

QTEST_MAIN(TstRptAccounts)
#include "tst_rptaccounts.moc"
