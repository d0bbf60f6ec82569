// No endless waits: a lock another login holds (PostgreSQL: a table locked; the embedded book: its
// write lock) makes a save and a report end within the limit, and the window says what was busy
// and that nothing was saved; a statement over its limit is stopped, while a report's read-only
// transaction may take longer.
#include "reports/frmrptaccounts.h"
#include "reports/journalexport.h"
#include "support/fixture.h"
#include "support/voucherinput.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QToolButton>

namespace {
constexpr int LockMs = 1000;
// What a wait may take beyond its limit on a busy machine.
constexpr int SlackMs = 3000;
} // namespace

class TstWaitLimits : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    qv::Connection other; // the other login, holding the lock
    qv::WaitLimits before;

    // PostgreSQL: the probe's lock on the detail rows; the embedded book: its write lock.
    void holdLock()
    {
        app.db().connectAdmin(other);
        other.begin(); // BEGIN IMMEDIATE on the embedded book
        if (other.backend() == qv::Backend::Postgres)
            other.execute("lock table DetJV in access exclusive mode");
    }
    bool server() const { return Conn.backend() == qv::Backend::Postgres; }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        SetProgramFolder(QVT_TEMPLATES_DIR);
        before = qv::Connection::setWaitLimits({LockMs, 30000, 600000});
    }
    void cleanupTestCase() { qv::Connection::setWaitLimits(before); }
    void init() { app.start(true); }
    void cleanup()
    {
        other.close();
        app.stop();
    }

    void saveEndsWithinLimit()
    {
        qvt::MsgRecorder msgs;
        frmVoucher* w = qvt::journalWithLine("WAITED");
        QVERIFY(w);
        holdLock();
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QVERIFY2(t.elapsed() < LockMs + SlackMs, qPrintable(QString::number(t.elapsed())));
        const QString said = msgs.last();
        QVERIFY2(said.contains(server() ? "holding the vouchers (" : "writing to the book")
                     && said.contains("after 1 second.") && said.contains("Nothing was saved"),
                 qPrintable(said));
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 1);
        other.rollback();
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QCOMPARE(qvt::vouchersOf(Conn, "WAITED"), 1);
    }

    // A report and an export under the same lock end within the limit: the trial balance's
    // preparation waits for the lock (on the embedded book it writes its work tables) and says
    // what was busy; the export only reads, which the embedded book lets it do beside a writer.
    void reportsEndWithinLimit()
    {
        qvt::MsgRecorder msgs;
        holdLock();
        QVERIFY(qv::Windows::runMenu("mnuSubTBSimple"));
        auto* launcher = qvt::findWindow<frmRPTAccounts>(app.main(), "frmRPTAccounts");
        QVERIFY(launcher);
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(qvt::child<QToolButton>(launcher, "cmdTrialBal"), Qt::LeftButton);
        QVERIFY2(t.elapsed() < LockMs + SlackMs, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(msgs.last().contains(server() ? "holding the vouchers" : "writing to the book")
                     && msgs.last().contains("The report was not made"),
                 qPrintable(msgs.last()));
        // Only the book's tables are named: not the session's own work table, which no other
        // login can hold, nor a part of the statement itself.
        if (server())
            QVERIFY2(msgs.last().contains("(AcMonthSums, DetJV") && !msgs.last().contains("tmpTrialBalance")
                         && !msgs.last().contains(", mv"),
                     qPrintable(msgs.last()));
        QVERIFY(!qvt::findWindow(app.main(), "frmVeiwer"));

        QBuffer out;
        out.open(QIODevice::WriteOnly);
        t.restart();
        try {
            qv::rpt::exportJournal(Conn, {}, out);
            QVERIFY(!server());
        } catch (const qv::DbError& e) {
            QVERIFY2(server() && e.isWaitOver(), qPrintable(e.description()));
        }
        QVERIFY2(t.elapsed() < LockMs + SlackMs, qPrintable(QString::number(t.elapsed())));
    }

    // Ordinary work is stopped at its limit; a report's read-only transaction has the longer one.
    void statementLimits()
    {
        if (!server())
            QSKIP("the embedded book has no statement limit: it waits for no server");
        const qv::WaitLimits old = qv::Connection::setWaitLimits({LockMs, 300, 5000});
        qv::Connection c;
        app.db().connect(c);
        qv::Connection::setWaitLimits(old);
        try {
            c.scalar("select pg_sleep(1)");
            QFAIL("a statement ran past its limit");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.isWaitOver() && e.description().contains("time limit (0.3 seconds)"),
                     qPrintable(e.description()));
        }
        qv::ReadOnlyScope report(c);
        QCOMPARE(c.scalar("select 1 from pg_sleep(1)").toInt(), 1);
    }
};

QTEST_MAIN(TstWaitLimits)
#include "tst_waitlimits.moc"
