// The chart-of-accounts window driven as a user drives it: the tree and its levels, "&New" from
// each kind of selection, the right-button "Edit", the detail panel and its key rules, the
// order of the save checks, deletion, the search tab, database errors and the ways out.
#include "masters/frmaccount.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>

class TstAccountWindow : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    frmAccount* win = nullptr;

    template <class T = QLineEdit> T* get(const char* name)
    {
        T* w = win->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QTreeWidget* tree() { return get<QTreeWidget>("lstTree"); }
    QPushButton* button(const char* name) { return get<QPushButton>(name); }
    QString caption() { return button("cmdCreateAc")->text(); }
    QTreeWidgetItem* node(const QString& key) { return win->nodeByKey(key); }
    qint64 rowIdOf(const QString& code)
    {
        return Conn.scalar("select RowID from Accounts where AcNodes = ?", {code}).toLongLong();
    }
    qint64 count(const QString& where = "1=1", const QVariantList& p = {})
    {
        return Conn.scalar("select count(*) from Accounts where " + where, p).toLongLong();
    }
    qv::RecordSet row(const QString& code)
    {
        qv::RecordSet rs;
        rs.open("select * from Accounts where AcNodes = ?", Conn, {code});
        rs.moveFirst();
        return rs;
    }

    void openWindow()
    {
        app.main()->menuEntry("mnuChartOfAC")->trigger();
        win = app.main()->loaded<frmAccount>();
        QVERIFY(win);
        QApplication::setActiveWindow(app.main());
    }
    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    void clickNode(const QString& key, Qt::MouseButton b = Qt::LeftButton)
    {
        QTreeWidgetItem* item = node(key);
        QVERIFY2(item, qPrintable(key));
        tree()->scrollToItem(item); // opens the heads above it, as a user would
        QTest::mouseClick(tree()->viewport(), b, {}, tree()->visualItemRect(item).center());
    }
    // A right click; the popup, when it shows, is answered with "Edit" or dismissed.
    bool rightClick(const QString& key, bool chooseEdit)
    {
        bool seen = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll.stop();
            seen = menu->objectName() == "mnuPop" && menu->actions().size() == 1
                && menu->actions().first()->text() == "Edit";
            if (chooseEdit) {
                menu->setActiveAction(menu->actions().first());
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                QTest::keyClick(menu, Qt::Key_Escape);
            }
        });
        poll.start();
        clickNode(key, Qt::RightButton);
        poll.stop();
        return seen;
    }
    void retype(QLineEdit* box, const QString& text)
    {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClicks(box, text);
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        const QString name = QTest::currentTestFunction();
        app.start(name != "newOnAnEmptyTree");
        openWindow();
    }
    void cleanup()
    {
        win = nullptr;
        app.stop();
    }

    void loadsTheChart()
    {
        QCOMPARE(win->windowTitle(), QString("Chart Of Accounts"));
        QCOMPARE(get<QLabel>("Label1")->text(), QString("CHART OF ACCOUNTS"));
        auto* tab = get<QTabWidget>("SSTab");
        QCOMPARE(tab->currentIndex(), 0);
        QCOMPARE(tab->tabText(0), QString("Add / Change Account"));
        QCOMPARE(tab->tabText(1), QString("Search Account"));
        QVERIFY(!app.main()->homePanelVisible());
        QCOMPARE(caption(), QString("&New"));
        QVERIFY(get<QGroupBox>("frmEntry")->isHidden());
        QVERIFY(get("txtSubControl")->isHidden());
        QVERIFY(!get("txtAcDes")->isEnabled());
        QCOMPARE(get<QDateEdit>("dtpOpening")->date(), QDate::currentDate());
        QCOMPARE(get("txtAcDes")->maxLength(), 100);
        QCOMPARE(get("txtContactPerson")->maxLength(), 50);
        QCOMPARE(get("txt_OpenBal")->maxLength(), 14);

        QStringList roots;
        for (int i = 0; i < tree()->topLevelItemCount(); ++i)
            roots << tree()->topLevelItem(i)->text(0);
        QCOMPARE(roots, QStringList({"ASSETS", "LIABILITIES", "CAPITAL", "INCOME", "EXPENSES"}));
        QTreeWidgetItem* bank = node("'1.1.2'");
        QCOMPARE(bank->text(0), QString("HABIB BANK LTD - 0123-7"));
        QCOMPARE(bank->data(0, Qt::UserRole).toLongLong(), rowIdOf("1.1.2"));
        QCOMPARE(bank->parent(), node("'1.1'"));
        QCOMPARE(node("'1.1'")->parent(), node("'1'"));
        QVERIFY(!bank->icon(0).isNull());
        QVERIFY(bank->icon(0).pixmap(16).toImage() != node("'1'")->icon(0).pixmap(16).toImage());

        // A control account 10 goes between 1 and 2; a row of another status never shows.
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('10', 'TENTH', 'HH', '10', 0)");
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('10.1', 'ODD', 'XX', '10', 1)");
        win->FillTreeData();
        QCOMPARE(tree()->topLevelItem(1)->text(0), QString("TENTH"));
        QCOMPARE(tree()->topLevelItem(2)->text(0), QString("LIABILITIES"));
        QCOMPARE(node("'10'")->childCount(), 0);
        QVERIFY(!node("'10.1'"));

        // The search grid lists every subsidiary account at load.
        auto* grid = get<QTableWidget>("mshSearch");
        QCOMPARE(grid->rowCount(), int(count("AcStatus = 'DD'")));
        QCOMPARE(grid->columnCount(), 10);
        const QStringList headers = {"RowNo",  "Code",           "Account Title", "Location",  "Contact",
                                     "Fax",    "E-Mail",         "Opening Balance", "Address 1", "Address 2"};
        const int widths[] = {0, 80, 333, 133, 133, 133, 133, 120, 233, 233};
        for (int c = 0; c < 10; ++c) {
            QCOMPARE(grid->horizontalHeaderItem(c)->text(), headers[c]);
            if (c > 0)
                QCOMPARE(grid->columnWidth(c), widths[c]);
        }
        QVERIFY(grid->isColumnHidden(0));
    }

    void newOnAnEmptyTree()
    {
        qvt::MsgRecorder rec;
        QCOMPARE(tree()->topLevelItemCount(), 0);
        click(button("cmdCreateAc"));
        QCOMPARE(caption(), QString("&Save"));
        QVERIFY(win->NewAccountMode);
        QVERIFY(get("txtAcDes")->isEnabled());
        QVERIFY(get("txtOrder")->isEnabled());
        QTest::keyClicks(get("txtAcDes"), "assets");
        QCOMPARE(get("txtAcDes")->text(), QString("ASSETS"));
        QTest::keyClicks(get("txtOrder"), "1x 25");
        QCOMPARE(get("txtOrder")->text(), QString("125"));
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts(), QStringList({"please select any one type or create a control account "}));
        QCOMPARE(caption(), QString("&Save"));
        QCOMPARE(get("txtAcDes")->text(), QString("ASSETS"));
        QCOMPARE(count(), qint64(0));

        click(get<QCheckBox>("chkHead"));
        click(button("cmdCreateAc"));
        QCOMPARE(rec.seen.size(), 1);
        qv::RecordSet rs = row("1");
        QCOMPARE(rs.text("AcName"), QString("ASSETS"));
        QCOMPARE(rs.text("ParentID"), QString("1"));
        QCOMPARE(rs.field("OrderStatus").toInt(), 125);
        QCOMPARE(caption(), QString("&New"));
        QVERIFY(!get<QCheckBox>("chkHead")->isChecked());
        QVERIFY(get("txtAcDes")->text().isEmpty());
        QVERIFY(!get("txtAcDes")->isEnabled());
        QVERIFY(node("'1'"));
        QCOMPARE(tree()->topLevelItemCount(), 1);
    }

    void newWithNothingSelected()
    {
        qvt::MsgRecorder rec;
        click(button("cmdCreateAc"));
        for (const char* name : {"txtAcDes", "txtSubControl", "txtOrder"}) {
            QVERIFY2(!get(name)->isEnabled(), name);
            QVERIFY2(get(name)->text().isEmpty(), name);
        }
        const qint64 before = count();
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts(), QStringList({"please enter Account Title"}));
        QCOMPARE(count(), before);
    }

    void newUnderAControlAccount()
    {
        qvt::MsgRecorder rec;
        clickNode("'1'");
        QCOMPARE(caption(), QString("&New"));
        QVERIFY(get<QCheckBox>("chkHead")->isEnabled());
        click(button("cmdCreateAc"));
        QVERIFY(!get("txtAcDes")->isEnabled());
        QCOMPARE(get("txtAcDes")->text(), QString("ASSETS"));
        QVERIFY(!get("txtSubControl")->isHidden());
        QVERIFY(get("txtSubControl")->isEnabled());
        QCOMPARE(get("txtSubControl")->text(), QString("ASSETS"));
        QVERIFY(!get<QCheckBox>("chkHead")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), get("txtSubControl"));
        retype(get("txtSubControl"), "deposits");
        click(button("cmdCreateAc"));
        QVERIFY(rec.seen.isEmpty());
        qv::RecordSet rs = row("1.4");
        QCOMPARE(rs.text("AcName"), QString("DEPOSITS"));
        QCOMPARE(rs.text("AcStatus"), QString("HD"));
        QCOMPARE(rs.text("ParentID"), QString("1"));
        QCOMPARE(rs.field("Dcode").toInt(), 4);
        QCOMPARE(node("'1.4'")->parent(), node("'1'"));
        QVERIFY(node("'1'")->isExpanded());
        QVERIFY(get("txtAcDes")->text().isEmpty());
        QVERIFY(get("txtSubControl")->text().isEmpty());
        QCOMPARE(caption(), QString("&New"));

        // The head's own title left in the box is stored as it is: sub-control titles are not tested.
        clickNode("'2'");
        click(button("cmdCreateAc"));
        click(button("cmdCreateAc"));
        QVERIFY(rec.seen.isEmpty());
        QCOMPARE(row("2.3").text("AcName"), QString("LIABILITIES"));
    }

    void newUnderASubControlAccount()
    {
        qvt::MsgRecorder rec;
        clickNode("'1.1'");
        QCOMPARE(caption(), QString("&New"));
        QVERIFY(!get<QCheckBox>("chkHead")->isEnabled());
        click(button("cmdCreateAc"));
        QVERIFY(!get<QGroupBox>("frmEntry")->isHidden());
        QVERIFY(!get("txtSubControl")->isEnabled());
        QCOMPARE(get("txtSubControl")->text(), QString("CASH AND BANK"));
        QCOMPARE(get("txtAcDes")->text(), QString("ASSETS"));
        QCOMPARE(QApplication::focusWidget(), get("txtSubsidiary"));

        // Typed as an accountant types: Enter moves on, box by box.
        QTest::keyClicks(get("txtSubsidiary"), "meezan bank");
        QTest::keyClick(get("txtSubsidiary"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), get<QDateEdit>("dtpOpening"));
        get<QDateEdit>("dtpOpening")->setDate(QDate(2025, 7, 1));
        QTest::keyClick(get<QDateEdit>("dtpOpening"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), get("txtContactPerson"));
        QTest::keyClicks(get("txtContactPerson"), "m. khan");
        QTest::keyClicks(get("txt_address"), "Plot 4, Block b");
        QTest::keyClicks(get("txt_telno"), "042 35, 7x1");
        QTest::keyClicks(get("txtLocation"), "lahore");
        QTest::keyClicks(get("txt_OpenBal"), "-25000.5");
        get("txt_Gstno")->setFocus();
        QTest::keyClick(get("txt_Gstno"), Qt::Key_Home);
        QTest::keyClicks(get("txt_Gstno"), "1234567890123");
        get("txt_Ntnno")->setFocus();
        QTest::keyClick(get("txt_Ntnno"), Qt::Key_Home);
        QTest::keyClicks(get("txt_Ntnno"), "76543210");
        click(get<QCheckBox>("chkSupplier"));
        click(get<QCheckBox>("chkBank"));
        QVERIFY(!get<QCheckBox>("chkSupplier")->isChecked());
        QCOMPARE(get("txtContactPerson")->text(), QString("M. KHAN"));
        QCOMPARE(get("txt_address")->text(), QString("Plot 4, Block b"));
        QCOMPARE(get("txt_telno")->text(), QString("04235,71"));

        click(button("cmdCreateAc"));
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.texts().join('|')));
        qv::RecordSet rs = row("1.1.4");
        QCOMPARE(rs.text("AcName"), QString("MEEZAN BANK"));
        QCOMPARE(rs.text("ParentID"), QString("1.1"));
        QCOMPARE(rs.text("AcStatus"), QString("DD"));
        QCOMPARE(rs.field("openDate").toDate(), QDate(2025, 7, 1));
        QCOMPARE(rs.text("ContactPer"), QString("M. KHAN"));
        QCOMPARE(rs.text("Addr"), QString("Plot 4, Block b"));
        QVERIFY(rs.isNull("Addr2"));
        QCOMPARE(rs.text("Contact"), QString("04235,71"));
        QCOMPARE(rs.text("Location"), QString("LAHORE"));
        QCOMPARE(rs.money("OpenBal"), qv::Money(-2500050));
        QCOMPARE(rs.text("GST"), QString("12-34-5678-901-23"));
        QCOMPARE(rs.text("NTN"), QString("7654321-0"));
        QCOMPARE(rs.text("BStatus"), QString("B"));
        QVERIFY(node("'1.1.4'"));
        QVERIFY(node("'1'")->isExpanded() && node("'1.1'")->isExpanded());
        QCOMPARE(caption(), QString("&New"));
        // The new account is in the search grid at once.
        QVERIFY(!get<QTableWidget>("mshSearch")->findItems("MEEZAN BANK", Qt::MatchExactly).isEmpty());
    }

    void newWithASubsidiarySelected()
    {
        qvt::MsgRecorder rec;
        clickNode("'1.1.2'");
        QCOMPARE(caption(), QString("&Save"));
        click(button("cmdCancel"));
        QCOMPARE(caption(), QString("&New"));
        const qint64 before = count();
        click(button("cmdCreateAc"));
        // A subsidiary account has nothing under it: no title box opens.
        QVERIFY(!get("txtAcDes")->isEnabled());
        QVERIFY(!get("txtSubControl")->isEnabled());
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts(), QStringList({"please enter Account Title"}));
        QCOMPARE(count(), before);
        QCOMPARE(row("1.1.2").text("AcName"), QString("HABIB BANK LTD - 0123-7"));
    }

    void rightClickOnEachLevel()
    {
        qvt::MsgRecorder rec;
        QVERIFY(!rightClick("'1.1.1'", false)); // a subsidiary account: no popup
        QCOMPARE(caption(), QString("&Save"));
        QVERIFY(!get<QGroupBox>("frmEntry")->isHidden());

        QVERIFY(rightClick("'1'", false)); // dismissed: nothing opens
        QCOMPARE(caption(), QString("&New"));
        QVERIFY(!get("txtAcDes")->isEnabled());
        QVERIFY(win->LoadedStatus.isEmpty());
        QVERIFY(!win->RightButtonDown);

        QVERIFY(rightClick("'1'", true));
        QCOMPARE(caption(), QString("&Save"));
        QVERIFY(!win->NewAccountMode);
        QVERIFY(!get<QCheckBox>("chkHead")->isEnabled());
        QVERIFY(get("txtAcDes")->isEnabled());
        QVERIFY(get("txtOrder")->isEnabled());
        QVERIFY(get("txtSubControl")->isHidden());
        QCOMPARE(QApplication::focusWidget(), get("txtAcDes"));
        retype(get("txtAcDes"), "owner's assets");
        QTest::keyClicks(get("txtOrder"), "5");
        click(button("cmdCreateAc"));
        QVERIFY(rec.seen.isEmpty());
        qv::RecordSet rs = row("1");
        QCOMPARE(rs.text("AcName"), QString("OWNER'S ASSETS"));
        QCOMPARE(rs.field("OrderStatus").toInt(), 5);
        QCOMPARE(node("'1'")->text(0), QString("OWNER'S ASSETS"));
        QCOMPARE(tree()->currentItem(), node("'1'"));
        QCOMPARE(caption(), QString("&New"));

        QVERIFY(rightClick("'1.2'", true));
        QVERIFY(!get("txtAcDes")->isEnabled());
        QCOMPARE(get("txtAcDes")->text(), QString("OWNER'S ASSETS"));
        QVERIFY(get("txtSubControl")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), get("txtSubControl"));
        retype(get("txtSubControl"), "customers' accounts");
        click(button("cmdCreateAc"));
        QVERIFY(rec.seen.isEmpty());
        QCOMPARE(row("1.2").text("AcName"), QString("CUSTOMERS' ACCOUNTS"));
        QCOMPARE(tree()->currentItem(), node("'1.2'"));
        QVERIFY(node("'1'")->isExpanded());
        QCOMPARE(caption(), QString("&New"));
    }

    void halfTypedGstKeepsTheStoredNumber()
    {
        qvt::MsgRecorder rec;
        Conn.execute("update Accounts set GST = ?, NTN = ? where AcNodes = '1.1.2'", {"11-22-3333-444-55", "1234567-8"});
        clickNode("'1.1.2'");
        QCOMPARE(get("txt_Gstno")->text(), QString("11-22-3333-444-55"));
        QCOMPARE(get("txt_Ntnno")->text(), QString("1234567-8"));
        QVERIFY(get<QCheckBox>("chkBank")->isChecked());
        QCOMPARE(get("txt_OpenBal")->text(), QString("1500000.00"));

        get("txt_Gstno")->clear();
        get("txt_Gstno")->setFocus();
        QTest::keyClick(get("txt_Gstno"), Qt::Key_Home);
        QTest::keyClicks(get("txt_Gstno"), "9876");
        retype(get("txt_OpenBal"), "2500");
        click(button("cmdCreateAc"));
        QVERIFY(rec.seen.isEmpty());
        qv::RecordSet rs = row("1.1.2");
        QCOMPARE(rs.text("GST"), QString("11-22-3333-444-55"));
        QCOMPARE(rs.text("NTN"), QString("1234567-8"));
        QCOMPARE(rs.money("OpenBal"), qv::Money(250000));
        // An edited subsidiary account stays open for editing.
        QCOMPARE(caption(), QString("&Save"));
        QCOMPARE(tree()->currentItem(), node("'1.1.2'"));

        QTest::keyClicks(get("txt_Gstno"), "543210987");
        click(button("cmdCreateAc"));
        QCOMPARE(row("1.1.2").text("GST"), QString("98-76-5432-109-87"));
    }

    void saveChecksAndTheOpeningBalance()
    {
        qvt::MsgRecorder rec;
        clickNode("'1.1'");
        click(button("cmdCreateAc"));
        QTest::keyClicks(get("txtSubsidiary"), "cash  inhand");
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts(), QStringList({"Account Titel is already exitis, please change Account Title"}));
        QCOMPARE(caption(), QString("&Save"));
        QCOMPARE(get("txtSubsidiary")->text(), QString("CASH  INHAND"));
        QCOMPARE(QApplication::focusWidget(), get("txtSubsidiary"));
        QVERIFY(!node("'1.1.4'"));

        // One "." and one "-" at most; no blanks, no letters.
        auto* bal = get("txt_OpenBal");
        QTest::keyClicks(bal, "1..2--3 x");
        QCOMPARE(bal->text(), QString("1.2-3"));
        retype(get("txtSubsidiary"), "petty cash");
        rec.clear();
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts(), QStringList({"please enter a valid Opening Balance"}));
        QVERIFY(!node("'1.1.4'"));

        retype(bal, ".");
        click(button("cmdCreateAc"));
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY(row("1.1.4").isNull("OpenBal"));
        QCOMPARE(row("1.1.4").text("AcName"), QString("PETTY CASH"));

        // A subsidiary account retitled to itself with other blanks is not refused by its own title.
        clickNode("'1.1.4'");
        retype(get("txtSubsidiary"), "petty  cash");
        click(button("cmdCreateAc"));
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(row("1.1.4").text("AcName"), QString("PETTY  CASH"));
    }

    void keyRules()
    {
        clickNode("'1.1'");
        click(button("cmdCreateAc"));
        QTest::keyClicks(get("txtSubsidiary"), "abc");
        QCOMPARE(get("txtSubsidiary")->text(), QString("ABC"));
        QTest::keyClicks(get("txt_email"), "Info@X.pk");
        QCOMPARE(get("txt_email")->text(), QString("Info@X.pk"));
        QTest::keyClicks(get("txt_faxno"), "12 ab,3");
        QCOMPARE(get("txt_faxno")->text(), QString("12,3"));
        get("txt_Ntnno")->setFocus();
        QTest::keyClicks(get("txt_Ntnno"), "12");
        QTest::keyClick(get("txt_Ntnno"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), get<QCheckBox>("chkBank"));

        // Level-1 and level-2 titles: upper case, and Enter stays in the box.
        click(button("cmdCancel"));
        QVERIFY(rightClick("'2'", true));
        QTest::keyClicks(get("txtAcDes"), "x");
        QTest::keyClick(get("txtAcDes"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), get("txtAcDes"));
        QCOMPARE(get("txtAcDes")->text(), QString("LIABILITIESX"));
        QTest::keyClicks(get("txtOrder"), "123456");
        QCOMPARE(get("txtOrder")->text(), QString("1234"));
    }

    void deletion()
    {
        qvt::MsgRecorder rec;
        click(button("Command3"));
        QCOMPARE(rec.last(), QString("please select any one account"));
        clickNode("'1'");
        click(button("Command3"));
        QCOMPARE(rec.last(), QString("this head not remove "));
        clickNode("'1.1.1'"); // cash in hand is on the demo vouchers
        click(button("Command3"));
        QCOMPARE(rec.last(), QString("this Account use in vouceher detail "));
        QCOMPARE(count("AcNodes = '1.1.1'"), qint64(1));

        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('1.1.9', 'SPARE', 'DD', '1.1', 9)");
        win->FillTreeData();
        auto* grid = get<QTableWidget>("mshSearch");
        clickNode("'1.1.9'");
        rec.clear();
        rec.answers << QMessageBox::No;
        click(button("Command3"));
        QCOMPARE(rec.texts(), QStringList({"are you sure delete this account"}));
        QCOMPARE(rec.seen.first().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(count("AcNodes = '1.1.9'"), qint64(1));
        QVERIFY(node("'1.1.9'"));

        win->FillGrid();
        const int rows = grid->rowCount();
        click(button("Command3"));
        QCOMPARE(count("AcNodes = '1.1.9'"), qint64(0));
        QVERIFY(!node("'1.1.9'"));
        QVERIFY(get<QGroupBox>("frmEntry")->isHidden());
        QVERIFY(get("txtFindParent")->text().isEmpty());
        QVERIFY(get("txtSubsidiary")->text().isEmpty());
        QCOMPARE(grid->rowCount(), rows - 1);
    }

    void searchTab()
    {
        auto* tab = get<QTabWidget>("SSTab");
        tab->setCurrentIndex(1);
        auto* grid = get<QTableWidget>("mshSearch");
        QTest::keyClicks(get("txtFindAC"), "zzz");
        QCOMPARE(grid->rowCount(), 0);
        QCOMPARE(grid->columnCount(), 10);
        QCOMPARE(grid->horizontalHeaderItem(2)->text(), QString("Account Title"));

        retype(get("txtFindAC"), "o'b");
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(grid->item(0, 2)->text(), QString("O'BRIEN TRADING CO"));
        QCOMPARE(grid->item(0, 1)->text(), QString("1.2.6"));

        retype(get("txtFindAC"), "bank");
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->item(0, 2)->text(), QString("HABIB BANK LTD - 0123-7"));
        QCOMPARE(grid->item(0, 7)->text(), QString("1,500,000.00"));

        node("'2'")->setExpanded(true);
        const QRect cell = grid->visualItemRect(grid->item(1, 2));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(tab->currentIndex(), 0);
        QCOMPARE(tree()->currentItem(), node("'1.1.3'"));
        QCOMPARE(get("txtSubsidiary")->text(), QString("MCB BANK LTD - 4471-2"));
        QCOMPARE(get("txtSubControl")->text(), QString("CASH AND BANK"));
        QCOMPARE(get("txtAcDes")->text(), QString("ASSETS"));
        QCOMPARE(caption(), QString("&Save"));
        QVERIFY(!node("'2'")->isExpanded());
        QVERIFY(node("'1.1'")->isExpanded());
        QVERIFY(!get("txtAcDes")->isEnabled());
    }

    void expandOrCollapseByTheUser()
    {
        clickNode("'1.1.2'");
        QCOMPARE(caption(), QString("&Save"));
        QTreeWidgetItem* liab = node("'2'");
        QVERIFY(!liab->isExpanded());
        const QRect r = tree()->visualItemRect(liab);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {},
                          QPoint(r.left() - tree()->indentation() / 2, r.center().y()));
        QVERIFY(liab->isExpanded());
        QCOMPARE(caption(), QString("&New"));
        QVERIFY(get<QGroupBox>("frmEntry")->isHidden());
        // The selected node is loaded again, with every title box closed.
        QCOMPARE(get("txtFindParent")->text(), QString::number(rowIdOf("1.1.2")));
        QCOMPARE(get("txtSubsidiary")->text(), QString("HABIB BANK LTD - 0123-7"));
        QVERIFY(!get("txtAcDes")->isEnabled());
        QVERIFY(!get("txtSubControl")->isEnabled());
    }

    void databaseErrorsLeaveEverythingAsItWas()
    {
        qvt::MsgRecorder rec;
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('1.1.9', 'SPARE', 'DD', '1.1', 9)");
        win->FillTreeData();
        clickNode("'1.1'");
        click(button("cmdCreateAc"));
        QTest::keyClicks(get("txtSubsidiary"), "new bank");
        const qint64 before = count();
        Conn.setStatementHook([](const QString& sql) {
            if (sql.startsWith("insert into Accounts", Qt::CaseInsensitive)
                || sql.startsWith("delete from Accounts", Qt::CaseInsensitive))
                throw qv::DbError("could not write: disk full");
        });
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts(), QStringList({"could not write: disk full"}));
        QVERIFY(rec.seen.first().icon == qv::Msg::Icon::Critical);
        QCOMPARE(count(), before);
        QVERIFY(!node("'1.1.4'"));
        QCOMPARE(caption(), QString("&Save"));
        QCOMPARE(get("txtSubsidiary")->text(), QString("NEW BANK"));

        clickNode("'1.1.9'");
        click(button("Command3"));
        QCOMPARE(rec.last(), QString("could not write: disk full"));
        QVERIFY(node("'1.1.9'"));
        QCOMPARE(count("AcNodes = '1.1.9'"), qint64(1));

        // Once the database answers again, the same entry saves.
        Conn.setStatementHook({});
        clickNode("'1.1'");
        click(button("cmdCreateAc"));
        QTest::keyClicks(get("txtSubsidiary"), "new bank");
        click(button("cmdCreateAc"));
        QCOMPARE(row("1.1.10").text("AcName"), QString("NEW BANK"));
        QVERIFY(node("'1.1.10'"));
    }

    void exitAndTheLockWindowsWay()
    {
        QPointer<frmAccount> first(win);
        click(button("cmdExit"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        QVERIFY(app.main()->homePanelVisible()); // closing ran ApplyMenus

        // Opened for the account finder through the lock window: shown maximised; "E&xit" hides it.
        OpenedForCaller = true;
        QVERIFY(app.main()->runOpener("frmAccount"));
        win = app.main()->loaded<frmAccount>();
        QVERIFY(win);
        QVERIFY(!app.main()->homePanelVisible());
        QMdiSubWindow* sw = app.main()->mdiArea()->activeSubWindow();
        QCOMPARE(sw, win->subWindow());
        sw->showMaximized();
        QVERIFY(tree()->width() > 300 && tree()->height() > 400);
        click(button("cmdExit"));
        QVERIFY(!sw->isVisible());
        QCOMPARE(app.main()->loaded<frmAccount>(), win);
        app.main()->runOpener("frmAccount");
        QVERIFY(sw->isVisible());

        // Closing it by the frame's own button runs ApplyMenus as well.
        OpenedForCaller = false;
        Conn.execute("update Menus set Active = 0 where Menus = 'Chart Of Accounts'");
        sw->close();
        QVERIFY(app.main()->homePanelVisible());
        QVERIFY(!app.main()->menuEntry("mnuChartOfAC")->isVisible());
    }
};

QTEST_MAIN(TstAccountWindow)
#include "tst_accountwindow.moc"
