// The company profile: the one active company, the masked tax numbers, the key filters,
// search, pick, delete, and a save that fails part-way without losing the active company.
#include "shell/windows.h"
#include "masters/frmcompany.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

namespace {
const QString Demo = "GREEN VALLEY DEVELOPERS (PVT) LTD";

QStringList activeCompanies()
{
    QStringList out;
    QSqlQuery q = Conn.query("select Company from Company where comActive = 'Y' order by Company");
    while (q.next())
        out << q.value(0).toString();
    return out;
}

QVariant column(const QString& company, const QString& col)
{
    return Conn.scalar(QString("select %1 from Company where Company = ?").arg(col), {company});
}
} // namespace

class TstCompany : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    frmCompany* w = nullptr;

    template <class T = QLineEdit> T* child(const char* name)
    {
        T* c = w->findChild<T*>(name);
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    void click(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    QStringList gridNames()
    {
        auto* g = child<QTableWidget>("Msh");
        QStringList out;
        for (int r = 0; r < g->rowCount(); ++r)
            if (g->item(r, 0) && !g->item(r, 0)->text().isEmpty())
                out << g->item(r, 1)->text();
        return out;
    }
    // Double click on a row of the search grid, as the user picks a company.
    void pick(int row)
    {
        child<QTabWidget>("SSTab")->setCurrentIndex(1);
        auto* g = child<QTableWidget>("Msh");
        const QPoint p = g->visualRect(g->model()->index(row, 1)).center();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, p);
    }
    void pick(const QString& name) { pick(gridNames().indexOf(name)); }
    void type(const char* box, const QString& text)
    {
        child(box)->clear();
        child(box)->setFocus();
        QTest::keyClicks(child(box), text);
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
        app.main()->menuEntry("mnuCompany")->trigger();
        w = qvt::findWindow<frmCompany>(app.main(), "frmCompany");
        QVERIFY(w);
    }
    void cleanup() { app.stop(); }

    void opensWithItsTabsAndLimits()
    {
        QCOMPARE(w->windowTitle(), QString("Company Information"));
        QCOMPARE(w->subWindow()->pos(), QPoint(2800 / 15, 2100 / 15));
        auto* tabs = child<QTabWidget>("SSTab");
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->tabText(0), QString("Add / Change Company"));
        QCOMPARE(tabs->tabText(1), QString("Search Company"));
        QCOMPARE(child("txtCompany")->maxLength(), Conn.columnWidth("Company", "Company"));
        QCOMPARE(child("txtAddr")->maxLength(), Conn.columnWidth("Company", "comAddr"));
        QCOMPARE(child("txtWebSite")->maxLength(), Conn.columnWidth("Company", "comWebSite"));
        QVERIFY(!child("txtCompCode")->isVisible());
        QCOMPARE(gridNames(), QStringList({Demo}));
        auto* g = child<QTableWidget>("Msh");
        QCOMPARE(g->columnCount(), 10);
        QVERIFY(g->isColumnHidden(0));
        QCOMPARE(g->horizontalHeaderItem(6)->text(), QString("Sale Tax #"));
        QCOMPARE(g->columnWidth(4), 4000 / 15);
    }

    void secondActiveCompanyTakesTheFlag()
    {
        type("txtCompany", "blue hills o'neil");
        QCOMPARE(child("txtCompany")->text(), QString("BLUE HILLS O'NEIL"));
        type("txtAddr", "Plot 4, Phase 2");
        QTest::mouseClick(child<QCheckBox>("chkComActive"), Qt::LeftButton);
        click("cmdNew");
        QCOMPARE(activeCompanies(), QStringList({"BLUE HILLS O'NEIL"}));
        QCOMPARE(column("BLUE HILLS O'NEIL", "comAddr").toString(), QString("Plot 4, Phase 2"));
        // Empty boxes are stored as null, half-empty masks not at all.
        QVERIFY(column("BLUE HILLS O'NEIL", "comTel").isNull());
        QVERIFY(column("BLUE HILLS O'NEIL", "comTax").isNull());
        // The form is ready for the next company; the grid lists both.
        QVERIFY(child("txtCompany")->text().isEmpty());
        QVERIFY(child("txtCompCode")->text().isEmpty());
        QVERIFY(!child<QCheckBox>("chkComActive")->isChecked());
        QCOMPARE(gridNames(), QStringList({"BLUE HILLS O'NEIL", Demo}));

        // Editing the active company with the box unticked keeps its flag.
        pick("BLUE HILLS O'NEIL");
        QCOMPARE(child<QTabWidget>("SSTab")->currentIndex(), 0);
        QVERIFY(child<QCheckBox>("chkComActive")->isChecked());
        QTest::mouseClick(child<QCheckBox>("chkComActive"), Qt::LeftButton);
        type("txtAddr", "Plot 5");
        click("cmdNew");
        QCOMPARE(activeCompanies(), QStringList({"BLUE HILLS O'NEIL"}));
        QCOMPARE(column("BLUE HILLS O'NEIL", "comAddr").toString(), QString("Plot 5"));
        QCOMPARE(Conn.scalar("select count(*) from Company").toInt(), 2);

        // The flag goes back only when the other company is saved ticked.
        pick(Demo);
        QVERIFY(!child<QCheckBox>("chkComActive")->isChecked());
        QTest::mouseClick(child<QCheckBox>("chkComActive"), Qt::LeftButton);
        click("cmdNew");
        QCOMPARE(activeCompanies(), QStringList({Demo}));
    }

    void taxNumbersAreStoredOnlyWhenComplete()
    {
        pick(Demo);
        QCOMPARE(child("mskTax")->text(), QString("03-06-2100-012-45"));
        QCOMPARE(child("mskNTN")->text(), QString("1234567-8"));
        // A half-typed tax number and an emptied NTN box leave the stored numbers alone.
        type("mskTax", "1234");
        child("mskNTN")->clear();
        click("cmdNew");
        QCOMPARE(column(Demo, "comTax").toString(), QString("03-06-2100-012-45"));
        QCOMPARE(column(Demo, "comNTN").toString(), QString("1234567-8"));
        // Complete numbers replace them, dashes included.
        pick(Demo);
        type("mskTax", "11223333444555");
        type("mskNTN", "7654321");
        QTest::keyClicks(child("mskNTN"), "0");
        click("cmdNew");
        QCOMPARE(column(Demo, "comTax").toString(), QString("11-22-3333-444-55"));
        QCOMPARE(column(Demo, "comNTN").toString(), QString("7654321-0"));
        // A new company with a half-typed number stores none.
        type("txtCompany", "HALF");
        type("mskNTN", "123");
        click("cmdNew");
        QCOMPARE(Conn.scalar("select count(*) from Company where Company = 'HALF' and comNTN is null").toInt(), 1);
    }

    void failureAfterTheResetKeepsTheOldActiveCompany()
    {
        type("txtCompany", "NEW ACTIVE");
        QTest::mouseClick(child<QCheckBox>("chkComActive"), Qt::LeftButton);
        bool resetSeen = false;
        Conn.setStatementHook([&resetSeen](const QString& sql) {
            if (sql.contains("comActive = null", Qt::CaseInsensitive))
                resetSeen = true;
            else if (resetSeen && sql.startsWith("insert into Company", Qt::CaseInsensitive))
                throw qv::DbError("injected failure");
        });
        qvt::MsgRecorder rec;
        click("cmdNew");
        Conn.setStatementHook({});
        QVERIFY(resetSeen);
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Critical);
        QCOMPARE(rec.last(), QString("injected failure"));
        QCOMPARE(activeCompanies(), QStringList({Demo}));
        QCOMPARE(Conn.scalar("select count(*) from Company").toInt(), 1);
        // Nothing typed is lost; the save goes through once the fault is gone.
        QCOMPARE(child("txtCompany")->text(), QString("NEW ACTIVE"));
        QVERIFY(child<QCheckBox>("chkComActive")->isChecked());
        click("cmdNew");
        QCOMPARE(activeCompanies(), QStringList({"NEW ACTIVE"}));
    }

    void emptyNameIsRefused()
    {
        qvt::MsgRecorder rec;
        type("txtAddr", "somewhere");
        click("cmdNew");
        QCOMPARE(rec.texts(), QStringList({"please enter Company Name "}));
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Information);
        QVERIFY(child("txtCompany")->hasFocus());
        QCOMPARE(Conn.scalar("select count(*) from Company").toInt(), 1);
        QCOMPARE(child("txtAddr")->text(), QString("somewhere"));
    }

    void keyFiltersOfTelephoneAndFax()
    {
        type("txtTel", "042-357a1, (22)#.");
        QCOMPARE(child("txtTel")->text(), QString("042-3571, (22)#"));
        type("txtFax", "042-357a1, 22");
        QCOMPARE(child("txtFax")->text(), QString("0423571, 22"));
        // Enter moves on from the three boxes that send Tab.
        child("txtCompany")->setFocus();
        QTest::keyClick(child("txtCompany"), Qt::Key_Return);
        QVERIFY(!child("txtCompany")->hasFocus());
    }

    void searchPickCancelAndDelete()
    {
        Conn.execute("insert into Company (Company) values ('ZETA 50% HOLDINGS')");
        Conn.execute("insert into Company (Company) values ('ALPHA BUILDERS')");
        w->FillGrid();
        QCOMPARE(gridNames(), QStringList({"ALPHA BUILDERS", Demo, "ZETA 50% HOLDINGS"}));
        QLineEdit* search = child("txtSearch");
        child<QTabWidget>("SSTab")->setCurrentIndex(1);
        QTest::keyClicks(search, "valley");
        QCOMPARE(gridNames(), QStringList({Demo}));
        search->clear();
        QTest::keyClicks(search, "50%");
        QCOMPARE(gridNames(), QStringList({"ZETA 50% HOLDINGS"}));
        search->clear();
        QTest::keyClicks(search, "no such");
        QCOMPARE(gridNames(), QStringList());
        search->clear();

        // A pick, then a double click on an empty row: the next save adds a new company.
        pick("ALPHA BUILDERS");
        QVERIFY(!child("txtCompCode")->text().isEmpty());
        search->setText("no such");
        pick(0);
        QVERIFY(child("txtCompCode")->text().isEmpty());
        search->clear();

        pick("ALPHA BUILDERS");
        click("cmdCancel");
        QVERIFY(child("txtCompany")->text().isEmpty());
        QVERIFY(child("txtCompCode")->text().isEmpty());
        qvt::MsgRecorder rec;
        click("cmdDelete"); // nothing picked: no question
        QVERIFY(rec.seen.isEmpty());

        pick("ALPHA BUILDERS");
        rec.answers << QMessageBox::No;
        click("cmdDelete");
        QCOMPARE(rec.texts(), QStringList({"are you sure delete this Company"}));
        QCOMPARE(rec.seen[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(Conn.scalar("select count(*) from Company where Company = 'ALPHA BUILDERS'").toInt(), 1);
        click("cmdDelete");
        QCOMPARE(Conn.scalar("select count(*) from Company where Company = 'ALPHA BUILDERS'").toInt(), 0);
        QCOMPARE(gridNames(), QStringList({Demo, "ZETA 50% HOLDINGS"}));
        QVERIFY(child("txtCompCode")->text().isEmpty());
    }

    void exitClosesAndShowsTheHomePanel()
    {
        QVERIFY(!app.main()->homePanelVisible());
        click("cmdExit");
        QVERIFY(app.main()->homePanelVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qv::Windows::find("frmCompany"));
    }
};

QTEST_MAIN(TstCompany)
#include "tst_company.moc"
