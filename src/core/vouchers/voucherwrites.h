#pragma once
// The one place every write to vouchers passes (the store's save and delete, Remove Data), in
// the writer's transaction: before() runs the checks that may refuse the change and keeps the
// voucher as it was; after() records the change in the audit trail with the voucher as it was
// and as it is. A feature that must refuse some voucher changes adds its check to before().
#include "db/connection.h"

#include <QDate>

namespace qv {

struct VoucherChange {
    enum class Action { Saved, Changed, Deleted, Removed };
    Action action = Action::Saved;
    QString kind;      // "JV", ...; empty with Removed: every kind
    qint64 number = 0; // 0 with Removed
    qint64 rowId = 0;  // MasJV.RowID, when known
    QDate oldDate;     // as stored; read by before() when left invalid for a change or delete
    QDate newDate;     // as it is to be stored (none for a delete)
};

class VoucherWrites {
public:
    explicit VoucherWrites(Connection& c)
        : m_c(c)
    {
    }
    // Throws DbError with a text fit for the user when the change may not be written.
    void before(VoucherChange change);
    // The change is written: its audit record. `storedNumber` is the number a save stored the
    // voucher under (another than asked when renumbered).
    void after(qint64 storedNumber = 0);

    // The voucher (master and lines, every column) as compact JSON; empty when it is not there.
    static QString image(Connection& c, const QString& kind, qint64 number);
    // "JV-12": the key of a voucher's audit records.
    static QString key(const QString& kind, qint64 number);

private:
    Connection& m_c;
    VoucherChange m_change;
    QString m_before;
};

} // namespace qv
