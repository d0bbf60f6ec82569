// The voucher store on both backends: the detail rows of each kind against the raw tables, the
// number sequences, a changed voucher, a failure at every statement of a save and a delete, exact
// cents and the refused amounts (two stations on one book have a suite of their own).
#include "voucherstoresuite.h"

using qv::Money;
using qv::SaveResult;
using qvt::amount;

class TstVoucherStore : public qvt::VoucherStoreSuite {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { openBook(); }
    void cleanup() { closeBook(); }

    void rowShapesOfEachKind()
    {
        // Journal 500.00 from A to B: two rows of entry 1, each naming the other side.
        store->save(voucher(K::JV, 1, {line(A, B, "500", "Rent, 50% share", "CHQ'1", "12 34", "")}), true, "clerk");
        QCOMPARE(detail(K::JV, 1), QStringList({"1|A|B|500.00|0.00|CHQ'1|Rent, 50% share|12 34|<null>|2025-09-14",
                                                "1|B|A|0.00|500.00|CHQ'1|Rent, 50% share|12 34|<null>|2025-09-14"}));
        QCOMPARE(master(K::JV, 1), QString("2025-09-14|PARTY|500.00|clerk|<null>"));

        // Bank payment 1,000.00 to P from bank K; bank receive 250.00 from P into K: the debit
        // row first (the bank's, for a receipt), empty cheque and narration kept as empty.
        store->save(voucher(K::BP, 1, {line(P, K_, "1000", "", "")}), true, "clerk");
        QCOMPARE(detail(K::BP, 1), QStringList({"1|P|K|1000.00|0.00|||<null>|<null>|2025-09-14",
                                                "1|K|P|0.00|1000.00|||<null>|<null>|2025-09-14"}));
        store->save(voucher(K::BR, 1, {line(K_, P, "250", "Booking", "77", "", "9")}), true, "clerk");
        QCOMPARE(detail(K::BR, 1), QStringList({"1|K|P|250.00|0.00|77|Booking|<null>|9|2025-09-14",
                                                "1|P|K|0.00|250.00|77|Booking|<null>|9|2025-09-14"}));

        // Cash payment 100.00 to A and 50.00 to B from cash C: a row per line, then the cash row
        // (entry 3, the total, the first narration, no cheque, contra, file or bill).
        store->save(voucher(K::CP, 1, {line(A, C, "100", "first", "5", "1", "2"), line(B, C, "50", "second")}), true,
                    "clerk");
        QCOMPARE(detail(K::CP, 1), QStringList({"1|A|C|100.00|0.00|5|first|1|2|2025-09-14",
                                                "2|B|C|50.00|0.00||second|<null>|<null>|2025-09-14",
                                                "3|C|<null>|0.00|150.00|<null>|first|<null>|<null>|2025-09-14"}));
        QCOMPARE(master(K::CP, 1), QString("2025-09-14|PARTY|150.00|clerk|<null>"));
        store->save(voucher(K::CR, 1, {line(C, A, "100", "first"), line(C, B, "50", "second")}), true, "clerk");
        QCOMPARE(detail(K::CR, 1), QStringList({"1|A|C|0.00|100.00||first|<null>|<null>|2025-09-14",
                                                "2|B|C|0.00|50.00||second|<null>|<null>|2025-09-14",
                                                "3|C|<null>|150.00|0.00|<null>|first|<null>|<null>|2025-09-14"}));

        // Opening gives back the lines as saved, with the bank and cash sides put back and the
        // cash row left out; titles from the accounts.
        for (K k : {K::JV, K::BP, K::BR, K::CP, K::CR}) {
            auto opened = store->open(k, 1);
            QVERIFY(opened);
            QCOMPARE(opened->kind, k);
            QCOMPARE(opened->lines.size(), k == K::CP || k == K::CR ? size_t(2) : size_t(1));
            QCOMPARE(shown(*opened).first(), QString("1|2025-09-14|PARTY|"));
        }
        QCOMPARE(shown(*store->open(K::BP, 1)).last(),
                 QString("%1|O'BRIEN PARTY|%2|BANK K|1000.00||||").arg(P).arg(K_));
        auto br = store->open(K::BR, 1);
        QCOMPARE(shown(*br).last(), QString("%1|BANK K|%2|O'BRIEN PARTY|250.00|77|Booking||9").arg(K_).arg(P));
        auto cr = store->open(K::CR, 1);
        QCOMPARE(shown(*cr).mid(1), QStringList({QString("%1|CASH C|%2|ACCOUNT A|100.00||first||").arg(C).arg(A),
                                                 QString("%1|CASH C|%2|ACCOUNT B|50.00||second||").arg(C).arg(B)}));
        auto cp = store->open(K::CP, 1);
        QCOMPARE(shown(*cp).mid(1), QStringList({QString("%1|ACCOUNT A|%2|CASH C|100.00|5|first|1|2").arg(A).arg(C),
                                                 QString("%1|ACCOUNT B|%2|CASH C|50.00||second||").arg(B).arg(C)}));
        Voucher jv = voucher(K::JV, 1, {line(A, B, "500", "Rent, 50% share", "CHQ'1", "12 34", "")});
        nameLines(jv);
        QCOMPARE(shown(*store->open(K::JV, 1)), shown(jv));
    }

    void openEdges()
    {
        QVERIFY(!store->open(K::JV, 1));
        // A master without detail rows opens with no lines; the master's cheque is read; nulls
        // come back empty; lines of a gone account have no title.
        conn->execute("insert into MasJV (VouNo, VouStatus, VouDate, PaidReceive, TotalAmount, Login, ChecqNo) "
                      "values (4, 'BR', ?, null, ?, 'x', 'MASTER-CHQ')",
                      {day, QVariant::fromValue(Money(0))});
        auto v = store->open(K::BR, 4);
        QVERIFY(v);
        QVERIFY(v->lines.empty());
        QCOMPARE(v->masterCheque, QString("MASTER-CHQ"));
        QCOMPARE(v->party, QString());
        QVERIFY(!store->open(K::BP, 4)); // another kind's number
        conn->execute("insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt) "
                      "values (4, 'BR', ?, 1, 999, ?, ?, ?)",
                      {day, K_, QVariant::fromValue(Money(0)), QVariant::fromValue(Money(1))});
        v = store->open(K::BR, 4);
        QCOMPARE(v->lines.size(), size_t(1));
        QCOMPARE(shown(*v).last(), QString("%1|BANK K|999||0.01||||").arg(K_));
    }

    void numberSequences()
    {
        // No setup row: no setup, the first number 0; then the highest + 1.
        QVERIFY(!store->setup(K::JV));
        QCOMPARE(store->nextNumber(K::JV, 0), qint64(0));
        store->save(voucher(K::JV, 0, {line(A, B, "1")}), true, "u");
        QCOMPARE(store->nextNumber(K::JV, 0), qint64(1));

        // The setup's start number, account, side and fix; a title only for a subsidiary account.
        conn->execute("insert into VouSetting (VouStatus, VouNo, AcCode, AcStatus, Fix) values "
                      "('BP', 100, ?, 'CR', 'Y'), ('BR', 7, ?, 'DR', 'N'), ('CP', 40, null, null, null)",
                      {K_, head});
        const auto bp = store->setup(K::BP);
        QVERIFY(bp);
        QCOMPARE(bp->startNo, qint64(100));
        QCOMPARE(bp->acCode, QString::number(K_));
        QCOMPARE(bp->acTitle, std::optional<QString>("BANK K"));
        QCOMPARE(bp->acStatus + (bp->fix ? "|fixed" : "|free"), QString("CR|fixed"));
        const auto br = store->setup(K::BR);
        QCOMPARE(br->acCode, QString::number(head));
        QVERIFY(!br->acTitle);
        QVERIFY(!br->fix);
        const auto cp = store->setup(K::CP);
        QCOMPARE(cp->acCode + cp->acStatus, QString());
        QVERIFY(!cp->acTitle);

        // Each kind its own sequence in the shared tables.
        QCOMPARE(store->nextNumber(K::BP, bp->startNo), qint64(100));
        store->save(voucher(K::BP, 100, {line(P, K_, "1")}), true, "u");
        store->save(voucher(K::BP, 101, {line(P, K_, "1")}), true, "u");
        QCOMPARE(store->nextNumber(K::BP, bp->startNo), qint64(102));
        QCOMPARE(store->nextNumber(K::BR, br->startNo), qint64(7));
        QCOMPARE(store->nextNumber(K::JV, 0), qint64(1));
        store->save(voucher(K::BR, 7, {line(K_, P, "1")}), true, "u");
        QCOMPARE(store->nextNumber(K::BR, br->startNo), qint64(8));
        QCOMPARE(store->nextNumber(K::BP, bp->startNo), qint64(102));
    }

    void changedVoucherKeepsItsMasterRow()
    {
        store->save(voucher(K::JV, 3, {line(A, B, "10"), line(B, A, "20"), line(P, A, "30")}), true, "first");
        store->save(voucher(K::BP, 3, {line(P, K_, "99")}), true, "first"); // same number, other kind
        const QStringList bpBefore = detail(K::BP, 3) << master(K::BP, 3);
        const qint64 rowId = conn->scalar("select RowID from MasJV where VouStatus = 'JV' and VouNo = 3").toLongLong();

        Voucher changed = voucher(K::JV, 3, {line(B, P, "5.25", "only")}, "NEW PARTY");
        changed.date = QDate(2025, 10, 1);
        changed.rowId = rowId;
        const SaveResult r = store->save(changed, false, "second");
        QCOMPARE(int(r.outcome), int(SaveResult::Outcome::Saved));
        QCOMPARE(r.number, qint64(3));
        QCOMPARE(conn->scalar("select RowID from MasJV where VouStatus = 'JV' and VouNo = 3").toLongLong(), rowId);
        QCOMPARE(master(K::JV, 3), QString("2025-10-01|NEW PARTY|5.25|second|<null>"));
        QCOMPARE(detail(K::JV, 3), QStringList({"1|B|P|5.25|0.00||only|<null>|<null>|2025-10-01",
                                                "1|P|B|0.00|5.25||only|<null>|<null>|2025-10-01"}));
        QCOMPARE(detail(K::BP, 3) << master(K::BP, 3), bpBefore);
        QCOMPARE(conn->scalar("select count(*) from MasJV").toInt(), 2);
    }

    void failureAtEveryStatementLeavesNothing_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("new cash payment") << "new";
        QTest::newRow("change of a journal") << "change";
        QTest::newRow("renumbered bank payment") << "renumber";
        QTest::newRow("delete") << "delete";
    }
    void failureAtEveryStatementLeavesNothing()
    {
        QFETCH(QString, operation);
        store->save(voucher(K::JV, 1, {line(A, B, "1"), line(B, P, "2")}), true, "u");
        store->save(voucher(K::BP, 1, {line(P, K_, "3")}), true, "u");
        Voucher change = voucher(K::JV, 1, {line(P, A, "7"), line(A, K_, "8"), line(B, K_, "9")});
        change.rowId = store->open(K::JV, 1)->rowId;
        auto run = [&] {
            if (operation == "new")
                return store->save(voucher(K::CP, 1, {line(A, C, "1"), line(B, C, "2"), line(P, C, "3")}), true, "u")
                    .outcome;
            if (operation == "change")
                return store->save(change, false, "v").outcome;
            if (operation == "renumber")
                return store->save(voucher(K::BP, 1, {line(A, K_, "4"), line(B, K_, "5")}), true, "u").outcome;
            return store->remove(K::JV, 1) ? SaveResult::Outcome::Saved : SaveResult::Outcome::Gone;
        };
        // A failure at statement k, for k = 1, 2, ... until the run has fewer statements than k
        // and goes through: each failed run leaves both tables as they were.
        const QStringList before = tables();
        int k = 1;
        for (;; ++k) {
            int n = 0;
            conn->setStatementHook([&](const QString& sql) {
                if (++n == k)
                    throw qv::DbError("injected at " + sql);
            });
            bool failed = false;
            SaveResult::Outcome outcome{};
            try {
                outcome = run();
            } catch (const qv::DbError&) {
                failed = true;
            }
            conn->setStatementHook({});
            QVERIFY(!conn->inTransaction());
            if (!failed) {
                QCOMPARE(int(outcome), operation == "renumber" ? int(SaveResult::Outcome::Renumbered)
                                                               : int(SaveResult::Outcome::Saved));
                break;
            }
            QCOMPARE(tables(), before);
        }
        // Begin, the master, a row (or two) per line: every one of them was hit.
        QVERIFY2(k >= 4, qPrintable(QString::number(k)));
        QVERIFY(tables() != before);
    }

    void centsSumExactly()
    {
        // Tenths that no binary fraction holds, many of them: the total and the cash row are exact.
        std::vector<VoucherLine> lines;
        for (int i = 0; i < 300; ++i)
            lines.push_back(line(A, C, i % 3 == 0 ? "0.10" : i % 3 == 1 ? "0.20" : "1234567.71"));
        const Voucher v = voucher(K::CP, 1, lines);
        QCOMPARE(v.total(), Money(100 * (10 + 20 + 123456771LL)));
        store->save(v, true, "u");
        QCOMPARE(master(K::CP, 1).section('|', 2, 2), QString("123456801.00"));
        QCOMPARE(detail(K::CP, 1).last().section('|', 4, 4), QString("123456801.00"));
        QSqlQuery q = conn->query("select sum(DrAmt), sum(CrAmt) from DetJV where VouStatus = 'CP'");
        QVERIFY(q.next());
        QCOMPARE(cell(q.value(0), true), cell(q.value(1), true));
        // The largest amount the columns hold goes in and comes back to the cent.
        store->save(voucher(K::JV, 1, {line(A, B, "9999999999999999.99")}), true, "u");
        QCOMPARE(qv::VoucherStore::maxAmount(), amount("9999999999999999.99"));
        QCOMPARE(store->open(K::JV, 1)->lines.front().amount, qv::VoucherStore::maxAmount());
        QCOMPARE(master(K::JV, 1).section('|', 2, 2), QString("9999999999999999.99"));
    }

    void refusedVouchersWriteNothing_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("amounts"); // one line per amount, in cents
        QTest::addColumn<QString>("message");
        const Money max = qv::VoucherStore::maxAmount();
        QTest::newRow("zero") << int(K::JV) << "0"
                              << "must be more than 0";
        QTest::newRow("negative") << int(K::BP) << "100 -1"
                                  << "line 2 must be more than 0";
        QTest::newRow("above the columns") << int(K::JV) << QString::number(max.cents + 1) << "largest amount";
        QTest::newRow("total above the columns")
            << int(K::CP) << QString("%1 %1").arg(max.cents) << "The total of the lines is more";
        QTest::newRow("no line") << int(K::JV) << ""
                                 << "at least one line";
    }
    void refusedVouchersWriteNothing()
    {
        QFETCH(int, kind);
        QFETCH(QString, amounts);
        QFETCH(QString, message);
        Voucher v = voucher(K(kind), 1, {});
        for (const QString& a : amounts.split(' ', Qt::SkipEmptyParts)) {
            VoucherLine l = kind == int(K::CR) || kind == int(K::BR) ? line(C, A, "1") : line(A, C, "1");
            l.amount = Money(a.toLongLong());
            v.lines.push_back(l);
        }
        store->save(voucher(K::JV, 9, {line(A, B, "1")}), true, "u");
        const QStringList before = tables();
        try {
            store->save(v, true, "u");
            QFAIL("saved");
        } catch (const qv::DbError& e) {
            QVERIFY2(e.description().contains(message), qPrintable(e.description()));
        }
        QCOMPARE(tables(), before);
        QVERIFY(!conn->inTransaction());
    }

    void refusedLines()
    {
        // Accounts missing or the same on both sides; a cash voucher whose lines name two cash accounts.
        for (const Voucher& v :
             {voucher(K::JV, 1, {line(A, A, "1")}), voucher(K::JV, 1, {line(0, A, "1")}),
              voucher(K::BP, 1, {line(A, 0, "1")}), voucher(K::CP, 1, {line(A, C, "1"), line(B, K_, "1")}),
              voucher(K::CR, 1, {line(C, A, "1"), line(K_, B, "1")})}) {
            QVERIFY(!qv::VoucherStore::refusal(v).isEmpty());
            QVERIFY_THROWS_EXCEPTION(qv::DbError, store->save(v, true, "u"));
        }
        QCOMPARE(tables(), QStringList());
        // A total past 64 bits is an error, never a wrapped figure.
        Voucher huge = voucher(K::CR, 1, {});
        for (int i = 0; i < 10; ++i)
            huge.lines.push_back(line(C, A, "9999999999999999.99"));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, huge.total());
        QVERIFY(qv::VoucherStore::refusal(voucher(K::CP, 1, {line(A, C, "1"), line(B, C, "1")})).isEmpty());
    }

    void kindsTable()
    {
        QStringList codes;
        for (const qv::VoucherKindInfo& k : qv::voucherKinds()) {
            codes << k.code;
            QCOMPARE(&qv::voucherKind(k.kind), &k);
            QCOMPARE(qv::voucherKindByCode(k.code), &k);
            QCOMPARE(k.window, "frm" + k.code);
        }
        QCOMPARE(codes, QStringList({"JV", "BP", "BR", "CP", "CR"}));
        QVERIFY(!qv::voucherKindByCode("SI"));
        QVERIFY(!qv::voucherKindByCode("jv"));
    }

    void demoVouchersComeThroughTheStore()
    {
        cleanup();
        db = qvt::TestDb::create(true);
        conn = std::make_unique<qv::Connection>();
        db.connect(*conn);
        store = std::make_unique<qv::VoucherStore>(*conn);
        // Every journal and bank line: its debit row written before its credit row.
        QCOMPARE(conn->scalar("select count(*) from DetJV d join DetJV e on e.VouStatus = d.VouStatus "
                              "and e.VouNo = d.VouNo and e.EntryNo = d.EntryNo and e.RowID < d.RowID "
                              "where d.VouStatus in ('JV', 'BP', 'BR') and d.DrAmt > 0")
                     .toInt(),
                 0);
        QVERIFY(conn->scalar("select count(*) from DetJV where VouStatus = 'BR'").toInt() > 20);
        // A receipt opens with the bank on the debit side.
        const auto br = store->open(K::BR, 1);
        QVERIFY(br);
        QCOMPARE(br->lines.size(), size_t(1));
        QCOMPARE(br->lines.front().drName, QString("HABIB BANK LTD - 0123-7"));
        QCOMPARE(br->lines.front().cheque, QString("CHQ-70311"));
    }
};

QTEST_GUILESS_MAIN(TstVoucherStore)
#include "tst_voucherstore.moc"
