// The chart-of-accounts window driven as a user drives it: the tree and its levels, "&New" from
// each kind of selection, the right-button "Edit", the detail panel and its key rules, the
// order of the save checks, deletion, database errors and the ways out (the search tab has a
// suite of its own).
#include "shell/windows.h"
#include "masters/frmaccount.h"
#include "viewer/frmveiwer.h"
#include "reportengine/report.h"
#include "viewer/reportviewer.h"
#include "db/recordset.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>

class TstAccountWindow : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    frmAccount* win = nullptr;

    template <class T = QLineEdit> T* get(const char* name) { return qvt::child<T>(win, name); }
    QTreeWidget* tree() { return get<QTreeWidget>("lstTree"); }
    // The search grid, read through its model.
    QTableView* grid() { return get<QTableView>("mshSearch"); }
    int gridRows() { return grid()->model()->rowCount(); }
    QPushButton* button(const char* name) { return get<QPushButton>(name); }
    QString caption() { return button("cmdCreateAc")->text(); }
    QTreeWidgetItem* node(const QString& key) { return win->nodeByKey(key); }
    qint64 rowIdOf(const QString& code)
    {
        return Conn.scalar("select RowID from Accounts where AcNodes = ?", {code}).toLongLong();
    }
    qint64 count(const QString& where = "1=1")
    {
        return Conn.scalar("select count(*) from Accounts where " + where).toLongLong();
    }
    // Columns of the account with that code, as texts joined by "|" ("<null>" for null).
    QString cols(const QString& code, const QStringList& names)
    {
        qv::RecordSet rs;
        rs.open("select * from Accounts where AcNodes = ?", Conn, {code});
        if (rs.recordCount() == 0)
            return "<none>";
        rs.moveFirst();
        QStringList out;
        for (const QString& n : names)
            out << (rs.isNull(n) ? QString("<null>") : rs.text(n));
        return out.join('|');
    }
    // The window's mode at a glance: the main button's caption; each title box "+" open, "-"
    // closed, "." hidden; the "Controle Account" box open or closed; the detail panel shown.
    QString mode()
    {
        auto state = [](const QWidget* w) { return w->isHidden() ? "." : w->isEnabled() ? "+" : "-"; };
        return caption() + " AcDes" + state(get("txtAcDes")) + " Order" + state(get("txtOrder")) + " Sub"
               + state(get("txtSubControl")) + " Head" + state(get<QCheckBox>("chkHead")) + " Entry"
               + state(get<QGroupBox>("frmEntry"));
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
            if (chooseEdit)
                menu->setActiveAction(menu->actions().first());
            QTest::keyClick(menu, chooseEdit ? Qt::Key_Return : Qt::Key_Escape);
        });
        poll.start();
        clickNode(key, Qt::RightButton);
        // Without a window manager the offscreen platform may leave no widget focused once the
        // popup has gone: activate the frame again, as a window manager would. The box the
        // window gave the focus to gets it back.
        QCoreApplication::processEvents();
        if (!QApplication::focusWidget()) {
            QApplication::setActiveWindow(nullptr);
            QApplication::setActiveWindow(app.main());
        }
        return seen;
    }
    // Focus on the box, cursor home, then the keys.
    void typeInto(const char* name, const QString& text)
    {
        get(name)->setFocus();
        QTest::keyClick(get(name), Qt::Key_Home);
        QTest::keyClicks(get(name), text);
    }
    void retype(const char* name, const QString& text)
    {
        get(name)->setFocus();
        QTest::keyClick(get(name), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(get(name), Qt::Key_Backspace);
        typeInto(name, text);
    }
    void addSpare()
    {
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('1.1.9', 'SPARE', "
                     "'DD', '1.1', 9)");
        win->FillTreeData();
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        app.start(QTest::currentTestFunction() != QLatin1String("newOnAnEmptyTree"));
        app.main()->menuEntry("mnuChartOfAC")->trigger();
        win = qv::Windows::find<frmAccount>("frmAccount");
        QVERIFY(win);
        QApplication::setActiveWindow(app.main());
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
        QCOMPARE(tab->tabText(0) + "|" + tab->tabText(1), QString("Add / Change Account|Search Account"));
        QVERIFY(!app.main()->homePanelVisible());
        QCOMPARE(mode(), QString("&New AcDes- Order- Sub. Head+ Entry."));
        QCOMPARE(get("txtAcDes")->maxLength(), 100);
        QCOMPARE(get("txtContactPerson")->maxLength(), 50);
        // Fourteen characters at most: a fifteenth is refused.
        get("txt_OpenBal")->setText("12345678901234");
        get("txt_OpenBal")->end(false);
        QTest::keyClick(get("txt_OpenBal"), Qt::Key_5);
        QCOMPARE(get("txt_OpenBal")->text(), QString("12345678901234"));
        get("txt_OpenBal")->clear();

        QStringList roots;
        for (int i = 0; i < tree()->topLevelItemCount(); ++i)
            roots << tree()->topLevelItem(i)->text(0);
        QCOMPARE(roots, QStringList({"ASSETS", "LIABILITIES", "CAPITAL", "INCOME", "EXPENSES"}));
        QTreeWidgetItem* bank = node("'1.1.2'");
        QCOMPARE(bank->text(0), QString("HABIB BANK LTD - 0123-7"));
        QCOMPARE(bank->data(0, Qt::UserRole).toLongLong(), rowIdOf("1.1.2"));
        QCOMPARE(bank->parent(), node("'1.1'"));
        QCOMPARE(node("'1.1'")->parent(), node("'1'"));
        QVERIFY(bank->icon(0).pixmap(16).toImage() != node("'1'")->icon(0).pixmap(16).toImage());

        // A control account 10 goes between 1 and 2; a row of another status never shows.
        Conn.execute(
            "insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('10', 'TENTH', 'HH', '10', 0)");
        Conn.execute(
            "insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('10.1', 'ODD', 'XX', '10', 1)");
        win->FillTreeData();
        QCOMPARE(tree()->topLevelItem(1)->text(0) + "|" + tree()->topLevelItem(2)->text(0),
                 QString("TENTH|LIABILITIES"));
        QVERIFY(!node("'10.1'"));

        // The search grid lists every subsidiary account at load, in ten columns.
        QCOMPARE(gridRows(), int(count("AcStatus = 'DD'")));
        QCOMPARE(grid()->model()->columnCount(), 10);
        QVERIFY(grid()->isColumnHidden(0));
        auto header = [this](int c) { return grid()->model()->headerData(c, Qt::Horizontal).toString(); };
        QCOMPARE(header(0) + "|" + header(7) + "|" + header(9), QString("RowNo|Opening Balance|Address 2"));
        QCOMPARE(grid()->columnWidth(1), 1200 / 15);
        QCOMPARE(grid()->columnWidth(2), 5000 / 15);
    }

    void newOnAnEmptyTree()
    {
        qvt::MsgRecorder rec;
        QCOMPARE(tree()->topLevelItemCount(), 0);
        click(button("cmdCreateAc"));
        QCOMPARE(mode(), QString("&Save AcDes+ Order+ Sub. Head+ Entry."));
        QVERIFY(win->NewAccountMode());
        typeInto("txtAcDes", "assets");
        typeInto("txtOrder", "1x 25");
        QCOMPARE(get("txtAcDes")->text() + "|" + get("txtOrder")->text(), QString("ASSETS|125"));
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts(), QStringList({"please select any one type or create a control account "}));
        QCOMPARE(caption(), QString("&Save"));
        QCOMPARE(count(), qint64(0));

        click(get<QCheckBox>("chkHead"));
        click(button("cmdCreateAc"));
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(cols("1", {"AcName", "ParentID", "Dcode", "OrderStatus"}), QString("ASSETS|1|0|125"));
        // The saved account is selected and loaded, as after a click on it.
        QCOMPARE(mode(), QString("&New AcDes- Order- Sub. Head+ Entry."));
        QVERIFY(!get<QCheckBox>("chkHead")->isChecked());
        QCOMPARE(get("txtAcDes")->text(), QString("ASSETS"));
        QCOMPARE(tree()->currentItem(), node("'1'"));
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QCOMPARE(tree()->topLevelItem(0), node("'1'"));
    }

    void newWithNothingOrASubsidiarySelected()
    {
        qvt::MsgRecorder rec;
        const qint64 before = count();
        click(button("cmdCreateAc"));
        QCOMPARE(mode(), QString("&Save AcDes- Order- Sub. Head+ Entry."));
        QVERIFY(get("txtAcDes")->text().isEmpty());
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts(), QStringList({"please enter Account Title"}));

        // A subsidiary account has nothing under it: no title box opens either.
        clickNode("'1.1.2'");
        click(button("cmdCancel"));
        click(button("cmdCreateAc"));
        QCOMPARE(mode(), QString("&Save AcDes- Order- Sub- Head- Entry."));
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts().size(), 2);
        QCOMPARE(rec.last(), QString("please enter Account Title"));
        QCOMPARE(count(), before);
    }

    void newUnderAControlAccount()
    {
        qvt::MsgRecorder rec;
        clickNode("'1'");
        QCOMPARE(mode(), QString("&New AcDes- Order- Sub. Head+ Entry."));
        click(button("cmdCreateAc"));
        // The new sub-control title starts with the head's title.
        QCOMPARE(mode(), QString("&Save AcDes- Order- Sub+ Head- Entry."));
        QCOMPARE(get("txtAcDes")->text() + "|" + get("txtSubControl")->text(), QString("ASSETS|ASSETS"));
        QCOMPARE(app.main()->focusWidget(), get("txtSubControl"));
        retype("txtSubControl", "deposits");
        click(button("cmdCreateAc"));
        QVERIFY(rec.seen.isEmpty());
        QCOMPARE(cols("1.4", {"AcName", "AcStatus", "ParentID", "Dcode"}), QString("DEPOSITS|HD|1|4"));
        QCOMPARE(node("'1.4'")->parent(), node("'1'"));
        QVERIFY(node("'1'")->isExpanded());
        // The new account is selected and loaded.
        QCOMPARE(tree()->currentItem(), node("'1.4'"));
        QCOMPARE(get("txtAcDes")->text() + "|" + get("txtSubControl")->text(), QString("ASSETS|DEPOSITS"));
        QCOMPARE(caption(), QString("&New"));

        // Left with the head's title it is stored so: sub-control titles are not tested.
        clickNode("'2'");
        click(button("cmdCreateAc"));
        click(button("cmdCreateAc"));
        QVERIFY(rec.seen.isEmpty());
        QCOMPARE(cols("2.3", {"AcName"}), QString("LIABILITIES"));
    }

    void newUnderASubControlAccount()
    {
        qvt::MsgRecorder rec;
        clickNode("'1.1'");
        QCOMPARE(mode(), QString("&New AcDes- Order- Sub- Head- Entry."));
        click(button("cmdCreateAc"));
        QCOMPARE(mode(), QString("&Save AcDes- Order- Sub- Head- Entry+"));
        QCOMPARE(get("txtAcDes")->text() + "|" + get("txtSubControl")->text(), QString("ASSETS|CASH AND BANK"));
        QCOMPARE(QApplication::focusWidget(), get("txtSubsidiary"));

        // Typed as an accountant types: Enter moves on, box by box.
        QTest::keyClicks(get("txtSubsidiary"), "meezan bank");
        QTest::keyClick(get("txtSubsidiary"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), get<QDateEdit>("dtpOpening"));
        get<QDateEdit>("dtpOpening")->setDate(QDate(2025, 7, 1));
        QTest::keyClick(get<QDateEdit>("dtpOpening"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), get("txtContactPerson"));
        QTest::keyClicks(get("txtContactPerson"), "m. khan");
        typeInto("txt_address", "Plot 4, Block b");
        typeInto("txt_telno", "042 35, 7x1");
        typeInto("txt_email", "Info@X.pk");
        typeInto("txtLocation", "lahore");
        typeInto("txt_OpenBal", "-25000.5");
        typeInto("txt_Gstno", "1234567890123");
        typeInto("txt_Ntnno", "76543210");
        QTest::keyClick(get("txt_Ntnno"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), get<QCheckBox>("chkBank"));
        click(get<QCheckBox>("chkSupplier"));
        click(get<QCheckBox>("chkBank"));
        QVERIFY(!get<QCheckBox>("chkSupplier")->isChecked());

        click(button("cmdCreateAc"));
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.texts().join('|')));
        QCOMPARE(cols("1.1.4", {"AcName", "ParentID", "AcStatus", "openDate", "ContactPer", "Addr", "Addr2", "Contact",
                                "Email", "Location", "OpenBal", "GST", "NTN", "BStatus"}),
                 QString("MEEZAN BANK|1.1|DD|2025-07-01|M. KHAN|Plot 4, Block b|<null>|04235,71|Info@X.pk|LAHORE|"
                         "-25000.50|12-34-5678-901-23|7654321-0|B"));
        QVERIFY(node("'1.1.4'") && node("'1'")->isExpanded() && node("'1.1'")->isExpanded());
        // The new account is selected and loaded, open for editing as after a click on it.
        QCOMPARE(tree()->currentItem(), node("'1.1.4'"));
        QCOMPARE(caption(), QString("&Save"));
        QCOMPARE(get("txtSubsidiary")->text(), QString("MEEZAN BANK"));
        const QAbstractItemModel* found = grid()->model();
        QVERIFY(!found->match(found->index(0, 2), Qt::DisplayRole, "MEEZAN BANK", 1, Qt::MatchExactly).isEmpty());
    }

    void rightClickOnEachLevel()
    {
        qvt::MsgRecorder rec;
        QVERIFY(!rightClick("'1.1.1'", false)); // a subsidiary account: no popup, loaded for editing
        QCOMPARE(mode(), QString("&Save AcDes- Order- Sub- Head- Entry+"));
        QVERIFY(rightClick("'1'", false)); // dismissed: nothing opens
        QCOMPARE(mode(), QString("&New AcDes- Order- Sub. Head+ Entry."));
        QVERIFY(win->LoadedStatus.isEmpty() && !win->RightButtonDown);

        QVERIFY(rightClick("'1'", true));
        QCOMPARE(mode(), QString("&Save AcDes+ Order+ Sub. Head- Entry."));
        QVERIFY(!win->NewAccountMode());
        // Where the frame's focus went; the offscreen platform may leave no window active after
        // the popup closes, so the application's focus widget can be null here.
        QCOMPARE(app.main()->focusWidget(), get("txtAcDes"));
        retype("txtAcDes", "owner's assets");
        QTest::keyClick(get("txtAcDes"), Qt::Key_Return); // Enter is not handled here
        QCOMPARE(app.main()->focusWidget(), get("txtAcDes"));
        typeInto("txtOrder", "567890");
        click(button("cmdCreateAc"));
        QVERIFY(rec.seen.isEmpty());
        QCOMPARE(cols("1", {"AcName", "OrderStatus", "AcNodes"}), QString("OWNER'S ASSETS|5678|1"));
        QCOMPARE(node("'1'")->text(0), QString("OWNER'S ASSETS"));
        QCOMPARE(tree()->currentItem(), node("'1'"));
        QCOMPARE(caption(), QString("&New"));

        QVERIFY(rightClick("'1.2'", true));
        QCOMPARE(mode(), QString("&Save AcDes- Order- Sub+ Head- Entry."));
        QCOMPARE(get("txtAcDes")->text(), QString("OWNER'S ASSETS"));
        QCOMPARE(app.main()->focusWidget(), get("txtSubControl"));
        retype("txtSubControl", "customers' accounts");
        click(button("cmdCreateAc"));
        QVERIFY(rec.seen.isEmpty());
        QCOMPARE(cols("1.2", {"AcName"}), QString("CUSTOMERS' ACCOUNTS"));
        QCOMPARE(tree()->currentItem(), node("'1.2'"));
        QCOMPARE(caption(), QString("&New"));
    }

    void halfTypedGstKeepsTheStoredNumber()
    {
        qvt::MsgRecorder rec;
        Conn.execute("update Accounts set GST = '11-22-3333-444-55', NTN = '1234567-8' where AcNodes = '1.1.2'");
        clickNode("'1.1.2'");
        QCOMPARE(get("txt_Gstno")->text() + "|" + get("txt_Ntnno")->text() + "|" + get("txt_OpenBal")->text(),
                 QString("11-22-3333-444-55|1234567-8|1500000.00"));
        QVERIFY(get<QCheckBox>("chkBank")->isChecked());

        get("txt_Gstno")->clear();
        typeInto("txt_Gstno", "9876");
        retype("txt_OpenBal", "2500");
        click(button("cmdCreateAc"));
        QVERIFY(rec.seen.isEmpty());
        QCOMPARE(cols("1.1.2", {"GST", "NTN", "OpenBal"}), QString("11-22-3333-444-55|1234567-8|2500.00"));
        // An edited subsidiary account stays open for editing.
        QCOMPARE(mode(), QString("&Save AcDes- Order- Sub- Head- Entry+"));
        QCOMPARE(tree()->currentItem(), node("'1.1.2'"));
        // The box shows what is stored, not the half-typed number.
        QCOMPARE(get("txt_Gstno")->text(), QString("11-22-3333-444-55"));

        get("txt_Gstno")->clear();
        typeInto("txt_Gstno", "9876543210987");
        click(button("cmdCreateAc"));
        QCOMPARE(cols("1.1.2", {"GST"}), QString("98-76-5432-109-87"));
    }

    void saveChecksAndTheOpeningBalance()
    {
        qvt::MsgRecorder rec;
        clickNode("'1.1'");
        click(button("cmdCreateAc"));
        QTest::keyClicks(get("txtSubsidiary"), "cash  inhand");
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts(), QStringList({"Account Titel is already exitis, please change Account Title"}));
        QCOMPARE(caption() + "|" + get("txtSubsidiary")->text(), QString("&Save|CASH  INHAND"));
        QCOMPARE(QApplication::focusWidget(), get("txtSubsidiary"));
        QVERIFY(!node("'1.1.4'"));

        // One "." and one "-" at most; no blanks, no letters.
        typeInto("txt_OpenBal", "1..2--3 x");
        QCOMPARE(get("txt_OpenBal")->text(), QString("1.2-3"));
        retype("txtSubsidiary", "petty cash");
        click(button("cmdCreateAc"));
        QVERIFY2(rec.last().startsWith("please enter a valid Opening Balance: \"1.2-3\" is not an amount"),
                 qPrintable(rec.last()));
        QVERIFY(!node("'1.1.4'"));
        retype("txt_OpenBal", ".");
        click(button("cmdCreateAc"));
        QCOMPARE(rec.seen.size(), 2);
        QCOMPARE(cols("1.1.4", {"AcName", "OpenBal"}), QString("PETTY CASH|<null>"));

        // Retitled with other blanks, an account does not clash with its own title.
        clickNode("'1.1.4'");
        retype("txtSubsidiary", "petty  cash");
        click(button("cmdCreateAc"));
        QCOMPARE(rec.seen.size(), 2);
        QCOMPARE(cols("1.1.4", {"AcName"}), QString("PETTY  CASH"));
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

        addSpare();
        clickNode("'1.1.9'");
        rec.clear();
        rec.answers << QMessageBox::No;
        click(button("Command3"));
        QCOMPARE(rec.texts(), QStringList({"are you sure delete this account"}));
        QCOMPARE(rec.seen.first().buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(node("'1.1.9'") && count("AcNodes = '1.1.9'") == 1);

        const int rows = gridRows();
        click(button("Command3"));
        QCOMPARE(count("AcNodes = '1.1.9'"), qint64(0));
        QVERIFY(!node("'1.1.9'"));
        QVERIFY(get<QGroupBox>("frmEntry")->isHidden());
        QVERIFY(get("txtFindParent")->text().isEmpty() && get("txtSubsidiary")->text().isEmpty());
        QCOMPARE(gridRows(), rows - 1);
    }

    void expandOrCollapseByTheUser()
    {
        clickNode("'1.1.2'");
        QTreeWidgetItem* liab = node("'2'");
        QVERIFY(!liab->isExpanded());
        const QRect r = tree()->visualItemRect(liab);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {},
                          QPoint(r.left() - tree()->indentation() / 2, r.center().y()));
        QVERIFY(liab->isExpanded());
        // The selected node is loaded again, with every box closed and the panel hidden.
        QCOMPARE(mode(), QString("&New AcDes- Order- Sub- Head- Entry."));
        QCOMPARE(get("txtFindParent")->text(), QString::number(rowIdOf("1.1.2")));
        QCOMPARE(get("txtSubsidiary")->text(), QString("HABIB BANK LTD - 0123-7"));
    }

    void databaseErrorsLeaveEverythingAsItWas()
    {
        qvt::MsgRecorder rec;
        addSpare();
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
        QVERIFY(!node("'1.1.10'"));
        QCOMPARE(caption() + "|" + get("txtSubsidiary")->text(), QString("&Save|NEW BANK"));

        clickNode("'1.1.9'");
        click(button("Command3"));
        QCOMPARE(rec.last(), QString("could not write: disk full"));
        QVERIFY(node("'1.1.9'") && count("AcNodes = '1.1.9'") == 1);

        // Once the database answers again, the same entry saves.
        Conn.setStatementHook({});
        clickNode("'1.1'");
        click(button("cmdCreateAc"));
        QTest::keyClicks(get("txtSubsidiary"), "new bank");
        click(button("cmdCreateAc"));
        QCOMPARE(cols("1.1.10", {"AcName"}), QString("NEW BANK"));
        QVERIFY(node("'1.1.10'"));
    }

    void exitClosesAndAppliesTheRights()
    {
        QPointer<frmAccount> first(win);
        click(button("cmdExit"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        QVERIFY(app.main()->homePanelVisible()); // closing ran ApplyMenus

        // Closed by the frame's own button, it applies the menu rights as well.
        app.main()->menuEntry("mnuChartOfAC")->trigger();
        win = qv::Windows::find<frmAccount>("frmAccount");
        Conn.execute("update Menus set Active = 0 where Menus = 'Chart Of Accounts'");
        win->subWindow()->close();
        QVERIFY(app.main()->homePanelVisible());
        QVERIFY(!app.main()->menuEntry("mnuChartOfAC")->isVisible());
    }

    void openedFromTheFinderThroughTheLock()
    {
        win->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(qv::Windows::open("frmFindAC"));
        auto* finder = qvt::findWindow(app.main(), "frmFindAC");
        QVERIFY(finder);
        click(finder->findChild<QPushButton*>("cmdAccounts"));
        auto* gate = qvt::findWindow(app.main(), "frmLocPass");
        QVERIFY(gate);
        auto* password = gate->findChild<QLineEdit*>("txtPassword");
        QTest::keyClicks(password, app.db().lockPassword);
        QTest::keyClick(password, Qt::Key_Return);

        // Maximised, active, and usable at that size.
        win = qv::Windows::find<frmAccount>("frmAccount");
        QVERIFY(win);
        QMdiSubWindow* sw = win->subWindow();
        QVERIFY(sw->isMaximized());
        QCOMPARE(app.main()->mdiArea()->activeSubWindow(), sw);
        QVERIFY(tree()->width() > 300 && tree()->height() > 400);
        clickNode("'1.1'");
        click(button("cmdCreateAc"));
        QTest::keyClicks(get("txtSubsidiary"), "opened from the finder");
        click(button("cmdCreateAc"));
        QCOMPARE(cols("1.1.4", {"AcName"}), QString("OPENED FROM THE FINDER"));

        // "E&xit" only hides it: the finder is still in charge; the next opening shows it again.
        click(button("cmdExit"));
        QVERIFY(!sw->isVisible());
        QCOMPARE(qv::Windows::find<frmAccount>("frmAccount"), win);
        // The finder, activated again, lists the account just added.
        QMdiSubWindow* finderWindow =
            finder->parentWidget() ? qobject_cast<QMdiSubWindow*>(finder->parentWidget()) : nullptr;
        QVERIFY(finderWindow);
        app.main()->mdiArea()->setActiveSubWindow(finderWindow);
        auto* found = finder->findChild<QTableView*>("mshSearch");
        QVERIFY(qvt::columnTexts(found, 2).contains("OPENED FROM THE FINDER"));
        QVERIFY(qv::Windows::open("frmAccount"));
        QVERIFY(sw->isVisible());
    }

    void printShowsTheWholeChart()
    {
        clickNode("'1'");
        click(button("cmdPrint"));
        auto* viewer = qvt::findWindow<frmVeiwer>(app.main(), "frmVeiwer");
        QVERIFY(viewer);
        QCOMPARE(viewer->windowTitle(), QString("CHART OF ACCOUNTS"));
        // No selection formula: every account of the table is printed, in code order.
        QVERIFY(viewer->CRViewer91->reportSource()->RecordSelectionFormula().isEmpty());
        const QString text = viewer->CRViewer91->document()->allText();
        qv::RecordSet Rs;
        Rs.open("select AcNodes, AcName from Accounts", Conn);
        QVERIFY(Rs.recordCount() > 0);
        for (Rs.moveFirst(); !Rs.eof(); Rs.moveNext()) {
            QVERIFY2(text.contains(Rs.text("AcName")), qPrintable(Rs.text("AcName")));
            QVERIFY(text.contains(Rs.text("AcNodes")));
        }
        QVERIFY(text.contains("Page 1 of"));
    }
};

QTEST_MAIN(TstAccountWindow)
#include "tst_accountwindow.moc"
