#include "reports/partyreport.h"

#include "reports/procedures.h"
#include "vouchers/periodlock.h"

namespace qv::rpt {

namespace {

ReportRequest prepared(const char* templ, const ProcedureCall& call)
{
    ReportRequest q;
    q.templ = QLatin1String(templ);
    q.preparation = preparation(call);
    q.selection = {equal(QStringLiteral("Company.comActive"), QStringLiteral("Y"))};
    return q; // read on the session that prepared it
}

} // namespace

ReportRequest partyStatementRequest(qint64 account, const QDate& from, const QDate& to)
{
    ProcedureCall call;
    call.procedure = Procedure::PartyStatement;
    call.account = account;
    call.from = from;
    call.to = to;
    return prepared("\\rptPartyStatement.rpt", call);
}

ReportRequest ageingRequest(qint64 account, const QDate& at)
{
    ProcedureCall call;
    call.procedure = Procedure::Ageing;
    call.account = account;
    call.from = call.to = at;
    return prepared("\\rptAgeing.rpt", call);
}

std::shared_ptr<Report> openPartyStatement(Book& book, qint64 account, const QDate& from, const QDate& to)
{
    ReportRequest q = partyStatementRequest(account, from, to);
    // A statement of a locked period prints the same tomorrow: it says so.
    q.formulaValues.append({QStringLiteral("Locked"), PeriodLock(book.connection()).reportLine(from)});
    return openReport(book, q);
}

std::shared_ptr<Report> openAgeing(Book& book, qint64 account, const QDate& at)
{
    return openReport(book, ageingRequest(account, at));
}

} // namespace qv::rpt
