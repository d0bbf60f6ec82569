#pragma once
// The bank's statement read from a CSV file, and each of its lines proposed as the clearing of
// a bank book line: first by cheque number and amount, then by amount and a date within N days
// (the nearest date first). A statement debit is a payment of the book, a credit a receipt.
// Nothing is kept here: the proposals become ticks only when the user confirms them.
#include "bankrec/reconciliation.h"

#include <QByteArray>

namespace qv {

struct StatementLine {
    int lineNo = 0; // in the file, the header being line 1
    QDate date;
    QString description, cheque;
    Money debit, credit;
    std::optional<Money> balance;
};

// The header names of the columns (matched without regard to case); empty: the default name.
struct StatementColumns {
    QString date = QStringLiteral("Date");
    QString description = QStringLiteral("Description");
    QString cheque = QStringLiteral("Cheque");
    QString debit = QStringLiteral("Debit");
    QString credit = QStringLiteral("Credit");
    QString balance = QStringLiteral("Balance");
};

// The whole file or nothing: a bad line throws DbError "Line N: reason" (dates dd-mm-yyyy,
// dd/mm/yyyy or yyyy-mm-dd; amounts as typed amounts are; exactly one of debit and credit).
std::vector<StatementLine> readStatementCsv(const QByteArray& data, const StatementColumns& columns = {});

struct MatchProposal {
    enum class How { Cheque, AmountAndDate };
    int statementIndex = 0;
    size_t lineIndex = 0; // into the bank book lines given
    How how = How::Cheque;
};

struct Matching {
    std::vector<MatchProposal> proposals;
    std::vector<int> unmatched; // statement lines with no bank book line: to be entered
};

// Proposes a line for each statement line among `lines` that are open (or ticked), each line at
// most once.
Matching matchStatement(const std::vector<StatementLine>& statement, const std::vector<BankLine>& lines, int days);

// The ticks the proposals make: the line's key and the statement line's date.
QHash<qint64, QDate> proposedTicks(const Matching& m, const std::vector<StatementLine>& statement,
                                   const std::vector<BankLine>& lines);

} // namespace qv
