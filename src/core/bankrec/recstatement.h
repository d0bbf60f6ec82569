#pragma once
// The bank reconciliation statement of an account as at a date, made again from the clearings
// at any time:
//   balance as per book
//   less receipts not yet credited by the bank (lines dated on or before the date, not cleared
//        on or before it by a finished reconciliation)
//   plus cheques issued but not yet presented (the same, payments)
//   = balance as per the bank statement, which equals the statement balance of the
//     reconciliation finished as at that date, if there is one.
// A second section lists the lines cleared on a date before their voucher's.
// `exec BankRecStatement ACCOUNT,'yyyy-mm-dd'` leaves it in the work table tmpBankRec for the
// template rptBankRec.rpt.
#include "bankrec/reconciliation.h"
#include "reportengine/reportrequest.h"

namespace qv {

struct RecStatement {
    qint64 account = 0;
    QDate date;
    Money book, uncredited, unpresented, bank;
    std::optional<Money> finished; // the statement balance of the reconciliation as at `date`
    std::vector<BankLine> uncreditedLines, unpresentedLines, earlyLines;
};

RecStatement reconciliationStatement(Reconciliation& rec, Connection& c, qint64 account, const QDate& date);
// Fills tmpBankRec on `c` (inside the caller's transaction).
void fillBankRec(Connection& c, const QStringList& templateFolders, qint64 account, const QDate& date);

QString bankRecStatement(qint64 account, const QDate& date); // "exec BankRecStatement 12,'2026-01-31'"
// The report as the program asks for it: the template, the preparation (templates looked for in
// `templateFolders`).
rpt::ReportRequest bankRecRequest(qint64 account, const QDate& date, const QStringList& templateFolders);

} // namespace qv
