// The voucher store on an embedded database of 1,000,000 detail rows (bookgen): saving a new
// 20-line voucher (one transaction, committed to disk), changing it, opening it, and proposing
// the next number (NewNo).
// Run: ./bench/bench_vouchers --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// QV_BENCH_ROWS=n changes the size of the book; QV_BENCH_SERVER=host:port measures on a server.
#include "benchbook.h"
#include "bookgen.h"
#include "db/provision.h"
#include "vouchers/voucherstore.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
qv::Connection* g_conn = nullptr;
qvb::BookStats g_book;
qint64 g_opened = 0; // a 20-line bank payment in the book

qv::Voucher twentyLines(qint64 number)
{
    qv::Voucher v;
    v.kind = qv::VoucherKind::BP;
    v.number = number;
    v.date = QDate(2025, 6, 30);
    v.party = QStringLiteral("AL-NOOR CONSTRUCTION");
    const qint64 bank = g_book.accounts[1];
    for (int i = 0; i < 20; ++i) {
        qv::VoucherLine l;
        l.drAc = g_book.accounts[20 + i * 7];
        l.crAc = bank;
        l.amount = qv::Money(123456 + i * 101);
        l.cheque = QString::number(880100 + i);
        l.narration = QStringLiteral("Running bill %1, phase II").arg(i);
        l.fileNo = QString::number(i);
        v.lines.push_back(l);
    }
    return v;
}

void BM_SaveNew20Lines(benchmark::State& state)
{
    qv::VoucherStore store(*g_conn);
    for (auto _ : state) {
        const qint64 no = store.nextNumber(qv::VoucherKind::BP, 1);
        benchmark::DoNotOptimize(store.save(twentyLines(no), true, QStringLiteral("bench")));
    }
}

void BM_Change20Lines(benchmark::State& state)
{
    qv::VoucherStore store(*g_conn);
    qv::Voucher v = twentyLines(g_opened);
    v.rowId = store.open(v.kind, v.number)->rowId;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.save(v, false, QStringLiteral("bench")));
}

void BM_Open20Lines(benchmark::State& state)
{
    qv::VoucherStore store(*g_conn);
    for (auto _ : state) {
        auto v = store.open(qv::VoucherKind::BP, g_opened);
        if (!v || v->lines.size() != 20)
            state.SkipWithError("the voucher did not open with its 20 lines");
        benchmark::DoNotOptimize(v);
    }
}

void BM_NextNumber(benchmark::State& state)
{
    qv::VoucherStore store(*g_conn);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.nextNumber(qv::VoucherKind::JV, 1));
}
} // namespace

BENCHMARK(BM_SaveNew20Lines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Change20Lines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Open20Lines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NextNumber)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    qv::Connection conn;
    qvb::openFreshBook(conn, dir.filePath(QStringLiteral("bench.sqlite")), QStringLiteral("vouchers"));
    g_conn = &conn;

    qvb::BookPlan plan;
    if (const qint64 rows = qEnvironmentVariableIntValue("QV_BENCH_ROWS"); rows > 0)
        plan.detailRows = rows;
    g_book = qvb::writeBook(conn, plan);
    std::fprintf(stderr, "book: %lld vouchers, %lld detail rows written in %.1f s\n", (long long)g_book.vouchers,
                 (long long)g_book.detailRows, g_book.seconds);
    // The book balances to the cent, as every voucher does.
    if (conn.scalar(QStringLiteral("select count(*) from DetJV")).toLongLong() != plan.detailRows
        || conn.moneyOrZero(conn.scalar(QStringLiteral("select sum(DrAmt) - sum(CrAmt) from DetJV"))).cents != 0) {
        std::fprintf(stderr, "the book is not what was asked for\n");
        return 1;
    }
    qv::VoucherStore store(conn);
    g_opened = store.save(twentyLines(store.nextNumber(qv::VoucherKind::BP, 1)), true, QStringLiteral("bench")).number;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_conn = nullptr;
    return 0;
}
