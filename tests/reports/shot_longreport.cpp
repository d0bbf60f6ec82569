// A screenshot for the README of a long report in the viewer while its later pages are still
// being laid out (run by hand under Xvfb, not part of ctest).
#include "bookgen.h"
#include "reports/frmrptaccounts.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"

#include <QDateEdit>

class ShotLongReport : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
private slots:
    void shot()
    {
        qvt::MsgRecorder msgs;
        qvt::initTestEnvironment();
        SetProgramFolder(QVT_TEMPLATES_DIR);
        app.start(false); // the generated chart has heads of its own
        app.main()->resize(1200, 780);
        qvb::BookPlan plan;
        plan.detailRows = 300'000;
        plan.accounts = 200;
        plan.from = QDate(2026, 1, 1);
        plan.days = 365;
        const qvb::BookStats st = qvb::writeBook(Conn, plan);
        // The reports print the active company; the cash book is the cash payments' account's.
        Conn.execute("insert into Company (Company, comTel, comActive) values ('GREEN VALLEY DEVELOPERS (PVT) LTD', "
                     "'042 3571 2201', 'Y')");
        Conn.execute("insert into VouSetting (VouStatus, VouNo, AcCode, AcStatus, Fix) values ('CP', 1, ?, 'CR', 'N')",
                     {st.cashAccount});
        qv::Windows::runMenu("mnuCashBook");
        auto* w = qvt::findWindow<frmRPTAccounts>(app.main(), "frmRPTAccounts");
        FindACRowID = QString::number(st.cashAccount);
        FindACName = Conn.scalar("select AcName from Accounts where RowID = ?", {st.cashAccount}).toString();
        w->onActivated();
        qvt::child<QDateEdit>(w, "DTPicker1")->setDate(QDate(2026, 1, 1));
        qvt::child<QDateEdit>(w, "DTPicker2")->setDate(QDate(2026, 12, 31));
        w->runReport(qv::rpt::AccountsReport::CashBook);
        QTest::qWait(20); // page 1 is up; the rest is still being laid out
        if (!msgs.seen.isEmpty())
            qWarning() << msgs.texts();
        app.main()->grab().save(QStringLiteral(QVT_SHOTS "/report-viewer-long.png"));
        app.stop();
    }
};
QTEST_MAIN(ShotLongReport)
#include "shot_longreport.moc"
