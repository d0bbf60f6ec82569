// The party reports on the book of 1,000,000 detail rows (bookgen, kept between runs: 1,000
// subsidiary accounts under 5 control heads of 200 each and 20 sub-control heads of 50): each
// data preparation (exec ...) as the launcher sends it.
//   Ageing1000        the ageing of all 1,000 parties as at the last day of a year: the five
//                     control heads, one after the other, in one iteration
//   StatementsHead    a sub-control head's 50 statements for a year
//   StatementOne      one party's statement for a year
// Run: ./bench/bench_partyreports --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "benchbook.h"
#include "reports/procedures.h"
#include "shell/mdl_connection.h"

#include <QGuiApplication>
#include <QSqlQuery>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
const QDate YearFrom(2025, 7, 1), YearTo(2026, 6, 30);
QList<qint64> controls, subControls;
qint64 party = 0;

void BM_Ageing1000(benchmark::State& state)
{
    for (auto _ : state)
        for (const qint64 head : controls)
            Conn.execute(qv::rpt::ageingStatement(head, YearTo));
    state.counters["parties"] =
        double(Conn.scalar(QStringLiteral("select count(*) from Accounts where AcStatus = 'DD'")).toLongLong());
}
void BM_StatementsHead(benchmark::State& state)
{
    for (auto _ : state)
        Conn.execute(qv::rpt::partyStatementStatement(subControls.value(4), YearFrom, YearTo));
}
void BM_StatementOne(benchmark::State& state)
{
    for (auto _ : state)
        Conn.execute(qv::rpt::partyStatementStatement(party, YearFrom, YearTo));
}

QList<qint64> heads(const char* status)
{
    QList<qint64> out;
    QSqlQuery q = Conn.query(QStringLiteral("select RowID from Accounts where AcStatus = ? order by RowID"),
                             {QLatin1String(status)});
    while (q.next())
        out << q.value(0).toLongLong();
    return out;
}

} // namespace

#define QV_BENCH(f) BENCHMARK(f)->Unit(benchmark::kMillisecond)->UseRealTime()
QV_BENCH(BM_Ageing1000);
QV_BENCH(BM_StatementsHead);
QV_BENCH(BM_StatementOne);

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    try {
        const qvb::BenchBook book = qvb::openBench(Conn);
        party = book.party;
        qv::rpt::installProcedures(Conn);
        controls = heads("HH");
        subControls = heads("HD");
    } catch (const qv::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Conn.close(); // before the application goes
    return 0;
}
