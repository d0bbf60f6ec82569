// Screenshots for the README (run by hand under Xvfb, not part of ctest): the "Lock Period"
// window with its moves, and a journal voucher's save refused in the locked period.
#include "shell/adminhelpers.h"
#include "support/voucherinput.h"
#include "vouchers/periodlock.h"
#include "widgets/datebox.h"

#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QSqlQuery>
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

        // Saved after the lock, then changed: its History.
        qvt::MsgRecorder rec;
        qvt::child<QDateEdit>(v, "DTPicker")->setDate(today.addDays(1));
        QTest::mouseClick(qvt::child<QPushButton>(v, "cmdSave"), Qt::LeftButton);
        const qint64 number = Conn.scalar("select max(VouNo) from MasJV where VouStatus = 'JV'").toLongLong();
        v->openForChange(number);
        QSqlQuery q = Conn.query("select RowID, AcName from Accounts where AcStatus = 'DD' order by RowID desc");
        for (const char* box : {"txtDrAc", "txtCrAc"}) {
            q.next();
            qvt::child<QLineEdit>(v, box)->setText(q.value(1).toString());
            qvt::child<QLineEdit>(v, box)->setProperty("tag", q.value(0).toString());
        }
        q.finish();
        qvt::child<QLineEdit>(v, "txtPaidTo")->setText("AL-NOOR CONSTRUCTION (PVT) LTD");
        qvt::child<QLineEdit>(v, "txtDRCR")->setText("80");
        QTest::mouseClick(qvt::child<QPushButton>(v, "cmdAdd"), Qt::LeftButton);
        QTest::mouseClick(qvt::child<QPushButton>(v, "cmdSave"), Qt::LeftButton);
        v->openForChange(number);
        QTest::mouseClick(qvt::child<QPushButton>(v, "cmdHistory"), Qt::LeftButton);
        auto* h = v->findChild<QDialog*>("frmHistory");
        QVERIFY2(h, qPrintable(rec.texts().join(" | ")));
        QTest::qWait(400);
        h->grab().save(QStringLiteral(QVT_SHOTS "/voucher-history.png"));
        h->close();
        app.stop();
    }
};
QTEST_MAIN(ShotLockPeriod)
#include "shot_lockperiod.moc"
