#include "reports/statementreport.h"

#include "reportengine/reportjob.h"
#include "reports/procedures.h"

namespace qv::rpt {

namespace {

std::shared_ptr<Report> openPrepared(Book& book, const char* templ, const QString& statement)
{
    Connection& c = book.connection();
    installProcedures(c);
    std::shared_ptr<Report> report = openReport(book, QLatin1String(templ));
    ReportJob::stopAll(); // the work tables are refilled: no report may still be reading them
    c.execute(statement);
    report->setMayReadStandby(false); // the lines live on the session that made them
    report->setRecordSelectionFormula(QStringLiteral("{Company.comActive} = 'Y'"));
    return report;
}

} // namespace

std::shared_ptr<Report> openBalanceSheet(Book& book, const QDate& at, int level, const QDate& compareAt)
{
    return openPrepared(book, "\\rptBalanceSheet.rpt", balanceSheetStatement(at, level, compareAt));
}

std::shared_ptr<Report> openProfitLoss(Book& book, const QDate& from, const QDate& to, int level, bool compare)
{
    return openPrepared(book, "\\rptProfitLoss.rpt", profitLossStatement(from, to, level, compare));
}

} // namespace qv::rpt
