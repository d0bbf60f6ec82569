// The accounts reports agree with each other on random books and many date ranges, on the
// backend named by the environment:
//   - an account's closing is the same in the trial balance with opening, its simple ledger, its
//     detail ledger and its cash/bank book;
//   - the closing of one range is the opening of the next;
//   - half the ranges start and end on days with entries, where an opening that counts its own
//     first day (or a closing that leaves out its last) shows;
//   - each trial balance's debit total equals its credit total; the control trial balance's
//     figures are the sums of the subsidiary ones;
//   - every report brings the same opening into the from-date, the export's opening transaction
//     too: a subsidiary's OpenBal plus its earlier rows, while the OpenBal that every control and
//     sub-control account of this book holds counts for nothing; `quoravel-admin check` reports
//     those.
#include "bookfixture.h"
#include "db/adminrun.h"
#include "db/money.h"
#include "reports/journalexport.h"
#include "reports/openings.h"
#include "reports/procedures.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"
#include "vouchers/voucherstore.h"

#include <QBuffer>
#include <QSqlQuery>

using namespace qv::rpt;
using qv::Money;

namespace {
QString shown(qint64 cents)
{
    return qv::displayAmount(Money(cents));
}
} // namespace

class TstReportInvariants : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    qvt::RandomBook book;
    QRandomGenerator rng{20261207};

    QList<QPair<QDate, qint64>> entries; // (day, account) of every detail row

    QDate randomDate()
    {
        const QDate lo = book.first.addDays(-20);
        return lo.addDays(rng.bounded(int(lo.daysTo(book.last.addDays(20))) + 1));
    }
    QPair<QDate, qint64> randomEntry() { return entries[rng.bounded(int(entries.size()))]; }
    // Closing per account from tmpTrialBalance3 (absent = 0).
    QHash<qint64, qint64> tb3Closings()
    {
        QHash<qint64, qint64> out;
        QSqlQuery q = Conn.query("select AcCode, CloseDr, CloseCr from tmpTrialBalance3");
        while (q.next())
            out[q.value(0).toLongLong()] = qvt::money(q.value(1)).cents - qvt::money(q.value(2)).cents;
        return out;
    }
    // The ledger's opening (line 0) and closing (last line), signed.
    QPair<qint64, qint64> ledgerEnds()
    {
        QSqlQuery q = Conn.query("select Balance from tmpAcLedger order by LineNo");
        QList<qint64> b;
        while (q.next())
            b << qvt::money(q.value(0)).cents;
        return {b.first(), b.last()};
    }

    // Worked out here from the stored rows: OpenBal of a subsidiary plus its rows before `at`.
    qint64 expectedOpening(qint64 account, const QDate& at)
    {
        QSqlQuery o = Conn.query("select AcStatus, OpenBal from Accounts where RowID = ?", {account});
        qint64 cents = o.next() && o.value(0).toString().trimmed() == "DD" ? qvt::money(o.value(1)).cents : 0;
        QSqlQuery q = Conn.query("select DrAmt, CrAmt from DetJV where AcCode = ? and VouDate < ?", {account, at});
        while (q.next())
            cents += qvt::money(q.value(0)).cents - qvt::money(q.value(1)).cents;
        return cents;
    }
    qint64 ledgerOpening(const QString& statement)
    {
        Conn.execute(statement);
        return qvt::money(Conn.scalar("select Balance from tmpAcLedger where LineNo = 0")).cents;
    }
    // The postings of the journal's opening transaction, by journal account name.
    static QHash<QString, qint64> journalOpenings(const QString& journal)
    {
        QHash<QString, qint64> out;
        const QStringList lines = journal.split('\n');
        for (int i = int(lines.indexOf(QRegularExpression(".* Opening balances$"))) + 1;
             i > 0 && i < lines.size() && lines[i].startsWith("    "); ++i) {
            const int gap = int(lines[i].lastIndexOf("  "));
            out.insert(lines[i].mid(4, gap - 4), qv::parseAmount(lines[i].mid(gap + 2))->cents);
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        db = qvt::TestDb::create(false);
        db.connect(Conn);
        LoginUser = db.user;
        LoginPassword = db.password;
        installProcedures(Conn);
        Conn.execute("insert into Company (Company, comActive) values ('RANDOM BOOKS', 'Y')");
        book = qvt::writeRandomBook(rng, 120, true);
        QSqlQuery q = Conn.query("select distinct VouDate, AcCode from DetJV order by 1, 2");
        while (q.next())
            entries << qMakePair(q.value(0).toDate(), q.value(1).toLongLong());
        QVERIFY(entries.size() > 100);
    }
    void cleanupTestCase()
    {
        Conn.close();
        db.drop();
    }

    void closingAgreesInEveryReport()
    {
        for (int round = 0; round < 6; ++round) {
            const bool onEntries = round % 2;
            QDate from = onEntries ? randomEntry().first : randomDate();
            QDate to = onEntries ? randomEntry().first : randomDate();
            if (onEntries && from > to)
                std::swap(from, to);
            if (round == 0)
                to = from.addDays(-3); // a from-date after the to-date
            Conn.execute(trialBalance3Statement(from, to));
            const auto tb3 = tb3Closings();
            for (qint64 a : book.accounts) {
                const QString where = QStringLiteral("account %1, %2 .. %3")
                                          .arg(a)
                                          .arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
                Conn.execute(acLedgerStatement(a, from, to));
                const auto simple = ledgerEnds();
                Conn.execute(detailAcLedgerStatement(a, from, to));
                const auto detail = ledgerEnds();
                const auto bookDoc = qvt::cashOrBankBook(a, from, to);
                const qint64 bookClosing = qvt::balanceCents(qvt::figureAfter(*bookDoc, "Closing Balance"));
                const qint64 bookOpening = qvt::balanceCents(qvt::figureAfter(*bookDoc, "Opening Balance"));
                QVERIFY2(simple.second == tb3.value(a), qPrintable(where));
                QVERIFY2(detail == simple, qPrintable(where));
                QVERIFY2(bookClosing == simple.second, qPrintable(where));
                QVERIFY2(bookOpening == simple.first, qPrintable(where));
                QVERIFY2(simple.first == OpeningBalances(Conn).of(a, from).cents, qPrintable(where));
            }
        }
    }

    void closingOfOneRangeIsOpeningOfTheNext()
    {
        for (int round = 0; round < 8; ++round) {
            QDate a = randomDate(), c = randomDate();
            if (a > c)
                std::swap(a, c);
            QDate b = a.addDays(rng.bounded(int(a.daysTo(c)) + 1));
            qint64 account = book.accounts[rng.bounded(int(book.accounts.size()))];
            if (round % 2) { // the next range starts on a day with entries of the account
                const auto [day, ac] = randomEntry();
                b = day.addDays(-1), account = ac;
                a = qMin(a, b), c = qMax(c, day);
            }
            Conn.execute(acLedgerStatement(account, a, b));
            const qint64 closing = ledgerEnds().second;
            Conn.execute(detailAcLedgerStatement(account, b.addDays(1), c));
            QCOMPARE(ledgerEnds().first, closing);
            Conn.execute(trialBalance3Statement(b.addDays(1), c));
            QSqlQuery q = Conn.query("select OpenDr, OpenCr from tmpTrialBalance3 where AcCode = ?", {account});
            const qint64 tbOpening = q.next() ? qvt::money(q.value(0)).cents - qvt::money(q.value(1)).cents : 0;
            QCOMPARE(tbOpening, closing);
        }
    }

    void trialBalancesBalanceAndControlIsTheSumOfSubsidiaries()
    {
        for (int round = 0; round < 5; ++round) {
            QDate from = randomDate(), to = randomDate();
            if (from > to)
                std::swap(from, to);
            const auto simple = qvt::trialBalance("rptTrialBalance.rpt", from, to);
            // Per control account, the sums of the subsidiary nets, from the work table.
            QMap<QString, QPair<qint64, qint64>> byControl;
            QHash<QString, QString> names;
            qint64 dr = 0, cr = 0, moved = 0;
            QSqlQuery q = Conn.query("select CtlNodes, CtlName, NetDr, NetCr, DrAmt, CrAmt from tmpTrialBalance");
            while (q.next()) {
                auto& c = byControl[q.value(0).toString()];
                names[q.value(0).toString()] = q.value(1).toString();
                c.first += qvt::money(q.value(2)).cents;
                c.second += qvt::money(q.value(3)).cents;
                dr += qvt::money(q.value(2)).cents;
                cr += qvt::money(q.value(3)).cents;
                moved += qvt::money(q.value(4)).cents - qvt::money(q.value(5)).cents;
            }
            QCOMPARE(dr, cr);
            QCOMPARE(moved, 0);
            QCOMPARE(qvt::figureAfter(*simple, "Total"), shown(dr));
            const auto control = qvt::trialBalance("rptTrialBalance2.rpt", from, to);
            QCOMPARE(qvt::figureAfter(*control, "Total"), shown(dr));
            QStringList texts;
            for (int p = 0; p < control->pageCount(); ++p)
                texts << control->pageTexts(p);
            for (auto it = byControl.cbegin(); it != byControl.cend(); ++it) {
                const int at = int(texts.indexOf("Total " + names[it.key()]));
                QVERIFY(at >= 0);
                QCOMPARE(texts.mid(at + 1, 2), QStringList({shown(it->first), shown(it->second)}));
            }
            const auto withOpening = qvt::trialBalance("rptTrialBalance3.rpt", from, to);
            QSqlQuery t = Conn.query("select sum(DrAmt), sum(CrAmt), sum(OpenDr) , sum(OpenCr), sum(CloseDr), "
                                     "sum(CloseCr) from tmpTrialBalance3");
            QVERIFY(t.next());
            QCOMPARE(qvt::money(t.value(0)), qvt::money(t.value(1)));
            // Closing minus opening is the range's movement, which balances.
            QCOMPARE(qvt::money(t.value(4)).cents - qvt::money(t.value(5)).cents,
                     qvt::money(t.value(2)).cents - qvt::money(t.value(3)).cents);
            QVERIFY(withOpening->pageCount() >= 1);
        }
    }

    // The ledgers' lines as the book's rows give them: a detail ledger's one per row in date,
    // voucher and entry order with its texts; a simple ledger's one per voucher with its sums.
    void ledgerLinesAreTheBooksRows()
    {
        auto rows = [](const QString& sql, const QVariantList& params) {
            QStringList out;
            QSqlQuery q = Conn.query(sql, params);
            while (q.next())
                out << QStringLiteral("%1 %2-%3 %4 %5 %6 %7")
                           .arg(q.value(0).toDate().toString(Qt::ISODate), q.value(1).toString().trimmed(),
                                q.value(2).toString(), shown(qvt::money(q.value(3)).cents),
                                shown(qvt::money(q.value(4)).cents), q.value(5).toString(), q.value(6).toString());
            return out;
        };
        for (int round = 0; round < 8; ++round) {
            QDate from = randomDate(), to = randomDate();
            if (from > to)
                std::swap(from, to);
            const qint64 a = round % 2 ? randomEntry().second : book.accounts[rng.bounded(int(book.accounts.size()))];
            const QVariantList range{a, from, to};
            Conn.execute(detailAcLedgerStatement(a, from, to));
            QCOMPARE(rows("select VouDate, VouStatus, VouNo, DrAmt, CrAmt, Particulars, Naration from tmpAcLedger "
                          "where LineNo > 0 order by LineNo",
                          {}),
                     rows("select d.VouDate, d.VouStatus, d.VouNo, coalesce(d.DrAmt, 0), coalesce(d.CrAmt, 0), "
                          "coalesce(o.AcName, m.PaidReceive), d.Naration from DetJV d left join Accounts o on "
                          "o.RowID = d.CrAc left join MasJV m on m.VouStatus = d.VouStatus and m.VouNo = d.VouNo "
                          "where d.AcCode = ? and d.VouDate >= ? and d.VouDate <= ? "
                          "order by d.VouDate, d.VouStatus, d.VouNo, d.EntryNo, d.RowID",
                          range));
            Conn.execute(acLedgerStatement(a, from, to));
            QCOMPARE(rows("select VouDate, VouStatus, VouNo, DrAmt, CrAmt, Particulars, Naration from tmpAcLedger "
                          "where LineNo > 0 order by LineNo",
                          {}),
                     rows("select d.VouDate, d.VouStatus, d.VouNo, sum(coalesce(d.DrAmt, 0)), "
                          "sum(coalesce(d.CrAmt, 0)), min(m.PaidReceive), null from DetJV d left join MasJV m on "
                          "m.VouStatus = d.VouStatus and m.VouNo = d.VouNo where d.AcCode = ? and d.VouDate >= ? and "
                          "d.VouDate <= ? group by d.VouDate, d.VouStatus, d.VouNo "
                          "order by d.VouDate, d.VouStatus, d.VouNo",
                          range));
        }
    }

    void longLedgersRunOnLineByLine()
    {
        // Enough rows that the work table is written in several batches and a remainder.
        const qint64 a = book.accounts[5], other = book.accounts[6];
        qv::VoucherStore store(Conn);
        for (int i = 0; i < 97; ++i) {
            qv::Voucher v;
            v.kind = qv::VoucherKind::JV;
            v.date = QDate(2026, 3, 1).addDays(i % 20);
            v.number = store.nextNumber(v.kind, 1);
            qv::VoucherLine l;
            l.drAc = i % 3 ? a : other;
            l.crAc = i % 3 ? other : a;
            l.amount = Money(1001 + i);
            v.lines.push_back(l);
            store.save(v, true, "tester");
        }
        const QDate from(2026, 1, 1), to(2026, 6, 30);
        const qint64 rows =
            Conn.scalar("select count(*) from DetJV where AcCode = ? and VouDate >= ? and VouDate <= ?", {a, from, to})
                .toLongLong();
        QVERIFY(rows > 97);
        Conn.execute(detailAcLedgerStatement(a, from, to));
        const qint64 opening = OpeningBalances(Conn).of(a, from).cents,
                     closing = OpeningBalances(Conn).of(a, to.addDays(1)).cents;
        QSqlQuery q = Conn.query("select LineNo, DrAmt, CrAmt, Balance from tmpAcLedger order by LineNo");
        qint64 n = 0, balance = 0;
        while (q.next()) {
            QCOMPARE(q.value(0).toLongLong(), n);
            const qint64 expected =
                n == 0 ? opening : balance + qvt::money(q.value(1)).cents - qvt::money(q.value(2)).cents;
            QCOMPARE(qvt::money(q.value(3)).cents, expected);
            balance = expected;
            ++n;
        }
        QCOMPARE(n, rows + 1);
        QCOMPARE(balance, closing);
    }

    void everyReportBringsTheSameOpening()
    {
        const QHash<qint64, QString> names = journalAccountNames(Conn);
        for (int round = 0; round < 3; ++round) {
            const QDate from = book.first.addDays(rng.bounded(int(book.first.daysTo(book.last))));
            const QDate to = from.addDays(rng.bounded(120));
            Conn.execute(trialBalance3Statement(from, to));
            QHash<qint64, qint64> tb3;
            QSqlQuery t = Conn.query("select AcCode, OpenDr, OpenCr from tmpTrialBalance3");
            while (t.next())
                tb3[t.value(0).toLongLong()] = qvt::money(t.value(1)).cents - qvt::money(t.value(2)).cents;
            QBuffer journal;
            journal.open(QIODevice::WriteOnly);
            ExportOptions o;
            o.from = from;
            exportJournal(Conn, o, journal);
            const auto exported = journalOpenings(QString::fromUtf8(journal.data()));
            QVERIFY(!exported.isEmpty());
            const QMap<qint64, Money> batched = OpeningBalances(Conn).all(from);
            for (const qint64 a : book.accounts + book.heads) {
                const QString where = QString("account %1 at %2").arg(a).arg(from.toString(Qt::ISODate));
                const qint64 expected = expectedOpening(a, from);
                const auto bookDoc = qvt::cashOrBankBook(a, from, to);
                QVERIFY2(qvt::balanceCents(qvt::figureAfter(*bookDoc, "Opening Balance")) == expected,
                         qPrintable(where));
                QVERIFY2(ledgerOpening(acLedgerStatement(a, from, to)) == expected, qPrintable(where));
                QVERIFY2(ledgerOpening(detailAcLedgerStatement(a, from, to)) == expected, qPrintable(where));
                QVERIFY2(tb3.value(a) == expected, qPrintable(where));
                QVERIFY2(exported.value(names.value(a)) == expected, qPrintable(where));
                QVERIFY2(batched.value(a).cents == expected, qPrintable(where));
            }
        }
    }

    // Last: it changes the book.
    void checkReportsOpeningsOnHeads()
    {
        const QString openBals = "select sum(OpenBal) from Accounts";
        const QVariant before = Conn.scalar(openBals);
        const qvt::Run found = qvt::runAdmin(QStringList{"check"} + qvt::target(db));
        QCOMPARE(found.code, 3);
        QSqlQuery q = Conn.query("select AcNodes from Accounts where AcStatus <> 'DD'");
        while (q.next())
            QVERIFY2(
                found.out.contains(QRegularExpression("^  " + QRegularExpression::escape(q.value(0).toString()) + " ",
                                                      QRegularExpression::MultilineOption)),
                qPrintable(found.out));
        QCOMPARE(Conn.scalar(openBals), before); // reported, never changed
        Conn.execute("update Accounts set OpenBal = null where AcStatus <> 'DD'");
        const qvt::Run clean = qvt::runAdmin(QStringList{"check"} + qvt::target(db));
        QVERIFY2(clean.code == 0, qPrintable(clean.out + clean.err));
    }
};

QTEST_MAIN(TstReportInvariants)
#include "tst_reportinvariants.moc"
