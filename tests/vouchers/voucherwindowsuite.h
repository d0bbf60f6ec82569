#pragma once
// The voucher windows driven as a user, shared by their suites: accounts picked through the
// finder, amounts typed, lines added; what a voucher's detail rows hold.
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"
#include "vouchers/frmvoucher.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>

namespace qvt {

inline qint64 accountId(const QString& title)
{
    return Conn.scalar("select RowID from Accounts where AcName = ?", {title}).toLongLong();
}

// DetJV rows of a voucher: EntryNo, AcCode, DrAmt, CrAmt, CrAc, Naration, FileNo, BillNo.
inline QStringList detailRows(const QString& kind, qint64 number)
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

// A suite of the voucher windows on the demo company: each test starts logged in afresh.
class VoucherWindowSuite : public QObject {
protected:
    qvt::AppFixture app;

    static QTableWidget* entryGrid(frmVoucher* w) { return child<QTableWidget>(w, "MshEntry"); }
    static void click(frmVoucher* w, const char* button)
    {
        QTest::mouseClick(child<QPushButton>(w, button), Qt::LeftButton);
    }
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
        child<QLineEdit>(w, "txtDRCR")->setFocus();
        child<QLineEdit>(w, "txtDRCR")->clear();
        QTest::keyClicks(child<QLineEdit>(w, "txtDRCR"), text);
    }
    // One line: the accounts of the line's side(s), the amount, a narration; then "&Add".
    void addLine(frmVoucher* w, const QString& debit, const QString& credit, const QString& amount,
                 const QString& narration = {})
    {
        if (!debit.isEmpty())
            pick(w, child<QPushButton>(w, "cmdSelectDr"), debit);
        if (!credit.isEmpty())
            pick(w, child<QPushButton>(w, "cmdSelectCr"), credit);
        typeAmount(w, amount);
        if (!narration.isEmpty()) {
            child<QPlainTextEdit>(w, "txtNaration")->clear();
            QTest::keyClicks(child<QPlainTextEdit>(w, "txtNaration"), narration);
        }
        click(w, "cmdAdd");
    }
    qint64 shownNumber(frmVoucher* w) { return child<QLineEdit>(w, "txtVoucher")->text().toLongLong(); }
    void setSetup(const QString& kind, const QVariant& account, const QString& side, const QString& fix)
    {
        Conn.execute("update VouSetting set AcCode = ?, AcStatus = ?, Fix = ? where VouStatus = ?",
                     {account, side.isEmpty() ? QVariant() : QVariant(side), fix, kind});
    }
};

} // namespace qvt
