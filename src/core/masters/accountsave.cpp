#include "masters/accountsave.h"

#include "masters/accountcodes.h"

namespace qv::accounts {

SavePlan planSave(const SaveState& s)
{
    SavePlan p;
    if (s.controlTitleOpen)
        p.uniqueTitle = TitleBox::Control;
    else if (!s.subControlTitleOpen && s.detailsShown)
        p.uniqueTitle = TitleBox::Subsidiary;

    if (s.controlTicked) {
        p.action = SaveAction::AddControl;
        return p;
    }
    if (!s.hasSelection) {
        p.action = SaveAction::NothingSelected;
        return p;
    }
    if (!s.selected) {
        p.action = SaveAction::SelectedGone;
        return p;
    }
    const AccountNode& n = *s.selected;
    p.code = n.code;
    if (n.status == Subsidiary || (n.status == Control && !s.newAccount))
        p.self = n.rowId;
    if (n.status == Control) {
        if (s.newAccount) {
            p.action = SaveAction::AddSubControl;
            p.requiredTitle = TitleBox::SubControl;
        } else {
            p.action = SaveAction::RenameControl;
        }
    } else if (n.status == SubControl) {
        p.action = s.newAccount ? SaveAction::AddSubsidiary : SaveAction::RenameSubControl;
        p.requiredTitle = s.newAccount ? TitleBox::Subsidiary : TitleBox::SubControl;
    } else {
        p.action = SaveAction::UpdateSubsidiary;
        p.requiredTitle = TitleBox::Subsidiary;
    }
    return p;
}

} // namespace qv::accounts
