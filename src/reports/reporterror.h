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

} // namespace qv::rpt
