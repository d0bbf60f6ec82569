#include "reportengine/document.h"

#include "db/money.h"
#include "reportengine/docpages_p.h"
#include "reportengine/outputfile.h"
#include "reportengine/pdfdirect.h"
#include "reportengine/reporterror.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <optional>

namespace qv::rpt {

Document::Document()
    : m_pages(std::make_unique<Pages>())
{
}

Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

int Document::pageCount() const
{
    return m_pages->count;
}

int Document::keptPages() const
{
    return int(m_pages->kept.size()) + (m_pages->open ? 1 : 0);
}

QString Document::pageText(int page, const QString& text) const
{
    if (!text.contains(PageNumberMark) && !text.contains(PageCountMark))
        return text;
    QString out = text;
    out.replace(PageNumberMark, QString::number(page + 1));
    out.replace(PageCountMark, complete ? QString::number(pageCount()) : QStringLiteral("?"));
    return out;
}

QStringList Document::pageTexts(int page) const
{
    const std::shared_ptr<const DocPage> pg = this->page(page);
    if (!pg)
        return {};
    const DocItems& items = pg->items;
    QVector<const DocItems::Packed*> texts;
    for (const DocItems::Packed& i : items.packed())
        if (i.kind == DocItem::Text)
            texts << &i;
    std::stable_sort(texts.begin(), texts.end(), [](const DocItems::Packed* a, const DocItems::Packed* b) {
        if (qAbs(a->y - b->y) > 0.5f)
            return a->y < b->y;
        return a->x < b->x;
    });
    QStringList out;
    for (const DocItems::Packed* i : texts)
        out << (i->pageRef ? pageText(page, items.text(*i)) : items.text(*i));
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
    const std::shared_ptr<const DocPage> pg = this->page(page);
    if (!pg)
        return;
    QPaintDevice* dev = p.device();
    const double sx = dev->logicalDpiX() * zoom / 25.4, sy = dev->logicalDpiY() * zoom / 25.4;
    // Fonts and their metrics once per page: a long report paints millions of texts.
    QVector<QFont> fonts(styles.size());
    QVector<QFontMetricsF> metrics;
    metrics.reserve(styles.size());
    for (int i = 0; i < styles.size(); ++i) {
        QFont f(fontFamily);
        f.setPointSizeF(styles[i].size * zoom);
        f.setBold(styles[i].bold);
        f.setItalic(styles[i].italic);
        fonts[i] = f;
        metrics << QFontMetricsF(f, dev);
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setBrush(Qt::NoBrush);
    double penWidth = -1;
    int fontStyle = -1; // the style whose font the painter holds; -2 after a shrunk figure
    const DocItems& items = pg->items;
    for (const DocItems::Packed& it : items.packed()) {
        const QRectF r(it.x * sx, it.y * sy, it.w * sx, it.h * sy);
        if (it.kind != DocItem::Text) {
            const double w = qMax(0.5, it.pen * sx);
            if (w != penWidth || fontStyle != -1) {
                QPen pen(Qt::black);
                pen.setWidthF(w);
                p.setPen(pen);
                penWidth = w;
            }
            if (it.kind == DocItem::Line)
                p.drawLine(r.topLeft(), r.bottomRight());
            else
                p.drawRect(r);
            continue;
        }
        if (it.textLen == 0)
            continue;
        QString text = items.text(it);
        if (it.pageRef)
            text = pageText(page, text);
        if (text.contains(QLatin1Char('\n')) || text.contains(QChar::LineSeparator))
            text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QChar::LineSeparator, QLatin1Char(' '));
        const TextStyle& st = styles[it.style];
        const QFontMetricsF* fm = &metrics[it.style];
        double w = fm->horizontalAdvance(text);
        std::optional<QFontMetricsF> shrunk;
        if (w > r.width()) {
            if (st.shrink) {
                // A figure is never cut: it gets a smaller type instead.
                QFont font = fonts[it.style];
                font.setPointSizeF(qMax(1.0, font.pointSizeF() * r.width() / w * 0.98));
                p.setFont(font);
                fontStyle = -2;
                shrunk.emplace(font, dev);
                fm = &*shrunk;
                w = fm->horizontalAdvance(text);
            } else {
                text = fm->elidedText(text, Qt::ElideRight, r.width());
                w = fm->horizontalAdvance(text);
            }
        }
        if (fontStyle != it.style && !shrunk) {
            p.setFont(fonts[it.style]);
            fontStyle = it.style;
        }
        if (penWidth != 0) {
            p.setPen(Qt::black);
            penWidth = 0;
        }
        // One line, centred on the box's height, placed by the style's alignment.
        double x = r.left();
        if (st.align & Qt::AlignRight)
            x = r.right() - w;
        else if (st.align & Qt::AlignHCenter)
            x = r.left() + (r.width() - w) / 2;
        const double y = r.top() + (r.height() - (fm->ascent() + fm->descent())) / 2 + fm->ascent();
        p.drawText(QPointF(x, y), text);
    }
    p.restore();
}

void Document::paintPages(QPagedPaintDevice& device, int from, int to, const Progress& progress) const
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
        if (progress && !progress(i - first + 1, last - first + 1)) {
            p.end();
            throw OutputStopped();
        }
    }
    p.end();
}

void Document::writePdf(const QString& path, const QStringList& inputs, const Progress& progress) const
{
    // Written aside and moved into place at the end: a failed export leaves the old file.
    // Long reports are written directly (fast, whole fonts embedded); short ones through Qt's
    // engine, whose font subsets keep a voucher's PDF small.
    if (pageCount() >= 50) {
        OutputFile direct(path, inputs);
        if (writePdfDirect(*this, direct.device(), progress)) {
            direct.commit();
            return;
        }
    }
    // Short reports, and texts that need shaping: painted through Qt's own PDF engine.
    OutputFile f(path, inputs);
    {
        QPdfWriter w(&f.device());
        w.setResolution(600);
        w.setPageLayout(pageLayout());
        w.setTitle(title);
        w.setCreator(QStringLiteral("Quoravel"));
        paintPages(w, 0, 0, progress);
    }
    f.commit();
}

namespace {
QString csvValue(const QVariant& v, FieldType type)
{
    if (v.isNull())
        return {};
    switch (type) {
    case FieldType::Amount:
        return plainAmount(v.value<Money>());
    case FieldType::Date:
        return v.toDate().toString(Qt::ISODate);
    default:
        return v.toString();
    }
}

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

void Document::forEachCsvRow(const std::function<void(const QStringList&)>& f) const
{
    if (!m_pages->spool)
        return;
    // The spool may hold rows read ahead of the layout: only the laid-out ones count.
    SpooledRows rows(m_pages->spool);
    Row r;
    QStringList cells;
    for (int n = 0; n < detailRows && rows.next(r); ++n) {
        cells.clear();
        for (const auto& [field, type] : m_pages->csvFields)
            cells << csvValue(r[field], type);
        f(cells);
    }
}

QList<QStringList> Document::csvRows() const
{
    QList<QStringList> out;
    forEachCsvRow([&out](const QStringList& cells) { out << cells; });
    return out;
}

void Document::writeCsv(const QString& path, const QStringList& inputs) const
{
    OutputFile f(path, inputs);
    auto line = [](const QStringList& cells) {
        QStringList out;
        for (const QString& c : cells)
            out << csvField(c);
        return (out.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
    };
    f.write(line(csvHeader));
    forEachCsvRow([&](const QStringList& r) { f.write(line(r)); });
    f.commit();
}

} // namespace qv::rpt
