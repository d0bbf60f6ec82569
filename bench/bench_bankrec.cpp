// Bank reconciliation on the book of 1,000,000 detail rows (bookgen, kept between runs), for the
// bank account with the most bank book lines:
//   BM_LoadWindow   the reconciliation window reading that account up to the book's last day
//                   (the lines, the book balance, the last reconciliation) and filling its grid;
//   BM_ReadLines    the same reading without the window;
//   BM_Match500     a statement of 500 lines (450 of the account's lines as the bank shows them,
//                   half by cheque number, a day or two late; 50 the book lacks) read from CSV and
//                   matched against the account's lines; the matched count is a counter.
// Run: ./bench/bench_bankrec --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "bankrec/bankimport.h"
#include "bankrec/frmbankrec.h"
#include "benchbook.h"
#include "reportengine/report.h"
#include "shell/mdl_connection.h"
#include "widgets/accountbox.h"
#include "widgets/datebox.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
qvb::BenchBook Bench;
qint64 Busiest = 0;
qint64 BusiestLines = 0;
QByteArray Statement;

QStringList folders()
{
    return qv::rpt::templateFolders(QStringLiteral(QVB_TEMPLATES_DIR));
}

void BM_LoadWindow(benchmark::State& state)
{
    const QString name = Conn.scalar("select AcName from Accounts where RowID = ?", {Busiest}).toString();
    int rows = 0;
    for (auto _ : state) {
        frmBankRec w;
        w.findChild<qv::AccountBox*>(QStringLiteral("txtBank"))->setAccount(Busiest, name);
        w.findChild<qv::DateBox*>(QStringLiteral("dtpStatement"))->setDate(Bench.last);
        w.findChild<QLineEdit*>(QStringLiteral("txtStatementBal"))->setText(QStringLiteral("0"));
        w.cmdShow_Click();
        rows = w.findChild<QTableWidget*>(QStringLiteral("grdLines"))->rowCount();
    }
    state.counters["lines"] = rows;
}

// The window's reading alone: the lines, the book balance and the last reconciliation.
void BM_ReadLines(benchmark::State& state)
{
    for (auto _ : state) {
        qv::Reconciliation rec(Conn, folders());
        benchmark::DoNotOptimize(rec.lines(Busiest, Bench.last));
        benchmark::DoNotOptimize(rec.bookBalance(Busiest, Bench.last));
        benchmark::DoNotOptimize(rec.last(Busiest));
    }
}

void BM_Match500(benchmark::State& state)
{
    size_t matched = 0, unmatched = 0;
    for (auto _ : state) {
        const std::vector<qv::StatementLine> st = qv::readStatementCsv(Statement);
        const std::vector<qv::BankLine> lines = qv::Reconciliation(Conn, folders()).lines(Busiest, Bench.last);
        const qv::Matching m = qv::matchStatement(st, lines, 3);
        matched = m.proposals.size();
        unmatched = m.unmatched.size();
    }
    state.counters["matched"] = double(matched);
    state.counters["unmatched"] = double(unmatched);
}

// 450 of the account's lines as the bank prints them, then 50 amounts the book does not hold.
QByteArray makeStatement()
{
    const std::vector<qv::BankLine> lines = qv::Reconciliation(Conn, folders()).lines(Busiest, Bench.last);
    BusiestLines = qint64(lines.size());
    QByteArray csv = "Date,Description,Cheque,Debit,Credit,Balance\n";
    const size_t step = std::max<size_t>(1, lines.size() / 450);
    int n = 0;
    for (size_t i = 0; i < lines.size() && n < 450; i += step, ++n) {
        const qv::BankLine& l = lines[i];
        const QString cheque = n % 2 == 0 ? l.cheque : QString();
        csv += QStringLiteral("%1,LINE %2,%3,%4,%5,\n")
                   .arg(l.date.addDays(1 + n % 2).toString(Qt::ISODate))
                   .arg(n)
                   .arg(cheque, l.payment != qv::Money() ? qv::plainAmount(l.payment) : QString(),
                        l.receipt != qv::Money() ? qv::plainAmount(l.receipt) : QString())
                   .toUtf8();
    }
    for (int k = 0; k < 50; ++k)
        csv += QStringLiteral("%1,BANK CHARGES %2,,%3.17,,\n")
                   .arg(Bench.last.addDays(-k).toString(Qt::ISODate))
                   .arg(k)
                   .arg(7 + k)
                   .toUtf8();
    return csv;
}
} // namespace

#define QV_BENCH(f) BENCHMARK(f)->Unit(benchmark::kMillisecond)->UseRealTime()
QV_BENCH(BM_LoadWindow);
QV_BENCH(BM_ReadLines);
QV_BENCH(BM_Match500);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        Bench = qvb::openBench(Conn);
        SetProgramFolder(QStringLiteral(QVB_TEMPLATES_DIR));
        QSqlQuery q = Conn.query("select d.CrAc, count(*) from DetJV d join Accounts a on a.RowID = d.CrAc where "
                                 "a.BStatus = 'B' group by d.CrAc order by 2 desc limit 1");
        if (!q.next())
            throw qv::DbError(QStringLiteral("The book has no bank account with lines."));
        Busiest = q.value(0).toLongLong();
        Statement = makeStatement();
        std::fprintf(stderr, "busiest bank account %lld: %lld bank book lines up to %s\n", Busiest, BusiestLines,
                     qPrintable(Bench.last.toString(Qt::ISODate)));
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
