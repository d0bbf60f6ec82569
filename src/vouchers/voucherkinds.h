#pragma once
// The five voucher kinds in one table: what differs between them is data, read from here by the
// voucher store and window, the voucher setup, Remove Data, the menu and the openers.
#include <QString>
#include <optional>
#include <vector>

namespace qv {

enum class VoucherKind { JV, BP, BR, CP, CR };
enum class Side { Debit, Credit };
// Mirrored: two rows per line (one from each side). LinePlusCash: one row per line, then one
// cash row posting the total against the contra (cash) account.
enum class RowShape { Mirrored, LinePlusCash };

struct VoucherKindInfo {
    VoucherKind kind;
    QString code;           // "JV": VouStatus of MasJV, DetJV and VouSetting
    QString window;         // "frmJV"
    QString caption;        // "Journal Voucher"
    QString prefix;         // "JV-"
    QString reportTemplate; // "\\rptJV.rpt"
    QString menuEntry;      // "mnuJVVouc", "mnuBPVouc", "mnuBRVouc", "mnuCPVou", "mnuCRVou"
    QString partyLabel;     // "Paid To :" or "Receive From :"
    RowShape shape;
    std::optional<Side> contra; // none (JV); Credit (BP, CP); Debit (BR, CR)
    Side shownSide;             // the amount the open query's lines carry: Debit (JV, BP, CP), Credit (BR, CR)
    bool bankContra;            // BP, BR: the contra box picks from bank accounts ("B")
};

// In the order JV, BP, BR, CP, CR.
const std::vector<VoucherKindInfo>& voucherKinds();
const VoucherKindInfo& voucherKind(VoucherKind k);
// Null when the code names no voucher kind (letter case matters: codes are stored upper case).
const VoucherKindInfo* voucherKindByCode(const QString& code);

} // namespace qv
