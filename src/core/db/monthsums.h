#pragma once
// The debit and credit totals of each account in each month, kept by the database itself: triggers
// on DetJV change them in the statement that writes the rows, so that no write (the voucher store,
// Remove Data, a login's own SQL on the server) can miss them. Reports read whole months here and
// only the rows of the partial months at the ends of a range.
//
// The month of a row is the first day of its VouDate's month. On the embedded book a VouDate that
// is not a well-formed date (only raw SQL can store one) is kept as its own "month", so that a
// range compares it exactly as the rows' own `VouDate < ?` does. Rows without an account or a
// date count nowhere, as in every range. A month whose rows all went keeps a row of zeros. On the
// embedded book a month whose sum leaves 64-bit cents holds a null sum: its account is then read
// from the rows.
//
// On a server the users may only read the sums; the trigger function belongs to the book's
// keeper. Writers of DetJV take their turn (a transaction-level advisory lock, taken by the first
// write to DetJV and held until commit), so two stations never update the same month rows in
// opposite orders.
#include "db/connection.h"

#include <QStringList>

namespace qv::MonthSums {

inline constexpr const char* Table = "AcMonthSums";
// The advisory lock of the writers of DetJV on a server (the class "QS").
inline constexpr int LockClass = 0x5153;

// The table, its triggers (and on a server the trigger function), in the order they are made.
QStringList ddl(Backend b);
// The columns and the triggers on DetJV, as PostgreSQL folds their names (the server's check).
QStringList columns();
QStringList triggers();
// Whether the book holds the table (a book from before the sums has none).
bool exists(Connection& c);
// On a server, as its administrator: the users read the sums only; the keeper owns the trigger
// function and alone writes them.
void secure(Connection& admin, const QString& users, const QString& keeper);
// Writes the sums anew from the rows (the upgrade, `check --repair`), in the caller's transaction.
void rebuild(Connection& c);
// Every month whose stored sums differ from its rows, one line each (at most `limit`, then a count).
QStringList differences(Connection& c, int limit = 50);

} // namespace qv::MonthSums
