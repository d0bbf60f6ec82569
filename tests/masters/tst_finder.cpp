// The account finder: which accounts it lists, the pick and its hand-over, "All Accounts",
// "&Add Accounts" and what every close resets.
#include "shell/windows.h"
#include "masters/finderpick.h"
#include "masters/frmfindac.h"
#include "shell/mdichild.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"
#include "widgets/accountbox.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>

namespace {
// Stands in for the lock window, which another subsystem provides.
class LockStandIn : public qv::MdiChild {
    Q_OBJECT
public:
    LockStandIn() { setObjectName("frmLocPass"); }
};

QStringList titles(const QTableView* g)
{
    return qvt::columnTexts(g, 2);
}

QStringList titlesFromDb(const QString& extraWhere)
{
    QStringList out;
    QSqlQuery q = Conn.query("select AcName from Accounts where AcStatus = 'DD' and DeleteStatus = 'N' " + extraWhere
                             + " order by AcName, RowID");
    while (q.next())
        out << q.value(0).toString();
    return out;
}

void doubleClick(QTableView* g, int row)
{
    g->scrollTo(g->model()->index(row, 2));
    const QRect r = g->visualRect(g->model()->index(row, 2));
    // The view takes a double click on the cell its press started on.
    QTest::mousePress(g->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseRelease(g->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, r.center());
}
} // namespace

class TstFinder : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    frmFindAC* finder() { return qvt::findWindow<frmFindAC>(app.main(), "frmFindAC"); }
    QTableView* grid() { return finder()->findChild<QTableView*>("mshSearch"); }
    frmFindAC* openFinder(const QString& type)
    {
        FindACType = type;
        qv::showFinder(true);
        frmFindAC* f = finder();
        if (!f)
            qFatal("the finder was not shown");
        return f;
    }
    bool finderClosed()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return finder() == nullptr;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        app.start(true);
        app.main()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main()));
    }
    void cleanup() { app.stop(); }

    void bankSideThenAllAccountsThenBankAgain()
    {
        // A deleted bank account and the levels above the subsidiary accounts never show.
        Conn.execute("update Accounts set DeleteStatus = 'Y' where AcName like 'MCB%'");
        Conn.execute("update Accounts set BStatus = 'B' where AcStatus = 'HD' and AcName = 'CASH AND BANK'");
        frmFindAC* f = openFinder("B");
        QCOMPARE(f->windowTitle(), QString("Search Account"));
        const QStringList banks = titlesFromDb("and BStatus = 'B'");
        QCOMPARE(banks, QStringList({"HABIB BANK LTD - 0123-7"}));
        QCOMPARE(titles(grid()), banks);

        auto* all = f->findChild<QCheckBox*>("chkAll");
        QCOMPARE(all->text(), QString("All Accounts"));
        QTest::mouseClick(all, Qt::LeftButton);
        QVERIFY(all->isChecked());
        QCOMPARE(FindACType, QString());
        const QStringList every = titlesFromDb("");
        QVERIFY(every.size() > 20);
        QCOMPARE(titles(grid()), every);
        QVERIFY(!titles(grid()).contains("MCB BANK LTD - 4471-2"));
        QVERIFY(!titles(grid()).contains("CASH AND BANK"));

        QTest::mouseClick(all, Qt::LeftButton);
        QCOMPARE(FindACType, QString("B"));
        QCOMPARE(titles(grid()), banks);
    }

    void otherCallersSeeEveryAccountAndUntickingNarrows()
    {
        frmFindAC* f = openFinder("");
        QCOMPARE(titles(grid()), titlesFromDb(""));
        auto* all = f->findChild<QCheckBox*>("chkAll");
        QVERIFY(!all->isChecked());
        QTest::mouseClick(all, Qt::LeftButton); // ticked: still everything
        QCOMPARE(titles(grid()), titlesFromDb(""));
        QTest::mouseClick(all, Qt::LeftButton); // unticked: bank accounts only
        QCOMPARE(titles(grid()), titlesFromDb("and BStatus = 'B'"));
    }

    void gridColumnsAndTyping()
    {
        frmFindAC* f = openFinder("");
        QTableView* g = grid();
        QCOMPARE(g->model()->columnCount(), 8);
        const QStringList headers = {"RowID",   "Code", "Account Title", "Opening Balance",
                                     "Contact", "Fax",  "Addr",          "Addr2"};
        const int widths[] = {0, 80, 333, 100, 133, 0, 0, 0};
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(g->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
            QCOMPARE(g->isColumnHidden(c), widths[c] == 0);
            // The laid-out width, or the header's own when its caption needs more.
            if (widths[c])
                QCOMPARE(g->columnWidth(c), std::max(widths[c], g->horizontalHeader()->sectionSizeHint(c)));
        }
        auto* box = f->findChild<QLineEdit*>("txtFindAC");
        QTest::keyClicks(box, "bank");
        QCOMPARE(titles(g), QStringList({"HABIB BANK LTD - 0123-7", "MCB BANK LTD - 4471-2"}));
        // The row carries the account as stored: its code and the opening balance as displayed.
        QCOMPARE(qvt::cellText(g, 0, 1), QString("1.1.2"));
        QCOMPARE(qvt::cellText(g, 0, 3), QString("1,500,000.00"));
        QCOMPARE(qvt::cellText(g, 0, 0), Conn.scalar("select RowID from Accounts where AcNodes = '1.1.2'").toString());
        box->clear();
        QTest::keyClicks(box, "o'b");
        QCOMPARE(titles(g), QStringList({"O'BRIEN TRADING CO"}));
        box->clear();
        QTest::keyClicks(box, "%");
        QCOMPARE(titles(g), QStringList());
        QCOMPARE(g->model()->rowCount(), 1); // the one blank row
    }

    void pickByDoubleClickAndByEnter()
    {
        openFinder("");
        QTableView* g = grid();
        const int row = titles(g).indexOf("SAIMA NAEEM");
        QVERIFY(row >= 0);
        const QString id = qvt::cellText(g, row, 0);
        doubleClick(g, row);
        QCOMPARE(FindACRowID, id);
        QCOMPARE(FindACName, QString("SAIMA NAEEM"));
        QVERIFY(finderClosed());

        FindACRowID.clear();
        FindACName.clear();
        frmFindAC* f = openFinder("B");
        auto* box = f->findChild<QLineEdit*>("txtFindAC");
        box->setFocus();
        QTest::keyClicks(box, "mcb");
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), grid());
        QTest::keyClick(grid(), Qt::Key_Return);
        QCOMPARE(FindACName, QString("MCB BANK LTD - 4471-2"));
        QCOMPARE(FindACRowID, Conn.scalar("select RowID from Accounts where AcNodes = '1.1.3'").toString());
        QVERIFY(finderClosed());
    }

    void emptyListAndExitHandNothingBack()
    {
        frmFindAC* f = openFinder("");
        auto* box = f->findChild<QLineEdit*>("txtFindAC");
        QTest::keyClicks(box, "no such account");
        QCOMPARE(grid()->model()->rowCount(), 1);
        doubleClick(grid(), 0);
        grid()->setCurrentIndex(grid()->model()->index(0, 2));
        QTest::keyClick(grid(), Qt::Key_Enter);
        QCOMPARE(FindACRowID.toInt(), 0);
        QVERIFY(!finderClosed());

        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), grid());
        box->clear();
        QTest::mouseClick(f->findChild<QPushButton*>("cmdExit"), Qt::LeftButton);
        QVERIFY(finderClosed());
        QCOMPARE(FindACRowID.toInt(), 0);
        QVERIFY(FindACName.isEmpty());
    }

    void addAccountsAsksForTheLockAndCloseResetsFlags()
    {
        int asked = 0;
        const qv::Windows::Definition realGate = qv::Windows::definition("frmLocPass");
        qv::Windows::define(
            "frmLocPass", [] { return new LockStandIn(); }, realGate.place, false,
            [&asked](qv::MdiChild*, bool) { ++asked; });
        frmFindAC* f = openFinder("B");
        auto* all = f->findChild<QCheckBox*>("chkAll");
        QTest::mouseClick(all, Qt::LeftButton);
        QTest::mouseClick(f->findChild<QPushButton*>("cmdAccounts"), Qt::LeftButton);
        qv::Windows::define("frmLocPass", realGate);
        QCOMPARE(asked, 1);
        QVERIFY(OpenAccountsAfterLock);
        QVERIFY(OpenedForCaller);
        auto* lock = qvt::findWindow(app.main(), "frmLocPass");
        QVERIFY(lock);
        QCOMPARE(lock->parentWidget()->pos(), QPoint(5000 / 15, 3000 / 15));
        QCOMPARE(f->subWindow()->pos(), QPoint(3500 / 15, 1800 / 15));

        // An account added meanwhile shows when the finder is active again.
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, BStatus) "
                     "values ('1.1.9', 'ALLIED BANK - 9', 'DD', '1.1', 'B')");
        app.main()->mdiArea()->setActiveSubWindow(f->subWindow());
        QVERIFY(titles(grid()).contains("ALLIED BANK - 9"));

        f->findChild<QPushButton*>("cmdExit")->click();
        QVERIFY(!OpenAccountsAfterLock);
        QVERIFY(!OpenedForCaller);
        QVERIFY(!all->isChecked());
        QVERIFY(finderClosed());
    }

    void callerTakesThePickOnce()
    {
        qv::AccountBox box;
        box.setText("kept");
        box.setProperty("tag", "7"); // a tag written from outside is the box's account
        QCOMPARE(box.accountId(), 7);
        QVERIFY(!qv::takeFinderPick(&box)); // nothing picked: nothing changes
        QCOMPARE(box.text(), QString("kept"));
        FindACRowID = "42";
        FindACName = "O'BRIEN TRADING CO";
        QVERIFY(qv::takeFinderPick(&box));
        QCOMPARE(box.text(), QString("O'BRIEN TRADING CO"));
        QCOMPARE(box.property("tag").toString(), QString("42"));
        QCOMPARE(box.accountId(), 42);
        QCOMPARE(FindACRowID.toInt(), 0);
        QVERIFY(FindACName.isEmpty());
        QVERIFY(!qv::takeFinderPick(&box));
        QCOMPARE(box.property("tag").toString(), QString("42"));
        box.clearAccount();
        QCOMPARE(box.property("tag").toString(), QString());
        QCOMPARE(box.accountId(), 0);
        // A pick for no known box is still consumed.
        FindACRowID = "5";
        FindACName = "X";
        QVERIFY(!qv::takeFinderPick(nullptr));
        QVERIFY(!qv::finderPickPending());
    }

    // Enter in the search box picks the account when the typing has left exactly one.
    void enterPicksTheOnlyMatch()
    {
        frmFindAC* f = openFinder("");
        auto* box = f->findChild<QLineEdit*>("txtFindAC");
        QTest::keyClicks(box, "BANK LTD");
        QCOMPARE(titles(grid()).size(), 2);
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(!finderClosed());
        QVERIFY(!qv::finderPickPending());
        QTest::keyClicks(box, " - 0");
        QCOMPARE(titles(grid()), QStringList({"HABIB BANK LTD - 0123-7"}));
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(finderClosed());
        QCOMPARE(FindACName, QString("HABIB BANK LTD - 0123-7"));
    }

    // After a pick the window that asked for it comes back to the front and takes it, not the
    // window the frame would bring up next (a chart opened after the finder).
    void pickGoesBackToTheCaller()
    {
        app.main()->menuEntry("mnuVocSetting")->trigger();
        qv::MdiChild* setup = qv::Windows::find("frmAcSetting");
        QVERIFY(setup);
        QTest::mouseClick(setup->findChild<QPushButton*>("cmdJVFindAC"), Qt::LeftButton);
        QVERIFY(finder());
        app.main()->menuEntry("mnuChartOfAC")->trigger();
        QVERIFY(qv::Windows::find("frmAccount"));
        app.main()->mdiArea()->setActiveSubWindow(setup->subWindow());
        QTest::mouseClick(setup->findChild<QPushButton*>("cmdJVFindAC"), Qt::LeftButton);
        const int row = int(titles(grid()).indexOf("OFFICE RENT"));
        QVERIFY(row >= 0);
        doubleClick(grid(), row);
        QVERIFY(finderClosed());
        QCOMPARE(app.main()->mdiArea()->activeSubWindow(), setup->subWindow());
        QCOMPARE(setup->findChild<QLineEdit*>("txtJVAcc")->text(), QString("OFFICE RENT"));
    }
};

QTEST_MAIN(TstFinder)
#include "tst_finder.moc"
