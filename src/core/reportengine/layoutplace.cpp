// Placing a band's elements on the page: texts, fields, sums and running balances, the
// wrapping of long texts, and the CSV row of a detail band.
#include "reportengine/layout.h"
#include "reportengine/layout_p.h"

#include "reportengine/amountwords.h"

#include <QFontMetricsF>

namespace qv::rpt {

using detail::addChecked;
using detail::Epsilon;

namespace {
constexpr double MeasureDpi = 1200;

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

QString balanceText(Money m)
{
    if (m.cents == 0)
        return displayAmount(m);
    return m.cents < 0 ? displayAmount(Money(-m.cents)) + QStringLiteral(" Cr")
                       : displayAmount(m) + QStringLiteral(" Dr");
}

} // namespace

void Layout::place(const Section& s, const Band& b, const Row* row, const Accs* accs, double x, double y)
{
    DocPage& page = *m_open;
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
            if (e.csvOnly)
                continue;
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

} // namespace qv::rpt
