#pragma once
// The voucher setup rows: each document kind's start number and, for the voucher kinds, the
// default account, its side and whether it is fixed; the sales tax invoice's tax accounts.
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

namespace qv {
class Connection;

struct VouSettingRow {
    QString vouStatus;
    QVariant vouNo;    // start number, null when none
    QVariant acCode;   // account RowID, null when none
    QVariant acStatus; // "DR", "CR" or null
    QVariant fix;      // "Y", "N" or null
    QVariant othAcCode;
    QVariant iTaxAc;
    QVariant sTaxAc;
    // Titles of the subsidiary accounts named above (loading only; empty when the code names
    // no subsidiary account).
    QString acTitle, othAc, incomeAc, salTaxAc;
};

class VouSettingStore {
public:
    explicit VouSettingStore(Connection& c)
        : m_c(c)
    {
    }

    // Every stored row, in the order stored.
    QList<VouSettingRow> load();

    // Replaces the whole table with `rows` (exactly one per code of tbl::VouSettingCodes, in that
    // order) in one transaction: either every row lands or the stored rows stay as they were.
    void replaceAll(const QList<VouSettingRow>& rows);

    // A start number as typed: empty (or blanks) is null, a whole number its value; anything else
    // is refused (nullopt).
    static std::optional<QVariant> parseStartNumber(const QString& text);
    // An account box's tag: empty is null, otherwise the RowID it holds.
    static QVariant accountFromTag(const QString& tag);

private:
    Connection& m_c;
};

} // namespace qv
