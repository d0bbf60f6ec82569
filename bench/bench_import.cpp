// The round trip on a 1M-line book: the book exported as a ledger journal, the journal imported
// into an empty book, that book exported again. The two journals must be the same bytes and
// every account's closing balance the same in both books (by code: the RowIDs differ).
//   ./bench/bench_import [BOOK] --benchmark_repetitions=1
// BOOK (default /tmp/import-1m/book.sqlite) is written once by bookgen (QV_BENCH_ROWS lines, 1M
// unless said) and kept between runs.
// Peak memory: run it under /usr/bin/time -v, or the three quoravel-admin commands.
#include "benchbook.h"
#include "reports/journalexport.h"
#include "reports/openings.h"
#include "transfer/bookimport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <benchmark/benchmark.h>

namespace {

QString g_book, g_dir;

QByteArray exportTo(qv::Connection& c, const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        throw qv::DbError("cannot write " + file);
    qv::rpt::exportJournal(c, {}, f);
    f.close();
    QFile r(file);
    r.open(QIODevice::ReadOnly);
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&r);
    return h.result();
}

// Every account's closing balance, by code, from the one opening function.
QHash<QString, qint64> closings(qv::Connection& c)
{
    QHash<qint64, QString> codes;
    QSqlQuery q = c.query("select RowID, AcNodes from Accounts");
    while (q.next())
        codes.insert(q.value(0).toLongLong(), q.value(1).toString().trimmed());
    QHash<QString, qint64> out;
    const auto all = qv::rpt::OpeningBalances(c).all(QDate(9999, 12, 31));
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        out.insert(codes.value(it.key()), it->cents);
    return out;
}

void BM_RoundTrip(benchmark::State& state)
{
    for (auto _ : state) {
        const QString into = g_dir + "/imported.sqlite";
        QFile::remove(into);
        QElapsedTimer t;
        t.start();
        qv::Connection src;
        qvb::openExisting(src, g_book, "Fendral");
        const QByteArray first = exportTo(src, g_dir + "/first.journal");
        const double exported = t.nsecsElapsed() / 1e9;
        qv::Connection dst;
        const qvb::BenchLogin login = qvb::openBenchBook(dst, into);
        state.PauseTiming(); // provisioning the empty book is not part of the round trip
        const double made = t.nsecsElapsed() / 1e9;
        state.ResumeTiming();
        qv::imp::ImportOptions o;
        const qv::imp::ImportResult r = qv::imp::runImport(dst, g_dir + "/first.journal", o, login.user);
        const double imported = t.nsecsElapsed() / 1e9;
        const QByteArray second = exportTo(dst, g_dir + "/second.journal");
        const double total = t.nsecsElapsed() / 1e9;
        if (first != second)
            state.SkipWithError("the journals differ");
        const auto before = closings(src), after = closings(dst);
        qint64 differ = 0;
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            differ += after.value(it.key()) != *it;
        differ += after.size() != before.size();
        if (differ)
            state.SkipWithError("trial balances differ");
        state.counters["export_s"] = exported;
        state.counters["import_s"] = imported - made;
        state.counters["reexport_s"] = total - imported;
        state.counters["vouchers"] = double(r.vouchers);
        state.counters["accounts_compared"] = double(before.size());
        state.counters["accounts_differing"] = double(differ);
    }
}

} // namespace

BENCHMARK(BM_RoundTrip)->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    g_book = argc > 1 && argv[1][0] != '-' ? QString::fromLocal8Bit(argv[1]) : "/tmp/import-1m/book.sqlite";
    g_dir = QFileInfo(g_book).absolutePath();
    QDir().mkpath(g_dir);
    if (!QFileInfo::exists(g_book)) {
        qv::Connection c;
        qvb::openBenchBook(c, g_book);
        qvb::BookPlan plan;
        plan.detailRows = qvb::benchRows(plan.detailRows); // QV_BENCH_ROWS
        const qvb::BookStats st = qvb::writeBook(c, plan);
        std::printf("wrote %lld detail rows to %s in %.1f s\n", (long long)st.detailRows, qPrintable(g_book),
                    st.seconds);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
