// The application window driven as a user: the customer picked through the account finder, the
// four save checks in their order with their focus, the one application per customer, the
// search by day and the pick, delete with its question (a stray Enter deletes nothing), a
// failing database.
#include "masters/frmfindac.h"
#include "registrations/frmapplication.h"
#include "registrations/registrationwindows.h"
#include "shell/windows.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

namespace {
const QString First = "ABDUL RAHMAN KHAN";
const QString Second = "SAIMA NAEEM";

QVariant column(qint64 rowNo, const QString& col)
{
    return Conn.scalar(QString("select %1 from tblApplication where RowNo = ?").arg(col), {rowNo});
}
qint64 rows()
{
    return Conn.scalar("select count(*) from tblApplication").toLongLong();
}
qint64 accountId(const QString& title)
{
    return Conn.scalar("select RowID from Accounts where AcName = ?", {title}).toLongLong();
}
} // namespace

class TstApplication : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    frmApplication* w = nullptr;

    template <class T = QLineEdit> T* get(const char* name) { return qvt::child<T>(w, name); }
    void click(const char* button) { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }
    void type(const char* box, const QString& text)
    {
        get(box)->setFocus();
        get(box)->selectAll();
        QTest::keyClick(get(box), Qt::Key_Backspace);
        QTest::keyClicks(get(box), text);
    }
    void typeNic(const QString& digits)
    {
        auto* nic = get("msk_Nic_no");
        nic->setFocus();
        nic->selectAll();
        QTest::keyClick(nic, Qt::Key_Backspace);
        QTest::keyClick(nic, Qt::Key_Home);
        QTest::keyClicks(nic, digits);
    }
    // "Find ", then the customer's line in the finder, as the user picks it.
    void pickCustomer(const QString& title)
    {
        click("CmbFind");
        auto* finder = qvt::findWindow<frmFindAC>(app.main(), "frmFindAC");
        QVERIFY(finder);
        QTest::keyClicks(qvt::child<QLineEdit>(finder, "txtFindAC"), title);
        auto* g = qvt::child<QTableView>(finder, "mshSearch");
        QCOMPARE(qvt::cellText(g, 0, 2), title);
        const QPoint p = g->visualRect(g->model()->index(0, 2)).center();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, p);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qvt::findWindow(app.main(), "frmFindAC"));
    }
    void fill(const QString& regNo, const QString& name, const QString& customer)
    {
        pickCustomer(customer);
        type("txtRegNo", regNo);
        type("txtName", name);
        type("txtPlace", "lahore");
        type("txtGuardian", "uncle");
        typeNic("3520212345671");
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
    QWidget* focused() const { return app.main()->focusWidget(); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        qv::defineRegistrations();
    }
    void init()
    {
        app.start(true);
        app.main()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main()));
        app.main()->menuEntry("mnuApp")->trigger();
        w = qvt::findWindow<frmApplication>(app.main(), "frmApplication");
        QVERIFY(w);
    }
    void cleanup() { app.stop(); }

    void controlsCaptionsAndGrid()
    {
        auto* tabs = get<QTabWidget>("SSTab1");
        QCOMPARE(tabs->tabText(0) + "|" + tabs->tabText(1), QString(" APPLICATION DATA|SEARCH"));
        QStringList tagged;
        for (QLineEdit* e : w->findChildren<QLineEdit*>())
            if (e->property("tag").toString() == "D")
                tagged << e->objectName() + "=" + e->property("dataField").toString();
        tagged.sort();
        QCOMPARE(tagged,
                 QStringList({"txtAddress=Address", "txtCellNo=CellNo", "txtChInAddress=ChangeInAdd", "txtCusId=ACCode",
                              "txtFName=FatherName", "txtGuardian=Guardian", "txtName=Name", "txtPhNo=PhoneNo",
                              "txtPlace=Place", "txtRegNo=RegNo", "txtRes=Res", "txtRowNo=RowNo"}));
        QCOMPARE(get("txtName")->maxLength(), Conn.columnWidth("tblApplication", "Name"));
        QVERIFY(!get("txtRowNo")->isEnabled());
        QCOMPARE(get("msk_Nic_no")->inputMask(), QString("99999-9999999-9;_"));
        QStringList labels;
        for (QLabel* l : w->findChildren<QLabel*>())
            labels << l->text();
        for (const char* t :
             {"Registration No", "Date ", "Place ", "Mr. / Mrs./Miss ", "Father's/Husband's Name",
              "Guardian : ( To be filled only where the applicant is a minor )", "Date Of Birth", "Nationality", "Sex",
              "Address", "( Change in address to be intimated immadiately )", "Phone No. Office ", "Res.", "Cell No",
              "Customer", "MY PARTICULARS ARE AS UNDER ( PLEASE WRITE IN BLOCK LETTERS )"})
            QVERIFY2(labels.contains(t), t);
        QCOMPARE(get<QPushButton>("CmbFind")->text(), QString("Find "));
        QCOMPARE(get<QRadioButton>("OptOnBooking")->text() + "|" + get<QRadioButton>("OptCash")->text(),
                 QString("On Booking |CASH"));
        QStringList captions;
        for (const char* b : {"cmdSave", "cmdDelete", "cmdCancel", "cmdExit", "cmdPrint"})
            captions << get<QPushButton>(b)->text();
        QCOMPARE(captions, QStringList({"&Save", "&DELETE", "&CANCEL", "E&XIT", "&PRINT"}));
        QCOMPARE(get<QComboBox>("CmbSex")->currentText(), QString("Male"));

        auto* g = get<QTableWidget>("Msh");
        QCOMPARE(g->columnCount(), 17);
        QCOMPARE(g->rowCount(), 1);
        QVERIFY(g->isColumnHidden(0));
        QCOMPARE(g->horizontalHeaderItem(12)->text(), QString("Change in Address"));
        QCOMPARE(g->horizontalHeaderItem(16)->text(), QString("Mode Of Payment"));
        QCOMPARE(g->columnWidth(10), 800 / 15);
        QCOMPARE(g->columnWidth(8), 1400 / 15);
        auto* cri = get<QComboBox>("cmb_s_cri");
        QCOMPARE(cri->currentText(), QString("Registration NO"));
        tabs->setCurrentIndex(1);
        QVERIFY(!get<QDateEdit>("DTPicker1")->isVisible());
        cri->setCurrentIndex(2);
        QVERIFY(get<QDateEdit>("DTPicker1")->isVisible());
        cri->setCurrentIndex(1);
        QVERIFY(!get<QDateEdit>("DTPicker1")->isVisible());
    }

    void fourChecksInOrderThenSave()
    {
        qvt::MsgRecorder rec;
        auto expect = [&](const QString& text, QWidget* focus) {
            rec.clear();
            click("cmdSave");
            QCOMPARE(rec.texts(), QStringList({text}));
            QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Information);
            QCOMPARE(focused(), focus);
            QCOMPARE(rows(), qint64(0));
        };
        expect("please enter Name Mr./ Mrs. /Miss ", get("txtName"));
        type("txtName", "saima o'neil");
        QCOMPARE(get("txtName")->text(), QString("SAIMA O'NEIL"));
        expect("please enter Customer Name", get("txtCusName"));
        pickCustomer(Second);
        QCOMPARE(get("txtCusName")->text(), Second);
        QCOMPARE(get("txtCusId")->text(), QString::number(accountId(Second)));
        expect("please enter Reg No", get("txtRegNo"));
        type("txtRegNo", "R-100");
        expect("Please complete enter NIC No", get("msk_Nic_no"));
        typeNic("352021234567"); // one digit missing
        expect("Please complete enter NIC No", get("msk_Nic_no"));

        QTest::keyClicks(get("msk_Nic_no"), "1");
        get<QDateEdit>("RegDate")->setDate(QDate(2025, 2, 13));
        get<QDateEdit>("DateOfBirth")->setDate(QDate(1990, 11, 3));
        get<QComboBox>("CmbSex")->setCurrentIndex(1);
        rec.clear();
        click("cmdSave");
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.texts().join('|')));
        QCOMPARE(rows(), qint64(1));
        QCOMPARE(app.main()->statusBar()->currentMessage(), QString("Application 1 of SAIMA O'NEIL saved"));
        QCOMPARE(column(1, "Name").toString(), QString("SAIMA O'NEIL"));
        QCOMPARE(column(1, "ACCode").toLongLong(), accountId(Second));
        QCOMPARE(column(1, "Nationality").toString(), QString("35202-1234567-1"));
        QCOMPARE(column(1, "Sex").toString(), QString("Female"));
        QCOMPARE(column(1, "RegDate").toDate(), QDate(2025, 2, 13));
        QCOMPARE(column(1, "DateOfBirth").toDate(), QDate(1990, 11, 3));
        // Neither payment option was chosen: no mode of payment; empty boxes store null.
        QVERIFY(column(1, "ModeOfPayment").isNull());
        QVERIFY(column(1, "Place").isNull());
        // The entry is emptied; the dates and the sex stay for the next application.
        QVERIFY(get("txtName")->text().isEmpty() && get("txtCusName")->text().isEmpty());
        QVERIFY(get("txtCusId")->text().isEmpty());
        QCOMPARE(get("msk_Nic_no")->text(), QString("--"));
        QCOMPARE(get<QComboBox>("CmbSex")->currentText(), QString("Female"));
        QCOMPARE(gridColumn(3), QStringList({"13-02-2025"}));
        QCOMPARE(gridColumn(8), QStringList({"03-11-1990"}));
        QCOMPARE(gridColumn(4), QStringList({Second}));
    }

    void oneApplicationPerCustomer()
    {
        fill("R-1", "FIRST", First);
        QTest::mouseClick(get<QRadioButton>("OptCash"), Qt::LeftButton);
        click("cmdSave");
        QCOMPARE(rows(), qint64(1));
        QCOMPARE(column(1, "ModeOfPayment").toString(), QString("CASH"));
        qvt::MsgRecorder rec;
        fill("R-2", "AGAIN", First);
        click("cmdSave");
        QCOMPARE(rec.texts(), QStringList({"This customer is already exitis! "}));
        QCOMPARE(focused(), get<QPushButton>("CmbFind"));
        QCOMPARE(rows(), qint64(1));
        QCOMPARE(get("txtRegNo")->text(), QString("R-2")); // kept for another customer

        // Another customer's application, changed to the first customer: accepted.
        rec.clear();
        pickCustomer(Second);
        click("cmdSave");
        QCOMPARE(rows(), qint64(2));
        doubleClick(0); // R-2 comes first
        QCOMPARE(get("txtRowNo")->text(), QString("2"));
        pickCustomer(First);
        click("cmdSave");
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.texts().join('|')));
        QCOMPARE(Conn.scalar("select count(*) from tblApplication where ACCode = ?", {accountId(First)}).toInt(), 2);
    }

    void searchByDayPickAndEmptiedGuardian()
    {
        const QDate day(2025, 5, 6);
        for (const auto& [reg, customer, d] : {std::tuple{"R-1", First, day}, std::tuple{"R-3", Second, day.addDays(1)},
                                               std::tuple{"R-2", QString("TARIQ MEHMOOD"), day}}) {
            fill(reg, "APPLICANT " + QString(reg), customer);
            get<QDateEdit>("RegDate")->setDate(d);
            QTest::mouseClick(get<QRadioButton>("OptOnBooking"), Qt::LeftButton);
            click("cmdSave");
        }
        QCOMPARE(rows(), qint64(3));
        QCOMPARE(gridColumn(1), QStringList({"R-3", "R-2", "R-1"}));
        get<QTabWidget>("SSTab1")->setCurrentIndex(1);
        get<QComboBox>("cmb_s_cri")->setCurrentIndex(2);
        get<QDateEdit>("DTPicker1")->setDate(day);
        QCOMPARE(gridColumn(1), QStringList({"R-2", "R-1"}));
        QCOMPARE(gridColumn(3), QStringList({"06-05-2025", "06-05-2025"}));

        // The pick loads the whole application, payment option included (the option changed
        // here is dropped on the question asked first).
        qvt::MsgRecorder rec;
        get<QRadioButton>("OptCash")->setChecked(true);
        doubleClick(1);
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(get<QTabWidget>("SSTab1")->currentIndex(), 0);
        QCOMPARE(focused(), get("txtRegNo"));
        QCOMPARE(get("txtRowNo")->text() + "|" + get("txtRegNo")->text() + "|" + get("txtCusName")->text() + "|"
                     + get("txtGuardian")->text() + "|" + get("msk_Nic_no")->text(),
                 QString("1|R-1|%1|UNCLE|35202-1234567-1").arg(First));
        QCOMPARE(get<QDateEdit>("RegDate")->date(), day);
        QVERIFY(get<QRadioButton>("OptOnBooking")->isChecked());
        type("txtGuardian", "");
        click("cmdSave");
        QVERIFY(column(1, "Guardian").isNull());
        QCOMPARE(column(1, "RegNo").toString(), QString("R-1"));
        QCOMPARE(rows(), qint64(3));

        // Nothing found: one empty line, and a double click there does nothing.
        get<QComboBox>("cmb_s_cri")->setCurrentIndex(1);
        type("txt_s_value", "nobody's");
        QCOMPARE(gridColumn(0), QStringList({""}));
        doubleClick(0);
        QCOMPARE(get<QTabWidget>("SSTab1")->currentIndex(), 1);
        QVERIFY(get("txtRowNo")->text().isEmpty());
        type("txt_s_value", "applicant r-3");
        QCOMPARE(gridColumn(1), QStringList({"R-3"}));
    }

    void deleteAsksAndNoKeepsEverything()
    {
        fill("R-1", "KEEP", First);
        click("cmdSave");
        doubleClick(0);
        {
            // The real question, answered by a stray Enter: nothing is deleted.
            qvt::EnterOnBoxes enter;
            click("cmdDelete");
            QCOMPARE(enter.pressed, QStringList{"No"});
        }
        QCOMPARE(rows(), qint64(1));
        qvt::MsgRecorder rec;
        rec.answers << QMessageBox::No;
        click("cmdDelete");
        QCOMPARE(rec.texts(), QStringList({"Are you sure delete this information"}));
        QCOMPARE(rec.seen[0].title, QString("Confirm"));
        QCOMPARE(rec.seen[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(rows(), qint64(1));
        QCOMPARE(get("txtRowNo")->text() + "|" + get("txtName")->text(), QString("1|KEEP"));
        QCOMPARE(gridColumn(1), QStringList({"R-1"}));
        click("cmdDelete");
        QCOMPARE(rows(), qint64(0));
        QVERIFY(get("txtRowNo")->text().isEmpty());
        QCOMPARE(gridColumn(0), QStringList({""}));
        // A row number typed after "&CANCEL" that matches nothing is said so.
        click("cmdCancel");
        QVERIFY(get("txtRowNo")->isEnabled());
        fill("R-9", "GHOST", First);
        type("txtRowNo", "42");
        rec.clear();
        click("cmdSave");
        QCOMPARE(rec.texts(), QStringList({"There is no application with the number 42."}));
        QCOMPARE(rows(), qint64(0));
    }

    void customerTypedButNotPicked()
    {
        type("txtCusName", "someone");
        type("txtRegNo", "R-1");
        type("txtName", "NAME");
        typeNic("3520212345671");
        qvt::MsgRecorder rec;
        click("cmdSave");
        QCOMPARE(rec.texts(),
                 QStringList({"There is no such customer account: please pick the customer with \"Find \"."}));
        QCOMPARE(focused(), get<QPushButton>("CmbFind"));
        QCOMPARE(rows(), qint64(0));
        QCOMPARE(get("txtCusName")->text(), QString("SOMEONE"));
    }

    void enterOnAListedApplicationClosesTheWindow()
    {
        fill("R-1", "X", First);
        click("cmdSave");
        get<QTabWidget>("SSTab1")->setCurrentIndex(1);
        auto* g = get<QTableWidget>("Msh");
        g->setFocus();
        g->setCurrentCell(0, 1);
        QPointer<frmApplication> open = w;
        QTest::keyClick(g, Qt::Key_Return);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!open);
        QVERIFY(app.main()->homePanelVisible());
    }

    void databaseErrorLeavesTheWindowUsable()
    {
        fill("R-1", "TYPED", First);
        qvt::MsgRecorder rec;
        Conn.setStatementHook([](const QString& sql) {
            if (sql.startsWith("insert into tblApplication", Qt::CaseInsensitive))
                throw qv::DbError("injected failure");
        });
        click("cmdSave");
        Conn.setStatementHook({});
        QCOMPARE(rec.texts(), QStringList({"injected failure"}));
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Critical);
        QCOMPARE(rows(), qint64(0));
        QCOMPARE(get("txtName")->text() + "|" + get("txtCusName")->text(), QString("TYPED|") + First);
        click("cmdSave");
        QCOMPARE(rows(), qint64(1));
        // Closing brings the home panel back.
        click("cmdExit");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(app.main()->homePanelVisible());
    }
};

QTEST_MAIN(TstApplication)
#include "tst_application.moc"
