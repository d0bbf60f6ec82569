#include "db/audittrail.h"

#include "db/money.h"
#include "db/schema.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>

namespace qv {

namespace {
// Fields of a record's content are separated by the unit separator, which no image (JSON
// escapes it) and no name holds.
const QChar Sep(0x1f);

QString text(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

// Stored as an empty text, never as null (the hash reads both as empty).
QString kept(const QString& t)
{
    return t.isNull() ? QStringLiteral("") : t;
}

// The advisory-lock keys of the chain on a server ("QV", "AU"): appends take their turn.
constexpr int ChainLock = 0x5156, ChainKey = 0x4155;
} // namespace

QString AuditTrail::hashOf(const AuditRecord& r)
{
    const QString content =
        QStringList{r.prevHash, QString::number(r.seq), r.at, r.login, r.host, r.action, r.table, r.key, r.before,
                    r.after}
            .join(Sep);
    return QString::fromLatin1(QCryptographicHash::hash(content.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString AuditTrail::rowsImage(Connection& c, const QString& table, const QString& where, const QVariantList& params,
                              bool single)
{
    const TableDef* t = Schema::findTable(table);
    if (!t)
        return {};
    QStringList cols;
    for (const ColumnDef& col : t->columns)
        cols << QStringLiteral("%1 as \"%1\"").arg(QLatin1String(col.name));
    QSqlQuery q =
        c.query(QStringLiteral("select %1 from %2%3 order by %4")
                    .arg(cols.join(QStringLiteral(", ")), table,
                         where.isEmpty() ? QString() : QStringLiteral(" where ") + where, QLatin1String(t->key)),
                params);
    QJsonArray rows;
    while (q.next()) {
        QJsonObject o;
        for (int i = 0; i < int(t->columns.size()); ++i) {
            const ColumnDef& col = t->columns[size_t(i)];
            const QVariant v = q.value(i);
            const QString name = QLatin1String(col.name);
            if (v.isNull())
                o.insert(name, QJsonValue::Null);
            else if (col.kind == ColKind::Amount)
                o.insert(name, plainAmount(c.moneyOrZero(v)));
            else if (col.kind == ColKind::Date)
                o.insert(name, v.toDate().toString(Qt::ISODate));
            else if (col.kind == ColKind::Int || col.kind == ColKind::SmallInt)
                o.insert(name, v.toLongLong());
            else
                o.insert(name, v.toString());
        }
        rows.append(o);
    }
    if (rows.isEmpty())
        return {};
    const QJsonDocument doc = single ? QJsonDocument(rows.first().toObject()) : QJsonDocument(rows);
    return QString::fromUtf8(doc.toJson(QJsonDocument::Compact));
}

QString AuditTrail::host()
{
    return QSysInfo::machineHostName();
}

void AuditTrail::append(const QString& action, const QString& table, const QString& key, const QString& before,
                        const QString& after)
{
    if (m_c.backend() == Backend::Postgres)
        m_c.scalar(QStringLiteral("select qv_audit(?, ?, ?, ?, ?, ?)"), {action, table, key, before, after, host()});
    else
        appendDirect(action, table, key, before, after);
}

void AuditTrail::declare()
{
    if (m_c.backend() == Backend::Postgres)
        m_c.scalar(QStringLiteral("select qv_audit_intent()"));
}

void AuditTrail::appendDirect(const QString& action, const QString& table, const QString& key, const QString& before,
                              const QString& after)
{
    Transaction tx(m_c);
    if (m_c.backend() == Backend::Postgres)
        m_c.scalar(QStringLiteral("select pg_advisory_xact_lock(?, ?)"), {ChainLock, ChainKey});
    // On the embedded file the write transaction (BEGIN IMMEDIATE) already holds the book.
    AuditRecord r;
    const Head last = head();
    r.seq = last.seq + 1;
    r.prevHash = last.hash;
    r.at = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    r.login = m_c.backend() == Backend::Postgres ? m_c.scalar(QStringLiteral("select session_user")).toString()
                                                 : m_c.userName();
    r.host = host();
    r.action = action, r.table = table, r.key = key, r.before = before, r.after = after;
    r.hash = hashOf(r);
    m_c.execute(QStringLiteral("insert into AuditTrail (Seq, At, Login, Host, Action, TableName, RowKey, Before, "
                               "After, PrevHash, Hash) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {r.seq, r.at, kept(r.login), kept(r.host), r.action, kept(r.table), kept(r.key), kept(r.before),
                 kept(r.after), kept(r.prevHash), r.hash});
    tx.commit();
}

void AuditTrail::appendOpening()
{
    QCryptographicHash contents(QCryptographicHash::Sha256);
    QStringList counts;
    for (const char* table : {"Accounts", "MasJV", "DetJV", "VouSetting", "Company", "Menus"}) {
        QSqlQuery q = m_c.query(QStringLiteral("select * from %1 order by 1").arg(QLatin1String(table)));
        int n = 0;
        while (q.next()) {
            ++n;
            for (int i = 0; i < q.record().count(); ++i)
                contents.addData((text(q.value(i)) + Sep).toUtf8());
            contents.addData(QByteArrayLiteral("\n"));
        }
        counts << QStringLiteral("\"%1\":%2").arg(QLatin1String(table)).arg(n);
    }
    appendDirect(QStringLiteral("trail opened"), {}, {}, {},
                 QStringLiteral("{%1,\"sha256\":\"%2\"}")
                     .arg(counts.join(QLatin1Char(',')), QString::fromLatin1(contents.result().toHex())));
}

AuditTrail::Head AuditTrail::head()
{
    Head h;
    m_c.eachRow(QStringLiteral("select Seq, Hash from AuditTrail order by Seq desc limit 1"), {}, [&](QSqlQuery& q) {
        if (q.next())
            h = {q.value(0).toLongLong(), q.value(1).toString()};
    });
    return h;
}

QString AuditTrail::headLine()
{
    const Head h = head();
    return h.seq == 0 ? QString() : QStringLiteral("Audit trail: record %1, SHA-256 %2").arg(h.seq).arg(h.hash);
}

namespace {
AuditRecord readRecord(const QSqlQuery& q)
{
    AuditRecord r;
    r.seq = q.value(0).toLongLong();
    r.at = text(q.value(1)), r.login = text(q.value(2)), r.host = text(q.value(3)), r.action = text(q.value(4));
    r.table = text(q.value(5)), r.key = text(q.value(6)), r.before = text(q.value(7)), r.after = text(q.value(8));
    r.prevHash = text(q.value(9)), r.hash = text(q.value(10));
    return r;
}
const char* const Columns = "Seq, At, Login, Host, Action, TableName, RowKey, Before, After, PrevHash, Hash";
} // namespace

std::optional<AuditTrail::Finding> AuditTrail::verify(const std::optional<Head>& printed)
{
    QSqlQuery q(m_c.database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select %1 from AuditTrail order by Seq").arg(QLatin1String(Columns))))
        throw DbError(QStringLiteral("The audit trail cannot be read: %1").arg(q.lastError().text()));
    qint64 expectedSeq = 1;
    QString prev;
    bool printedSeen = false;
    while (q.next()) {
        const AuditRecord r = readRecord(q);
        if (r.seq != expectedSeq)
            return Finding{expectedSeq, r.seq > expectedSeq
                                            ? QStringLiteral("record %1 is missing").arg(expectedSeq)
                                            : QStringLiteral("record %1 appears out of its place").arg(r.seq)};
        if (r.prevHash != prev)
            return Finding{r.seq, QStringLiteral("record %1 does not follow the record before it").arg(r.seq)};
        if (hashOf(r) != r.hash)
            return Finding{r.seq, QStringLiteral("record %1 was changed after it was written").arg(r.seq)};
        if (printed && r.seq == printed->seq) {
            if (r.hash != printed->hash)
                return Finding{r.seq, QStringLiteral("record %1 is not the one printed").arg(r.seq)};
            printedSeen = true;
        }
        prev = r.hash;
        ++expectedSeq;
    }
    if (printed && printed->seq > 0 && !printedSeen)
        return Finding{expectedSeq, QStringLiteral("the trail ends at record %1, before the printed head %2: the "
                                                   "records after it were removed")
                                        .arg(expectedSeq - 1)
                                        .arg(printed->seq)};
    return std::nullopt;
}

std::vector<AuditRecord> AuditTrail::records(const AuditFilter& f)
{
    QStringList where{QStringLiteral("1 = 1")};
    QVariantList params;
    if (!f.key.isEmpty())
        where << QStringLiteral("RowKey = ?"), params << f.key;
    if (!f.login.isEmpty())
        where << QStringLiteral("Login = ?"), params << f.login;
    if (f.from.isValid())
        where << QStringLiteral("At >= ?"), params << f.from.toString(Qt::ISODate);
    if (f.to.isValid())
        where << QStringLiteral("At < ?"), params << f.to.addDays(1).toString(Qt::ISODate);
    if (f.account > 0) {
        // The images name accounts by their RowID.
        where << QStringLiteral("(Before like ? or After like ? or Before like ? or After like ?)");
        for (const char* side : {"AcCode", "CrAc"}) {
            const QString like = QStringLiteral("%\"%1\":%2,%").arg(QLatin1String(side)).arg(f.account);
            params << like << like;
        }
    }
    std::vector<AuditRecord> out;
    QSqlQuery q = m_c.query(QStringLiteral("select %1 from AuditTrail where %2 order by Seq")
                                .arg(QLatin1String(Columns), where.join(QStringLiteral(" and "))),
                            params);
    while (q.next())
        out.push_back(readRecord(q));
    return out;
}

} // namespace qv
