// Counting and removing a month of vouchers among 60,000 (240,000 lines) on the embedded
// database, and the verified copy written before a removal.
#include "db/money.h"
#include "db/provision.h"
#include "admin/removedata.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
constexpr int Vouchers = 60000;
constexpr int LinesEach = 4;

struct Fixture {
    QTemporaryDir dir;
    qv::Connection conn;

    Fixture()
    {
        qv::InitOptions o;
        o.dataSource = dir.filePath("Fendral.sqlite");
        o.user = "bench";
        o.password = "bench";
        o.lockPassword = "lock";
        o.cost = qv::Logins::HashCost::Minimal;
        qv::Provision::init(o);
        conn.openFileUnchecked(o.dataSource, false);
        const char* kinds[] = {"JV", "BP", "BR", "CP", "CR"};
        qv::Transaction tx(conn);
        // About 80 vouchers a day over two years.
        for (int i = 0; i < Vouchers; ++i) {
            const QString kind = QString::fromLatin1(kinds[i % 5]);
            const QDate date = QDate(2024, 1, 1).addDays(i / 82);
            conn.execute("insert into MasJV (VouNo, VouStatus, VouDate, TotalAmount) values (?, ?, ?, ?)",
                         {i / 5 + 1, kind, date, QVariant::fromValue(qv::Money(100000))});
            for (int l = 0; l < LinesEach; ++l)
                conn.execute("insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt) "
                             "values (?, ?, ?, ?, ?, ?, ?, ?)",
                             {i / 5 + 1, kind, date, l + 1, 10 + l, 20 + l, QVariant::fromValue(qv::Money(25000)),
                              QVariant::fromValue(qv::Money(0))});
        }
        tx.commit();
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

qv::RemovalChoice aMonth(const QString& kind)
{
    qv::RemovalChoice ch;
    ch.vouchers = true;
    ch.kind = kind;
    ch.from = QDate(2025, 3, 1);
    ch.to = QDate(2025, 3, 31);
    ch.categories = true;
    return ch;
}

void BM_CountMonth(benchmark::State& state)
{
    auto& f = fixture();
    const auto ch = aMonth(state.range(0) ? "BP" : "");
    for (auto _ : state)
        benchmark::DoNotOptimize(qv::RemoveData(f.conn).count(ch));
}
BENCHMARK(BM_CountMonth)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_RemoveMonthRolledBack(benchmark::State& state)
{
    auto& f = fixture();
    const auto ch = aMonth("");
    const auto expected = qv::RemoveData(f.conn).count(ch);
    for (auto _ : state) {
        // The removal joins this outer transaction, which is rolled back: the next round finds the rows again.
        qv::Transaction outer(f.conn);
        benchmark::DoNotOptimize(qv::RemoveData(f.conn).remove(ch, expected));
    }
    state.counters["lines"] = expected.lines;
}
BENCHMARK(BM_RemoveMonthRolledBack)->Unit(benchmark::kMillisecond);

void BM_VerifiedCopy(benchmark::State& state)
{
    auto& f = fixture();
    int n = 0;
    for (auto _ : state) {
        const QString path = f.dir.filePath(QString("copy%1.sqlite").arg(++n));
        qv::RemoveData(f.conn).backupTo(path);
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_VerifiedCopy)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
