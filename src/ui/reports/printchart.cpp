#include "reports/printchart.h"

#include "viewer/frmveiwer.h"
#include "reportengine/report.h"
#include "session/mdl_connection.h"
#include "widgets/guarded.h"

void PrintChartOfAccounts()
{
    qv::guarded([] {
        qv::rpt::Application crApp;
        std::shared_ptr<qv::rpt::Report> report =
            crApp.OpenReport(ProgramFolder() + QStringLiteral("\\rptChartAC.rpt"));
        qv::rpt::ReportTable& table = report->Database().Tables(1);
        table.ConnectionProperties(QStringLiteral("User ID")).setValue(LoginUser);
        table.ConnectionProperties(QStringLiteral("Password")).setValue(LoginPassword);
        report->setMayReadStandby(true);
        frmVeiwer::ShowReport(report);
    });
}
