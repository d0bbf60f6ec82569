#include "vouchers/demovouchers.h"

#include "vouchers/voucherstore.h"

#include <QList>

namespace qv {

namespace {

struct Demo {
    Connection& c;
    VoucherStore store{c};
    qint64 numbers[5] = {1, 1, 1, 1, 1}; // by kind: JV BP BR CP CR

    qint64 account(const char* nodes)
    {
        const QVariant id =
            c.scalar(QStringLiteral("select RowID from Accounts where AcNodes = ?"), {QString::fromLatin1(nodes)});
        if (id.isNull())
            throw DbError(QStringLiteral("The demo chart has no account %1.").arg(QLatin1String(nodes)));
        return id.toLongLong();
    }

    struct Line {
        qint64 account;
        qint64 cents;
        QString narration;
    };

    // Each line posts `account` against `contra` on the kind's sides: debit to the account for
    // journal and payments, credit to it for receipts.
    void add(VoucherKind kind, const QDate& date, const QString& party, qint64 contra, const QList<Line>& lines,
             const QString& cheque = {})
    {
        const bool partyDebit = voucherKind(kind).shownSide == Side::Debit;
        Voucher v;
        v.kind = kind;
        v.number = numbers[static_cast<int>(kind)]++;
        v.date = date;
        v.party = party;
        for (const Line& l : lines) {
            VoucherLine vl;
            vl.drAc = partyDebit ? l.account : contra;
            vl.crAc = partyDebit ? contra : l.account;
            vl.amount = Money(l.cents);
            vl.cheque = cheque;
            vl.narration = l.narration;
            v.lines.push_back(vl);
        }
        store.save(v, true, QStringLiteral("admin"));
    }
};

} // namespace

void addDemoVouchers(Connection& c)
{
    Transaction tx(c);
    Demo d{c};
    const qint64 cash = d.account("1.1.1"), hbl = d.account("1.1.2"), mcb = d.account("1.1.3");
    QList<qint64> customers;
    for (const char* n : {"1.2.1", "1.2.2", "1.2.3", "1.2.4", "1.2.5", "1.2.6", "1.2.7", "1.2.8"})
        customers << d.account(n);
    const char* names[] = {"ABDUL RAHMAN KHAN", "SAIMA NAEEM",        "M. ASLAM & SONS", "TARIQ MEHMOOD",
                           "NAZIA PERVEEN",     "O'BRIEN TRADING CO", "FARHAN ALI",      "ZUBAIR AHMED"};
    const qint64 cement = d.account("2.1.1"), steel = d.account("2.1.2"), contractor = d.account("2.1.3");
    const qint64 advances = d.account("2.2.1");
    const qint64 resSales = d.account("4.1.1"), comSales = d.account("4.1.2"), transferFee = d.account("4.2.1");
    const qint64 salaries = d.account("5.1.1"), rent = d.account("5.1.2"), utilities = d.account("5.1.3");
    const qint64 stationery = d.account("5.1.4"), roads = d.account("5.2.1"), materials = d.account("5.2.2");
    using K = VoucherKind;

    // The second half of 2025: a deterministic mix of every kind.
    const QDate start(2025, 7, 3);
    for (int week = 0; week < 26; ++week) {
        const QDate day = start.addDays(week * 7);
        const qint64 cust = customers[week % customers.size()];
        const qint64 bank = week % 3 == 2 ? mcb : hbl;
        // Booking money received by cheque, then instalments in cash.
        d.add(K::BR, day, QString::fromUtf8(names[week % 8]), bank,
              {{cust, 50000000 + week * 1250050, QStringLiteral("Booking amount, plot %1").arg(100 + week)}},
              QStringLiteral("CHQ-%1").arg(70311 + week));
        if (week % 2 == 0)
            d.add(K::CR, day.addDays(1), QString::fromUtf8(names[(week + 3) % 8]), cash,
                  {{customers[(week + 3) % 8], 7500000 + week * 10025, QStringLiteral("Instalment received")},
                   {transferFee, 500000, QStringLiteral("Transfer fee")}});
        // Sales recognised through the journal.
        d.add(K::JV, day.addDays(2), {}, week % 4 == 3 ? comSales : resSales,
              {{cust, 50000000 + week * 1250050, QStringLiteral("Plot allotted against booking")}});
        if (week % 2 == 1)
            d.add(K::BP, day.addDays(3), QStringLiteral("AL-NOOR CONSTRUCTION"), bank,
                  {{contractor, 120000000 + week * 333333, QStringLiteral("Running bill")},
                   {roads, 15000000, QStringLiteral("Road levelling")}},
                  QStringLiteral("%1").arg(880100 + week));
        if (week % 3 == 0)
            d.add(K::CP, day.addDays(4), QStringLiteral("OFFICE"), cash,
                  {{utilities, 1845075, QStringLiteral("Electricity bill")},
                   {stationery, 325050, QStringLiteral("Receipt books")},
                   {salaries, 9500000, QStringLiteral("Site staff wages")}});
        if (week % 4 == 1)
            d.add(K::BP, day.addDays(5), QStringLiteral("LUCKY CEMENT DEALERS"), bank,
                  {{cement, 42000000, QStringLiteral("Cement, 1,200 bags")},
                   {materials, 800000, QStringLiteral("Freight")}},
                  QStringLiteral("%1").arg(990200 + week));
        if (week % 6 == 5)
            d.add(K::JV, day.addDays(6), {}, steel,
                  {{materials, 61500000, QStringLiteral("Steel received on credit")}});
    }
    d.add(K::CP, QDate(2025, 12, 31), QStringLiteral("LANDLORD"), cash,
          {{rent, 18000000, QStringLiteral("Office rent, December")}});
    d.add(K::JV, QDate(2025, 12, 31), {}, advances, {{customers[5], 2500000, QStringLiteral("Advance adjusted")}});
    tx.commit();
}

} // namespace qv
