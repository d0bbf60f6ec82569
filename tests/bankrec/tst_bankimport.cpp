// The bank statement import on both backends: the file is read whole or refused with its line,
// each statement line is proposed against the example's bank book (cheque and amount first,
// then amount and a near date), the book's missing lines are listed, and nothing is ticked
// until confirmed.
#include "bankrec/bankimport.h"
#include "reportengine/report.h"
#include "support/adminrun.h"
#include "support/dbfixture.h"
#include "tests/bankrec/bankexample.h"

#include <QTemporaryDir>
#include <memory>

using Ex = qvt::BankExample;

namespace {
// January as the bank printed it: BR-1 a day after its date, BP-1 by its cheque, the bank's own
// charges (not in the book), and 1,500.00 paid on 25-01 with no cheque number (BP-2, five days on).
const char* January = "Date,Description,Cheque,Debit,Credit,Balance\r\n"
                      "06-01-2026,\"CLEARING, CUSTOMER\",,,\"5,000.00\",15000.00\r\n"
                      "15-01-2026,CHEQUE,100101,2000.00,,13000.00\r\n"
                      "20-01-2026,BANK CHARGES,,45.00,,12955.00\r\n"
                      "25-01-2026,CHEQUE,,1500.00,,11455.00\r\n";
} // namespace

class TstBankImport : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    std::unique_ptr<qv::Connection> c;
    Ex ex;
    QTemporaryDir tmp;

    qv::Reconciliation rec() { return qv::Reconciliation(*c, qv::rpt::templateFolders(QVT_TEMPLATES_DIR)); }
    QStringList proposed(const qv::Matching& m, const std::vector<qv::BankLine>& lines)
    {
        QStringList out;
        for (const qv::MatchProposal& p : m.proposals)
            out << QString("%1:%2").arg(p.statementIndex).arg(lines[p.lineIndex].voucher());
        return out;
    }
    qvt::AdminRun import(const QByteArray& csv, const QStringList& more = {})
    {
        const QString file = tmp.filePath("statement.csv");
        QFile f(file);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(csv);
        f.close();
        return qvt::runAdmin(QStringList{"bank-import", "--server", db.dataSource, "--catalog", db.catalog, "--user",
                                         db.user, "--password", db.password, "--account", "1.1.1", "--csv", file}
                             + more);
    }
    int ticked() { return c->scalar("select count(*) from BankClearing where ReconID is null").toInt(); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        db = qvt::TestDb::create(false);
        c = std::make_unique<qv::Connection>();
        db.connect(*c);
        ex = Ex();
        ex.make(*c, db.user);
    }
    void cleanup()
    {
        c.reset();
        db.drop();
    }

    void badInputNamesItsLineAndImportsNothing()
    {
        const QByteArray head = "Date,Description,Cheque,Debit,Credit\n06-01-2026,A,,,5000\n";
        const QList<QPair<QByteArray, QString>> cases = {
            {head + "31-02-2026,B,,,1\n", "Line 3: \"31-02-2026\" is not a date"},
            {head + "07-01-2026,B,,10,20\n", "Line 3: a line needs either a debit or a credit"},
            {head + "07-01-2026,B,,1,5,00\n", "Line 3: 6 fields where the header has 5"},
            {head + "07-01-2026,B,,1\n", "Line 3: 4 fields"},
            {head + "07-01-2026,\"B\n,,1,\n", "Line 3: a quote is not closed"},
            {head + "07-01-2026,B,,abc,\n", "Line 3: the debit \"abc\" is not an amount"},
            {"Day,Debit,Credit\n", "Line 1: the header names no column \"Date\""},
        };
        for (const auto& [csv, words] : cases) {
            const qvt::AdminRun r = import(csv, {"--confirm"});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(words) && r.err.contains("Nothing was imported"), qPrintable(r.err));
        }
        QCOMPARE(ticked(), 0);
    }

    void linesAreProposedByChequeThenByAmountAndDate()
    {
        const std::vector<qv::StatementLine> st = qv::readStatementCsv(January);
        QCOMPARE(int(st.size()), 4);
        QCOMPARE(st[0].description, QString("CLEARING, CUSTOMER"));
        QCOMPARE(st[0].credit, qvt::units(5000));
        const std::vector<qv::BankLine> lines = rec().lines(ex.bank, Ex::jan31());
        // Within 3 days the 1,500.00 of 25-01 finds no line; within 5 it is BP-2 (20-01).
        const qv::Matching three = qv::matchStatement(st, lines, 3);
        QCOMPARE(proposed(three, lines), (QStringList{"0:BR-1", "1:BP-1"}));
        QCOMPARE(three.proposals[1].how, qv::MatchProposal::How::Cheque);
        QCOMPARE(three.unmatched, (std::vector<int>{2, 3}));
        const qv::Matching five = qv::matchStatement(st, lines, 5);
        QCOMPARE(proposed(five, lines), (QStringList{"0:BR-1", "1:BP-1", "3:BP-2"}));
        QCOMPARE(five.unmatched, std::vector<int>{2});

        // The command line proposes the same and ticks nothing until --confirm.
        qvt::AdminRun r = import(January, {"--statement-date", "2026-01-31"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("Proposed matches: 2 (1 by cheque number and amount, 1 by amount"), qPrintable(r.out));
        QVERIFY2(r.out.contains("Not in the book (to be entered): 2"), qPrintable(r.out));
        QVERIFY(r.out.contains("BANK CHARGES"));
        QCOMPARE(ticked(), 0);
        r = import(January, {"--statement-date", "2026-01-31", "--confirm"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(ticked(), 2);
        QCOMPARE(c->scalar("select ClearDate from BankClearing b join DetJV d on d.RowID = b.DetRowID where "
                           "d.VouStatus = 'BP' and d.VouNo = 1")
                     .toDate(),
                 QDate(2026, 1, 15));
    }
};

QTEST_GUILESS_MAIN(TstBankImport)
#include "tst_bankimport.moc"
