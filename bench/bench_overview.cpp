// The Overview on the book of 1,000,000 detail rows (bookgen, kept between runs): from its menu
// entry to the window painted, the period picked anew (every chart drawn again), and the
// figures alone.
// Run: ./bench/bench_overview --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// The book: as every benchmark's (bench/benchbook.h). The window's today is the real one; the
// financial year 2025-26 lies inside the generated book.
#include "benchbook.h"
#include "reports/frmoverview.h"
#include "reports/procedures.h"
#include "shell/mdiform1.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

MDIForm1* g_main = nullptr;

// Sees the first paint of a widget.
class PaintSeen : public QObject {
public:
    bool seen = false;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            seen = true;
        return false;
    }
};

void closeOverview()
{
    if (qv::MdiChild* w = qv::Windows::find(QStringLiteral("frmOverview")))
        w->unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// Events until every chart of the window has painted itself.
void untilPainted(frmOverview* w)
{
    QList<PaintSeen*> filters;
    for (QChartView* v : w->chartViews()) {
        filters << new PaintSeen;
        v->viewport()->installEventFilter(filters.last());
    }
    QElapsedTimer limit;
    limit.start();
    auto all = [&] { return std::all_of(filters.begin(), filters.end(), [](PaintSeen* f) { return f->seen; }); };
    while (!all() && limit.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    for (int i = 0; i < filters.size(); ++i) {
        w->chartViews()[i]->viewport()->removeEventFilter(filters[i]);
        delete filters[i];
    }
}

void BM_OverviewFromMenu(benchmark::State& state)
{
    for (auto _ : state) {
        g_main->menuEntry(QStringLiteral("mnuOverview"))->trigger();
        auto* w = qobject_cast<frmOverview*>(qv::Windows::find(QStringLiteral("frmOverview")));
        if (!w) {
            state.SkipWithError("no Overview");
            break;
        }
        untilPainted(w);
        state.PauseTiming();
        closeOverview();
        state.ResumeTiming();
    }
}

void BM_OverviewPickFinancialYear(benchmark::State& state)
{
    g_main->menuEntry(QStringLiteral("mnuOverview"))->trigger();
    auto* w = qobject_cast<frmOverview*>(qv::Windows::find(QStringLiteral("frmOverview")));
    auto* period = w->findChild<QComboBox*>(QStringLiteral("cboPeriod"));
    const int year = period->findData(2025), other = period->findData(-1);
    bool flip = false;
    for (auto _ : state) {
        period->setCurrentIndex((flip = !flip) ? year : other);
        untilPainted(w);
    }
    closeOverview();
}

void BM_OverviewFigures(benchmark::State& state)
{
    const QDate today = QDate::currentDate();
    const qv::rpt::OverviewPeriod p =
        state.range(0) ? qv::rpt::financialYearPeriod(2025, 7, today) : qv::rpt::last12MonthsPeriod(today);
    for (auto _ : state)
        benchmark::DoNotOptimize(qv::rpt::overviewFigures(Conn, p, today));
}

} // namespace

#define QV_BENCH(f) BENCHMARK(f)->Unit(benchmark::kMillisecond)->UseRealTime()
QV_BENCH(BM_OverviewFromMenu);
QV_BENCH(BM_OverviewPickFinancialYear);
QV_BENCH(BM_OverviewFigures)->Arg(0)->Arg(1);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    struct Closer {
        ~Closer() { Conn.close(); }
    } closer;
    try {
        SetProgramFolder(QStringLiteral(QVB_TEMPLATES_DIR));
        qv::rpt::installProcedures(Conn);
        qvb::openBench(Conn);
        LoginUser = Conn.property(QStringLiteral("User ID"));
        LoginPassword = Conn.property(QStringLiteral("Password"));
    } catch (const qv::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    g_main = new MDIForm1();
    g_main->resize(1280, 800);
    g_main->show();
    QApplication::processEvents();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_main;
    return 0;
}
