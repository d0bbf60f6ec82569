// The accounts reports on a book of 1,000,000 detail rows (bookgen, kept between runs): each data
// preparation (exec ...), the cash and bank book's query, every report from its button to its
// laid-out pages (preparation, template, query, layout), and from the button to page 1 as the
// viewer shows it (the rest laid out afterwards). Ledgers and books: one account over the last
// year; trial balances: the whole book (and the trial balance with opening over the year); the
// opening balance of the busiest account.
// Run: ./bench/bench_accountsreports --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// The book: QV_BENCH_ROWS=10M for ten million rows, QV_BENCH_SERVER=host:port for PostgreSQL
// (bench/benchbook.h).
#include "benchbook.h"
#include "db/provision.h"
#include "reports/accountsreport.h"
#include "reports/openings.h"
#include "reports/procedures.h"
#include "reportengine/reportdata.h"
#include "reportengine/reportjob.h"
#include "shell/mdl_connection.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

using qv::rpt::AccountsReport;

namespace {
qvb::BenchBook g_book;
qint64 g_bank = 0, g_party = 0;
const QDate YearFrom(2025, 7, 1), YearTo(2026, 6, 30);
QDate g_first, g_last;

void exec(benchmark::State& state, const QString& statement)
{
    for (auto _ : state)
        Conn.execute(statement);
}

void BM_TrialBalance(benchmark::State& s)
{
    exec(s, qv::rpt::trialBalanceStatement(g_first, g_last));
}
void BM_TrialBalance3(benchmark::State& s)
{
    exec(s, qv::rpt::trialBalance3Statement(g_first, g_last));
}
void BM_TrialBalance3Year(benchmark::State& s)
{
    exec(s, qv::rpt::trialBalance3Statement(YearFrom, YearTo));
}
// The one opening balance of the busiest account in the middle of a month: whole months from
// the month sums, the rest of the month from its rows.
void BM_OpeningOneAccount(benchmark::State& s)
{
    qv::rpt::OpeningBalances openings(Conn);
    for (auto _ : s)
        benchmark::DoNotOptimize(openings.of(g_book.cash, YearTo.addDays(-14)));
}
void BM_AcLedgerParty(benchmark::State& s)
{
    exec(s, qv::rpt::acLedgerStatement(g_party, YearFrom, YearTo));
}
void BM_DetailAcLedgerParty(benchmark::State& s)
{
    exec(s, qv::rpt::detailAcLedgerStatement(g_party, YearFrom, YearTo));
}
void BM_AcLedgerCash(benchmark::State& s)
{
    exec(s, qv::rpt::acLedgerStatement(g_book.cash, YearFrom, YearTo));
}
void BM_DetailAcLedgerCash(benchmark::State& s)
{
    exec(s, qv::rpt::detailAcLedgerStatement(g_book.cash, YearFrom, YearTo));
}

// The book's own query (main rows and both subreports), every row read.
void bookQuery(benchmark::State& state, qint64 account)
{
    auto report = qv::rpt::openAccountsReport(TheBook, AccountsReport::BankBook, account, YearFrom, YearTo);
    const qv::rpt::Template& t = report->templ();
    qint64 rows = 0;
    for (auto _ : state) {
        for (int i = 0; i < t.subreports.size(); ++i) {
            qv::rpt::QueryRows sub(Conn, t.subreports[i], report->OpenSubreport(t.subreports[i].name).formula());
            qv::rpt::Row r;
            while (sub.next(r))
                ++rows;
        }
        const auto sel = qv::rpt::Formula::parse(report->RecordSelectionFormula(), t.main.fields);
        qv::rpt::QueryRows main(Conn, t.main, sel);
        qv::rpt::Row r;
        while (main.next(r))
            ++rows;
    }
    state.counters["rows"] = double(rows) / double(state.iterations());
}
// A ledger as the user waits for all of it: its preparation (exec ...) and then every row of its
// query read, the lines' texts with them.
void ledgerAllRows(benchmark::State& state, AccountsReport r)
{
    qint64 rows = 0;
    for (auto _ : state) {
        auto report = qv::rpt::openAccountsReport(TheBook, r, g_book.cash, YearFrom, YearTo);
        const auto sel = qv::rpt::Formula::parse(report->RecordSelectionFormula(), report->templ().main.fields);
        qv::rpt::QueryRows main(Conn, report->templ().main, sel);
        qv::rpt::Row row;
        while (main.next(row))
            ++rows;
    }
    state.counters["rows"] = double(rows) / double(state.iterations());
}
void BM_AcLedgerCashAllRows(benchmark::State& s)
{
    ledgerAllRows(s, AccountsReport::SimpleLedger);
}
void BM_DetailAcLedgerCashAllRows(benchmark::State& s)
{
    ledgerAllRows(s, AccountsReport::DetailLedger);
}
void BM_CashBookQuery(benchmark::State& s)
{
    bookQuery(s, g_book.cash);
}
void BM_BankBookQuery(benchmark::State& s)
{
    bookQuery(s, g_bank);
}

// From the button to the laid-out pages.
void buttonToPages(benchmark::State& state, AccountsReport r, qint64 account)
{
    const bool tb = qv::rpt::accountsReport(r).trialBalance;
    int pages = 0;
    for (auto _ : state) {
        auto report = qv::rpt::openAccountsReport(TheBook, r, account, tb ? g_first : YearFrom, tb ? g_last : YearTo);
        pages = report->run(Conn)->pageCount();
    }
    state.counters["pages"] = pages;
}
void BM_Button_CashBook(benchmark::State& s)
{
    buttonToPages(s, AccountsReport::CashBook, g_book.cash);
}
void BM_Button_BankBook(benchmark::State& s)
{
    buttonToPages(s, AccountsReport::BankBook, g_bank);
}
void BM_Button_SimpleLedger(benchmark::State& s)
{
    buttonToPages(s, AccountsReport::SimpleLedger, g_party);
}
void BM_Button_DetailLedger(benchmark::State& s)
{
    buttonToPages(s, AccountsReport::DetailLedger, g_party);
}
void BM_Button_TrialBalance(benchmark::State& s)
{
    buttonToPages(s, AccountsReport::TrialBalance, 0);
}
void BM_Button_ControlTB(benchmark::State& s)
{
    buttonToPages(s, AccountsReport::ControlTrialBalance, 0);
}
void BM_Button_TBWithOpening(benchmark::State& s)
{
    buttonToPages(s, AccountsReport::TrialBalanceWithOpening, 0);
}

// From the button to page 1 laid out, as frmVeiwer::ShowReport gets it before the viewer comes
// up (with the first-pages budget at 0): the rest of the report is not waited for.
void buttonToFirstPage(benchmark::State& state, AccountsReport r, qint64 account)
{
    int rows = 0;
    for (auto _ : state) {
        auto report = qv::rpt::openAccountsReport(TheBook, r, account, YearFrom, YearTo);
        auto job = report->start(Conn);
        while (!job->step(200) && job->document()->laidOutPages() < 1) {
        }
        job->releaseConnection();
        rows = job->document()->detailRows;
        state.PauseTiming(); // the rest of the report is laid out later, between the user's events
        job.reset();
        state.ResumeTiming();
    }
    state.counters["rows_read"] = rows;
}
void BM_FirstPage_CashBook(benchmark::State& s)
{
    buttonToFirstPage(s, AccountsReport::CashBook, g_book.cash);
}
void BM_FirstPage_DetailLedgerCash(benchmark::State& s)
{
    buttonToFirstPage(s, AccountsReport::DetailLedger, g_book.cash);
}

// The same cash book as a server's report read before it had a session of its own: through the
// program's connection, every remaining row read before the viewer came up. (The template here
// also names a work table of the session, which sends it that way; on the embedded book both
// read alike.)
QString g_viaProgram; // a folder with that template
void BM_FirstPage_CashBook_ProgramConnection(benchmark::State& s)
{
    SetProgramFolder(g_viaProgram);
    buttonToFirstPage(s, AccountsReport::CashBook, g_book.cash);
    SetProgramFolder(QStringLiteral(QVB_TEMPLATES_DIR));
}
} // namespace

#define QV_BENCH(f) BENCHMARK(f)->Unit(benchmark::kMillisecond)->UseRealTime()
QV_BENCH(BM_TrialBalance);
QV_BENCH(BM_TrialBalance3);
QV_BENCH(BM_TrialBalance3Year);
BENCHMARK(BM_OpeningOneAccount)->Unit(benchmark::kMicrosecond)->UseRealTime();
QV_BENCH(BM_AcLedgerParty);
QV_BENCH(BM_DetailAcLedgerParty);
QV_BENCH(BM_AcLedgerCash);
QV_BENCH(BM_DetailAcLedgerCash);
QV_BENCH(BM_AcLedgerCashAllRows);
QV_BENCH(BM_DetailAcLedgerCashAllRows);
QV_BENCH(BM_CashBookQuery);
QV_BENCH(BM_BankBookQuery);
QV_BENCH(BM_Button_CashBook);
QV_BENCH(BM_Button_BankBook);
QV_BENCH(BM_Button_SimpleLedger);
QV_BENCH(BM_Button_DetailLedger);
QV_BENCH(BM_Button_TrialBalance);
QV_BENCH(BM_Button_ControlTB);
QV_BENCH(BM_Button_TBWithOpening);
QV_BENCH(BM_FirstPage_CashBook);
QV_BENCH(BM_FirstPage_DetailLedgerCash);
QV_BENCH(BM_FirstPage_CashBook_ProgramConnection);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // pages are laid out with real fonts, no screen needed
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    try {
        g_book = qvb::openBench(Conn);
    } catch (const qv::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    LoginUser = g_book.login.user;
    LoginPassword = g_book.login.password;
    SetProgramFolder(QStringLiteral(QVB_TEMPLATES_DIR));
    qv::rpt::installProcedures(Conn);
    QTemporaryDir viaProgram;
    {
        QFile in(QStringLiteral(QVB_TEMPLATES_DIR "/rptAcLedger3.rpt"));
        QFile out(viaProgram.filePath(QStringLiteral("rptAcLedger3.rpt")));
        const QByteArray company = "    left join Company c on";
        QByteArray text = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
        if (!text.contains(company) || !out.open(QIODevice::WriteOnly)
            || out.write(text.replace(company,
                                      "    left join (select count(*) as n from tmpAcLedger) w on 1 = 1\n" + company))
                   < 0) {
            std::fprintf(stderr, "the cash book's template could not be copied\n");
            return 1;
        }
        g_viaProgram = viaProgram.path();
        Conn.execute(qv::rpt::acLedgerStatement(g_book.cash, YearFrom, YearFrom)); // the session's work table
    }
    g_first = g_book.first;
    g_last = g_book.last.addDays(1);
    g_bank = g_book.bank;
    g_party = g_book.party;
    auto count = [](const char* sql, qint64 a) {
        return Conn.scalar(QString::fromLatin1(sql), {a, YearFrom, YearTo}).toLongLong();
    };
    std::fprintf(
        stderr,
        "book: %lld detail rows; in the year: party %lld own rows, cash %lld own rows and %lld book lines, "
        "bank %lld book lines\n",
        (long long)g_book.rows,
        (long long)count("select count(*) from DetJV where AcCode = ? and VouDate between ? and ?", g_party),
        (long long)count("select count(*) from DetJV where AcCode = ? and VouDate between ? and ?", g_book.cash),
        (long long)count("select count(*) from DetJV where CrAc = ? and VouDate between ? and ?", g_book.cash),
        (long long)count("select count(*) from DetJV where CrAc = ? and VouDate between ? and ?", g_bank));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Conn.close();
    return 0;
}
