#include "masters/companystore.h"

#include "db/audittrail.h"

#include "db/recordset.h"

namespace qv {

namespace {
const QString Columns =
    QStringLiteral("CompCode, Company, comTel, comFax, comAddr, comActive, comTax, comNTN, comEmail, comWebSite");

// Only the profile's own columns may be written through `save`.
bool writable(const QString& column)
{
    static const QStringList names = {"Company", "comTel", "comFax",   "comAddr",
                                      "comTax",  "comNTN", "comEmail", "comWebSite"};
    return names.contains(column, Qt::CaseInsensitive);
}
} // namespace

QList<CompanyRow> CompanyStore::search(const QString& typed)
{
    RecordSet rs;
    if (typed.isEmpty())
        rs.open(QStringLiteral("select %1 from Company order by Company, CompCode").arg(Columns), m_c);
    else
        rs.open(QStringLiteral("select %1 from Company where %2 order by Company, CompCode")
                    .arg(Columns, likeContains(QStringLiteral("Company"))),
                m_c, {containsPattern(typed)});
    QList<CompanyRow> out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        CompanyRow r;
        r.compCode = rs.field(QStringLiteral("CompCode")).toLongLong();
        r.company = rs.text(QStringLiteral("Company"));
        r.comTel = rs.text(QStringLiteral("comTel"));
        r.comFax = rs.text(QStringLiteral("comFax"));
        r.comAddr = rs.text(QStringLiteral("comAddr"));
        r.comActive = rs.text(QStringLiteral("comActive"));
        r.comTax = rs.text(QStringLiteral("comTax"));
        r.comNTN = rs.text(QStringLiteral("comNTN"));
        r.comEmail = rs.text(QStringLiteral("comEmail"));
        r.comWebSite = rs.text(QStringLiteral("comWebSite"));
        out << r;
    }
    return out;
}

qint64 CompanyStore::save(std::optional<qint64> compCode, const QVariantMap& columns, bool makeActive)
{
    for (auto it = columns.begin(); it != columns.end(); ++it)
        if (!writable(it.key()))
            throw DbError(QStringLiteral("The company profile has no column \"%1\".").arg(it.key()));

    Transaction tx(m_c);
    AuditTrail(m_c).declare();
    const QString before = AuditTrail::rowsImage(m_c, QStringLiteral("Company"));
    // The reports print the one active company: the flag moves, it is never shared.
    if (makeActive)
        m_c.execute(QStringLiteral("update Company set comActive = null"));
    RecordSet rs;
    if (compCode) {
        rs.open(QStringLiteral("select * from Company where CompCode = ?"), m_c, {*compCode});
        if (rs.recordCount() < 1)
            throw DbError(QStringLiteral("This company is no longer stored; another user may have deleted it."));
        rs.moveFirst();
    } else {
        rs.open(QStringLiteral("select * from Company where 0 = 1"), m_c);
        rs.addNew();
    }
    for (auto it = columns.begin(); it != columns.end(); ++it)
        rs.setField(it.key(), it.value());
    if (makeActive)
        rs.setField(QStringLiteral("comActive"), QStringLiteral("Y"));
    rs.update();
    const qint64 code = rs.field(QStringLiteral("CompCode")).toLongLong();
    AuditTrail(m_c).append(QStringLiteral("company saved"), QStringLiteral("Company"), QString::number(code), before,
                           AuditTrail::rowsImage(m_c, QStringLiteral("Company")));
    tx.commit();
    return code;
}

void CompanyStore::remove(qint64 compCode)
{
    Transaction tx(m_c);
    AuditTrail(m_c).declare();
    const QString before =
        AuditTrail::rowsImage(m_c, QStringLiteral("Company"), QStringLiteral("CompCode = ?"), {compCode}, true);
    if (m_c.execute(QStringLiteral("delete from Company where CompCode = ?"), {compCode}) > 0)
        AuditTrail(m_c).append(QStringLiteral("company deleted"), QStringLiteral("Company"), QString::number(compCode),
                               before, {});
    tx.commit();
}

} // namespace qv
