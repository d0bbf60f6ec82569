#pragma once
// The caller's side of the account finder hand-over. A caller shows the finder, remembers
// which account box the pick is for, and on its next activation takes the pick over.
class QLineEdit;

namespace qv {

// When the finder left a pick (FindACRowID > 0): the account title becomes the box's text and
// the RowID its "tag" (decimal text), then FindACName and FindACRowID are reset. The reset
// also happens when `box` is null (the pick was for no box this caller knows). Returns
// whether a box was filled; without a pick nothing changes.
bool takeFinderPick(QLineEdit* box);
// Whether the finder left a pick that is waiting for its caller.
bool finderPickPending();

// Shows the finder (not modal). With `fresh`, an open finder is closed first and a new one,
// with an empty search, takes its place; otherwise the open one comes back as it was.
void showFinder(bool fresh);

} // namespace qv
