// The classes window opened from the chart of accounts, and the statements' launcher: a book
// with a control account left unclassified says which and offers the classes window.
#include "masters/accountclasses.h"
#include "masters/frmaccount.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"
#include "widgets/accountbox.h"
#include "widgets/datebox.h"

#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>

class TstStatementWindows : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    void click(QWidget* w, const char* button)
    {
        QTest::mouseClick(qvt::child<QPushButton>(w, button), Qt::LeftButton);
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
        app.start(true);
        QApplication::setActiveWindow(app.main());
    }
    void cleanup() { app.stop(); }

    // The demo comes classified; a head set back to none and a January year are saved together.
    void classesWindowFromTheChart()
    {
        auto* chart = qv::Windows::open<frmAccount>("frmAccount");
        click(chart, "cmdClasses");
        qv::MdiChild* w = qv::Windows::find("frmAcClasses");
        QVERIFY(w);
        auto* grid = qvt::child<QTableWidget>(w, "grdClasses");
        QCOMPARE(grid->rowCount(), 5);
        QCOMPARE(grid->item(2, 0)->text(), QString("3"));
        auto* capital = qobject_cast<QComboBox*>(grid->cellWidget(2, 2));
        QCOMPARE(capital->currentText(), QString("Equity"));
        capital->setCurrentIndex(0);
        qvt::child<QComboBox>(w, "cboStartMonth")->setCurrentIndex(0);
        QVERIFY(w->hasUnsavedWork());
        click(w, "cmdSave");
        QVERIFY(!w->hasUnsavedWork());
        qv::AccountClasses classes(Conn);
        QCOMPARE(classes.unclassified(), QStringList({"3 CAPITAL"}));
        QCOMPARE(classes.startMonth(), 1);
    }

    void launcherNamesUnclassifiedHeads()
    {
        qv::AccountClasses(Conn).set("4", QChar());
        qv::MdiChild* w = qv::Windows::open("frmRPTStatements");
        qvt::MsgRecorder rec;
        click(w, "cmdProfitLoss");
        QVERIFY2(rec.last().contains("4 INCOME"), qPrintable(rec.last()));
        QVERIFY(qv::Windows::find("frmAcClasses"));
        QVERIFY(!qv::Windows::find("frmVeiwer"));
        qv::AccountClasses(Conn).set("4", 'I');
        click(w, "cmdBalanceSheet");
        QVERIFY(qv::Windows::find("frmVeiwer"));
    }

    // The party reports' launcher, opened from the statements' one: a head's statements and its
    // ageing reach the viewer.
    void partyLauncherFromTheStatements()
    {
        click(qv::Windows::open("frmRPTStatements"), "cmdParties");
        qv::MdiChild* w = qv::Windows::find("frmRPTParty");
        QVERIFY(w);
        auto* head = qvt::child<QComboBox>(w, "cboHead");
        head->setCurrentIndex(head->findText("1.2  CUSTOMERS"));
        QVERIFY(head->currentIndex() >= 0);
        qvt::child<qv::DateBox>(w, "DTPickerFrom")->setDate({2020, 1, 1});
        qvt::MsgRecorder rec;
        click(w, "cmdPartyStatement");
        qv::MdiChild* viewer = qv::Windows::find("frmVeiwer");
        QVERIFY2(viewer && viewer->windowTitle() == "STATEMENT OF ACCOUNT", qPrintable(rec.last()));
        QCOMPARE(Conn.scalar("select count(distinct AcCode) from tmpPartyStatement").toInt(), 8);
        click(w, "cmdAgeing");
        QCOMPARE(viewer->windowTitle(), QString("AGEING OF BALANCES"));
        // An account picked with the finder is taken before the head.
        const qint64 saima = Conn.scalar("select RowID from Accounts where AcNodes = '1.2.2'").toLongLong();
        qvt::child<qv::AccountBox>(w, "txtAcName")->setAccount(saima, "SAIMA NAEEM");
        click(w, "cmdPartyStatement");
        QCOMPARE(Conn.scalar("select count(distinct AcCode) from tmpPartyStatement").toInt(), 1);
        QCOMPARE(Conn.scalar("select min(AcCode) from tmpPartyStatement").toLongLong(), saima);
    }
};

QTEST_MAIN(TstStatementWindows)
#include "tst_statementwindows.moc"
