#pragma once
// The balance sheet and the profit and loss account as the launcher prints them: the template
// opened, its lines prepared on the book's connection (exec BalanceSheet / exec ProfitLoss), the
// login and the selection set. Throws DbError (a head without a class among them).
#include "reportengine/report.h"
#include "session/book.h"

#include <QDate>

namespace qv::rpt {

std::shared_ptr<Report> openBalanceSheet(Book& book, const QDate& at, int level, const QDate& compareAt = {});
std::shared_ptr<Report> openProfitLoss(Book& book, const QDate& from, const QDate& to, int level, bool compare);

} // namespace qv::rpt
