// The search tab of the journal window on a book of 100,000 journal vouchers (1 to 3 lines each,
// 300,000 detail rows in all): one keystroke in the search box, the search and the refill of
// mshSearch with its repaint, for the number search and the party search. The first character of
// a search lists a large share of the book; later characters narrow it. The window searches the
// kind's vouchers in memory (read when the tab is shown: timed once as "load"); the query of the
// same search shows what a keystroke cost when it asked the database.
// Run: ./bench/bench_vouchersearch --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// QV_BENCH_VOUCHERS=n changes the size of the book; QV_BENCH_SERVER=host:port puts it on
// PostgreSQL (bench/benchbook.h).
#include "db/provision.h"
#include "shell/mdl_connection.h"
#include "vouchers/frmvoucher.h"
#include "vouchers/vouchersearch.h"
#include "vouchers/voucherstore.h"

#include "benchbook.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlError>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {
frmVoucher* g_win = nullptr;

const char* Names[] = {"KHAN",  "AHMED", "MALIK", "BUTT",   "CHAUDHRY", "QURESHI", "SHEIKH", "RANA",
                       "MIRZA", "ZAIDI", "RAZA",  "HASHMI", "NAQVI",    "BAIG",    "DAR",    "GILL"};
const char* Trades[] = {"TRADERS",        "CEMENT DEALERS", "STEEL MILLS", "BUILDERS",       "ESTATE AGENTS",
                        "ELECTRIC STORE", "TIMBER MART",    "PAINTS",      "SANITARY STORE", "TRANSPORT"};

// Journal vouchers 1..n in the store's row shapes, in one transaction.
void writeVouchers(int n)
{
    qv::Transaction tx(Conn);
    const QString acc = QStringLiteral("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                                       "values (?, ?, ?, ?, ?) returning RowID");
    Conn.insertReturningKey(acc, {"9", "BENCH", "HH", "9", 0});
    Conn.insertReturningKey(acc, {"9.1", "BENCH ACCOUNTS", "HD", "9", 1});
    QList<qint64> accounts;
    for (int i = 1; i <= 200; ++i)
        accounts << Conn.insertReturningKey(
            acc, {QStringLiteral("9.1.%1").arg(i), QStringLiteral("ACCOUNT %1").arg(i), "DD", "9.1", i});
    const std::unique_ptr<qvb::RowWriter> out = qvb::rowWriter(Conn);
    quint32 rnd = 4711;
    auto next = [&rnd](quint32 m) {
        rnd = rnd * 1103515245u + 12345u;
        return (rnd >> 8) % m;
    };
    const QDate from(2024, 7, 1);
    for (int no = 1; no <= n; ++no) {
        qv::Voucher v;
        v.kind = qv::VoucherKind::JV;
        v.number = no;
        v.date = from.addDays(qint64(no) * 730 / n);
        v.party = QStringLiteral("%1 %2 %3")
                      .arg(QString::fromLatin1(Names[next(16)]), QString::fromLatin1(Trades[next(10)]))
                      .arg(next(500));
        const int lines = 1 + int(next(3));
        for (int i = 0; i < lines; ++i) {
            qv::VoucherLine l;
            const int a = int(next(200));
            l.drAc = accounts[a];
            l.crAc = accounts[(a + 1 + int(next(199))) % 200];
            l.amount = qv::Money(100 + qint64(next(10'000'000)));
            l.narration = QStringLiteral("Line %1").arg(i + 1);
            v.lines.push_back(l);
        }
        const qv::Money total = v.total();
        out->master({no, "JV", v.date, v.party, QVariant::fromValue(total), "bench"});
        const QVariant none(QMetaType::fromType<QString>());
        for (const qv::DetailRow& r : qv::VoucherStore::detailRows(v, total))
            out->detail({no, "JV", v.date, r.entryNo, r.acCode, *r.crAc, QVariant::fromValue(r.dr),
                         QVariant::fromValue(r.cr), none, r.narration, none, none});
    }
    out->finish();
    tx.commit();
}

void drain()
{
    while (!g_win->searchComplete())
        QCoreApplication::processEvents();
}

// One keystroke: the box holds `before`, the user types the last character of `after`. Timed:
// the search and the repaint of the list, until the window takes the next key. A long list's
// further pages are read afterwards, between keys; `whole` times the list up to its last page.
void keystroke(benchmark::State& state, const QString& criterion, const QString& before, const QString& after,
               bool whole = false)
{
    g_win->findChild<QComboBox*>("cboSearch")->setCurrentText(criterion);
    for (auto _ : state) {
        state.PauseTiming();
        g_win->findChild<QLineEdit*>("txtSearch")->setText(before);
        drain();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        g_win->findChild<QLineEdit*>("txtSearch")->setText(after);
        g_win->findChild<QTableView*>("mshSearch")->viewport()->repaint();
        if (whole)
            drain();
    }
    drain(); // outside the timed loop
    state.counters["rows"] = double(g_win->findChild<QTableView*>("mshSearch")->model()->rowCount());
}

const QString Number = QStringLiteral("Voucher #");
const QString Party = QStringLiteral("Paid To");
void BM_Number_FirstDigit(benchmark::State& s)
{
    keystroke(s, Number, QString(), QStringLiteral("4"));
}
void BM_Number_Narrowing(benchmark::State& s)
{
    keystroke(s, Number, QStringLiteral("471"), QStringLiteral("4711"));
}
void BM_Number_BackToEmpty(benchmark::State& s)
{
    keystroke(s, Number, QStringLiteral("4"), QString());
}
void BM_Number_FirstDigit_WholeList(benchmark::State& s)
{
    keystroke(s, Number, QString(), QStringLiteral("4"), true);
}
void BM_Party_FirstLetter(benchmark::State& s)
{
    keystroke(s, Party, QString(), QStringLiteral("Q"));
}
void BM_Party_Narrowing(benchmark::State& s)
{
    keystroke(s, Party, QStringLiteral("KHAN STEEL MILLS 4"), QStringLiteral("KHAN STEEL MILLS 47"));
}
// The store's query alone, to show how much of a keystroke is the database.
void BM_Query_Number(benchmark::State& state, const QString& typed)
{
    qv::VoucherSearch search(Conn);
    std::vector<qv::FoundVoucher> kept;
    for (auto _ : state)
        kept = search.byNumber(qv::VoucherKind::JV, typed);
    state.counters["rows"] = double(kept.size());
}
void BM_Query_Party(benchmark::State& state, const QString& typed)
{
    qv::VoucherSearch search(Conn);
    std::vector<qv::FoundVoucher> kept;
    for (auto _ : state)
        kept = search.byParty(qv::VoucherKind::JV, typed);
    state.counters["rows"] = double(kept.size());
}
} // namespace

BENCHMARK_CAPTURE(BM_Query_Number, whole_first_digit, QStringLiteral("4"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Query_Number, narrowing, QStringLiteral("4711"))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Query_Party, first_letter, QStringLiteral("Q"))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Query_Party, narrowing, QStringLiteral("KHAN STEEL MILLS 47"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// Each keystroke first fills the list of the text before it to its end (not timed): a fixed
// number of keystrokes keeps the run short at a million vouchers.
#define QV_KEYSTROKE(f) BENCHMARK(f)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20)
QV_KEYSTROKE(BM_Number_FirstDigit);
QV_KEYSTROKE(BM_Number_Narrowing);
QV_KEYSTROKE(BM_Number_BackToEmpty);
QV_KEYSTROKE(BM_Number_FirstDigit_WholeList);
QV_KEYSTROKE(BM_Party_FirstLetter);
QV_KEYSTROKE(BM_Party_Narrowing);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const int n = qEnvironmentVariableIntValue("QV_BENCH_VOUCHERS") > 0
                      ? qEnvironmentVariableIntValue("QV_BENCH_VOUCHERS")
                      : 100'000;
    QElapsedTimer t;
    t.start();
    qvb::openKeptBook(
        Conn, QStringLiteral("vouchers_%1").arg(n),
        [n](qv::Connection& c) { return c.scalar(QStringLiteral("select count(*) from MasJV")).toInt() == n; },
        [n](qv::Connection&) { writeVouchers(n); });
    std::fprintf(stderr, "book: %d journal vouchers, %lld detail rows, ready in %.1f s\n", n,
                 Conn.scalar(QStringLiteral("select count(*) from DetJV")).toLongLong(), t.elapsed() / 1000.0);

    g_win = new frmVoucher(qv::VoucherKind::JV);
    g_win->resize(1017, 677);
    g_win->show();
    t.restart();
    g_win->findChild<QTabWidget*>("SSTab")->setCurrentIndex(1); // reads the kind's vouchers into memory
    QCoreApplication::processEvents();
    std::fprintf(stderr, "search tab shown (the vouchers read into memory) in %.0f ms\n", double(t.elapsed()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_win;
    Conn.close();
    return 0;
}
