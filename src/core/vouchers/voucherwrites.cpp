#include "vouchers/voucherwrites.h"

#include "bankrec/clearingcheck.h"
#include "db/audittrail.h"
#include "db/money.h"
#include "vouchers/periodlock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QSqlRecord>
#include <vector>

namespace qv {

namespace {
// The columns of an image's query, named once per query rather than once per row; an amount
// column is named as the caller spells it, whatever case the backend returns.
struct ImageColumns {
    QStringList names;
    std::vector<bool> amount;

    ImageColumns(const QSqlQuery& q, const QStringList& amounts)
    {
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i) {
            QString name = rec.fieldName(i);
            bool isAmount = false;
            for (const QString& a : amounts)
                if (a.compare(name, Qt::CaseInsensitive) == 0)
                    name = a, isAmount = true;
            names << name;
            amount.push_back(isAmount);
        }
    }
};

// One row as JSON: amounts as exact decimal text, dates as yyyy-mm-dd, keys in a fixed order.
QJsonObject rowObject(Connection& c, const QSqlQuery& q, const ImageColumns& cols)
{
    QJsonObject o;
    for (int i = 0; i < cols.names.size(); ++i) {
        const QString& name = cols.names[i];
        const QVariant v = q.value(i);
        if (v.isNull())
            o.insert(name, QJsonValue::Null);
        else if (cols.amount[size_t(i)])
            o.insert(name, plainAmount(c.moneyOrZero(v)));
        else if (v.metaType() == QMetaType::fromType<QDate>() || v.metaType() == QMetaType::fromType<QDateTime>())
            o.insert(name, v.toDate().toString(Qt::ISODate));
        else if (v.metaType() == QMetaType::fromType<QString>())
            o.insert(name, v.toString());
        else
            o.insert(name, v.toLongLong());
    }
    return o;
}
} // namespace

QString VoucherWrites::key(const QString& kind, qint64 number)
{
    return QStringLiteral("%1-%2").arg(kind).arg(number);
}

QString VoucherWrites::image(Connection& c, const QString& kind, qint64 number)
{
    // Column names spelled out: PostgreSQL folds them, and the images must not differ by backend.
    QJsonObject v;
    c.eachRow(QStringLiteral("select RowID as \"RowID\", VouNo as \"VouNo\", VouStatus as \"VouStatus\", "
                             "VouDate as \"VouDate\", PaidReceive as \"PaidReceive\", TotalAmount as "
                             "\"TotalAmount\", Login as \"Login\", ChecqNo as \"ChecqNo\" from MasJV "
                             "where VouStatus = ? and VouNo = ?"),
              {kind, number}, [&](QSqlQuery& m) {
                  if (m.next())
                      v = rowObject(c, m, ImageColumns(m, {QStringLiteral("TotalAmount")}));
              });
    if (v.isEmpty())
        return {};
    QJsonArray lines;
    c.eachRow(QStringLiteral("select EntryNo as \"EntryNo\", AcCode as \"AcCode\", CrAc as \"CrAc\", "
                             "VouDate as \"VouDate\", DrAmt as \"DrAmt\", CrAmt as \"CrAmt\", ChecqNo as "
                             "\"ChecqNo\", Naration as \"Naration\", FileNo as \"FileNo\", BillNo as "
                             "\"BillNo\" from DetJV where VouStatus = ? and VouNo = ? order by RowID"),
              {kind, number}, [&](QSqlQuery& d) {
                  const ImageColumns columns(d, {QStringLiteral("DrAmt"), QStringLiteral("CrAmt")});
                  while (d.next())
                      lines.append(rowObject(c, d, columns));
              });
    v.insert(QStringLiteral("lines"), lines);
    return QString::fromUtf8(QJsonDocument(v).toJson(QJsonDocument::Compact));
}

void VoucherWrites::before(VoucherChange change)
{
    using A = VoucherChange::Action;
    if (change.action == A::Changed || change.action == A::Deleted) {
        if (change.rowId > 0) {
            // The stored voucher the window opened, found by its identity.
            QSqlQuery q = m_c.query(QStringLiteral("select VouDate, VouNo from MasJV where RowID = ?"), {change.rowId});
            if (q.next() && !change.oldDate.isValid())
                change.oldDate = q.value(0).toDate();
        } else if (!change.oldDate.isValid()) {
            change.oldDate = m_c.scalar(QStringLiteral("select VouDate from MasJV where VouStatus = ? and VouNo = ?"),
                                        {change.kind, change.number})
                                 .toDate();
        }
    }
    PeriodLock(m_c).check(change.oldDate, change.newDate);
    if (change.action == A::Changed || change.action == A::Deleted)
        BankClearings::refuseClearedVoucher(m_c, change.kind, change.number);
    m_change = change;
    if (change.action == A::Changed || change.action == A::Deleted)
        m_before = image(m_c, change.kind, change.number);
    AuditTrail(m_c).declare();
}

void VoucherWrites::after(qint64 storedNumber)
{
    using A = VoucherChange::Action;
    const qint64 number = storedNumber > 0 ? storedNumber : m_change.number;
    QString action;
    switch (m_change.action) {
    case A::Saved:
        action = number == m_change.number ? QStringLiteral("voucher saved") : QStringLiteral("voucher renumbered");
        break;
    case A::Changed:
        action = QStringLiteral("voucher changed");
        break;
    case A::Deleted:
        action = QStringLiteral("voucher deleted");
        break;
    case A::Removed:
        return; // Remove Data records its counts itself
    }
    const QString afterImage = m_change.action == A::Deleted ? QString() : image(m_c, m_change.kind, number);
    AuditTrail(m_c).append(action, QStringLiteral("MasJV"), key(m_change.kind, number), m_before, afterImage);
}

} // namespace qv
