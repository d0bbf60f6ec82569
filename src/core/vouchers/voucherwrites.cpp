#include "vouchers/voucherwrites.h"

#include "vouchers/periodlock.h"

namespace qv {

void VoucherWrites::before(VoucherChange change)
{
    using A = VoucherChange::Action;
    if (!change.oldDate.isValid() && (change.action == A::Changed || change.action == A::Deleted)) {
        // A voucher that is gone has no date; its writer finds it gone and writes nothing.
        change.oldDate =
            change.rowId > 0
                ? m_c.scalar(QStringLiteral("select VouDate from MasJV where RowID = ?"), {change.rowId}).toDate()
                : m_c.scalar(QStringLiteral("select VouDate from MasJV where VouStatus = ? and VouNo = ?"),
                             {change.kind, change.number})
                      .toDate();
    }
    PeriodLock(m_c).check(change.oldDate, change.newDate);
}

} // namespace qv
