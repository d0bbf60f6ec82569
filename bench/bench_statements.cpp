// The balance sheet and the profit and loss account on the book of 1,000,000 detail rows
// (bookgen, kept between runs; its five heads classed Assets to Expenses): each data preparation
// (exec ...) as the launcher sends it, down to the subsidiary accounts.
// Run: ./bench/bench_statements --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// The book: as every benchmark's (bench/benchbook.h).
#include "benchbook.h"
#include "masters/accountclasses.h"
#include "reports/procedures.h"
#include "shell/mdl_connection.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
const QDate YearFrom(2025, 7, 1), YearTo(2026, 6, 30);

void exec(benchmark::State& state, const QString& statement)
{
    for (auto _ : state)
        Conn.execute(statement);
}

void BM_BalanceSheet(benchmark::State& s)
{
    exec(s, qv::rpt::balanceSheetStatement(YearTo, 3));
}
void BM_BalanceSheetCompared(benchmark::State& s)
{
    exec(s, qv::rpt::balanceSheetStatement(YearTo, 3, YearTo.addYears(-1)));
}
void BM_ProfitLossYear(benchmark::State& s)
{
    exec(s, qv::rpt::profitLossStatement(YearFrom, YearTo, 3, false));
}
void BM_ProfitLossYearCompared(benchmark::State& s)
{
    exec(s, qv::rpt::profitLossStatement(YearFrom, YearTo, 3, true));
}

} // namespace

#define QV_BENCH(f) BENCHMARK(f)->Unit(benchmark::kMillisecond)->UseRealTime()
QV_BENCH(BM_BalanceSheet);
QV_BENCH(BM_BalanceSheetCompared);
QV_BENCH(BM_ProfitLossYear);
QV_BENCH(BM_ProfitLossYearCompared);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // no screen needed
    QGuiApplication app(argc, argv);
    try {
        qvb::openBench(Conn);
        qv::rpt::installProcedures(Conn);
        // A book written before the classes came is classed as bookgen classes new ones.
        qv::AccountClasses classes(Conn);
        for (int h = 1; h <= 5; ++h)
            if (classes.byCode().value(QString::number(h)).isNull())
                classes.set(QString::number(h), QLatin1Char("ALEIX"[h - 1]));
    } catch (const qv::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The book's connection goes before the application: a global's database closed after the
    // application's end crashed at exit.
    Conn.close();
    return 0;
}
