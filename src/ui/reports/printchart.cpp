#include "reports/printchart.h"

#include "viewer/frmveiwer.h"
#include "reportengine/report.h"
#include "reports/printrequests.h"
#include "shell/mdl_connection.h"
#include "widgets/guarded.h"

void PrintChartOfAccounts()
{
    qv::guarded([] { frmVeiwer::ShowReport(qv::openReport(TheBook, qv::rpt::chartReport())); });
}
