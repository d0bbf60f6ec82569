#include "vouchers/vouchersearch.h"

namespace qv {

namespace {
// The line rows of a voucher: on the side the kind's lines are stored, with a contra account.
// Cash receive stores its lines as credits (the debit is its one cash row).
QString lineCount(VoucherKind k)
{
    const QString side = k == VoucherKind::CR ? QStringLiteral("CrAmt") : QStringLiteral("DrAmt");
    return QStringLiteral("(select count(*) from DetJV d where d.VouStatus = m.VouStatus and d.VouNo = m.VouNo "
                          "and d.%1 > 0 and d.CrAc is not null)")
        .arg(side);
}
} // namespace

std::vector<FoundVoucher> VoucherSearch::byNumber(VoucherKind k, const QString& typed)
{
    if (typed.isEmpty())
        return run(k, {}, {});
    return run(k, QStringLiteral("CAST(m.VouNo AS TEXT) like ? escape '\\'"), {containsPattern(typed)});
}

std::vector<FoundVoucher> VoucherSearch::byDate(VoucherKind k, const QDate& day)
{
    return run(k, QStringLiteral("m.VouDate = ?"), {day});
}

std::vector<FoundVoucher> VoucherSearch::byParty(VoucherKind k, const QString& typed)
{
    if (typed.isEmpty()) // "%%" finds every voucher with a party; a null party is not found
        return run(k, QStringLiteral("m.PaidReceive is not null"), {});
    return run(k, likeContains(QStringLiteral("m.PaidReceive")), {containsPattern(typed)});
}

std::vector<FoundVoucher> VoucherSearch::run(VoucherKind k, const QString& condition, QVariantList params)
{
    params.prepend(voucherKind(k).code);
    const QString sql = QStringLiteral("select m.VouNo, m.VouDate, m.PaidReceive, m.TotalAmount, %1 "
                                       "from MasJV m where m.VouStatus = ?%2 order by m.VouNo")
                            .arg(lineCount(k), condition.isEmpty() ? QString() : QStringLiteral(" and ") + condition);
    QSqlQuery q = m_c.query(sql, params);
    const bool cents = m_c.backend() == Backend::Sqlite;
    std::vector<FoundVoucher> rows;
    while (q.next()) {
        FoundVoucher& r = rows.emplace_back();
        r.number = q.value(0).toLongLong();
        r.date = q.value(1).toDate();
        r.party = q.value(2).toString();
        r.total = moneyFromVariant(q.value(3), cents);
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
