#pragma once
// Checks of a book's stored data that the program relies on but cannot always guard: each
// reports what it finds and changes nothing. `quoravel-admin check` runs them all; a new check
// is one more entry of bookChecks().
#include "db/connection.h"

#include <QStringList>
#include <functional>
#include <vector>

namespace qv::rpt {

struct BookCheck {
    const char* name;                            // as the admin tool prints it
    const char* about;                           // what a finding means, one line
    std::function<QStringList(Connection&)> run; // one line per finding; none: clean
};

const std::vector<BookCheck>& bookChecks();
// The check of the month sums against the rows; `quoravel-admin check --repair` rewrites them.
inline constexpr const char* MonthSumsCheck = "month-sums";

} // namespace qv::rpt
