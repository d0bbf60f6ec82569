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
//   qv-reliability failover-station ... / failover-check ... / standby-check ...
//       The stations and the checks of scripts/failover.sh (failover.cpp).
//
// Each prints its figures and ends with "N passed, N failed" (exit 0 only when nothing failed).
#include "bookcheck.h"

#include "db/datasource.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>
#include <cstdio>

// failover.cpp
int failoverStation(const QStringList& a);
int failoverCheck(const QStringList& a);
int standbyCheck(const QStringList& a);
int standbyDown(const QStringList& a);

namespace {
using namespace qvrel;

QTextStream out(stdout);

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

// ---- the crash parent ---------------------------------------------------------------------------

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
    int auditRecords = 0, auditFailures = 0;
    QElapsedTimer clock;
    clock.start();
    for (int round = 1; round <= rounds; ++round) {
        const int ackedBefore = acknowledged, recordsBefore = auditRecords;
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
        // Every committed change has its audit record and no record lacks its change: each
        // acknowledged operation made one, and the one in flight at the kill at most one more.
        int records = 0;
        for (const QString& p : checkAudit(c, &records)) {
            out << "round " << round << ": " << p << "\n";
            ++problems;
            ++auditFailures;
        }
        const int ackedThisRound = acknowledged - ackedBefore;
        if (records - recordsBefore != ackedThisRound && records - recordsBefore != ackedThisRound + 1) {
            out << "round " << round << ": " << records - recordsBefore << " audit records for " << ackedThisRound
                << " acknowledged changes\n";
            ++problems;
            ++auditFailures;
        }
        auditRecords = records;
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
        << "  integrity check failures: " << integrity << "\n"
        << "  audit records of voucher changes: " << auditRecords << ", audit failures: " << auditFailures << "\n";
    out << (rounds - failedRounds) << " passed, " << failedRounds << " failed\n";
    out.flush();
    return failedRounds == 0 && acknowledged > 0 ? 0 : 1;
}

// ---- concurrent stations ------------------------------------------------------------------------

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
    int beforeRecords = 0;
    checkAudit(c, &beforeRecords);

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
    // One unbroken chain holding one record of every save.
    int records = 0;
    const QStringList audit = checkAudit(c, &records);
    for (const QString& p : audit)
        out << p << "\n";
    const bool ok = made == procs * saves && distinct == made && errors == 0 && crashed == 0 && b.problems.isEmpty()
                    && audit.isEmpty() && records == beforeRecords + made;
    out << "concurrent stations on " << (ds.backend == Backend::Sqlite ? "the embedded file" : "PostgreSQL") << ": "
        << procs << " processes x " << saves << " saves\n"
        << "  vouchers stored: " << made << " (distinct numbers: " << distinct << ")\n"
        << "  errors a user would see: " << errors << ", processes failed: " << crashed << "\n"
        << "  vouchers not whole: " << b.problems.size() << "\n"
        << "  audit records: " << records - beforeRecords << ", audit problems: " << audit.size() << "\n"
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
        if (mode == QLatin1String("failover-station"))
            return failoverStation(a);
        if (mode == QLatin1String("failover-check"))
            return failoverCheck(a);
        if (mode == QLatin1String("standby-check"))
            return standbyCheck(a);
        if (mode == QLatin1String("standby-down"))
            return standbyDown(a);
    } catch (const DbError& e) {
        fprintf(stderr, "qv-reliability: %s\n", qPrintable(e.description()));
        return 1;
    }
    fprintf(
        stderr,
        "usage: qv-reliability crash --dir DIR --rounds N [--seed S]\n"
        "       qv-reliability stations --server DS [--catalog C] --procs P --saves K "
        "[--admin-user U --admin-password W]\n"
        "       qv-reliability failover-station|failover-check|standby-check|standby-down ... (scripts/failover.sh)\n");
    return 2;
}
