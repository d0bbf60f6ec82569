#include "setup/vousettingstore.h"

#include "db/audittrail.h"

#include "db/recordset.h"
#include "db/tables.h"

#include <QRegularExpression>

namespace qv {

namespace {
// Names only of subsidiary accounts: a code that names no such account shows an empty box.
QString titleOf(const QString& column)
{
    return QStringLiteral("(select a.AcName from Accounts a where a.AcStatus = 'DD' and a.RowID = v.%1)").arg(column);
}
} // namespace

QList<VouSettingRow> VouSettingStore::load()
{
    const QString sql = QStringLiteral("select v.VouNo, %1 as AcTitle, %2 as OthAC, %3 as IncomeAC, %4 as SalTaxAC, "
                                       "v.AcStatus, v.AcCode, v.Fix, v.VouStatus, v.OthAcCode, v.ITaxAC, v.STaxAC "
                                       "from VouSetting v order by v.RowID")
                            .arg(titleOf(QStringLiteral("AcCode")), titleOf(QStringLiteral("OthAcCode")),
                                 titleOf(QStringLiteral("ITaxAC")), titleOf(QStringLiteral("STaxAC")));
    RecordSet rs;
    rs.open(sql, m_c);
    QList<VouSettingRow> out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        VouSettingRow r;
        r.vouStatus = rs.text(QStringLiteral("VouStatus"));
        r.vouNo = rs.field(QStringLiteral("VouNo"));
        r.acCode = rs.field(QStringLiteral("AcCode"));
        r.acStatus = rs.field(QStringLiteral("AcStatus"));
        r.fix = rs.field(QStringLiteral("Fix"));
        r.othAcCode = rs.field(QStringLiteral("OthAcCode"));
        r.iTaxAc = rs.field(QStringLiteral("ITaxAC"));
        r.sTaxAc = rs.field(QStringLiteral("STaxAC"));
        r.acTitle = rs.text(QStringLiteral("AcTitle"));
        r.othAc = rs.text(QStringLiteral("OthAC"));
        r.incomeAc = rs.text(QStringLiteral("IncomeAC"));
        r.salTaxAc = rs.text(QStringLiteral("SalTaxAC"));
        out << r;
    }
    return out;
}

void VouSettingStore::replaceAll(const QList<VouSettingRow>& rows)
{
    constexpr int n = int(sizeof(tbl::VouSettingCodes) / sizeof(tbl::VouSettingCodes[0]));
    bool shaped = rows.size() == n;
    for (int i = 0; shaped && i < n; ++i)
        shaped = rows[i].vouStatus == QLatin1String(tbl::VouSettingCodes[i]);
    if (!shaped)
        throw DbError(QStringLiteral("The voucher setup must hold one row for each of its %1 document kinds.").arg(n));

    Transaction tx(m_c);
    AuditTrail(m_c).declare();
    const QString before = AuditTrail::rowsImage(m_c, QStringLiteral("VouSetting"));
    m_c.execute(QStringLiteral("delete from VouSetting"));
    for (const VouSettingRow& r : rows)
        m_c.execute(
            QStringLiteral("insert into VouSetting (VouStatus, VouNo, AcCode, AcStatus, Fix, OthAcCode, ITaxAC, "
                           "STaxAC) values (?, ?, ?, ?, ?, ?, ?, ?)"),
            {r.vouStatus, r.vouNo, r.acCode, r.acStatus, r.fix, r.othAcCode, r.iTaxAc, r.sTaxAc});
    AuditTrail(m_c).append(QStringLiteral("voucher setup saved"), QStringLiteral("VouSetting"), {}, before,
                           AuditTrail::rowsImage(m_c, QStringLiteral("VouSetting")));
    tx.commit();
}

std::optional<QVariant> VouSettingStore::parseStartNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QVariant();
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(t).hasMatch())
        return std::nullopt;
    return QVariant(t.toLongLong());
}

QVariant VouSettingStore::accountFromTag(const QString& tag)
{
    const QString t = tag.trimmed();
    if (t.isEmpty())
        return {};
    bool ok = false;
    const qint64 id = t.toLongLong(&ok);
    if (!ok || id <= 0)
        throw DbError(QStringLiteral("\"%1\" does not name an account.").arg(tag));
    return QVariant(id);
}

} // namespace qv
