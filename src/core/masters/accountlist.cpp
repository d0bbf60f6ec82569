#include "masters/accountlist.h"

#include "db/connection.h"

#include <QSqlQuery>

namespace qv {

QString AccountList::stamp()
{
    // Embedded: rows changed by this connection, commits by any other. Server: every change of
    // an Accounts row gives it a new row version, and a removal changes the count.
    QSqlQuery q =
        m_c.query(m_c.backend() == Backend::Sqlite
                      ? QStringLiteral("SELECT total_changes(), data_version FROM pragma_data_version()")
                      : QStringLiteral("SELECT count(*), COALESCE(sum(CAST(CAST(xmin AS TEXT) AS BIGINT)), 0) "
                                       "FROM Accounts"));
    return q.next() ? q.value(0).toString() + QLatin1Char('/') + q.value(1).toString() : QString();
}

void AccountList::load()
{
    QSqlQuery q =
        m_c.query(QStringLiteral("SELECT RowID, AcNodes, AcName, Location, Contact, Fax, Email, OpenBal, "
                                 "Addr, Addr2, lower(AcName), CASE WHEN DeleteStatus = 'N' THEN 1 ELSE 0 END, "
                                 "CASE WHEN BStatus = 'B' THEN 1 ELSE 0 END FROM Accounts "
                                 "WHERE AcStatus = ? ORDER BY AcName, RowID"),
                  {QStringLiteral("DD")});
    auto rows = std::make_shared<std::vector<ListedAccount>>();
    rows->reserve(m_accounts->size());
    while (q.next()) {
        ListedAccount& a = rows->emplace_back();
        a.rowId = q.value(0).toLongLong();
        a.acNodes = q.value(1).toString();
        a.acName = q.value(2).toString();
        a.named = !q.value(2).isNull();
        a.location = q.value(3).toString();
        a.contact = q.value(4).toString();
        a.fax = q.value(5).toString();
        a.email = q.value(6).toString();
        a.openBal = m_c.money(q.value(7));
        a.addr = q.value(8).toString();
        a.addr2 = q.value(9).toString();
        a.folded = q.value(10).toString();
        a.active = q.value(11).toInt() == 1;
        a.bank = q.value(12).toInt() == 1;
    }
    m_accounts = std::move(rows);
}

QString AccountList::fold(const QString& typed)
{
    // The embedded book's lower() is QString::toLower (db/sqlitefold.cpp); a server's depends on
    // its locale, so it is asked.
    if (m_c.backend() == Backend::Sqlite)
        return typed.toLower();
    if (typed != m_foldedFor || m_folded.isNull()) {
        m_folded = m_c.scalar(QStringLiteral("SELECT lower(CAST(? AS TEXT))"), {typed}).toString();
        m_foldedFor = typed;
    }
    return m_folded;
}

AccountMatches AccountList::find(const QString& typed, Scope scope)
{
    const QString now = stamp();
    if (now != m_stamp || now.isEmpty()) {
        load();
        m_stamp = now;
    }
    const QString key = typed.isEmpty() ? QString() : fold(typed);
    AccountMatches out{m_accounts, {}};
    const std::vector<ListedAccount>& all = *m_accounts;
    for (size_t i = 0; i < all.size(); ++i) {
        const ListedAccount& a = all[i];
        if (!a.named || (scope != Scope::Chart && !a.active) || (scope == Scope::FinderBanks && !a.bank))
            continue;
        if (key.isEmpty() || a.folded.contains(key))
            out.rows.push_back(int(i));
    }
    return out;
}

} // namespace qv
