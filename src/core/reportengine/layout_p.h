#pragma once
// What the layout's two files share: the tolerance of page arithmetic and checked sums.
#include "db/money.h"
#include "reportengine/reporterror.h"

namespace qv::rpt::detail {

constexpr double Epsilon = 1e-6;

inline Money addChecked(Money a, Money b)
{
    qint64 r = 0;
    if (__builtin_add_overflow(a.cents, b.cents, &r))
        throw ReportError(QStringLiteral("A running balance is too large to be represented."));
    return Money(r);
}

} // namespace qv::rpt::detail
