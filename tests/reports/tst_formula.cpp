// The selection formula compiler: what each formula compiles to, which formulas it refuses and
// why, and that no typed text reaches the statement.
#include "db/money.h"
#include "reportengine/formula.h"
#include "reportengine/reportdata.h"
#include "reportengine/reporterror.h"

#include <QDate>
#include <QTest>

using namespace qv::rpt;
using qv::Money;

Q_DECLARE_METATYPE(QVariantList)

namespace {
FieldSet fields()
{
    FieldSet f;
    f.add("Company.comActive", "c.comActive", FieldType::Text);
    f.add("MasJV.VouNo", "m.VouNo", FieldType::Number);
    f.add("DetJV.VouDate", "d.VouDate", FieldType::Date);
    f.add("DetJV.DrAmt", "d.DrAmt", FieldType::Amount);
    f.add("DetJV.Naration", "d.Naration", FieldType::Text);
    f.add("DetJV.CrAc", "d.CrAc", FieldType::Number);
    return f;
}

SqlCondition compile(const QString& text, qv::Backend b = qv::Backend::Sqlite)
{
    return Formula::parse(text, fields()).toSql(b);
}

QString errorOf(const QString& text)
{
    try {
        compile(text);
    } catch (const ReportError& e) {
        return e.description();
    }
    return {};
}
} // namespace

class TstFormula : public QObject {
    Q_OBJECT
private slots:
    void literalsAndOperators_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariantList>("params");
        const QVariantList twelve{qint64(12)};
        QTest::newRow("=") << "{MasJV.VouNo} = 12"
                           << "((m.VouNo) = ?)" << twelve;
        QTest::newRow("<>") << "{MasJV.VouNo}<>12"
                            << "((m.VouNo) <> ?)" << twelve;
        QTest::newRow("<") << "{MasJV.VouNo} < 12"
                           << "((m.VouNo) < ?)" << twelve;
        QTest::newRow(">") << "{MasJV.VouNo} > 12"
                           << "((m.VouNo) > ?)" << twelve;
        QTest::newRow("<=") << "{MasJV.VouNo} <= 12"
                            << "((m.VouNo) <= ?)" << twelve;
        QTest::newRow(">=") << "{MasJV.VouNo}>= 12"
                            << "((m.VouNo) >= ?)" << twelve;
        QTest::newRow("literal on the left") << "12 = {MasJV.VouNo}"
                                             << "(? = (m.VouNo))" << twelve;
        QTest::newRow("negative") << "{MasJV.VouNo} > -3"
                                  << "((m.VouNo) > ?)" << QVariantList{qint64(-3)};
        QTest::newRow("decimal") << "{MasJV.VouNo} < 2.5"
                                 << "((m.VouNo) < ?)" << QVariantList{2.5};
        QTest::newRow("text") << "{Company.comActive} = 'Y'"
                              << "((c.comActive) = ?)" << QVariantList{"Y"};
        QTest::newRow("double-quoted text") << "{Company.comActive} = \"Y\""
                                            << "((c.comActive) = ?)" << QVariantList{"Y"};
        QTest::newRow("quote inside") << "{DetJV.Naration} = 'O''BRIEN''S PLOT'"
                                      << "((d.Naration) = ?)" << QVariantList{"O'BRIEN'S PLOT"};
        QTest::newRow("text holding SQL") << "{DetJV.Naration} = 'x''; drop table Accounts; --'"
                                          << "((d.Naration) = ?)" << QVariantList{"x'; drop table Accounts; --"};
        QTest::newRow("date") << "{DetJV.VouDate} < #2026-01-05#"
                              << "((d.VouDate) < ?)" << QVariantList{QDate(2026, 1, 5)};
        QTest::newRow("in to") << "{DetJV.VouDate} in #2026-01-05# to #2026-02-28#"
                               << "((d.VouDate) BETWEEN ? AND ?)"
                               << QVariantList{QDate(2026, 1, 5), QDate(2026, 2, 28)};
        QTest::newRow("amount exact") << "{DetJV.DrAmt} >= 1500.5"
                                      << "((d.DrAmt) >= ?)" << QVariantList{QVariant::fromValue(Money(150050))};
        QTest::newRow("amount range") << "{DetJV.DrAmt} in 0.01 to 99999999999.99"
                                      << "((d.DrAmt) BETWEEN ? AND ?)"
                                      << QVariantList{QVariant::fromValue(Money(1)),
                                                      QVariant::fromValue(Money(9999999999999))};
        QTest::newRow("two fields") << "{DetJV.CrAc} = {MasJV.VouNo}"
                                    << "((d.CrAc) = (m.VouNo))" << QVariantList{};
        QTest::newRow("caller's spacing")
            << "{Company.comActive}='Y' and {DetJV.CrAc} = 4 and {DetJV.VouDate} in "
               "#2025-07-01# to #2025-12-31#"
            << "(((c.comActive) = ?) AND ((d.CrAc) = ?) AND ((d.VouDate) BETWEEN ? AND ?))"
            << QVariantList{"Y", qint64(4), QDate(2025, 7, 1), QDate(2025, 12, 31)};
    }
    void literalsAndOperators()
    {
        QFETCH(QString, formula);
        QFETCH(QString, sql);
        QFETCH(QVariantList, params);
        const SqlCondition c = compile(formula);
        QCOMPARE(c.sql, sql);
        QCOMPARE(c.params, params);
    }

    void precedenceAndParentheses_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("sql");
        // A, B, C stand for the three comparisons.
        QTest::newRow("and over or") << "{MasJV.VouNo} = 1 or {MasJV.VouNo} = 2 and {MasJV.VouNo} = 3"
                                     << "(A OR (B AND C))";
        QTest::newRow("not over and") << "not {MasJV.VouNo} = 1 and {MasJV.VouNo} = 2"
                                      << "((NOT A) AND B)";
        QTest::newRow("not, and, or") << "{MasJV.VouNo} = 1 OR NOT {MasJV.VouNo} = 2 And {MasJV.VouNo} = 3"
                                      << "(A OR ((NOT B) AND C))";
        QTest::newRow("parentheses first") << "({MasJV.VouNo} = 1 or {MasJV.VouNo} = 2) and {MasJV.VouNo} = 3"
                                           << "((A OR B) AND C)";
        QTest::newRow("not of a group") << "not ({MasJV.VouNo} = 1 or {MasJV.VouNo} = 2)"
                                        << "(NOT (A OR B))";
        QTest::newRow("nested") << "((({MasJV.VouNo} = 1)))"
                                << "A";
        QTest::newRow("not not") << "not not {MasJV.VouNo} = 1"
                                 << "(NOT (NOT A))";
        // A chain is written flat, not one parenthesis per operator.
        QTest::newRow("left to right") << "{MasJV.VouNo} = 1 and {MasJV.VouNo} = 2 and {MasJV.VouNo} = 3"
                                       << "(A AND B AND C)";
        QTest::newRow("chains of both") << "{MasJV.VouNo} = 1 or {MasJV.VouNo} = 2 and {MasJV.VouNo} = 3 or "
                                           "{MasJV.VouNo} = 1 and {MasJV.VouNo} = 2"
                                        << "(A OR (B AND C) OR (A AND B))";
    }
    void precedenceAndParentheses()
    {
        QFETCH(QString, formula);
        QFETCH(QString, sql);
        const SqlCondition c = compile(formula);
        QString shape = c.sql;
        // Each comparison's parameter tells which one it is.
        for (int i = 0; i < c.params.size(); ++i)
            shape.replace(shape.indexOf(QLatin1String("((m.VouNo) = ?)")), 15, QChar('A' + c.params[i].toInt() - 1));
        QCOMPARE(shape, sql);
    }

    void typedTextChangesOnlyItsWhere()
    {
        // The classic widening: it compiles, but only to one parenthesised condition whose values
        // are all parameters.
        const SqlCondition c = compile("{Company.comActive} = 'Y' or 1=1");
        QCOMPARE(c.sql, QString("(((c.comActive) = ?) OR (CAST(? AS NUMERIC) = CAST(? AS NUMERIC)))"));
        QCOMPARE(c.params, (QVariantList{"Y", qint64(1), qint64(1)}));

        Section s;
        s.name = "t";
        s.from = "Accounts a left join Company c on c.comActive = 'Y'";
        s.where = "a.AcStatus = 'DD'";
        s.fields = fields();
        s.order << qMakePair(4, false);
        const SectionSql plain = sectionSql(s, Formula(), qv::Backend::Sqlite);
        const SectionSql widened =
            sectionSql(s, Formula::parse("{Company.comActive} = 'Y' or 1=1", s.fields), qv::Backend::Sqlite);
        const QString head = plain.sql.left(plain.sql.indexOf(" WHERE "));
        QVERIFY(widened.sql.startsWith(head + " WHERE (a.AcStatus = 'DD') AND (((c.comActive) = ?) OR "));
        QVERIFY(widened.sql.endsWith(plain.sql.mid(plain.sql.indexOf(" ORDER BY "))));
        QCOMPARE(widened.params.size(), 3);
    }

    void statementEndingRefused_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("why");
        QTest::newRow("after a text") << "'x'; drop table Accounts"
                                      << "\";\"";
        QTest::newRow("after a condition") << "{Company.comActive} = 'Y'; drop table Accounts"
                                           << "\";\"";
        QTest::newRow("comment") << "{Company.comActive} = 'Y' -- and more"
                                 << "\"-\"";
        QTest::newRow("block comment") << "{Company.comActive} = 'Y' /* */"
                                       << "\"/\"";
        QTest::newRow("bare SQL") << "1=1 union select 1 from Logins"
                                  << "\"union\" was not expected";
        QTest::newRow("SQL in a field name") << "{Company.comActive) or (1} = 1"
                                             << "not part of this report";
    }
    void statementEndingRefused()
    {
        QFETCH(QString, formula);
        QFETCH(QString, why);
        const QString e = errorOf(formula);
        QVERIFY2(e.contains(why), qPrintable(e));
        QVERIFY(e.startsWith("Error in the formula at character "));
    }

    void errorsSayWhatAndWhere_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown field") << "{MasJV.VouNo} = 1 and {Accounts.Nope} = 1"
                                       << "at character 23: the field {Accounts.Nope} is not part of this report";
        QTest::newRow("formula field") << "{@Dates} = 'x'"
                                       << "cannot be used in a selection";
        QTest::newRow("open text") << "{Company.comActive} = 'Y"
                                   << "the text has no closing quote";
        QTest::newRow("open brace") << "{Company.comActive = 'Y'"
                                    << "no closing brace";
        QTest::newRow("open date") << "{DetJV.VouDate} < #2026-01-05"
                                   << "no closing number sign";
        QTest::newRow("no such day") << "{DetJV.VouDate} < #2026-02-30#"
                                     << "#2026-02-30# is not a date";
        QTest::newRow("day first") << "{DetJV.VouDate} < #05-01-2026#"
                                   << "is not a date of the form #yyyy-mm-dd#";
        QTest::newRow("no comparison") << "{MasJV.VouNo}"
                                       << "a comparison (=, <>, <, >, <=, >= or in) is expected";
        QTest::newRow("in without to") << "{DetJV.VouDate} in #2026-01-01# #2026-02-01#"
                                       << "\"to\" is expected";
        QTest::newRow("text with number") << "{MasJV.VouNo} = '12'"
                                          << "a number cannot be compared with text";
        QTest::newRow("date with text") << "{DetJV.VouDate} in '2026' to #2026-02-01#"
                                        << "a date cannot be compared with text";
        QTest::newRow("amount with count") << "{DetJV.DrAmt} = {MasJV.VouNo}"
                                           << "an amount cannot be compared with a number";
        QTest::newRow("sub-cent amount") << "{DetJV.DrAmt} = 1.005"
                                         << "the amount 1.005 has more than two decimals";
        QTest::newRow("dangling and") << "{MasJV.VouNo} = 1 and"
                                      << "instead of the end of the formula";
        QTest::newRow("open parenthesis") << "({MasJV.VouNo} = 1"
                                          << "a closing parenthesis is missing";
        QTest::newRow("stray parenthesis") << "{MasJV.VouNo} = 1)"
                                           << "\")\" was not expected here";
        QTest::newRow("word") << "{MasJV.VouNo} = one"
                              << "instead of \"one\"";
        QTest::newRow("number glued to letters") << "{MasJV.VouNo} = 12abc"
                                                 << "\"12a\" is not a number";
    }
    void errorsSayWhatAndWhere()
    {
        QFETCH(QString, formula);
        QFETCH(QString, message);
        const QString e = errorOf(formula);
        QVERIFY2(e.contains(message), qPrintable(e));
        QVERIFY2(e.endsWith("\n\n" + formula), qPrintable(e)); // the formula is shown with the error
    }

    void literalsFacingLiteralsAreTyped()
    {
        // PostgreSQL cannot compare two untyped parameters; SQLite keeps dates as ISO text.
        QCOMPARE(compile("#2026-01-01# < #2026-02-01#", qv::Backend::Postgres).sql,
                 QString("(CAST(? AS DATE) < CAST(? AS DATE))"));
        QCOMPARE(compile("#2026-01-01# < #2026-02-01#", qv::Backend::Sqlite).sql, QString("(? < ?)"));
        QCOMPARE(compile("'a' = 'a'", qv::Backend::Postgres).sql, QString("(CAST(? AS TEXT) = CAST(? AS TEXT))"));
        QCOMPARE(compile("{DetJV.VouDate} < #2026-01-01#", qv::Backend::Postgres).sql, QString("((d.VouDate) < ?)"));
    }

    void fieldNamesAndKeywordsIgnoreCase()
    {
        QCOMPARE(compile("{company.COMACTIVE} = 'Y' AND NOT {masjv.vouno} IN 1 TO 5").sql,
                 QString("(((c.comActive) = ?) AND (NOT ((m.VouNo) BETWEEN ? AND ?)))"));
    }

    void blankFormulaSelectsEverything()
    {
        QVERIFY(Formula::parse("   ", fields()).isEmpty());
        QVERIFY(compile("").sql.isEmpty());
        QVERIFY(sectionSql(
                    [] {
                        Section s;
                        s.from = "Accounts a";
                        s.fields = fields();
                        return s;
                    }(),
                    Formula(), qv::Backend::Sqlite)
                    .sql.indexOf(" WHERE ")
                < 0);
    }

    void formulaFieldTexts()
    {
        QCOMPARE(formulaFieldText("\"From :  05-01-2026  To :  28-02-2026\""),
                 QString("From :  05-01-2026  To :  28-02-2026"));
        QCOMPARE(formulaFieldText("\"He said \"\"paid\"\"\""), QString("He said \"paid\""));
        QCOMPARE(formulaFieldText("'single'"), QString("single"));
        QCOMPARE(formulaFieldText(""), QString());
        QVERIFY_THROWS_EXCEPTION(ReportError, formulaFieldText("From : 05-01-2026"));
        QVERIFY_THROWS_EXCEPTION(ReportError, formulaFieldText("\"a\" \"b\""));
        QVERIFY_THROWS_EXCEPTION(ReportError, formulaFieldText("\"open"));
    }

    void fieldsDeclaredOnce()
    {
        FieldSet f = fields();
        QVERIFY_THROWS_EXCEPTION(ReportError, f.add("company.comactive", "x", FieldType::Text));
        QVERIFY(f.find("COMPANY.comActive"));
        QVERIFY(!f.find("Company"));
    }
};

QTEST_GUILESS_MAIN(TstFormula)
#include "tst_formula.moc"
