#pragma once
// The caller's side of the account finder hand-over. A caller shows the finder, remembers
// which account box the pick is for, and on its next activation takes the pick over.
#include <QString>
#include <optional>

namespace qv {
class AccountBox;

struct FinderPick {
    qint64 rowId = 0;
    QString name;
};

// The finder's pick when it left one (FindACRowID > 0); FindACName and FindACRowID are reset.
// Without a pick nothing changes.
std::optional<FinderPick> takeFinderPick();
// The same, put into `box`: the account title as its text and the RowID as its account (its
// "tag"). The reset also happens when `box` is null (the pick was for no box this caller
// knows). Returns whether a box was filled.
bool takeFinderPick(AccountBox* box);
// Whether the finder left a pick that is waiting for its caller.
bool finderPickPending();

// Shows the finder (not modal). With `fresh`, an open finder is closed first and a new one,
// with an empty search, takes its place; otherwise the open one comes back as it was.
void showFinder(bool fresh);

} // namespace qv
