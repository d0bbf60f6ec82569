// The registrations store on both backends: codes and row numbers, saves of picked rows, nulls
// for emptied boxes, refused costs and unknown keys, the one application per customer, the three
// searches, and two stations saving at the same moment.
#include "registrations/registrationstore.h"
#include "support/fixture.h"

#include <QMutex>
#include <QSet>
#include <atomic>
#include <barrier>
#include <memory>
#include <thread>

using qv::ApplicationCriterion;
using qv::CategoryCriterion;
using qv::RegistrationStore;
using qv::SaveStatus;

class TstRegistrationStore : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    std::unique_ptr<qv::Connection> conn;
    std::unique_ptr<RegistrationStore> store;

    qint64 count(const QString& table, const QString& where = "1=1", const QVariantList& params = {})
    {
        return conn->scalar("select count(*) from " + table + " where " + where, params).toLongLong();
    }
    // One column of one row, as text ("<null>" for null).
    QString col(const QString& table, const QString& key, qint64 id, const QString& column)
    {
        QSqlQuery q = conn->query(QString("select %1 from %2 where %3 = ?").arg(column, table, key), {id});
        if (!q.next())
            return "<gone>";
        return q.value(0).isNull() ? "<null>" : q.value(0).toString();
    }
    // Account ids far from the application numbers and not in step with them, so that a check
    // reading one column for the other fails.
    qint64 lastAccount = 0;
    qint64 account(const QString& title)
    {
        lastAccount += 37;
        conn->execute("insert into Accounts (RowID, AcNodes, AcName, AcStatus, ParentID, Dcode) "
                      "values (?, ?, ?, 'DD', '1.1', 1)",
                      {lastAccount, "1.1." + title, title});
        return lastAccount;
    }
    static qv::CategoryInput category(const QString& id, const QString& name, const QString& cost,
                                      const QString& status = "Residential")
    {
        return {id, {{"Catagory", name}, {"Amount", cost}}, status};
    }
    static qv::ApplicationInput app(const QString& rowNo, qint64 acCode, const QString& regNo, const QString& name,
                                    const QDate& regDate = QDate(2025, 3, 4))
    {
        qv::ApplicationInput in;
        in.rowNo = rowNo;
        in.acCode = QString::number(acCode);
        in.fields = {{"RegNo", regNo},         {"Place", "LAHORE"},      {"Name", name},
                     {"FatherName", "FATHER"}, {"Guardian", "GUARDIAN"}, {"Address", "ST 1"},
                     {"ChangeInAdd", ""},      {"PhoneNo", "042 111"},   {"Res", ""},
                     {"CellNo", "0300"}};
        in.regDate = regDate;
        in.dateOfBirth = QDate(1980, 12, 31);
        in.nationality = "35202-1234567-1";
        in.sex = "Male";
        in.modeOfPayment = QString("CASH");
        return in;
    }
    QList<qint64> categoryCodes(CategoryCriterion by, const QString& typed)
    {
        QList<qint64> ids;
        for (const qv::Category& c : store->categories(by, typed))
            ids << c.cataId;
        return ids;
    }
    QStringList regNos(ApplicationCriterion by, const QString& typed, const QDate& day = {})
    {
        QStringList out;
        for (const qv::Application& a : store->applications(by, typed, day))
            out << a.regNo;
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
        store = std::make_unique<RegistrationStore>(*conn);
        lastAccount = 500;
    }
    void cleanup()
    {
        store.reset();
        conn.reset();
        db.drop();
    }

    void categoryCodesAndSaves()
    {
        auto r = store->saveCategory(category("", "A CLASS", "1500000"));
        QVERIFY(r.ok());
        QCOMPARE(r.key, qint64(1));
        QCOMPARE(store->saveCategory(category("", "B CLASS", "1,234.5", "Commercial")).key, qint64(2));
        QCOMPARE(col("tblCatagory", "CataId", 2, "Status"), QString("Commercial"));
        const auto stored = store->categories(CategoryCriterion::All);
        QCOMPARE(int(stored.size()), 2);
        QCOMPARE(stored[0].amount->cents, qint64(123450)); // exact to the cent
        QCOMPARE(stored[1].amount->cents, qint64(150000000));

        // A picked category keeps its code; name, cost and status are replaced; an emptied
        // cost and name store null.
        r = store->saveCategory(category("1", "A CLASS O'HARA", "99.99", "Commercial"));
        QVERIFY(r.ok());
        QCOMPARE(r.key, qint64(1));
        QCOMPARE(count("tblCatagory"), qint64(2));
        QCOMPARE(col("tblCatagory", "CataId", 1, "Catagory") + "|" + col("tblCatagory", "CataId", 1, "Status"),
                 QString("A CLASS O'HARA|Commercial"));
        QCOMPARE(store->categories(CategoryCriterion::All)[1].amount->cents, qint64(9999));
        QVERIFY(store->saveCategory(category("1", "", "")).ok());
        QCOMPARE(col("tblCatagory", "CataId", 1, "Amount"), QString("<null>"));
        QCOMPARE(col("tblCatagory", "CataId", 1, "Catagory"), QString("<null>"));
        QVERIFY(!store->categories(CategoryCriterion::All)[1].amount);

        // The highest code plus one: a freed highest code comes back.
        QVERIFY(store->deleteCategory("2"));
        QCOMPARE(store->saveCategory(category("", "C", "")).key, qint64(2));
    }

    void categoryRefusals()
    {
        QVERIFY(store->saveCategory(category("", "A", "100")).ok());
        // A cost that is not an amount to the cent stores nothing, new or changed: more than two
        // decimals are refused, never rounded, and a decimal comma is no thousands separator.
        for (const QString bad : {"12abc", "abc", "1.2.3", "2500000.555", "0.001", "1,5", "1,,2,,3"}) {
            auto r = store->saveCategory(category("", "NEW", bad));
            QCOMPARE(r.status, SaveStatus::NotANumber);
            QVERIFY2(r.message.contains(bad), qPrintable(r.message));
            QCOMPARE(store->saveCategory(category("1", "CHANGED", bad)).status, SaveStatus::NotANumber);
        }
        QVERIFY(store->saveCategory(category("", "NEW", "2500000.555")).message.contains("more than two decimals"));
        QCOMPARE(count("tblCatagory"), qint64(1));
        QCOMPARE(col("tblCatagory", "CataId", 1, "Catagory"), QString("A"));
        QCOMPARE(store->categories(CategoryCriterion::All)[0].amount->cents, qint64(10000));
        // A typed code that matches nothing saves nowhere and says so.
        for (const QString typed : {"99", "abc", "-1", "0"}) {
            auto r = store->saveCategory(category(typed, "GHOST", "1"));
            QCOMPARE(r.status, SaveStatus::NoSuchRow);
            QCOMPARE(r.message, RegistrationStore::noSuchCategory(typed));
            QVERIFY(!store->deleteCategory(typed));
        }
        QCOMPARE(count("tblCatagory"), qint64(1));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, store->saveCategory({"", {{"CataId", "5"}}, "Residential"}));
    }

    void categorySearches()
    {
        for (int i = 1; i <= 12; ++i)
            QVERIFY(store->saveCategory(category("", QString("PLOT %1").arg(i), "")).ok());
        for (const QString odd : {"50% OFF", "A_B", "O'NEIL", "A\\B"})
            QVERIFY(store->saveCategory(category("", odd, "")).ok());
        QCOMPARE(categoryCodes(CategoryCriterion::Code, "1"), QList<qint64>({16, 15, 14, 13, 12, 11, 10, 1}));
        QCOMPARE(categoryCodes(CategoryCriterion::Code, "12"), QList<qint64>({12}));
        QCOMPARE(categoryCodes(CategoryCriterion::All, "ignored").size(), 16);
        QCOMPARE(categoryCodes(CategoryCriterion::Name, "plot 1"), QList<qint64>({12, 11, 10, 1}));
        // LIKE's own characters and apostrophes are found as typed.
        QCOMPARE(categoryCodes(CategoryCriterion::Name, "%"), QList<qint64>({13}));
        QCOMPARE(categoryCodes(CategoryCriterion::Name, "_"), QList<qint64>({14}));
        QCOMPARE(categoryCodes(CategoryCriterion::Name, "O'N"), QList<qint64>({15}));
        QCOMPARE(categoryCodes(CategoryCriterion::Name, "\\"), QList<qint64>({16}));
        QVERIFY(categoryCodes(CategoryCriterion::Name, "NOTHING").isEmpty());
    }

    void applicationNumbersAndOneCustomerOneApplication()
    {
        const qint64 ali = account("ALI"), bilal = account("BILAL");
        auto r = store->saveApplication(app("", ali, "R-1", "ALI KHAN"));
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(r.key, qint64(1));
        // A second new application of one customer is refused and nothing is stored.
        r = store->saveApplication(app("", ali, "R-2", "ALI AGAIN"));
        QCOMPARE(r.status, SaveStatus::CustomerTaken);
        QCOMPARE(r.message, QString("This customer is already exitis! "));
        QCOMPARE(count("tblApplication"), qint64(1));
        QCOMPARE(store->saveApplication(app("", bilal, "R-3", "BILAL")).key, qint64(2));
        // Changing an application to a customer that has one already is accepted.
        r = store->saveApplication(app("2", ali, "R-3", "BILAL MOVED"));
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(r.key, qint64(2));
        QCOMPARE(count("tblApplication", "ACCode = ?", {ali}), qint64(2));
        QCOMPARE(count("tblApplication"), qint64(2));

        // Unknown row numbers and customers: nothing saved, and said so.
        for (const QString typed : {"7", "x"}) {
            r = store->saveApplication(app(typed, bilal, "R-9", "GHOST"));
            QCOMPARE(r.status, SaveStatus::NoSuchRow);
            QCOMPARE(r.message, RegistrationStore::noSuchApplication(typed));
            QVERIFY(!store->deleteApplication(typed));
        }
        QCOMPARE(store->saveApplication(app("", 424242, "R-9", "NOBODY")).status, SaveStatus::NoSuchCustomer);
        auto noAccount = app("", 0, "R-9", "NOBODY");
        noAccount.acCode.clear();
        QCOMPARE(store->saveApplication(noAccount).status, SaveStatus::NoSuchCustomer);
        QCOMPARE(count("tblApplication"), qint64(2));
        QVERIFY(store->deleteApplication("2"));
        QCOMPARE(count("tblApplication"), qint64(1));
    }

    void applicationColumnsNullsAndDates()
    {
        const qint64 ali = account("ALI O'BRIEN");
        auto in = app("", ali, "R'1", "O'BRIEN", QDate(2025, 2, 13));
        in.modeOfPayment.reset(); // neither option chosen
        QCOMPARE(store->saveApplication(in).key, qint64(1));
        QCOMPARE(col("tblApplication", "RowNo", 1, "ModeOfPayment"), QString("<null>"));
        QCOMPARE(col("tblApplication", "RowNo", 1, "ChangeInAdd"), QString("<null>"));
        auto a = store->application(1);
        QVERIFY(a);
        QCOMPARE(a->customer, QString("ALI O'BRIEN"));
        QCOMPARE(*a->acCode, ali);
        QCOMPARE(a->regNo + "|" + a->name + "|" + a->place, QString("R'1|O'BRIEN|LAHORE"));
        QCOMPARE(a->regDate, QDate(2025, 2, 13));
        QCOMPARE(a->dateOfBirth, QDate(1980, 12, 31));
        QCOMPARE(a->nationality + "|" + a->sex, QString("35202-1234567-1|Male"));
        // Dates are dates: the 13th of February comes after the 2nd of March only as text.
        QCOMPARE(count("tblApplication", "RegDate < ?", {QDate(2025, 3, 2)}), qint64(1));
        QCOMPARE(count("tblApplication", "DateOfBirth between ? and ?", {QDate(1980, 12, 1), QDate(1981, 1, 1)}),
                 qint64(1));

        // Editing: an emptied guardian stores null; a payment mode left unchosen keeps the
        // stored one; a chosen one replaces it.
        in = app("1", ali, "R'1", "O'BRIEN");
        in.modeOfPayment = QString("ON BOOKING");
        QVERIFY(store->saveApplication(in).ok());
        in.fields[4].second.clear();
        QCOMPARE(in.fields[4].first, QString("Guardian"));
        in.modeOfPayment.reset();
        QVERIFY(store->saveApplication(in).ok());
        QCOMPARE(col("tblApplication", "RowNo", 1, "Guardian"), QString("<null>"));
        QCOMPARE(col("tblApplication", "RowNo", 1, "ModeOfPayment"), QString("ON BOOKING"));
        QCOMPARE(store->application(1)->guardian, QString());
        QVERIFY(!store->application(2));
        in.fields.append(qMakePair(QString("RowNo"), QString("5")));
        QVERIFY_THROWS_EXCEPTION(qv::DbError, store->saveApplication(in));
    }

    void applicationSearches()
    {
        const QDate day(2025, 5, 6), other(2025, 5, 7);
        const char* regs[] = {"A-1", "A-3", "B'2", "A-2", "C-9"};
        for (int i = 0; i < 5; ++i) {
            const qint64 ac = account(QString("CUSTOMER %1").arg(i));
            const QDate d = i == 4 ? other : day;
            QVERIFY(store->saveApplication(app("", ac, regs[i], QString("NAME %1%").arg(i), d)).ok());
        }
        // Only that day, highest registration number first.
        QCOMPARE(regNos(ApplicationCriterion::RegDate, "", day), QStringList({"B'2", "A-3", "A-2", "A-1"}));
        QCOMPARE(regNos(ApplicationCriterion::RegDate, "", other), QStringList({"C-9"}));
        QVERIFY(regNos(ApplicationCriterion::RegDate, "", QDate(2025, 6, 5)).isEmpty());
        QCOMPARE(regNos(ApplicationCriterion::RegNo, "a-"), QStringList({"A-3", "A-2", "A-1"}));
        QCOMPARE(regNos(ApplicationCriterion::RegNo, "'"), QStringList({"B'2"}));
        QCOMPARE(regNos(ApplicationCriterion::RegNo, ""), QStringList({"C-9", "B'2", "A-3", "A-2", "A-1"}));
        QCOMPARE(regNos(ApplicationCriterion::Name, "3%"), QStringList({"A-2"}));
        QVERIFY(regNos(ApplicationCriterion::Name, "3_").isEmpty());
        const auto found = store->applications(ApplicationCriterion::RegNo, "C-9");
        QCOMPARE(found.front().customer, QString("CUSTOMER 4"));
        QCOMPARE(found.front().regDate, other);
    }

    void numberTakenByAnotherStationBetweenReadAndInsert()
    {
        const qint64 ali = account("ALI");
        std::unique_ptr<qv::Connection> second;
        if (qvt::backend() == qv::Backend::Postgres) {
            second = std::make_unique<qv::Connection>();
            db.connect(*second);
        }
        qv::Connection& by = second ? *second : *conn; // the embedded file has one writer at a time
        int fired = 0;
        conn->setStatementHook([&](const QString& sql) {
            if (fired || !sql.startsWith("insert into tbl", Qt::CaseInsensitive))
                return;
            fired = 1;
            if (sql.contains("tblCatagory"))
                by.execute("insert into tblCatagory (CataId, Catagory) values (1, 'OTHER STATION')");
            else
                by.execute("insert into tblApplication (RowNo, RegNo) values (1, 'OTHER STATION')");
        });
        const auto c = store->saveCategory(category("", "MINE", "5"));
        QCOMPARE(fired, 1);
        QCOMPARE(c.key, qint64(2));
        fired = 0;
        const auto a = store->saveApplication(app("", ali, "MINE", "MINE"));
        conn->setStatementHook({});
        QCOMPARE(fired, 1);
        QCOMPARE(a.key, qint64(2));
        QCOMPARE(col("tblCatagory", "CataId", 2, "Catagory"), QString("MINE"));
        QCOMPARE(col("tblApplication", "RowNo", 2, "RegNo"), QString("MINE"));
        QCOMPARE(count("tblCatagory") + count("tblApplication"), qint64(4));
    }

    void twoStationsAtTheSameMoment()
    {
        constexpr int rounds = 12;
        QList<qint64> customers;
        for (int i = 0; i < rounds; ++i)
            customers << account(QString("CUSTOMER %1").arg(i));
        std::barrier sync(2);
        QMutex mutex;
        QStringList errors;
        std::atomic<int> taken{0}, saved{0};
        auto station = [&](int n) {
            qv::Connection c;
            bool open = true;
            try {
                db.connect(c);
            } catch (const qv::DbError& e) {
                open = false;
                QMutexLocker lock(&mutex);
                errors << e.description();
            }
            RegistrationStore s(c);
            auto attempt = [&](auto&& step) {
                // Both stations start each step together; a failed station keeps meeting the
                // other at the barrier so that it never waits alone.
                sync.arrive_and_wait();
                if (!open)
                    return;
                try {
                    step();
                } catch (const qv::DbError& e) {
                    QMutexLocker lock(&mutex);
                    errors << e.description();
                    open = false;
                }
            };
            for (int i = 0; i < rounds; ++i) {
                // A category each, then the same customer's application from both.
                attempt([&] {
                    if (!s.saveCategory(category("", QString("S%1-%2").arg(n).arg(i), "1")).ok())
                        throw qv::DbError("category not saved");
                });
                attempt([&] {
                    const auto r = s.saveApplication(app("", customers[i], QString("R%1-%2").arg(n).arg(i), "X"));
                    if (r.ok())
                        ++saved;
                    else if (r.status == SaveStatus::CustomerTaken)
                        ++taken;
                    else
                        throw qv::DbError(r.message);
                });
            }
        };
        std::thread a(station, 1), b(station, 2);
        a.join();
        b.join();
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(saved.load(), rounds);
        QCOMPARE(taken.load(), rounds);
        // Distinct numbers, none skipped; exactly one application per customer.
        QSet<qint64> codes;
        for (const qv::Category& c : store->categories(CategoryCriterion::All))
            codes << c.cataId;
        QCOMPARE(codes.size(), 2 * rounds);
        QCOMPARE(*std::max_element(codes.begin(), codes.end()), qint64(2 * rounds));
        QCOMPARE(count("tblApplication"), qint64(rounds));
        QCOMPARE(conn->scalar("select max(RowNo) from tblApplication").toLongLong(), qint64(rounds));
        QCOMPARE(conn->scalar("select count(distinct ACCode) from tblApplication").toLongLong(), qint64(rounds));
    }
};

QTEST_GUILESS_MAIN(TstRegistrationStore)
#include "tst_registrationstore.moc"
