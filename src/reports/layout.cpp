#include "reports/layout.h"

#include "reports/amountwords.h"
#include "reports/reporterror.h"

#include <QFontMetricsF>

namespace qv::rpt {

namespace {
constexpr double MeasureDpi = 1200;
constexpr double Epsilon = 1e-6;

bool truthy(const QVariant& v)
{
    if (v.isNull() || !v.isValid())
        return false;
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>().cents != 0;
    const QString s = v.toString().trimmed();
    return !s.isEmpty() && s != QLatin1String("0") && s.compare(QLatin1String("N"), Qt::CaseInsensitive) != 0
           && s.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
}

Money addChecked(Money a, Money b)
{
    qint64 r = 0;
    if (__builtin_add_overflow(a.cents, b.cents, &r))
        throw ReportError(QStringLiteral("A running balance is too large to be represented."));
    return Money(r);
}

QString balanceText(Money m)
{
    if (m.cents == 0)
        return displayAmount(m);
    return m.cents < 0 ? displayAmount(Money(-m.cents)) + QStringLiteral(" Cr")
                       : displayAmount(m) + QStringLiteral(" Dr");
}

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
} // namespace

Layout::Layout(const Template& t, const RunContext& ctx)
    : m_t(t)
    , m_ctx(ctx)
{
    m_page = t.pageSizeMm();
    m_doc.title = t.title;
    m_doc.pageSize = t.pageSize;
    m_doc.orientation = t.orientation;
    m_doc.pageMm = m_page;
    m_doc.fontFamily = t.fontFamily;
    m_doc.styles = t.styles;
    const Band* footer = t.main.band(BandKind::PageFooter);
    m_bodyBottom = m_page.height() - t.margins.bottom() - (footer ? footer->height : 0);
    for (const auto& [sub, field] : t.running.starts)
        for (const Row& r : ctx.subreportRows.value(sub))
            if (!r[field].isNull())
                m_runStart = addChecked(m_runStart, r[field].value<Money>());
    if (const Band* d = t.main.band(BandKind::Detail)) {
        for (const Element& e : d->elements) {
            if (e.kind != ElementKind::Text || e.pieces.size() != 1 || e.pieces[0].kind != PieceKind::Field)
                continue;
            const FieldInfo& f = t.main.fields.all()[e.pieces[0].field];
            m_csvFields << f.index;
            m_doc.csvHeader << (e.csvName.isEmpty() ? f.name : e.csvName);
        }
    }
}

Document Layout::run(RowSource& rows)
{
    double fixed = m_t.margins.top() + m_t.margins.bottom();
    for (BandKind k : {BandKind::PageHeader, BandKind::ColumnHeader, BandKind::PageFooter})
        if (const Band* b = m_t.main.band(k))
            fixed += b->height;
    if (fixed > m_page.height() - 5)
        throw ReportError(
            QStringLiteral("The page header, column headers and page footer of %1 leave no room for its rows.")
                .arg(m_t.main.name));
    processSection(m_t.main, rows, 0, true);
    endPage();
    const int n = m_doc.pageCount();
    for (int p = 0; p < n; ++p)
        for (DocItem& it : m_doc.pages[p].items)
            if (it.pageRef) {
                it.text.replace(PageNumberMark, QString::number(p + 1));
                it.text.replace(PageCountMark, QString::number(n));
            }
    return std::move(m_doc);
}

void Layout::processSection(const Section& s, RowSource& rows, double x, bool isMain)
{
    const int groups = int(s.groups.size());
    QVector<Accs> accs(groups + 1, Accs(s.aggregates.size()));
    Row row, prev;
    bool have = rows.next(row);
    bool any = false;
    if (isMain) {
        if (have) {
            m_lastMain = row;
            m_mainRow = &m_lastMain;
        }
        startPage();
        emitBand(s, s.band(BandKind::ReportHeader), m_mainRow, nullptr, x);
        if (!m_columnHeaderPlaced)
            emitBand(s, s.band(BandKind::ColumnHeader), m_mainRow, nullptr, x);
        m_columnHeaderPlaced = true;
    } else {
        emitBand(s, s.band(BandKind::ReportHeader), have ? &row : nullptr, nullptr, x);
        emitBand(s, s.band(BandKind::ColumnHeader), have ? &row : nullptr, nullptr, x);
    }
    while (have) {
        int from = 1;
        if (any) {
            from = groups + 1;
            for (int l = 1; l <= groups; ++l)
                if (row[s.groups[l - 1]] != prev[s.groups[l - 1]]) {
                    from = l;
                    break;
                }
            closeGroups(s, from, prev, accs, x);
        }
        if (isMain) {
            m_lastMain = row;
            m_mainRow = &m_lastMain;
        }
        openGroups(s, from, row, accs, x);
        accumulate(s, row, accs);
        if (isMain && m_t.running.field >= 0 && !row[m_t.running.field].isNull())
            m_running = addChecked(m_running, row[m_t.running.field].value<Money>());
        emitBand(s, s.band(BandKind::Detail), &row, nullptr, x);
        if (isMain) {
            addCsvRow(row);
            ++m_doc.detailRows;
        }
        prev.swap(row);
        any = true;
        have = rows.next(row);
    }
    if (any)
        closeGroups(s, 1, prev, accs, x);
    emitBand(s, s.band(BandKind::ReportFooter), any ? &prev : nullptr, &accs[0], x);
}

void Layout::closeGroups(const Section& s, int from, const Row& last, QVector<Accs>& accs, double x)
{
    for (int l = int(s.groups.size()); l >= from; --l)
        emitBand(s, s.band(BandKind::GroupFooter, l), &last, &accs[l], x);
}

void Layout::openGroups(const Section& s, int from, const Row& row, QVector<Accs>& accs, double x)
{
    const int groups = int(s.groups.size());
    if (from > groups)
        return;
    // A group's headers stay on the page of its first line.
    double need = 0;
    for (int l = from; l <= groups; ++l)
        if (const Band* b = s.band(BandKind::GroupHeader, l))
            need += bandHeight(s, *b, &row);
    if (const Band* d = s.band(BandKind::Detail))
        need += bandHeight(s, *d, &row);
    ensureRoom(need);
    for (int l = from; l <= groups; ++l) {
        accs[l] = Accs(s.aggregates.size());
        emitBand(s, s.band(BandKind::GroupHeader, l), &row, nullptr, x);
    }
}

void Layout::accumulate(const Section& s, const Row& row, QVector<Accs>& accs)
{
    for (int slot = 0; slot < s.aggregates.size(); ++slot) {
        const Aggregate& a = s.aggregates[slot];
        const QVariant v = a.field >= 0 ? row[a.field] : QVariant();
        for (Accs& level : accs) {
            Acc& acc = level[slot];
            ++acc.count;
            if (a.count || v.isNull())
                continue;
            if (v.metaType() == QMetaType::fromType<Money>())
                acc.money += v.value<Money>();
            else if (v.metaType() == QMetaType::fromType<qint64>())
                acc.whole += v.toLongLong();
            else {
                acc.fraction += v.toDouble();
                acc.hasFraction = true;
            }
        }
    }
}

double Layout::bandHeight(const Section& s, const Band& b, const Row* row, const Accs* accs)
{
    double h = b.height;
    for (const Element& e : b.elements) {
        if (!e.wrap || e.kind != ElementKind::Text)
            continue;
        const QString text = elementText(s, e, row, accs);
        const int lines = int(wrapLines(text, e.style, e.rect.width()).size());
        if (lines > 1)
            h = qMax(h, e.rect.top() + lines * lineHeightMm(e.style));
    }
    return h;
}

void Layout::ensureRoom(double h)
{
    if (m_doc.pages.isEmpty())
        startPage();
    // A band taller than an empty page goes where it is rather than paging for ever.
    if (m_y + h > m_bodyBottom + Epsilon && m_y > m_bodyTop + Epsilon) {
        endPage();
        startPage();
    }
}

void Layout::emitBand(const Section& s, const Band* b, const Row* row, const Accs* accs, double x)
{
    if (!b)
        return;
    const double h = bandHeight(s, *b, row, accs);
    ensureRoom(h);
    place(s, *b, row, accs, x, m_y);
    m_y += h;
    for (const Element& e : b->elements) {
        if (e.kind != ElementKind::Subreport)
            continue;
        BufferedRows sub(&m_ctx.subreportRows[e.subreport]);
        processSection(m_t.subreports[e.subreport], sub, x + e.rect.x(), false);
    }
}

void Layout::startPage()
{
    m_doc.pages.push_back(DocPage());
    m_y = m_t.margins.top();
    const Section& main = m_t.main;
    if (const Band* ph = main.band(BandKind::PageHeader)) {
        const double h = bandHeight(main, *ph, m_mainRow);
        place(main, *ph, m_mainRow, nullptr, 0, m_y);
        m_y += h;
    }
    m_columnHeaderPlaced = false;
    if (m_doc.pages.size() > 1) {
        if (const Band* ch = main.band(BandKind::ColumnHeader)) {
            place(main, *ch, m_mainRow, nullptr, 0, m_y);
            m_y += ch->height;
        }
        m_columnHeaderPlaced = true;
    }
    m_bodyTop = m_y;
}

void Layout::endPage()
{
    if (m_doc.pages.isEmpty())
        return;
    const Band* pf = m_t.main.band(BandKind::PageFooter);
    if (pf)
        place(m_t.main, *pf, m_mainRow, nullptr, 0, m_page.height() - m_t.margins.bottom() - pf->height);
}

void Layout::place(const Section& s, const Band& b, const Row* row, const Accs* accs, double x, double y)
{
    DocPage& page = m_doc.pages.last();
    const double left = m_t.margins.left() + x;
    for (const Element& e : b.elements) {
        DocItem it;
        it.pen = float(e.pen);
        switch (e.kind) {
        case ElementKind::Subreport:
            continue;
        case ElementKind::Line:
            it.kind = DocItem::Line;
            it.rect =
                QRectF(QPointF(left + e.line.x1(), y + e.line.y1()), QPointF(left + e.line.x2(), y + e.line.y2()));
            page.items.push_back(it);
            continue;
        case ElementKind::Box:
            it.kind = DocItem::Box;
            it.rect = e.rect.translated(left, y);
            page.items.push_back(it);
            continue;
        case ElementKind::Text:
            break;
        }
        const QString text = elementText(s, e, row, accs);
        for (const Piece& p : e.pieces)
            it.pageRef |= p.kind == PieceKind::PageNumber || p.kind == PieceKind::TotalPages;
        QRectF r = e.rect.translated(left, y);
        if (e.indentField >= 0 && row) {
            const double indent = (*row)[e.indentField].toDouble() * e.indentMm;
            r.setLeft(qMin(r.left() + qMax(0.0, indent), r.right() - 1));
        }
        it.style = quint16(e.boldIfField >= 0 && row && truthy((*row)[e.boldIfField]) ? e.boldStyle : e.style);
        const QStringList lines = e.wrap ? wrapLines(text, it.style, r.width()) : QStringList{text};
        if (lines.size() == 1) {
            it.rect = r;
            it.text = lines.first();
            page.items.push_back(it);
            continue;
        }
        const double lh = lineHeightMm(it.style);
        for (int i = 0; i < lines.size(); ++i) {
            it.rect = QRectF(r.left(), r.top() + i * lh, r.width(), lh);
            it.text = lines[i];
            page.items.push_back(it);
        }
    }
}

QString Layout::elementText(const Section& s, const Element& e, const Row* row, const Accs* accs) const
{
    if (e.words) { // checked when read: one amount field or sum
        const Piece& p = e.pieces.first();
        if (p.kind == PieceKind::Sum)
            return accs ? amountInWords((*accs)[p.slot].money) : QString();
        const QVariant v = row ? (*row)[p.field] : QVariant();
        return v.isNull() || !v.isValid() ? QString() : amountInWords(v.value<Money>());
    }
    QString text;
    for (const Piece& p : e.pieces)
        text += pieceText(s, p, row, accs, e.blankZero);
    return text;
}

QString Layout::valueText(const QVariant& v, FieldType type, bool blankZero) const
{
    if (v.isNull() || !v.isValid())
        return {};
    switch (type) {
    case FieldType::Amount: {
        const Money m = v.value<Money>();
        return blankZero && m.cents == 0 ? QString() : displayAmount(m);
    }
    case FieldType::Date:
        return v.toDate().toString(QStringLiteral("dd-MM-yyyy"));
    case FieldType::Number:
        if (blankZero && v.toDouble() == 0)
            return {};
        if (v.metaType() == QMetaType::fromType<double>())
            return QString::number(v.toDouble(), 'g', 15);
        return QString::number(v.toLongLong());
    case FieldType::Text:
        return v.toString();
    }
    return {};
}

QString Layout::pieceText(const Section& s, const Piece& p, const Row* row, const Accs* accs, bool blankZero) const
{
    switch (p.kind) {
    case PieceKind::Literal:
        return p.text;
    case PieceKind::Field:
        return row ? valueText((*row)[p.field], s.fields.all()[p.field].type, blankZero) : QString();
    case PieceKind::Company:
        return m_ctx.company.value(p.text.toLower());
    case PieceKind::FormulaField:
        return m_ctx.formulaTexts.value(p.formula);
    case PieceKind::PageNumber:
        return QString(PageNumberMark);
    case PieceKind::TotalPages:
        return QString(PageCountMark);
    case PieceKind::PrintDate:
        return m_ctx.printed.date().toString(QStringLiteral("dd-MM-yyyy"));
    case PieceKind::PrintTime:
        return QLocale(QLocale::English).toString(m_ctx.printed.time(), QStringLiteral("hh:mm AP"));
    case PieceKind::Title:
        return m_t.title;
    case PieceKind::Opening:
        return balanceText(m_runStart);
    case PieceKind::Balance:
        return balanceText(addChecked(m_runStart, m_running));
    case PieceKind::Count:
        return accs ? QString::number((*accs)[p.slot].count) : QString();
    case PieceKind::Sum: {
        if (!accs)
            return {};
        const Acc& a = (*accs)[p.slot];
        if (s.fields.all()[p.field].type == FieldType::Amount)
            return blankZero && a.money.cents == 0 ? QString() : displayAmount(a.money);
        if (a.hasFraction)
            return QString::number(double(a.whole) + a.fraction, 'g', 15);
        return blankZero && a.whole == 0 ? QString() : QString::number(a.whole);
    }
    }
    return {};
}

double Layout::lineHeightMm(int style)
{
    wrapLines(QString(), style, 1); // makes the fonts
    return QFontMetricsF(m_fonts[style], &m_measure).lineSpacing() * 25.4 / MeasureDpi;
}

QStringList Layout::wrapLines(const QString& text, int style, double widthMm)
{
    if (m_fonts.isEmpty()) {
        m_measure = QImage(1, 1, QImage::Format_RGB32);
        m_measure.setDotsPerMeterX(qRound(MeasureDpi / 0.0254));
        m_measure.setDotsPerMeterY(qRound(MeasureDpi / 0.0254));
        for (const TextStyle& st : m_t.styles) {
            QFont f(m_t.fontFamily);
            f.setPointSizeF(st.size);
            f.setBold(st.bold);
            f.setItalic(st.italic);
            m_fonts << f;
        }
    }
    if (text.isEmpty())
        return {QString()};
    const QFontMetricsF fm(m_fonts[style], &m_measure);
    // A little room is kept: other devices measure slightly differently.
    const double limit = widthMm * MeasureDpi / 25.4 * 0.97;
    QStringList out;
    for (const QString& para : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : para.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && fm.horizontalAdvance(candidate) > limit) {
                out << line;
                line = word;
            } else {
                line = candidate;
            }
        }
        out << line;
    }
    return out;
}

void Layout::addCsvRow(const Row& row)
{
    QStringList cells;
    cells.reserve(m_csvFields.size());
    for (int f : m_csvFields)
        cells << csvValue(row[f], m_t.main.fields.all()[f].type);
    m_doc.csvRows.push_back(cells);
}

} // namespace qv::rpt
