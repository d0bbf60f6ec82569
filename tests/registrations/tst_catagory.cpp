// The category window driven as a user: a fresh window from the menu every time, saves of new
// and picked categories, the refusals, the search on every keystroke and the pick, delete with
// its question, the code box after "&CANCEL", a failing database, the keys.
#include "registrations/frmcatagory.h"
#include "registrations/registrationwindows.h"
#include "shell/windows.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

namespace {
QVariant column(qint64 id, const QString& col)
{
    return Conn.scalar(QString("select %1 from tblCatagory where CataId = ?").arg(col), {id});
}
qint64 rows()
{
    return Conn.scalar("select count(*) from tblCatagory").toLongLong();
}
} // namespace

class TstCatagory : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    frmCatagory* w = nullptr;

    template <class T = QLineEdit> T* get(const char* name) { return qvt::child<T>(w, name); }
    void click(const char* button) { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }
    void type(const char* box, const QString& text)
    {
        get(box)->setFocus();
        get(box)->selectAll();
        QTest::keyClick(get(box), Qt::Key_Backspace);
        QTest::keyClicks(get(box), text);
    }
    frmCatagory* openFromMenu()
    {
        app.main()->menuEntry("mnuCatagory")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return qvt::findWindow<frmCatagory>(app.main(), "frmCatagory");
    }
    QStringList gridColumn(int c)
    {
        auto* g = get<QTableWidget>("Msh");
        QStringList out;
        for (int r = 0; r < g->rowCount(); ++r)
            out << (g->item(r, c) ? g->item(r, c)->text() : QString());
        return out;
    }
    void doubleClick(int row)
    {
        get<QTabWidget>("SSTab1")->setCurrentIndex(1);
        auto* g = get<QTableWidget>("Msh");
        const QPoint p = g->visualRect(g->model()->index(row, 1)).center();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, p);
    }
    void chooseCriterion(const QString& text)
    {
        auto* c = get<QComboBox>("cmb_s_cri");
        c->setCurrentIndex(c->findText(text));
    }
    qint64 saveNew(const QString& name, const QString& cost, const QString& status = "Residential")
    {
        type("txtCatagory", name);
        type("txtAmount", cost);
        get<QComboBox>("CmbStatus")->setCurrentText(status);
        click("cmdSave");
        return Conn.scalar("select max(CataId) from tblCatagory").toLongLong();
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        qv::defineRegistrations();
    }
    void init()
    {
        app.start(false);
        app.main()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main()));
        w = openFromMenu();
        QVERIFY(w);
    }
    void cleanup() { app.stop(); }

    void freshWindowFromTheMenuEveryTime()
    {
        QCOMPARE(w->subWindow()->pos(), QPoint(2700 / 15, 1600 / 15));
        QVERIFY(!app.main()->homePanelVisible());
        auto* tabs = get<QTabWidget>("SSTab1");
        QCOMPARE(tabs->tabText(0) + "|" + tabs->tabText(1), QString("CATAGORY ENTRY| SEARCH"));
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(w->findChild<QLabel*>("lblTitle"));
        QCOMPARE(w->findChild<QLabel*>("lblTitle")->text(), QString("PLOTS CATAGORY"));
        QStringList captions;
        for (const char* b : {"cmdSave", "cmdDelete", "cmdCancel", "cmdExit", "cmdPrint"})
            captions << get<QPushButton>(b)->text();
        QCOMPARE(captions, QStringList({"&Save", "&DELETE", "&CANCEL", "E&XIT", "&PRINT"}));
        for (const char* b : {"txtCataId", "txtCatagory", "txtAmount"})
            QCOMPARE(get(b)->property("tag").toString(), QString("M"));
        QVERIFY(!get("txtCataId")->isEnabled());
        auto* status = get<QComboBox>("CmbStatus");
        QCOMPARE(status->count(), 2);
        QCOMPARE(status->currentText(), QString("Residential"));
        QCOMPARE(get<QComboBox>("cmb_s_cri")->currentText(), QString("Catagory"));
        QCOMPARE(get("txtCatagory")->maxLength(), Conn.columnWidth("tblCatagory", "Catagory"));
        QStringList headers;
        for (int c = 0; c < 4; ++c)
            headers << get<QTableWidget>("Msh")->horizontalHeaderItem(c)->text();
        QCOMPARE(headers, QStringList({"Catagory ID", "Catagory", "Cost", "Status"}));
        QCOMPARE(get<QTableWidget>("Msh")->columnWidth(1), 4000 / 15);

        // Choosing "Catagory" again over what was typed asks first: No keeps the window as it
        // is, Yes drops it and shows a new window in its place.
        type("txtCatagory", "UNSAVED");
        QPointer<frmCatagory> old = w;
        qvt::MsgRecorder rec;
        rec.answers = {QMessageBox::No};
        QCOMPARE(openFromMenu(), old.data());
        QCOMPARE(get("txtCatagory")->text(), QString("UNSAVED"));
        w = openFromMenu();
        QCOMPARE(rec.seen.size(), 2);
        QVERIFY(w);
        QVERIFY(!old);
        QVERIFY(get("txtCatagory")->text().isEmpty());
        QCOMPARE(app.main()->mdiArea()->subWindowList().size(), 1);
        QCOMPARE(rows(), qint64(0));

        // "&PRINT" does nothing; "E&XIT" closes and brings the home panel back.
        click("cmdPrint");
        QVERIFY(w->isVisible());
        click("cmdExit");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qvt::findWindow(app.main(), "frmCatagory"));
        QVERIFY(app.main()->homePanelVisible());
    }

    void saveNewThenPickedThenEmptiedCost()
    {
        qvt::MsgRecorder rec;
        // Typed in lower case, stored in upper case; the first code is 1.
        QCOMPARE(saveNew("a class o'hara", "1500000.50"), qint64(1));
        QCOMPARE(column(1, "Catagory").toString(), QString("A CLASS O'HARA"));
        QCOMPARE(app.main()->statusBar()->currentMessage(), QString("Catagory 1 A CLASS O'HARA saved"));
        QCOMPARE(column(1, "Status").toString(), QString("Residential"));
        QVERIFY(get("txtCatagory")->text().isEmpty());
        QVERIFY(get("txtAmount")->text().isEmpty());
        QCOMPARE(saveNew("shops", "", "Commercial"), qint64(2));
        QVERIFY(column(2, "Amount").isNull());
        QCOMPARE(gridColumn(0), QStringList({"2", "1"}));
        QCOMPARE(gridColumn(2), QStringList({"", "1500000.50"}));
        QVERIFY(rec.seen.isEmpty()); // no message after a save

        // A picked category comes back into the boxes and keeps its code when saved.
        doubleClick(1);
        QCOMPARE(get<QTabWidget>("SSTab1")->currentIndex(), 0);
        QCOMPARE(get("txtCataId")->text() + "|" + get("txtCatagory")->text() + "|" + get("txtAmount")->text(),
                 QString("1|A CLASS O'HARA|1500000.50"));
        QCOMPARE(app.main()->focusWidget(), get("txtCatagory"));
        type("txtAmount", "");
        get<QComboBox>("CmbStatus")->setCurrentText("Commercial");
        click("cmdSave");
        QCOMPARE(rows(), qint64(2));
        QVERIFY(column(1, "Amount").isNull());
        QCOMPARE(column(1, "Status").toString(), QString("Commercial"));
        QCOMPARE(column(1, "Catagory").toString(), QString("A CLASS O'HARA"));
    }

    void refusalsKeepWhatWasTyped()
    {
        qvt::MsgRecorder rec;
        type("txtAmount", "100");
        click("cmdSave");
        QCOMPARE(rec.texts(), QStringList({"Please enter Catagory"}));
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Information);
        QCOMPARE(rec.seen[0].title, QString("Quoravel"));
        QCOMPARE(app.main()->focusWidget(), get("txtCatagory"));

        rec.clear();
        type("txtCatagory", "PLOT");
        type("txtAmount", "12abc");
        click("cmdSave");
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY2(rec.last().contains("12abc") && rec.last().contains("not a number"), qPrintable(rec.last()));
        QCOMPARE(app.main()->focusWidget(), get("txtAmount"));
        QCOMPARE(get("txtCatagory")->text() + "|" + get("txtAmount")->text(), QString("PLOT|12abc"));
        QCOMPARE(rows(), qint64(0));

        // After "&CANCEL" a code can be typed; one that matches nothing is said so.
        click("cmdCancel");
        QVERIFY(get("txtCatagory")->text().isEmpty());
        QVERIFY(get("txtCataId")->isEnabled());
        rec.clear();
        type("txtCataId", "7");
        type("txtCatagory", "GHOST");
        click("cmdSave");
        QCOMPARE(rec.texts(), QStringList({"There is no catagory with the code 7."}));
        QCOMPARE(rows(), qint64(0));
        QCOMPARE(get("txtCatagory")->text(), QString("GHOST"));
    }

    void searchOnEveryKeystrokeAndEmptyResult()
    {
        for (int i = 1; i <= 11; ++i)
            saveNew(QString("PLOT %1").arg(i), "");
        auto* g = get<QTableWidget>("Msh");
        QCOMPARE(g->rowCount(), 11);
        chooseCriterion("Catagory ID");
        get<QTabWidget>("SSTab1")->setCurrentIndex(1);
        get("txt_s_value")->setFocus();
        QTest::keyClick(get("txt_s_value"), Qt::Key_1);
        QCOMPARE(gridColumn(0), QStringList({"11", "10", "1"}));
        QTest::keyClick(get("txt_s_value"), Qt::Key_0);
        QCOMPARE(gridColumn(0), QStringList({"10"}));
        // The criterion box takes no typing.
        QTest::keyClick(get<QComboBox>("cmb_s_cri"), Qt::Key_C);
        QCOMPARE(get<QComboBox>("cmb_s_cri")->currentText(), QString("Catagory ID"));

        chooseCriterion("Catagory");
        type("txt_s_value", "plot 1");
        QCOMPARE(get("txt_s_value")->text(), QString("PLOT 1"));
        QCOMPARE(gridColumn(0), QStringList({"11", "10", "1"}));
        // Down goes into the grid and Enter picks the line there.
        QTest::keyClick(get("txt_s_value"), Qt::Key_Down);
        QCOMPARE(app.main()->focusWidget(), g);
        QTest::keyClick(g, Qt::Key_Return);
        QCOMPARE(get("txtCataId")->text(), QString("11"));
        QCOMPARE(get<QTabWidget>("SSTab1")->currentIndex(), 0);

        // Nothing found: the header and one empty line, where a double click picks nothing.
        click("cmdCancel");
        type("txt_s_value", "NO SUCH'");
        QCOMPARE(g->rowCount(), 1);
        QCOMPARE(gridColumn(0), QStringList({""}));
        QCOMPARE(g->horizontalHeaderItem(0)->text(), QString("Catagory ID"));
        doubleClick(0);
        QCOMPARE(get<QTabWidget>("SSTab1")->currentIndex(), 1);
        QVERIFY(get("txtCataId")->text().isEmpty());
        QVERIFY(get("txtCatagory")->text().isEmpty());
    }

    void deleteAsksFirst()
    {
        saveNew("KEEP", "5");
        doubleClick(0);
        {
            // The real question, answered by a stray Enter: nothing is deleted.
            qvt::EnterOnBoxes enter;
            click("cmdDelete");
            QCOMPARE(enter.pressed, QStringList{"No"});
        }
        QCOMPARE(rows(), qint64(1));
        click("cmdCancel");
        qvt::MsgRecorder rec;
        click("cmdDelete"); // nothing shown: nothing is asked
        QVERIFY(rec.seen.isEmpty());
        doubleClick(0);
        rec.answers << QMessageBox::No;
        click("cmdDelete");
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(rec.seen[0].text, QString("Are you sure delete this information"));
        QCOMPARE(rec.seen[0].title, QString("Confirm"));
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Information);
        QCOMPARE(rec.seen[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(rows(), qint64(1));
        QCOMPARE(get("txtCataId")->text() + "|" + get("txtCatagory")->text(), QString("1|KEEP"));
        QCOMPARE(gridColumn(0), QStringList({"1"}));
        click("cmdDelete");
        QCOMPARE(rows(), qint64(0));
        QVERIFY(get("txtCataId")->text().isEmpty());
        QCOMPARE(gridColumn(0), QStringList({""}));
    }

    void databaseErrorLeavesTheWindowUsable()
    {
        qvt::MsgRecorder rec;
        Conn.setStatementHook([](const QString& sql) {
            if (sql.startsWith("insert into tblCatagory", Qt::CaseInsensitive))
                throw qv::DbError("injected failure");
        });
        type("txtCatagory", "FIRST");
        type("txtAmount", "10");
        click("cmdSave");
        Conn.setStatementHook({});
        QCOMPARE(rec.texts(), QStringList({"injected failure"}));
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Critical);
        QCOMPARE(rows(), qint64(0));
        QCOMPARE(get("txtCatagory")->text() + "|" + get("txtAmount")->text(), QString("FIRST|10"));
        click("cmdSave");
        QCOMPARE(rows(), qint64(1));
        QCOMPARE(column(1, "Catagory").toString(), QString("FIRST"));
    }

    void enterMovesOnAndTheNameBoxIsHighlighted()
    {
        get("txtCatagory")->setFocus();
        QCOMPARE(get("txtCatagory")->palette().color(QPalette::Base), QColor(255, 255, 192));
        QTest::keyClick(get("txtCatagory"), Qt::Key_Return);
        QCOMPARE(app.main()->focusWidget(), get("txtAmount"));
        QCOMPARE(get("txtCatagory")->palette().color(QPalette::Base), QColor(Qt::white));
        get<QComboBox>("CmbStatus")->setFocus();
        QTest::keyClick(get<QComboBox>("CmbStatus"), Qt::Key_Return);
        QVERIFY(app.main()->focusWidget() != get<QComboBox>("CmbStatus"));
    }
};

QTEST_MAIN(TstCatagory)
#include "tst_catagory.moc"
