// Long reports laid out a few rows at a time give the same pages as in one go, whatever the
// size of the steps; the page count reaches the footers only at the end; pages let go and laid
// out again are the pages of the first layout; the packed pages and the CSV rows give back
// exactly what was put in.
#include "db/money.h"
#include "reportengine/docpages_p.h"
#include "reportengine/layout.h"

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

// Sums by group, a running balance that starts from a subreport, a subreport flowed at every
// group, wrapped lines: every part of the layout's state that a page carries to the next.
const char* Again = R"(title "AGAIN"
page A5 portrait
from DetJV d
field {DetJV.VouStatus} text d.VouStatus
field {DetJV.VouNo} number d.VouNo
field {DetJV.DrAmt} amount d.DrAmt
field {DetJV.Naration} text d.Naration
group {DetJV.VouStatus}
balance {DetJV.DrAmt} from rptOpen.{Accounts.OpenBal}
band page-header 8
    text 0 0 100 6 bold {ReportTitle}
end
band group-header 1 6
    text 0 0 60 5 bold "Kind " {DetJV.VouStatus}
    subreport rptOpen
end
band detail 5
    text 0 0 20 5 {DetJV.VouNo} csv="No."
    text 20 0 50 5 wrap {DetJV.Naration} csv="Narration"
    text 70 0 25 5 {DetJV.DrAmt} csv="Amount"
    text 95 0 28 5 balance()
end
band group-footer 1 6
    text 0 0 60 5 "Lines " count()
    text 74 0 25 5 sum({DetJV.DrAmt})
end
band page-footer 6
    text 0 0 120 5 right "Page " {PageNumber} " of " {TotalPages}
end
subreport rptOpen
    from Accounts a
    field {Accounts.OpenBal} amount a.OpenBal
    band detail 5
        text 0 0 60 5 "Brought forward " {Accounts.OpenBal}
    end
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

QList<QRectF> rectsOf(const Document& d, int page)
{
    QList<QRectF> out;
    for (const DocItem& it : d.page(page)->items)
        out << it.rect;
    return out;
}

struct Laid {
    QList<QStringList> texts; // by page
    QList<QList<QRectF>> rects;
    int pages = 0;
    QList<QStringList> csv;
};

Laid describe(const Document& d)
{
    Laid out;
    out.pages = d.pageCount();
    for (int p = 0; p < d.pageCount(); ++p) {
        out.texts << d.pageTexts(p);
        out.rects << rectsOf(d, p);
    }
    out.csv = d.csvRows();
    return out;
}

// Small budgets for one test: few pages kept, the rows in a file.
struct SmallBudgets {
    qint64 pages = Document::setKeptPagesBudget(6000);
    qint64 rows = RowSpool::setMemoryLimit(4096);
    ~SmallBudgets()
    {
        Document::setKeptPagesBudget(pages);
        RowSpool::setMemoryLimit(rows);
    }
};
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
        QCOMPARE(expected.texts.last().last(), QString("Page %1 of %1").arg(expected.pages));

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

    void pagesLaidOutAgainAreTheFirstOnes()
    {
        auto in = std::make_shared<LayoutInputs>();
        in->templ = parseTemplate(QString::fromLatin1(Again), "/x/rptAgain.rpt");
        in->ctx.subreportRows = {{Row{QVariant::fromValue(Money(250000))}}};
        BufferedRows all(&data);
        Layout whole(in->templ, in->ctx);
        const Laid expected = describe(whole.run(all));
        QVERIFY(expected.pages > 20);

        SmallBudgets small;
        BufferedRows source(&data);
        Layout layout(in);
        layout.begin(source);
        const auto doc = layout.document();
        while (!layout.step(25) && doc->laidOutPages() < 12) {
        }
        // While the rest is laid out: page 1, long let go, comes back with its count not known.
        QVERIFY(doc->keptPages() < doc->laidOutPages());
        QStringList first = expected.texts[0];
        first.last() = "Page 1 of ?";
        QCOMPARE(doc->pageTexts(0), first);
        QCOMPARE(rectsOf(*doc, 0), expected.rects[0]);
        while (!layout.step(25)) {
        }
        QVERIFY(doc->keptPages() <= 4);
        // Read in order (as a PDF is written), then backwards (as a user pages back): each page
        // from the checkpoint before it.
        const Laid again = describe(*doc);
        QCOMPARE(again.pages, expected.pages);
        QCOMPARE(again.texts, expected.texts);
        QCOMPARE(again.rects, expected.rects);
        QCOMPARE(again.csv, expected.csv);
        for (int p = expected.pages - 1; p >= 0; --p) {
            QCOMPARE(doc->pageTexts(p), expected.texts[p]);
            QCOMPARE(rectsOf(*doc, p), expected.rects[p]);
        }
    }

    void csvRowsFromTheRowsAsRead()
    {
        const Template t = parseTemplate(QString::fromLatin1(Again), "/x/rptAgain.rpt");
        RunContext ctx;
        ctx.subreportRows = {{}};
        const QVector<Row> rows{{"JV", qint64(1), QVariant::fromValue(Money(1000)), "Cash, in hand"},
                                {"JV", qint64(2), QVariant(), "Say \"hello\" – Café"},
                                {"JV", qint64(3), QVariant::fromValue(Money(-50)), "Two\nlines"}};
        BufferedRows source(&rows);
        Layout layout(t, ctx);
        const Document d = layout.run(source);
        QTemporaryDir dir;
        const QString path = dir.filePath("rows.csv");
        d.writeCsv(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()),
                 QString("No.,Narration,Amount\r\n1,\"Cash, in hand\",10.00\r\n2,\"Say \"\"hello\"\" – Café\",\r\n"
                         "3,\"Two\nlines\",-0.50\r\n"));
    }
};

QTEST_MAIN(TstLongLayout)
#include "tst_longlayout.moc"
