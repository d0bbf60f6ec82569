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

// The two account boxes of a voucher window, as flags.
enum AccountBoxes { NoBox = 0, DrBox = 1, CrBox = 2, BothBoxes = DrBox | CrBox };
// Where the focus goes after a line's check failed.
enum class CheckFocus { Stay, SelectDr, SelectCr };

// How a kind's entry tab behaves where the kinds differ.
struct EntryRules {
    int clearedByAdd;    // account boxes emptied after a line goes into the grid
    int clearedByRemove; // ... after a line is removed
    int clearedByClear;  // ... by ClearAll (the cash windows keep their cash account)
    CheckFocus noDebit, noCredit, sameAccount;
    bool activationEmptiesFinderType; // the journal and bank windows empty FindACType
    // Cash payment: txtVouStatus keeps the focus, and the keyboard order starts at txtVoucher
    // with the party box late; the others pass the focus on to DTPicker.
    bool cashPaymentOrder;
};

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
    EntryRules entry;

    // The box of the account chosen anew for every line (both for the journal).
    int lineBoxes() const { return !contra ? BothBoxes : *contra == Side::Credit ? DrBox : CrBox; }
    int contraBox() const { return !contra ? NoBox : *contra == Side::Credit ? CrBox : DrBox; }
};

// In the order JV, BP, BR, CP, CR.
const std::vector<VoucherKindInfo>& voucherKinds();
const VoucherKindInfo& voucherKind(VoucherKind k);
// Null when the code names no voucher kind (letter case matters: codes are stored upper case).
const VoucherKindInfo* voucherKindByCode(const QString& code);

} // namespace qv
