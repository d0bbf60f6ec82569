// The audit trail on an embedded book of 1,000,000 detail rows (bookgen) whose trail holds
// 1,000,000 records: walking the whole chain (audit verify), and the History of one voucher saved
// and changed through the store. The save of a 20-line voucher with its record is bench_vouchers'.
// Run: ./bench/bench_audit --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// QV_BENCH_ROWS=n and QV_BENCH_RECORDS=n change the sizes.
#include "bookgen.h"
#include "db/audittrail.h"
#include "vouchers/voucherhistory.h"
#include "vouchers/voucherstore.h"
#include "vouchers/voucherwrites.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlQuery>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
qv::Connection* g_conn = nullptr;
qint64 g_voucher = 0; // a journal voucher saved, then changed five times

// `n` chained records as the store writes them: a two-line voucher's image after each save.
void writeTrail(qv::Connection& c, qint64 n)
{
    QSqlQuery first = c.query(QStringLiteral("select VouStatus, VouNo from MasJV order by RowID limit 1"));
    first.next();
    const QString image = qv::VoucherWrites::image(c, first.value(0).toString(), first.value(1).toLongLong());
    first.finish();
    qv::Transaction tx(c);
    qv::AuditTrail::Head head = qv::AuditTrail(c).head();
    QSqlQuery q(c.database());
    q.prepare(QStringLiteral("insert into AuditTrail (Seq, At, Login, Host, Action, TableName, RowKey, Before, After, "
                             "PrevHash, Hash) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    qv::AuditRecord r;
    r.login = QStringLiteral("bench");
    r.host = qv::AuditTrail::host();
    r.action = QStringLiteral("voucher saved");
    r.table = QStringLiteral("MasJV");
    r.before = QStringLiteral("");
    r.after = image;
    for (qint64 i = 0; i < n; ++i) {
        r.seq = head.seq + 1;
        r.prevHash = head.hash.isNull() ? QStringLiteral("") : head.hash;
        r.at = QStringLiteral("2025-06-30T10:00:00.000Z");
        r.key = QStringLiteral("JV-%1").arg(100000 + i);
        r.hash = qv::AuditTrail::hashOf(r);
        const QVariantList values{r.seq, r.at,     r.login, r.host,     r.action, r.table,
                                  r.key, r.before, r.after, r.prevHash, r.hash};
        for (int k = 0; k < values.size(); ++k)
            q.bindValue(k, values[k]);
        if (!q.exec())
            throw qv::DbError(QStringLiteral("the trail could not be written"));
        head = {r.seq, r.hash};
    }
    tx.commit();
}

void BM_VerifyWholeTrail(benchmark::State& state)
{
    for (auto _ : state) {
        const auto broken = qv::AuditTrail(*g_conn).verify();
        if (broken)
            state.SkipWithError("the chain is broken");
    }
}

void BM_HistoryOfOneVoucher(benchmark::State& state)
{
    for (auto _ : state) {
        const auto h = qv::voucherHistory(*g_conn, QStringLiteral("JV"), g_voucher);
        if (h.size() != 6)
            state.SkipWithError("the History does not hold the voucher's six records");
        benchmark::DoNotOptimize(h);
    }
}
} // namespace

BENCHMARK(BM_VerifyWholeTrail)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HistoryOfOneVoucher)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const QString folder = qEnvironmentVariable("QV_BENCH_DIR", QDir::tempPath());
    QTemporaryDir dir(folder + QStringLiteral("/qv-bench-audit-XXXXXX"));
    qv::Connection conn;
    qvb::openBenchBook(conn, dir.filePath(QStringLiteral("bench.sqlite")));
    g_conn = &conn;
    qvb::BookPlan plan;
    if (const qint64 rows = qEnvironmentVariableIntValue("QV_BENCH_ROWS"); rows > 0)
        plan.detailRows = rows;
    const qvb::BookStats book = qvb::writeBook(conn, plan);
    qint64 records = 1'000'000;
    if (const qint64 n = qEnvironmentVariableIntValue("QV_BENCH_RECORDS"); n > 0)
        records = n;
    QElapsedTimer clock;
    clock.start();
    writeTrail(conn, records);
    std::fprintf(stderr, "book: %lld detail rows; trail: %lld records written in %.1f s\n", (long long)book.detailRows,
                 (long long)records, clock.elapsed() / 1000.0);
    qv::VoucherStore store(conn);
    qv::Voucher v;
    v.kind = qv::VoucherKind::JV;
    v.number = store.nextNumber(qv::VoucherKind::JV, 1);
    v.date = QDate(2025, 6, 30);
    v.party = QStringLiteral("AL-NOOR CONSTRUCTION");
    for (int i = 0; i < 2; ++i) {
        qv::VoucherLine l;
        l.drAc = book.accounts[20 + i];
        l.crAc = book.accounts[1];
        l.amount = qv::Money(100000 + i);
        l.narration = QStringLiteral("Running bill %1").arg(i);
        v.lines.push_back(l);
    }
    v.rowId = store.save(v, true, QStringLiteral("bench")).rowId;
    g_voucher = v.number;
    for (int i = 0; i < 5; ++i) {
        v.lines.front().amount = qv::Money(200000 + i);
        store.save(v, false, QStringLiteral("bench"));
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
