// Backups of a 1M-line book (DetJV): the full checked copy (VACUUM INTO, integrity check, sync,
// rename), and what the login pays for starting the day's backup on its worker thread.
//   ./bench/bench_backup --benchmark_repetitions=3
#include "db/backup.h"
#include "db/dailybackup.h"
#include "db/money.h"
#include "db/provision.h"
#include "shell/mdl_connection.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int Lines = 1000000;

struct Book {
    QTemporaryDir dir;
    QString path;

    Book()
    {
        qv::InitOptions o;
        path = dir.filePath(QStringLiteral("books/Fendral.sqlite"));
        o.dataSource = path;
        o.user = QStringLiteral("bench");
        o.password = QStringLiteral("bench");
        o.lockPassword = QStringLiteral("lock");
        o.demo = true;
        o.cost = qv::Logins::HashCost::Minimal;
        qv::Provision::init(o);
        qv::Connection c;
        c.openFileUnchecked(path, false);
        QList<qint64> accounts;
        QSqlQuery q = c.query(QStringLiteral("select RowID from Accounts where AcStatus = 'DD'"));
        while (q.next())
            accounts << q.value(0).toLongLong();
        const char* kinds[] = {"JV", "BP", "BR", "CP", "CR"};
        qv::Transaction tx(c);
        QSqlQuery ins(c.database());
        ins.prepare(QStringLiteral("insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt, "
                                   "Naration) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 0; i < Lines; ++i) {
            const bool debit = i % 2 == 0;
            const qint64 cents = 100000 + (i * 7919LL) % 9000000;
            ins.addBindValue(i / 2 + 1);
            ins.addBindValue(QString::fromLatin1(kinds[(i / 40) % 5]));
            ins.addBindValue(QDate(2020, 1, 1).addDays(i / 500));
            ins.addBindValue(i % 2 + 1);
            ins.addBindValue(accounts[i % accounts.size()]);
            ins.addBindValue(accounts[(i + 1) % accounts.size()]);
            ins.addBindValue(debit ? cents : 0);
            ins.addBindValue(debit ? 0 : cents);
            ins.addBindValue(QStringLiteral("Line %1 of the running bill, plot %2").arg(i).arg(100 + i % 400));
            ins.exec();
        }
        tx.commit();
    }
};

Book& book()
{
    static Book b;
    return b;
}

void BM_CheckedCopy(benchmark::State& state)
{
    Book& b = book();
    int n = 0;
    for (auto _ : state) {
        const QString target = QDir(b.dir.path()).filePath(QStringLiteral("copy%1.sqlite").arg(++n));
        qv::Connection c;
        c.openFileUnchecked(b.path, false);
        qv::backup::copyTo(c, target);
        state.PauseTiming();
        state.counters["MB"] = double(QFileInfo(target).size()) / 1e6;
        QFile::remove(target);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CheckedCopy)->Unit(benchmark::kMillisecond)->Iterations(1);

// The login's share: opening nothing, starting a thread. The copy itself runs after the timer.
void BM_LoginStartsDailyBackup(benchmark::State& state)
{
    Book& b = book();
    qv::Connection c;
    c.openFileUnchecked(b.path, false);
    QElapsedTimer whole;
    for (auto _ : state) {
        state.PauseTiming();
        QDir(qv::backup::defaultFolder(b.path)).removeRecursively();
        state.ResumeTiming();
        whole.start();
        qv::dailybackup::start(c, 7, {});
        state.PauseTiming();
        qv::dailybackup::wait();
        state.counters["backup_ms"] = double(whole.elapsed());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoginStartsDailyBackup)->Unit(benchmark::kMicrosecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QElapsedTimer t;
    t.start();
    book();
    std::printf("1M-line book made in %.1f s: %.0f MB\n", t.elapsed() / 1000.0, QFileInfo(book().path).size() / 1e6);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
