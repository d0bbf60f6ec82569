// Party statements and the ageing, on the backend named by the environment.
// A hand-made book of customers under 1.2, every figure worked out here:
//   ALI KHAN (an application: REG-0042, NIC 35202-1234567-1), OpenBal 1,000.00 Dr
//     2026-01-10 JV  ALI Dr / sales 5,000.00
//     2026-03-01 BR  bank Dr / ALI 3,500.00, cheque CHQ-771
//     2026-04-20 JV  ALI Dr / sales 2,000.00, file 77, bill 501
//     2026-05-20 JV  ALI Dr / sales 1,200.00
//     2026-06-10 JV  ALI Dr / sales 800.00
//     2026-06-15 CR  cash Dr / ALI 1,000.00
//     2026-07-05 CR  cash Dr / ALI 300.00          (after every date asked for)
//   BINA, OpenBal 250.00 Cr and no movement (no opening date in the chart)
//   DAWOOD: 2026-06-01 JV Dr 600.00; 2026-06-20 CR Cr 100.00
//   CHAUDHRY: nothing at all
// Then random books: every statement's closing is the account's closing in the trial balance
// with opening, and the ageing's buckets add up to the balance and are what matching the
// credits against the oldest debits, row by row and forwards, leaves.
#include "bookfixture.h"
#include "db/adminrun.h"
#include "reports/ageing.h"
#include "reports/partyreport.h"
#include "reports/procedures.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"
#include "vouchers/voucherstore.h"

#include <QSqlQuery>
#include <QTemporaryDir>

using namespace qv::rpt;
using qv::Money;
using K = qv::VoucherKind;

namespace {

Money m(const char* text)
{
    return *qv::parseAmount(QString::fromLatin1(text));
}

// One line, with the file and bill numbers the shared helper leaves out.
void post(K kind, const QDate& date, qint64 dr, qint64 cr, const char* amount, const QString& cheque = {},
          const QString& file = {}, const QString& bill = {})
{
    qv::VoucherStore store(Conn);
    qv::Voucher v;
    v.kind = kind;
    v.date = date;
    v.party = QStringLiteral("PARTY");
    v.number = store.nextNumber(kind, 1);
    qv::VoucherLine l;
    l.drAc = dr;
    l.crAc = cr;
    l.amount = m(amount);
    l.cheque = cheque;
    l.fileNo = file;
    l.billNo = bill;
    l.narration = QStringLiteral("%1 line").arg(qv::voucherKind(kind).code);
    v.lines.push_back(l);
    store.save(v, true, QStringLiteral("tester"));
}

QString shown(qint64 cents)
{
    return qv::plainAmount(Money(cents));
}

// The ageing of one account's rows worked forwards, the plain way: every debit and credit row up
// to `at` (and the opening as the oldest item), the credits set against the oldest debits.
std::array<qint64, AgeingBuckets> fifo(qint64 account, const QDate& at)
{
    QList<QPair<QDate, qint64>> debits, credits;
    QSqlQuery q = Conn.query("select VouDate, DrAmt, CrAmt from DetJV where AcCode = ? and VouDate <= ? "
                             "order by VouDate",
                             {account, at});
    while (q.next()) {
        const qint64 net = qvt::money(q.value(1)).cents - qvt::money(q.value(2)).cents;
        (net > 0 ? debits : credits).append({q.value(0).toDate(), net > 0 ? net : -net});
    }
    const qint64 open = qvt::money(Conn.scalar("select OpenBal from Accounts where RowID = ?", {account})).cents;
    // No movement: the chart's opening date, else over 90 days.
    QDate openDay = at.addDays(-91);
    if (!debits.isEmpty() || !credits.isEmpty()) {
        QDate first = debits.isEmpty() ? credits.first().first : debits.first().first;
        if (!credits.isEmpty())
            first = qMin(first, credits.first().first);
        openDay = first.addDays(-1);
    } else if (const QDate d = Conn.scalar("select openDate from Accounts where RowID = ?", {account}).toDate();
               d.isValid() && d <= at) {
        openDay = d;
    }
    if (open != 0)
        (open > 0 ? debits : credits).prepend({openDay, open > 0 ? open : -open});
    qint64 dr = 0, cr = 0;
    for (const auto& d : debits)
        dr += d.second;
    for (const auto& c : credits)
        cr += c.second;
    const bool owes = dr >= cr;
    QList<QPair<QDate, qint64>>& items = owes ? debits : credits;
    qint64 against = owes ? cr : dr;
    std::array<qint64, AgeingBuckets> out{};
    for (auto& [day, amount] : items) {
        const qint64 used = qMin(against, amount);
        against -= used;
        if (amount > used)
            out[ageingBucket(int(day.daysTo(at)))] += owes ? amount - used : used - amount;
    }
    return out;
}

} // namespace

class TstPartyReports : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    qint64 customers = 0, ali = 0, bina = 0, dawood = 0, chaudhry = 0;

    // The ageing's lines: "code|balance|0-30|31-60|61-90|over 90".
    QStringList ageingLines(qint64 account, const QDate& at)
    {
        Conn.execute(ageingStatement(account, at));
        QSqlQuery q = Conn.query("select AcNodes, Balance, Days30, Days60, Days90, Over90 from tmpAgeing order by "
                                 "LineNo");
        QStringList out;
        while (q.next()) {
            QStringList l{q.value(0).toString()};
            for (int i = 1; i <= 5; ++i)
                l << shown(qvt::money(q.value(i)).cents);
            out << l.join('|');
        }
        return out;
    }
    // Each statement's (account, opening, closing), signed cents.
    QList<std::tuple<qint64, qint64, qint64>> statementEnds(qint64 account, const QDate& from, const QDate& to)
    {
        Conn.execute(partyStatementStatement(account, from, to));
        QSqlQuery q = Conn.query("select AcCode, LineNo, Balance from tmpPartyStatement order by Seq, LineNo");
        QList<std::tuple<qint64, qint64, qint64>> out;
        while (q.next()) {
            const qint64 balance = qvt::money(q.value(2)).cents;
            if (q.value(1).toInt() == 0)
                out.append({q.value(0).toLongLong(), balance, balance});
            else
                std::get<2>(out.last()) = balance;
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        SetProgramFolder(QVT_TEMPLATES_DIR);
        db = qvt::openReportsBook("PARTY BOOKS");
        using qvt::addAccount;
        addAccount("1", "ASSETS", "HH");
        addAccount("1.1", "CASH AND BANK", "HD");
        const qint64 cash = addAccount("1.1.1", "CASH", "DD");
        const qint64 bank = addAccount("1.1.2", "BANK", "DD", {}, "B");
        customers = addAccount("1.2", "CUSTOMERS", "HD");
        ali = addAccount("1.2.1", "ALI KHAN", "DD", QVariant::fromValue(m("1000.00")));
        bina = addAccount("1.2.2", "BINA", "DD", QVariant::fromValue(m("-250.00")));
        chaudhry = addAccount("1.2.3", "CHAUDHRY", "DD");
        dawood = addAccount("1.2.4", "DAWOOD", "DD");
        addAccount("4", "INCOME", "HH");
        addAccount("4.1", "SALES", "HD");
        const qint64 sales = addAccount("4.1.1", "PLOT SALES", "DD");
        Conn.execute("insert into tblApplication (RowNo, ACCode, RegNo, Name, Nationality, Address) values (1, ?, "
                     "'REG-0042', 'ALI KHAN', '35202-1234567-1', '12 CANAL ROAD, LAHORE')",
                     {ali});
        post(K::JV, {2026, 1, 10}, ali, sales, "5000.00");
        post(K::BR, {2026, 3, 1}, bank, ali, "3500.00", "CHQ-771");
        post(K::JV, {2026, 4, 20}, ali, sales, "2000.00", {}, "77", "501");
        post(K::JV, {2026, 5, 20}, ali, sales, "1200.00");
        post(K::JV, {2026, 6, 10}, ali, sales, "800.00");
        post(K::CR, {2026, 6, 15}, cash, ali, "1000.00");
        post(K::CR, {2026, 7, 5}, cash, ali, "300.00");
        post(K::JV, {2026, 6, 1}, dawood, sales, "600.00");
        post(K::CR, {2026, 6, 20}, cash, dawood, "100.00");
    }
    void cleanupTestCase()
    {
        SetProgramFolder(QString());
        Conn.close();
        db.drop();
    }

    // The customer's statement: the applicant in its header, the opening brought into the
    // range, each movement with its numbers and running balance, the closing.
    void customerStatement()
    {
        Conn.execute(partyStatementStatement(ali, {2026, 2, 1}, {2026, 6, 30}));
        QSqlQuery q = Conn.query("select Applicant, Address, Voucher, ChecqNo, FileNo, BillNo, DrAmt, CrAmt, BalAmt, "
                                 "BalSide from tmpPartyStatement order by LineNo");
        QStringList lines;
        while (q.next()) {
            if (lines.isEmpty())
                lines << q.value(0).toString() << q.value(1).toString();
            QStringList l;
            for (int i = 2; i <= 5; ++i)
                l << q.value(i).toString();
            for (int i = 6; i <= 8; ++i)
                l << shown(qvt::money(q.value(i)).cents);
            lines << (l << q.value(9).toString()).join('|');
        }
        QCOMPARE(lines, QStringList({"Applicant: ALI KHAN     Registration No: REG-0042     NIC: 35202-1234567-1",
                                     "Address: 12 CANAL ROAD, LAHORE", "||||0.00|0.00|6000.00|Dr",
                                     "BR-1|CHQ-771|||0.00|3500.00|2500.00|Dr", "JV-2||77|501|2000.00|0.00|4500.00|Dr",
                                     "JV-3||||1200.00|0.00|5700.00|Dr", "JV-4||||800.00|0.00|6500.00|Dr",
                                     "CR-1||||0.00|1000.00|5500.00|Dr"}));
    }

    // A head: one statement a page for each of its parties with an opening or a movement (not
    // CHAUDHRY), the applicant only on the customer's page; the printed closing per page.
    void headStatementsOnePageEach()
    {
        const auto doc = openPartyStatement(TheBook, customers, {2026, 2, 1}, {2026, 6, 30})->run(Conn);
        QCOMPARE(doc->pageCount(), 3);
        QStringList names, closings;
        for (int p = 0; p < 3; ++p) {
            QString text;
            for (const auto& item : doc->page(p)->items)
                text += item.text + '\n';
            names << QString(text.contains("NIC: 35202") ? "applicant " : "")
                         + text.section("Account: ", 1).section('\n', 0, 0);
        }
        QCOMPARE(names, QStringList({"applicant 1.2.1  ALI KHAN", "1.2.2  BINA", "1.2.4  DAWOOD"}));
        for (int skip = 0; skip < 3; ++skip)
            closings << qvt::figureAfter(*doc, "Closing Balance", skip);
        QCOMPARE(closings, QStringList({"5,500.00", "250.00", "500.00"}));
    }

    // Partial payments across the buckets; the opening dated the day before the first movement;
    // the 30th and 31st day; rows after the date left out; the sort by over 90 days.
    void ageingByHand()
    {
        QCOMPARE(ageingLines(customers, {2026, 6, 30}),
                 QStringList({"1.2.1|5500.00|800.00|1200.00|2000.00|1500.00", "1.2.4|500.00|500.00|0.00|0.00|0.00",
                              "1.2.2|-250.00|0.00|0.00|0.00|-250.00"}));
        // 04-20 is 30 days old on 05-20 and 31 on 05-21; 2,500.00 of the 01-10 debit is left.
        QCOMPARE(ageingLines(ali, {2026, 5, 20}), QStringList({"1.2.1|5700.00|3200.00|0.00|0.00|2500.00"}));
        QCOMPARE(ageingLines(ali, {2026, 5, 21}), QStringList({"1.2.1|5700.00|1200.00|2000.00|0.00|2500.00"}));
        // The opening is dated 01-09: 31 days old on 02-09, while the 01-10 debit is 30.
        QCOMPARE(ageingLines(ali, {2026, 2, 9}), QStringList({"1.2.1|6000.00|5000.00|1000.00|0.00|0.00"}));
    }

    // Through quoravel-admin as a user runs it: the ageing's lines, totals and footnote; a head's
    // statements as CSV name each line's account, which their pages show in the header only.
    void reportsFromTheCommandLine()
    {
        QTemporaryDir tmp;
        const QStringList target{"--server", db.dataSource, "--catalog",  db.catalog,
                                 "--user",   db.user,       "--password", db.password};
        auto csvOf = [&](const QString& templ, const QString& exec) {
            const QString csv = tmp.filePath("out.csv");
            const qvt::AdminRun r = qvt::runAdmin(QStringList{"report", templ, "--exec", exec, "--csv", csv} + target);
            QFile f(csv);
            if (r.code != 0 || !f.open(QIODevice::ReadOnly))
                return QStringList{r.err};
            return QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
        };
        QCOMPARE(
            csvOf(QVT_TEMPLATES_DIR "/rptAgeing.rpt", ageingStatement(customers, {2026, 6, 30})),
            QStringList({"Code,Account,Balance,0-30,31-60,61-90,Over 90",
                         "1.2.1,ALI KHAN,5500.00,800.00,1200.00,2000.00,1500.00",
                         "1.2.4,DAWOOD,500.00,500.00,0.00,0.00,0.00", "1.2.2,BINA,-250.00,0.00,0.00,0.00,-250.00"}));
        const QStringList statements = csvOf(QVT_TEMPLATES_DIR "/rptPartyStatement.rpt",
                                             partyStatementStatement(customers, {2026, 2, 1}, {2026, 6, 30}));
        QCOMPARE(statements.size(), 1 + 6 + 1 + 3);
        QVERIFY2(statements.contains("1.2.1,ALI KHAN,2026-03-01,BR-1,BANK,BR line,CHQ-771,,,0.00,3500.00,2500.00,Dr"),
                 qPrintable(statements.join('\n')));
        QVERIFY2(statements.last() == "1.2.4,DAWOOD,2026-06-20,CR-3,CASH,CR line,,,,0.00,100.00,500.00,Dr",
                 qPrintable(statements.join('\n')));
        const auto doc = openAgeing(TheBook, customers, {2026, 6, 30})->run(Conn);
        QCOMPARE(qvt::figureAfter(*doc, "Total"), QString("5,750.00"));
        QString text;
        for (const auto& item : doc->page(0)->items)
            text += item.text + ' ';
        for (const char* figure : {"1,300.00", "1,200.00", "2,000.00", "1,250.00"})
            QVERIFY2(text.contains(figure), figure);
        QVERIFY(text.contains("oldest debits first"));
        const auto pages = openPartyStatement(TheBook, customers, {2026, 2, 1}, {2026, 6, 30})->run(Conn);
        for (const auto& item : pages->page(0)->items)
            QVERIFY2(item.text != "ALI KHAN", "the CSV's account column stays off the page");
    }

    void unknownAccountIsRefused()
    {
        for (const QString& exec :
             {partyStatementStatement(999999, {2026, 1, 1}, {2026, 6, 30}), ageingStatement(999999, {2026, 6, 30})}) {
            try {
                Conn.execute(exec);
                QFAIL("refused");
            } catch (const qv::DbError& e) {
                QVERIFY2(e.description().contains("no account 999999"), qPrintable(e.description()));
            }
        }
    }

    // Random books, many dates: statements agree with the trial balance with opening; the
    // ageing's buckets add up to each balance and equal the forward matching.
    void invariantsOverRandomBooks()
    {
        QRandomGenerator rng(20261208);
        Conn.close();
        db.drop();
        db = qvt::openReportsBook("RANDOM PARTIES");
        const qvt::RandomBook book = qvt::writeRandomBook(rng, 150);
        auto randomDate = [&] {
            const QDate lo = book.first.addDays(-20);
            return lo.addDays(rng.bounded(int(lo.daysTo(book.last.addDays(20))) + 1));
        };
        for (int round = 0; round < 8; ++round) {
            QDate from = randomDate(), to = randomDate();
            if (from > to)
                std::swap(from, to);
            Conn.execute(trialBalance3Statement(from, to));
            QHash<qint64, QPair<qint64, qint64>> tb3; // opening, closing
            QSqlQuery q = Conn.query("select AcCode, OpenDr, OpenCr, CloseDr, CloseCr from tmpTrialBalance3");
            while (q.next())
                tb3[q.value(0).toLongLong()] = {qvt::money(q.value(1)).cents - qvt::money(q.value(2)).cents,
                                                qvt::money(q.value(3)).cents - qvt::money(q.value(4)).cents};
            for (const qint64 head : book.heads) {
                const QString where = QStringLiteral("head %1, %2 .. %3")
                                          .arg(head)
                                          .arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
                for (const auto& [account, opening, closing] : statementEnds(head, from, to)) {
                    QVERIFY2(opening == tb3.value(account).first, qPrintable(where));
                    QVERIFY2(closing == tb3.value(account).second, qPrintable(where));
                }
                const Ageing a = ageing(Conn, head, to);
                for (const AgeingLine& l : a.lines) {
                    QVERIFY2(l.balance.cents == tb3.value(l.party.id).second, qPrintable(where));
                    Money sum;
                    std::array<qint64, AgeingBuckets> cents{};
                    for (int b = 0; b < AgeingBuckets; ++b) {
                        sum += l.buckets[b];
                        cents[b] = l.buckets[b].cents;
                    }
                    QVERIFY2(sum == l.balance, qPrintable(where));
                    QVERIFY2(cents == fifo(l.party.id, to), qPrintable(where + " account " + l.party.nodes));
                }
                for (int i = 1; i < a.lines.size(); ++i)
                    QVERIFY(a.lines[i - 1].buckets[3].cents >= a.lines[i].buckets[3].cents);
            }
        }
    }
};

QTEST_MAIN(TstPartyReports)
#include "tst_partyreports.moc"
