#include "bookfixture.h"

#include "reports/procedures.h"
#include "shell/mdl_connection.h"
#include "vouchers/voucherstore.h"

#include <QTest>

using qv::Money;
using qv::Voucher;
using qv::VoucherLine;
using K = qv::VoucherKind;

namespace qvt {

namespace {

QString templ(const char* name)
{
    return QStringLiteral(QVT_TEMPLATES_DIR "/") + QLatin1String(name);
}

} // namespace

qint64 addAccount(const QString& nodes, const QString& name, const QString& status, const QVariant& openBal,
                  const QString& bank)
{
    const QString parent =
        status == QLatin1String("DD") ? nodes.section(QLatin1Char('.'), 0, 1) : nodes.section(QLatin1Char('.'), 0, 0);
    return Conn.insertReturningKey(
        "insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode, OpenBal, BStatus) "
        "values (?, ?, ?, ?, 1, ?, ?) returning RowID",
        {nodes, name, status, parent, openBal.isValid() ? openBal : QVariant(QMetaType::fromType<QString>()),
         bank.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(bank)});
}

namespace {

QVariant amt(const char* text)
{
    return QVariant::fromValue(*qv::parseAmount(QString::fromLatin1(text)));
}

void setCashAccount(qint64 cash)
{
    Conn.execute("delete from VouSetting where VouStatus = 'CP'");
    Conn.execute("insert into VouSetting (VouStatus, VouNo, AcCode, AcStatus, Fix) values ('CP', 1, ?, 'CR', 'N')",
                 {cash});
}

Money m(const char* text)
{
    return *qv::parseAmount(QString::fromLatin1(text));
}

} // namespace

TestDb openReportsBook(const QString& company)
{
    TestDb db = TestDb::create(false);
    db.connect(Conn);
    LoginUser = db.user;
    LoginPassword = db.password;
    qv::rpt::installProcedures(Conn);
    Conn.execute("insert into Company (Company, comActive) values (?, 'Y')", {company});
    return db;
}

qint64 saveVoucher(K kind, const QDate& date, const QString& party,
                   const QList<std::tuple<qint64, qint64, Money>>& lines, const QString& cheque)
{
    qv::VoucherStore store(Conn);
    Voucher v;
    v.kind = kind;
    v.date = date;
    v.party = party;
    v.number = store.nextNumber(kind, 1);
    for (const auto& [dr, cr, m] : lines) {
        VoucherLine l;
        l.drAc = dr;
        l.crAc = cr;
        l.amount = m;
        l.cheque = cheque;
        l.narration = QStringLiteral("%1 line").arg(qv::voucherKind(kind).code);
        v.lines.push_back(l);
    }
    store.save(v, true, QStringLiteral("tester"));
    return v.number;
}

Money money(const QVariant& v)
{
    return qv::moneyFromVariant(v, Conn.backend() == qv::Backend::Sqlite).value_or(Money());
}

HandBook writeHandBook()
{
    HandBook b;
    addAccount("1", "ASSETS", "HH");
    addAccount("1.1", "CASH AND BANK", "HD");
    b.cash = addAccount("1.1.1", "CASH IN HAND", "DD", amt("1000.00"));
    b.bank = addAccount("1.1.2", "CITY BANK", "DD", amt("5000.00"), "B");
    addAccount("1.2", "CUSTOMERS", "HD");
    b.party = addAccount("1.2.1", "O'HARA & SONS", "DD", amt("-250.50"));
    addAccount("2", "EXPENSES", "HH");
    addAccount("2.1", "ADMINISTRATION", "HD");
    b.rent = addAccount("2.1.1", "OFFICE RENT", "DD");
    b.wages = addAccount("2.1.2", "WAGES", "DD");
    addAccount("3", "CAPITAL", "HH");
    addAccount("3.1", "OWNERS", "HD");
    b.capital = addAccount("3.1.1", "PAID-UP CAPITAL", "DD", amt("-5749.50"));
    setCashAccount(b.cash);
    // Before the range 2026-01-05 .. 2026-02-28.
    saveVoucher(K::JV, {2025, 12, 20}, "ADJUSTMENT", {{b.rent, b.cash, m("100.00")}});
    saveVoucher(K::CR, {2025, 12, 28}, "O'HARA", {{b.cash, b.party, m("300.25")}});
    // In the range.
    saveVoucher(K::BP, {2026, 1, 5}, "SITE STAFF", {{b.wages, b.bank, m("700.00")}}, "CH-1");
    saveVoucher(K::BR, {2026, 1, 10}, "O'HARA", {{b.bank, b.party, m("1234.56")}}, "CH-2");
    saveVoucher(K::CP, {2026, 1, 15}, "LANDLORD", {{b.rent, b.cash, m("200.00")}, {b.wages, b.cash, m("50.10")}});
    saveVoucher(K::CR, {2026, 2, 1}, "O'HARA", {{b.cash, b.party, m("99.99")}});
    saveVoucher(K::JV, {2026, 2, 10}, "WITHDRAWAL", {{b.cash, b.bank, m("500.00")}});
    saveVoucher(K::CP, {2026, 2, 20}, "DEPOSIT", {{b.bank, b.cash, m("400.00")}});
    saveVoucher(K::JV, {2026, 2, 28}, "CHARGE", {{b.rent, b.party, m("4.00")}, {b.rent, b.party, m("6.00")}});
    // After it.
    saveVoucher(K::BP, {2026, 3, 1}, "LATE", {{b.rent, b.bank, m("1.00")}});
    return b;
}

RandomBook writeRandomBook(QRandomGenerator& rng, int vouchers, bool headOpenings, int controlHeads)
{
    RandomBook b;
    auto headOpening = [&]() -> QVariant {
        if (!headOpenings)
            return {};
        const qint64 c = rng.bounded(1, 5'000'000);
        return QVariant::fromValue(Money(rng.bounded(2) ? c : -c));
    };
    int n = 0;
    for (int h = 1; h <= controlHeads; ++h) {
        b.heads << addAccount(QString::number(h), QStringLiteral("HEAD %1").arg(h), "HH", headOpening());
        for (int s = 1; s <= 2; ++s) {
            const QString sub = QStringLiteral("%1.%2").arg(h).arg(s);
            b.heads << addAccount(sub, QStringLiteral("GROUP %1").arg(sub), "HD", headOpening());
            for (int d = 1; d <= 3; ++d, ++n) {
                QVariant open;
                const int pick = rng.bounded(3);
                if (pick == 1)
                    open = QVariant::fromValue(Money(rng.bounded(1, 5'000'000)));
                if (pick == 2)
                    open = QVariant::fromValue(Money(-qint64(rng.bounded(1, 5'000'000))));
                const bool bank = n == 1 || n == 2;
                b.accounts << addAccount(QStringLiteral("%1.%2").arg(sub).arg(d), QStringLiteral("ACCOUNT %1").arg(n),
                                         "DD", open, bank ? QStringLiteral("B") : QString());
                if (bank)
                    b.banks << b.accounts.last();
            }
        }
    }
    b.cash = b.accounts.first();
    setCashAccount(b.cash);
    b.first = QDate(2025, 1, 1);
    b.last = QDate(2026, 12, 31);
    const int span = int(b.first.daysTo(b.last));
    auto other = [&](qint64 notThis) {
        qint64 a;
        do
            a = b.accounts[rng.bounded(int(b.accounts.size()))];
        while (a == notThis);
        return a;
    };
    for (int i = 0; i < vouchers; ++i) {
        const K kind = K(rng.bounded(5));
        const QDate date = b.first.addDays(rng.bounded(span + 1));
        const qint64 bank = b.banks[rng.bounded(int(b.banks.size()))];
        QList<std::tuple<qint64, qint64, Money>> lines;
        const int count = 1 + rng.bounded(3);
        for (int l = 0; l < count; ++l) {
            const Money a(rng.bounded(1, 2'000'000));
            switch (kind) {
            case K::JV: {
                const qint64 dr = other(0);
                lines << std::make_tuple(dr, other(dr), a);
                break;
            }
            case K::BP:
                lines << std::make_tuple(other(bank), bank, a);
                break;
            case K::BR:
                lines << std::make_tuple(bank, other(bank), a);
                break;
            case K::CP:
                lines << std::make_tuple(other(b.cash), b.cash, a);
                break;
            case K::CR:
                lines << std::make_tuple(b.cash, other(b.cash), a);
                break;
            }
        }
        saveVoucher(kind, date, QStringLiteral("PARTY %1").arg(i), lines, QStringLiteral("C%1").arg(i));
    }
    return b;
}

namespace {
QString datesText(const QDate& from, const QDate& to, const char* middle)
{
    return QStringLiteral("\"From :  %1%2%3\"")
        .arg(QLocale().toString(from, QLocale::ShortFormat), QLatin1String(middle),
             QLocale().toString(to, QLocale::ShortFormat));
}
std::shared_ptr<qv::rpt::Report> open(const char* name)
{
    qv::rpt::Application app;
    auto r = app.OpenReport(templ(name));
    r->Database().Tables(1).ConnectionProperties("User ID").setValue(LoginUser);
    r->Database().Tables(1).ConnectionProperties("Password").setValue(LoginPassword);
    return r;
}
QString iso(const QDate& d)
{
    return d.toString(Qt::ISODate);
}
} // namespace

std::shared_ptr<const qv::rpt::Document> cashOrBankBook(qint64 account, const QDate& from, const QDate& to)
{
    auto r = open("rptAcLedger3.rpt");
    r->setRecordSelectionFormula(
        QStringLiteral("{Company.comActive}='Y' and {DetJV.CrAc} = %1 and {DetJV.VouDate} in #%2# to #%3#")
            .arg(account)
            .arg(iso(from), iso(to)));
    r->FormulaFields().byName("Dates").setText(datesText(from, to, "  To :  "));
    r->OpenSubreport("rptSubOpening")
        .setRecordSelectionFormula(
            QStringLiteral("{DetJV.AcCode} = %1 and {DetJV.VouDate} < #%2#").arg(account).arg(iso(from)));
    r->OpenSubreport("rptSubAcOpen").setRecordSelectionFormula(QStringLiteral("{Accounts.RowID}  = %1").arg(account));
    return r->run(Conn);
}

std::shared_ptr<const qv::rpt::Document> ledger(qint64 account, const QDate& from, const QDate& to, bool detail)
{
    auto r = open("rptAcLedger.rpt");
    Conn.execute(detail ? qv::rpt::detailAcLedgerStatement(account, from, to)
                        : qv::rpt::acLedgerStatement(account, from, to));
    r->setRecordSelectionFormula("{Company.comActive} = 'Y'");
    r->FormulaFields().byName("Dates").setText(datesText(from, to, "  To :  "));
    return r->run(Conn);
}

std::shared_ptr<const qv::rpt::Document> trialBalance(const QString& templ, const QDate& from, const QDate& to)
{
    auto r = open(templ.toLatin1().constData());
    Conn.execute(templ == QLatin1String("rptTrialBalance3.rpt") ? qv::rpt::trialBalance3Statement(from, to)
                                                                : qv::rpt::trialBalanceStatement(from, to));
    r->setRecordSelectionFormula("{Company.comActive} = 'Y'");
    r->FormulaFields().byName("Dates").setText(datesText(from, to, "   To :  "));
    return r->run(Conn);
}

QString figureAfter(const qv::rpt::Document& d, const QString& label, int skip)
{
    for (int page = 0; page < d.pageCount(); ++page) {
        const auto& p = *d.page(page);
        for (int i = 0; i + 1 < p.items.size(); ++i)
            if (p.items[i].text == label && skip-- == 0) {
                for (int j = i + 1; j < p.items.size(); ++j)
                    if (p.items[j].kind == qv::rpt::DocItem::Text)
                        return p.items[j].text;
            }
    }
    return QStringLiteral("<no %1>").arg(label);
}

qint64 balanceCents(const QString& text)
{
    QString t = text.trimmed();
    const bool credit = t.endsWith(QLatin1String(" Cr"));
    if (t.endsWith(QLatin1String(" Cr")) || t.endsWith(QLatin1String(" Dr")))
        t.chop(3);
    const auto m = qv::parseAmount(t);
    if (!m)
        return std::numeric_limits<qint64>::min();
    return credit ? -m->cents : m->cents;
}

} // namespace qvt
