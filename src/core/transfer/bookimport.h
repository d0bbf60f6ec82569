#pragma once
// Bringing a chart, opening balances and vouchers in from a file: the reverse of the export
// (reports/journalexport.h). Three formats:
//   accounts-csv  Code,Title[,Bank][,Opening]: the chart and its openings
//   vouchers-csv  the CSV the export writes (or any file with its named columns)
//   ledger        a ledger/hledger journal
// The file is read twice. The first reading checks every line and makes the plan (accounts to
// create, openings, vouchers per kind, totals per account) without writing; a bad line stops it
// with its line, column and reason. The second reading writes, in ONE transaction, through the
// account store and the voucher store, so the period lock, the audit trail and the month sums
// apply to every voucher as to one saved in its window. Only a chart and the vouchers of one
// file are held in memory at once, never all the vouchers.
//
// Journal rules (docs/import.md says the same for users):
//  - An account name maps onto the three levels by its first three segments ("a:b:c"); a name
//    of one or two segments repeats its last ("a:b" is a:b:b), segments past the third are
//    joined to it with "-". Names in the export's own form ("1 Assets:1.2 Banks:1.2.3 Current")
//    keep their codes and titles. A mapping file ("NAME = TARGET" lines, TARGET another name
//    or a code) overrides either.
//  - A transaction whose description starts with a voucher label ("BP-12 party") becomes that
//    voucher; any other becomes a journal voucher under the next free number.
//  - Pairing: postings are paired in the order written, the first debit with the first credit,
//    for the smaller of the two amounts; the posting used up gives way to the next of its side and
//    the rest of the other is paired on. Each pair is one line (debit account, credit account).
//  - The "Opening balances" transaction sets the accounts' openings ("Equity:Opening Balances"
//    balances it and is not an account).
#include "db/connection.h"
#include "db/money.h"
#include "vouchers/voucherkinds.h"

#include <QDate>
#include <QMap>
#include <functional>
#include <optional>
#include <vector>

namespace qv::imp {

enum class Format { AccountsCsv, VouchersCsv, Ledger };
// "accounts-csv", "vouchers-csv", "ledger"; nullopt for any other text.
std::optional<Format> formatByName(const QString& name);

struct ImportOptions {
    Format format = Format::Ledger;
    bool renumber = false;     // vouchers take the next free numbers of their kinds
    bool skipExisting = false; // vouchers whose kind and number the book holds are left out
    QString mappingFile;       // ledger: NAME = TARGET lines
    // Called every `progressEvery` vouchers written with (written, planned); false stops the
    // import, which then writes nothing.
    std::function<bool(qint64 done, qint64 total)> progress;
    qint64 progressEvery = 1000;
};

// A line of the file that cannot be imported. column 0: the line as a whole. For CSV the column
// is the field's number, for a journal the character's.
class ImportError : public DbError {
public:
    ImportError(int line, int column, const QString& reason);
    int line, column;
    QString reason;
};

struct PlannedAccount {
    QString code, title, status; // status "HH", "HD" or "DD"
    bool exists = false;         // in the book already with this title: left alone
    bool bank = false;
    std::optional<Money> opening; // a new subsidiary account's OpenBal
    QDate openDate;
};

struct ImportPlan {
    std::vector<PlannedAccount> accounts;      // every account the file names, in code order
    QMap<QString, QChar> classes;              // control code -> class to set
    QList<QPair<QString, QString>> mapping;    // journal name -> the account in the book's form
    QMap<QString, qint64> vouchers;            // by kind code: to write
    QMap<QString, qint64> skipped;             // by kind code: in the book already (--skip-existing)
    QMap<QString, QPair<Money, Money>> totals; // by code: debits and credits of the vouchers
    qint64 lines = 0;                          // voucher lines to write
    qint64 voucherCount() const;
    int newAccounts() const;
    // The plan in words, one line each, as --dry-run prints it and the window shows it.
    QStringList describe() const;
};

struct ImportResult {
    ImportPlan plan;
    qint64 vouchers = 0, accounts = 0;
};

// Reads and checks the whole file: throws ImportError on a bad line, DbError on the database's
// failures. Writes nothing.
ImportPlan planImport(Connection& c, const QString& file, const ImportOptions& options);
// Plans, then writes everything in one transaction as `login`; nothing is written when any step
// fails (ImportError, DbError).
ImportResult runImport(Connection& c, const QString& file, const ImportOptions& options, const QString& login);

// The pairing rule and the mapping, for --help and the window.
QString pairingRule();

} // namespace qv::imp
