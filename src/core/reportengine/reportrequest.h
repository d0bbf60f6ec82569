#pragma once
// A report as the program asks for it: the template, the selection as typed conditions, the
// formula fields' values, the subreports' conditions and the data preparation to run, all as
// values. Nothing of it is written out as text to be parsed back: conditions become SQL with
// bound parameters and the preparation is called directly. Each part still has its text form
// (the selection formula, the `exec` statement), which is what a report shows as its selection
// and what the connection's statement hook is told.
#include "reportengine/formula.h"

#include <QPair>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

namespace qv {
class Connection;
}

namespace qv::rpt {

class Report;

// One condition on a field the template declares. The value is of the field's own type: text
// (QString), a whole number (qint64), an amount (Money) or a date (QDate).
struct Condition {
    enum Op { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual, Between };
    QString field; // "DetJV.CrAc"
    Op op = Equal;
    QVariant value;
    QVariant last; // Between: the last value of the range
    // How the text form writes the operator, blanks included ("=", "  = "); empty: " = " etc.
    QString spelled = {};
};

inline Condition equal(const QString& field, const QVariant& value, const QString& spelled = {})
{
    return {field, Condition::Equal, value, {}, spelled};
}
inline Condition before(const QString& field, const QVariant& value)
{
    return {field, Condition::Less, value, {}};
}
inline Condition between(const QString& field, const QVariant& first, const QVariant& last)
{
    return {field, Condition::Between, first, last};
}

// Every condition must hold. Its text form: "{DetJV.CrAc} = 12 and {DetJV.VouDate} in
// #2026-01-05# to #2026-02-28#"; a text value is quoted with its quotes doubled, so the text
// parses back to the same conditions.
QString selectionText(const Selection& selection);

// A data preparation: what to run on the connection, and its text form for the statement hook.
struct Preparation {
    QString statement; // "exec AcLedger 12,'2026-01-05','2026-02-28'"
    std::function<void(Connection&)> run;
};

struct ReportRequest {
    QString templ; // a template literal: "\\rptAcLedger3.rpt"
    Selection selection;
    QVector<QPair<QString, QString>> formulaValues; // formula field, the text it shows
    QVector<QPair<QString, Selection>> subreports;  // subreport, its selection
    std::optional<Preparation> preparation;
    // A report that needs nothing prepared may be read from a standby (Report::setMayReadStandby).
    bool mayReadStandby = false;
};

// Runs the preparation on `c` (no report may still be reading the work tables it refills), then
// sets the selection, the formula values and the subreports on `report`, opened on the request's
// template. Throws ReportError or DbError.
void applyRequest(Report& report, const ReportRequest& request, Connection& c);

} // namespace qv::rpt
