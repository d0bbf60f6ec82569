#pragma once
// The one place every write to vouchers passes (the store's save and delete, Remove Data): the
// checks that may refuse a change run here, in the writer's transaction, before anything is
// written. A feature that must refuse some voucher changes adds its check to before().
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

private:
    Connection& m_c;
};

} // namespace qv
