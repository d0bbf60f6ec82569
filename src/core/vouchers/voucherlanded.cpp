// A save whose COMMIT went out on a link that broke: the voucher is looked for by its identity
// (MasJV.RowID, which a server never uses again) and by what it holds.
#include "vouchers/voucherstore.h"

#include <QSqlQuery>

namespace qv {

SaveResult VoucherStore::settleLostCommit(const Voucher& v, bool isNew, SaveResult result)
{
    PendingSave pending{v, isNew, result};
    pending.voucher.number = result.number;
    bool saved = false;
    try {
        saved = landed(pending); // opens the connection again, through the Data Source's list
    } catch (const DbError& again) {
        if (!again.isLinkLost())
            throw;
        throw SaveOutcomeUnknown(
            QStringLiteral("The connection to the server was lost while voucher %1%2 was being saved, and no "
                           "server answers now: whether it was saved is not known yet. Its lines are still here. "
                           "Press Save again when the server is back: the voucher is looked for first and never "
                           "saved twice.\n(%3)")
                .arg(voucherKind(v.kind).prefix)
                .arg(result.number)
                .arg(again.description().section(QLatin1Char('\n'), -1).trimmed()),
            pending);
    }
    if (!saved)
        throw SaveNotLanded(QStringLiteral("The connection to the server was lost while voucher %1%2 was being saved. "
                                           "It was opened again (now on %3) and the voucher is not there: nothing was "
                                           "saved. Its lines are still here; press Save to save it.")
                                .arg(voucherKind(v.kind).prefix)
                                .arg(result.number)
                                .arg(m_c.serverName()),
                            pending);
    result.checkedAfterLoss = true;
    return result;
}

bool VoucherStore::sameContent(const Voucher& a, const Voucher& b)
{
    if (a.kind != b.kind || a.date != b.date || a.party != b.party || a.lines.size() != b.lines.size())
        return false;
    for (size_t i = 0; i < a.lines.size(); ++i) {
        const VoucherLine &x = a.lines[i], &y = b.lines[i];
        if (x.drAc != y.drAc || x.crAc != y.crAc || x.amount != y.amount || x.cheque != y.cheque
            || x.narration != y.narration || x.fileNo != y.fileNo || x.billNo != y.billNo)
            return false;
    }
    return true;
}

bool VoucherStore::holds(const Voucher& v)
{
    const std::optional<Voucher> stored = open(v.kind, v.number);
    if (!stored || !sameContent(*stored, v))
        return false;
    // Whole: every detail row of the voucher, not only the lines' side.
    const qint64 rows = m_c.scalar(QStringLiteral("select count(*) from DetJV where VouStatus = ? and VouNo = ?"),
                                   {voucherKind(v.kind).code, v.number})
                            .toLongLong();
    return rows == qint64(detailRows(v, v.total()).size());
}

bool VoucherStore::landed(const PendingSave& p)
{
    const Voucher& v = p.voucher;
    // By its identity: the master row the insert made, or the one the change was written to.
    QSqlQuery q = m_c.query(QStringLiteral("select VouStatus, VouNo from MasJV where RowID = ?"), {p.result.rowId});
    const bool there =
        q.next() && q.value(0).toString() == voucherKind(v.kind).code && q.value(1).toLongLong() == v.number;
    q.finish();
    if (!there)
        return false; // a new voucher that never landed (identities are never used again)
    if (holds(v))
        return true;
    if (p.isNew)
        throw DbError(QStringLiteral("Voucher %1%2 was found by its identity but does not hold what was sent; please "
                                     "check it.")
                          .arg(voucherKind(v.kind).prefix)
                          .arg(v.number));
    return false; // the change did not land: the voucher holds what it held before
}

} // namespace qv
