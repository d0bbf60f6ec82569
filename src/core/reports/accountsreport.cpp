#include "reports/accountsreport.h"

#include "db/audittrail.h"
#include "vouchers/periodlock.h"

#include "reports/procedures.h"

#include <QLocale>

namespace qv::rpt {

const std::vector<AccountsReportInfo>& accountsReports()
{
    using R = AccountsReport;
    static const std::vector<AccountsReportInfo> list{
        {R::CashBook, "mnuCashBook", "frmCashBook", "cmdCashBook", "Cash Book", "Cash Book", "\\rptAcLedger3.rpt",
         false, true, false},
        {R::BankBook, "mnuBankBook", "frmBankBook", "cmdBankBook", "Bank Book", "Bank Book", "\\rptAcLedger3.rpt", true,
         true, false},
        {R::SimpleLedger, "mnuSimpleLedger", "frmSimpleLedger", "cmdLedger", "Simple Ledger", "Simple Ledger",
         "\\rptAcLedger.rpt", true, false, false},
        {R::DetailLedger, "mnuDetLedger", "frmDetailLedger", "cmdDetLedger", "Detail Ledger", "Detail Ledger",
         "\\rptAcLedger.rpt", true, false, false},
        {R::TrialBalance, "mnuSubTBSimple", "frmSubTBSimple", "cmdTrialBal", "Subsidiary Trial Balance Simple",
         "Subsidiary Trial Balance Simple", "\\rptTrialBalance.rpt", false, false, true},
        {R::ControlTrialBalance, "mnuControlTB", "frmControlTB", "cmdTrialControl", "Contorl Trial Balance",
         "Control Trial Balance", "\\rptTrialBalance2.rpt", false, false, true},
        {R::TrialBalanceWithOpening, "mnuSubTBWOB", "frmSubTBWOB", "cmdTrialOpening",
         "Subsidiary Trial Balance (With Opening)", "Subsidiary Trial Balance (With Opening)", "\\rptTrialBalance3.rpt",
         false, false, true},
    };
    return list;
}

const AccountsReportInfo& accountsReport(AccountsReport r)
{
    for (const AccountsReportInfo& i : accountsReports())
        if (i.report == r)
            return i;
    return accountsReports().front();
}

qint64 cashBookAccount(Connection& c)
{
    QSqlQuery q = c.query(QStringLiteral("Select AcCode From VouSetting Where VouStatus = ?"), {QStringLiteral("CP")});
    if (!q.next())
        return 0;
    return q.value(0).isNull() ? 0 : q.value(0).toLongLong();
}

QString datesText(const QDate& from, const QDate& to, bool trialBalance)
{
    // The dates read as every date on screen does.
    const QString dmy = QStringLiteral("dd-MM-yyyy");
    return QStringLiteral("From :  %1%2%3")
        .arg(from.toString(dmy), trialBalance ? QStringLiteral("   To :  ") : QStringLiteral("  To :  "),
             to.toString(dmy));
}

QString datesFormula(const QDate& from, const QDate& to, bool trialBalance)
{
    return QLatin1Char('"') + datesText(from, to, trialBalance) + QLatin1Char('"');
}

namespace {
std::optional<ProcedureCall> preparationCall(AccountsReport r, qint64 account, const QDate& from, const QDate& to)
{
    switch (r) {
    case AccountsReport::SimpleLedger:
        return rangeCall(Procedure::AcLedger, account, from, to);
    case AccountsReport::DetailLedger:
        return rangeCall(Procedure::DetailAcLedger, account, from, to);
    case AccountsReport::TrialBalance:
    case AccountsReport::ControlTrialBalance:
        return rangeCall(Procedure::TrialBalance, 0, from, to);
    case AccountsReport::TrialBalanceWithOpening:
        return rangeCall(Procedure::TrialBalance3, 0, from, to);
    default:
        return std::nullopt;
    }
}
} // namespace

QString preparationStatement(AccountsReport r, qint64 account, const QDate& from, const QDate& to)
{
    const std::optional<ProcedureCall> call = preparationCall(r, account, from, to);
    return call ? execStatement(*call) : QString();
}

ReportRequest accountsReportRequest(AccountsReport r, qint64 account, const QDate& from, const QDate& to)
{
    const AccountsReportInfo& info = accountsReport(r);
    ReportRequest q;
    q.templ = QLatin1String(info.templ);
    if (const std::optional<ProcedureCall> call = preparationCall(r, account, from, to))
        q.preparation = preparation(*call);
    q.mayReadStandby = true; // unless prepared: work tables live on the session that made them
    q.formulaValues = {{QStringLiteral("Dates"), datesText(from, to, info.trialBalance)}};
    if (!info.book) {
        q.selection = {equal(QStringLiteral("Company.comActive"), QStringLiteral("Y"))};
        return q;
    }
    q.selection = {equal(QStringLiteral("Company.comActive"), QStringLiteral("Y"), QStringLiteral("=")),
                   equal(QStringLiteral("DetJV.CrAc"), account), between(QStringLiteral("DetJV.VouDate"), from, to)};
    q.subreports = {
        {QStringLiteral("rptSubOpening"),
         {equal(QStringLiteral("DetJV.AcCode"), account), before(QStringLiteral("DetJV.VouDate"), from)}},
        {QStringLiteral("rptSubAcOpen"), {equal(QStringLiteral("Accounts.RowID"), account, QStringLiteral("  = "))}}};
    return q;
}

std::shared_ptr<Report> openAccountsReport(Book& book, AccountsReport r, qint64 account, const QDate& from,
                                           const QDate& to)
{
    ReportRequest q = accountsReportRequest(r, account, from, to);
    Connection& c = book.connection();
    // What is printed of a locked period prints the same tomorrow: the report says so.
    q.formulaValues.append({QStringLiteral("Locked"), PeriodLock(c).reportLine(from)});
    // A printed trial balance anchors the book: the trail's head it names can be checked later.
    if (accountsReport(r).trialBalance)
        q.formulaValues.append({QStringLiteral("AuditHead"), AuditTrail(c).headLine()});
    return openReport(book, q);
}

} // namespace qv::rpt
