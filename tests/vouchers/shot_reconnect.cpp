// A screenshot for the README (run by hand under Xvfb against a PostgreSQL server, not part of
// ctest): the main window after the station's link to the server broke and was opened again.
#include "support/fixture.h"
#include "support/voucherinput.h"

#include <QThread>

class ShotReconnect : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
private slots:
    void shot()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        app.start(true);
        app.main()->resize(1200, 780);
        frmVoucher* w = qvt::journalWithLine("AL-NOOR CONSTRUCTION");
        QVERIFY(w);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        qvt::journalWithLine("KHAN STEEL MILLS");
        // Another session ends the station's backend, as a server that went away does.
        qv::Connection admin;
        app.db().connectAdmin(admin);
        const qint64 pid = Conn.scalar("select pg_backend_pid()").toLongLong();
        admin.scalar("select pg_terminate_backend(?)", {pid});
        while (admin.scalar("select count(*) from pg_stat_activity where pid = ?", {pid}).toInt())
            QThread::msleep(10);
        w->SearchGrd(); // the next action opens the link again
        QTest::qWait(400);
        app.main()->grab().save(QStringLiteral(QVT_SHOTS "/status-bar-reconnect.png"));
        admin.close();
        app.stop();
    }
};
QTEST_MAIN(ShotReconnect)
#include "shot_reconnect.moc"
