#pragma once
// What "&Save" of the chart of accounts does, decided from the window's state without the
// window: the selected node's level, whether a new account is being entered, the "Controle
// Account" tick and which title boxes are open.
#include "masters/accountstore.h"

#include <optional>

namespace qv::accounts {

enum class SaveAction {
    AddControl,
    AddSubControl, // under the selected control account
    RenameControl,
    AddSubsidiary, // under the selected sub-control account
    RenameSubControl,
    UpdateSubsidiary,
    NothingSelected, // "please select any one type or create a control account "
    SelectedGone,    // the selected account was deleted meanwhile
};

// The title boxes of the window.
enum class TitleBox { None, Control, SubControl, Subsidiary };

struct SaveState {
    bool controlTicked = false;          // chkHead
    bool newAccount = false;             // "&New" was pressed (not a change of the loaded account)
    bool hasSelection = false;           // a node was selected
    std::optional<AccountNode> selected; // the selected node as stored now (none: gone)
    bool controlTitleOpen = false;       // txtAcDes enabled
    bool subControlTitleOpen = false;
    bool detailsShown = false; // the subsidiary panel is shown
};

struct SavePlan {
    SaveAction action = SaveAction::NothingSelected;
    TitleBox requiredTitle = TitleBox::None; // must not be blank
    // The title tested against the other accounts' titles (sub-control titles may repeat).
    TitleBox uniqueTitle = TitleBox::None;
    qint64 self = 0; // the account being retitled, which does not count against itself
    QString code;    // the selected account's code (the branch opened after the save)
};

SavePlan planSave(const SaveState& s);

} // namespace qv::accounts
