#pragma once
// The seven accounts reports of the launcher: what each button needs, prepares, opens and sets
// (steps 3 to 5 of its print sequence), without the window. The cash and bank book read DetJV
// directly; the ledgers and trial balances first run their `exec` statement on the connection.
#include "db/connection.h"
#include "reportengine/report.h"
#include "reportengine/reportrequest.h"
#include "session/book.h"

#include <QDate>
#include <vector>

namespace qv::rpt {

enum class AccountsReport {
    CashBook,
    BankBook,
    SimpleLedger,
    DetailLedger,
    TrialBalance,
    ControlTrialBalance,
    TrialBalanceWithOpening
};

struct AccountsReportInfo {
    AccountsReport report;
    const char* menu;    // "mnuCashBook"
    const char* panel;   // "frmCashBook"
    const char* button;  // "cmdCashBook"
    const char* caption; // the panel's caption
    const char* label;   // the label naming the report
    const char* templ;   // "\\rptAcLedger3.rpt"
    bool needsAccount;
    bool book; // cash or bank book: checks the cash account
    bool trialBalance;
};
const std::vector<AccountsReportInfo>& accountsReports();
const AccountsReportInfo& accountsReport(AccountsReport r);

// The AcCode of the "CP" row of VouSetting (null counts as 0); 0 when there is no row.
qint64 cashBookAccount(Connection& c);

// What the formula field "Dates" shows: "From :  <short date>  To :  <short date>" (three blanks
// before To for the trial balances); datesFormula is that text as a formula, quotes included.
QString datesText(const QDate& from, const QDate& to, bool trialBalance);
QString datesFormula(const QDate& from, const QDate& to, bool trialBalance);
// The preparation statement of the report; empty for the books.
QString preparationStatement(AccountsReport r, qint64 account, const QDate& from, const QDate& to);

// The report as its button asks for it: the template, the preparation, the selection, "Dates"
// and the books' subreports. `account` is the picked account (the cash account for the cash
// book).
ReportRequest accountsReportRequest(AccountsReport r, qint64 account, const QDate& from, const QDate& to);

// Steps 3 to 5: opens the template logged on with the book's login, runs the preparation on the
// book's connection and sets the rest of the request. Throws DbError.
std::shared_ptr<Report> openAccountsReport(Book& book, AccountsReport r, qint64 account, const QDate& from,
                                           const QDate& to);

} // namespace qv::rpt
