#include "masters/finderstore.h"

#include "db/recordset.h"

namespace qv {

QList<FinderRow> FinderStore::search(const QString& findType, const QString& typed)
{
    QString sql = QStringLiteral("select RowID, AcNodes, AcName, OpenBal, Contact, Fax, Addr, Addr2 from Accounts "
                                 "where AcStatus = 'DD' and DeleteStatus = 'N'");
    if (findType == QLatin1String("B"))
        sql += QStringLiteral(" and BStatus = 'B'");
    sql += QStringLiteral(" and ") + likeContains(QStringLiteral("AcName")) + QStringLiteral(" order by AcName, RowID");

    RecordSet rs;
    rs.open(sql, m_c, {containsPattern(typed)});
    QList<FinderRow> out;
    out.reserve(rs.recordCount());
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        FinderRow r;
        r.rowId = rs.field(QStringLiteral("RowID")).toLongLong();
        r.acNodes = rs.text(QStringLiteral("AcNodes"));
        r.acName = rs.text(QStringLiteral("AcName"));
        if (!rs.isNull(QStringLiteral("OpenBal")))
            r.openBal = rs.money(QStringLiteral("OpenBal"));
        r.contact = rs.text(QStringLiteral("Contact"));
        r.fax = rs.text(QStringLiteral("Fax"));
        r.addr = rs.text(QStringLiteral("Addr"));
        r.addr2 = rs.text(QStringLiteral("Addr2"));
        out << r;
    }
    return out;
}

} // namespace qv
