// Screenshots for the README (run by hand under Xvfb, not part of ctest).
#include "reports/frmrptaccounts.h"
#include "viewer/frmveiwer.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QToolButton>

class ShotAccounts : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    void shot(const QString& name)
    {
        QTest::qWait(400);
        app.main()->grab().save(QStringLiteral(QVT_SHOTS "/") + name);
    }
private slots:
    void shots()
    {
        qvt::initTestEnvironment();
        SetProgramFolder(QVT_TEMPLATES_DIR);
        app.start(true);
        app.main()->resize(1200, 780);
        qv::Windows::runMenu("mnuCashBook");
        auto* w = qvt::findWindow<frmRPTAccounts>(app.main(), "frmRPTAccounts");
        FindACRowID = "4";
        FindACName = "HABIB BANK LTD - 0123-7";
        w->onActivated();
        qvt::child<QDateEdit>(w, "DTPicker1")->setDate(QDate(2025, 8, 1));
        qvt::child<QDateEdit>(w, "DTPicker2")->setDate(QDate(2025, 10, 31));
        shot("accounts-report-launcher.png");
        w->runReport(qv::rpt::AccountsReport::CashBook);
        shot("report-cash-book.png");
        w->runReport(qv::rpt::AccountsReport::DetailLedger);
        shot("report-detail-ledger.png");
        qvt::child<QDateEdit>(w, "DTPicker1")->setDate(QDate(2025, 7, 1));
        qvt::child<QDateEdit>(w, "DTPicker2")->setDate(QDate(2025, 12, 31));
        w->runReport(qv::rpt::AccountsReport::ControlTrialBalance);
        shot("report-control-trial-balance.png");
        qvt::child<QDateEdit>(w, "DTPicker1")->setDate(QDate(2025, 10, 1));
        w->runReport(qv::rpt::AccountsReport::TrialBalanceWithOpening);
        shot("report-trial-balance-opening.png");
        app.stop();
    }
};
QTEST_MAIN(ShotAccounts)
#include "shot_accounts.moc"
