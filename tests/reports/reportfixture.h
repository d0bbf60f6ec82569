#pragma once
// Shared by the report suites: where the templates are, the print sequence as the windows run
// it, and the text of a PDF file.
#include "reportengine/report.h"

#include <QStringList>

namespace qvt {

QString chartTemplate();    // templates/rptChartAC.rpt
QString testBookTemplate(); // tests/reports/rptTestBook.rpt

// Steps 1 to 3 of the print sequence: a new application, the template, the logon.
std::shared_ptr<qv::rpt::Report> openReport(const QString& path, const QString& user, const QString& password);

// pdftotext -layout of a file; a null string when poppler's tools are not installed.
QString pdfText(const QString& path);

// Every account's code and title, as the database holds them.
QList<QPair<QString, QString>> accounts(qv::Connection& c);

} // namespace qvt
