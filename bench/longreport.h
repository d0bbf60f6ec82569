#pragma once
// The long report of the benchmarks: every detail row of a book with three group levels and
// their sums (a generated book of 1,000,000 rows gives about 18,000 pages).
#include "reportengine/report.h"
#include "session/book.h"

#include <memory>

namespace qvb {

// Writes the template into `dir` and opens it with the book's logon.
std::shared_ptr<qv::rpt::Report> openLongReport(const QString& dir, const qv::Book& book);

} // namespace qvb
