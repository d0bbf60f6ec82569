#pragma once
// One way for a window to run a database step: a DbError is shown with the database's own
// description and the window stays as it was, usable, with whatever the user typed.
#include "db/dberror.h"

#include <QString>

#include <utility>

class QWidget;

namespace qv {

// Shows the error (critical box) and puts the focus back where the user can carry on.
// `message` says what failed, with %1 standing for the database's description.
void showDbError(const DbError& e, QWidget* focusAfter = nullptr, const QString& message = {});

// Runs `step`; true when it went through, false when the database refused it (shown).
template <class F> bool guarded(F&& step, QWidget* focusAfter = nullptr, const QString& message = {})
{
    try {
        std::forward<F>(step)();
        return true;
    } catch (const DbError& e) {
        showDbError(e, focusAfter, message);
        return false;
    }
}

template <class F> bool guarded(F&& step, const QString& message)
{
    return guarded(std::forward<F>(step), nullptr, message);
}

} // namespace qv
