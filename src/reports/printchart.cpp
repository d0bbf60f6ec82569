#include "reports/printchart.h"

#include "reports/frmveiwer.h"
#include "reports/report.h"
#include "shell/mdl_connection.h"
#include "widgets/msgbox.h"

void PrintChartOfAccounts() {
    try {
        qv::rpt::Application crApp;
        std::shared_ptr<qv::rpt::Report> report =
            crApp.OpenReport(ProgramFolder() + QStringLiteral("\\rptChartAC.rpt"));
        qv::rpt::ReportTable& table = report->Database().Tables(1);
        table.ConnectionProperties(QStringLiteral("User ID")).setValue(LoginUser);
        table.ConnectionProperties(QStringLiteral("Password")).setValue(LoginPassword);
        frmVeiwer::ShowReport(report);
    } catch (const qv::DbError& e) {
        qv::Msg::critical(e.description());
    }
}
