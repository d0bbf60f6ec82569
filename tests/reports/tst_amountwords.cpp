// Totals in words, as the printed vouchers state them: the scales, the teens and tens, cents,
// zero and the extremes of the amount type; and the template option that prints them.
#include "reportengine/amountwords.h"
#include "reportengine/template.h"
#include "reportengine/reporterror.h"

#include <QTest>
#include <limits>

using qv::Money;
using qv::rpt::amountInWords;

class TstAmountWords : public QObject {
    Q_OBJECT
private slots:
    void words_data()
    {
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QString>("words");
        QTest::newRow("zero") << qint64(0) << "Zero Only";
        QTest::newRow("cents only") << qint64(5) << "Zero and 05/100 Only";
        QTest::newRow("teen") << qint64(1300) << "Thirteen Only";
        QTest::newRow("tens and ones") << qint64(4200 + 700) << "Forty-Nine Only";
        QTest::newRow("round ten") << qint64(9000) << "Ninety Only";
        QTest::newRow("hundreds") << qint64(100'00) << "One Hundred Only";
        QTest::newRow("thousands with cents")
            << qint64(1'234'50) << "One Thousand Two Hundred Thirty-Four and 50/100 Only";
        QTest::newRow("empty groups skipped") << qint64(1'000'001'00) << "One Million One Only";
        QTest::newRow("every group") << qint64(615'000'00) << "Six Hundred Fifteen Thousand Only";
        QTest::newRow("billions") << qint64(2'000'000'019'99) << "Two Billion Nineteen and 99/100 Only";
        QTest::newRow("negative") << qint64(-10'01) << "Minus Ten and 01/100 Only";
    }
    void words()
    {
        QFETCH(qint64, cents);
        QFETCH(QString, words);
        QCOMPARE(amountInWords(Money(cents)), words);
    }

    // The largest and smallest amounts the type holds still read as words, with no overflow.
    void extremes()
    {
        // 92,233,720,368,547,758.07
        QCOMPARE(amountInWords(Money(std::numeric_limits<qint64>::max())),
                 "Ninety-Two Quadrillion Two Hundred Thirty-Three Trillion Seven Hundred Twenty Billion Three "
                 "Hundred Sixty-Eight Million Five Hundred Forty-Seven Thousand Seven Hundred Fifty-Eight and "
                 "07/100 Only");
        const QString min = amountInWords(Money(std::numeric_limits<qint64>::min()));
        QVERIFY(min.startsWith("Minus Ninety-Two Quadrillion"));
        QVERIFY(min.endsWith("and 08/100 Only"));
    }

    // `words` takes one amount only: a text, a number field or two parts are refused when read.
    void optionChecked()
    {
        const QString head = "title \"T\"\nfrom MasJV m\nfield {MasJV.TotalAmount} amount m.TotalAmount\n"
                             "field {MasJV.VouNo} number m.VouNo\n";
        const auto parse = [&](const QString& band) { return qv::rpt::parseTemplate(head + band, "t.rpt"); };
        const qv::rpt::Template ok =
            parse("band report-footer 10\n    text 0 0 100 5 words sum({MasJV.TotalAmount})\nend\n");
        QVERIFY(ok.main.bands.first().elements.first().words);
        // Words are text, not a figure: left-aligned unless told.
        const int style = ok.main.bands.first().elements.first().style;
        QCOMPARE(ok.styles[style].align, Qt::AlignLeft);
        for (const char* bad : {"text 0 0 100 5 words {MasJV.VouNo}", "text 0 0 100 5 words \"x\"",
                                "text 0 0 100 5 words \"Total \" {MasJV.TotalAmount}"}) {
            try {
                parse(QString("band detail 10\n    %1\nend\n").arg(bad));
                QFAIL(bad);
            } catch (const qv::rpt::ReportError& e) {
                QVERIFY2(e.description().contains("words writes out one amount"), qPrintable(e.description()));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TstAmountWords)
#include "tst_amountwords.moc"
