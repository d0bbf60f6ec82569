// The chart-of-accounts window driven as a user drives it: the tree and its levels, "&New" from
// each kind of selection, the right-button "Edit", the detail panel and its key rules, the
// order of the save checks and deletion (the ways out and the search tab have suites of their
// own).
#include "accountwindowsuite.h"

class TstAccountWindow : public qvt::AccountWindowSuite {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { openChart(QTest::currentTestFunction() != QLatin1String("newOnAnEmptyTree")); }
    void cleanup() { closeChart(); }

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
};

QTEST_MAIN(TstAccountWindow)
#include "tst_accountwindow.moc"
