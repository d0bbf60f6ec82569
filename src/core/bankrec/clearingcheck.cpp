#include "bankrec/clearingcheck.h"

#include <QDate>
#include <QSqlQuery>

namespace qv::BankClearings {

void refuseClearedVoucher(Connection& c, const QString& kind, qint64 number)
{
    QSqlQuery q = c.query(QStringLiteral("select r.StmtDate, a.AcName from DetJV d join BankClearing b on b.DetRowID = "
                                         "d.RowID join BankRecon r on r.RowID = b.ReconID left join Accounts a on "
                                         "a.RowID = r.AcCode where d.VouStatus = ? and d.VouNo = ? limit 1"),
                          {kind, number});
    if (!q.next())
        return;
    const QString date = q.value(0).toDate().toString(QStringLiteral("dd-MM-yyyy"));
    throw DbError(QStringLiteral("Voucher %1-%2 has a line cleared in the bank reconciliation of %3 as at %4: it "
                                 "cannot be changed or deleted until a manager undoes that reconciliation.")
                      .arg(kind)
                      .arg(number)
                      .arg(q.value(1).toString(), date),
                  Refused);
}

} // namespace qv::BankClearings
