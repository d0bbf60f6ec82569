// Reading one element line of a band: its text, field, formula or subreport, its options and
// the pieces of its text.
#include "reportengine/templateparser_p.h"

namespace qv::rpt::detail {

Element TemplateParser::parseElement(const RawLine& l, const Band& band, Section& s, bool isMain)
{
    Scanner sc(l.text);
    const QString kw = sc.word().toLower();
    const double width = m_t.bodyWidth();
    Element e;
    if (kw == QLatin1String("subreport")) {
        if (!isMain)
            fail(l.no, QStringLiteral("a subreport cannot hold another subreport"));
        if (band.kind == BandKind::PageHeader || band.kind == BandKind::PageFooter
            || band.kind == BandKind::ColumnHeader)
            fail(l.no,
                 QStringLiteral("a subreport flows below a report, group or detail band, not in the page's own bands"));
        const QString name = sc.word();
        e.kind = ElementKind::Subreport;
        e.subreport = m_t.subreportIndex(name);
        if (e.subreport < 0)
            fail(l.no, QStringLiteral("there is no subreport \"%1\"").arg(name));
        if (!sc.atEnd())
            e.rect.setX(number(sc.word(), l.no, "the subreport's left edge"));
        return e;
    }
    if (kw != QLatin1String("text") && kw != QLatin1String("line") && kw != QLatin1String("box"))
        fail(l.no, QStringLiteral("a band holds text, line, box and subreport elements, not \"%1\"").arg(kw));
    double g[4];
    for (double& v : g)
        v = number(sc.word(), l.no, "a position");
    if (kw == QLatin1String("line")) {
        e.kind = ElementKind::Line;
        e.line = QLineF(g[0], g[1], g[2], g[3]);
        if (qMax(g[0], g[2]) > width + 0.01 || qMax(g[1], g[3]) > band.height + 0.01)
            fail(l.no, QStringLiteral("the line goes beyond its band or the right margin"));
    } else {
        e.kind = kw == QLatin1String("box") ? ElementKind::Box : ElementKind::Text;
        e.rect = QRectF(g[0], g[1], g[2], g[3]);
        if (e.rect.right() > width + 0.01)
            fail(l.no, QStringLiteral("the element ends at %1 mm, beyond the printable width of %2 mm")
                           .arg(e.rect.right())
                           .arg(width));
        if (e.rect.bottom() > band.height + 0.01)
            fail(l.no, QStringLiteral("the element is taller than its band"));
    }
    TextStyle st;
    st.size = m_t.fontSize;
    bool alignSet = false;
    // Content parts and options may come in any order; the parts keep theirs.
    while (!sc.atEnd()) {
        const QString w = sc.word();
        const bool content = w.startsWith(QLatin1Char('"')) || w.startsWith(QLatin1Char('{'))
                             || w.startsWith(QLatin1String("sum(")) || w.startsWith(QLatin1String("count("))
                             || w == QLatin1String("opening()") || w == QLatin1String("balance()");
        if (content && e.kind == ElementKind::Text)
            e.pieces << parsePiece(w, band, s, l.no);
        else
            parseOption(w, e, st, alignSet, s, l.no);
    }
    if (e.kind != ElementKind::Text)
        return e;
    if (e.pieces.isEmpty())
        fail(l.no, QStringLiteral("the text element shows nothing"));
    if (e.words) {
        const Piece& p = e.pieces.first();
        const bool amount = e.pieces.size() == 1 && (p.kind == PieceKind::Sum || p.kind == PieceKind::Field)
                            && s.fields.all()[p.field].type == FieldType::Amount;
        if (!amount)
            fail(l.no, QStringLiteral("words writes out one amount: a {field} or a sum() of an amount"));
    }
    // A figure alone in its element is right-aligned and never cut short.
    if (e.pieces.size() == 1 && !e.words) {
        const Piece& p = e.pieces.first();
        const bool figure = p.kind == PieceKind::Sum || p.kind == PieceKind::Count || p.kind == PieceKind::Opening
                            || p.kind == PieceKind::Balance
                            || (p.kind == PieceKind::Field
                                && (s.fields.all()[p.field].type == FieldType::Amount
                                    || s.fields.all()[p.field].type == FieldType::Number));
        if (figure) {
            st.shrink = true;
            if (!alignSet)
                st.align = Qt::AlignRight;
        }
    }
    e.style = m_t.internStyle(st);
    TextStyle bold = st;
    bold.bold = true;
    e.boldStyle = m_t.internStyle(bold);
    return e;
}

void TemplateParser::parseOption(const QString& w, Element& e, TextStyle& st, bool& alignSet, Section& s, int no)
{
    const int eq = int(w.indexOf(QLatin1Char('=')));
    const QString key = (eq < 0 ? w : w.left(eq)).toLower();
    const QString val = eq < 0 ? QString() : w.mid(eq + 1);
    auto field = [&](const QString& ref) {
        const FieldInfo* f = s.fields.find(braceName(ref));
        if (!f)
            fail(no, QStringLiteral("the field %1 is not declared").arg(ref));
        return f->index;
    };
    if (key == QLatin1String("left") || key == QLatin1String("center") || key == QLatin1String("right")) {
        st.align = key == QLatin1String("left")    ? Qt::AlignLeft
                   : key == QLatin1String("right") ? Qt::AlignRight
                                                   : Qt::AlignHCenter;
        alignSet = true;
    } else if (key == QLatin1String("bold")) {
        st.bold = true;
    } else if (key == QLatin1String("italic")) {
        st.italic = true;
    } else if (key == QLatin1String("wrap")) {
        e.wrap = true;
    } else if (key == QLatin1String("blank-zero")) {
        e.blankZero = true;
    } else if (key == QLatin1String("csv-only")) {
        e.csvOnly = true;
    } else if (key == QLatin1String("words")) {
        e.words = true;
    } else if (key == QLatin1String("size")) {
        st.size = number(val, no, "the font size");
    } else if ((key == QLatin1String("width")) && e.kind != ElementKind::Text) {
        e.pen = number(val, no, "the line width");
    } else if (key == QLatin1String("bold-if")) {
        e.boldIfField = field(val);
    } else if (key == QLatin1String("indent")) {
        const int star = int(val.indexOf(QLatin1Char('*')));
        if (star < 0)
            fail(no, QStringLiteral("indent is written indent={Table.Column}*MILLIMETRES"));
        e.indentField = field(val.left(star));
        e.indentMm = number(val.mid(star + 1), no, "the indent");
    } else if (key == QLatin1String("csv") && isQuoted(val)) {
        e.csvName = unquote(val);
    } else {
        fail(no,
             QStringLiteral("\"%1\" is neither an option of this element nor a text between double quotes or a {field}")
                 .arg(w));
    }
}

Piece TemplateParser::parsePiece(const QString& w, const Band& band, Section& s, int no)
{
    Piece p;
    if (isQuoted(w)) {
        p.text = unquote(w);
        return p;
    }
    if (w == QLatin1String("opening()") || w == QLatin1String("balance()")) {
        if (&s != &m_t.main)
            fail(no, QStringLiteral("%1 belongs to the main report").arg(w));
        m_usesBalance = no;
        p.kind = w == QLatin1String("opening()") ? PieceKind::Opening : PieceKind::Balance;
        return p;
    }
    const bool sum = w.startsWith(QLatin1String("sum(")) && w.endsWith(QLatin1Char(')'));
    const bool count = w.compare(QLatin1String("count()"), Qt::CaseInsensitive) == 0;
    if (sum || count) {
        if (band.kind != BandKind::GroupFooter && band.kind != BandKind::ReportFooter)
            fail(no, QStringLiteral("sums and counts belong in group and report footers"));
        Aggregate a;
        a.count = count;
        if (sum) {
            const FieldInfo* f = s.fields.find(braceName(w.mid(4, w.size() - 5)));
            if (!f)
                fail(no, QStringLiteral("%1 does not sum a declared field").arg(w));
            if (f->type != FieldType::Amount && f->type != FieldType::Number)
                fail(no, QStringLiteral("only amounts and numbers can be summed, not {%1}").arg(f->name));
            a.field = f->index;
        }
        p.kind = count ? PieceKind::Count : PieceKind::Sum;
        p.field = a.field;
        p.slot = int(s.aggregates.size());
        s.aggregates.push_back(a);
        return p;
    }
    const QString name = braceName(w);
    if (name.isEmpty())
        fail(no, QStringLiteral("\"%1\" is neither a text between double quotes nor a {field}").arg(w));
    if (name.startsWith(QLatin1Char('@'))) {
        p.kind = PieceKind::FormulaField;
        p.formula = m_t.formulaIndex(name.mid(1));
        if (p.formula < 0)
            fail(no, QStringLiteral("there is no formula field %1").arg(name.mid(1)));
        return p;
    }
    static const QList<QPair<QString, PieceKind>> specials{{QStringLiteral("PageNumber"), PieceKind::PageNumber},
                                                           {QStringLiteral("TotalPages"), PieceKind::TotalPages},
                                                           {QStringLiteral("PrintDate"), PieceKind::PrintDate},
                                                           {QStringLiteral("PrintTime"), PieceKind::PrintTime},
                                                           {QStringLiteral("ReportTitle"), PieceKind::Title}};
    for (const auto& [n, k] : specials)
        if (name.compare(n, Qt::CaseInsensitive) == 0) {
            p.kind = k;
            return p;
        }
    if (name.startsWith(QLatin1String("Company."), Qt::CaseInsensitive)) {
        const QString col = name.mid(8);
        for (const QString& c : CompanyColumns)
            if (c.compare(col, Qt::CaseInsensitive) == 0) {
                p.kind = PieceKind::Company;
                p.text = c;
                return p;
            }
        fail(no, QStringLiteral("the company has no column \"%1\"").arg(col));
    }
    const FieldInfo* f = s.fields.find(name);
    if (!f)
        fail(no, QStringLiteral("the field {%1} is not declared").arg(name));
    p.kind = PieceKind::Field;
    p.field = f->index;
    return p;
}

} // namespace qv::rpt::detail
