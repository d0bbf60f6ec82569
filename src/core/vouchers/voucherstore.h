#pragma once
// Vouchers in MasJV (one master row) and DetJV (their detail rows): numbering, save, open and
// delete for the five kinds, with every value bound. A save or a delete is one transaction:
// master, the old detail rows' delete and every new row land together or not at all. A number
// another station saved first is detected through the unique (VouStatus, VouNo) and the voucher
// is stored under the next free number instead. Failures (the database's, and refused amounts)
// throw DbError with a text fit for the user.
#include "db/connection.h"
#include "db/money.h"
#include "vouchers/voucherkinds.h"

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

namespace qv {

// One grid line, as the window shows it.
struct VoucherLine {
    qint64 drAc = 0;
    QString drName; // debit account RowID and title
    qint64 crAc = 0;
    QString crName;                            // credit account RowID and title
    Money amount;                              // > 0
    QString cheque, narration, fileNo, billNo; // fileNo/billNo empty -> stored null
};

// For the cash kinds the window fills each line's contra side (CP: crAc, CR: drAc) with the cash
// account of its contra box at save time; the cash row posts to that account.
struct Voucher {
    VoucherKind kind = VoucherKind::JV;
    qint64 number = 0;
    // The stored voucher's identity (MasJV.RowID) as open() found it; 0 for a voucher not yet
    // stored. A change must match it: a voucher deleted and saved anew under the same number is
    // another voucher.
    qint64 rowId = 0;
    QDate date;
    QString party;        // PaidReceive
    QString masterCheque; // read only: MasJV.ChecqNo (shown by the bank receive window)
    std::vector<VoucherLine> lines;
    // The plain sum of the lines; throws DbError when it cannot be represented.
    Money total() const;
};

// The kind's VouSetting row (FixAccount).
struct KindSetup {
    qint64 startNo = 0;
    QString acStatus;               // "DR", "CR" or other
    QString acCode;                 // as stored (may be empty)
    std::optional<QString> acTitle; // null when AcCode is empty or not a 'DD' account
    bool fix = false;               // Fix = 'Y'
    // The box the account goes to: "DR" the debit box, "CR" the credit box, anything else none.
    std::optional<Side> side() const;
};

// One DetJV row as a save writes it (the bulk generator of the benchmarks writes the same).
struct DetailRow {
    int entryNo = 0;
    qint64 acCode = 0;
    std::optional<qint64> crAc;
    Money dr, cr;
    std::optional<QString> cheque;
    QString narration;
    std::optional<QString> fileNo, billNo;
};

struct SaveResult {
    enum class Outcome { Saved, Renumbered, Gone } outcome;
    qint64 number;                 // the number the voucher is stored under
    qint64 rowId = 0;              // MasJV.RowID: the voucher's identity (never used again on a server)
    bool checkedAfterLoss = false; // the link broke during COMMIT; the server, asked again, holds it
};

// A save whose COMMIT was on its way when the link to the server broke, and no server answered
// afterwards: what was sent, so that the voucher can be looked for by its identity later.
struct PendingSave {
    Voucher voucher; // as it was sent, under the number it was to be stored under
    bool isNew = true;
    SaveResult result; // what the save reports when it landed
};

// The link broke during COMMIT and the server, asked again, does not hold the voucher: nothing
// was saved (isLinkLost() is true).
class SaveNotLanded : public DbError {
public:
    SaveNotLanded(const QString& text, PendingSave p)
        : DbError(text, DbError::LinkLost)
        , pending(std::move(p))
    {
    }
    PendingSave pending; // what was looked for
};

// save() could not find out whether its voucher landed; landed() answers once a server does.
class SaveOutcomeUnknown : public DbError {
public:
    SaveOutcomeUnknown(const QString& text, PendingSave p)
        : DbError(text, DbError::CommitUnknown)
        , pending(std::move(p))
    {
    }
    PendingSave pending;
};

class VoucherStore {
public:
    explicit VoucherStore(Connection& c)
        : m_c(c)
    {
    }

    // nullopt: the kind has no VouSetting row.
    std::optional<KindSetup> setup(VoucherKind k);
    // NewNo: no voucher of the kind -> startNo, else the highest number + 1. Throws DbError
    // when the highest is the largest number a voucher can have.
    qint64 nextNumber(VoucherKind k, qint64 startNo);
    // isNew: insert under v.number; when that number is taken (another window/station saved it
    // first), store under the next free number of the kind in the same transaction -> Renumbered.
    // !isNew: change the master row (date, party, total, Login) of the voucher v.rowId names and
    // replace all its detail rows; when that voucher is gone meanwhile (deleted, perhaps with
    // another saved under its number since) -> Gone and nothing is written.
    // When the link to the server breaks during COMMIT, the voucher is looked for by its identity
    // as soon as the connection is open again: found whole -> saved (checkedAfterLoss); not found
    // -> SaveNotLanded, nothing saved; no server answers -> SaveOutcomeUnknown. A voucher is never
    // saved twice.
    SaveResult save(const Voucher& v, bool isNew, const QString& login);
    // Whether a pending save landed: the new voucher is there by its identity and whole, or the
    // changed one holds what was sent. Throws DbError (LinkLost) while no server answers.
    bool landed(const PendingSave& p);
    // The lines as the kind's open query shows them; nullopt when there is no master row.
    std::optional<Voucher> open(VoucherKind k, qint64 number);
    // Detail rows and master row in one transaction; false when it was not there. With `rowId`
    // (the identity open() gave) only that voucher goes: one deleted and saved anew under its
    // number meanwhile is another voucher and stays.
    bool remove(VoucherKind k, qint64 number, qint64 rowId = 0);

    // SetMaxlength: the defined widths of VouNo (digits), PaidReceive, Naration and ChecqNo.
    int partyWidth();
    int numberWidth();
    int narrationWidth();
    int chequeWidth();

    // The largest amount the amount columns (and their sums) can hold.
    static Money maxAmount();
    // Date, party and every line alike (the number and the accounts' titles aside).
    static bool sameContent(const Voucher& a, const Voucher& b);
    // Why the voucher cannot be saved (no line, an account missing, both sides one account, an
    // amount <= 0 or above maxAmount(), a total past maxAmount(), cash lines naming different
    // cash accounts); empty when it can. save() throws DbError with this text.
    static QString refusal(const Voucher& v);

    // The detail rows of a voucher that refusal() accepts, in the order they are written: two
    // mirrored rows per line (journal, bank), or one row per line and the cash row (cash).
    static std::vector<DetailRow> detailRows(const Voucher& v, Money total);

    // How often a number is allocated again after other stations took it first.
    static constexpr int MaxAttempts = 8;

private:
    std::optional<qint64> insertMaster(const Voucher& v, qint64 number, const QString& login, Money total);
    bool holds(const Voucher& v);
    // COMMIT of `v` went out on a link that broke: looked for once the link is open again.
    SaveResult settleLostCommit(const Voucher& v, bool isNew, SaveResult result);
    void writeLines(const Voucher& v, qint64 number, Money total);
    std::optional<qint64> highestNumber(VoucherKind k);

    Connection& m_c;
};

} // namespace qv
