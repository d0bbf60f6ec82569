// Reliability figures of the voucher store, from runs that anyone can repeat:
//
//   qv-reliability crash    --dir DIR --rounds N [--seed S]
//       A child process saves, changes and deletes vouchers of all five kinds as fast as it can on
//       an embedded book and reports each committed operation on its standard output; the parent
//       kills it with SIGKILL at a random moment, N times, and after every kill checks the book:
//       the integrity check, every voucher whole and balanced, every acknowledged save there with
//       its last acknowledged content, every acknowledged delete gone, no number twice.
//   qv-reliability stations --server DS [--catalog C] --procs P --saves K [--admin-user U --admin-password W]
//       P processes save K journal vouchers each at once on one book (an embedded file or a
//       PostgreSQL server); then all P x K vouchers must be there, whole, under distinct numbers,
//       and no process may have met an error a user would see.
//
// Both print their figures and end with "N passed, N failed" (exit 0 only when nothing failed).
#include "db/connection.h"
#include "db/datasource.h"
#include "db/provision.h"
#include "vouchers/demovouchers.h"
#include "vouchers/voucherstore.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>
#include <cstdio>
#include <optional>

namespace {
using namespace qv;

QTextStream out(stdout);

QString arg(const QStringList& a, const QString& name, const QString& fallback = {})
{
    const qsizetype i = a.indexOf(name);
    return i >= 0 && i + 1 < a.size() ? a[i + 1] : fallback;
}

const QString User = QStringLiteral("station");
const QString Password = QStringLiteral("station pw");

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

// ---- the crash child ----------------------------------------------------------------------------

// Writes "B op key print" before an operation and "A" once it is committed, unbuffered, so that
// what the parent reads after the kill is exactly what had been acknowledged.
int crashChild(const QStringList& a)
{
    Connection c;
    c.openFileUnchecked(arg(a, "--db"), false);
    VoucherStore store(c);
    QRandomGenerator rng(arg(a, "--seed", "1").toUInt());
    const QList<qint64> acs = accounts(c);
    QList<QPair<VoucherKind, qint64>> known;
    auto say = [](const QString& line) {
        const QByteArray b = (line + QLatin1Char('\n')).toUtf8();
        fwrite(b.constData(), 1, size_t(b.size()), stdout);
        fflush(stdout);
    };
    for (;;) {
        const int op = known.isEmpty() ? 0 : rng.bounded(10);
        if (op < 6) { // a new voucher
            const auto kind = VoucherKind(rng.bounded(5));
            Voucher v = randomVoucher(rng, acs, kind, store.nextNumber(kind, 1));
            say(QStringLiteral("B N %1 %2").arg(key(voucherKind(kind).code, v.number), fingerprint(v)));
            const SaveResult r = store.save(v, true, User);
            v.number = r.number;
            known.append({kind, r.number});
            say(QStringLiteral("A %1 %2").arg(key(voucherKind(kind).code, r.number), fingerprint(v)));
        } else if (op < 9) { // a change
            const auto [kind, number] = known[rng.bounded(int(known.size()))];
            Voucher v = randomVoucher(rng, acs, kind, number);
            v.rowId = store.open(kind, number)->rowId; // the voucher as opened, as a window changes it
            say(QStringLiteral("B C %1 %2").arg(key(voucherKind(kind).code, number), fingerprint(v)));
            store.save(v, false, User);
            say(QStringLiteral("A %1 %2").arg(key(voucherKind(kind).code, number), fingerprint(v)));
        } else { // a delete
            const int i = rng.bounded(int(known.size()));
            const auto [kind, number] = known.takeAt(i);
            say(QStringLiteral("B D %1 -").arg(key(voucherKind(kind).code, number)));
            store.remove(kind, number);
            say(QStringLiteral("A %1 -").arg(key(voucherKind(kind).code, number)));
        }
    }
}

// ---- checks of a book ---------------------------------------------------------------------------

struct BookCheck {
    int vouchers = 0;
    QStringList problems;
    QSet<QString> present;          // every voucher's key
    QHash<QString, QString> prints; // key -> fingerprint of what is stored (those asked for)
};

// Every voucher whole: its lines balance, its total is the lines' total, a cash voucher has its
// cash row, no detail row without its voucher, no number twice. One grouped query, so that a
// check of a large book stays quick. `printsOf` gives the stored content of the vouchers named.
BookCheck checkBook(Connection& c, const QStringList& printsOf = {}, bool allPrints = false)
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

// ---- the crash parent ---------------------------------------------------------------------------

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

int crash(const QStringList& a)
{
    const QString dir = arg(a, "--dir", QDir::tempPath() + QStringLiteral("/qv-crash"));
    const int rounds = arg(a, "--rounds", "20").toInt();
    QRandomGenerator rng(arg(a, "--seed", "7").toUInt());
    QDir().mkpath(dir);
    const QString db = dir + QStringLiteral("/Crash.sqlite");
    for (const QString& f : {db, db + "-wal", db + "-shm"})
        QFile::remove(f);
    makeBook(db, {}, {}, {});

    // What the book must hold: the last acknowledged state of every voucher (a print, or "-"
    // for deleted), and the one operation that may have been in flight at the kill.
    QHash<QString, QString> acked;
    int acknowledged = 0, lost = 0, halfWritten = 0, duplicates = 0, integrity = 0, failedRounds = 0;
    QElapsedTimer clock;
    clock.start();
    for (int round = 1; round <= rounds; ++round) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("crash-child"), QStringLiteral("--db"), db, QStringLiteral("--seed"),
                     QString::number(rng.generate())});
        child.waitForStarted();
        QThread::msleep(20 + rng.bounded(180));
        child.kill();
        child.waitForFinished();
        QString inFlightKey, inFlightPrint;
        QStringList touched;
        for (const QByteArray& raw : child.readAllStandardOutput().split('\n')) {
            const QStringList w = QString::fromUtf8(raw).split(QLatin1Char(' '));
            if (w.size() == 4 && w[0] == QLatin1String("B")) {
                inFlightKey = w[2];
                inFlightPrint = w[3];
                touched << w[2];
            } else if (w.size() == 3 && w[0] == QLatin1String("A")) {
                acked.insert(w[1], w[2]);
                ++acknowledged;
                touched << w[1];
                inFlightKey.clear();
            }
        }
        Connection c;
        c.openFileUnchecked(db, false);
        // Whole and balanced: every voucher, every round. Content: the vouchers this round
        // touched (the others were checked when they were last touched, and again at the end).
        const bool last = round == rounds;
        const BookCheck b = checkBook(c, touched, last);
        int problems = 0;
        for (const QString& p : b.problems) {
            out << "round " << round << ": " << p << "\n";
            ++problems;
            if (p.startsWith(QLatin1String("integrity")))
                ++integrity;
            else if (p.startsWith(QLatin1String("number twice")))
                ++duplicates;
            else
                ++halfWritten;
        }
        for (auto it = acked.begin(); it != acked.end(); ++it) {
            if (!last && !touched.contains(it.key()))
                continue;
            const QString stored =
                b.present.contains(it.key()) ? b.prints.value(it.key(), QStringLiteral("?")) : QStringLiteral("-");
            if (stored == it.value())
                continue;
            // A change or delete in flight at the kill may have committed; the book then holds
            // its content, which becomes the state to hold from now on.
            if (it.key() == inFlightKey && stored == inFlightPrint) {
                it.value() = stored;
                continue;
            }
            out << "round " << round << ": " << it.key() << " acknowledged " << it.value() << " but holds " << stored
                << "\n";
            ++lost;
            ++problems;
            it.value() = stored;
        }
        // A new voucher in flight that landed is kept from now on.
        if (!inFlightKey.isEmpty() && !acked.contains(inFlightKey) && b.present.contains(inFlightKey))
            acked.insert(inFlightKey, b.prints.value(inFlightKey));
        if (problems)
            ++failedRounds;
    }
    Connection c;
    c.openFileUnchecked(db, false);
    const int stored = c.scalar(QStringLiteral("select count(*) from MasJV")).toInt();
    out << "crash test: " << rounds << " rounds in " << clock.elapsed() / 1000.0 << " s\n"
        << "  saves, changes and deletes acknowledged: " << acknowledged << "\n"
        << "  vouchers in the book at the end: " << stored << "\n"
        << "  acknowledged saves lost: " << lost << "\n"
        << "  half-written vouchers: " << halfWritten << "\n"
        << "  duplicate numbers: " << duplicates << "\n"
        << "  integrity check failures: " << integrity << "\n";
    out << (rounds - failedRounds) << " passed, " << failedRounds << " failed\n";
    out.flush();
    return failedRounds == 0 && acknowledged > 0 ? 0 : 1;
}

// ---- concurrent stations ------------------------------------------------------------------------

void connectStation(Connection& c, const QStringList& a)
{
    c.setProperty(QStringLiteral("User ID"), User);
    c.setProperty(QStringLiteral("Password"), Password);
    c.setProperty(QStringLiteral("Data Source"), arg(a, "--server"));
    c.setProperty(QStringLiteral("Initial Catalog"), arg(a, "--catalog", "Fendral"));
    c.open();
}

int stationChild(const QStringList& a)
{
    Connection c;
    connectStation(c, a);
    VoucherStore store(c);
    QRandomGenerator rng(arg(a, "--seed", "1").toUInt());
    const QList<qint64> acs = accounts(c);
    const int saves = arg(a, "--saves", "50").toInt();
    int errors = 0;
    for (int i = 0; i < saves; ++i) {
        const Voucher v = randomVoucher(rng, acs, VoucherKind::JV, store.nextNumber(VoucherKind::JV, 1));
        try {
            store.save(v, true, User);
        } catch (const DbError& e) {
            ++errors; // what a user would have been shown
            fprintf(stderr, "station error: %s\n", qPrintable(e.description()));
        }
    }
    printf("%d\n", errors);
    return 0;
}

int stations(const QStringList& a)
{
    const int procs = arg(a, "--procs", "4").toInt();
    const int saves = arg(a, "--saves", "50").toInt();
    const QString server = arg(a, "--server");
    const QString catalog = arg(a, "--catalog", "Fendral");
    const DataSource ds = DataSource::parse(server, catalog);
    if (ds.backend == Backend::Sqlite)
        for (const QString& f : {server, server + "-wal", server + "-shm"})
            QFile::remove(f);
    makeBook(server, catalog, arg(a, "--admin-user"), arg(a, "--admin-password"));
    Connection c;
    connectStation(c, a);
    const int before = c.scalar(QStringLiteral("select count(*) from MasJV where VouStatus = 'JV'")).toInt();

    QList<QProcess*> children;
    QElapsedTimer clock;
    clock.start();
    for (int p = 0; p < procs; ++p) {
        auto* child = new QProcess;
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList args = {QStringLiteral("station-child"), QStringLiteral("--seed"), QString::number(p + 1)};
        args << QStringLiteral("--server") << server << QStringLiteral("--catalog") << catalog
             << QStringLiteral("--saves") << QString::number(saves);
        child->start(QCoreApplication::applicationFilePath(), args);
        children << child;
    }
    int errors = 0, crashed = 0;
    for (QProcess* child : children) {
        child->waitForFinished(-1);
        if (child->exitStatus() != QProcess::NormalExit || child->exitCode() != 0)
            ++crashed;
        errors += child->readAllStandardOutput().trimmed().toInt();
        delete child;
    }
    const double seconds = clock.elapsed() / 1000.0;
    const BookCheck b = checkBook(c);
    const int made = c.scalar(QStringLiteral("select count(*) from MasJV where VouStatus = 'JV'")).toInt() - before;
    const int distinct =
        c.scalar(QStringLiteral("select count(distinct VouNo) from MasJV where VouStatus = 'JV'")).toInt() - before;
    for (const QString& p : b.problems)
        out << p << "\n";
    const bool ok = made == procs * saves && distinct == made && errors == 0 && crashed == 0 && b.problems.isEmpty();
    out << "concurrent stations on " << (ds.backend == Backend::Sqlite ? "the embedded file" : "PostgreSQL") << ": "
        << procs << " processes x " << saves << " saves\n"
        << "  vouchers stored: " << made << " (distinct numbers: " << distinct << ")\n"
        << "  errors a user would see: " << errors << ", processes failed: " << crashed << "\n"
        << "  vouchers not whole: " << b.problems.size() << "\n"
        << "  time: " << seconds << " s, " << qRound(made / seconds) << " saves/s\n";
    out << (ok ? 1 : 0) << " passed, " << (ok ? 0 : 1) << " failed\n";
    out.flush();
    return ok ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    const QString mode = a.value(1);
    try {
        if (mode == QLatin1String("crash"))
            return crash(a);
        if (mode == QLatin1String("crash-child"))
            return crashChild(a);
        if (mode == QLatin1String("stations"))
            return stations(a);
        if (mode == QLatin1String("station-child"))
            return stationChild(a);
    } catch (const DbError& e) {
        fprintf(stderr, "qv-reliability: %s\n", qPrintable(e.description()));
        return 1;
    }
    fprintf(stderr, "usage: qv-reliability crash --dir DIR --rounds N [--seed S]\n"
                    "       qv-reliability stations --server DS [--catalog C] --procs P --saves K "
                    "[--admin-user U --admin-password W]\n");
    return 2;
}
