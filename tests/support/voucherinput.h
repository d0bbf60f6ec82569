#pragma once
// A journal voucher typed into its window, for suites that test what happens around a save (the
// picking of accounts through the finder is tested with the voucher window itself).
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "vouchers/frmvoucher.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>

namespace qvt {

// Opens the journal voucher window with one line of `amount` between two subsidiary accounts, as
// the finder's picks leave the account boxes, and the party `party`.
inline frmVoucher* journalWithLine(const QString& party, const QString& amount = QStringLiteral("125.50"))
{
    auto* w = qv::Windows::open<frmVoucher>(QStringLiteral("frmJV"));
    if (!w)
        return nullptr;
    QSqlQuery q = Conn.query(QStringLiteral("select RowID, AcName from Accounts where AcStatus = 'DD' order by RowID"));
    for (QLineEdit* box : {qvt::child<QLineEdit>(w, "txtDrAc"), qvt::child<QLineEdit>(w, "txtCrAc")}) {
        if (!q.next())
            return nullptr;
        box->setText(q.value(1).toString());
        box->setProperty("tag", q.value(0).toString());
    }
    q.finish();
    qvt::child<QLineEdit>(w, "txtPaidTo")->setText(party);
    qvt::child<QLineEdit>(w, "txtDRCR")->setText(amount);
    QTest::mouseClick(qvt::child<QPushButton>(w, "cmdAdd"), Qt::LeftButton);
    return w;
}

// How many vouchers the book holds with that party (each test types its own), read on `c`.
inline int vouchersOf(qv::Connection& c, const QString& party)
{
    return c.scalar(QStringLiteral("select count(*) from MasJV where PaidReceive = ?"), {party}).toInt();
}

} // namespace qvt
