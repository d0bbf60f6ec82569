#include "vouchers/vouchersearch.h"

namespace qv {

// The line rows of a voucher: on the side the kind's lines are stored, with a contra account.
// Cash receive stores its lines as credits (the debit is its one cash row).
QString voucherLineCount(VoucherKind k)
{
    const QString side = k == VoucherKind::CR ? QStringLiteral("CrAmt") : QStringLiteral("DrAmt");
    return QStringLiteral("(select count(*) from DetJV d where d.VouStatus = m.VouStatus and d.VouNo = m.VouNo "
                          "and d.%1 > 0 and d.CrAc is not null)")
        .arg(side);
}

std::vector<FoundVoucher> VoucherSearch::find(VoucherKind k, const VoucherCriterion& c, qint64 after, int limit)
{
    QString where = QStringLiteral("m.VouStatus = ? and m.VouNo > ?");
    QVariantList params{voucherKind(k).code, after};
    switch (c.by) {
    case VoucherCriterion::By::Number:
        if (!c.text.isEmpty()) {
            where += QStringLiteral(" and CAST(m.VouNo AS TEXT) like ? escape '\\'");
            params << containsPattern(c.text);
        }
        break;
    case VoucherCriterion::By::Date:
        where += QStringLiteral(" and m.VouDate = ?");
        params << c.day;
        break;
    case VoucherCriterion::By::Party:
        if (c.text.isEmpty()) {
            where += QStringLiteral(" and m.PaidReceive is not null"); // as "%%" would find them
        } else {
            // lower() on both sides: SQLite's own LIKE would ignore the case of A-Z only.
            where += QStringLiteral(" and ") + likeContains(QStringLiteral("m.PaidReceive"));
            params << containsPattern(c.text);
        }
        break;
    }
    QString sql = QStringLiteral("select m.VouNo, m.VouDate, m.PaidReceive, m.TotalAmount, %1 from MasJV m where %2 "
                                 "order by m.VouNo")
                      .arg(voucherLineCount(k), where);
    if (limit > 0) {
        sql += QStringLiteral(" limit ?");
        params << limit;
    }
    QSqlQuery q = m_c.query(sql, params);
    std::vector<FoundVoucher> rows;
    if (limit > 0)
        rows.reserve(size_t(limit));
    while (q.next()) {
        FoundVoucher& r = rows.emplace_back();
        r.number = q.value(0).toLongLong();
        r.date = q.value(1).toDate();
        r.party = q.value(2).toString();
        r.total = m_c.money(q.value(3));
        r.multi = q.value(4).toLongLong() > 1;
    }
    return rows;
}

QString FoundVoucher::operator[](int column) const
{
    switch (column) {
    case 0:
        return QString::number(number);
    case 1:
        return date.toString(QStringLiteral("dd-MM-yyyy"));
    case 2:
        return party;
    case 3:
        return total ? displayAmount(*total) : QString();
    case 4:
        return multi ? QStringLiteral("M") : QString();
    }
    return {};
}

} // namespace qv
