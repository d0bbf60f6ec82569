// The server's link breaks around a voucher's save: before COMMIT, during it (the save landed or
// not), after it, and during it with no server answering for a while. Each time the voucher is
// stored once or not at all, and the window says which; the connection is opened again at the
// next action and the status bar names the server. The link is broken as a server does it:
// another session terminates the station's backend at the chosen statement.
#include "support/fixture.h"
#include "support/voucherinput.h"

#include <QLabel>
#include <QSignalSpy>
#include <QSqlError>
#include <QStatusBar>
#include <QThread>
#include <csignal>

class TstLostLink : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    qv::Connection admin;
    qint64 pid = 0; // the station's backend

    // Ends the station's backend from the other session, and waits until the process is gone
    // (the server runs on this machine), its end of the link closed with it.
    void terminate()
    {
        admin.scalar("select pg_terminate_backend(?)", {pid});
        for (int i = 0; i < 500 && ::kill(pid_t(pid), 0) == 0; ++i)
            QThread::msleep(10);
    }
    // Breaks the link when the statement that starts with `at` is about to go out; `landFirst`
    // lets a COMMIT land before (its answer is what is lost); `keepOut` turns every new
    // connection away until allowConnections(true).
    void breakAt(const QString& at, bool landFirst = false, bool keepOut = false)
    {
        Conn.setStatementHook([=, this, done = false](const QString& sql) mutable {
            if (done || !sql.startsWith(at, Qt::CaseInsensitive))
                return;
            done = true;
            if (landFirst)
                QSqlQuery(Conn.database()).exec(QStringLiteral("COMMIT"));
            if (keepOut)
                allowConnections(false);
            terminate();
        });
    }
    // From outside the book: a database cannot turn away its own sessions' kind.
    void allowConnections(bool on)
    {
        const qv::DataSource ds = qv::DataSource::parse(app.db().dataSource, app.db().catalog);
        qv::Connection sys;
        sys.openServerUnchecked(ds.host, ds.port, "postgres", qEnvironmentVariable("QUORAVEL_TEST_PG_USER"),
                                qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD"));
        sys.execute(
            QStringLiteral("alter database %1 allow_connections %2").arg(app.db().catalog, on ? "true" : "false"));
    }
    QString server() const { return app.main()->statusBar()->findChild<QLabel*>("lblServer")->text(); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        app.start(true);
        app.db().connectAdmin(admin);
        pid = Conn.scalar("select pg_backend_pid()").toLongLong();
    }
    void cleanup()
    {
        Conn.setStatementHook({});
        allowConnections(true);
        admin.close();
        app.stop();
    }

    // Lost before COMMIT: not saved, said so, lines kept; the next Save opens the link again and
    // saves it once.
    void beforeCommitNotSaved()
    {
        qvt::MsgRecorder msgs;
        frmVoucher* w = qvt::journalWithLine("LOST BEFORE");
        QVERIFY(w);
        breakAt("insert into DetJV");
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QVERIFY2(msgs.last().contains("Nothing was saved"), qPrintable(msgs.last()));
        QCOMPARE(qvt::vouchersOf(admin, "LOST BEFORE"), 0);
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 1);
        QSignalSpy said(app.main()->statusBar(), &QStatusBar::messageChanged);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QCOMPARE(qvt::vouchersOf(admin, "LOST BEFORE"), 1);
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 0);
        QVERIFY(!said.isEmpty() && said.first().first().toString().contains("opened again: now on"));
        QCOMPARE(server(), "Server: " + Conn.serverName());
    }

    // Lost during COMMIT: looked for by its identity on the link opened again; whichever way it
    // went, the window says so and the voucher is there once or not at all.
    void duringCommit_data()
    {
        QTest::addColumn<bool>("landed");
        QTest::newRow("commit did not land") << false;
        QTest::newRow("commit landed, answer lost") << true;
    }
    void duringCommit()
    {
        QFETCH(bool, landed);
        qvt::MsgRecorder msgs;
        frmVoucher* w = qvt::journalWithLine("LOST DURING");
        QVERIFY(w);
        breakAt("COMMIT", landed);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QCOMPARE(qvt::vouchersOf(admin, "LOST DURING"), landed ? 1 : 0);
        QVERIFY2(msgs.last().contains(landed ? "it was saved once" : "nothing was saved"), qPrintable(msgs.last()));
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), landed ? 0 : 1);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"),
                          Qt::LeftButton); // saves the kept lines, or refuses an empty grid
        QCOMPARE(qvt::vouchersOf(admin, "LOST DURING"), 1);
    }

    // Lost after COMMIT: saved and said so; the next action opens the link again, silently, and
    // the status bar says where.
    void afterCommitSavedOnce()
    {
        frmVoucher* w = qvt::journalWithLine("LOST AFTER");
        QVERIFY(w);
        QSignalSpy said(app.main()->statusBar(), &QStatusBar::messageChanged);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QVERIFY(said.last().first().toString().contains("saved"));
        terminate();
        qvt::MsgRecorder msgs;
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdCancel"),
                          Qt::LeftButton); // the next action: a new number is read
        QVERIFY2(msgs.seen.isEmpty(), qPrintable(msgs.last()));
        QVERIFY(said.last().first().toString().contains("opened again: now on " + Conn.serverName()));
        QCOMPARE(qvt::vouchersOf(admin, "LOST AFTER"), 1);
    }

    // Lost during COMMIT while no server answers: the window cannot say yet, keeps the lines, and
    // looks for the voucher at the next Save instead of saving it a second time.
    void unknownUntilServerAnswers()
    {
        qvt::MsgRecorder msgs;
        frmVoucher* w = qvt::journalWithLine("LOST UNKNOWN");
        QVERIFY(w);
        breakAt("COMMIT", true, true);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QVERIFY2(msgs.last().contains("not known yet"), qPrintable(msgs.last()));
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 1);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton); // still no server
        QVERIFY2(msgs.last().contains("still not known"), qPrintable(msgs.last()));
        allowConnections(true);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QVERIFY2(msgs.last().contains("it is not saved again"), qPrintable(msgs.last()));
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 0);
        QCOMPARE(qvt::vouchersOf(admin, "LOST UNKNOWN"), 1);
    }

    // The server's last words (the session ended: 57P01) can arrive before its end of the link
    // closes; they alone make the link lost, so a station saves again on a new link instead of
    // showing an error; the next statement opens it.
    void serverEndingTheSessionIsALostLink()
    {
        const QSqlError lastWords("QPSQL: Unable to create query",
                                  "terminating connection due to unexpected postmaster exit", QSqlError::StatementError,
                                  "57P01");
        try {
            Conn.raise(lastWords);
        } catch (const qv::DbError& e) {
            QVERIFY2(e.isLinkLost(), qPrintable(e.description()));
        }
        QVERIFY(Conn.scalar("select pg_backend_pid()").toLongLong() != pid);
    }
};

QTEST_MAIN(TstLostLink)
#include "tst_lostlink.moc"
