// The layout of grouped rows without a database: two group levels, where the outer and the
// inner value change on the same row, or only the outer one does. Each footer carries the sums
// of its own group, and the inner footer prints before the outer one.
#include "db/money.h"
#include "reportengine/layout.h"

#include <QRegularExpression>
#include <QTest>

using namespace qv::rpt;
using qv::Money;

namespace {
const char* TwoGroups = R"(title "T"
from DetJV d
field {DetJV.VouStatus} text d.VouStatus
field {DetJV.VouNo} number d.VouNo
field {DetJV.DrAmt} amount d.DrAmt
group {DetJV.VouStatus}
group {DetJV.VouNo}
band group-header 1 5
    text 0 0 60 5 "Kind " {DetJV.VouStatus}
end
band group-header 2 5
    text 0 0 60 5 "Voucher " {DetJV.VouNo}
end
band detail 5
    text 0 0 30 5 {DetJV.DrAmt}
end
band group-footer 2 5
    text 0 0 60 5 "End voucher " {DetJV.VouNo} ", lines " count()
    text 60 0 30 5 sum({DetJV.DrAmt})
end
band group-footer 1 5
    text 0 0 60 5 "End kind " {DetJV.VouStatus} ", lines " count()
    text 60 0 30 5 sum({DetJV.DrAmt})
end
band report-footer 5
    text 0 0 60 5 "Grand, lines " count()
    text 60 0 30 5 sum({DetJV.DrAmt})
end
)";

Row row(const char* kind, qint64 no, qint64 cents)
{
    return Row{QString::fromLatin1(kind), no, QVariant::fromValue(Money(cents))};
}

QStringList laidOut(const QVector<Row>& rows)
{
    const Template t = parseTemplate(QString::fromLatin1(TwoGroups), "/x/rptTwoGroups.rpt");
    RunContext ctx;
    BufferedRows source(&rows);
    Layout layout(t, ctx);
    return layout.run(source).allText().split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts);
}
} // namespace

class TstLayout : public QObject {
    Q_OBJECT
private slots:
    void footersOfTwoLevels()
    {
        const QStringList text = laidOut({
            row("BP", 1, 1000), row("BP", 1, 500), // voucher 1
            row("BP", 2, 100),                     // only the inner value changes
            row("CP", 2, 700),                     // only the outer value changes: voucher 2 again
            row("CP", 3, 50),                      //
            row("JV", 4, 225),                     // both change on the same row
        });
        const QStringList expected{"Kind BP",
                                   "Voucher 1",
                                   "10.00",
                                   "5.00",
                                   "End voucher 1, lines 2",
                                   "15.00",
                                   "Voucher 2",
                                   "1.00",
                                   "End voucher 2, lines 1",
                                   "1.00",
                                   "End kind BP, lines 3",
                                   "16.00",
                                   "Kind CP",
                                   "Voucher 2",
                                   "7.00",
                                   "End voucher 2, lines 1",
                                   "7.00",
                                   "Voucher 3",
                                   "0.50",
                                   "End voucher 3, lines 1",
                                   "0.50",
                                   "End kind CP, lines 2",
                                   "7.50",
                                   "Kind JV",
                                   "Voucher 4",
                                   "2.25",
                                   "End voucher 4, lines 1",
                                   "2.25",
                                   "End kind JV, lines 1",
                                   "2.25",
                                   "Grand, lines 6",
                                   "25.75"};
        QCOMPARE(text, expected);
    }

    void negativeSumsBelowOne()
    {
        // Group sums that end between -1 and 0 keep their sign.
        const QStringList text = laidOut({row("JV", 1, 100), row("JV", 1, -150), row("JV", 2, -5)});
        QCOMPARE(text.mid(text.indexOf("End voucher 1, lines 2") + 1, 1), QStringList{"-0.50"});
        QCOMPARE(text.mid(text.indexOf("End kind JV, lines 3") + 1, 1), QStringList{"-0.55"});
        QVERIFY(text.contains("-0.05"));
    }
};

QTEST_MAIN(TstLayout)
#include "tst_layout.moc"
