#include "vouchers/voucherkinds.h"

namespace qv {

namespace {
using K = VoucherKind;
using S = Side;
using R = RowShape;
const QString PaidTo = QStringLiteral("Paid To :");
const QString ReceiveFrom = QStringLiteral("Receive From :");
using F = CheckFocus;
// cleared by add, remove, clear; focus after no debit, no credit, same account; activation
// empties FindACType; the cash payment order.
constexpr EntryRules JournalEntry{BothBoxes, DrBox, BothBoxes, F::SelectDr, F::SelectCr, F::SelectDr, true, false};
constexpr EntryRules BankPayEntry{DrBox, DrBox, BothBoxes, F::SelectDr, F::SelectCr, F::Stay, true, false};
constexpr EntryRules BankRecEntry{CrBox, CrBox, BothBoxes, F::SelectDr, F::SelectCr, F::Stay, true, false};
constexpr EntryRules CashPayEntry{DrBox, DrBox, DrBox, F::SelectDr, F::Stay, F::Stay, false, true};
constexpr EntryRules CashRecEntry{CrBox, CrBox, CrBox, F::Stay, F::SelectCr, F::Stay, false, false};
} // namespace

const std::vector<VoucherKindInfo>& voucherKinds()
{
    // The contra side is where the bank or cash account stands on every line; the lines the open
    // query returns carry their amount on the other side (the party's).
    static const std::vector<VoucherKindInfo> kinds{
        {K::JV, "JV", "frmJV", "Journal Voucher", "JV-", "\\rptJV.rpt", "mnuJVVouc", PaidTo, R::Mirrored, std::nullopt,
         S::Debit, false, JournalEntry},
        {K::BP, "BP", "frmBP", "Bank Payment Voucher", "BP-", "\\rptBP.rpt", "mnuBPVouc", PaidTo, R::Mirrored,
         S::Credit, S::Debit, true, BankPayEntry},
        {K::BR, "BR", "frmBR", "Bank Receive Voucher", "BR-", "\\rptBR.rpt", "mnuBRVouc", ReceiveFrom, R::Mirrored,
         S::Debit, S::Credit, true, BankRecEntry},
        {K::CP, "CP", "frmCP", "Cash Payment Voucher", "CP-", "\\rptCP.rpt", "mnuCPVou", PaidTo, R::LinePlusCash,
         S::Credit, S::Debit, false, CashPayEntry},
        {K::CR, "CR", "frmCR", "Cash Receive Voucher", "CR-", "\\rptCR.rpt", "mnuCRVou", ReceiveFrom, R::LinePlusCash,
         S::Debit, S::Credit, false, CashRecEntry},
    };
    return kinds;
}

const VoucherKindInfo& voucherKind(VoucherKind k)
{
    return voucherKinds()[static_cast<size_t>(k)];
}

const VoucherKindInfo* voucherKindByCode(const QString& code)
{
    for (const VoucherKindInfo& i : voucherKinds())
        if (i.code == code)
            return &i;
    return nullptr;
}

} // namespace qv
