// The side of bench/compare.sh that runs inside our program's code, headless:
//   bench_compare book FILE [ROWS]        writes the generated book (1,000,000 detail rows) to FILE
//   bench_compare benchbook               the benchmarks' book (QV_BENCH_ROWS rows; on the server
//                                         QV_BENCH_SERVER names, if set: bench/benchbook.h), made when
//                                         missing; prints its name (a file, or host:port/database),
//                                         which the commands below take in place of FILE
//   bench_compare info FILE               the dates and the cash account, one per line, for the script
//   bench_compare time FILE REPORT REPS   times REPORT (preparation plus the report's query, every row
//                                         read) REPS times; prints the medians of wall clock and CPU, in ms
//   bench_compare agree FILE BALANCES     checks a tool's balances ("account<TAB>amount" lines) against
//                                         our trial balance with opening over the whole book
// REPORT: tb-all, tb-year, tb-opening, ledger (the cash account's detail ledger, one year), cashbook
// (the cash book, one year). The login of the book is bench / bench.
#include "benchbook.h"
#include "reports/accountsreport.h"
#include "reportengine/formula.h"
#include "reports/journalexport.h"
#include "reports/procedures.h"
#include "reportengine/reportdata.h"
#include "shell/mdl_connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <ctime>

using qv::rpt::AccountsReport;

namespace {

struct Dates {
    QDate first, last, yearFrom;
};

// QV_BOOK_DATES="FIRST LAST" (from `info`) spares each timed process two scans of the rows.
Dates bookDates()
{
    const QStringList given = qEnvironmentVariable("QV_BOOK_DATES").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (given.size() == 2) {
        const QDate last = QDate::fromString(given[1], Qt::ISODate);
        return {QDate::fromString(given[0], Qt::ISODate), last, last.addYears(-1).addDays(1)};
    }
    Dates d{Conn.scalar(QStringLiteral("select min(VouDate) from DetJV")).toDate(),
            Conn.scalar(QStringLiteral("select max(VouDate) from DetJV")).toDate(),
            {}};
    d.yearFrom = d.last.addYears(-1).addDays(1);
    return d;
}

void openBook(const QString& file)
{
    qvb::openNamed(Conn, file); // host:port/database names a book on a server
    LoginUser = QStringLiteral("bench");
    LoginPassword = QStringLiteral("bench");
    qv::rpt::installProcedures(Conn);
}

int book(const QString& file, qint64 rows)
{
    qv::Connection c;
    qvb::openBenchBook(c, file);
    qvb::BookPlan plan;
    if (rows > 0)
        plan.detailRows = rows;
    const qvb::BookStats st = qvb::writeBook(c, plan);
    c.execute(QStringLiteral("insert into Company (Company, comActive) values ('BENCH BOOKS', 'Y')"));
    c.execute(QStringLiteral("delete from VouSetting where VouStatus = 'CP'"));
    c.execute(QStringLiteral("insert into VouSetting (VouStatus, VouNo, AcCode, AcStatus, Fix) values ('CP', 1, ?, "
                             "'CR', 'N')"),
              {st.cashAccount});
    std::printf("book: %lld vouchers, %lld detail rows, %lld accounts, written in %.1f s\n", (long long)st.vouchers,
                (long long)st.detailRows, (long long)st.accounts.size(), st.seconds);
    return 0;
}

// The cash account's journal name as an anchored pattern for ledger's and hledger's queries.
int info(const QString& file)
{
    openBook(file);
    const Dates d = bookDates();
    const qint64 cash = qv::rpt::cashBookAccount(Conn);
    const QString name = qv::rpt::journalAccountNames(Conn).value(cash);
    const qint64 yearRows =
        Conn.scalar(QStringLiteral("select count(*) from DetJV where AcCode = ? and VouDate >= ?"), {cash, d.yearFrom})
            .toLongLong();
    const qint64 bookLines =
        Conn.scalar(QStringLiteral("select count(*) from DetJV where CrAc = ? and VouDate >= ?"), {cash, d.yearFrom})
            .toLongLong();
    std::printf("%s\n%s\n%s\n%s\n%lld\n%lld\n", qPrintable(d.first.toString(Qt::ISODate)),
                qPrintable(d.last.toString(Qt::ISODate)), qPrintable(d.yearFrom.toString(Qt::ISODate)),
                qPrintable(QLatin1Char('^')
                           + QString(name).replace(QRegularExpression(QStringLiteral("([.^$*+?()\\[\\]{}|\\\\])")),
                                                   QStringLiteral("\\\\1"))
                           + QLatin1Char('$')),
                (long long)yearRows, (long long)bookLines);
    return 0;
}

// The process's CPU time: on the shared machine the wall clock also counts other users' work.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

qint64 readAllRows(AccountsReport r, qint64 account, const QDate& from, const QDate& to)
{
    QElapsedTimer prep;
    prep.start();
    auto report = qv::rpt::openAccountsReport(TheBook, r, account, from, to);
    std::fprintf(stderr, "  preparation %.1f ms\n", double(prep.nsecsElapsed()) / 1e6);
    const qv::rpt::Template& t = report->templ();
    qint64 rows = 0;
    qv::rpt::Row row;
    for (int i = 0; i < t.subreports.size(); ++i) {
        qv::rpt::QueryRows sub(Conn, t.subreports[i], report->OpenSubreport(t.subreports[i].name).formula());
        while (sub.next(row))
            ++rows;
    }
    qv::rpt::QueryRows main(Conn, t.main, qv::rpt::Formula::parse(report->RecordSelectionFormula(), t.main.fields));
    while (main.next(row))
        ++rows;
    return rows;
}

int timeReport(const QString& file, const QString& which, int reps)
{
    openBook(file);
    const Dates d = bookDates();
    const qint64 cash = qv::rpt::cashBookAccount(Conn);
    std::vector<double> ms, cpu;
    qint64 rows = 0;
    for (int i = 0; i < reps; ++i) {
        QElapsedTimer t;
        t.start();
        const double cpu0 = cpuMs();
        if (which == QLatin1String("tb-all"))
            rows = readAllRows(AccountsReport::TrialBalance, 0, d.first, d.last);
        else if (which == QLatin1String("tb-year"))
            rows = readAllRows(AccountsReport::TrialBalance, 0, d.yearFrom, d.last);
        else if (which == QLatin1String("tb-opening"))
            rows = readAllRows(AccountsReport::TrialBalanceWithOpening, 0, d.yearFrom, d.last);
        else if (which == QLatin1String("ledger"))
            rows = readAllRows(AccountsReport::DetailLedger, cash, d.yearFrom, d.last);
        else if (which == QLatin1String("cashbook"))
            rows = readAllRows(AccountsReport::CashBook, cash, d.yearFrom, d.last);
        else
            return std::fprintf(stderr, "unknown report %s\n", qPrintable(which)), 2;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs() - cpu0);
        std::fprintf(stderr, "%s run %d: %.1f ms (CPU %.1f ms), %lld rows\n", qPrintable(which), i + 1, ms.back(),
                     cpu.back(), (long long)rows);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%.1f %.1f\n", ms[ms.size() / 2], cpu[cpu.size() / 2]); // medians: wall clock, CPU
    return 0;
}

int agree(const QString& file, const QString& balances)
{
    openBook(file);
    const Dates d = bookDates();
    qv::rpt::runProcedure(Conn, qv::rpt::parseExec(qv::rpt::trialBalance3Statement(d.first, d.last)));
    const auto names = qv::rpt::journalAccountNames(Conn);
    QHash<QString, qint64> ours;
    qint64 equity = 0;
    QSqlQuery q = Conn.query(QStringLiteral("select AcCode, OpenDr - OpenCr, CloseDr - CloseCr from tmpTrialBalance3"));
    const bool cents = Conn.backend() == qv::Backend::Sqlite;
    while (q.next()) {
        const qint64 open = qv::moneyFromVariant(q.value(1), cents).value_or(qv::Money()).cents;
        const qint64 close = qv::moneyFromVariant(q.value(2), cents).value_or(qv::Money()).cents;
        equity -= open;
        if (close != 0)
            ours.insert(names.value(q.value(0).toLongLong()), close);
    }
    if (equity != 0)
        ours.insert(QStringLiteral("Equity:Opening Balances"), equity);
    QFile f(balances);
    if (!f.open(QIODevice::ReadOnly))
        return std::fprintf(stderr, "cannot read %s\n", qPrintable(balances)), 2;
    QHash<QString, qint64> theirs;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList p = line.split(QLatin1Char('\t'));
        const auto m = p.size() == 2 ? qv::parseAmount(p[1]) : std::nullopt;
        if (!m)
            return std::fprintf(stderr, "not a balance line: %s\n", qPrintable(line)), 1;
        theirs.insert(p[0], m->cents);
    }
    int wrong = 0;
    for (auto it = ours.cbegin(); it != ours.cend(); ++it)
        if (theirs.value(it.key()) != *it && ++wrong <= 10)
            std::fprintf(stderr, "%s: ours %lld, theirs %lld\n", qPrintable(it.key()), (long long)*it,
                         (long long)theirs.value(it.key()));
    for (auto it = theirs.cbegin(); it != theirs.cend(); ++it)
        if (*it != 0 && !ours.contains(it.key()) && ++wrong <= 10)
            std::fprintf(stderr, "%s: only theirs (%lld)\n", qPrintable(it.key()), (long long)*it);
    std::printf("%s: %lld accounts compared, %d differ\n", wrong ? "DISAGREE" : "agree", (long long)ours.size(), wrong);
    return wrong ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the report engine measures text with fonts
    const QStringList a = app.arguments();
    SetProgramFolder(QStringLiteral(QVB_TEMPLATES_DIR));
    // The shared connection closes before the application and the driver go.
    struct Closer {
        ~Closer() { Conn.close(); }
    } closer;
    try {
        if (a.size() >= 3 && a[1] == QLatin1String("book"))
            return book(a[2], a.size() > 3 ? a[3].toLongLong() : 0);
        if (a.size() == 2 && a[1] == QLatin1String("benchbook")) {
            const qvb::BenchBook b = qvb::openBench(Conn);
            std::printf("%s\n", qPrintable(b.where));
            return 0;
        }
        if (a.size() == 3 && a[1] == QLatin1String("info"))
            return info(a[2]);
        if (a.size() == 5 && a[1] == QLatin1String("time"))
            return timeReport(a[2], a[3], qMax(1, a[4].toInt()));
        if (a.size() == 4 && a[1] == QLatin1String("agree"))
            return agree(a[2], a[3]);
    } catch (const qv::DbError& e) {
        std::fprintf(stderr, "bench_compare: %s\n", qPrintable(e.description()));
        return 1;
    }
    std::fprintf(stderr, "usage: bench_compare book FILE [ROWS] | info FILE | time FILE REPORT REPS | agree FILE "
                         "BALANCES\n");
    return 2;
}
