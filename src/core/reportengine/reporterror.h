#pragma once
// A report that cannot be opened, compiled or run. It is a DbError so that the windows, which
// already show a DbError's description in a message box, handle engine failures the same way.
#include "db/dberror.h"

namespace qv::rpt {

class ReportError : public DbError {
public:
    explicit ReportError(const QString& description)
        : DbError(description, QStringLiteral("QV_REPORT"))
    {
    }
};

// Writing or printing a report stopped by the user: nothing was written (no message is due).
class OutputStopped : public ReportError {
public:
    OutputStopped()
        : ReportError(QStringLiteral("Stopped: nothing was written."))
    {
    }
};

// A report's failure while reading or summing its data: a total that cannot be held (SQLSTATE
// 22003) means the report cannot be printed; anything else that its data could not be read.
inline ReportError dataFailure(const QString& reportName, const DbError& e)
{
    if (e.sqlState() == QLatin1String("22003"))
        return ReportError(QStringLiteral("The report %1 cannot be printed: %2").arg(reportName, e.description()));
    return ReportError(QStringLiteral("The report %1 could not read its data:\n%2").arg(reportName, e.description()));
}

} // namespace qv::rpt
