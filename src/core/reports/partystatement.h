#pragma once
// A party's statement for a range: what it brought in (the one opening balance, openings.h),
// every movement of the range with its voucher, date, narration, cheque, file and bill numbers
// and the running balance, and what it carries out. A customer's statement names the applicant
// of the account's application. Asked for a head, one statement per subsidiary account under it
// that has an opening or a movement in the range (an account asked for by itself always has
// one).
#include "db/money.h"
#include "reports/parties.h"

#include <QDate>

namespace qv::rpt {

struct StatementMove {
    QDate date;
    QString voucher; // "BR-12"
    QString particulars, narration, cheque, fileNo, billNo;
    Money dr, cr, balance; // balance: after this movement, debit positive
};

struct PartyStatement {
    Party party;
    Applicant applicant;
    Money opening, closing;
    QList<StatementMove> moves;
};

QList<PartyStatement> partyStatements(Connection& c, qint64 account, const QDate& from, const QDate& to);

// The work table tmpPartyStatement: per statement (Seq) its opening line (LineNo 0 within it)
// and its movements, in print order (LineNo).
void fillPartyStatement(Connection& c, qint64 account, const QDate& from, const QDate& to);

} // namespace qv::rpt
