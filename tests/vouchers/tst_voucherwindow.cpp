// The voucher windows driven as a user: accounts picked through the finder, amounts typed,
// lines added, changed and removed; then what the database holds and what the window and the
// message hook show.
#include "shell/handover.h"
#include "voucherwindowsuite.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QMdiSubWindow>

using qvt::accountId;
using qvt::child;
using qvt::detailRows;

class TstVoucherWindow : public qvt::VoucherWindowSuite {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { app.start(true); }
    void cleanup() { app.stop(); }

    // Each failed check of "&Add": its message and where the focus goes, per kind.
    void failedChecksAndTheirFocus_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("noDebit");   // focus after "Please Select Debit Account"
        QTest::addColumn<QString>("noCredit");  // ... "Please Select Credit Account"
        QTest::addColumn<QString>("sameFocus"); // ... the same account on both sides
        QTest::addColumn<bool>("partyOnDebit"); // the side that lists every account, not only banks
        QTest::newRow("journal") << "frmJV"
                                 << "cmdSelectDr"
                                 << "cmdSelectCr"
                                 << "cmdSelectDr" << true;
        QTest::newRow("bank payment") << "frmBP"
                                      << "cmdSelectDr"
                                      << "cmdSelectCr"
                                      << "stay" << true;
        QTest::newRow("bank receive") << "frmBR"
                                      << "cmdSelectDr"
                                      << "cmdSelectCr"
                                      << "stay" << false;
        QTest::newRow("cash payment") << "frmCP"
                                      << "cmdSelectDr"
                                      << "stay"
                                      << "stay" << true;
        QTest::newRow("cash receive") << "frmCR"
                                      << "stay"
                                      << "cmdSelectCr"
                                      << "stay" << false;
    }
    void failedChecksAndTheirFocus()
    {
        QFETCH(QString, window);
        QFETCH(QString, noDebit);
        QFETCH(QString, noCredit);
        QFETCH(QString, sameFocus);
        QFETCH(bool, partyOnDebit);
        // No default account: every box starts empty.
        Conn.execute("update VouSetting set AcCode = null, AcStatus = null");
        frmVoucher* w = open(window);
        QVERIFY(w);
        qvt::MsgRecorder rec;
        // "&Add" pressed from the keyboard: "stays where it was" is the button itself.
        auto pressAdd = [&] {
            child<QPushButton>(w, "cmdAdd")->setFocus();
            QTest::keyClick(child<QPushButton>(w, "cmdAdd"), Qt::Key_Space);
        };
        auto expectFocus = [&](const QString& where) {
            QWidget* f = w->focusWidget();
            QCOMPARE(f ? f->objectName() : QString(), where == "stay" ? QString("cmdAdd") : where);
        };
        pressAdd();
        QCOMPARE(rec.last(), QString("Please Select Debit Account"));
        QCOMPARE(rec.seen.last().icon, qv::Msg::Icon::Information);
        expectFocus(noDebit);

        // A bank is in both lists of the bank windows' finder.
        const QString bank = "HABIB BANK LTD - 0123-7";
        pick(w, child<QPushButton>(w, "cmdSelectDr"), bank);
        pressAdd();
        QCOMPARE(rec.last(), QString("Please Select Credit Account"));
        expectFocus(noCredit);

        pick(w, child<QPushButton>(w, "cmdSelectCr"), bank);
        pressAdd();
        QCOMPARE(rec.last(), QString("same account title not allow, please change debit or cedit Account"));
        expectFocus(sameFocus);

        pick(w, partyOnDebit ? child<QPushButton>(w, "cmdSelectDr") : child<QPushButton>(w, "cmdSelectCr"),
             "OFFICE RENT");
        for (const QString& amount : {QString(), QString("."), QString("0"), QString("0.00")}) {
            typeAmount(w, amount);
            pressAdd();
            QCOMPARE(rec.last(), QString("please enter Amount"));
            QCOMPARE(w->focusWidget(), child<QLineEdit>(w, "txtDRCR"));
        }
        QCOMPARE(entryGrid(w)->rowCount(), 0);
        QCOMPARE(rec.seen.size(), 7);
    }

    // 1234.5 shows as 1,234.50, is written as 1234.50, and the total follows the lines.
    void amountsShownTotalledAndWritten()
    {
        frmVoucher* w = open("frmJV");
        addLine(w, "OFFICE RENT", "CASH IN HAND", "1234.5", "rent for june");
        addLine(w, "VEHICLES", "CASH IN HAND", "10");
        QCOMPARE(entryGrid(w)->rowCount(), 2);
        QCOMPARE(entryGrid(w)->item(0, 3)->text(), QString("1,234.50"));
        QCOMPARE(child<QLabel>(w, "lblTotalAmount")->text(), QString("Total Amount : 1,244.50"));
        QCOMPARE(child<QLineEdit>(w, "txtTotAmount")->text(), QString("1244.50"));
        // The narration stays for the next line; the line's boxes are emptied.
        QCOMPARE(child<QPlainTextEdit>(w, "txtNaration")->toPlainText(), QString("rent for june"));
        QVERIFY(child<QLineEdit>(w, "txtDRCR")->text().isEmpty() && child<QLineEdit>(w, "txtDrAc")->text().isEmpty()
                && child<QLineEdit>(w, "txtCrAc")->text().isEmpty());
        QCOMPARE(w->focusWidget(), child<QPushButton>(w, "cmdSelectDr"));

        const qint64 number = shownNumber(w);
        QTest::keyClicks(child<QLineEdit>(w, "txtPaidTo"), "O'NEIL & CO");
        click(w, "cmdSave");
        const QString rent = QString::number(accountId("OFFICE RENT"));
        const QString cash = QString::number(accountId("CASH IN HAND"));
        const QString cars = QString::number(accountId("VEHICLES"));
        QCOMPARE(detailRows("JV", number),
                 QStringList({"1|" + rent + "|1234.50|0.00|" + cash + "|rent for june|null|null",
                              "1|" + cash + "|0.00|1234.50|" + rent + "|rent for june|null|null",
                              "2|" + cars + "|10.00|0.00|" + cash + "|rent for june|null|null",
                              "2|" + cash + "|0.00|10.00|" + cars + "|rent for june|null|null"}));
        QCOMPARE(Conn.scalar("select PaidReceive from MasJV where VouStatus = 'JV' and VouNo = ?", {number}).toString(),
                 QString("O'NEIL & CO"));
        QCOMPARE(Conn.scalar("select Login from MasJV where VouStatus = 'JV' and VouNo = ?", {number}).toString(),
                 app.db().user);
        // After a save: an empty grid, today's date, the next number.
        QCOMPARE(entryGrid(w)->rowCount(), 0);
        QCOMPARE(child<QDateEdit>(w, "DTPicker")->date(), QDate::currentDate());
        QCOMPARE(shownNumber(w), number + 1);
        QCOMPARE(child<QLabel>(w, "lblTotalAmount")->text(), QString("Total Amount : 0.00"));
        QVERIFY(w->IsNewVoucher);
    }

    void lineChangedInPlaceAndRemoved()
    {
        frmVoucher* w = open("frmBP");
        addLine(w, "OFFICE RENT", {}, "100", "first");
        addLine(w, "VEHICLES", {}, "200", "second");
        // The bank from the setup stayed for the second line.
        QCOMPARE(entryGrid(w)->item(1, 2)->text(), QString("HABIB BANK LTD - 0123-7"));
        const QPoint at = entryGrid(w)->visualRect(entryGrid(w)->model()->index(0, 1)).center();
        // The view takes a double click on the cell its press started on.
        QTest::mousePress(entryGrid(w)->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(entryGrid(w)->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(entryGrid(w)->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(child<QLineEdit>(w, "txtDRCR")->text(), QString("100.00"));
        QCOMPARE(child<QLineEdit>(w, "txtDrAc")->text(), QString("OFFICE RENT"));
        QCOMPARE(child<QLineEdit>(w, "txtGrdRow")->text(), QString("1"));
        typeAmount(w, "150.25");
        click(w, "cmdAdd");
        QCOMPARE(entryGrid(w)->rowCount(), 2);
        QCOMPARE(entryGrid(w)->item(0, 3)->text(), QString("150.25"));
        QCOMPARE(entryGrid(w)->item(0, 1)->text(), QString("OFFICE RENT"));
        QCOMPARE(child<QLabel>(w, "lblTotalAmount")->text(), QString("Total Amount : 350.25"));

        entryGrid(w)->setCurrentCell(1, 1);
        click(w, "acmRemove");
        QCOMPARE(entryGrid(w)->rowCount(), 1);
        QCOMPARE(entryGrid(w)->item(0, 1)->text(), QString("OFFICE RENT"));
        // The only line: the grid is emptied whichever row is current, its header kept.
        click(w, "acmRemove");
        QCOMPARE(entryGrid(w)->rowCount(), 0);
        QCOMPARE(entryGrid(w)->columnCount(), 9);
        QCOMPARE(entryGrid(w)->horizontalHeaderItem(1)->text(), QString("Account Debit:"));
        QCOMPARE(child<QLabel>(w, "lblTotalAmount")->text(), QString("Total Amount : 0.00"));
    }

    // The cash windows: one row per line and the cash row; the cash account stays for the
    // next voucher.
    void cashVoucherRowsAndTheCashBoxAfterSave()
    {
        frmVoucher* w = open("frmCP");
        QCOMPARE(child<QLineEdit>(w, "txtCrAc")->text(), QString("CASH IN HAND"));
        QCOMPARE(entryGrid(w)->columnCount(), 7);
        QCOMPARE(entryGrid(w)->horizontalHeaderItem(2)->text(), QString("Debit:"));
        addLine(w, "OFFICE RENT", {}, "100", "june");
        addLine(w, "VEHICLES", {}, "50");
        child<QLineEdit>(w, "txtFile")->setFocus();
        const qint64 number = shownNumber(w);
        click(w, "cmdSave");
        const QString cash = QString::number(accountId("CASH IN HAND"));
        QCOMPARE(
            detailRows("CP", number),
            QStringList({"1|" + QString::number(accountId("OFFICE RENT")) + "|100.00|0.00|" + cash + "|june|null|null",
                         "2|" + QString::number(accountId("VEHICLES")) + "|50.00|0.00|" + cash + "|june|null|null",
                         "3|" + cash + "|0.00|150.00|null|june|null|null"}));
        QCOMPARE(qv::plainAmount(*qv::moneyFromVariant(
                     Conn.scalar("select TotalAmount from MasJV where VouStatus = 'CP' and VouNo = ?", {number}),
                     Conn.backend() == qv::Backend::Sqlite)),
                 QString("150.00"));
        QCOMPARE(child<QLineEdit>(w, "txtCrAc")->text(), QString("CASH IN HAND"));
        // The next voucher can be entered at once.
        addLine(w, "OFFICE RENT", {}, "5");
        QCOMPARE(entryGrid(w)->rowCount(), 1);

        frmVoucher* r = open("frmCR");
        QCOMPARE(entryGrid(r)->horizontalHeaderItem(2)->text(), QString("Credit:"));
        QCOMPARE(child<QLabel>(r, "lblPaidTo")->text(), QString("Receive From :"));
        QCOMPARE(child<QLineEdit>(r, "txtDrAc")->text(), QString("CASH IN HAND"));
    }

    // The bank side's finder lists only bank accounts and offers "All Accounts"; the other side
    // lists every subsidiary account.
    void bankSideFinderListsBanks()
    {
        frmVoucher* w = open("frmBP");
        click(w, "cmdSelectCr");
        auto* finder = qv::Windows::find("frmFindAC");
        auto* grid = finder->findChild<QTableView*>("mshSearch");
        const QStringList listed = qvt::columnTexts(grid, 2);
        QCOMPARE(listed, QStringList({"HABIB BANK LTD - 0123-7", "MCB BANK LTD - 4471-2"}));
        QVERIFY(finder->findChild<QCheckBox*>("chkAll")->isVisible());
        QVERIFY(w->FinderSide == qv::Side::Credit);
        finder->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app.main()->mdiArea()->setActiveSubWindow(w->subWindow());
        QVERIFY(FindACType.isEmpty()); // emptied on activation
        click(w, "cmdSelectDr");
        grid = qv::Windows::find("frmFindAC")->findChild<QTableView*>("mshSearch");
        QCOMPARE(grid->model()->rowCount(),
                 Conn.scalar("select count(*) from Accounts where AcStatus = 'DD' and DeleteStatus = 'N'").toInt());
    }

    // A fixed account is put back after every line and every clear, so the next line can be
    // entered although its select button is disabled.
    void fixedJournalAccountStaysForTheNextLine()
    {
        setSetup("JV", accountId("CASH IN HAND"), "CR", "Y");
        frmVoucher* w = open("frmJV");
        QCOMPARE(child<QLineEdit>(w, "txtCrAc")->text(), QString("CASH IN HAND"));
        QVERIFY(!child<QPushButton>(w, "cmdSelectCr")->isEnabled() && !child<QLineEdit>(w, "txtCrAc")->isEnabled());
        addLine(w, "OFFICE RENT", {}, "10");
        QCOMPARE(child<QLineEdit>(w, "txtCrAc")->text(), QString("CASH IN HAND"));
        addLine(w, "VEHICLES", {}, "20");
        QCOMPARE(entryGrid(w)->rowCount(), 2);
        qvt::MsgRecorder rec; // the two lines are dropped on the question
        click(w, "cmdCancel");
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(child<QLineEdit>(w, "txtCrAc")->text(), QString("CASH IN HAND"));
        QVERIFY(child<QLineEdit>(w, "txtDrAc")->text().isEmpty());
    }

    // The amount box takes digits and one point; more than two decimals and amounts past
    // what the columns hold are refused with a reason.
    void amountKeysAndLimits()
    {
        frmVoucher* w = open("frmJV");
        typeAmount(w, "1a2 .5.7");
        QCOMPARE(child<QLineEdit>(w, "txtDRCR")->text(), QString("12.57"));
        child<QLineEdit>(w, "txtFile")->setFocus();
        QTest::keyClicks(child<QLineEdit>(w, "txtFile"), "4x 2");
        QCOMPARE(child<QLineEdit>(w, "txtFile")->text(), QString("42"));
        pick(w, child<QPushButton>(w, "cmdSelectDr"), "OFFICE RENT");
        pick(w, child<QPushButton>(w, "cmdSelectCr"), "CASH IN HAND");
        qvt::MsgRecorder rec;
        typeAmount(w, "12.345");
        click(w, "cmdAdd");
        QVERIFY2(rec.last().contains("more than two decimals"), qPrintable(rec.last()));
        QCOMPARE(entryGrid(w)->rowCount(), 0);
        QCOMPARE(w->focusWidget(), child<QLineEdit>(w, "txtDRCR"));
        // Fourteen characters are the box's limit; the largest such amount is kept exactly.
        typeAmount(w, "999999999999999");
        QCOMPARE(child<QLineEdit>(w, "txtDRCR")->text(), QString("99999999999999"));
        const qint64 number = shownNumber(w);
        click(w, "cmdAdd");
        QCOMPARE(entryGrid(w)->item(0, 3)->text(), QString("99,999,999,999,999.00"));
        click(w, "cmdSave");
        QCOMPARE(detailRows("JV", number).first().section('|', 2, 2), QString("99999999999999.00"));
    }

    // Enter moves on as Tab does; txtVouStatus hands the focus to the date except in the
    // cash payment window, whose order starts at the number.
    void keyboardOrder()
    {
        frmVoucher* j = open("frmJV");
        child<QLineEdit>(j, "txtVouStatus")->setFocus();
        QCOMPARE(j->focusWidget(), child<QDateEdit>(j, "DTPicker"));
        child<QLineEdit>(j, "txtChecque")->setFocus();
        QTest::keyClick(child<QLineEdit>(j, "txtChecque"), Qt::Key_Return);
        QCOMPARE(j->focusWidget(), child<QPushButton>(j, "cmdSelectDr"));
        child<QLineEdit>(j, "txtDRCR")->setFocus();
        QTest::keyClick(child<QLineEdit>(j, "txtDRCR"), Qt::Key_Return);
        QCOMPARE(j->focusWidget(), child<QPlainTextEdit>(j, "txtNaration"));

        frmVoucher* c = open("frmCP");
        child<QLineEdit>(c, "txtVouStatus")->setFocus();
        QCOMPARE(c->focusWidget(), child<QLineEdit>(c, "txtVouStatus"));
        child<QLineEdit>(c, "txtVoucher")->setFocus();
        QTest::keyClick(child<QLineEdit>(c, "txtVoucher"), Qt::Key_Tab);
        QCOMPARE(c->focusWidget(), child<QLineEdit>(c, "txtChecque"));
    }

    // "E&xit" unloads the window and applies the menu rights.
    void exitUnloadsAndAppliesRights()
    {
        frmVoucher* w = open("frmBP");
        Conn.execute("update Menus set Active = 0 where Menus = ?", {"Chart Of Accounts"});
        click(w, "cmdExit");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qv::Windows::find("frmBP"));
        QVERIFY(!app.main()->menuEntry("mnuChartOfAC")->isVisible());
        QVERIFY(app.main()->homePanelVisible());
    }

    // The menu entries open each kind's own window, two kinds side by side.
    void menuEntriesOpenTheirKinds()
    {
        for (const qv::VoucherKindInfo& k : qv::voucherKinds()) {
            app.main()->menuEntry(k.menuEntry)->trigger();
            auto* w = qv::Windows::find<frmVoucher>(k.window);
            QVERIFY2(w, qPrintable(k.window));
            QCOMPARE(w->windowTitle(), k.caption);
            QCOMPARE(child<QLabel>(w, "lblfrmTitle")->text(), k.caption);
            QCOMPARE(child<QLineEdit>(w, "txtVouStatus")->text(), k.prefix);
            QCOMPARE(w->subWindow()->pos(), QPoint(0, 0));
        }
        QCOMPARE(app.main()->mdiArea()->subWindowList().size(), 5);
    }
};

QTEST_MAIN(TstVoucherWindow)
#include "tst_voucherwindow.moc"
