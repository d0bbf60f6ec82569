#pragma once
// The book written out for plain-text accounting tools: every voucher as one transaction of the
// ledger/hledger journal format, or every detail row as one CSV line (RFC 4180, CRLF).
// Rows are streamed from one forward-only query in date order and written voucher by voucher;
// only the chart and one voucher's postings are held in memory. All figures are integer cents.
//
// Journal account names: one component per level, code and title ("1 Assets:1.2 Banks:1.2.3
// Current Account"). The journal format ends a name at two blanks and splits it at colons, so
// within a component every run of white space (tabs and line breaks included) becomes one blank,
// ':' becomes '-' and ';' becomes ','. Payees and comments get the same treatment, and in comments
// '[' ']' become '(' ')' (the tools read bracketed dates and colon tags there).
//
// Opening balances: one transaction dated the day before the first exported voucher (or the day
// before `from`), one posting per account with a non-zero opening, balanced against
// "Equity:Opening Balances". The opening is the trial balance's: OpenBal of the subsidiary
// accounts plus every account's rows dated before `from`.
#include "db/connection.h"

#include <QDate>
#include <QHash>
#include <QIODevice>
#include <functional>

namespace qv::rpt {

enum class ExportFormat { Ledger, Csv };

struct ExportOptions {
    ExportFormat format = ExportFormat::Ledger;
    QDate from, to; // null: open at that end
    // Called every `progressEvery` rows with the rows written so far; false stops the export
    // (it throws DbError and the caller discards what was written).
    std::function<bool(qint64 rows)> progress;
    qint64 progressEvery = 20000;
};

struct ExportStats {
    qint64 vouchers = 0, rows = 0;
    int openings = 0;   // accounts in the opening transaction
    int unbalanced = 0; // vouchers whose rows do not net to zero (balanced in the journal against
                        // "Equity:Unbalanced Vouchers" so that the tools still read the file)
};

// The dates a journal carries: ledger reads 1400-01-01 to 9999-12-31 (hledger reads these and
// more, but not a year written with a sign). A date outside them is refused, never written.
QDate journalFirstDate();
QDate journalLastDate();
// An error text when the options alone would date a transaction outside those days (the
// opening balances are dated the day before `from`), or empty.
QString journalDateProblem(const ExportOptions& options);

// Writes the book to `out`; throws DbError (the database's failures, sums that cannot be
// represented, a journal date outside the days above, checked before anything is written) and
// leaves what was written so far to the caller.
ExportStats exportJournal(Connection& c, const ExportOptions& options, QIODevice& out);

// The journal account name of every account, by RowID.
QHash<qint64, QString> journalAccountNames(Connection& c);
// One component of an account name, made safe for the journal format (see above).
QString journalNamePart(const QString& text);
// A payee or comment text made safe for the journal format.
QString journalText(const QString& text, bool comment);
// One CSV field, quoted when it holds a comma, a quote or a line break.
QString csvField(const QString& text);

} // namespace qv::rpt
