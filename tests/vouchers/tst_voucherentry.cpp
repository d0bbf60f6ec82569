// Typing a voucher as an accountant does, where a slip used to cost data: the boxes "&Add"
// empties per kind, an amount with a decimal comma, letters or too many digits, a typed date,
// and lines on screen that a close, a Cancel or another voucher would throw away.
#include "shell/frmlogin.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"
#include "vouchers/frmvoucher.h"
#include "vouchers/vouchersearchmodel.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>

namespace {
qint64 accountId(const QString& title)
{
    return Conn.scalar("select RowID from Accounts where AcName = ?", {title}).toLongLong();
}

bool loginWindowShown()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<frmLogin*>(w) && w->isVisible())
            return true;
    return false;
}
} // namespace

class TstVoucherEntry : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    frmVoucher* open(const QString& window)
    {
        auto* w = qv::Windows::open<frmVoucher>(window);
        QApplication::setActiveWindow(app.main());
        return w;
    }
    // The finder's hand-over, as after a pick for that side.
    void take(frmVoucher* w, qv::Side side, const QString& title)
    {
        w->FinderSide = side;
        FindACRowID = QString::number(accountId(title));
        FindACName = title;
        w->onActivated();
    }
    void type(QWidget* box, const QString& text)
    {
        box->setFocus();
        if (auto* e = qobject_cast<QLineEdit*>(box))
            e->clear();
        QTest::keyClicks(box, text);
    }
    // One journal line of `amount`, added.
    void journalLine(frmVoucher* w, const QString& amount)
    {
        take(w, qv::Side::Debit, "OFFICE RENT");
        take(w, qv::Side::Credit, "CASH IN HAND");
        type(qvt::child<QLineEdit>(w, "txtDRCR"), amount);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdAdd"), Qt::LeftButton);
    }
    QString status() { return app.main()->statusBar()->currentMessage(); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        app.start(true);
        // No default accounts: each line gets both of its accounts from the finder.
        Conn.execute("update VouSetting set AcCode = null, AcStatus = null");
    }
    void cleanup() { app.stop(); }

    // After "&Add" the line's own account box is empty for the next line; the bank or cash
    // account, the party, the date and the narration stay; the amount, cheque, file and bill go.
    void addEmptiesTheLineAndKeepsTheVoucher_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("debitKept");
        QTest::addColumn<bool>("creditKept");
        QTest::newRow("journal: both accounts are the line's") << "frmJV" << false << false;
        QTest::newRow("bank payment keeps the bank (credit)") << "frmBP" << false << true;
        QTest::newRow("bank receive keeps the bank (debit)") << "frmBR" << true << false;
        QTest::newRow("cash payment keeps the cash (credit)") << "frmCP" << false << true;
        QTest::newRow("cash receive keeps the cash (debit)") << "frmCR" << true << false;
    }
    void addEmptiesTheLineAndKeepsTheVoucher()
    {
        QFETCH(QString, window);
        QFETCH(bool, debitKept);
        QFETCH(bool, creditKept);
        frmVoucher* w = open(window);
        const QDate day(2026, 3, 14);
        qvt::child<QDateEdit>(w, "DTPicker")->setDate(day);
        type(qvt::child<QLineEdit>(w, "txtPaidTo"), "MR. KHAN");
        take(w, qv::Side::Debit, "HABIB BANK LTD - 0123-7");
        take(w, qv::Side::Credit, "CASH IN HAND");
        type(qvt::child<QLineEdit>(w, "txtDRCR"), "250");
        type(qvt::child<QLineEdit>(w, "txtChecque"), "CHQ 7");
        type(qvt::child<QPlainTextEdit>(w, "txtNaration"), "rent");
        type(qvt::child<QLineEdit>(w, "txtFile"), "12");
        type(qvt::child<QLineEdit>(w, "txtBill"), "34");
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdAdd"), Qt::LeftButton);
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 1);

        QCOMPARE(qvt::child<QLineEdit>(w, "txtDrAc")->text().isEmpty(), !debitKept);
        QCOMPARE(qvt::child<QLineEdit>(w, "txtDrAc")->property("tag").toString().isEmpty(), !debitKept);
        QCOMPARE(qvt::child<QLineEdit>(w, "txtCrAc")->text().isEmpty(), !creditKept);
        QCOMPARE(qvt::child<QLineEdit>(w, "txtCrAc")->property("tag").toString().isEmpty(), !creditKept);
        for (QLineEdit* gone : {qvt::child<QLineEdit>(w, "txtDRCR"), qvt::child<QLineEdit>(w, "txtChecque"),
                                qvt::child<QLineEdit>(w, "txtFile"), qvt::child<QLineEdit>(w, "txtBill")})
            QVERIFY2(gone->text().isEmpty(), qPrintable(gone->objectName()));
        QCOMPARE(qvt::child<QPlainTextEdit>(w, "txtNaration")->toPlainText(), QString("rent"));
        QCOMPARE(qvt::child<QLineEdit>(w, "txtPaidTo")->text(), QString("MR. KHAN"));
        QCOMPARE(qvt::child<QDateEdit>(w, "DTPicker")->date(), day);
    }

    // A decimal comma is refused with a reason, never read as ten or a hundred times the
    // amount; a comma between thousands is taken.
    void decimalCommaIsRefused()
    {
        frmVoucher* w = open("frmJV");
        qvt::MsgRecorder rec;
        journalLine(w, "1,5");
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 0);
        QVERIFY2(rec.last().contains("comma"), qPrintable(rec.last()));
        QCOMPARE(w->focusWidget(), qvt::child<QLineEdit>(w, "txtDRCR"));
        journalLine(w, "1,500.50");
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 1);
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->item(0, 3)->text(), QString("1,500.50"));
    }

    // What the amount box cannot take is refused whole, and the status bar says so.
    void amountBoxSaysWhatItRefuses()
    {
        frmVoucher* w = open("frmJV");
        type(qvt::child<QLineEdit>(w, "txtDRCR"), "12a");
        QCOMPARE(qvt::child<QLineEdit>(w, "txtDRCR")->text(), QString("12"));
        QVERIFY2(status().contains("not taken"), qPrintable(status()));
        app.main()->statusBar()->clearMessage();
        qvt::child<QLineEdit>(w, "txtDRCR")->clear();
        qvt::child<QLineEdit>(w, "txtDRCR")->insert("12345678901234567890"); // as a paste does
        QCOMPARE(qvt::child<QLineEdit>(w, "txtDRCR")->text(), QString());
        QVERIFY2(status().contains("at most 14"), qPrintable(status()));
    }

    // A date typed as digits, whatever part of the box was selected, is the voucher's date.
    void typedDateIsTheVoucherDate()
    {
        frmVoucher* w = open("frmJV");
        const qint64 number = qvt::child<QLineEdit>(w, "txtVoucher")->text().toLongLong();
        qvt::child<QDateEdit>(w, "DTPicker")->setFocus();
        qvt::child<QDateEdit>(w, "DTPicker")->setSelectedSection(QDateTimeEdit::YearSection);
        QTest::keyClicks(qvt::child<QDateEdit>(w, "DTPicker"), "10122026");
        QTest::keyClick(qvt::child<QDateEdit>(w, "DTPicker"), Qt::Key_Return);
        QCOMPARE(qvt::child<QDateEdit>(w, "DTPicker")->date(), QDate(2026, 12, 10));
        QCOMPARE(qvt::child<QDateEdit>(w, "DTPicker")->text(), QString("10-12-2026"));
        journalLine(w, "75");
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QCOMPARE(Conn.scalar("select VouDate from MasJV where VouStatus = 'JV' and VouNo = ?", {number}).toDate(),
                 QDate(2026, 12, 10));
        QVERIFY2(status().contains(QString("Journal Voucher JV-%1 saved").arg(number)), qPrintable(status()));
    }

    // Lines on screen and not saved: every way of dropping them asks first, No is the default
    // answer, and No keeps the lines, the window and the frame.
    void unsavedLinesAreKeptUnlessDropped_data()
    {
        QTest::addColumn<QString>("how");
        for (const char* how : {"frame close", "Exit", "Cancel", "Enter in the number", "search list", "main Exit"})
            QTest::newRow(how) << QString(how);
    }
    void unsavedLinesAreKeptUnlessDropped()
    {
        QFETCH(QString, how);
        frmVoucher* w = open("frmJV");
        journalLine(w, "40");
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        journalLine(w, "60");
        QPointer<frmVoucher> alive(w);
        const QString unsavedNo = qvt::child<QLineEdit>(w, "txtVoucher")->text();
        QPointer<MDIForm1> frame(app.main());
        auto act = [&] {
            if (how == "frame close")
                w->subWindow()->close();
            else if (how == "Exit")
                QTest::mouseClick(qvt::child<QPushButton>(w, "cmdExit"), Qt::LeftButton);
            else if (how == "Cancel")
                QTest::mouseClick(qvt::child<QPushButton>(w, "cmdCancel"), Qt::LeftButton);
            else if (how == "Enter in the number")
                QTest::keyClick(qvt::child<QLineEdit>(w, "txtVoucher"), Qt::Key_Return);
            else if (how == "search list")
                emit qvt::child<QTableView>(w, "mshSearch")
                    ->doubleClicked(qvt::child<QTableView>(w, "mshSearch")->model()->index(0, 0));
            else
                app.main()->menuEntry("mnuExit")->trigger();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        {
            qvt::MsgRecorder rec;
            rec.answers << QMessageBox::No;
            act();
            QCOMPARE(rec.seen.size(), 1);
            QCOMPARE(rec.seen.first().defaultButton, QMessageBox::No);
            QVERIFY(alive && frame);
            QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 1);
            QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->item(0, 3)->text(), QString("60.00"));
            QVERIFY(!loginWindowShown());
        }
        qvt::MsgRecorder rec; // Yes drops them
        act();
        QVERIFY(!rec.seen.isEmpty());
        QVERIFY2(rec.seen.first().text.contains("not saved"), qPrintable(rec.seen.first().text));
        if (how == "main Exit") {
            QVERIFY(!frame && loginWindowShown());
            for (QWidget* t : QApplication::topLevelWidgets())
                if (qobject_cast<frmLogin*>(t))
                    t->deleteLater();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        } else if (alive) {
            QVERIFY(qvt::child<QTableWidget>(w, "MshEntry")->rowCount() == 0
                    || qvt::child<QLineEdit>(w, "txtVoucher")->text() != unsavedNo);
        }
    }
};

QTEST_MAIN(TstVoucherEntry)
#include "tst_voucherentry.moc"
