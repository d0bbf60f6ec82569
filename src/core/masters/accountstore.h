#pragma once
// The chart of accounts in the table Accounts: the tree's rows, code allocation and the writes
// for each level, the duplicate-title test, check-and-delete and the subsidiary search. Every
// value travels as a bound parameter. Allocation and insert run in one transaction; when another
// station took the same code first (AcNodes is unique) the code is allocated again.
#include "db/connection.h"
#include "db/money.h"
#include "db/recordset.h"

#include <functional>
#include <QDate>
#include <QList>
#include <QPair>
#include <array>
#include <optional>
#include <vector>

namespace qv {

struct AccountNode {
    qint64 rowId = 0;
    QString status;   // HH, HD or DD
    QString parentId; // trimmed
    QString code;     // AcNodes, trimmed
    QString title;    // AcName
};

// What a subsidiary account's detail panel sends.
struct SubsidiaryInput {
    QString title;
    QDate openDate;
    // Bound columns and their texts, in the window's order; an empty text is stored as null.
    QList<QPair<QString, QString>> fields;
    // A masked number is written only when fully typed; nullopt leaves the column as it is.
    std::optional<QString> gst;
    std::optional<QString> ntn;
    QString bStatus; // "B", "S" or empty (null)
};

struct AddedAccount {
    qint64 rowId = 0;
    QString code;
    int dcode = 0;
};

// One line of the subsidiary search: RowID, AcNodes, AcName, Location, Contact, Fax, Email,
// OpenBal, Addr, Addr2. The key and the amount stay numbers as read (the search runs on every
// keystroke and a grid shows only the lines in view); line[c] is column c's text as the grid
// shows it, the amount as "##,###0.00", a null as an empty text.
struct FoundAccount {
    qint64 rowId = 0;
    std::optional<Money> openBal;
    std::array<QString, 10> texts; // the text columns; 0 and 7 stay empty
    QString operator[](int column) const;
};

enum class DeleteCheck { Allowed, NotSelected, HasChildren, UsedInVouchers };

class AccountStore {
public:
    explicit AccountStore(Connection& c)
        : m_c(c)
    {
    }

    // The rows of the three levels in text order of their codes; other statuses are left out.
    std::vector<AccountNode> treeRows();
    std::optional<AccountNode> node(qint64 rowId);
    // The whole row, for loading the entry boxes (no row when the account is gone).
    RecordSet load(qint64 rowId);
    // Title (and ParentID) of the account with that code.
    std::optional<QString> titleByCode(const QString& code);
    std::optional<QPair<QString, QString>> titleAndParentByCode(const QString& code);

    // Code allocation: the next control number, and the next sequence number under a head
    // (highest + 1: a freed highest number comes back, gaps below it stay).
    QString nextControlCode();
    int nextDcode(const QString& parentCode);

    AddedAccount addControl(const QString& title, const QString& order);
    // nullopt when the head is gone (or is not of the level the new account needs).
    std::optional<AddedAccount> addSubControl(qint64 controlRowId, const QString& title);
    std::optional<AddedAccount> addSubsidiary(qint64 subControlRowId, const SubsidiaryInput& in);

    // An account under a code chosen by the caller (an import keeps the codes of its file): the
    // level follows from the code, whose heads must be there. `details` only for a subsidiary
    // account. 0 when the code is taken.
    qint64 addWithCode(const QString& code, const QString& title, const SubsidiaryInput* details = nullptr);

    // Each returns false when the account is gone. Codes, heads and levels never change.
    bool renameControl(qint64 rowId, const QString& title, const QString& order);
    bool renameSubControl(qint64 rowId, const QString& title);
    bool updateSubsidiary(qint64 rowId, const SubsidiaryInput& in);

    // Whether another account has this title but for blanks (letter case ignored).
    bool titleExists(const QString& title, qint64 exceptRowId = 0);

    // The refusals of deletion, in their order; rowId 0 is "nothing selected".
    DeleteCheck checkDelete(qint64 rowId);
    // Checks again and deletes in one transaction; returns the refusal if one now applies.
    DeleteCheck deleteAccount(qint64 rowId);
    static QString refusalText(DeleteCheck c);

    // Subsidiary accounts whose title contains the typed text (letter case ignored), by title.
    // Read straight into texts: it runs on every keystroke.
    std::vector<FoundAccount> search(const QString& typed);

    int columnWidth(const QString& column) { return m_c.columnWidth(QStringLiteral("Accounts"), column); }

    // How often a code is allocated again after another station took it first.
    static constexpr int MaxAttempts = 8;

private:
    template <class F> auto allocate(F&& attempt) -> decltype(attempt());
    // Inserts unless the code is taken; the new RowID, or 0 when another account has the code.
    qint64 insertAccount(const QList<QPair<QString, QVariant>>& columns);
    QString accountImage(qint64 rowId); // the row as the audit trail keeps it
    // Runs `change` of the account with its audit record, in one transaction.
    bool changedAndRecorded(qint64 rowId, const std::function<bool()>& change);
    std::optional<qint64> headOf(qint64 rowId, const QString& status, QString* code);
    QList<QPair<QString, QVariant>> subsidiaryColumns(const SubsidiaryInput& in) const;
    QVariant orderValue(const QString& order) const;

    Connection& m_c;
    // The longest search so far: room reserved at once, so that going back to the whole list
    // does not regrow (and move) the lines a dozen times.
    size_t m_mostFound = 0;
};

} // namespace qv
