#pragma once
// The hand-worked example of the bank reconciliation suites: three months of HABIB BANK, opened
// with 10,000.00 on 01-01-2026. What the bank did, and when:
//   January   BR-1  05-01 5,000.00 from CUSTOMER     credited 06-01
//             BP-1  10-01 2,000.00 cheque 100101     presented 15-01
//             BP-2  20-01 1,500.00 cheque 100102     presented 03-02 (late)
//             BR-2  30-01 3,000.00 from CUSTOMER     credited 02-02 (next month)
//   February  BP-3  08-02 4,000.00 cheque 100103     presented 05-03 (late)
//             BR-3  15-02 2,500.00                   credited 14-02 (the bank's date is earlier)
//             BP-4  25-02   700.00 cheque 100104     presented 27-02
//   March     BR-4  10-03 1,200.00                   credited 01-04 (after the statement)
//             BP-5  12-03 1,000.00 cheque 100105     presented 20-03
//             CP-1  15-03   800.00 cash paid in      credited 15-03
// Book balances: 31-01 = 10,000 + 5,000 - 2,000 - 1,500 + 3,000 = 14,500.00;
//                28-02 = 14,500 - 4,000 + 2,500 - 700 = 12,300.00;
//                31-03 = 12,300 + 1,200 - 1,000 + 800 = 13,300.00.
// Bank statements: 31-01 = 10,000 + 5,000 - 2,000 = 13,000.00;
//                  28-02 = 13,000 + 3,000 - 1,500 + 2,500 - 700 = 16,300.00;
//                  31-03 = 16,300 - 4,000 - 1,000 + 800 = 12,100.00.
#include "db/connection.h"
#include "vouchers/voucherstore.h"

#include <QDate>
#include <QHash>
#include <QMap>

namespace qvt {

inline qv::Money units(qint64 u)
{
    return qv::Money::fromUnits(u);
}

struct BankExample {
    qint64 bank = 0, customer = 0, supplier = 0, rent = 0, cash = 0;
    static QDate jan31() { return QDate(2026, 1, 31); }
    static QDate feb28() { return QDate(2026, 2, 28); }
    static QDate mar31() { return QDate(2026, 3, 31); }

    qint64 account(qv::Connection& c, const QString& nodes, const QString& name, const char* status = nullptr)
    {
        return c.insertReturningKey("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode, BStatus, "
                                    "OpenBal, openDate) values (?, ?, 'DD', '1.1', 1, ?, ?, ?) returning RowID",
                                    {nodes, name, status ? QVariant(QString::fromLatin1(status)) : QVariant(),
                                     QVariant::fromValue(status ? units(10000) : qv::Money()), QDate(2026, 1, 1)});
    }
    void voucher(qv::Connection& c, qv::VoucherKind kind, qint64 no, const QDate& d, qint64 amount,
                 const QString& cheque, qint64 party, const QString& user)
    {
        qv::Voucher v;
        v.kind = kind;
        v.number = no;
        v.date = d;
        v.party = QStringLiteral("PARTY");
        qv::VoucherLine l;
        l.amount = units(amount);
        l.cheque = cheque;
        if (kind == qv::VoucherKind::BP)
            l.drAc = party, l.crAc = bank;
        else if (kind == qv::VoucherKind::BR)
            l.drAc = bank, l.crAc = party;
        else
            l.drAc = bank, l.crAc = cash; // cash paid into the bank
        v.lines.push_back(l);
        qv::VoucherStore(c).save(v, true, user);
    }
    void make(qv::Connection& c, const QString& user)
    {
        using K = qv::VoucherKind;
        bank = account(c, "1.1.1", "HABIB BANK", "B");
        customer = account(c, "1.1.2", "CUSTOMER");
        supplier = account(c, "1.1.3", "SUPPLIER");
        rent = account(c, "1.1.4", "RENT");
        cash = account(c, "1.1.5", "CASH IN HAND");
        voucher(c, K::BR, 1, QDate(2026, 1, 5), 5000, {}, customer, user);
        voucher(c, K::BP, 1, QDate(2026, 1, 10), 2000, "100101", supplier, user);
        voucher(c, K::BP, 2, QDate(2026, 1, 20), 1500, "100102", supplier, user);
        voucher(c, K::BR, 2, QDate(2026, 1, 30), 3000, {}, customer, user);
        voucher(c, K::BP, 3, QDate(2026, 2, 8), 4000, "100103", rent, user);
        voucher(c, K::BR, 3, QDate(2026, 2, 15), 2500, {}, customer, user);
        voucher(c, K::BP, 4, QDate(2026, 2, 25), 700, "100104", supplier, user);
        voucher(c, K::BR, 4, QDate(2026, 3, 10), 1200, {}, customer, user);
        voucher(c, K::BP, 5, QDate(2026, 3, 12), 1000, "100105", supplier, user);
        voucher(c, K::CP, 1, QDate(2026, 3, 15), 800, {}, 0, user);
    }
    // When the bank cleared each voucher's line, by month of the statement that shows it.
    static QMap<QString, QDate> cleared(int month)
    {
        switch (month) {
        case 1:
            return {{"BR-1", QDate(2026, 1, 6)}, {"BP-1", QDate(2026, 1, 15)}};
        case 2:
            return {{"BR-2", QDate(2026, 2, 2)},
                    {"BP-2", QDate(2026, 2, 3)},
                    {"BR-3", QDate(2026, 2, 14)},
                    {"BP-4", QDate(2026, 2, 27)}};
        default:
            return {{"BP-3", QDate(2026, 3, 5)}, {"BP-5", QDate(2026, 3, 20)}, {"CP-1", QDate(2026, 3, 15)}};
        }
    }
};

} // namespace qvt
