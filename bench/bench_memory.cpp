// Memory and times with a large book open in the program: the main window on the book, each trial
// balance from its preparation to its last page in the viewer, the cash book of the last year,
// and the longest report there is, every line of the book (bench/longreport.*): page 1, all its
// pages, pages visited forward, backward and at random, then its PDF and CSV exported from the
// viewer. A plain program, so that /usr/bin/time -v measures one run:
//   /usr/bin/time -v ./bench/bench_memory [BOOK] [--no-exports]
// BOOK: a file, host:port/database, or "bench" (the default: the benchmarks' book that
// QV_BENCH_ROWS and QV_BENCH_SERVER name, see bench/benchbook.h).
#include "benchbook.h"
#include "longreport.h"
#include "reports/accountsreport.h"
#include "viewer/frmveiwer.h"
#include "reports/procedures.h"
#include "viewer/reportviewer.h"
#include "shell/mdiform1.h"
#include "shell/mdl_connection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
double peakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

double residentMb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Opens (and prepares) the report and shows it as the print handlers do; prints page 1's and
// the last page's times from the button.
frmVeiwer* show(const char* what, const std::function<std::shared_ptr<qv::rpt::Report>()>& open)
{
    QElapsedTimer t;
    t.start();
    frmVeiwer* v = frmVeiwer::ShowReport(open());
    QApplication::processEvents();
    const qint64 first = t.elapsed();
    while (v->findChild<qv::ReportViewer*>("CRViewer91")->layingOut())
        QApplication::processEvents();
    std::printf("%s: page 1 shown after %lld ms, all %d pages after %lld ms; resident %.0f MB, peak %.0f MB\n", what,
                (long long)first, v->findChild<qv::ReportViewer*>("CRViewer91")->pageCount(), (long long)t.elapsed(),
                residentMb(), peakMb());
    return v;
}

// Times showing each page (laid out again when it is no longer kept, then painted).
void visit(const char* how, qv::ReportViewer* viewer, const QList<int>& pages)
{
    auto* view = viewer->findChild<QWidget*>(QStringLiteral("pageView"));
    std::vector<double> ms;
    for (int p : pages) {
        QElapsedTimer t;
        t.start();
        viewer->showPage(p);
        view->repaint();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("  %d pages %s: median %.1f ms, slowest %.1f ms a page; resident %.0f MB\n", int(pages.size()), how,
                ms[ms.size() / 2], ms.back(), residentMb());
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool exports = !args.removeAll(QStringLiteral("--no-exports"));
    const QString book = args.value(0, QStringLiteral("bench"));
    struct Closer {
        ~Closer() { Conn.close(); }
    } closer;
    QTemporaryDir dir;
    try {
        SetProgramFolder(QStringLiteral(QVB_TEMPLATES_DIR));
        qv::rpt::installProcedures(Conn);
        qvb::openNamed(Conn, book);
        LoginUser = Conn.property(QStringLiteral("User ID"));
        LoginPassword = Conn.property(QStringLiteral("Password"));
        const qint64 rows = Conn.scalar(QStringLiteral("select count(*) from DetJV")).toLongLong();
        const QDate from = Conn.scalar(QStringLiteral("select min(VouDate) from DetJV")).toDate();
        const QDate to = Conn.scalar(QStringLiteral("select max(VouDate) from DetJV")).toDate();
        auto* main = new MDIForm1();
        main->resize(1024, 768);
        main->show();
        QApplication::processEvents();
        std::printf("book of %lld detail rows open (%s), main window shown: resident %.0f MB, peak %.0f MB\n",
                    (long long)rows, Conn.backend() == qv::Backend::Postgres ? "PostgreSQL" : "embedded", residentMb(),
                    peakMb());
        using qv::rpt::AccountsReport;
        const qint64 cash = qv::rpt::cashBookAccount(Conn);
        for (AccountsReport r : {AccountsReport::TrialBalance, AccountsReport::ControlTrialBalance,
                                 AccountsReport::TrialBalanceWithOpening, AccountsReport::CashBook}) {
            const bool bookOfYear = r == AccountsReport::CashBook;
            show(qv::rpt::accountsReport(r).caption, [&] {
                return qv::rpt::openAccountsReport(TheBook, r, bookOfYear ? cash : 0,
                                                   bookOfYear ? to.addYears(-1).addDays(1) : from, to);
            });
        }
        frmVeiwer* v = show("every line of the book", [&] { return qvb::openLongReport(dir.path(), TheBook); });
        qv::ReportViewer* viewer = v->findChild<qv::ReportViewer*>("CRViewer91");
        const int pages = viewer->pageCount();
        QList<int> forward, backward, random;
        for (int p = pages / 2; p < pages / 2 + 50 && p <= pages; ++p)
            forward << p;
        for (int p = pages / 2; p > pages / 2 - 50 && p >= 1; --p)
            backward << p;
        for (int i = 0; i < 50; ++i)
            random << 1 + int(QRandomGenerator::global()->bounded(pages));
        visit("forward from the middle", viewer, forward);
        visit("backward from the middle", viewer, backward);
        visit("at random", viewer, random);
        if (exports) {
            const QString pdf = dir.filePath(QStringLiteral("long.pdf")),
                          csv = dir.filePath(QStringLiteral("long.csv"));
            qv::ReportViewer::setSaveFileHook([&](const QString&, const QString&, const QString& filter) {
                return filter.contains(QLatin1String("pdf")) ? pdf : csv;
            });
            QElapsedTimer t;
            t.start();
            viewer->exportPdf();
            std::printf("  PDF of %d pages exported in %.1f s (%.0f MB); resident %.0f MB, peak %.0f MB\n", pages,
                        t.elapsed() / 1000.0, QFileInfo(pdf).size() / 1048576.0, residentMb(), peakMb());
            t.restart();
            viewer->exportCsv();
            std::printf("  CSV of %lld rows exported in %.1f s (%.0f MB); resident %.0f MB, peak %.0f MB\n",
                        (long long)viewer->document()->detailRows, t.elapsed() / 1000.0,
                        QFileInfo(csv).size() / 1048576.0, residentMb(), peakMb());
        }
        delete main;
    } catch (const qv::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
