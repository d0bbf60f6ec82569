// The stations and the checks of scripts/failover.sh: a primary with a synchronous standby, the
// primary killed part-way, the standby promoted, and the stations carrying on through the Data
// Source's list of servers.
//
//   qv-reliability failover-station --server DS --catalog C --station N --saves K [--give-up SECONDS]
//       Saves K vouchers of all five kinds through the voucher store, each tagged "S<N>-<i>" in
//       its party, one after another, and logs every step on its standard output:
//         A <ms> <server> <KIND-no> <rowid> <print> <tag>   acknowledged (the save said saved)
//         U <ms> <tag> <KIND-no> <rowid> saved|not-saved|pending   COMMIT's outcome was not known
//         L <ms> <tag> <text>     not saved: the link broke before COMMIT (saved again later)
//         R <ms> <server>         the connection was opened again
//         X <ms> <tag> <text>     an error a user would have seen
//         D <ms>                  done
//   qv-reliability failover-check --server DS --catalog C --logs DIR --kill-ms T --new-primary HOST:PORT
//       Reads every station's log and checks the book on the promoted server.
//   qv-reliability standby-check --server "P,S?reports=standby" --catalog C [--saves K]
//       Saves go to the primary, reports read on the standby; how long the standby took to show
//       each voucher just saved.
//   qv-reliability standby-down --server P,S --catalog C [--limit-ms MS]
//       With the synchronous standby stopped, a save still ends within the limit, saved on the
//       primary, and the station is told that the standby did not confirm it.
#include "bookcheck.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <cstdio>

using namespace qvrel;

namespace {

void say(const QString& line)
{
    const QByteArray b =
        (QString::number(QDateTime::currentMSecsSinceEpoch()) + QLatin1Char(' ') + line + QLatin1Char('\n')).toUtf8();
    fwrite(b.constData(), 1, size_t(b.size()), stdout);
    fflush(stdout);
}

QString oneLine(const QString& text)
{
    return QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified();
}

} // namespace

int failoverStation(const QStringList& a)
{
    const QString station = arg(a, "--station", "1");
    const int saves = arg(a, "--saves", "50").toInt();
    const qint64 giveUpMs = arg(a, "--give-up", "120").toLongLong() * 1000;
    Connection c;
    connectStation(c, a);
    c.setReconnectHook([](const QString& server) { say(QStringLiteral("R ") + server); });
    VoucherStore store(c);
    QRandomGenerator rng(arg(a, "--seed", station).toUInt() * 7919u);
    const QList<qint64> acs = accounts(c);
    auto ack = [&](const Voucher& v, const SaveResult& r) {
        say(QStringLiteral("A %1 %2 %3 %4 %5")
                .arg(c.serverName(), key(voucherKind(v.kind).code, r.number))
                .arg(r.rowId)
                .arg(fingerprint(v), v.party));
    };
    QElapsedTimer progress; // since the last save that went through
    progress.start();
    int errors = 0;
    for (int i = 1; i <= saves; ++i) {
        Voucher v = randomVoucher(rng, acs, VoucherKind((i - 1) % 5), 0);
        v.party = QStringLiteral("S%1-%2").arg(station).arg(i);
        for (;;) {
            if (progress.elapsed() > giveUpMs) {
                say(QStringLiteral("X %1 no server took the save for %2 s").arg(v.party).arg(giveUpMs / 1000));
                return 1;
            }
            try {
                v.number = store.nextNumber(v.kind, 1);
                const SaveResult r = store.save(v, true, User);
                v.number = r.number;
                if (r.checkedAfterLoss)
                    say(QStringLiteral("U %1 %2 %3 saved")
                            .arg(v.party, key(voucherKind(v.kind).code, r.number))
                            .arg(r.rowId));
                ack(v, r);
                break;
            } catch (const SaveOutcomeUnknown& unknown) {
                const PendingSave& p = unknown.pending;
                const QString id = key(voucherKind(v.kind).code, p.result.number);
                say(QStringLiteral("U %1 %2 %3 pending").arg(v.party, id).arg(p.result.rowId));
                std::optional<bool> landed;
                while (!landed) {
                    QThread::msleep(100);
                    try {
                        landed = store.landed(p);
                    } catch (const DbError& e) {
                        if (!e.isLinkLost() || progress.elapsed() > giveUpMs) {
                            say(QStringLiteral("X %1 %2").arg(v.party, oneLine(e.description())));
                            return 1;
                        }
                    }
                }
                say(QStringLiteral("U %1 %2 %3 %4")
                        .arg(v.party, id)
                        .arg(p.result.rowId)
                        .arg(*landed ? QStringLiteral("saved") : QStringLiteral("not-saved")));
                if (*landed) {
                    v.number = p.result.number;
                    ack(v, p.result);
                    break;
                }
            } catch (const SaveNotLanded& e) {
                say(QStringLiteral("U %1 %2 %3 not-saved")
                        .arg(v.party, key(voucherKind(v.kind).code, e.pending.result.number))
                        .arg(e.pending.result.rowId));
                QThread::msleep(100);
            } catch (const DbError& e) {
                if (!e.isLinkLost()) {
                    say(QStringLiteral("X %1 %2").arg(v.party, oneLine(e.description())));
                    ++errors;
                    break;
                }
                say(QStringLiteral("L %1 %2").arg(v.party, oneLine(e.description())));
                QThread::msleep(100);
                continue;
            }
        }
        progress.restart();
    }
    say(QStringLiteral("D"));
    return errors == 0 ? 0 : 1;
}

namespace {

struct Acked {
    QString server, id, print, tag;
    qint64 ms = 0, rowId = 0;
};

// A save whose COMMIT outcome was not known, as its station settled it.
struct Unknown {
    QString tag, id;
    qint64 rowId = 0;
    QString state; // saved, not-saved, or pending (never settled)
};

struct Logs {
    QList<Acked> acked;
    QList<Unknown> unknown;
    int lostBeforeCommit = 0, noServerYet = 0, reconnects = 0, errors = 0, done = 0, stations = 0;
    QStringList problems;
};

Logs readLogs(const QString& dir)
{
    Logs l;
    for (const QFileInfo& fi : QDir(dir).entryInfoList({QStringLiteral("station-*.log")}, QDir::Files)) {
        ++l.stations;
        QFile f(fi.filePath());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        QTextStream in(&f);
        int open = -1; // the station's unknown outcome still pending, if any
        while (!in.atEnd()) {
            const QStringList w = in.readLine().split(QLatin1Char(' '));
            const QString what = w.value(1);
            if (what == QLatin1String("A") && w.size() >= 7) {
                l.acked << Acked{w[2], w[3], w[5], w[6], w[0].toLongLong(), w[4].toLongLong()};
            } else if (what == QLatin1String("U") && w.size() >= 6) {
                if (open >= 0 && l.unknown[open].tag == w[2])
                    l.unknown[open].state = w[5];
                else
                    l.unknown << Unknown{w[2], w[3], w[4].toLongLong(), w[5]};
                open = w[5] == QLatin1String("pending") ? int(l.unknown.size()) - 1 : -1;
            } else if (what == QLatin1String("L")) {
                (w.join(QLatin1Char(' ')).contains(QLatin1String("no server of")) ? l.noServerYet
                                                                                  : l.lostBeforeCommit)++;
            } else if (what == QLatin1String("R")) {
                ++l.reconnects;
            } else if (what == QLatin1String("X")) {
                ++l.errors;
                l.problems << fi.fileName() + QStringLiteral(": ") + w.mid(2).join(QLatin1Char(' '));
            } else if (what == QLatin1String("D")) {
                ++l.done;
            }
        }
    }
    return l;
}

} // namespace

int failoverCheck(const QStringList& a)
{
    QTextStream out(stdout);
    const Logs logs = readLogs(arg(a, "--logs"));
    const qint64 killMs = arg(a, "--kill-ms", "0").toLongLong();
    const QString newPrimary = arg(a, "--new-primary");
    Connection c;
    connectStation(c, a);
    VoucherStore store(c);
    QStringList problems = logs.problems;

    // Every acknowledged voucher there, under its identity, holding what was acknowledged.
    int found = 0;
    QHash<QString, int> ackedTags;
    for (const Acked& x : logs.acked) {
        ++ackedTags[x.tag];
        QSqlQuery q = c.query(QStringLiteral("select VouStatus, VouNo from MasJV where RowID = ?"), {x.rowId});
        if (!q.next()) {
            problems << QStringLiteral("lost: %1 (%2, row %3)").arg(x.id, x.tag).arg(x.rowId);
            continue;
        }
        const QString id = key(q.value(0).toString(), q.value(1).toLongLong());
        const VoucherKindInfo* kind = voucherKindByCode(q.value(0).toString());
        q.finish();
        const auto v = kind ? store.open(kind->kind, id.section(QLatin1Char('-'), 1).toLongLong()) : std::nullopt;
        if (id != x.id || !v || fingerprint(*v) != x.print)
            problems << QStringLiteral("lost: %1 (%2) does not hold what was acknowledged").arg(x.id, x.tag);
        else
            ++found;
    }
    // No voucher twice: no number twice, no station's voucher stored twice, none stored that its
    // station did not acknowledge.
    const BookCheck book = checkBook(c);
    int duplicates = 0, notWhole = 0;
    for (const QString& p : book.problems) {
        problems << p;
        (p.startsWith(QLatin1String("number twice")) ? duplicates : notWhole)++;
    }
    QHash<QString, int> stored;
    QSqlQuery t = c.query(QStringLiteral("select PaidReceive from MasJV where PaidReceive like 'S%-%'"));
    while (t.next())
        ++stored[t.value(0).toString()];
    t.finish();
    int unacknowledged = 0;
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        if (it.value() > 1 || ackedTags.value(it.key()) > 1) {
            ++duplicates;
            problems << QStringLiteral("saved twice: %1").arg(it.key());
        }
        if (!ackedTags.contains(it.key())) {
            ++unacknowledged;
            problems
                << QStringLiteral("stored but never acknowledged (its station was told otherwise): %1").arg(it.key());
        }
    }
    // Each unknown outcome as the station settled it, checked against the book.
    int unknownSaved = 0, unknownNotSaved = 0, unknownOpen = 0, toldWrong = 0;
    for (const Unknown& u : logs.unknown) {
        if (u.state == QLatin1String("pending")) {
            ++unknownOpen;
            problems << QStringLiteral("the outcome of %1 was never settled").arg(u.tag);
            continue;
        }
        const bool saidSaved = u.state == QLatin1String("saved");
        (saidSaved ? unknownSaved : unknownNotSaved)++;
        const bool there =
            c.scalar(QStringLiteral("select count(*) from MasJV where RowID = ?"), {u.rowId}).toInt() == 1;
        if (there != saidSaved) {
            ++toldWrong;
            problems << QStringLiteral("the outcome of %1 was settled as %2, but the book says otherwise")
                            .arg(u.tag, u.state);
        }
    }
    // The first save on the new primary after the kill.
    qint64 firstAfter = -1;
    for (const Acked& x : logs.acked)
        if (x.server == newPrimary && x.ms >= killMs && (firstAfter < 0 || x.ms < firstAfter))
            firstAfter = x.ms;
    const int ackedBefore =
        int(std::count_if(logs.acked.cbegin(), logs.acked.cend(), [&](const Acked& x) { return x.ms < killMs; }));
    if (firstAfter < 0)
        problems << QStringLiteral("no save reached the new primary %1").arg(newPrimary);
    if (logs.done != logs.stations)
        problems << QStringLiteral("%1 of %2 stations finished their saves").arg(logs.done).arg(logs.stations);

    const int lost = int(logs.acked.size()) - found;
    out << "failover: " << logs.stations << " stations, primary killed after " << ackedBefore << " acknowledged saves\n"
        << "  acknowledged: " << logs.acked.size() << "\n"
        << "  found on the promoted server, whole and as acknowledged: " << found << "\n"
        << "  lost: " << lost << "\n"
        << "  duplicates (numbers twice, a station's voucher stored twice): " << duplicates << "\n"
        << "  stored but never acknowledged: " << unacknowledged << "\n"
        << "  vouchers not whole or not balanced: " << notWhole << "\n"
        << "  saves not saved because the link broke before COMMIT (said so, saved again): " << logs.lostBeforeCommit
        << "\n"
        << "  attempts refused while no server took writes (said so, tried again): " << logs.noServerYet << "\n"
        << "  saves whose COMMIT outcome was unknown: " << (unknownSaved + unknownNotSaved + unknownOpen)
        << " (found saved: " << unknownSaved << ", found not saved and saved again: " << unknownNotSaved
        << ", never settled: " << unknownOpen << "; settled against the book wrongly: " << toldWrong << ")\n"
        << "  connections opened again: " << logs.reconnects << "\n"
        << "  errors a user would have seen: " << logs.errors << "\n"
        << "  seconds from the kill to the first save on the new primary: "
        << (firstAfter < 0 ? QStringLiteral("none") : QString::number((firstAfter - killMs) / 1000.0, 'f', 2)) << "\n"
        << "  audit records and period sums: this book keeps none\n";
    for (const Unknown& u : logs.unknown)
        out << "  unknown outcome: " << u.tag << " (" << u.id << ", row " << u.rowId << ") "
            << (u.state == QLatin1String("saved")     ? "found saved on the server, not saved again"
                : u.state == QLatin1String("pending") ? "never settled"
                                                      : "not found, saved again")
            << "\n";
    for (const QString& p : problems)
        out << "  problem: " << p << "\n";
    const bool ok = problems.isEmpty() && lost == 0 && duplicates == 0 && !logs.acked.isEmpty();
    out << (ok ? 1 : 0) << " passed, " << (ok ? 0 : 1) << " failed\n";
    out.flush();
    return ok ? 0 : 1;
}

int standbyCheck(const QStringList& a)
{
    QTextStream out(stdout);
    Connection c;
    connectStation(c, a);
    Connection& reports = c.reportConnection();
    const bool primaryOk = !c.scalar(QStringLiteral("select pg_is_in_recovery()")).toBool();
    const bool standbyOk = &reports != &c && reports.scalar(QStringLiteral("select pg_is_in_recovery()")).toBool();
    VoucherStore store(c);
    QRandomGenerator rng(17);
    const QList<qint64> acs = accounts(c);
    const int saves = arg(a, "--saves", "20").toInt();
    QList<double> lags;
    bool allSeen = true;
    for (int i = 0; i < saves && standbyOk; ++i) {
        const VoucherKind kind = VoucherKind(i % 5);
        const SaveResult r = store.save(randomVoucher(rng, acs, kind, store.nextNumber(kind, 1)), true, User);
        QElapsedTimer t;
        t.start();
        while (reports.scalar(QStringLiteral("select count(*) from MasJV where RowID = ?"), {r.rowId}).toInt() == 0) {
            if (t.elapsed() > 10000) {
                allSeen = false;
                break;
            }
            QThread::usleep(200);
        }
        lags << t.nsecsElapsed() / 1e6;
    }
    std::sort(lags.begin(), lags.end());
    out << "reports on the standby: saves on " << c.serverName()
        << (primaryOk ? " (the primary)" : " (NOT the primary)") << ", reports on " << reports.serverName()
        << (standbyOk ? " (a standby)" : " (NOT a standby)") << "\n";
    if (!lags.isEmpty())
        out << "  a voucher just saved appeared on the standby after: median "
            << QString::number(lags[lags.size() / 2], 'f', 1) << " ms, longest " << QString::number(lags.last(), 'f', 1)
            << " ms (" << lags.size() << " saves)\n";
    const bool ok = primaryOk && standbyOk && allSeen;
    out << (ok ? 1 : 0) << " passed, " << (ok ? 0 : 1) << " failed\n";
    out.flush();
    return ok ? 0 : 1;
}

int standbyDown(const QStringList& a)
{
    QTextStream out(stdout);
    const int limitMs = arg(a, "--limit-ms", "1000").toInt();
    WaitLimits limits = Connection::waitLimits();
    limits.lockMs = limitMs;
    Connection::setWaitLimits(limits);
    Connection c;
    connectStation(c, a);
    QString warned;
    c.setWarningHook([&warned](const QString& text) { warned = text; });
    VoucherStore store(c);
    QRandomGenerator rng(23);
    const QList<qint64> acs = accounts(c);
    QElapsedTimer t;
    t.start();
    const SaveResult r =
        store.save(randomVoucher(rng, acs, VoucherKind::JV, store.nextNumber(VoucherKind::JV, 1)), true, User);
    const qint64 ms = t.elapsed();
    const bool saved = c.scalar(QStringLiteral("select count(*) from MasJV where RowID = ?"), {r.rowId}).toInt() == 1;
    out << "standby down: a save ended after " << ms << " ms (limit " << limitMs << " ms), "
        << (saved ? "saved on the primary" : "NOT saved")
        << "; the station was told: " << (warned.isEmpty() ? QStringLiteral("nothing") : warned) << "\n";
    const bool ok = saved && !warned.isEmpty() && ms < limitMs + 4000;
    out << (ok ? 1 : 0) << " passed, " << (ok ? 0 : 1) << " failed\n";
    out.flush();
    return ok ? 0 : 1;
}
