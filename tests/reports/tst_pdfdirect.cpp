// The PDF written straight from the pages (long reports): the texts come back out of it as laid
// out (page marks, cut texts, shrunk figures, three faces), pages have the report's paper, and a
// text that needs shaping is refused, so that the export goes through Qt's PDF engine, still
// with every text.
#include "reportengine/layout.h"
#include "reportengine/pdfdirect.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace qv::rpt;

namespace {
const char* Sample = R"(title "SAMPLE – Café"
page A5 landscape
font "DejaVu Sans" 9
from DetJV d
field {DetJV.Naration} text d.Naration
field {DetJV.DrAmt} amount d.DrAmt
band page-header 10
    text 0 0 120 6 bold center {ReportTitle}
    line 0 8 180 8 width=0.5
end
band detail 6
    text 0 0 40 5 {DetJV.Naration}
    text 40 0 18 5 {DetJV.DrAmt}
    box 60 0 20 5
end
band page-footer 8
    text 0 2 180 5 italic right "Page " {PageNumber} " of " {TotalPages}
end
)";

QString run(const QString& tool, const QStringList& args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(tool, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

Document sample(const QVector<Row>& rows)
{
    static const Template t = parseTemplate(QString::fromUtf8(Sample), "/x/rptSample.rpt");
    RunContext ctx;
    BufferedRows source(&rows);
    return Layout(t, ctx).run(source);
}

QVector<Row> lines(int n, const QString& extra = {})
{
    QVector<Row> out;
    for (int i = 0; i < n; ++i)
        out << Row{QStringLiteral("Line %1 plot").arg(i), QVariant::fromValue(qv::Money(123456 + i))};
    // Cut short with "…" in its box, and a figure too wide for its box.
    out << Row{QStringLiteral("A narration far too long to fit in its box"),
               QVariant::fromValue(qv::Money(123456789012LL))};
    if (!extra.isEmpty())
        out << Row{extra, QVariant::fromValue(qv::Money(1))};
    return out;
}
} // namespace

class TstPdfDirect : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty()
            || QStandardPaths::findExecutable("pdfinfo").isEmpty())
            QSKIP("poppler-utils (pdftotext, pdfinfo) are not installed");
    }

    void textsComeBackAsLaidOut_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<bool>("direct");
        QTest::newRow("latin texts: written directly") << QString() << true;
        QTest::newRow("a text that needs shaping: through Qt") << QString("کراچی پلاٹ") << false;
    }
    void textsComeBackAsLaidOut()
    {
        QFETCH(QString, extra);
        QFETCH(bool, direct);
        const Document d = sample(lines(60, extra));
        QVERIFY(d.pageCount() >= 3);
        const QString path = dir.filePath(QString("sample-%1.pdf").arg(direct));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(writePdfDirect(d, f), direct);
        }
        if (!direct)
            d.writePdf(path); // what the export does then (a short report goes this way anyway)
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("%PDF-"));
        QCOMPARE(bytes.contains("/Producer (Quoravel)"), direct);

        const QString info = run("pdfinfo", {path});
        QVERIFY2(info.contains(QRegularExpression(QString("Pages:\\s+%1\\n").arg(d.pageCount()))), qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression("Page size:\\s+595(\\.\\d+)? x 4(19|20)")), qPrintable(info));
        QVERIFY2(info.contains("SAMPLE – Café"), qPrintable(info));

        const QStringList pages = run("pdftotext", {"-layout", path, "-"}).split('\f');
        QCOMPARE(pages.size() - 1, d.pageCount()); // a form feed after every page
        for (int p = 0; p < d.pageCount(); ++p) {
            const QString text = pages[p];
            QVERIFY2(text.contains("SAMPLE – Café"), qPrintable(text));
            QVERIFY2(text.contains(QString("Page %1 of %2").arg(p + 1).arg(d.pageCount())), qPrintable(text));
            // Every line of the page in its order, figures included.
            int at = 0;
            for (const QString& t : d.pageTexts(p)) {
                if (t.isEmpty() || t.contains("Page ") || t.startsWith("SAMPLE") || t.startsWith("A narration")
                    || (!extra.isEmpty() && t == extra))
                    continue;
                const int found = text.indexOf(t, at);
                QVERIFY2(found >= 0, qPrintable(QString("page %1: \"%2\" missing or out of order").arg(p + 1).arg(t)));
                at = found;
            }
        }
        const QString last = pages[d.pageCount() - 1];
        QVERIFY2(last.contains("1,234,567,890.12"), qPrintable(last)); // shrunk, never cut
        QVERIFY2(last.contains(QRegularExpression("A narration far[^\\n]*…")), qPrintable(last));
        QVERIFY(!last.contains("to fit in its box"));
        if (!direct)
            QVERIFY2(last.contains(QRegularExpression("[\\x{0600}-\\x{06FF}\\x{FB50}-\\x{FEFF}]{3,}.*0\\.01")),
                     qPrintable(last)); // the Urdu line, in the shaped forms poppler reads back
    }
};

QTEST_MAIN(TstPdfDirect)
#include "tst_pdfdirect.moc"
