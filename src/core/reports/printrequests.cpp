#include "reports/printrequests.h"

namespace qv::rpt {

ReportRequest voucherReport(const VoucherKindInfo& kind, qint64 number)
{
    ReportRequest q;
    q.templ = kind.reportTemplate;
    q.selection = {equal(QStringLiteral("MasJV.VouNo"), number, QStringLiteral("= ")),
                   equal(QStringLiteral("MasJV.VouStatus"), kind.code),
                   equal(QStringLiteral("Company.comActive"), QStringLiteral("Y"))};
    return q;
}

ReportRequest chartReport()
{
    ReportRequest q;
    q.templ = QStringLiteral("\\rptChartAC.rpt");
    q.mayReadStandby = true;
    return q;
}

} // namespace qv::rpt
