// A 5,000-line report with three levels of groups (voucher kind, account, date) and their
// sums, read from an embedded database and rendered to a PDF file: the whole print sequence
// a window runs, query to file. Target: under 2 s and 200 MB.
//   ./bench/bench_report --benchmark_repetitions=5
//   /usr/bin/time -v ./bench/bench_report --benchmark_repetitions=5   (peak memory)
#include "db/money.h"
#include "db/provision.h"
#include "reportengine/report.h"
#include "shell/mdl_connection.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int Lines = 5000;

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
group {DetJV.VouDate}
order {DetJV.VouNo}
order {DetJV.RowID}
band page-header 12
    text 0 0 186 7 center bold size=13 {Company.Company}
    line 0 10 186 10
end
band column-header 6
    text 0 0 20 5 bold right "No."
    text 24 0 90 5 bold "Narration"
    text 114 0 36 5 bold right "Debit"
    text 150 0 36 5 bold right "Credit"
end
band group-header 1 7
    text 0 1 120 5 bold size=10 "Kind " {DetJV.VouStatus}
end
band group-header 2 6
    text 4 0.5 120 5 bold {Accounts.AcName}
end
band group-header 3 5
    text 8 0 60 5 italic {DetJV.VouDate}
end
band detail 4.5
    text 0 0 20 4.5 {DetJV.VouNo}
    text 24 0 90 4.5 {DetJV.Naration}
    text 114 0 36 4.5 blank-zero {DetJV.DrAmt}
    text 150 0 36 4.5 blank-zero {DetJV.CrAmt}
end
band group-footer 3 5
    text 114 0 36 5 sum({DetJV.DrAmt})
    text 150 0 36 5 sum({DetJV.CrAmt})
end
band group-footer 2 6
    text 24 0.5 90 5 bold "Total of " {Accounts.AcName}
    text 114 0.5 36 5 bold sum({DetJV.DrAmt})
    text 150 0.5 36 5 bold sum({DetJV.CrAmt})
end
band group-footer 1 7
    text 24 1 90 5 bold "Total of kind " {DetJV.VouStatus} ", lines: " count()
    text 114 1 36 5 bold sum({DetJV.DrAmt})
    text 150 1 36 5 bold sum({DetJV.CrAmt})
end
band report-footer 8
    text 24 1 90 5 bold "Grand total"
    text 114 1 36 5 bold sum({DetJV.DrAmt})
    text 150 1 36 5 bold sum({DetJV.CrAmt})
end
band page-footer 8
    text 0 2 186 5 size=8 right "Page " {PageNumber} " of " {TotalPages}
end
)";

struct Fixture {
    QTemporaryDir dir;
    QString templatePath;
    QString pdf;

    Fixture()
    {
        qv::InitOptions o;
        o.dataSource = dir.filePath(QStringLiteral("bench.sqlite"));
        o.user = QStringLiteral("bench");
        o.password = QStringLiteral("bench");
        o.lockPassword = QStringLiteral("lock");
        o.demo = true; // the company and the chart; the lines are added below
        o.cost = qv::Logins::HashCost::Minimal;
        qv::Provision::init(o);
        Conn.setProperty(QStringLiteral("User ID"), o.user);
        Conn.setProperty(QStringLiteral("Password"), o.password);
        Conn.setProperty(QStringLiteral("Data Source"), o.dataSource);
        Conn.open();
        LoginUser = o.user;
        LoginPassword = o.password;

        QList<qint64> accounts;
        QSqlQuery q = Conn.query(QStringLiteral("select RowID from Accounts where AcStatus = 'DD'"));
        while (q.next())
            accounts << q.value(0).toLongLong();
        const char* kinds[] = {"JV", "BP", "BR", "CP", "CR"};
        qv::Transaction tx(Conn);
        Conn.execute(QStringLiteral("delete from DetJV"));
        for (int i = 0; i < Lines; ++i) {
            const bool debit = i % 2 == 0;
            const qv::Money amount(100000 + (i * 7919LL) % 9000000);
            Conn.execute(
                QStringLiteral("insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, DrAmt, CrAmt, Naration) "
                               "values (?, ?, ?, ?, ?, ?, ?, ?)"),
                // About eight lines to a (kind, account, day) group, as in a busy book.
                {i / 2 + 1, QString::fromLatin1(kinds[(i / 40) % 5]), QDate(2025, 7, 1).addDays(i / 200), i % 2 + 1,
                 accounts[(i / 8) % 20], QVariant::fromValue(debit ? amount : qv::Money()),
                 QVariant::fromValue(debit ? qv::Money() : amount),
                 QStringLiteral("Line %1 of the running bill, plot %2").arg(i).arg(100 + i % 400)});
        }
        tx.commit();

        templatePath = dir.filePath(QStringLiteral("rptBench.rpt"));
        QFile f(templatePath);
        f.open(QIODevice::WriteOnly);
        f.write(Template);
        f.close();
        pdf = dir.filePath(QStringLiteral("bench.pdf"));
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_ThreeGroupReportToPdf(benchmark::State& state)
{
    Fixture& f = fixture();
    int pages = 0;
    for (auto _ : state) {
        qv::rpt::Application app;
        auto report = app.OpenReport(f.templatePath);
        report->Database().Tables(1).ConnectionProperties(QStringLiteral("User ID")).setValue(LoginUser);
        report->Database().Tables(1).ConnectionProperties(QStringLiteral("Password")).setValue(LoginPassword);
        report->setRecordSelectionFormula(QStringLiteral("{DetJV.VouDate} in #2025-01-01# to #2026-12-31#"));
        const auto doc = report->run(Conn);
        doc->writePdf(f.pdf);
        pages = doc->pageCount();
        if (doc->detailRows != Lines)
            state.SkipWithError("the report did not read every line");
    }
    state.counters["pages"] = pages;
    state.counters["lines"] = Lines;
    state.counters["pdf_kB"] = double(QFileInfo(f.pdf).size()) / 1024;
}
BENCHMARK(BM_ThreeGroupReportToPdf)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Conn.close();
    return 0;
}
