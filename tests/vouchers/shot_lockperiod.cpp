// Screenshots for the README (run by hand under Xvfb, not part of ctest): the "Lock Period"
// window with its moves, and a journal voucher's save refused in the locked period.
#include "shell/adminhelpers.h"
#include "support/voucherinput.h"
#include "vouchers/periodlock.h"
#include "widgets/datebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

class ShotLockPeriod : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
private slots:
    void shot()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        app.start(true);
        app.main()->resize(1200, 780);
        app.main()->show();
        const QDate today = QDate::currentDate();
        qv::PeriodLock lock(Conn);
        lock.move(QDate(today.year() - 1, 12, 31), {}, LoginUser);
        lock.move(today.addDays(-1), {}, LoginUser);
        lock.move(QDate(today.year(), today.month(), 1).addDays(-1), "A supplier's bill of last month came late",
                  LoginUser);
        qvt::openThroughGate(app.main(), "mnuLockPeriod", app.db().lockPassword);
        QWidget* w = qvt::findWindow(app.main(), "frmLockPeriod");
        QVERIFY(w);
        qvt::child<qv::DateBox>(w, "dtpUntil")->setDate(today);
        QTest::qWait(300);
        app.main()->grab().save(QStringLiteral(QVT_SHOTS "/lock-period.png"));
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        w->close();

        frmVoucher* v = qvt::journalWithLine("AL-NOOR CONSTRUCTION");
        QVERIFY(v);
        // The real box, photographed with the window behind it, then closed.
        QTimer::singleShot(600, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                QGuiApplication::primaryScreen()->grabWindow(0).save(QStringLiteral(QVT_SHOTS "/locked-save.png"));
                box->accept();
            }
        });
        QTest::mouseClick(qvt::child<QPushButton>(v, "cmdSave"), Qt::LeftButton);
        app.stop();
    }
};
QTEST_MAIN(ShotLockPeriod)
#include "shot_lockperiod.moc"
