// The frame window: the menu tree, the home panel, the date label, "E&xit" and the rights
// applied when a working window closes.
#include "shell/windows.h"
#include "shell/applymenus.h"
#include "shell/frmlogin.h"
#include "shell/mdichild.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

namespace {
class DummyWindow : public qv::MdiChild {
    Q_OBJECT
public:
    DummyWindow() { setObjectName("frmDummy"); }
    int activations = 0;
    void onActivated() override { ++activations; }
};
} // namespace

class TstMainWindow : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { app.start(); }
    void cleanup() { app.stop(); }

    void menuTreeHasEveryEntry()
    {
        MDIForm1* m = app.main();
        const QStringList top = [&] {
            QStringList t;
            for (QAction* a : m->menuBar()->actions())
                t << a->text();
            return t;
        }();
        QCOMPARE(top, QStringList({"REGISTRATIONS", "TRANSACTION", "Reports", "Administartor", "E&xit"}));
        const QList<QPair<QString, QString>> expected = {
            {"mnuCompany", "Company"},
            {"mnuChartOfAC", "Chart Of Accounts"},
            {"mnuVocSetting", "Voucher Setup"},
            {"mnuCatagory", "Catagory"},
            {"mnuApp", "Application"},
            {"mnuMainVouc", "Vouchers"},
            {"mnuCPVou", "Cash Payment Voucher"},
            {"mnuJVVouc", "Journal Voucher"},
            {"mnuSubTBWOB", "SUBSIDIARY TRIAL BALANCE (WITH OPENING)"},
            {"mnuAddUser", "Add Users"},
            {"mnuSetMenu", "Set Menus"},
            {"mnuRemoveData", "Remove Data"},
            {"mnuExit", "E&xit"},
        };
        for (const auto& [name, caption] : expected) {
            QAction* a = m->menuEntry(name);
            QVERIFY2(a, qPrintable(name));
            QCOMPARE(a->text(), caption);
        }
        for (const char* sep : {"gp0", "gp1", "gp2", "gp3", "mnuBVouc3", "mnuBVouc2", "mnuRBlank", "mnuRBlank5"})
            QVERIFY2(m->menuEntry(sep) && m->menuEntry(sep)->isSeparator(), sep);
        // The voucher entries sit under TRANSACTION > Vouchers, in their order.
        auto* vouchers = m->findChild<QMenu*>("mnuMainVouc");
        QStringList v;
        for (QAction* a : vouchers->actions())
            v << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(v, QStringList({"Cash Payment Voucher", "Cash Receive Voucher", "-", "Bank Payment Voucher",
                                 "Bank Receive Voucher", "Bank Reconciliation", "-", "Journal Voucher"}));
    }

    void titleAndDate()
    {
        auto* title = app.main()->findChild<QLabel*>("lblTitle");
        QCOMPARE(title->text(), QString("Login :   ") + app.db().user);
        const QDateTime t(QDate(2025, 3, 3), QTime(14, 5, 9));
        QCOMPARE(MDIForm1::dateLabelText(t), QString("Monday, 03-March-2025  02:05:09 PM"));
        QCOMPARE(MDIForm1::dateLabelText(QDateTime(QDate(2025, 12, 25), QTime(0, 0, 1))),
                 QString("Thursday, 25-December-2025  12:00:01 AM"));
        // The timer keeps the label current.
        auto* date = app.main()->findChild<QLabel*>("lblDate");
        date->clear();
        QTRY_VERIFY_WITH_TIMEOUT(!date->text().isEmpty(), 2000);
    }

    void homePanelFollowsWorkingWindows()
    {
        MDIForm1* m = app.main();
        QVERIFY(m->homePanelVisible());
        m->close_Menu();
        qv::Windows::define("frmDummy", [] { return new DummyWindow(); });
        auto* a = qv::Windows::open<DummyWindow>("frmDummy");
        QVERIFY(!m->homePanelVisible());
        QVERIFY(a->activations >= 1);
        // A second window of the same kind is not made: the loaded one comes back.
        QCOMPARE(qv::Windows::open<DummyWindow>("frmDummy"), a);
        // Hidden while active, then shown again: that is an activation too.
        const int before = a->activations;
        a->hideWindow();
        QCOMPARE(qv::Windows::open<DummyWindow>("frmDummy"), a);
        QCOMPARE(a->activations, before + 1);
        a->unload();
        QVERIFY(m->homePanelVisible()); // closing ran ApplyMenus
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qv::Windows::find("frmDummy"));
    }

    void rightsAppliedOnClose()
    {
        MDIForm1* m = app.main();
        Conn.execute("update Menus set Active = 0");
        Conn.execute("update Menus set Active = 1 where Menus = ?", {"Vouchers"});
        ApplyMenus();
        QVERIFY(m->menuEntry("mnuMainVouc")->isVisible());
        for (const char* hidden : {"mnuCompany", "mnuChartOfAC", "mnuVocSetting", "mnuCashBook", "mnuBankBook",
                                   "mnuSimpleLedger", "mnuDetLedger", "mnuSubTBSimple", "mnuControlTB", "mnuSubTBWOB"})
            QVERIFY2(!m->menuEntry(hidden)->isVisible(), hidden);
        // Entries no right governs keep their visibility; "Report" is not "Reports".
        QVERIFY(m->menuEntry("mnuMainRpt")->isVisible());
        QVERIFY(m->menuEntry("mnuCatagory")->isVisible());
        // No active right at all: TRANSACTION and Reports go, the rest stays as it was.
        Conn.execute("update Menus set Active = 0");
        ApplyMenus();
        QVERIFY(!m->menuEntry("mnuMainTrans")->isVisible());
        QVERIFY(!m->menuEntry("mnuMainRpt")->isVisible());
        QVERIFY(m->menuEntry("mnu_Reg_Form")->isVisible());
        QVERIFY(!m->menuEntry("mnuCompany")->isVisible());
    }

    void exitShowsFreshLogin()
    {
        MDIForm1* m = app.main();
        QPointer<MDIForm1> guard(m);
        m->menuEntry("mnuExit")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
        frmLogin* login = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* l = qobject_cast<frmLogin*>(w); l && l->isVisible())
                login = l;
        QVERIFY(login);
        login->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A window the description does not place comes back where the user left it; a placed one
    // keeps its place and gets back its size.
    void windowGeometryIsRemembered()
    {
        auto* chart = qv::Windows::open("frmAccount");
        chart->subWindow()->setGeometry(40, 30, 700, 500);
        chart->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        chart = qv::Windows::open("frmAccount");
        QCOMPARE(chart->subWindow()->geometry(), QRect(40, 30, 700, 500));

        auto* company = qv::Windows::open("frmCompany");
        company->subWindow()->setGeometry(5, 5, 640, 460);
        company->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        company = qv::Windows::open("frmCompany");
        QCOMPARE(company->subWindow()->geometry(), QRect(QPoint(2800 / 15, 2100 / 15), QSize(640, 460)));
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
