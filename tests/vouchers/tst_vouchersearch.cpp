// The voucher search list on both backends, over vouchers written by the voucher store: the
// number search as text (1 finds 1, 10-19, 21 and no other kind's 1), the date and party searches
// with wildcards and apostrophes taken as typed, ascending order, "Multi" for each row shape
// (the cash row of a cash voucher is not a line), the list's texts, and a failing query; the
// vouchers in memory find what the query finds and follow what every station saves.
#include "db/money.h"
#include "support/fixture.h"
#include "vouchers/voucherlist.h"
#include "vouchers/vouchersearch.h"
#include "vouchers/vouchersearchmodel.h"
#include "vouchers/voucherstore.h"

#include <QRandomGenerator>
#include <memory>

using qv::FoundVoucher;
using qv::Money;
using qv::Voucher;
using qv::VoucherLine;
using K = qv::VoucherKind;

class TstVoucherSearch : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    std::unique_ptr<qv::Connection> conn;
    std::unique_ptr<qv::VoucherStore> store;
    std::unique_ptr<qv::VoucherSearch> search;
    qint64 A = 0, B = 0, C = 0, D = 0;
    const QDate day{2025, 9, 14};

    qint64 addAccount(const QString& nodes, const QString& name, const QString& status = "DD")
    {
        return conn->insertReturningKey("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                                        "values (?, ?, ?, '1.1', 1) returning RowID",
                                        {nodes, name, status});
    }
    static VoucherLine line(qint64 dr, qint64 cr, qint64 cents)
    {
        VoucherLine l;
        l.drAc = dr;
        l.crAc = cr;
        l.amount = Money(cents);
        l.narration = "n";
        return l;
    }
    // Lines as the window sends them: for the cash kinds every line names the cash account C
    // on the contra side.
    void save(K kind, qint64 no, int lines, const QString& party = "PARTY", QDate date = {})
    {
        Voucher v;
        v.kind = kind;
        v.number = no;
        v.date = date.isValid() ? date : day;
        v.party = party;
        for (int i = 0; i < lines; ++i) {
            const qint64 other = i % 2 ? B : D;
            if (kind == K::CP)
                v.lines.push_back(line(other, C, 100 * (i + 1)));
            else if (kind == K::CR)
                v.lines.push_back(line(C, other, 100 * (i + 1)));
            else
                v.lines.push_back(line(A, other, 100 * (i + 1)));
        }
        const qv::SaveResult r = store->save(v, true, "clerk");
        QCOMPARE(r.number, no);
    }
    // Every criterion's rows in memory against the query's, whole and in pages.
    void compare(qv::VoucherList& list, const qv::VoucherCriterion& c)
    {
        auto rows = [](const std::vector<FoundVoucher>& found) {
            QStringList out;
            for (const FoundVoucher& v : found)
                out << QString("%1|%2|%3|%4|%5").arg(v[0], v[1], v[2], v[3], v[4]);
            return out;
        };
        QCOMPARE(rows(list.find(c)), rows(search->find(K::JV, c)));
        QCOMPARE(rows(list.find(c, 40, 7)), rows(search->find(K::JV, c, 40, 7)));
    }
    static QList<qint64> numbers(const std::vector<FoundVoucher>& rows)
    {
        QList<qint64> out;
        for (const FoundVoucher& r : rows)
            out << r.number;
        return out;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        db = qvt::TestDb::create(false);
        conn = std::make_unique<qv::Connection>();
        db.connect(*conn);
        store = std::make_unique<qv::VoucherStore>(*conn);
        search = std::make_unique<qv::VoucherSearch>(*conn);
        addAccount("1.1", "HEAD", "HD");
        A = addAccount("1.1.1", "ACCOUNT A");
        B = addAccount("1.1.2", "ACCOUNT B");
        C = addAccount("1.1.3", "CASH C");
        D = addAccount("1.1.4", "ACCOUNT D");
    }
    void cleanup()
    {
        search.reset();
        store.reset();
        conn.reset();
        db.drop();
    }

    void numberAsText()
    {
        // Saved out of order, so that the order comes from the query.
        for (qint64 n = 25; n >= 1; --n)
            save(K::JV, n, 1);
        save(K::BP, 1, 1);
        QCOMPARE(numbers(search->byNumber(K::JV, "1")), QList<qint64>({1, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21}));
        QCOMPARE(numbers(search->byNumber(K::JV, "21")), QList<qint64>({21}));
        QCOMPARE(search->byNumber(K::JV, QString()).size(), size_t(25));
        QCOMPARE(numbers(search->byNumber(K::JV, QString())).first(), 1);
        QCOMPARE(numbers(search->byNumber(K::BP, "1")), QList<qint64>({1}));
        // Wildcards are text, not patterns: no number contains them.
        QVERIFY(search->byNumber(K::JV, "%").empty());
        QVERIFY(search->byNumber(K::JV, "_").empty());
        QVERIFY(search->byNumber(K::JV, "1'").empty());
        QVERIFY(search->byNumber(K::CR, QString()).empty());
    }

    // Pages: the numbers after the last one read, at most so many; together they are the list.
    void pages()
    {
        for (qint64 n = 1; n <= 25; ++n)
            save(K::JV, n, 1);
        const qv::VoucherCriterion ones{qv::VoucherCriterion::By::Number, "1", {}};
        QCOMPARE(numbers(search->find(K::JV, ones, 10, 3)), QList<qint64>({11, 12, 13}));
        QCOMPARE(numbers(search->find(K::JV, ones, 13, 0)), QList<qint64>({14, 15, 16, 17, 18, 19, 21}));
        QCOMPARE(numbers(search->find(K::JV, ones, 21, 5)), QList<qint64>());
        QList<qint64> paged;
        for (qint64 after = std::numeric_limits<qint64>::min();;) {
            const auto page = search->find(K::JV, {qv::VoucherCriterion::By::Party, "par", {}}, after, 4);
            paged += numbers(page);
            if (page.size() < 4)
                break;
            after = page.back().number;
        }
        QCOMPARE(paged, numbers(search->byParty(K::JV, "par")));
        QCOMPARE(paged.size(), 25);
    }

    void byDate()
    {
        save(K::JV, 3, 1, "P", day);
        save(K::JV, 1, 1, "P", day);
        save(K::JV, 2, 1, "P", day.addDays(1));
        save(K::BP, 4, 1, "P", day);
        QCOMPARE(numbers(search->byDate(K::JV, day)), QList<qint64>({1, 3}));
        QCOMPARE(numbers(search->byDate(K::JV, day.addDays(1))), QList<qint64>({2}));
        QVERIFY(search->byDate(K::JV, day.addDays(-1)).empty());
    }

    void byParty()
    {
        save(K::JV, 1, 1, "O'Brien & Sons");
        save(K::JV, 2, 1, "100% CASH SALE");
        save(K::JV, 3, 1, "A_B TRADERS");
        save(K::JV, 4, 1, "AXB TRADERS");
        save(K::JV, 5, 1, "o'brien again");
        save(K::BP, 6, 1, "O'BRIEN OF BANK");
        save(K::JV, 7, 1, "ÇAĞRI ÖZTÜRK TİCARET");
        QCOMPARE(numbers(search->byParty(K::JV, "O'BRIEN")), QList<qint64>({1, 5})); // case ignored
        QCOMPARE(numbers(search->byParty(K::JV, "öztürk")), QList<qint64>({7}));     // of every letter
        QCOMPARE(numbers(search->byParty(K::JV, "%")), QList<qint64>({2}));
        QCOMPARE(numbers(search->byParty(K::JV, "0% c")), QList<qint64>({2}));
        QCOMPARE(numbers(search->byParty(K::JV, "A_B")), QList<qint64>({3}));
        QCOMPARE(numbers(search->byParty(K::JV, "traders")), QList<qint64>({3, 4}));
        QCOMPARE(numbers(search->byParty(K::JV, "\\")), QList<qint64>());
        QCOMPARE(numbers(search->byParty(K::JV, QString())), QList<qint64>({1, 2, 3, 4, 5, 7}));
    }

    // "M" marks more than one line; the cash row of a cash voucher is not a line.
    void multi()
    {
        save(K::JV, 1, 2);
        save(K::JV, 2, 1);
        save(K::BP, 1, 2);
        save(K::BR, 1, 2);
        save(K::BR, 2, 1);
        save(K::CP, 1, 2);
        save(K::CP, 2, 1);
        save(K::CR, 1, 2);
        save(K::CR, 2, 1);
        save(K::CR, 3, 3);
        const auto marks = [&](K k) {
            QStringList out;
            for (const FoundVoucher& r : search->byNumber(k, QString()))
                out << QString("%1:%2").arg(r.number).arg(r[4]);
            return out;
        };
        QCOMPARE(marks(K::JV), QStringList({"1:M", "2:"}));
        QCOMPARE(marks(K::BP), QStringList({"1:M"}));
        QCOMPARE(marks(K::BR), QStringList({"1:M", "2:"}));
        QCOMPARE(marks(K::CP), QStringList({"1:M", "2:"}));
        QCOMPARE(marks(K::CR), QStringList({"1:M", "2:", "3:M"}));
    }

    // The list's texts: number, dd-mm-yyyy, party, "##,###0.00", Multi; and the empty list.
    void listTexts()
    {
        Voucher v;
        v.kind = K::BP;
        v.number = 12;
        v.date = QDate(2026, 3, 5);
        v.party = "Zed's";
        v.lines = {line(A, B, 123'456'78), line(D, B, 1'00)};
        store->save(v, true, "clerk");
        const auto rows = search->byParty(K::BP, "zed");
        QCOMPARE(rows.size(), size_t(1));
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << rows[0][c];
        QCOMPARE(cells, QStringList({"12", "05-03-2026", "Zed's", "123,457.78", "M"}));

        qv::VoucherSearchModel model;
        model.setRows(rows);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Voucher # "));
        QCOMPARE(model.index(0, 3).data().toString(), QString("123,457.78"));
        model.setRows(search->byParty(K::BP, "nobody"));
        QCOMPARE(model.rowCount(), 2);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < qv::VoucherSearchModel::Columns; ++c)
                QVERIFY(model.index(r, c).data().toString().isEmpty());
        for (int c = 0; c < qv::VoucherSearchModel::Columns; ++c)
            QVERIFY(model.headerData(c, Qt::Horizontal).toString().isEmpty());
        QVERIFY(!model.line(0));
    }

    void inMemoryFindsWhatTheQueryFinds()
    {
        QRandomGenerator rnd(4711);
        const QStringList words{"Café", "MÜLLER", "o'brien", "50%", "A_B", "back\\slash", "ÇAĞRI", "öztürk", "TRADERS"};
        QList<qint64> numbers;
        for (qint64 n = 1; n <= 400; ++n)
            numbers << n;
        std::shuffle(numbers.begin(), numbers.end(), rnd);
        for (qint64 n : numbers.mid(0, 90))
            save(K::JV, n, 1 + int(rnd.bounded(3)),
                 words[int(rnd.bounded(words.size()))] + ' ' + words[int(rnd.bounded(words.size()))],
                 day.addDays(rnd.bounded(4)));
        save(K::BP, 7, 2, "Café"); // another kind
        qv::VoucherList list(*conn, K::JV);
        using By = qv::VoucherCriterion::By;
        for (const QString& t : {"", "1", "0", "12", "40", "%", "_", "'", "x1"})
            compare(list, {By::Number, t, {}});
        for (int d = -1; d < 5; ++d)
            compare(list, {By::Date, {}, day.addDays(d)});
        for (int i = 0; i < 60; ++i) {
            const QString w = words[int(rnd.bounded(words.size()))];
            const int from = int(rnd.bounded(w.size()));
            QString typed;
            for (QChar ch : w.mid(from, 1 + int(rnd.bounded(w.size() - from))))
                typed += rnd.bounded(2) ? ch.toUpper() : ch.toLower();
            compare(list, {By::Party, typed, {}});
        }
        compare(list, {By::Party, "", {}});
        compare(list, {By::Party, "%", {}});
        compare(list, {By::Party, "\\", {}});

        // Another station saves a new voucher and changes one: found at the next search.
        auto otherConn = std::make_unique<qv::Connection>();
        db.connect(*otherConn);
        qv::VoucherStore other(*otherConn);
        Voucher v = other.open(K::JV, numbers[0]).value();
        v.party = "RENAMED ELSEWHERE";
        other.save(v, false, "clerk2");
        v.number = 999;
        v.party = "NEW ELSEWHERE";
        other.save(v, true, "clerk2");
        compare(list, {By::Party, "elsewhere", {}});
        // Its removal shows when the list is compared with the book (the search tab shown);
        // this station's own removal at once.
        other.remove(K::JV, numbers[1]);
        list.refreshOnShow();
        compare(list, {By::Number, "", {}});
        store->remove(K::JV, numbers[2]);
        list.changed(numbers[2]);
        compare(list, {By::Number, "", {}});
    }

    // A failing query reaches the caller as DbError (the window shows it and keeps its list).
    void failureReported()
    {
        save(K::JV, 1, 1);
        conn->setStatementHook([](const QString& sql) {
            if (sql.contains("from MasJV m"))
                throw qv::DbError("lost the server");
        });
        QVERIFY_THROWS_EXCEPTION(qv::DbError, search->byNumber(K::JV, "1"));
        conn->setStatementHook({});
        QCOMPARE(search->byNumber(K::JV, "1").size(), size_t(1));
    }
};

QTEST_GUILESS_MAIN(TstVoucherSearch)
#include "tst_vouchersearch.moc"
