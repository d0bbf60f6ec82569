#pragma once
// quoravel-admin bank-import: reads a bank statement CSV for a bank account (--account CODE
// --csv FILE; columns named by the header or by --date-column and the like), proposes the bank
// book line each statement line clears and lists the lines the book lacks. Nothing is ticked
// but with --confirm, and then only as ticks: the reconciliation is finished in the program.
#include "tools/adminargs.h"

namespace qv {
int adminBankImport(const AdminArgs& a);
} // namespace qv
