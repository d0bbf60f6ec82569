#include "masters/accountstore.h"
#include "masters/accountclasses.h"

#include "db/audittrail.h"

#include "masters/accountcodes.h"
#include "db/retry.h"
#include "db/schema.h"

#include <QSet>
#include <algorithm>

namespace qv {

using namespace accounts;

namespace {
const QString RowSql = QStringLiteral("select * from Accounts where RowID = ?");
const QString NodeColumns = QStringLiteral("select RowID, AcStatus, ParentID, AcNodes, AcName from Accounts");

AccountNode nodeFrom(const QSqlQuery& q)
{
    return AccountNode{q.value(0).toLongLong(), q.value(1).toString().trimmed(), q.value(2).toString().trimmed(),
                       q.value(3).toString().trimmed(), q.value(4).toString()};
}

// A bound box may store any detail column, never the columns that place the account in the chart.
bool isStructural(const QString& column)
{
    static const QSet<QString> cols = {QStringLiteral("rowid"),    QStringLiteral("acnodes"),
                                       QStringLiteral("acstatus"), QStringLiteral("parentid"),
                                       QStringLiteral("dcode"),    QStringLiteral("deletestatus")};
    return cols.contains(column.toLower());
}

QString likePrefix(const QString& code)
{
    QString t = code.trimmed();
    t.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    t.replace(QLatin1Char('%'), QLatin1String("\\%"));
    t.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return t + QStringLiteral(".%");
}
} // namespace

std::vector<AccountNode> AccountStore::treeRows()
{
    std::vector<AccountNode> rows;
    QSqlQuery q = m_c.query(NodeColumns);
    while (q.next()) {
        AccountNode n = nodeFrom(q);
        if (levelOf(n.status) != 0)
            rows.push_back(std::move(n));
    }
    std::sort(rows.begin(), rows.end(),
              [](const AccountNode& a, const AccountNode& b) { return codeLess(a.code, b.code); });
    return rows;
}

std::optional<AccountNode> AccountStore::node(qint64 rowId)
{
    QSqlQuery q = m_c.query(NodeColumns + QStringLiteral(" where RowID = ?"), {rowId});
    if (!q.next())
        return std::nullopt;
    return nodeFrom(q);
}

RecordSet AccountStore::load(qint64 rowId)
{
    RecordSet rs;
    rs.open(RowSql, m_c, {rowId});
    return rs;
}

std::optional<QString> AccountStore::titleByCode(const QString& code)
{
    QSqlQuery q = m_c.query(QStringLiteral("select AcName from Accounts where AcNodes = ?"), {code.trimmed()});
    if (!q.next())
        return std::nullopt;
    return q.value(0).toString();
}

std::optional<QPair<QString, QString>> AccountStore::titleAndParentByCode(const QString& code)
{
    QSqlQuery q =
        m_c.query(QStringLiteral("select AcName, ParentID from Accounts where AcNodes = ?"), {code.trimmed()});
    if (!q.next())
        return std::nullopt;
    return QPair<QString, QString>(q.value(0).toString(), q.value(1).toString());
}

QString AccountStore::nextControlCode()
{
    const QVariant v = m_c.scalar(QStringLiteral("select COALESCE(max(CAST(ParentID AS BIGINT)), 0) + 1 from Accounts "
                                                 "where AcStatus = ?"),
                                  {Control});
    return QString::number(v.toLongLong());
}

int AccountStore::nextDcode(const QString& parentCode)
{
    // The head itself (Dcode 0 for a control account) and the accounts under it.
    const qint64 d = m_c.scalar(QStringLiteral("select COALESCE(max(Dcode), 0) + 1 from Accounts "
                                               "where rtrim(ParentID) = ?"),
                                {parentCode.trimmed()})
                         .toLongLong();
    if (d > MaxDcode)
        throw DbError(QStringLiteral("No more accounts can be added under %1: its numbers are used up to %2.")
                          .arg(parentCode.trimmed())
                          .arg(MaxDcode));
    return int(d);
}

template <class F> auto AccountStore::allocate(F&& attempt) -> decltype(attempt())
{
    // A code that another station took between reading the highest number and inserting is
    // not inserted (the insert does nothing on a clash of AcNodes); the number is read again,
    // in the same transaction, which by then sees the other station's row.
    return withRetry(m_c, MaxAttempts,
                     QStringLiteral("No free account code was found: other stations kept taking them. Please save "
                                    "again."),
                     [&] {
                         auto result = attempt();
                         if (result && result->rowId <= 0)
                             throw KeyTaken();
                         return result;
                     });
}

QString AccountStore::accountImage(qint64 rowId)
{
    return AuditTrail::rowsImage(m_c, QStringLiteral("Accounts"), QStringLiteral("RowID = ?"), {rowId}, true);
}

qint64 AccountStore::insertAccount(const QList<QPair<QString, QVariant>>& columns)
{
    static const QSet<QString> known = [] {
        QSet<QString> s;
        for (const ColumnDef& c : Schema::findTable(QStringLiteral("Accounts"))->columns)
            s << QString::fromLatin1(c.name).toLower();
        return s;
    }();
    QStringList names, marks;
    QVariantList params;
    for (const auto& [column, value] : columns) {
        // Names come from the program (and the bound boxes' data fields), never from typed text.
        if (!known.contains(column.toLower()) || column.toLower() == QLatin1String("rowid"))
            throw DbError(QStringLiteral("Accounts has no column %1.").arg(column));
        names << column;
        marks << QStringLiteral("?");
        params << value;
    }
    Transaction tx(m_c);
    AuditTrail(m_c).declare();
    QSqlQuery q = m_c.query(QStringLiteral("insert into Accounts (%1) values (%2) on conflict (AcNodes) do nothing "
                                           "returning RowID")
                                .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                            params);
    const qint64 rowId = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    if (rowId > 0)
        AuditTrail(m_c).append(QStringLiteral("account added"), QStringLiteral("Accounts"), QString::number(rowId), {},
                               accountImage(rowId));
    tx.commit();
    return rowId;
}

QVariant AccountStore::orderValue(const QString& order) const
{
    const QString t = order.trimmed();
    if (t.isEmpty())
        return {};
    bool ok = false;
    const qlonglong n = t.toLongLong(&ok);
    if (!ok || t.size() > 9 || n < 0)
        throw DbError(QStringLiteral("The order number \"%1\" is not a whole number.").arg(order));
    return n;
}

AddedAccount AccountStore::addControl(const QString& title, const QString& order)
{
    const QVariant orderStatus = orderValue(order);
    return *allocate([&]() -> std::optional<AddedAccount> {
        const QString code = nextControlCode();
        const qint64 id = insertAccount({{QStringLiteral("ParentID"), code},
                                         {QStringLiteral("Dcode"), 0},
                                         {QStringLiteral("AcNodes"), code},
                                         {QStringLiteral("AcName"), title},
                                         {QStringLiteral("AcStatus"), Control},
                                         {QStringLiteral("OrderStatus"), orderStatus}});
        return AddedAccount{id, code, 0};
    });
}

std::optional<qint64> AccountStore::headOf(qint64 rowId, const QString& status, QString* code)
{
    // On the server the head is held while its new account goes in: a deletion of the head at
    // the same moment waits for it, and so does another station adding under the same head (a
    // shared lock let both read the same highest code and one of them run out of retries).
    const QString lock = m_c.backend() == Backend::Postgres ? QStringLiteral(" for update") : QString();
    QSqlQuery q =
        m_c.query(QStringLiteral("select AcStatus, ParentID, AcNodes from Accounts where RowID = ?") + lock, {rowId});
    if (!q.next() || q.value(0).toString().trimmed() != status)
        return std::nullopt;
    // A sub-control account hangs under the control account's ParentID, a subsidiary account
    // under the sub-control account's code.
    *code = (status == Control ? q.value(1) : q.value(2)).toString().trimmed();
    return rowId;
}

std::optional<AddedAccount> AccountStore::addSubControl(qint64 controlRowId, const QString& title)
{
    return allocate([&]() -> std::optional<AddedAccount> {
        QString parent;
        if (!headOf(controlRowId, Control, &parent))
            return std::nullopt;
        const int d = nextDcode(parent);
        const QString code = childCode(parent, d);
        const qint64 id = insertAccount({{QStringLiteral("ParentID"), parent},
                                         {QStringLiteral("Dcode"), d},
                                         {QStringLiteral("AcNodes"), code},
                                         {QStringLiteral("AcStatus"), SubControl},
                                         {QStringLiteral("AcName"), title}});
        return AddedAccount{id, code, d};
    });
}

std::optional<AddedAccount> AccountStore::addSubsidiary(qint64 subControlRowId, const SubsidiaryInput& in)
{
    const auto details = subsidiaryColumns(in);
    return allocate([&]() -> std::optional<AddedAccount> {
        QString parent;
        if (!headOf(subControlRowId, SubControl, &parent))
            return std::nullopt;
        const int d = nextDcode(parent);
        const QString code = childCode(parent, d);
        QList<QPair<QString, QVariant>> cols = {{QStringLiteral("ParentID"), parent},
                                                {QStringLiteral("Dcode"), d},
                                                {QStringLiteral("AcNodes"), code},
                                                {QStringLiteral("AcStatus"), Subsidiary}};
        cols += details;
        return AddedAccount{insertAccount(cols), code, d};
    });
}

qint64 AccountStore::addWithCode(const QString& code, const QString& title, const SubsidiaryInput* details)
{
    const int level = int(code.count(QLatin1Char('.'))) + 1;
    const QString parent = level == 1 ? code : code.section(QLatin1Char('.'), 0, -2);
    QList<QPair<QString, QVariant>> cols = {{QStringLiteral("ParentID"), parent},
                                            {QStringLiteral("Dcode"), level == 1 ? 0 : code.section('.', -1).toInt()},
                                            {QStringLiteral("AcNodes"), code},
                                            {QStringLiteral("AcStatus"), level == 1   ? Control
                                                                         : level == 2 ? SubControl
                                                                                      : Subsidiary}};
    if (details)
        cols += subsidiaryColumns(*details);
    else
        cols.append({QStringLiteral("AcName"), title});
    return insertAccount(cols);
}

QList<QPair<QString, QVariant>> AccountStore::subsidiaryColumns(const SubsidiaryInput& in) const
{
    QList<QPair<QString, QVariant>> cols = {
        {QStringLiteral("openDate"), in.openDate.isValid() ? QVariant(in.openDate) : QVariant()},
        {QStringLiteral("AcName"), in.title}};
    for (const auto& [column, text] : in.fields) {
        if (isStructural(column))
            throw DbError(QStringLiteral("The column %1 cannot be written from an entry box.").arg(column));
        QVariant v = text.isEmpty() ? QVariant() : QVariant(text);
        if (!text.isEmpty() && Schema::kindOf(column) == ColKind::Amount) {
            const auto m = parseAmount(text);
            if (!m)
                throw DbError(QStringLiteral("\"%1\" is not an amount.").arg(text));
            v = QVariant::fromValue(*m);
        }
        cols.append({column, v});
    }
    if (in.gst)
        cols.append({QStringLiteral("GST"), *in.gst});
    if (in.ntn)
        cols.append({QStringLiteral("NTN"), *in.ntn});
    cols.append({QStringLiteral("BStatus"), in.bStatus.isEmpty() ? QVariant() : QVariant(in.bStatus)});
    return cols;
}

bool AccountStore::renameControl(qint64 rowId, const QString& title, const QString& order)
{
    const QVariant orderNo = orderValue(order);
    return changedAndRecorded(rowId, [&] {
        return m_c.execute(
                   QStringLiteral("update Accounts set AcName = ?, OrderStatus = ? where RowID = ? and AcStatus = ?"),
                   {title, orderNo, rowId, Control})
               > 0;
    });
}

bool AccountStore::renameSubControl(qint64 rowId, const QString& title)
{
    return changedAndRecorded(rowId, [&] {
        return m_c.execute(QStringLiteral("update Accounts set AcName = ? where RowID = ? and AcStatus = ?"),
                           {title, rowId, SubControl})
               > 0;
    });
}

bool AccountStore::changedAndRecorded(qint64 rowId, const std::function<bool()>& change)
{
    Transaction tx(m_c);
    AuditTrail(m_c).declare();
    const QString before = accountImage(rowId);
    const bool changed = change();
    if (changed)
        AuditTrail(m_c).append(QStringLiteral("account changed"), QStringLiteral("Accounts"), QString::number(rowId),
                               before, accountImage(rowId));
    tx.commit();
    return changed;
}

bool AccountStore::updateSubsidiary(qint64 rowId, const SubsidiaryInput& in)
{
    Transaction tx(m_c);
    AuditTrail(m_c).declare();
    RecordSet rs;
    rs.open(RowSql, m_c, {rowId});
    if (rs.recordCount() == 0 || rs.text(QStringLiteral("AcStatus")).trimmed() != Subsidiary)
        return false;
    rs.moveFirst();
    const QString before = accountImage(rowId);
    for (const auto& [column, value] : subsidiaryColumns(in))
        rs.setField(column, value);
    rs.update();
    AuditTrail(m_c).append(QStringLiteral("account changed"), QStringLiteral("Accounts"), QString::number(rowId),
                           before, accountImage(rowId));
    tx.commit();
    return true;
}

bool AccountStore::titleExists(const QString& title, qint64 exceptRowId)
{
    QString bare = title;
    bare.remove(QLatin1Char(' '));
    return m_c.scalar(QStringLiteral("select count(*) from Accounts where lower(replace(AcName, ' ', '')) = lower(?) "
                                     "and RowID <> ?"),
                      {bare, exceptRowId})
               .toLongLong()
           > 0;
}

DeleteCheck AccountStore::checkDelete(qint64 rowId)
{
    if (rowId <= 0)
        return DeleteCheck::NotSelected;
    const QString lock =
        m_c.inTransaction() && m_c.backend() == Backend::Postgres ? QStringLiteral(" for update") : QString();
    QSqlQuery q = m_c.query(QStringLiteral("select AcNodes from Accounts where RowID = ?") + lock, {rowId});
    if (q.next()) {
        // "1.%" and not "1%": the accounts under 1, not those under 10.
        const qint64 children =
            m_c.scalar(QStringLiteral("select count(*) from Accounts where AcNodes like ? escape '\\'"),
                       {likePrefix(q.value(0).toString())})
                .toLongLong();
        if (children > 0)
            return DeleteCheck::HasChildren;
    }
    if (m_c.scalar(QStringLiteral("select count(*) from DetJV where AcCode = ?"), {rowId}).toLongLong() > 0)
        return DeleteCheck::UsedInVouchers;
    return DeleteCheck::Allowed;
}

DeleteCheck AccountStore::deleteAccount(qint64 rowId)
{
    Transaction tx(m_c);
    AuditTrail(m_c).declare();
    const DeleteCheck check = checkDelete(rowId);
    if (check != DeleteCheck::Allowed)
        return check;
    AccountClasses(m_c).forgetDeletedHead(rowId);
    const QString before = accountImage(rowId);
    m_c.execute(QStringLiteral("delete from Accounts where RowID = ?"), {rowId});
    AuditTrail(m_c).append(QStringLiteral("account deleted"), QStringLiteral("Accounts"), QString::number(rowId),
                           before, {});
    tx.commit();
    return DeleteCheck::Allowed;
}

QString AccountStore::refusalText(DeleteCheck c)
{
    switch (c) {
    case DeleteCheck::NotSelected:
        return QStringLiteral("please select any one account");
    case DeleteCheck::HasChildren:
        return QStringLiteral("this head not remove ");
    case DeleteCheck::UsedInVouchers:
        return QStringLiteral("this Account use in vouceher detail ");
    case DeleteCheck::Allowed:
        break;
    }
    return {};
}

std::vector<FoundAccount> AccountStore::search(const QString& typed)
{
    // An empty box lists every subsidiary account with a title, as "%%" would, without the LIKE.
    const bool all = typed.isEmpty();
    QVariantList params = {Subsidiary};
    if (!all)
        params << containsPattern(typed);
    QSqlQuery q = m_c.query(QStringLiteral("select RowID, AcNodes, AcName, Location, Contact, Fax, Email, OpenBal, "
                                           "Addr, Addr2 from Accounts where AcStatus = ? and ")
                                + (all ? QStringLiteral("AcName is not null") : likeContains(QStringLiteral("AcName")))
                                + QStringLiteral(" order by AcName, RowID"),
                            params);
    std::vector<FoundAccount> rows;
    rows.reserve(m_mostFound);
    while (q.next()) {
        FoundAccount& r = rows.emplace_back();
        r.rowId = q.value(0).toLongLong();
        r.openBal = m_c.money(q.value(7));
        r.texts[1] = q.value(1).toString().trimmed();
        for (int c : {2, 3, 4, 5, 6, 8, 9})
            r.texts[c] = q.value(c).toString(); // a null gives an empty text
    }
    m_mostFound = std::max(m_mostFound, rows.size());
    return rows;
}

QString FoundAccount::operator[](int column) const
{
    if (column == 0)
        return QString::number(rowId);
    if (column == 7)
        return openBal ? displayAmount(*openBal) : QString();
    return column > 0 && column < 10 ? texts[column] : QString();
}

} // namespace qv
