// The book's schema check on a 1M-line book: what every open pays (objects compared with the
// program's own, the wrong-kind indexes read), and the full read of every amount that a restore
// and an upgrade do.
//   ./bench/bench_bookcheck [BOOK] --benchmark_repetitions=5
// BOOK (default: a temporary file) is written once by bookgen and kept between runs.
#include "bookgen.h"
#include "db/schemacheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QString g_book;

void BM_CheckAtOpen(benchmark::State& state)
{
    qv::Connection c;
    c.openFileUnchecked(g_book, false);
    for (auto _ : state)
        qv::Schema::verifyEmbedded(c);
}

void BM_EveryAmountRead(benchmark::State& state)
{
    qv::Connection c;
    c.openFileUnchecked(g_book, false);
    for (auto _ : state)
        qv::Schema::checkStoredAmounts(c);
}

void BM_BookFileCheck(benchmark::State& state)
{
    for (auto _ : state)
        qv::Schema::verifyBookFile(g_book);
}

} // namespace

BENCHMARK(BM_CheckAtOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EveryAmountRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BookFileCheck)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_book = argc > 1 && argv[1][0] != '-' ? QString::fromLocal8Bit(argv[1]) : dir.filePath("book.sqlite");
    if (!QFileInfo::exists(g_book)) {
        qv::Connection c;
        qvb::openBenchBook(c, g_book);
        const qvb::BookStats st = qvb::writeBook(c);
        std::printf("wrote %lld detail rows to %s in %.1f s\n", (long long)st.detailRows, qPrintable(g_book),
                    st.seconds);
    }
    {
        // The first check of a process also evaluates the program's DDL in memory.
        qv::Connection c;
        QElapsedTimer t;
        t.start();
        c.openFileUnchecked(g_book, false);
        std::printf("first open of the process, with its check: %.2f ms\n", t.nsecsElapsed() / 1e6);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
