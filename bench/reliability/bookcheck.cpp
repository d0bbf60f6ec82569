// What the reliability runs share: the generated vouchers, their fingerprints and the check of a
// whole book.
#include "bookcheck.h"

#include "db/monthsums.h"
#include "db/audittrail.h"
#include "db/provision.h"
#include "vouchers/voucherwrites.h"
#include "vouchers/demovouchers.h"

#include <QCryptographicHash>
#include <QSqlQuery>

namespace qvrel {

const QString User = QStringLiteral("station");
const QString Password = QStringLiteral("station pw");

QString arg(const QStringList& a, const QString& name, const QString& fallback)
{
    const qsizetype i = a.indexOf(name);
    return i >= 0 && i + 1 < a.size() ? a[i + 1] : fallback;
}

// The subsidiary accounts of the demo chart, which every generated line posts to.
QList<qint64> accounts(Connection& c)
{
    QList<qint64> ids;
    QSqlQuery q = c.query(QStringLiteral("select RowID from Accounts where AcStatus = 'DD' order by RowID"));
    while (q.next())
        ids << q.value(0).toLongLong();
    return ids;
}

Voucher randomVoucher(QRandomGenerator& rng, const QList<qint64>& acs, VoucherKind kind, qint64 number)
{
    Voucher v;
    v.kind = kind;
    v.number = number;
    v.date = QDate(2026, 1, 1).addDays(rng.bounded(365));
    v.party = QStringLiteral("Party %1 '%2%'").arg(rng.bounded(1000)).arg(rng.bounded(10));
    const int n = 1 + rng.bounded(5);
    auto any = [&] { return acs[rng.bounded(int(acs.size()))]; };
    const bool cash = voucherKind(kind).shape == RowShape::LinePlusCash;
    const qint64 contra = any();
    for (int i = 0; i < n; ++i) {
        VoucherLine l;
        l.crAc = cash ? contra : any();
        do
            l.drAc = any();
        while (l.drAc == l.crAc);
        if (kind == VoucherKind::CR)
            std::swap(l.drAc, l.crAc); // the cash account on the debit side
        l.amount = Money(1 + rng.bounded(10'000'000));
        l.narration = QStringLiteral("line %1").arg(i + 1);
        l.cheque = rng.bounded(2) ? QStringLiteral("CHQ-%1").arg(rng.bounded(100000)) : QString();
        l.fileNo = rng.bounded(3) ? QString() : QString::number(rng.bounded(100000));
        v.lines.push_back(l);
    }
    return v;
}

// What a voucher holds, as the store gives it back: the acknowledged content is compared by it.
QString fingerprint(const Voucher& v)
{
    QString s = v.date.toString(Qt::ISODate) + QLatin1Char('|') + v.party;
    for (const VoucherLine& l : v.lines)
        s += QStringLiteral("|%1>%2:%3:%4:%5:%6")
                 .arg(l.drAc)
                 .arg(l.crAc)
                 .arg(l.amount.cents)
                 .arg(l.cheque, l.narration, l.fileNo);
    return QString::fromLatin1(QCryptographicHash::hash(s.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

QString key(const QString& kind, qint64 number)
{
    return kind + QLatin1Char('-') + QString::number(number);
}

// ---- checks of a book ---------------------------------------------------------------------------

// Every voucher whole: its lines balance, its total is the lines' total, a cash voucher has its
// cash row, no detail row without its voucher, no number twice. One grouped query, so that a
// check of a large book stays quick. `printsOf` gives the stored content of the vouchers named.
QStringList checkAudit(Connection& c, int* records)
{
    QStringList problems;
    if (const auto broken = AuditTrail(c).verify())
        problems << QStringLiteral("audit chain broken at record %1: %2").arg(broken->seq).arg(broken->what);
    QHash<QString, QString> last; // key -> the after image of its last voucher record
    int n = 0;
    QSqlQuery q = c.query(QStringLiteral("select RowKey, After from AuditTrail where Action in ('voucher saved', "
                                         "'voucher changed', 'voucher renumbered', 'voucher deleted') order by Seq"));
    while (q.next()) {
        last.insert(q.value(0).toString(), q.value(1).toString());
        ++n;
    }
    q.finish();
    if (records)
        *records = n;
    QSet<QString> stored;
    QSqlQuery v = c.query(QStringLiteral("select VouStatus, VouNo from MasJV"));
    QList<QPair<QString, qint64>> vouchers;
    while (v.next())
        vouchers.append({v.value(0).toString(), v.value(1).toLongLong()});
    v.finish();
    for (const auto& [kind, number] : vouchers) {
        const QString k = key(kind, number);
        stored.insert(k);
        if (!last.contains(k))
            problems << QStringLiteral("audit: %1 is stored without a record").arg(k);
        else if (last.value(k) != VoucherWrites::image(c, kind, number))
            problems << QStringLiteral("audit: the last record of %1 is not what is stored").arg(k);
    }
    for (auto it = last.constBegin(); it != last.constEnd(); ++it)
        if (!stored.contains(it.key()) && !it.value().isEmpty())
            problems << QStringLiteral("audit: %1 has a record of a change that is not in the book").arg(it.key());
    return problems;
}

BookCheck checkBook(Connection& c, const QStringList& printsOf, bool allPrints)
{
    BookCheck r;
    if (c.backend() == Backend::Sqlite) {
        const QString ok = c.scalar(QStringLiteral("PRAGMA integrity_check")).toString();
        if (ok != QLatin1String("ok"))
            r.problems << QStringLiteral("integrity check: %1").arg(ok);
    }
    QSqlQuery dup =
        c.query(QStringLiteral("select VouStatus, VouNo from MasJV group by VouStatus, VouNo having count(*) > 1"));
    while (dup.next())
        r.problems << QStringLiteral("number twice: %1").arg(key(dup.value(0).toString(), dup.value(1).toLongLong()));
    dup.finish();
    const int orphans = c.scalar(QStringLiteral("select count(*) from DetJV d where not exists (select 1 from MasJV m "
                                                "where m.VouStatus = d.VouStatus and m.VouNo = d.VouNo)"))
                            .toInt();
    if (orphans)
        r.problems << QStringLiteral("%1 detail rows without their voucher").arg(orphans);
    // The month sums as the rows give them (the triggers' work, in the same transaction).
    for (const QString& d : MonthSums::differences(c, 5))
        r.problems << QStringLiteral("month sums: %1").arg(d);
    const bool cents = c.backend() == Backend::Sqlite;
    QList<QPair<VoucherKind, qint64>> all;
    QSqlQuery m =
        c.query(QStringLiteral("select m.VouStatus, m.VouNo, m.TotalAmount, count(d.RowID), coalesce(sum(d.DrAmt), 0), "
                               "coalesce(sum(d.CrAmt), 0), coalesce(sum(case when d.RowID is not null and d.CrAc is "
                               "null then 1 else 0 end), 0) "
                               "from MasJV m left join DetJV d on d.VouStatus = m.VouStatus and d.VouNo = m.VouNo "
                               "group by m.VouStatus, m.VouNo, m.TotalAmount order by m.VouStatus, m.VouNo"));
    while (m.next()) {
        const VoucherKindInfo* k = voucherKindByCode(m.value(0).toString());
        const QString id = key(m.value(0).toString(), m.value(1).toLongLong());
        ++r.vouchers;
        if (!k) {
            r.problems << id + QStringLiteral(": unknown kind");
            continue;
        }
        all.append({k->kind, m.value(1).toLongLong()});
        const Money total = moneyFromVariant(m.value(2), cents).value_or(Money());
        const int rows = m.value(3).toInt();
        const Money dr = moneyFromVariant(m.value(4), cents).value_or(Money());
        const Money cr = moneyFromVariant(m.value(5), cents).value_or(Money());
        const int cashRows = m.value(6).toInt();
        if (rows == 0)
            r.problems << id + QStringLiteral(": no detail rows");
        if (dr != cr)
            r.problems << id + QStringLiteral(": debits %1 but credits %2").arg(plainAmount(dr), plainAmount(cr));
        if (dr != total)
            r.problems << id + QStringLiteral(": total %1 but lines %2").arg(plainAmount(total), plainAmount(dr));
        if (k->shape == RowShape::LinePlusCash && cashRows != 1)
            r.problems << id + QStringLiteral(": %1 cash rows").arg(cashRows);
        if (k->shape == RowShape::Mirrored && rows % 2 != 0)
            r.problems << id + QStringLiteral(": %1 rows, not two a line").arg(rows);
    }
    m.finish();
    VoucherStore store(c);
    for (const auto& [kind, number] : all) {
        const QString id = key(voucherKind(kind).code, number);
        if (allPrints || printsOf.contains(id))
            if (const auto v = store.open(kind, number))
                r.prints.insert(id, fingerprint(*v));
    }
    r.present.reserve(all.size());
    for (const auto& [kind, number] : all)
        r.present.insert(key(voucherKind(kind).code, number));
    return r;
}

QString makeBook(const QString& dataSource, const QString& catalog, const QString& adminUser,
                 const QString& adminPassword)
{
    InitOptions o;
    o.dataSource = dataSource;
    o.catalog = catalog;
    o.user = User;
    o.password = Password;
    o.lockPassword = QStringLiteral("lock");
    o.demo = true;
    o.replace = true;
    o.cost = Logins::HashCost::Minimal;
    if (!adminUser.isEmpty()) {
        o.adminUser = adminUser;
        o.adminPassword = adminPassword;
    }
    return Provision::init(o);
}

void connectStation(Connection& c, const QStringList& a)
{
    c.setProperty(QStringLiteral("User ID"), User);
    c.setProperty(QStringLiteral("Password"), Password);
    c.setProperty(QStringLiteral("Data Source"), arg(a, "--server"));
    c.setProperty(QStringLiteral("Initial Catalog"), arg(a, "--catalog", "Fendral"));
    c.open();
}

} // namespace qvrel
