#pragma once
// Reconciling a bank account with the bank's statement. The lines are the account's bank book
// lines (read through the bank book's own template, so they can never differ from the printed
// book), each keyed to its DetJV row. A line is open, ticked (cleared on a date, not yet final:
// the window's work, kept by Postpone) or cleared in a finished reconciliation (final: its voucher
// can no longer change). The figures, with receipts positive:
//   book balance      = the account's balance at the statement date (OpeningBalances);
//   cleared balance   = book balance - the open lines' receipts + their payments;
//   difference        = statement balance - cleared balance.
// A reconciliation finishes at a difference of 0.00 only; its clearing dates lie after the
// account's previous statement date and on or before its own, so that the statement of any
// finished date can be made again from the clearings.
#include "db/money.h"
#include "session/book.h"

#include <QDate>
#include <QHash>
#include <optional>
#include <vector>

namespace qv {

struct BankLine {
    enum class State { Open, Ticked, Cleared };
    qint64 rowId = 0; // DetJV.RowID
    QDate date;
    QString kind; // "BP", ...
    qint64 number = 0;
    QString party; // the account on the other side, as the bank book names it
    QString cheque;
    Money receipt, payment;
    State state = State::Open;
    QDate clearDate; // ticked or cleared
    QString voucher() const { return QStringLiteral("%1-%2").arg(kind).arg(number); }
};

struct ReconFigures {
    Money book, cleared, statement, difference;
};

struct FinishedRecon {
    qint64 id = 0;
    qint64 account = 0;
    QDate date;
    Money balance;
    QString login, at;
};

class Reconciliation {
public:
    // `templateFolders`: where the bank book's template is looked for (empty: the running
    // program's folders).
    Reconciliation(Connection& c, QStringList templateFolders)
        : m_c(c)
        , m_folders(std::move(templateFolders))
    {
    }
    explicit Reconciliation(Book& book)
        : Reconciliation(book.connection(), book.templateFolders())
    {
    }

    // The account's bank book lines dated on or before `date` that no finished reconciliation
    // cleared, then those that the account's last finished reconciliation cleared (shown locked).
    // Open lines come first, then ticked ones, each by date; ticks as last postponed.
    std::vector<BankLine> lines(qint64 account, const QDate& date);
    // Every bank book line dated on or before `date`, with the clearing of each that a finished
    // reconciliation made (Cleared) or a tick (Ticked), in the bank book's order.
    std::vector<BankLine> bookLines(qint64 account, const QDate& date);
    // The account's balance at the end of `date`, receipts positive.
    Money bookBalance(qint64 account, const QDate& date);
    // The figures of `lines` as they stand (ticked lines count as cleared).
    static ReconFigures figures(Money book, Money statement, const std::vector<BankLine>& lines);

    // Keeps the ticks of the listed lines (rowId -> clearing date; the lines not in it are open)
    // without finishing. Throws DbError naming a ticked line that is no longer in the bank book
    // (its voucher was changed meanwhile) or a clearing date out of its range.
    void postpone(qint64 account, const QDate& date, const QHash<qint64, QDate>& ticks, const QString& login);
    // Postpones, then records the reconciliation when the figures, worked out again from the
    // book, leave a difference of 0.00. Throws DbError with the reason otherwise; nothing is kept.
    FinishedRecon finish(qint64 account, const QDate& date, Money statement, const QHash<qint64, QDate>& ticks,
                         const QString& login);
    // Undoes the account's latest finished reconciliation (a manager's action): its lines are
    // ticked again. Recorded in the audit trail.
    void undo(qint64 reconId, const QString& login);

    std::optional<FinishedRecon> last(qint64 account);
    // The vouchers whose ticks of this account were lost to a change since they were kept; the
    // marks are forgotten once read.
    QStringList takeLostTicks(qint64 account);

    // The message of a clearing date out of range; empty when it fits.
    QString clearDateProblem(const QDate& clear, const QDate& statementDate,
                             const std::optional<QDate>& previous) const;

private:
    void keepTicks(qint64 account, const QDate& date, const QHash<qint64, QDate>& ticks, const QString& login);
    // The bank book's lines joined to their clearings; `where` filters on b.ReconID.
    std::vector<BankLine> read(qint64 account, const QDate& date, const QString& where, const QVariantList& params);
    Connection& m_c;
    QStringList m_folders;
};

} // namespace qv
