// quoravel-admin report against a hostile setting: output paths that are devices, pipes or
// folders, a disk that fills, a template that tries to write, a template planted in the current
// folder, and amounts whose totals cannot be represented.
#include "db/backup.h"
#include "db/connection.h"
#include "db/money.h"
#include "reportfixture.h"
#include "reports/procedures.h"
#include "reportengine/report.h"
#include "support/adminrun.h"
#include "support/dbfixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using qv::Money;

namespace {
using Run = qvt::AdminRun;

const Money Huge(999999999999999999LL); // 9,999,999,999,999,999.99: the largest an amount column holds

QByteArray digest(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}
} // namespace

class TstReportSafety : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    QTemporaryDir tmp;

    QStringList login() const
    {
        return {"--server", db.dataSource, "--catalog", db.catalog, "--user", db.user, "--password", db.password};
    }
    Run admin(const QStringList& args, const QString& workDir = {}, const QString& stdoutFile = {}) const
    {
        return qvt::runAdmin(args, {{}, workDir, stdoutFile});
    }
    Run chart(const QStringList& more) const { return admin(QStringList{"report", "rptChartAC.rpt"} + login() + more); }
    // A template of the test's own, written to its folder; returns its path.
    QString writeTemplate(const QString& name, const QByteArray& text)
    {
        QFile t(tmp.filePath(name));
        if (!t.open(QIODevice::WriteOnly) || t.write(text) != text.size())
            qFatal("cannot write %s", qPrintable(t.fileName()));
        return t.fileName();
    }
    QString company() const
    {
        qv::Connection c;
        db.connectAdmin(c);
        return c.scalar("select comTel from Company where comActive = 'Y'").toString();
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        db = qvt::TestDb::create(true);
    }
    void cleanupTestCase() { db.drop(); }

    void outputThatIsNotAFileIsRefusedAndLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("option");
        for (const char* kind : {"device", "pipe", "folder", "link to a pipe"})
            for (const char* option : {"--csv", "--pdf"})
                QTest::newRow(qPrintable(QString("%1 %2").arg(kind, option))) << kind << option;
    }
    void outputThatIsNotAFileIsRefusedAndLeftAlone()
    {
        QFETCH(QString, kind);
        QFETCH(QString, option);
        const QString dir = tmp.filePath(QString(QTest::currentDataTag()).replace(' ', '_'));
        QVERIFY(QDir().mkpath(dir));
        QString target = dir + "/out";
        if (kind == "device") {
            // A node of its own for /dev/full (char 1,7): the real one is never put at risk.
            if (::mknod(qPrintable(target), S_IFCHR | 0666, makedev(1, 7)) != 0)
                QSKIP("device nodes cannot be made here");
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(target));
        } else {
            QVERIFY(::mkfifo(qPrintable(dir + "/fifo"), 0600) == 0);
            if (kind == "pipe")
                target = dir + "/fifo";
            else
                QVERIFY(QFile::link(dir + "/fifo", target));
        }
        const Run r = chart({option, target});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("is not a regular file"), qPrintable(r.err));
        QVERIFY2(!r.out.contains("Wrote"), qPrintable(r.out));
        struct stat st {};
        QVERIFY(::stat(qPrintable(target), &st) == 0);
        QVERIFY(!S_ISREG(st.st_mode));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).size(),
                 kind == "device"   ? 1
                 : kind == "folder" ? 0
                 : kind == "pipe"   ? 1
                                    : 2);
    }

    // A report or an export never writes over data: the book it reads (named directly or through
    // a link), a journal's name of it, its backups, any other database, or the template.
    void outputThatIsDataIsRefusedAndLeftAlone_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"book", "link to the book", "journal name", "backup", "other database", "template"})
            QTest::newRow(qPrintable(QString("report, %1").arg(kind))) << "report" << kind;
        for (const char* kind : {"book", "link to the book", "other database"})
            QTest::newRow(qPrintable(QString("export, %1").arg(kind))) << "export" << kind;
    }
    void outputThatIsDataIsRefusedAndLeftAlone()
    {
        QFETCH(QString, command);
        QFETCH(QString, kind);
        const bool embedded = db.dataSource.contains('/');
        const QString book = qv::DataSource::parse(db.dataSource, db.catalog).filePath;
        if (!embedded && kind != "other database" && kind != "template")
            QSKIP("a server's book is no file");
        const QString tag = QString(QTest::currentDataTag()).replace(QRegularExpression("[^a-z]+"), "_");
        QString templ = "rptChartAC.rpt", target;
        if (kind == "book") {
            target = book;
        } else if (kind == "link to the book") {
            target = tmp.filePath(tag + ".csv");
            QVERIFY(QFile::link(book, target));
        } else if (kind == "journal name") {
            target = book + "-wal";
        } else if (kind == "backup") {
            qv::Connection c;
            c.openFileUnchecked(book, false);
            target = QDir(qv::backup::defaultFolder(book)).filePath(tag + ".sqlite");
            qv::backup::copyTo(c, target);
        } else if (kind == "other database") {
            target = tmp.filePath(tag + ".db");
            qv::Connection c;
            c.openFileUnchecked(target, true);
            c.execute("create table Stock (Item text)");
        } else {
            templ = target = tmp.filePath(tag + ".rpt");
            QVERIFY(QFile::copy(QStringLiteral(QVT_TEMPLATES_DIR) + "/rptChartAC.rpt", target));
        }
        const QByteArray before = digest(target);
        const Run r = command == "report"
                          ? admin(QStringList{"report", templ} + login() + QStringList{"--csv", target})
                          : admin(QStringList{"export"} + login() + QStringList{"--format", "csv", target});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("could not be written") && r.err.contains("nothing was written"), qPrintable(r.err));
        QCOMPARE(digest(target), before);
        QCOMPARE(QFileInfo(target).isSymLink(), kind == "link to the book");
        QVERIFY(!company().isNull()); // the book still opens
    }

    void aFullDiskFailsAndKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("csv") << "--csv";
        QTest::newRow("pdf") << "--pdf";
    }
    void aFullDiskFailsAndKeepsTheOldFile()
    {
        QFETCH(QString, option);
        const QString dir = tmp.filePath(QString("full-") + QTest::currentDataTag());
        QVERIFY(QDir().mkpath(dir));
        if (::mount("tmpfs", qPrintable(dir), "tmpfs", 0, "size=12k") != 0)
            QSKIP("a small file system cannot be mounted here");
        auto unmount = qScopeGuard([&] { ::umount(qPrintable(dir)); });
        QFile old(dir + "/out");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents\n");
        old.close();
        QFile filler(dir + "/filler"); // the rest of the disk
        QVERIFY(filler.open(QIODevice::WriteOnly));
        filler.write(QByteArray(8192, 'x'));
        filler.close();
        const Run r = chart({option, dir + "/out"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("could not be written"), qPrintable(r.err));
        QVERIFY(!r.out.contains("Wrote"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old contents\n"));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary file left
    }

    void aMessageThatCannotBeWrittenIsAFailure()
    {
        const Run r =
            admin(QStringList{"report", "rptChartAC.rpt"} + login() + QStringList{"--csv", tmp.filePath("ok.csv")}, {},
                  "/dev/full");
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("standard output"), qPrintable(r.err));
    }

    void aTemplateInTheCurrentFolderIsNotRead()
    {
        const QString dir = tmp.filePath("cwd");
        QVERIFY(QDir().mkpath(dir));
        QFile planted(dir + "/rptChartAC.rpt");
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write("title \"PLANTED\"\nfrom Accounts a\nwhere 1=1); update Company set comTel = 'planted'; "
                      "select (1\nfield {Accounts.AcName} text a.AcName\nband detail 5\n    text 0 0 50 5 "
                      "{Accounts.AcName} csv=\"Name\"\nend\n");
        planted.close();
        const QString csv = tmp.filePath("cwd.csv");
        const Run r = admin(QStringList{"report", "rptChartAC.rpt"} + login() + QStringList{"--csv", csv}, dir);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readLine().startsWith("Code,Account Title"));
        QVERIFY(company() != "planted");
    }

    void openReportReadsARelativeNameFromTheProgramFolder()
    {
        const QString dir = tmp.filePath("cwd-open");
        QVERIFY(QDir().mkpath(dir));
        QFile planted(dir + "/rptChartAC.rpt");
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write("title \"PLANTED\"\nfrom Accounts a\nfield {Accounts.AcName} text a.AcName\n");
        planted.close();
        const QString before = QDir::currentPath();
        auto back = qScopeGuard([&] { QDir::setCurrent(before); });
        QVERIFY(QDir::setCurrent(dir));
        qv::rpt::Application app(qv::rpt::templateFolders(QStringLiteral(QVT_TEMPLATES_DIR)));
        QCOMPARE(app.OpenReport("rptChartAC.rpt")->templ().title, QString("CHART OF ACCOUNTS"));
    }

    void aTemplateCannotWrite()
    {
        const QString before = company();
        const QString file = writeTemplate(
            "rptWrites.rpt",
            "title \"WRITES\"\nfrom Accounts a\nwhere 1=1); update Company set comTel = 'written'; select (1\n"
            "field {Accounts.AcName} text a.AcName\nband detail 5\n    text 0 0 50 5 {Accounts.AcName} "
            "csv=\"Name\"\nend\n");
        for (const QString& selection : {QString(), QString("{Accounts.AcName} = 'x'")}) {
            const Run r = admin(QStringList{"report", file} + login()
                                + QStringList{"--selection", selection, "--csv", tmp.filePath("w.csv")});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("one statement"), qPrintable(r.err));
            QCOMPARE(company(), before);
        }
    }

    void reportsReadInsideAReadOnlyScope()
    {
        qv::Connection c;
        db.connect(c);
        qv::rpt::installProcedures(c);
        const QString tb = "exec TrialBalance '2025-01-01','2026-12-31'";
        c.execute(tb); // the work tables are written before the report reads
        {
            qv::ReadOnlyScope readOnly(c);
            QVERIFY(c.scalar("select count(*) from tmpTrialBalance").toInt() > 0);
            QVERIFY_THROWS_EXCEPTION(qv::DbError, c.execute("update Company set comTel = 'x'"));
            QVERIFY_THROWS_EXCEPTION(qv::DbError, c.execute(tb)); // a preparation writes: not in here
            try {
                c.query("select 1; update Company set comTel = 'x'");
                QFAIL("two statements ran");
            } catch (const qv::DbError& e) {
                QVERIFY2(e.description().contains("one statement"), qPrintable(e.description()));
            }
        }
        QVERIFY(company() != "x");
        c.execute(tb); // and writes again after it
        QCOMPARE(c.execute("update Company set comTel = comTel where comActive = 'Y'"), 1);
        if (c.backend() == qv::Backend::Postgres) {
            qv::Transaction tx(c);
            QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::ReadOnlyScope{c});
        }

        // A report runs its every query inside the scope.
        QStringList log;
        c.setStatementHook([&](const QString& sql) { log << sql.simplified(); });
        auto r = qvt::openReport(qvt::chartTemplate(), db.user, db.password);
        r->run(c);
        c.setStatementHook({});
        const QString begin = c.backend() == qv::Backend::Postgres ? "BEGIN READ ONLY" : "PRAGMA query_only = 1";
        QCOMPARE(log.first(), begin);
        QCOMPARE(log.filter(QRegularExpression("^(BEGIN|PRAGMA)")).size(), 1);
        QVERIFY(log.size() >= 3); // the company and the accounts
    }

    void aDatabaseSumOfNumbersBeyondRangeIsRefused()
    {
        // 42 accounts times 2^62: SQLite's SUM overflows, PostgreSQL's sum(bigint) is a numeric of
        // 21 digits; neither may print as a figure.
        const QString file =
            writeTemplate("rptSums.rpt", "title \"SUMS\"\nfrom Company c\nfield {Company.Company} text c.Company\n"
                                         "band report-header 10\n    subreport rptSum\nend\n"
                                         "subreport rptSum\n    from Accounts a\n    summary\n"
                                         "    field {Accounts.Big} number CAST(4611686018427387904 AS BIGINT)\n"
                                         "    band detail 6\n        text 0 0 60 5 {Accounts.Big}\n    end\nend\n");
        qv::Connection c;
        db.connect(c);
        auto r = qvt::openReport(file, db.user, db.password);
        try {
            r->run(c);
            QFAIL(qPrintable("printed: " + r->run(c)->allText()));
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains("too large to be represented"), qPrintable(e.description()));
        }
    }

    void aFailureWhileReadingIsNoShorterReport()
    {
        // The first account's row reads; the next one fails in the database (abs of the
        // smallest integer): the report must fail, not end after one line as if that were all.
        const QString file =
            writeTemplate("rptFailsLate.rpt",
                          "title \"LATE\"\nfrom Accounts a\n"
                          "field {Accounts.N} number abs(CASE WHEN a.RowID = (select min(RowID) from Accounts) THEN 1 "
                          "ELSE -9223372036854775807 - 1 END)\n"
                          "band detail 5\n    text 0 0 50 5 {Accounts.N} csv=\"N\"\nend\n");
        qv::Connection c;
        db.connect(c);
        auto r = qvt::openReport(file, db.user, db.password);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, r->run(c));
    }

    void totalsBeyondRangeFailWithAClearMessage()
    {
        qv::Connection c;
        db.connectAdmin(c);
        // Ten opening balances at the largest an amount column holds: their total cannot be held.
        QCOMPARE(c.execute("update Accounts set OpenBal = ? where RowID in (select RowID from Accounts where "
                           "AcStatus = 'DD' order by RowID limit 10)",
                           {QVariant::fromValue(Huge)}),
                 10);
        Run r = chart({"--pdf", tmp.filePath("huge.pdf")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("cannot be printed: A sum of amounts is too large to be represented"),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(tmp.filePath("huge.pdf")));
        const QString tb3 = "exec TrialBalance3 '2020-01-01','2030-12-31'";
        r = admin(QStringList{"report", "rptTrialBalance3.rpt"} + login()
                  + QStringList{"--exec", tb3, "--csv", tmp.filePath("tb3.csv")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("too large to be represented"), qPrintable(r.err));
        c.execute("update Accounts set OpenBal = null where OpenBal = ?", {QVariant::fromValue(Huge)});

        // Ten movements of one account: the database's own SUM cannot hold them either.
        const qint64 ac = c.scalar("select min(RowID) from Accounts where AcStatus = 'DD'").toLongLong();
        for (int i = 0; i < 10; ++i)
            c.execute(
                "insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt) "
                "values (?, 'JV', ?, 1, ?, ?, ?, ?)",
                {900000 + i, QDate(2026, 3, 1), ac, ac + 1, QVariant::fromValue(Huge), QVariant::fromValue(Money())});
        for (const QString& prep : {QString("exec TrialBalance '2026-01-01','2026-12-31'"),
                                    QString("exec AcLedger %1,'2026-04-01','2026-12-31'").arg(ac)}) {
            r = admin(QStringList{"report", prep.contains("Ledger") ? "rptAcLedger.rpt" : "rptTrialBalance.rpt"}
                      + login() + QStringList{"--exec", prep, "--csv", tmp.filePath("sum.csv")});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("too large to be represented"), qPrintable(prep + ": " + r.err));
        }
        c.execute("delete from DetJV where VouNo >= 900000 and VouStatus = 'JV'");
    }
};

QTEST_GUILESS_MAIN(TstReportSafety)
#include "tst_reportsafety.moc"
