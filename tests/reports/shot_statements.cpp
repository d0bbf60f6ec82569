// Screenshots of the statements for the README (run by hand under Xvfb, not part of ctest).
#include "masters/frmaccount.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>

class ShotStatements : public QObject {
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
        auto* chart = qv::Windows::open<frmAccount>("frmAccount");
        chart->EditAC(Conn.scalar("select RowID from Accounts where AcNodes = '1.1.2'").toLongLong());
        shot("chart-of-accounts-opening-side.png");
        QTest::mouseClick(qvt::child<QPushButton>(chart, "cmdClasses"), Qt::LeftButton);
        shot("account-classes.png");
        qv::Windows::find("frmAcClasses")->unload();
        chart->unload();
        qv::MdiChild* w = qv::Windows::open("frmRPTStatements");
        qvt::child<QDateEdit>(w, "DTPickerFrom")->setDate(QDate(2025, 7, 1));
        qvt::child<QDateEdit>(w, "DTPickerTo")->setDate(QDate(2025, 12, 31));
        qvt::child<QCheckBox>(w, "chkCompare")->setChecked(true);
        qvt::child<QDateEdit>(w, "DTPickerCompare")->setDate(QDate(2025, 9, 30));
        shot("statements-launcher.png");
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdBalanceSheet"), Qt::LeftButton);
        shot("report-balance-sheet.png");
        qvt::child<QCheckBox>(w, "chkCompare")->setChecked(false);
        qvt::child<QComboBox>(w, "cboLevel")->setCurrentIndex(2);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdProfitLoss"), Qt::LeftButton);
        shot("report-profit-and-loss.png");
        app.stop();
    }
};
QTEST_MAIN(ShotStatements)
#include "shot_statements.moc"
