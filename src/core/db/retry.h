#pragma once
// Allocating a new key (a code, a voucher number) that another station may take between
// reading the highest one and inserting: each try runs in a level of its own, and a try whose
// key was taken is rolled back to its savepoint and made again, reading the highest key anew.
#include "db/connection.h"

#include <optional>
#include <utility>

namespace qv {

// Thrown by a try that found its key taken without an error from the database (an insert that
// did nothing on a clash).
struct KeyTaken {};

// Runs `attempt` in one transaction (a level of the caller's, if one is open) until a try is
// not refused for its key: a try refused by KeyTaken or by a unique violation is rolled back
// and made again, at most `attempts` times; then DbError(`exhausted`). Any other error ends it.
template <class F>
auto withRetry(Connection& c, int attempts, const QString& exhausted, F&& attempt) -> decltype(attempt())
{
    Transaction tx(c);
    for (int i = 0; i < attempts; ++i) {
        std::optional<decltype(attempt())> result;
        try {
            Transaction level(c);
            result.emplace(attempt());
            level.commit();
        } catch (const KeyTaken&) {
            continue;
        } catch (const DbError& e) {
            if (!e.isUniqueViolation())
                throw;
            continue;
        }
        tx.commit();
        return std::move(*result);
    }
    throw DbError(exhausted);
}

} // namespace qv
