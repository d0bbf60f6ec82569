// Screenshots of the party reports for the README (run by hand under Xvfb, not part of ctest):
// the launcher, and the PDFs of a customer's statement and of the suppliers' ageing, written to
// the folder given as QVT_PDF_OUT (pdftoppm makes their pictures).
#include "reportengine/report.h"
#include "reports/partyreport.h"
#include "shell/mdichild.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"

#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>

class ShotPartyReports : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
private slots:
    void shots()
    {
        qvt::initTestEnvironment();
        SetProgramFolder(QVT_TEMPLATES_DIR);
        app.start(true);
        app.main()->resize(1200, 780);
        const qint64 saima = Conn.scalar("select RowID from Accounts where AcNodes = '1.2.2'").toLongLong();
        const qint64 suppliers = Conn.scalar("select RowID from Accounts where AcNodes = '2.1'").toLongLong();
        Conn.execute("insert into tblApplication (RowNo, ACCode, RegNo, Name, FatherName, Nationality, Address) "
                     "values (1, ?, 'GV-R-0101', 'SAIMA NAEEM', 'MUHAMMAD NAEEM', '35202-4455667-8', "
                     "'House 14, Street 7, Model Town, Lahore')",
                     {saima});
        qv::MdiChild* st = qv::Windows::open("frmRPTStatements");
        QTest::mouseClick(qvt::child<QPushButton>(st, "cmdParties"), Qt::LeftButton);
        qv::MdiChild* w = qv::Windows::find("frmRPTParty");
        auto* head = qvt::child<QComboBox>(w, "cboHead");
        head->setCurrentIndex(head->findText("1.2  CUSTOMERS"));
        qvt::child<QDateEdit>(w, "DTPickerFrom")->setDate(QDate(2025, 7, 1));
        qvt::child<QDateEdit>(w, "DTPickerTo")->setDate(QDate(2026, 6, 30));
        QTest::qWait(400);
        app.main()->grab().save(QStringLiteral(QVT_SHOTS "/party-launcher.png"));
        const QString out = qEnvironmentVariable("QVT_PDF_OUT", "/tmp");
        qv::rpt::openPartyStatement(TheBook, saima, {2025, 7, 1}, {2026, 6, 30})
            ->run(Conn)
            ->writePdf(out + "/statement.pdf");
        qv::rpt::openAgeing(TheBook, suppliers, {2025, 12, 31})->run(Conn)->writePdf(out + "/ageing.pdf");
        app.stop();
    }
};
QTEST_MAIN(ShotPartyReports)
#include "shot_partyreports.moc"
