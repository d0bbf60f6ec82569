// The reconciliation window driven from the keyboard: pick the bank with the finder, type the
// statement, tick lines with Space and by cheque number, watch the difference reach 0.00, finish.
#include "bankrec/frmbankrec.h"
#include "masters/finderpick.h"
#include "shell/applymenus.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"
#include "tests/bankrec/bankexample.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTableWidget>

using Ex = qvt::BankExample;

class TstBankRecWindow : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    Ex ex;

    frmBankRec* open()
    {
        if (!qv::Windows::runMenu(QStringLiteral("mnuBankRec")))
            return nullptr;
        return qvt::findWindow<frmBankRec>(app.main(), "frmBankRec");
    }
    void type(QWidget* w, const QString& text)
    {
        w->setFocus();
        QTest::keyClicks(w, text);
        QTest::keyClick(w, Qt::Key_Return);
    }
    QString label(frmBankRec* w, const char* name) { return qvt::child<QLabel>(w, name)->text(); }
    // Picks the bank as a user does: the finder's search, Enter on the one account left.
    void pickBank(frmBankRec* w)
    {
        QTest::keyClick(qvt::child<QPushButton>(w, "cmdFindBank"), Qt::Key_Space);
        QVERIFY(FindACType == "B");
        auto* finder = qvt::findWindow(app.main(), "frmFindAC");
        QVERIFY(finder);
        type(qvt::child<QLineEdit>(finder, "txtFindAC"), "HABIB");
        app.main()->mdiArea()->setActiveSubWindow(w->subWindow());
        w->onActivated();
        QCOMPARE(qvt::child<QLineEdit>(w, "txtBank")->text(), QString("HABIB BANK"));
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        SetProgramFolder(QVT_TEMPLATES_DIR);
    }
    void cleanupTestCase() { SetProgramFolder(QString()); }
    void init()
    {
        app.start(false);
        ex = Ex();
        ex.make(Conn, LoginUser);
    }
    void cleanup() { app.stop(); }

    void aMonthIsReconciledFromTheKeyboard()
    {
        qvt::MsgRecorder msgs;
        frmBankRec* w = open();
        QVERIFY(w);
        pickBank(w);
        type(qvt::child<QWidget>(w, "dtpStatement"), "31012026");
        type(qvt::child<QLineEdit>(w, "txtStatementBal"), "13,000.00");
        QCOMPARE(w->focusWidget(), qvt::child<QPushButton>(w, "cmdShow"));
        QTest::keyClick(w->focusWidget(), Qt::Key_Return);
        auto* grid = qvt::child<QTableWidget>(w, "grdLines");
        QCOMPARE(grid->rowCount(), 4);
        QCOMPARE(w->focusWidget(), grid);
        // Book 14,500.00; nothing ticked: cleared 14,500 - 8,000 + 3,500 = 10,000.00.
        QCOMPARE(label(w, "lblBook"), QString("14,500.00"));
        QCOMPARE(label(w, "lblDifference"), QString("3,000.00"));
        QVERIFY(!qvt::child<QPushButton>(w, "cmdFinish")->isEnabled());
        QTest::keyClick(grid, Qt::Key_Space); // BR-1, the first line, credited: 15,000.00 cleared
        QCOMPARE(label(w, "lblCleared"), QString("15,000.00"));
        QCOMPARE(label(w, "lblDifference"), QString("-2,000.00"));
        type(qvt::child<QLineEdit>(w, "txtCheque"), "100101"); // BP-1 found and ticked
        QCOMPARE(grid->item(1, 3)->text(), QString("BP-1"));
        QCOMPARE(grid->item(1, 0)->checkState(), Qt::Checked);
        QCOMPARE(grid->item(1, 1)->text(), QString("31-01-2026"));
        QCOMPARE(label(w, "lblDifference"), QString("0.00"));
        QVERIFY(w->hasUnsavedWork());
        auto* finish = qvt::child<QPushButton>(w, "cmdFinish");
        QVERIFY(finish->isEnabled());
        finish->setFocus();
        QTest::keyClick(finish, Qt::Key_Return);
        QCOMPARE(msgs.texts(), QStringList());
        QCOMPARE(Conn.scalar("select count(*) from BankRecon where StmtDate = ?", {Ex::jan31()}).toInt(), 1);
        // Read again: the two open lines first, the cleared ones locked below.
        QCOMPARE(grid->rowCount(), 4);
        QCOMPARE(grid->item(0, 3)->text(), QString("BP-2"));
        QVERIFY(!(grid->item(3, 0)->flags() & Qt::ItemIsEnabled));
        QVERIFY(!w->hasUnsavedWork());
        QVERIFY(label(w, "lblLast").contains("31-01-2026"));
    }

    // The bank's statement proposes its matches; a cancel ticks nothing, a confirm ticks them
    // with the bank's dates, and nothing is stored until the reconciliation is kept.
    void anImportedStatementTicksOnlyWhenConfirmed()
    {
        qvt::MsgRecorder msgs;
        frmBankRec* w = open();
        pickBank(w);
        type(qvt::child<QWidget>(w, "dtpStatement"), "31012026");
        type(qvt::child<QLineEdit>(w, "txtStatementBal"), "13000");
        QTest::keyClick(w->focusWidget(), Qt::Key_Return);
        QTemporaryDir tmp;
        const QString csv = tmp.filePath("jan.csv");
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Date,Description,Cheque,Debit,Credit\n06-01-2026,DEPOSIT,,,5000\n15-01-2026,CHEQUE,100101,2000,\n"
                "20-01-2026,BANK CHARGES,,45,\n");
        f.close();
        frmBankRec::chooseStatementFile = [csv](QWidget*) { return csv; };
        int shown = 0;
        for (bool confirm : {false, true}) {
            frmBankRec::confirmProposals = [&](QDialog* d) {
                ++shown;
                return qvt::child<QTableWidget>(d, "grdProposals")->rowCount() == 2
                       && qvt::child<QTableWidget>(d, "grdUnmatched")->rowCount() == 1 && confirm;
            };
            QTest::mouseClick(qvt::child<QPushButton>(w, "cmdImport"), Qt::LeftButton);
            QCOMPARE(label(w, "lblDifference"), QString(confirm ? "0.00" : "3,000.00"));
        }
        frmBankRec::chooseStatementFile = nullptr;
        frmBankRec::confirmProposals = nullptr;
        QCOMPARE(shown, 2);
        auto* grid = qvt::child<QTableWidget>(w, "grdLines");
        QCOMPARE(grid->item(0, 1)->text(), QString("06-01-2026"));
        QCOMPARE(grid->item(1, 1)->text(), QString("15-01-2026"));
        QCOMPARE(Conn.scalar("select count(*) from BankClearing").toInt(), 0);
        QCOMPARE(msgs.texts(), QStringList());
    }

    // No right of its own: the entry goes with "Bank Payment Voucher".
    void theEntryFollowsTheBankPaymentRight()
    {
        for (int active : {0, 1}) {
            Conn.execute("insert into Menus (Menus, Active) values (?, 1)", {"Vouchers"});
            Conn.execute("insert into Menus (Menus, Active) values (?, ?)", {"Bank Payment Voucher", active});
            ApplyMenus();
            QCOMPARE(app.main()->menuEntry("mnuBankRec")->isVisible(), active == 1);
        }
    }

    // A clearing date is edited in its cell; one after the statement date is refused and put back.
    void aClearingDateIsEditedAndChecked()
    {
        qvt::MsgRecorder msgs;
        frmBankRec* w = open();
        pickBank(w);
        type(qvt::child<QWidget>(w, "dtpStatement"), "31012026");
        type(qvt::child<QLineEdit>(w, "txtStatementBal"), "13000");
        QTest::keyClick(w->focusWidget(), Qt::Key_Return);
        auto* grid = qvt::child<QTableWidget>(w, "grdLines");
        QTest::keyClick(grid, Qt::Key_Space);
        grid->item(0, 1)->setText("06-01-2026");
        QCOMPARE(grid->item(0, 1)->text(), QString("06-01-2026"));
        grid->item(0, 1)->setText("01-02-2026");
        QVERIFY2(msgs.last().contains("on or before the statement date"), qPrintable(msgs.last()));
        QCOMPARE(grid->item(0, 1)->text(), QString("06-01-2026"));
        QCOMPARE(label(w, "lblDifference"), QString("-2,000.00"));
    }
};

QTEST_MAIN(TstBankRecWindow)
#include "tst_bankrecwindow.moc"
