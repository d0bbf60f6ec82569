// The locked period and the audit trail in the windows: "Lock Period" behind the lock password
// moves the date and asks a reason to reopen; a voucher window's save into the locked period says
// so once, naming the date, and keeps what was typed; a voucher's History says who did what.
#include "shell/adminhelpers.h"
#include "vouchers/periodlock.h"
#include "voucherwindowsuite.h"
#include "widgets/datebox.h"

#include <QCheckBox>
#include <QDialog>
#include <QRegularExpression>

using qvt::child;

class TstAuditWindows : public qvt::VoucherWindowSuite {
    Q_OBJECT

    QWidget* lockWindow()
    {
        qvt::openThroughGate(app.main(), "mnuLockPeriod", app.db().lockPassword);
        return qvt::findWindow(app.main(), "frmLockPeriod");
    }
    std::optional<QDate> locked() { return qv::PeriodLock(Conn).lockedUpTo(); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { app.start(true); }
    void cleanup() { app.stop(); }

    void theLockWindowMovesTheDateAndAsksWhyItReopens()
    {
        QVERIFY(app.main()->menuEntry("mnuLockPeriod")->isVisible());
        QWidget* w = lockWindow();
        QVERIFY(w);
        child<qv::DateBox>(w, "dtpUntil")->setDate(QDate(2026, 1, 31));
        qvt::MsgRecorder rec;
        QTest::mouseClick(child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QVERIFY(rec.seen.isEmpty());
        QCOMPARE(locked(), std::optional<QDate>(QDate(2026, 1, 31)));
        child<QCheckBox>(w, "chkNothing")->setChecked(true);
        QTest::mouseClick(child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY2(rec.last().contains("reason"), qPrintable(rec.last()));
        QCOMPARE(locked(), std::optional<QDate>(QDate(2026, 1, 31)));
        QTest::keyClicks(child<QLineEdit>(w, "txtReason"), "Late bill");
        QTest::mouseClick(child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(locked(), std::nullopt);
        QCOMPARE(child<QTableWidget>(w, "grdMoves")->rowCount(), 2);
        QCOMPARE(child<QTableWidget>(w, "grdMoves")->item(0, 3)->text(), QString("Late bill"));
    }

    void aSaveIntoTheLockedPeriodIsRefusedAndKeepsTheLines()
    {
        const QDate today = QDate::currentDate();
        qv::PeriodLock(Conn).move(today, {}, LoginUser);
        frmVoucher* w = open("frmJV");
        addLine(w, "SAIMA NAEEM", "FARHAN ALI", "125", "late entry");
        const int vouchers = Conn.scalar("select count(*) from MasJV").toInt();
        qvt::MsgRecorder rec;
        click(w, "cmdSave");
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY2(rec.last().contains("locked up to " + today.toString("dd-MM-yyyy")), qPrintable(rec.last()));
        QCOMPARE(Conn.scalar("select count(*) from MasJV").toInt(), vouchers);
        QCOMPARE(entryGrid(w)->rowCount(), 1);
        // Dated after the lock, the same lines save.
        child<QDateEdit>(w, "DTPicker")->setDate(today.addDays(1));
        click(w, "cmdSave");
        QCOMPARE(Conn.scalar("select count(*) from MasJV").toInt(), vouchers + 1);
    }

    void historySaysWhoChangedWhatLineByLine()
    {
        frmVoucher* w = open("frmBR");
        addLine(w, {}, "SAIMA NAEEM", "250", "booking");
        const qint64 number = shownNumber(w);
        click(w, "cmdSave");
        w->openForChange(number);
        addLine(w, {}, "FARHAN ALI", "70", "second plot");
        click(w, "cmdSave");
        w->openForChange(number);
        click(w, "cmdHistory");
        auto* h = w->findChild<QDialog*>("frmHistory");
        QVERIFY(h);
        auto* grid = child<QTableWidget>(h, "grdHistory");
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->item(0, 3)->text(), QString("voucher saved"));
        QCOMPARE(grid->item(1, 3)->text(), QString("voucher changed"));
        QCOMPARE(grid->item(1, 1)->text(), LoginUser);
        // The change shown: the new total and the added line, nothing of the line that stayed.
        const QString shownChange = child<QPlainTextEdit>(h, "txtChanges")->toPlainText();
        QVERIFY2(shownChange.contains("Total: \"250.00\" -> \"320.00\""), qPrintable(shownChange));
        QVERIFY2(shownChange.contains(QRegularExpression("\\+ line 2: account [0-9.]+ FARHAN ALI Cr 70\\.00")),
                 qPrintable(shownChange));
        QVERIFY(!shownChange.contains("booking"));
        h->close();
    }
};

QTEST_MAIN(TstAuditWindows)
#include "tst_auditwindows.moc"
