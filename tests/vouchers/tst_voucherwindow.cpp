// The voucher windows driven as a user: accounts picked through the finder, amounts typed,
// lines added, changed and removed, vouchers saved, opened and deleted; then what the database
// holds and what the window and the message hook show.
#include "support/fixture.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "vouchers/frmvoucher.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>

namespace {
using qvt::child;

qint64 accountId(const QString& title)
{
    return Conn.scalar("select RowID from Accounts where AcName = ?", {title}).toLongLong();
}

// DetJV rows of a voucher: EntryNo, AcCode, DrAmt, CrAmt, CrAc, Naration, FileNo, BillNo.
QStringList detailRows(const QString& kind, qint64 number)
{
    QStringList out;
    QSqlQuery q = Conn.query("select EntryNo, AcCode, DrAmt, CrAmt, CrAc, Naration, FileNo, BillNo from DetJV "
                             "where VouStatus = ? and VouNo = ? order by RowID",
                             {kind, number});
    while (q.next()) {
        QStringList r;
        r << q.value(0).toString() << q.value(1).toString()
          << qv::plainAmount(*qv::moneyFromVariant(q.value(2), Conn.backend() == qv::Backend::Sqlite))
          << qv::plainAmount(*qv::moneyFromVariant(q.value(3), Conn.backend() == qv::Backend::Sqlite))
          << (q.value(4).isNull() ? "null" : q.value(4).toString()) << q.value(5).toString()
          << (q.value(6).isNull() ? "null" : q.value(6).toString())
          << (q.value(7).isNull() ? "null" : q.value(7).toString());
        out << r.join('|');
    }
    return out;
}
} // namespace

class TstVoucherWindow : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    frmVoucher* open(const QString& window)
    {
        auto* w = qv::Windows::open<frmVoucher>(window);
        if (w)
            QApplication::setActiveWindow(app.main());
        return w;
    }
    // Picks an account for one side as a user does: the select button, then a double click on
    // its line in the finder; the window takes it over when it is active again.
    void pick(frmVoucher* w, QPushButton* select, const QString& title)
    {
        QTest::mouseClick(select, Qt::LeftButton);
        auto* finder = qv::Windows::find("frmFindAC");
        QVERIFY(finder);
        auto* grid = finder->findChild<QTableView*>("mshSearch");
        const int row = qvt::columnTexts(grid, 2).lastIndexOf(title);
        QVERIFY2(row >= 0, qPrintable(title));
        const QRect rect = grid->visualRect(grid->model()->index(row, 2));
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app.main()->mdiArea()->setActiveSubWindow(w->subWindow());
    }
    void typeAmount(frmVoucher* w, const QString& text)
    {
        w->txtDRCR->setFocus();
        w->txtDRCR->clear();
        QTest::keyClicks(w->txtDRCR, text);
    }
    // One line: the accounts of the line's side(s), the amount, a narration; then "&Add".
    void addLine(frmVoucher* w, const QString& debit, const QString& credit, const QString& amount,
                 const QString& narration = {})
    {
        if (!debit.isEmpty())
            pick(w, w->cmdSelectDr, debit);
        if (!credit.isEmpty())
            pick(w, w->cmdSelectCr, credit);
        typeAmount(w, amount);
        if (!narration.isEmpty()) {
            w->txtNaration->clear();
            QTest::keyClicks(w->txtNaration, narration);
        }
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
    }
    qint64 shownNumber(frmVoucher* w) { return w->txtVoucher->text().toLongLong(); }
    void setSetup(const QString& kind, const QVariant& account, const QString& side, const QString& fix)
    {
        Conn.execute("update VouSetting set AcCode = ?, AcStatus = ?, Fix = ? where VouStatus = ?",
                     {account, side.isEmpty() ? QVariant() : QVariant(side), fix, kind});
    }

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
            w->cmdAdd->setFocus();
            QTest::keyClick(w->cmdAdd, Qt::Key_Space);
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
        pick(w, w->cmdSelectDr, bank);
        pressAdd();
        QCOMPARE(rec.last(), QString("Please Select Credit Account"));
        expectFocus(noCredit);

        pick(w, w->cmdSelectCr, bank);
        pressAdd();
        QCOMPARE(rec.last(), QString("same account title not allow, please change debit or cedit Account"));
        expectFocus(sameFocus);

        pick(w, partyOnDebit ? w->cmdSelectDr : w->cmdSelectCr, "OFFICE RENT");
        for (const QString& amount : {QString(), QString("."), QString("0"), QString("0.00")}) {
            typeAmount(w, amount);
            pressAdd();
            QCOMPARE(rec.last(), QString("please enter Amount"));
            QCOMPARE(w->focusWidget(), w->txtDRCR);
        }
        QCOMPARE(w->MshEntry->rowCount(), 0);
        QCOMPARE(rec.seen.size(), 7);
    }

    // 1234.5 shows as 1,234.50, is written as 1234.50, and the total follows the lines.
    void amountsShownTotalledAndWritten()
    {
        frmVoucher* w = open("frmJV");
        addLine(w, "OFFICE RENT", "CASH IN HAND", "1234.5", "rent for june");
        addLine(w, "VEHICLES", "CASH IN HAND", "10");
        QCOMPARE(w->MshEntry->rowCount(), 2);
        QCOMPARE(w->MshEntry->item(0, 3)->text(), QString("1,234.50"));
        QCOMPARE(w->lblTotalAmount->text(), QString("Total Amount : 1,244.50"));
        QCOMPARE(w->txtTotAmount->text(), QString("1244.50"));
        // The narration stays for the next line; the line's boxes are emptied.
        QCOMPARE(w->txtNaration->toPlainText(), QString("rent for june"));
        QVERIFY(w->txtDRCR->text().isEmpty() && w->txtDrAc->text().isEmpty() && w->txtCrAc->text().isEmpty());
        QCOMPARE(w->focusWidget(), w->cmdSelectDr);

        const qint64 number = shownNumber(w);
        QTest::keyClicks(w->txtPaidTo, "O'NEIL & CO");
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
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
        QCOMPARE(w->MshEntry->rowCount(), 0);
        QCOMPARE(w->DTPicker->date(), QDate::currentDate());
        QCOMPARE(shownNumber(w), number + 1);
        QCOMPARE(w->lblTotalAmount->text(), QString("Total Amount : 0.00"));
        QVERIFY(w->IsNewVoucher);
    }

    void lineChangedInPlaceAndRemoved()
    {
        frmVoucher* w = open("frmBP");
        addLine(w, "OFFICE RENT", {}, "100", "first");
        addLine(w, "VEHICLES", {}, "200", "second");
        // The bank from the setup stayed for the second line.
        QCOMPARE(w->MshEntry->item(1, 2)->text(), QString("HABIB BANK LTD - 0123-7"));
        const QPoint at = w->MshEntry->visualRect(w->MshEntry->model()->index(0, 1)).center();
        // The view takes a double click on the cell its press started on.
        QTest::mousePress(w->MshEntry->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(w->MshEntry->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(w->MshEntry->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(w->txtDRCR->text(), QString("100.00"));
        QCOMPARE(w->txtDrAc->text(), QString("OFFICE RENT"));
        QCOMPARE(w->txtGrdRow->text(), QString("1"));
        typeAmount(w, "150.25");
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(w->MshEntry->rowCount(), 2);
        QCOMPARE(w->MshEntry->item(0, 3)->text(), QString("150.25"));
        QCOMPARE(w->MshEntry->item(0, 1)->text(), QString("OFFICE RENT"));
        QCOMPARE(w->lblTotalAmount->text(), QString("Total Amount : 350.25"));

        w->MshEntry->setCurrentCell(1, 1);
        QTest::mouseClick(w->acmRemove, Qt::LeftButton);
        QCOMPARE(w->MshEntry->rowCount(), 1);
        QCOMPARE(w->MshEntry->item(0, 1)->text(), QString("OFFICE RENT"));
        // The only line: the grid is emptied whichever row is current, its header kept.
        QTest::mouseClick(w->acmRemove, Qt::LeftButton);
        QCOMPARE(w->MshEntry->rowCount(), 0);
        QCOMPARE(w->MshEntry->columnCount(), 9);
        QCOMPARE(w->MshEntry->horizontalHeaderItem(1)->text(), QString("Account Debit:"));
        QCOMPARE(w->lblTotalAmount->text(), QString("Total Amount : 0.00"));
    }

    // The cash windows: one row per line and the cash row; the cash account stays for the
    // next voucher.
    void cashVoucherRowsAndTheCashBoxAfterSave()
    {
        frmVoucher* w = open("frmCP");
        QCOMPARE(w->txtCrAc->text(), QString("CASH IN HAND"));
        QCOMPARE(w->MshEntry->columnCount(), 7);
        QCOMPARE(w->MshEntry->horizontalHeaderItem(2)->text(), QString("Debit:"));
        addLine(w, "OFFICE RENT", {}, "100", "june");
        addLine(w, "VEHICLES", {}, "50");
        w->txtFile->setFocus();
        const qint64 number = shownNumber(w);
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
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
        QCOMPARE(w->txtCrAc->text(), QString("CASH IN HAND"));
        // The next voucher can be entered at once.
        addLine(w, "OFFICE RENT", {}, "5");
        QCOMPARE(w->MshEntry->rowCount(), 1);

        frmVoucher* r = open("frmCR");
        QCOMPARE(r->MshEntry->horizontalHeaderItem(2)->text(), QString("Credit:"));
        QCOMPARE(r->lblPaidTo->text(), QString("Receive From :"));
        QCOMPARE(r->txtDrAc->text(), QString("CASH IN HAND"));
    }

    // The bank side's finder lists only bank accounts and offers "All Accounts"; the other side
    // lists every subsidiary account.
    void bankSideFinderListsBanks()
    {
        frmVoucher* w = open("frmBP");
        QTest::mouseClick(w->cmdSelectCr, Qt::LeftButton);
        auto* finder = qv::Windows::find("frmFindAC");
        auto* grid = finder->findChild<QTableView*>("mshSearch");
        const QStringList listed = qvt::columnTexts(grid, 2);
        QCOMPARE(listed, QStringList({"HABIB BANK LTD - 0123-7", "MCB BANK LTD - 4471-2"}));
        QVERIFY(finder->findChild<QCheckBox*>("chkAll")->isVisible());
        QCOMPARE(w->FinderSide, QString("CR"));
        finder->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app.main()->mdiArea()->setActiveSubWindow(w->subWindow());
        QVERIFY(FindACType.isEmpty()); // emptied on activation
        QTest::mouseClick(w->cmdSelectDr, Qt::LeftButton);
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
        QCOMPARE(w->txtCrAc->text(), QString("CASH IN HAND"));
        QVERIFY(!w->cmdSelectCr->isEnabled() && !w->txtCrAc->isEnabled());
        addLine(w, "OFFICE RENT", {}, "10");
        QCOMPARE(w->txtCrAc->text(), QString("CASH IN HAND"));
        addLine(w, "VEHICLES", {}, "20");
        QCOMPARE(w->MshEntry->rowCount(), 2);
        qvt::MsgRecorder rec; // the two lines are dropped on the question
        QTest::mouseClick(w->cmdCancel, Qt::LeftButton);
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(w->txtCrAc->text(), QString("CASH IN HAND"));
        QVERIFY(w->txtDrAc->text().isEmpty());
    }

    void numberingFollowsTheSetupThenTheHighest()
    {
        Conn.execute("delete from DetJV where VouStatus = 'BR'");
        Conn.execute("delete from MasJV where VouStatus = 'BR'");
        Conn.execute("update VouSetting set VouNo = 500 where VouStatus = 'BR'");
        frmVoucher* w = open("frmBR");
        QCOMPARE(shownNumber(w), 500);
        addLine(w, {}, "SAIMA NAEEM", "250");
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        QCOMPARE(shownNumber(w), 501);
        // Without a setup row the first number is 0.
        Conn.execute("delete from DetJV where VouStatus = 'CR'");
        Conn.execute("delete from MasJV where VouStatus = 'CR'");
        Conn.execute("delete from VouSetting where VouStatus = 'CR'");
        QCOMPARE(shownNumber(open("frmCR")), 0);
    }

    // Opened for change: the lines come back, a save keeps the number and the master row,
    // and delete asks first.
    void openChangeAndDelete()
    {
        frmVoucher* w = open("frmBR");
        addLine(w, {}, "SAIMA NAEEM", "250", "booking");
        const qint64 number = shownNumber(w);
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        const qint64 master =
            Conn.scalar("select RowID from MasJV where VouStatus = 'BR' and VouNo = ?", {number}).toLongLong();

        w->openForChange(number);
        QCOMPARE(w->MshEntry->rowCount(), 1);
        QCOMPARE(w->MshEntry->item(0, 1)->text(), QString("HABIB BANK LTD - 0123-7"));
        QCOMPARE(w->MshEntry->item(0, 2)->text(), QString("SAIMA NAEEM"));
        QCOMPARE(w->txtDrAc->text(), QString("HABIB BANK LTD - 0123-7"));
        QVERIFY(w->cmdDelete->isEnabled());
        QVERIFY(!w->IsNewVoucher);
        addLine(w, {}, "FARHAN ALI", "70");
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        QCOMPARE(Conn.scalar("select RowID from MasJV where VouStatus = 'BR' and VouNo = ?", {number}).toLongLong(),
                 master);
        QCOMPARE(detailRows("BR", number).size(), 4);

        qvt::MsgRecorder rec;
        w->openForChange(number);
        rec.answers << QMessageBox::No;
        QTest::mouseClick(w->cmdDelete, Qt::LeftButton);
        QCOMPARE(rec.last(), QString("are you sure Delete this Voucher "));
        QCOMPARE(detailRows("BR", number).size(), 4);
        rec.answers << QMessageBox::Yes;
        QTest::mouseClick(w->cmdDelete, Qt::LeftButton);
        QCOMPARE(Conn.scalar("select count(*) from MasJV where VouStatus = 'BR' and VouNo = ?", {number}).toInt(), 0);
        QVERIFY(detailRows("BR", number).isEmpty());
        QVERIFY(!w->cmdDelete->isEnabled());

        // A number of no voucher.
        w->txtVoucher->setText("987654");
        w->OpenVoucher();
        QCOMPARE(rec.last(), QString("Voucher not found!"));
    }

    // Another station saved the proposed number first: this voucher gets the next one and the
    // user is told; the other voucher is untouched.
    void takenNumberIsStoredUnderTheNext()
    {
        frmVoucher* w = open("frmJV");
        addLine(w, "OFFICE RENT", "CASH IN HAND", "40");
        const qint64 proposed = shownNumber(w);
        qv::Connection other;
        app.db().connect(other);
        qv::VoucherStore store(other);
        qv::Voucher v;
        v.kind = qv::VoucherKind::JV;
        v.number = proposed;
        v.date = QDate(2026, 1, 5);
        v.lines.push_back({accountId("VEHICLES"), {}, accountId("CASH IN HAND"), {}, qv::Money(999), {}, {}, {}, {}});
        store.save(v, true, "other");
        const QStringList theirs = detailRows("JV", proposed);

        qvt::MsgRecorder rec;
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY2(rec.last().contains(QString("JV-%1").arg(proposed + 1)), qPrintable(rec.last()));
        QCOMPARE(detailRows("JV", proposed), theirs);
        QCOMPARE(detailRows("JV", proposed + 1).size(), 2);
    }

    // Deleted by another station after it was opened: nothing is written, the lines stay,
    // and a second save stores them as a new voucher.
    void voucherDeletedMeanwhileKeepsItsLines()
    {
        frmVoucher* w = open("frmCR");
        addLine(w, {}, "TARIQ MEHMOOD", "300");
        const qint64 number = shownNumber(w);
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        w->openForChange(number);
        qv::VoucherStore(Conn).remove(qv::VoucherKind::CR, number);
        qvt::MsgRecorder rec;
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        QVERIFY2(rec.last().contains("deleted by another user"), qPrintable(rec.last()));
        QCOMPARE(w->MshEntry->rowCount(), 1);
        QVERIFY(detailRows("CR", number).isEmpty());
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        QCOMPARE(w->MshEntry->rowCount(), 0);
        QCOMPARE(
            Conn.scalar("select count(*) from MasJV where VouStatus = 'CR' and PaidReceive = '' and TotalAmount > 0 "
                        "and VouNo >= ?",
                        {number})
                .toInt(),
            1);
    }

    // A failing statement leaves the database as it was and the window with all its lines.
    void failedSaveKeepsEverything()
    {
        frmVoucher* w = open("frmJV");
        addLine(w, "OFFICE RENT", "CASH IN HAND", "12");
        addLine(w, "VEHICLES", "CASH IN HAND", "13");
        const int before = Conn.scalar("select count(*) from DetJV").toInt();
        int n = 0;
        Conn.setStatementHook([&n](const QString& sql) {
            if (sql.contains("DetJV", Qt::CaseInsensitive) && sql.startsWith("insert", Qt::CaseInsensitive) && ++n == 3)
                throw qv::DbError("disk I/O error");
        });
        qvt::MsgRecorder rec;
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        Conn.setStatementHook({});
        QCOMPARE(rec.texts(), QStringList{"disk I/O error"});
        QCOMPARE(rec.seen.last().icon, qv::Msg::Icon::Critical);
        QCOMPARE(Conn.scalar("select count(*) from DetJV").toInt(), before);
        QCOMPARE(w->MshEntry->rowCount(), 2);
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        QCOMPARE(Conn.scalar("select count(*) from DetJV").toInt(), before + 4);
    }

    // The amount box takes digits and one point; more than two decimals and amounts past
    // what the columns hold are refused with a reason.
    void amountKeysAndLimits()
    {
        frmVoucher* w = open("frmJV");
        typeAmount(w, "1a2 .5.7");
        QCOMPARE(w->txtDRCR->text(), QString("12.57"));
        w->txtFile->setFocus();
        QTest::keyClicks(w->txtFile, "4x 2");
        QCOMPARE(w->txtFile->text(), QString("42"));
        pick(w, w->cmdSelectDr, "OFFICE RENT");
        pick(w, w->cmdSelectCr, "CASH IN HAND");
        qvt::MsgRecorder rec;
        typeAmount(w, "12.345");
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QVERIFY2(rec.last().contains("more than two decimals"), qPrintable(rec.last()));
        QCOMPARE(w->MshEntry->rowCount(), 0);
        QCOMPARE(w->focusWidget(), w->txtDRCR);
        // Fourteen characters are the box's limit; the largest such amount is kept exactly.
        typeAmount(w, "999999999999999");
        QCOMPARE(w->txtDRCR->text(), QString("99999999999999"));
        const qint64 number = shownNumber(w);
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(w->MshEntry->item(0, 3)->text(), QString("99,999,999,999,999.00"));
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        QCOMPARE(detailRows("JV", number).first().section('|', 2, 2), QString("99999999999999.00"));
    }

    // Enter moves on as Tab does; txtVouStatus hands the focus to the date except in the
    // cash payment window, whose order starts at the number.
    void keyboardOrder()
    {
        frmVoucher* j = open("frmJV");
        j->txtVouStatus->setFocus();
        QCOMPARE(j->focusWidget(), j->DTPicker);
        j->txtChecque->setFocus();
        QTest::keyClick(j->txtChecque, Qt::Key_Return);
        QCOMPARE(j->focusWidget(), j->cmdSelectDr);
        j->txtDRCR->setFocus();
        QTest::keyClick(j->txtDRCR, Qt::Key_Return);
        QCOMPARE(j->focusWidget(), j->txtNaration);

        frmVoucher* c = open("frmCP");
        c->txtVouStatus->setFocus();
        QCOMPARE(c->focusWidget(), c->txtVouStatus);
        c->txtVoucher->setFocus();
        QTest::keyClick(c->txtVoucher, Qt::Key_Tab);
        QCOMPARE(c->focusWidget(), c->txtChecque);
    }

    // "E&xit" unloads the window and applies the menu rights.
    void exitUnloadsAndAppliesRights()
    {
        frmVoucher* w = open("frmBP");
        Conn.execute("update Menus set Active = 0 where Menus = ?", {"Chart Of Accounts"});
        QTest::mouseClick(w->cmdExit, Qt::LeftButton);
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
            QCOMPARE(w->lblfrmTitle->text(), k.caption);
            QCOMPARE(w->txtVouStatus->text(), k.prefix);
            QCOMPARE(w->subWindow()->pos(), QPoint(0, 0));
        }
        QCOMPARE(app.main()->mdiArea()->subWindowList().size(), 5);
    }
};

QTEST_MAIN(TstVoucherWindow)
#include "tst_voucherwindow.moc"
