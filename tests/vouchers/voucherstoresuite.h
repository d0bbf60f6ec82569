#pragma once
// The voucher store's suites on both backends: a fresh book with a head, five subsidiary
// accounts (A, B, the party P, the bank K, the cash C) and a store on its own connection; the
// rows a save wrote, read back as text.
#include "db/money.h"
#include "support/fixture.h"
#include "vouchers/voucherstore.h"

#include <QSqlRecord>
#include <memory>

namespace qvt {

inline qv::Money amount(const char* text)
{
    return *qv::parseAmount(QString::fromLatin1(text));
}

class VoucherStoreSuite : public QObject {
protected:
    using K = qv::VoucherKind;
    using Voucher = qv::Voucher;
    using VoucherLine = qv::VoucherLine;

    qvt::TestDb db;
    std::unique_ptr<qv::Connection> conn;
    std::unique_ptr<qv::VoucherStore> store;
    qint64 A = 0, B = 0, P = 0, K_ = 0, C = 0, head = 0;
    const QDate day{2025, 9, 14};

    qint64 addAccount(const QString& nodes, const QString& name, const QString& status = "DD")
    {
        return conn->insertReturningKey("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                                        "values (?, ?, ?, '1.1', 1) returning RowID",
                                        {nodes, name, status});
    }
    QString cell(const QVariant& v, bool isAmount = false)
    {
        if (v.isNull())
            return "<null>";
        if (isAmount)
            return qv::plainAmount(*qv::moneyFromVariant(v, conn->backend() == qv::Backend::Sqlite));
        if (v.metaType().id() == QMetaType::QDate || v.metaType().id() == QMetaType::QDateTime)
            return v.toDate().toString(Qt::ISODate);
        return v.toString();
    }
    // A voucher's detail rows in the order written, with account RowIDs shown by their names.
    QStringList detail(K kind, qint64 no)
    {
        const QHash<QString, QString> names{{QString::number(A), "A"},
                                            {QString::number(B), "B"},
                                            {QString::number(P), "P"},
                                            {QString::number(K_), "K"},
                                            {QString::number(C), "C"}};
        QSqlQuery q = conn->query("select EntryNo, AcCode, CrAc, DrAmt, CrAmt, ChecqNo, Naration, FileNo, BillNo, "
                                  "VouDate from DetJV where VouStatus = ? and VouNo = ? order by RowID",
                                  {qv::voucherKind(kind).code, no});
        QStringList out;
        while (q.next()) {
            QStringList f;
            for (int i = 0; i < 10; ++i) {
                const QString t = cell(q.value(i), i == 3 || i == 4);
                f << ((i == 1 || i == 2) ? names.value(t, t) : t);
            }
            out << f.join('|');
        }
        return out;
    }
    QString master(K kind, qint64 no)
    {
        QSqlQuery q = conn->query("select VouDate, PaidReceive, TotalAmount, Login, ChecqNo from MasJV "
                                  "where VouStatus = ? and VouNo = ?",
                                  {qv::voucherKind(kind).code, no});
        if (!q.next())
            return "<gone>";
        return QStringList{cell(q.value(0)), cell(q.value(1)), cell(q.value(2), true), cell(q.value(3)),
                           cell(q.value(4))}
            .join('|');
    }
    // Both tables whole, every column, for "nothing changed".
    QStringList tables()
    {
        QStringList out;
        for (const char* t : {"MasJV", "DetJV"}) {
            QSqlQuery q = conn->query(QString("select * from %1 order by RowID").arg(t));
            while (q.next()) {
                QStringList f{t};
                for (int i = 0; i < q.record().count(); ++i)
                    f << cell(q.value(i));
                out << f.join('|');
            }
        }
        return out;
    }
    static VoucherLine line(qint64 dr, qint64 cr, const char* amt, const QString& narration = "n",
                            const QString& cheque = {}, const QString& file = {}, const QString& bill = {})
    {
        VoucherLine l;
        l.drAc = dr;
        l.crAc = cr;
        l.amount = amount(amt);
        l.narration = narration;
        l.cheque = cheque;
        l.fileNo = file;
        l.billNo = bill;
        return l;
    }
    Voucher voucher(K kind, qint64 no, std::vector<VoucherLine> lines, const QString& party = "PARTY")
    {
        Voucher v;
        v.kind = kind;
        v.number = no;
        v.date = day;
        v.party = party;
        v.lines = std::move(lines);
        return v;
    }
    // A voucher as the window would show it, for round-trip comparisons.
    static QStringList shown(const Voucher& v)
    {
        QStringList out{
            QString("%1|%2|%3|%4").arg(v.number).arg(v.date.toString(Qt::ISODate), v.party, v.masterCheque)};
        for (const VoucherLine& l : v.lines)
            out << QStringList{QString::number(l.drAc),
                               l.drName,
                               QString::number(l.crAc),
                               l.crName,
                               qv::plainAmount(l.amount),
                               l.cheque,
                               l.narration,
                               l.fileNo,
                               l.billNo}
                       .join('|');
        return out;
    }
    void nameLines(Voucher& v)
    {
        for (VoucherLine& l : v.lines) {
            l.drName = conn->scalar("select AcName from Accounts where RowID = ?", {l.drAc}).toString();
            l.crName = conn->scalar("select AcName from Accounts where RowID = ?", {l.crAc}).toString();
        }
    }

    void openBook()
    {
        db = qvt::TestDb::create(false);
        conn = std::make_unique<qv::Connection>();
        db.connect(*conn);
        store = std::make_unique<qv::VoucherStore>(*conn);
        head = addAccount("1.1", "HEAD", "HD");
        A = addAccount("1.1.1", "ACCOUNT A");
        B = addAccount("1.1.2", "ACCOUNT B");
        P = addAccount("1.1.3", "O'BRIEN PARTY");
        K_ = addAccount("1.1.4", "BANK K");
        C = addAccount("1.1.5", "CASH C");
    }
    void closeBook()
    {
        store.reset();
        conn.reset();
        db.drop();
    }
};

} // namespace qvt
