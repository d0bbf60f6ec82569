// Long reports laid out a few rows at a time give the same pages as in one go, whatever the
// size of the steps; the page count reaches the footers only at the end; the packed stores of
// pages and CSV rows give back exactly what was put in.
#include "db/money.h"
#include "reports/layout.h"

#include <QTemporaryDir>
#include <QTest>

using namespace qv::rpt;
using qv::Money;

namespace {
const char* Long = R"(title "LONG"
page A5 portrait
from DetJV d
field {DetJV.VouStatus} text d.VouStatus
field {DetJV.VouNo} number d.VouNo
field {DetJV.DrAmt} amount d.DrAmt
field {DetJV.Naration} text d.Naration
group {DetJV.VouStatus}
band page-header 8
    text 0 0 100 6 bold {ReportTitle}
end
band group-header 1 6
    text 0 0 60 5 bold "Kind " {DetJV.VouStatus}
end
band detail 5
    text 0 0 20 5 {DetJV.VouNo}
    text 22 0 70 5 wrap {DetJV.Naration}
    text 94 0 30 5 {DetJV.DrAmt}
end
band group-footer 1 6
    text 0 0 60 5 "Lines " count()
    text 94 0 30 5 sum({DetJV.DrAmt})
end
band page-footer 6
    text 0 0 120 5 right "Page " {PageNumber} " of " {TotalPages}
end
)";

QVector<Row> rows(int n)
{
    QVector<Row> out;
    const char* kinds[] = {"BP", "CP", "JV"};
    for (int i = 0; i < n; ++i) {
        // Every ninth narration wraps onto two or three lines: bands of different heights.
        const QString narration = i % 9 == 0 ? QStringLiteral("Cement and steel for block %1, delivered to the site "
                                                              "office against the running bill of the month")
                                                   .arg(i)
                                             : QStringLiteral("Line %1").arg(i);
        out << Row{QString::fromLatin1(kinds[i * 3 / n]), qint64(i + 1), QVariant::fromValue(Money(i * 101 + 7)),
                   narration};
    }
    return out;
}

struct Laid {
    QStringList texts;
    QList<QRectF> rects;
    int pages = 0;
    QList<QStringList> csv;
};

Laid describe(const Document& d)
{
    Laid out;
    out.pages = d.pageCount();
    for (int p = 0; p < d.pageCount(); ++p) {
        out.texts << d.pageTexts(p);
        for (const DocItem& it : d.pages[p].items)
            out.rects << it.rect;
    }
    for (const QStringList& r : d.csvRows)
        out.csv << r;
    return out;
}
} // namespace

class TstLongLayout : public QObject {
    Q_OBJECT
    Template t = parseTemplate(QString::fromLatin1(Long), "/x/rptLong.rpt");
    QVector<Row> data = rows(700);

private slots:
    void stepsGiveTheSamePages()
    {
        RunContext ctx;
        BufferedRows all(&data);
        Layout whole(t, ctx);
        const Laid expected = describe(whole.run(all));
        QVERIFY(expected.pages > 20);
        QCOMPARE(expected.csv.size(), 700);
        QCOMPARE(expected.texts.last(), QString("Page %1 of %1").arg(expected.pages));

        for (int step : {1, 7, 250}) {
            BufferedRows source(&data);
            Layout layout(t, ctx);
            layout.begin(source);
            auto doc = layout.document();
            QVERIFY(!doc->complete);
            int steps = 0;
            bool sawOpenPage = false;
            while (!layout.step(step)) {
                ++steps;
                // The page being filled is not counted as laid out; its count is not known yet.
                QCOMPARE(doc->laidOutPages(), doc->pageCount() - 1);
                if (doc->laidOutPages() >= 1 && !sawOpenPage) {
                    sawOpenPage = true;
                    QCOMPARE(doc->pageTexts(0).last(), QString("Page 1 of ?"));
                }
            }
            QVERIFY(sawOpenPage);
            QVERIFY(steps >= 700 / step - 1);
            QVERIFY(doc->complete);
            QCOMPARE(doc->laidOutPages(), doc->pageCount());
            const Laid got = describe(*doc);
            QCOMPARE(got.pages, expected.pages);
            QCOMPARE(got.texts, expected.texts);
            QCOMPARE(got.rects, expected.rects);
            QCOMPARE(got.csv, expected.csv);
        }
    }

    void packedItemsKeepTextsAndPlaces()
    {
        DocItems items;
        const QStringList texts{"", "12,345.67", "Café – ½ plot", QString(300, QChar('x'))};
        for (int i = 0; i < texts.size(); ++i) {
            DocItem it;
            it.kind = i == 0 ? DocItem::Line : DocItem::Text;
            it.style = quint16(i);
            it.pen = 0.5f;
            it.rect = QRectF(10.25 + i, 20.5, 30.75, 4.5);
            it.text = texts[i];
            items.push_back(it);
        }
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[2].text, texts[2]); // unpacked on this access
        DocItem more;
        more.text = "after";
        items.push_back(more); // the unpacked copy follows a change
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[4].text, QString("after"));
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(items[i].text, texts[i]);
            QCOMPARE(items[i].style, quint16(i));
            QCOMPARE(items[i].rect, QRectF(10.25 + i, 20.5, 30.75, 4.5));
        }
        QCOMPARE(items[0].kind, DocItem::Line);
        // A filled-in mark may be shorter or longer than the text it replaces.
        items.setText(1, "1");
        items.setText(2, "a much longer text than before");
        QCOMPARE(items[1].text, QString("1"));
        QCOMPARE(items[2].text, QString("a much longer text than before"));
        QCOMPARE(items[3].text, texts[3]);
        QCOMPARE(items[4].text, QString("after"));
    }

    void packedCsvRowsAndTheirFile()
    {
        Document d;
        d.csvHeader = QStringList{"Code", "Title", "Amount"};
        const QList<QStringList> rows{{"1.1", "Cash, in hand", "10.00"},
                                      {"1.2", "", "-0.50"},
                                      {"1.3", "Say \"hello\" – Café", "0.00"},
                                      {"1.4", "Two\nlines", ""}};
        for (const QStringList& r : rows)
            d.csvRows.push_back(r);
        QCOMPARE(d.csvRows.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(d.csvRows[i], rows[i]);
        QTemporaryDir dir;
        const QString path = dir.filePath("rows.csv");
        d.writeCsv(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()),
                 QString("Code,Title,Amount\r\n1.1,\"Cash, in hand\",10.00\r\n1.2,,-0.50\r\n"
                         "1.3,\"Say \"\"hello\"\" – Café\",0.00\r\n1.4,\"Two\nlines\",\r\n"));
    }
};

QTEST_MAIN(TstLongLayout)
#include "tst_longlayout.moc"
