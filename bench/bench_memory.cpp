// Peak memory with a large book open and a trial balance shown: the main window on the book,
// then each trial balance from its preparation to its last page in the viewer, as the report
// buttons run them, and a long report: the cash book of a year. A plain program, so that /usr/bin/time -v measures one
// run:
//   ./bench/bench_longreport --make BOOK --rows 1000000      (once: the 1M-line book)
//   /usr/bin/time -v ./bench/bench_memory BOOK
#include "reports/accountsreport.h"
#include "reports/frmveiwer.h"
#include "reports/procedures.h"
#include "reports/reportviewer.h"
#include "shell/mdiform1.h"
#include "shell/mdl_connection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
double peakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_memory BOOK (made by bench_longreport --make)\n");
        return 2;
    }
    struct Closer {
        ~Closer() { Conn.close(); }
    } closer;
    try {
        SetProgramFolder(QStringLiteral(QVB_TEMPLATES_DIR));
        qv::rpt::installProcedures();
        Conn.setProperty(QStringLiteral("User ID"), QStringLiteral("bench"));
        Conn.setProperty(QStringLiteral("Password"), QStringLiteral("bench"));
        Conn.setProperty(QStringLiteral("Data Source"), QString::fromLocal8Bit(argv[1]));
        Conn.open();
        LoginUser = QStringLiteral("bench");
        LoginPassword = QStringLiteral("bench");
        const qint64 rows = Conn.scalar(QStringLiteral("select count(*) from DetJV")).toLongLong();
        const QDate from = Conn.scalar(QStringLiteral("select min(VouDate) from DetJV")).toDate();
        const QDate to = Conn.scalar(QStringLiteral("select max(VouDate) from DetJV")).toDate();
        auto* main = new MDIForm1();
        main->resize(1024, 768);
        main->show();
        QApplication::processEvents();
        std::printf("book of %lld detail rows open, main window shown: peak RSS %.0f MB\n", (long long)rows, peakMb());
        using qv::rpt::AccountsReport;
        // The trial balances over the whole book, then the cash book of its first year.
        // The generated book's cash account is its first subsidiary account (9.1.1).
        const qint64 cash =
            Conn.scalar(QStringLiteral("select RowID from Accounts where AcNodes = ?"), {QStringLiteral("9.1.1")})
                .toLongLong();
        for (AccountsReport r : {AccountsReport::TrialBalance, AccountsReport::ControlTrialBalance,
                                 AccountsReport::TrialBalanceWithOpening, AccountsReport::CashBook}) {
            const bool book = r == AccountsReport::CashBook;
            QElapsedTimer t;
            t.start();
            auto report = qv::rpt::openAccountsReport(
                Conn, r, book ? cash : 0, from, book ? from.addYears(1).addDays(-1) : to, LoginUser, LoginPassword);
            frmVeiwer* v = frmVeiwer::ShowReport(report);
            QApplication::processEvents();
            const qint64 first = t.elapsed();
            while (v->CRViewer91->layingOut())
                QApplication::processEvents();
            std::printf("%s: page 1 shown after %lld ms, all %d pages after %lld ms; peak RSS %.0f MB\n",
                        qv::rpt::accountsReport(r).caption, (long long)first, v->CRViewer91->pageCount(),
                        (long long)t.elapsed(), peakMb());
        }
        delete main;
    } catch (const qv::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
