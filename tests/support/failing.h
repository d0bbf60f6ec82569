#pragma once
// Failing one statement of a save at a time: the k-th statement that reaches the database
// throws, for k = 1, 2, ... until the save runs through; after each failure the whole database
// must be exactly as it was.
#include "db/connection.h"

#include <QStringList>
#include <functional>

namespace qvt {

// Every row of every table, as text, in a stable order.
QStringList snapshot(qv::Connection& c);

struct FailEachResult {
    int statements = 0;  // failures injected (the save's statements that could fail)
    QStringList changed; // "k=3: <first difference>" for each failure that left a trace
    QString error;       // set when the runs could not be made (e.g. never completed)
};

// Runs `action` with the k-th statement of its transaction failing (BEGIN counts, and a backup
// copy made before it), for every k, until a run meets no failure
// (that last run is the save going through). `afterFailure` checks the window after each
// failed run (still usable, nothing lost); it runs with the hook removed.
FailEachResult failEachStatement(qv::Connection& c, const std::function<void()>& action,
                                 const std::function<void(int k)>& afterFailure = {}, int limit = 400);

} // namespace qvt
