#include "reports/accountsreport.h"

#include "db/audittrail.h"
#include "vouchers/periodlock.h"

#include "reports/procedures.h"
#include "reportengine/reportjob.h"

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

QString datesFormula(const QDate& from, const QDate& to, bool trialBalance)
{
    // The dates read as every date on screen does.
    const QString dmy = QStringLiteral("dd-MM-yyyy");
    return QStringLiteral("\"From :  %1%2%3\"")
        .arg(from.toString(dmy), trialBalance ? QStringLiteral("   To :  ") : QStringLiteral("  To :  "),
             to.toString(dmy));
}

QString preparationStatement(AccountsReport r, qint64 account, const QDate& from, const QDate& to)
{
    switch (r) {
    case AccountsReport::SimpleLedger:
        return acLedgerStatement(account, from, to);
    case AccountsReport::DetailLedger:
        return detailAcLedgerStatement(account, from, to);
    case AccountsReport::TrialBalance:
    case AccountsReport::ControlTrialBalance:
        return trialBalanceStatement(from, to);
    case AccountsReport::TrialBalanceWithOpening:
        return trialBalance3Statement(from, to);
    default:
        return {};
    }
}

std::shared_ptr<Report> openAccountsReport(Book& book, AccountsReport r, qint64 account, const QDate& from,
                                           const QDate& to)
{
    const AccountsReportInfo& info = accountsReport(r);
    Connection& c = book.connection();
    installProcedures(c);
    std::shared_ptr<Report> report = openReport(book, QLatin1String(info.templ));
    const QString statement = preparationStatement(r, account, from, to);
    if (!statement.isEmpty()) {
        ReportJob::stopAll(); // the work tables are refilled: no report may still be reading them
        c.execute(statement);
    }
    report->setMayReadStandby(statement.isEmpty()); // work tables live on the session that made them
    const QString f = from.toString(QStringLiteral("yyyy-MM-dd")), t = to.toString(QStringLiteral("yyyy-MM-dd"));
    const QString ac = QString::number(account);
    if (info.book)
        report->setRecordSelectionFormula(QStringLiteral("{Company.comActive}='Y' and {DetJV.CrAc} = ") + ac
                                          + QStringLiteral(" and {DetJV.VouDate} in #") + f + QStringLiteral("# to #")
                                          + t + QStringLiteral("#"));
    else
        report->setRecordSelectionFormula(QStringLiteral("{Company.comActive} = 'Y'"));
    report->FormulaFields().byName(QStringLiteral("Dates")).setText(datesFormula(from, to, info.trialBalance));
    // What is printed of a locked period prints the same tomorrow: the report says so.
    report->FormulaFields()
        .byName(QStringLiteral("Locked"))
        .setText(QLatin1Char('"') + PeriodLock(c).reportLine(from) + QLatin1Char('"'));
    // A printed trial balance anchors the book: the trail's head it names can be checked later.
    if (info.trialBalance)
        report->FormulaFields()
            .byName(QStringLiteral("AuditHead"))
            .setText(QLatin1Char('"') + AuditTrail(c).headLine() + QLatin1Char('"'));
    if (info.book) {
        report->OpenSubreport(QStringLiteral("rptSubOpening"))
            .setRecordSelectionFormula(QStringLiteral("{DetJV.AcCode} = ") + ac
                                       + QStringLiteral(" and {DetJV.VouDate} < #") + f + QStringLiteral("#"));
        report->OpenSubreport(QStringLiteral("rptSubAcOpen"))
            .setRecordSelectionFormula(QStringLiteral("{Accounts.RowID}  = ") + ac);
    }
    return report;
}

} // namespace qv::rpt
