// Selection formulas at their limits: numbers beyond what a field can hold are refused where they
// stand, nesting beyond the parser's depth is refused with a message (not a crashed program), and
// long chains of and/or still run on the database.
#include "db/money.h"
#include "reportfixture.h"
#include "reportengine/formula.h"
#include "reportengine/reporterror.h"
#include "support/corebook.h"
#include "support/dbfixture.h"

#include <QTest>

using namespace qv::rpt;
using qv::Money;

namespace {
FieldSet fields()
{
    FieldSet f;
    f.add("MasJV.VouNo", "m.VouNo", FieldType::Number);
    f.add("DetJV.DrAmt", "d.DrAmt", FieldType::Amount);
    f.add("Accounts.AcName", "a.AcName", FieldType::Text);
    return f;
}

QString errorOf(const QString& text)
{
    try {
        Formula::parse(text, fields()).toSql(qvt::backend());
    } catch (const ReportError& e) {
        return e.description();
    }
    return {};
}

QString repeated(const QString& piece, int n)
{
    QString s;
    s.reserve(piece.size() * n);
    for (int i = 0; i < n; ++i)
        s += piece;
    return s;
}
} // namespace

class TstFormulaLimits : public QObject {
    Q_OBJECT
    qvt::TestDb db;

    // The chart of accounts under a selection: the rows the database returned.
    int chartRows(const QString& selection)
    {
        auto r = qvt::openReport(qvt::chartTemplate(), LoginUser, LoginPassword);
        r->setRecordSelectionFormula(selection);
        return r->run(Conn)->detailRows;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        db = qvt::TestDb::create(true);
        db.connect(Conn);
        LoginUser = db.user;
        LoginPassword = db.password;
    }
    void cleanupTestCase()
    {
        Conn.close();
        db.drop();
    }

    void numbersBeyondRangeAreRefusedWhereTheyStand_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("reason");
        QTest::newRow("whole number") << "{MasJV.VouNo} < 99999999999999999999" << 17 << "larger than";
        QTest::newRow("negative") << "{MasJV.VouNo} > -99999999999999999999" << 17 << "larger than";
        QTest::newRow("one past the largest") << "{MasJV.VouNo} = 9223372036854775808" << 17 << "larger than";
        QTest::newRow("decimal") << "{MasJV.VouNo} < 99999999999999999999.5" << 17 << "larger than";
        QTest::newRow("range end") << "{MasJV.VouNo} in 1 to 99999999999999999999" << 23 << "larger than";
        QTest::newRow("amount") << "{DetJV.DrAmt} >= 99999999999999999.99" << 18 << "largest amount";
        QTest::newRow("two literals") << "1 < 99999999999999999999" << 5 << "larger than";
        QTest::newRow("literal first") << "99999999999999999999 > {MasJV.VouNo}" << 1 << "larger than";
    }
    void numbersBeyondRangeAreRefusedWhereTheyStand()
    {
        QFETCH(QString, formula);
        QFETCH(int, position);
        QFETCH(QString, reason);
        const QString e = errorOf(formula);
        QVERIFY2(e.contains(QString("at character %1:").arg(position)), qPrintable(e));
        QVERIFY2(e.contains(reason), qPrintable(e));
    }

    void numbersAtTheEdgeAreKeptExactly()
    {
        const SqlCondition whole =
            Formula::parse("{MasJV.VouNo} = 9223372036854775807", fields()).toSql(qvt::backend());
        QCOMPARE(whole.params, QVariantList{QVariant(std::numeric_limits<qint64>::max())});
        const SqlCondition neg = Formula::parse("{MasJV.VouNo} = -9223372036854775808", fields()).toSql(qvt::backend());
        QCOMPARE(neg.params, QVariantList{QVariant(std::numeric_limits<qint64>::min())});
        const SqlCondition amount =
            Formula::parse("{DetJV.DrAmt} = 9999999999999999.99", fields()).toSql(qvt::backend());
        QCOMPARE(amount.params.value(0).value<Money>(), Money(999999999999999999LL));
    }

    void deepNestingIsRefusedWithAMessage_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::newRow("30000 parentheses") << repeated("(", 30000) + "{MasJV.VouNo} = 1" + repeated(")", 30000);
        QTest::newRow("20000 nots") << repeated("not ", 20000) + "{MasJV.VouNo} = 1";
        QTest::newRow("mixed") << repeated("not (", 5000) + "{MasJV.VouNo} = 1" + repeated(")", 5000);
        QTest::newRow("unclosed") << repeated("(", 30000);
    }
    void deepNestingIsRefusedWithAMessage()
    {
        QFETCH(QString, formula);
        const QString e = errorOf(formula);
        QVERIFY2(e.contains("nested more than 32 deep"), qPrintable(e.left(200)));
        QVERIFY2(e.contains("at character "), qPrintable(e.left(200)));
        QVERIFY2(e.size() < 400, qPrintable(e.left(200))); // the formula is shown around the place only
    }

    void nestingAtTheLimitRunsOnTheDatabase()
    {
        // 16 parentheses and 16 nots, interleaved: the deepest formula accepted.
        const QString deep = repeated("not (", 16) + "{Accounts.RowID} > 0" + repeated(")", 16);
        QCOMPARE(chartRows(deep), chartRows({}));
        const QString odd = "not " + repeated("not (", 14) + "({Accounts.RowID} > 0)" + repeated(")", 14);
        QCOMPARE(chartRows(odd), 0);
        QString tooDeep = "not " + deep;
        tooDeep.replace("{Accounts.RowID}", "{MasJV.VouNo}");
        QVERIFY(errorOf(tooDeep).contains("nested more than 32 deep"));
    }

    void longChainsOfOrAndAndRun()
    {
        // Every account named once in 300 or-terms (ids that do not exist add nothing).
        QStringList terms;
        for (int id = 1; id <= 300; ++id)
            terms << QString("{Accounts.RowID} = %1").arg(id);
        const int all = chartRows({});
        QCOMPARE(chartRows(terms.join(" or ")), all);
        // "and" binds tighter: the last term is spoilt, the others still count.
        QCOMPARE(chartRows(terms.join(" OR ") + " and {Accounts.RowID} = 0"),
                 chartRows(terms.mid(0, 299).join(" or ")));
        QStringList ands;
        for (int i = 0; i < 300; ++i)
            ands << QString("{Accounts.RowID} > %1").arg(-i);
        QCOMPARE(chartRows(ands.join(" and ")), all);
        const int low = Conn.scalar("select count(*) from Accounts where RowID <= 5").toInt();
        QVERIFY(low > 0);
        QCOMPARE(chartRows("(" + terms.join(" or ") + ") and {Accounts.RowID} <= 5"), low);
        QCOMPARE(chartRows("not (" + terms.mid(5).join(" or ") + ")"), low);
        // 5000 terms: more than the database's own limit of expression depth when written flat.
        QStringList many;
        for (int id = 1; id <= 5000; ++id)
            many << QString("{Accounts.RowID} = %1").arg(id);
        QCOMPARE(chartRows(many.join(" or ")), all);
    }
};

QTEST_GUILESS_MAIN(TstFormulaLimits)
#include "tst_formulalimits.moc"
