#include "reports/document.h"

#include "reports/outputfile.h"
#include "reports/reporterror.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

namespace qv::rpt {

QStringList Document::pageTexts(int page) const
{
    QVector<const DocItem*> texts;
    if (page < 0 || page >= pages.size())
        return {};
    // Point into the stored page, never into a copy that dies with the loop.
    for (const DocItem& i : pages.at(page).items)
        if (i.kind == DocItem::Text)
            texts << &i;
    std::stable_sort(texts.begin(), texts.end(), [](const DocItem* a, const DocItem* b) {
        if (qAbs(a->rect.top() - b->rect.top()) > 0.5)
            return a->rect.top() < b->rect.top();
        return a->rect.left() < b->rect.left();
    });
    QStringList out;
    for (const DocItem* i : texts)
        out << i->text;
    return out;
}

QString Document::allText() const
{
    QStringList out;
    for (int p = 0; p < pageCount(); ++p)
        out << pageTexts(p).join(QLatin1Char('\n'));
    return out.join(QLatin1Char('\f'));
}

QPageLayout Document::pageLayout() const
{
    return QPageLayout(QPageSize(pageSize), orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

void Document::paintPage(QPainter& p, int page, double zoom) const
{
    if (page < 0 || page >= pageCount())
        return;
    QPaintDevice* dev = p.device();
    const double sx = dev->logicalDpiX() * zoom / 25.4, sy = dev->logicalDpiY() * zoom / 25.4;
    QVector<QFont> fonts(styles.size());
    for (int i = 0; i < styles.size(); ++i) {
        QFont f(fontFamily);
        f.setPointSizeF(styles[i].size * zoom);
        f.setBold(styles[i].bold);
        f.setItalic(styles[i].italic);
        fonts[i] = f;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    for (const DocItem& it : pages[page].items) {
        const QRectF r(it.rect.left() * sx, it.rect.top() * sy, it.rect.width() * sx, it.rect.height() * sy);
        if (it.kind != DocItem::Text) {
            QPen pen(Qt::black);
            pen.setWidthF(qMax(0.5, it.pen * sx));
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            if (it.kind == DocItem::Line)
                p.drawLine(r.topLeft(), r.bottomRight());
            else
                p.drawRect(r);
            continue;
        }
        if (it.text.isEmpty())
            continue;
        const TextStyle& st = styles[it.style];
        QFont font = fonts[it.style];
        QString text = it.text;
        QFontMetricsF fm(font, dev);
        const double w = fm.horizontalAdvance(text);
        if (w > r.width()) {
            if (st.shrink) {
                // A figure is never cut: it gets a smaller type instead.
                font.setPointSizeF(qMax(1.0, font.pointSizeF() * r.width() / w * 0.98));
            } else {
                text = fm.elidedText(text, Qt::ElideRight, r.width());
            }
        }
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(r, int(st.align | Qt::AlignVCenter) | Qt::TextSingleLine, text);
    }
    p.restore();
}

void Document::paintPages(QPagedPaintDevice& device, int from, int to) const
{
    const int first = from > 0 ? from - 1 : 0;
    const int last = to > 0 ? qMin(to, pageCount()) - 1 : pageCount() - 1;
    QPainter p;
    if (!p.begin(&device))
        throw ReportError(QStringLiteral("The report could not be painted on this device."));
    for (int i = first; i <= last; ++i) {
        if (i > first)
            device.newPage();
        paintPage(p, i);
    }
    p.end();
}

void Document::writePdf(const QString& path) const
{
    // Written aside and moved into place at the end: a failed export leaves the old file.
    OutputFile f(path);
    {
        QPdfWriter w(&f.device());
        w.setResolution(600);
        w.setPageLayout(pageLayout());
        w.setTitle(title);
        w.setCreator(QStringLiteral("Quoravel"));
        paintPages(w);
    }
    f.commit();
}

namespace {
QString csvField(const QString& s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n'))
        && !s.contains(QLatin1Char('\r')))
        return s;
    QString q = s;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}
} // namespace

void Document::writeCsv(const QString& path) const
{
    OutputFile f(path);
    auto line = [](const QStringList& cells) {
        QStringList out;
        for (const QString& c : cells)
            out << csvField(c);
        return (out.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
    };
    f.write(line(csvHeader));
    for (const QStringList& r : csvRows)
        f.write(line(r));
    f.commit();
}

} // namespace qv::rpt
