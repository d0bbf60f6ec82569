#include "reports/printchart.h"

#include "viewer/frmveiwer.h"
#include "reportengine/report.h"
#include "shell/mdl_connection.h"
#include "widgets/guarded.h"

void PrintChartOfAccounts()
{
    qv::guarded([] {
        std::shared_ptr<qv::rpt::Report> report = qv::openReport(TheBook, QStringLiteral("\\rptChartAC.rpt"));
        report->setMayReadStandby(true);
        frmVeiwer::ShowReport(report);
    });
}
