// Bank reconciliation on both backends over the hand-worked example (bankexample.h): each
// month's figures and finish, the clearings a later month leaves alone, and the refusals that
// keep a finished reconciliation true whoever writes to the book.
#include "admin/removedata.h"
#include "bankrec/reconciliation.h"
#include "bankrec/recstatement.h"
#include "support/adminrun.h"
#include "db/audittrail.h"
#include "db/logins.h"
#include "db/schema.h"
#include "support/dbfixture.h"
#include "tests/bankrec/bankexample.h"

#include <QTemporaryDir>
#include <memory>

using qv::BankLine;
using qvt::units;
using Ex = qvt::BankExample;

class TstBankRec : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    std::unique_ptr<qv::Book> book;
    Ex ex;
    int clerks = 0;

    qv::Connection& c() { return book->connection(); }
    qv::Reconciliation rec() { return qv::Reconciliation(*book); }
    // The ticks that clear what the bank cleared in `month`, found by voucher in the listed lines.
    QHash<qint64, QDate> ticksOf(const std::vector<BankLine>& lines, int month)
    {
        const QMap<QString, QDate> when = Ex::cleared(month);
        QHash<qint64, QDate> out;
        for (const BankLine& l : lines)
            if (when.contains(l.voucher()))
                out.insert(l.rowId, when.value(l.voucher()));
        return out;
    }
    QStringList vouchers(const std::vector<BankLine>& lines, BankLine::State state)
    {
        QStringList out;
        for (const BankLine& l : lines)
            if (l.state == state)
                out << l.voucher();
        return out;
    }
    // The month's reconciliation as the accountant does it: list, tick what the bank cleared,
    // see the difference reach 0.00, finish.
    qint64 reconcile(int month, const QDate& date, qint64 statement)
    {
        const std::vector<BankLine> lines = rec().lines(ex.bank, date);
        const QHash<qint64, QDate> ticks = ticksOf(lines, month);
        if (ticks.size() != Ex::cleared(month).size())
            qFatal("month %d: the example's lines are not listed", month);
        std::vector<BankLine> ticked = lines;
        for (BankLine& l : ticked)
            if (ticks.contains(l.rowId))
                l.state = BankLine::State::Ticked;
        const qv::ReconFigures f =
            qv::Reconciliation::figures(rec().bookBalance(ex.bank, date), units(statement), ticked);
        if (f.difference != qv::Money() || f.cleared != units(statement))
            qFatal("month %d: cleared %s, difference %s", month, qPrintable(qv::displayAmount(f.cleared)),
                   qPrintable(qv::displayAmount(f.difference)));
        return rec().finish(ex.bank, date, units(statement), ticks, db.user).id;
    }
    template <typename F> void refused(F write, const QString& words)
    {
        try {
            write();
            QFAIL("not refused");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains(words), qPrintable(e.description()));
        }
    }
    qv::Voucher opened(qv::VoucherKind k, qint64 no) { return *qv::VoucherStore(c()).open(k, no); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        db = qvt::TestDb::create(false);
        book = std::make_unique<qv::Book>();
        book->setProgramFolder(QStringLiteral(QVT_TEMPLATES_DIR));
        db.connect(c());
        ex = Ex();
        ex.make(c(), db.user);
    }
    void cleanup()
    {
        book.reset();
        db.drop();
    }

    void threeMonthsReconcileToTheBanksStatements()
    {
        // January: every line open; the book is 14,500.00, the bank 13,000.00.
        std::vector<BankLine> jan = rec().lines(ex.bank, Ex::jan31());
        QCOMPARE(vouchers(jan, BankLine::State::Open), (QStringList{"BR-1", "BP-1", "BP-2", "BR-2"}));
        QCOMPARE(rec().bookBalance(ex.bank, Ex::jan31()), units(14500));
        // Nothing ticked: cleared = 14,500 - (5,000 + 3,000) + (2,000 + 1,500) = 10,000.00.
        const qv::ReconFigures none = qv::Reconciliation::figures(units(14500), units(13000), jan);
        QCOMPARE(none.cleared, units(10000));
        QCOMPARE(none.difference, units(3000));
        refused([&] { rec().finish(ex.bank, Ex::jan31(), units(13000), {}, db.user); }, "The difference is 3,000.00");
        reconcile(1, Ex::jan31(), 13000);

        // February: January's open lines come back first, January's cleared ones are locked.
        // Book 12,300.00; open after the ticks: BP-3 (4,000.00), so the bank is 16,300.00.
        const std::vector<BankLine> feb = rec().lines(ex.bank, Ex::feb28());
        QCOMPARE(vouchers(feb, BankLine::State::Open), (QStringList{"BP-2", "BR-2", "BP-3", "BR-3", "BP-4"}));
        QCOMPARE(vouchers(feb, BankLine::State::Cleared), (QStringList{"BR-1", "BP-1"}));
        QCOMPARE(rec().bookBalance(ex.bank, Ex::feb28()), units(12300));
        // Postponed ticks are kept and nothing is recorded.
        rec().postpone(ex.bank, Ex::feb28(), ticksOf(feb, 2), db.user);
        QCOMPARE(rec().last(ex.bank)->date, Ex::jan31());
        const std::vector<BankLine> again = rec().lines(ex.bank, Ex::feb28());
        QCOMPARE(vouchers(again, BankLine::State::Ticked), (QStringList{"BP-2", "BR-2", "BR-3", "BP-4"}));
        reconcile(2, Ex::feb28(), 16300);

        // March, with the cash paid into the bank (a mirrored cash voucher line): book 13,300.00,
        // BR-4 (1,200.00) not yet credited, bank 12,100.00.
        QCOMPARE(rec().bookBalance(ex.bank, Ex::mar31()), units(13300));
        reconcile(3, Ex::mar31(), 12100);
        const std::vector<BankLine> apr = rec().lines(ex.bank, QDate(2026, 4, 30));
        QCOMPARE(vouchers(apr, BankLine::State::Open), QStringList{"BR-4"});
        QCOMPARE(vouchers(apr, BankLine::State::Cleared), (QStringList{"BP-3", "BP-5", "CP-1"}));

        // Each finish is in the audit trail.
        int finished = 0;
        for (const qv::AuditRecord& r : qv::AuditTrail(c()).records({}))
            finished += r.action == "reconciliation finished";
        QCOMPARE(finished, 3);
    }

    void clearingDatesAndStatementDatesKeepTheirOrder()
    {
        reconcile(1, Ex::jan31(), 13000);
        const std::vector<BankLine> feb = rec().lines(ex.bank, Ex::feb28());
        const qint64 bp2 = feb.front().rowId;
        refused(
            [&] {
                rec().postpone(ex.bank, Ex::feb28(), {{bp2, Ex::jan31()}}, db.user);
            },
            "belongs to the reconciliation finished as at 31-01-2026");
        refused(
            [&] {
                rec().postpone(ex.bank, Ex::feb28(), {{bp2, QDate(2026, 3, 1)}}, db.user);
            },
            "on or before the statement date");
        refused([&] { rec().finish(ex.bank, Ex::jan31(), units(13000), {}, db.user); },
                "reconciled as at 31-01-2026 already");
    }

    // The statement of any date is made again from the clearings: book balance - receipts not
    // yet credited + cheques not yet presented = the bank's balance, which for a finished date
    // is the statement balance that finished it.
    void theStatementExplainsTheDifferenceAtAnyDate()
    {
        reconcile(1, Ex::jan31(), 13000);
        reconcile(2, Ex::feb28(), 16300);
        reconcile(3, Ex::mar31(), 12100);
        struct Expect {
            QDate at;
            qint64 book, uncredited, unpresented, bank;
            QStringList receipts, cheques, early;
            std::optional<qint64> finished;
        };
        const QList<Expect> expected = {
            // 14,500 - 3,000 (BR-2, credited 02-02) + 1,500 (BP-2, presented 03-02) = 13,000
            {Ex::jan31(), 14500, 3000, 1500, 13000, {"BR-2"}, {"BP-2"}, {}, 13000},
            // 10-02: book 14,500 - 4,000 = 10,500; BP-3 out till 05-03: the bank held 14,500
            {QDate(2026, 2, 10), 10500, 0, 4000, 14500, {}, {"BP-3"}, {}, std::nullopt},
            // 12,300 + 4,000 (BP-3) = 16,300; BR-3 was credited on 14-02, before its date 15-02
            {Ex::feb28(), 12300, 0, 4000, 16300, {}, {"BP-3"}, {"BR-3"}, 16300},
            // 13,300 - 1,200 (BR-4, credited 01-04) = 12,100
            {Ex::mar31(), 13300, 1200, 0, 12100, {"BR-4"}, {}, {"BR-3"}, 12100},
        };
        for (const Expect& e : expected) {
            qv::Reconciliation r = rec();
            const qv::RecStatement st = qv::reconciliationStatement(r, c(), ex.bank, e.at);
            const QString at = e.at.toString(Qt::ISODate);
            QVERIFY2(st.book == units(e.book), qPrintable(at));
            QVERIFY2(st.uncredited == units(e.uncredited), qPrintable(at));
            QVERIFY2(st.unpresented == units(e.unpresented), qPrintable(at));
            QVERIFY2(st.bank == units(e.bank), qPrintable(at));
            auto names = [](const std::vector<BankLine>& lines) {
                QStringList out;
                for (const BankLine& l : lines)
                    out << l.voucher();
                return out;
            };
            QCOMPARE(names(st.uncreditedLines), e.receipts);
            QCOMPARE(names(st.unpresentedLines), e.cheques);
            QCOMPARE(names(st.earlyLines), e.early);
            QCOMPARE(st.finished.has_value(), e.finished.has_value());
            if (e.finished)
                QCOMPARE(*st.finished, units(*e.finished));
        }
        // The same figures through the report, prepared by its exec statement on the command line
        // (a line still open at the date shows when the bank cleared it later).
        QTemporaryDir tmp;
        const QString csv = tmp.filePath("rec.csv");
        const qvt::AdminRun run = qvt::runAdmin({"report", "rptBankRec.rpt", "--server", db.dataSource, "--catalog",
                                                 db.catalog, "--user", db.user, "--password", db.password, "--csv", csv,
                                                 "--exec", qv::bankRecStatement(ex.bank, Ex::jan31())});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        for (const char* line :
             {"Balance as per book,,,,,,,14500.00", ",2026-01-30,BR-2,CUSTOMER,,2026-02-02,3000.00,",
              "Total receipts not yet credited,,,,,,,-3000.00", ",2026-01-20,BP-2,SUPPLIER,100102,2026-02-03,1500.00,",
              "Balance as per bank statement,,,,,,,13000.00",
              "Statement balance of the reconciliation finished as at 31-01-2026,,,,,,,13000.00"})
            QVERIFY2(text.contains(QLatin1String(line)), qPrintable(line + QString("\n in \n") + text));
    }

    // A finished clearing holds its voucher: the store, Remove Data's path and raw SQL all stop.
    void aClearedVoucherCannotChange()
    {
        reconcile(1, Ex::jan31(), 13000);
        qv::VoucherStore store(c());
        qv::Voucher bp1 = opened(qv::VoucherKind::BP, 1);
        bp1.lines.front().amount = units(2100);
        const QString words = "cleared in the bank reconciliation of HABIB BANK as at 31-01-2026";
        refused([&] { store.save(bp1, false, db.user); }, words);
        refused([&] { store.remove(qv::VoucherKind::BP, 1, bp1.rowId); }, words);
        const QString sql = "select count(*) from DetJV where VouStatus = 'BP' and VouNo = 1";
        for (const char* raw : {"delete from DetJV where VouStatus = 'BP' and VouNo = 1",
                                "update DetJV set DrAmt = 1 where VouStatus = 'BP' and VouNo = 1"})
            refused([&] { c().execute(raw); }, "finished bank reconciliation");
        qv::RemoveData rd(c());
        qv::RemovalChoice all;
        all.vouchers = true;
        all.from = QDate(2026, 1, 1);
        all.to = QDate(2026, 12, 31);
        refused([&] { rd.remove(all, rd.count(all)); }, "finished bank reconciliation");
        QCOMPARE(c().scalar(sql).toInt(), 2);
        // An uncleared voucher changes as before.
        qv::Voucher bp2 = opened(qv::VoucherKind::BP, 2);
        bp2.lines.front().narration = "LATE CHEQUE";
        QCOMPARE(int(store.save(bp2, false, db.user).outcome), int(qv::SaveResult::Outcome::Saved));
        if (qvt::backend() == qv::Backend::Postgres) {
            // Nor may a login's own SQL undo the reconciliation behind the store's back.
            for (const char* raw : {"update BankClearing set ReconID = null", "delete from BankClearing"})
                refused([&] { c().execute(raw); }, "only when a manager undoes it");
            for (const char* raw : {"delete from BankRecon", "update BankRecon set StmtBal = 0"})
                refused([&] { c().execute(raw); }, "permission denied");
            QCOMPARE(c().scalar("select count(*) from BankClearing where ReconID is not null").toInt(), 2);
        }
    }

    // A tick kept by Postpone goes with a change of its voucher, and the window is told which.
    void aChangedVoucherLosesItsTick()
    {
        const std::vector<BankLine> jan = rec().lines(ex.bank, Ex::jan31());
        rec().postpone(ex.bank, Ex::jan31(), ticksOf(jan, 1), db.user);
        qv::Voucher br1 = opened(qv::VoucherKind::BR, 1);
        br1.lines.front().amount = units(5100);
        qv::VoucherStore(c()).save(br1, false, db.user);
        QCOMPARE(vouchers(rec().lines(ex.bank, Ex::jan31()), BankLine::State::Ticked), QStringList{"BP-1"});
        QCOMPARE(rec().takeLostTicks(ex.bank), QStringList{"BR-1"});
        QCOMPARE(rec().takeLostTicks(ex.bank), QStringList());
        // A tick still held in the window for the line that went is refused, nothing kept.
        refused([&] { rec().finish(ex.bank, Ex::jan31(), units(13000), ticksOf(jan, 1), db.user); },
                "no longer in the bank book");
        QCOMPARE(rec().last(ex.bank), std::nullopt);
    }

    void undoIsAManagersAndTicksTheLinesAgain()
    {
        const qint64 janId = reconcile(1, Ex::jan31(), 13000);
        const qint64 febId = reconcile(2, Ex::feb28(), 16300);
        const QString clerk = QString("clerk%1_%2").arg(QCoreApplication::applicationPid()).arg(++clerks);
        qv::Logins::add(c(), clerk, "clerk pass 1", qv::Logins::HashCost::Minimal);
        refused([&] { rec().undo(febId, clerk); }, "Only a manager");
        refused([&] { rec().undo(janId, db.user); }, "Only the latest");
        rec().undo(febId, db.user);
        QCOMPARE(rec().last(ex.bank)->date, Ex::jan31());
        const std::vector<BankLine> feb = rec().lines(ex.bank, Ex::feb28());
        QCOMPARE(vouchers(feb, BankLine::State::Ticked), (QStringList{"BP-2", "BR-2", "BR-3", "BP-4"}));
        bool undone = false;
        for (const qv::AuditRecord& r : qv::AuditTrail(c()).records({}))
            undone = undone || (r.action == "reconciliation undone" && r.before.contains("16300"));
        QVERIFY(undone);
        QVERIFY(!qv::AuditTrail(c()).verify());
    }

    // A book of the version before gets the two tables, empty, with their guards.
    void upgradeBringsTheClearings()
    {
        book.reset();
        db.makeOlder(qv::Schema::BankRecFrom - 1);
        {
            qv::Connection admin;
            db.connectAdmin(admin);
            qv::Schema::migrate(admin);
        }
        book = std::make_unique<qv::Book>();
        book->setProgramFolder(QStringLiteral(QVT_TEMPLATES_DIR));
        db.connect(c());
        QCOMPARE(qv::Schema::version(c()), qv::Schema::CurrentVersion);
        reconcile(1, Ex::jan31(), 13000);
        refused([&] { c().execute("delete from DetJV where VouStatus = 'BP' and VouNo = 1"); },
                "finished bank reconciliation");
    }
};

QTEST_GUILESS_MAIN(TstBankRec)
#include "tst_bankrec.moc"
