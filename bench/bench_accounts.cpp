// The chart-of-accounts window and the account finder on a book of 10,000 accounts (100 control,
// 1,000 sub-control, 8,900 subsidiary): rebuilding the tree, and refilling each window's search
// grid for one keystroke in its search box (the grid's repaint included). The store's search of
// the whole list alone shows how much of a keystroke is the reading.
// Run: ./bench/bench_accounts --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// QV_BENCH_SERVER=host:port runs it on PostgreSQL (bench/benchbook.h).
#include "db/provision.h"
#include "masters/accountlist.h"
#include "masters/accountstore.h"
#include "masters/frmaccount.h"
#include "masters/frmfindac.h"
#include "shell/mdl_connection.h"

#include "benchbook.h"

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

namespace {
frmAccount* g_win = nullptr;
frmFindAC* g_finder = nullptr;

const char* Names[] = {"KHAN",  "AHMED", "MALIK", "BUTT",   "CHAUDHRY", "QURESHI", "SHEIKH", "RANA",
                       "MIRZA", "ZAIDI", "RAZA",  "HASHMI", "NAQVI",    "BAIG",    "DAR",    "GILL"};
const char* Trades[] = {"TRADERS",        "CEMENT DEALERS", "STEEL MILLS", "BUILDERS",       "ESTATE AGENTS",
                        "ELECTRIC STORE", "TIMBER MART",    "PAINTS",      "SANITARY STORE", "TRANSPORT"};

void makeChart(qv::Connection& c)
{
    qv::Transaction tx(c);
    const QString sql = QStringLiteral("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode, OpenBal, "
                                       "Location, Contact) values (?, ?, ?, ?, ?, ?, ?, ?)");
    int subsidiaries = 0;
    for (int h = 1; h <= 100; ++h) {
        const QString hc = QString::number(h);
        c.execute(sql, {hc, QStringLiteral("CONTROL HEAD %1").arg(h), "HH", hc, 0, QVariant(), QVariant(), QVariant()});
        for (int s = 1; s <= 10; ++s) {
            const QString sc = hc + '.' + QString::number(s);
            c.execute(sql, {sc, QStringLiteral("GROUP %1-%2").arg(h).arg(s), "HD", hc, s, QVariant(), QVariant(),
                            QVariant()});
            // 8,900 subsidiary accounts: nine under the first 900 groups, eight under the rest.
            const int leaves = (h - 1) * 10 + s <= 900 ? 9 : 8;
            for (int d = 1; d <= leaves; ++d, ++subsidiaries) {
                const int n = subsidiaries;
                const QString title = QStringLiteral("%1 %2 %3")
                                          .arg(QLatin1String(Names[n % 16]), QLatin1String(Trades[(n / 16) % 10]))
                                          .arg(n);
                c.execute(sql, {sc + '.' + QString::number(d), title, "DD", sc, d,
                                QVariant::fromValue(qv::Money(qint64(n) * 12345)), QStringLiteral("LAHORE"),
                                QStringLiteral("042-3571%1").arg(n % 1000)});
            }
        }
    }
    tx.commit();
}

void BM_FillTreeData(benchmark::State& state)
{
    auto* tree = g_win->findChild<QTreeWidget*>(QStringLiteral("lstTree"));
    for (auto _ : state) {
        g_win->FillTreeData();
        QCoreApplication::processEvents();
    }
    state.counters["nodes"] = double(tree->topLevelItemCount());
}

// One keystroke: the box holds `before`, the user types the last character of `after`.
void keystroke(benchmark::State& state, const QString& before, const QString& after, QWidget* win = g_win)
{
    auto* box = win->findChild<QLineEdit*>(QStringLiteral("txtFindAC"));
    auto* grid = win->findChild<QTableView*>(QStringLiteral("mshSearch"));
    for (auto _ : state) {
        state.PauseTiming();
        box->setText(before);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        box->setText(after);
        QCoreApplication::processEvents();
    }
    state.counters["rows"] = double(grid->model()->rowCount());
}

void BM_Search_WholeList(benchmark::State& state)
{
    qv::AccountStore store(Conn);
    std::vector<qv::FoundAccount> kept; // freed at the next round, as the grid frees its lines
    for (auto _ : state)
        kept = store.search(QString());
    state.counters["rows"] = double(kept.size());
}

// The in-memory search alone (the book compared, nothing read again).
void BM_List_Narrowing(benchmark::State& state)
{
    qv::AccountList list(Conn);
    size_t n = 0;
    for (auto _ : state)
        n = list.find(QStringLiteral("KHAN TRAD"), qv::AccountList::Scope::Chart).size();
    state.counters["rows"] = double(n);
}
void BM_List_WholeList(benchmark::State& state)
{
    qv::AccountList list(Conn);
    size_t n = 0;
    for (auto _ : state)
        n = list.find(QString(), qv::AccountList::Scope::Chart).size();
    state.counters["rows"] = double(n);
}

void BM_Keystroke_FirstLetter(benchmark::State& s)
{
    keystroke(s, QString(), QStringLiteral("Q"));
}
void BM_Keystroke_Narrowing(benchmark::State& s)
{
    keystroke(s, QStringLiteral("KHAN TRA"), QStringLiteral("KHAN TRAD"));
}
void BM_Keystroke_BackToEmpty(benchmark::State& s)
{
    keystroke(s, QStringLiteral("Q"), QString());
}
void BM_Finder_FirstLetter(benchmark::State& s)
{
    keystroke(s, QString(), QStringLiteral("Q"), g_finder);
}
void BM_Finder_Narrowing(benchmark::State& s)
{
    keystroke(s, QStringLiteral("KHAN TRA"), QStringLiteral("KHAN TRAD"), g_finder);
}
void BM_Finder_BackToEmpty(benchmark::State& s)
{
    keystroke(s, QStringLiteral("Q"), QString(), g_finder);
}
} // namespace

BENCHMARK(BM_FillTreeData)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Search_WholeList)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_List_Narrowing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_List_WholeList)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Keystroke_FirstLetter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Keystroke_Narrowing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Keystroke_BackToEmpty)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Finder_FirstLetter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Finder_Narrowing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Finder_BackToEmpty)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    qvb::openFreshBook(Conn, dir.filePath(QStringLiteral("bench.sqlite")), QStringLiteral("accounts"));
    makeChart(Conn);

    g_win = new frmAccount();
    g_win->resize(1000, 640);
    g_win->show();
    g_win->findChild<QTabWidget*>(QStringLiteral("SSTab"))->setCurrentIndex(1);
    g_finder = new frmFindAC();
    g_finder->resize(800, 500);
    g_finder->show();
    QCoreApplication::processEvents();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_finder;
    delete g_win;
    Conn.close();
    return 0;
}
