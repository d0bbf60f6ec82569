// A long report: every detail row of a generated book (200,000 by default) with three group
// levels and their sums, from the database to a PDF file; and the time until the viewer's
// first page is laid out. A plain program, so that /usr/bin/time -v measures one run:
//   ./bench/bench_longreport --make BOOK [--rows N]     writes the book once (not timed)
//   /usr/bin/time -v ./bench/bench_longreport --pdf BOOK OUT.pdf
//   ./bench/bench_longreport --first-page BOOK
// Prints the phases' times and the peak resident memory of the process.
#include "bookgen.h"
#include "reports/report.h"
#include "reports/reportjob.h"
#include "shell/mdl_connection.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

const char* Template = R"(title "VOUCHER LINES"
page A4 portrait
from DetJV d
    join Accounts a on a.RowID = d.AcCode
field {DetJV.RowID}     number d.RowID
field {DetJV.VouStatus} text   d.VouStatus
field {DetJV.VouNo}     number d.VouNo
field {DetJV.VouDate}   date   d.VouDate
field {DetJV.DrAmt}     amount d.DrAmt
field {DetJV.CrAmt}     amount d.CrAmt
field {DetJV.Naration}  text   d.Naration
field {Accounts.AcName} text   a.AcName
group {DetJV.VouStatus}
group {Accounts.AcName}
order {DetJV.VouDate}
order {DetJV.RowID}
band page-header 12
    text 0 0 186 7 center bold size=13 {Company.Company}
    line 0 10 186 10
end
band column-header 6
    text 0 0 22 5 bold "Date"
    text 22 0 20 5 bold right "No."
    text 46 0 68 5 bold "Narration"
    text 114 0 36 5 bold right "Debit"
    text 150 0 36 5 bold right "Credit"
end
band group-header 1 7
    text 0 1 120 5 bold size=10 "Kind " {DetJV.VouStatus}
end
band group-header 2 6
    text 4 0.5 120 5 bold {Accounts.AcName}
end
band detail 4.5
    text 0 0 22 4.5 {DetJV.VouDate}
    text 22 0 20 4.5 {DetJV.VouNo}
    text 46 0 68 4.5 {DetJV.Naration}
    text 114 0 36 4.5 blank-zero {DetJV.DrAmt}
    text 150 0 36 4.5 blank-zero {DetJV.CrAmt}
end
band group-footer 2 6
    text 46 0.5 68 5 bold "Total of " {Accounts.AcName}
    text 114 0.5 36 5 bold sum({DetJV.DrAmt})
    text 150 0.5 36 5 bold sum({DetJV.CrAmt})
end
band group-footer 1 7
    text 46 1 68 5 bold "Total of kind " {DetJV.VouStatus} ", lines: " count()
    text 114 1 36 5 bold sum({DetJV.DrAmt})
    text 150 1 36 5 bold sum({DetJV.CrAmt})
end
band report-footer 8
    text 46 1 68 5 bold "Grand total"
    text 114 1 36 5 bold sum({DetJV.DrAmt})
    text 150 1 36 5 bold sum({DetJV.CrAmt})
end
band page-footer 8
    text 0 2 186 5 size=8 right "Page " {PageNumber} " of " {TotalPages}
end
)";

double peakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

void openBook(const QString& path)
{
    Conn.setProperty(QStringLiteral("User ID"), QStringLiteral("bench"));
    Conn.setProperty(QStringLiteral("Password"), QStringLiteral("bench"));
    Conn.setProperty(QStringLiteral("Data Source"), path);
    Conn.open();
    LoginUser = QStringLiteral("bench");
    LoginPassword = QStringLiteral("bench");
}

std::shared_ptr<qv::rpt::Report> openReport(const QString& dir)
{
    const QString path = dir + QStringLiteral("/rptLongBench.rpt");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(Template) < 0)
        return nullptr;
    f.close();
    qv::rpt::Application app;
    auto report = app.OpenReport(path);
    report->Database().Tables(1).ConnectionProperties(QStringLiteral("User ID")).setValue(LoginUser);
    report->Database().Tables(1).ConnectionProperties(QStringLiteral("Password")).setValue(LoginPassword);
    return report;
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
        openBook(book);
        auto report = openReport(dir.path());
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
