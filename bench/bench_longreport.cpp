// A long report: every detail row of a generated book (200,000 by default) with three group
// levels and their sums, from the database to a PDF file; and the time until the viewer's
// first page is laid out. A plain program, so that /usr/bin/time -v measures one run:
//   ./bench/bench_longreport --make BOOK [--rows N]     writes the book once (not timed)
//   /usr/bin/time -v ./bench/bench_longreport --pdf BOOK OUT.pdf
//   ./bench/bench_longreport --first-page BOOK
// BOOK is a file, host:port/database, or "bench": the benchmarks' book that QV_BENCH_ROWS and
// QV_BENCH_SERVER name (bench/benchbook.h), made when missing.
// Prints the phases' times and the peak resident memory of the process.
#include "benchbook.h"
#include "longreport.h"
#include "reportengine/report.h"
#include "reportengine/reportjob.h"
#include "shell/mdl_connection.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

int usage()
{
    std::fprintf(stderr, "usage: bench_longreport --make BOOK [--rows N] | --pdf BOOK OUT.pdf | --first-page BOOK\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2)
        return usage();
    const QString mode = args[0], book = args[1];
    QTemporaryDir dir;
    struct Closer {
        ~Closer() { Conn.close(); }
    } closer; // before the application goes
    try {
        if (mode == QLatin1String("--make")) {
            const qvb::BenchLogin o = qvb::openBenchBook(Conn, book);
            qvb::BookPlan plan;
            plan.detailRows = args.size() > 3 && args[2] == QLatin1String("--rows") ? args[3].toLongLong() : 200'000;
            const qvb::BookStats st = qvb::writeBook(Conn, plan);
            Conn.execute(QStringLiteral("insert into Company (Company, comActive) values ('BENCH BOOKS', 'Y')"));
            std::printf("book %s: %lld detail rows as %s/%s in %.1f s\n", qPrintable(book), (long long)st.detailRows,
                        qPrintable(o.user), qPrintable(o.password), st.seconds);
            return 0;
        }
        qvb::openNamed(Conn, book);
        LoginUser = Conn.property(QStringLiteral("User ID"));
        LoginPassword = Conn.property(QStringLiteral("Password"));
        auto report = qvb::openLongReport(dir.path(), TheBook);
        if (!report)
            return 1;
        QElapsedTimer t;
        t.start();
        if (mode == QLatin1String("--pdf") && args.size() == 3) {
            const auto doc = report->run(Conn);
            const qint64 laid = t.elapsed();
            doc->writePdf(args[2]);
            const qint64 total = t.elapsed();
            std::printf("rows %d, pages %d: query and layout %.2f s, PDF %.2f s, total %.2f s, PDF %.1f MB, "
                        "peak RSS %.0f MB\n",
                        doc->detailRows, doc->pageCount(), laid / 1000.0, (total - laid) / 1000.0, total / 1000.0,
                        QFileInfo(args[2]).size() / 1048576.0, peakMb());
            return 0;
        }
        if (mode == QLatin1String("--first-page")) {
            const auto job = report->start(Conn);
            while (!job->finished() && job->document()->laidOutPages() < 1)
                job->step(20);
            const qint64 first = t.elapsed();
            while (!job->finished())
                job->step(200);
            std::printf("page 1 laid out after %.3f s; all %d pages after %.2f s; peak RSS %.0f MB\n", first / 1000.0,
                        job->document()->pageCount(), t.elapsed() / 1000.0, peakMb());
            return 0;
        }
    } catch (const qv::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    return usage();
}
