#pragma once
// The data preparation behind the ledgers and trial balances, run as the statements
//   exec AcLedger 12,'2026-01-05','2026-02-28'
//   exec DetailAcLedger 12,5,1,2026,28,2,2026
//   exec TrialBalance '2026-01-01','2026-12-31'
//   exec TrialBalance3 '2026-01-01','2026-12-31'
//   exec BalanceSheet '2026-06-30',2                  (level 1 to 3; a comparison date may follow)
//   exec ProfitLoss '2025-07-01','2026-06-30',2,1     (level; 1: compared with a year earlier)
//   exec BankRecStatement 12,'2026-01-31'             (bankrec/recstatement.h)
//   exec PartyStatement 12,'2026-01-01','2026-06-30'  (an account, or a head: one statement a party)
//   exec Ageing 7,'2026-06-30'                        (the accounts under a head, or one account)
// reach the connection. One implementation for both backends: sums are read exactly and every
// figure is worked in integer cents with checked arithmetic (Money). The results go to work tables
// private to the session (temporary tables), which the report templates read:
//   tmpAcLedger       the opening line and the ledger's lines, with the running balance
//   tmpTrialBalance   per subsidiary account moved in the range: debits, credits, the net
//   tmpTrialBalance3  per account with an opening or a movement: opening, range, closing
//   tmpBalanceSheet, tmpProfitLoss  the statements' lines (statements.h)
//   tmpPartyStatement the parties' statements (partystatement.h)
//   tmpAgeing         per party its balance by age (ageing.h)
// Every opening comes from OpeningBalances (openings.h).
#include "db/connection.h"
#include "reportengine/reportrequest.h"

#include <QDate>

namespace qv::rpt {

enum class Procedure {
    AcLedger,
    DetailAcLedger,
    TrialBalance,
    TrialBalance3,
    BalanceSheet,
    ProfitLoss,
    BankRecStatement,
    PartyStatement,
    Ageing
};

struct ProcedureCall {
    Procedure procedure = Procedure::TrialBalance;
    qint64 account = 0;   // the ledgers, the party statement and the ageing
    QDate from, to;       // passed on as given: a from-date after the to-date selects no movement
                          // (the ageing: both its date)
    int level = 3;        // the statements: 1 control heads, 2 sub-control, 3 subsidiary accounts
    QDate compareAt;      // the balance sheet's comparison date (null: none)
    bool compare = false; // the profit and loss: a column a year earlier
};
// A call over a range of days (the ledgers, the trial balances), the rest as by default.
ProcedureCall rangeCall(Procedure p, qint64 account, const QDate& from, const QDate& to);

// Strict: `exec NAME` then the arguments of that procedure, separated by commas (blanks around
// them allowed); whole numbers in plain decimal, dates as 'yyyy-mm-dd'. Anything else throws
// DbError naming what is wrong.
ProcedureCall parseExec(const QString& statement);
// Fills the procedure's work table on `c`, replacing what it held, in one transaction.
void runProcedure(Connection& c, const ProcedureCall& call);
// Registers parseExec + runProcedure as the handler of `exec` statements on `c`.
void installProcedures(Connection& c);

// The call's text form, as parseExec reads it: "exec AcLedger 12,'2026-01-05','2026-02-28'".
QString execStatement(const ProcedureCall& call);
// The call as a report's preparation: run directly, the statement hook told its text form.
Preparation preparation(const ProcedureCall& call);

// The text forms of the four procedures' calls.
QString acLedgerStatement(qint64 account, const QDate& from, const QDate& to);
QString detailAcLedgerStatement(qint64 account, const QDate& from, const QDate& to);
QString trialBalanceStatement(const QDate& from, const QDate& to);
QString trialBalance3Statement(const QDate& from, const QDate& to);
QString balanceSheetStatement(const QDate& at, int level, const QDate& compareAt = {});
QString profitLossStatement(const QDate& from, const QDate& to, int level, bool compare);
QString partyStatementStatement(qint64 account, const QDate& from, const QDate& to);
QString ageingStatement(qint64 account, const QDate& at);

} // namespace qv::rpt
