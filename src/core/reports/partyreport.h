#pragma once
// The party statements and the ageing as the program asks for them: the template, the
// preparation (exec PartyStatement / exec Ageing) and the active company.
#include "reportengine/reportrequest.h"
#include "session/book.h"

#include <QDate>

namespace qv::rpt {

// `account`: a subsidiary account, or a head for one statement per party under it.
ReportRequest partyStatementRequest(qint64 account, const QDate& from, const QDate& to);
// `account`: a head (its subsidiary accounts) or one account.
ReportRequest ageingRequest(qint64 account, const QDate& at);

// Opened on the book, prepared and set. Throws DbError.
std::shared_ptr<Report> openPartyStatement(Book& book, qint64 account, const QDate& from, const QDate& to);
std::shared_ptr<Report> openAgeing(Book& book, qint64 account, const QDate& at);

} // namespace qv::rpt
