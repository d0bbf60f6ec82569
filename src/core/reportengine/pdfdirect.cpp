#include "reportengine/pdfdirect.h"

#include "reportengine/document.h"
#include "reportengine/reporterror.h"

#include <QMap>
#include <QRawFont>
#include <QtEndian>
#include <cmath>

namespace qv::rpt {

namespace {
constexpr double PtPerMm = 72.0 / 25.4;

QByteArray num(double v)
{
    if (std::abs(v - std::round(v)) < 0.0005)
        return QByteArray::number(qint64(std::round(v)));
    return QByteArray::number(v, 'f', 3);
}

// The same, appended without temporaries: a long report writes millions of them.
void appendNum(QByteArray& c, double v)
{
    qint64 m = qRound64(v * 1000);
    if (m < 0) {
        c += '-';
        m = -m;
    }
    char buf[24];
    int n = 0;
    qint64 whole = m / 1000;
    do {
        buf[n++] = char('0' + whole % 10);
        whole /= 10;
    } while (whole);
    while (n)
        c += buf[--n];
    int frac = int(m % 1000);
    if (frac) {
        c += '.';
        for (int d = 100; d && frac; d /= 10) {
            c += char('0' + frac / d);
            frac %= d;
        }
    }
}

void appendHex4(QByteArray& c, quint32 v)
{
    static const char digits[] = "0123456789abcdef";
    const char s[4] = {digits[(v >> 12) & 15], digits[(v >> 8) & 15], digits[(v >> 4) & 15], digits[v & 15]};
    c.append(s, 4);
}

QByteArray deflate(const QByteArray& data)
{
    return qCompress(data, 1).mid(4); // qCompress puts the length first; the rest is a zlib stream
}

// One face (family, bold, italic) as embedded: its outlines, its widths and the characters of
// the glyphs used.
struct Face {
    QRawFont raw; // at a pixel size of one em: its metrics are in font units
    double em = 1000;
    QVector<double> width;       // by glyph, in font units; -1 until asked
    QMap<quint32, QString> used; // glyph -> the characters it stands for
    QVector<bool> isUsed;        // by glyph
    int object = 0;

    double advance(quint32 g)
    {
        if (g >= quint32(width.size())) {
            width.resize(g + 1, -1);
            isUsed.resize(g + 1, false);
        }
        if (width[g] < 0) {
            const QList<QPointF> a = raw.advancesForGlyphIndexes(QList<quint32>{g}, QRawFont::UseDesignMetrics);
            width[g] = a.isEmpty() ? 0 : a.first().x();
        }
        return width[g];
    }
};

// The font program as a TrueType file, from the tables Qt loaded.
QByteArray trueTypeFile(const QRawFont& raw)
{
    static const char* tags[] = {"OS/2", "cmap", "cvt ", "fpgm", "glyf", "head", "hhea",
                                 "hmtx", "loca", "maxp", "name", "post", "prep"};
    QList<QPair<QByteArray, QByteArray>> tables;
    for (const char* t : tags) {
        const QByteArray data = raw.fontTable(t);
        if (!data.isEmpty())
            tables.append({QByteArray(t), data});
    }
    const quint16 n = quint16(tables.size());
    quint16 pow2 = 1, log2 = 0;
    while (pow2 * 2 <= n) {
        pow2 *= 2;
        ++log2;
    }
    QByteArray out;
    auto u16 = [&](quint16 v) { out.append(char(v >> 8)).append(char(v & 0xff)); };
    auto u32 = [&](quint32 v) { u16(quint16(v >> 16)), u16(quint16(v & 0xffff)); };
    u32(0x00010000);
    u16(n);
    u16(quint16(pow2 * 16));
    u16(log2);
    u16(quint16(n * 16 - pow2 * 16));
    quint32 offset = 12 + 16 * n;
    for (const auto& [tag, data] : tables) {
        QByteArray padded = data;
        padded.append(QByteArray((4 - padded.size() % 4) % 4, '\0'));
        quint32 sum = 0;
        for (qsizetype i = 0; i < padded.size(); i += 4)
            sum += qFromBigEndian<quint32>(padded.constData() + i);
        out.append(tag);
        u32(sum);
        u32(offset);
        u32(quint32(data.size()));
        offset += quint32(padded.size());
    }
    for (const auto& [tag, data] : tables)
        out.append(data).append(QByteArray((4 - data.size() % 4) % 4, '\0'));
    return out;
}

bool simpleText(const QString& s)
{
    for (QChar c : s)
        if (c.isSurrogate() || c.isMark()
            || (c.script() != QChar::Script_Common && c.script() != QChar::Script_Latin
                && c.script() != QChar::Script_Inherited))
            return false;
    return true;
}

class Writer {
public:
    Writer(const Document& d, QIODevice& out)
        : m_doc(d)
        , m_out(out)
    {
    }
    bool run();
    std::function<bool(int, int)> progress;

private:
    int newObject()
    {
        m_offsets.append(0);
        return int(m_offsets.size());
    }
    void begin(int obj)
    {
        m_offsets[obj - 1] = m_pos;
        write(QByteArray::number(obj) + " 0 obj\n");
    }
    void write(const QByteArray& b)
    {
        m_out.write(b);
        m_pos += b.size();
    }
    void stream(int obj, const QByteArray& raw, const QByteArray& extra = {})
    {
        const QByteArray z = deflate(raw);
        begin(obj);
        write("<< /Length " + QByteArray::number(z.size()) + " /Filter /FlateDecode " + extra + ">>\nstream\n");
        write(z);
        write("\nendstream\nendobj\n");
    }
    bool text(QByteArray& c, const DocItems::Packed& it, QString s, double pageH);
    void writeFace(Face& f, const QByteArray& name);

    const Document& m_doc;
    QIODevice& m_out;
    qint64 m_pos = 0;
    QList<qint64> m_offsets;
    QList<Face> m_faces;
    QList<int> m_faceOfStyle;
};

bool Writer::text(QByteArray& c, const DocItems::Packed& it, QString s, double pageH)
{
    if (s.contains(QLatin1Char('\n')) || s.contains(QChar::LineSeparator))
        s.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QChar::LineSeparator, QLatin1Char(' '));
    if (!simpleText(s))
        return false;
    const TextStyle& st = m_doc.styles[it.style];
    Face& f = m_faces[m_faceOfStyle[it.style]];
    double size = st.size;
    auto measure = [&](const QString& t, QList<quint32>* glyphs) {
        const QList<quint32> g = f.raw.glyphIndexesForString(t);
        double units = 0;
        for (quint32 i : g)
            units += f.advance(i);
        if (glyphs)
            *glyphs = g;
        return units / f.em * size / PtPerMm; // mm
    };
    QList<quint32> glyphs;
    double w = measure(s, &glyphs);
    if (w > it.w) {
        if (st.shrink) {
            // A figure is never cut: it gets a smaller type instead.
            size = qMax(1.0, size * it.w / w * 0.98);
            w = measure(s, &glyphs);
        } else {
            const QString dots(QChar(0x2026));
            while (!s.isEmpty() && measure(s + dots, nullptr) > it.w)
                s.chop(1);
            s += dots;
            w = measure(s, &glyphs);
        }
    }
    for (int i = 0; i < glyphs.size(); ++i) {
        if (glyphs[i] == 0)
            return false;           // not in this font: Qt would take another one
        if (!f.isUsed[glyphs[i]]) { // sized by the measuring above
            f.isUsed[glyphs[i]] = true;
            f.used.insert(glyphs[i], s.mid(i, 1));
        }
    }
    double x = it.x;
    if (st.align & Qt::AlignRight)
        x = it.x + it.w - w;
    else if (st.align & Qt::AlignHCenter)
        x = it.x + (it.w - w) / 2;
    const double asc = f.raw.ascent() / f.em * size / PtPerMm, desc = f.raw.descent() / f.em * size / PtPerMm;
    const double base = it.y + (it.h - (asc + desc)) / 2 + asc;
    c += "BT /F";
    appendNum(c, m_faceOfStyle[it.style]);
    c += ' ';
    appendNum(c, size);
    c += " Tf ";
    appendNum(c, x * PtPerMm);
    c += ' ';
    appendNum(c, pageH - base * PtPerMm);
    c += " Td <";
    for (quint32 g : glyphs)
        appendHex4(c, g);
    c += "> Tj ET\n";
    return true;
}

void Writer::writeFace(Face& f, const QByteArray& name)
{
    const int type0 = f.object, cid = newObject(), desc = newObject(), file = newObject(), toUni = newObject();
    begin(type0);
    write("<< /Type /Font /Subtype /Type0 /BaseFont /" + name + " /Encoding /Identity-H /DescendantFonts ["
          + QByteArray::number(cid) + " 0 R] /ToUnicode " + QByteArray::number(toUni) + " 0 R >>\nendobj\n");
    QByteArray widths;
    for (auto it = f.used.cbegin(); it != f.used.cend(); ++it)
        widths += QByteArray::number(it.key()) + " [" + num(f.advance(it.key()) * 1000 / f.em) + "] ";
    begin(cid);
    write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name
          + " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor "
          + QByteArray::number(desc) + " 0 R /CIDToGIDMap /Identity /DW 1000 /W [" + widths + "] >>\nendobj\n");
    const double k = 1000 / f.em;
    begin(desc);
    write("<< /Type /FontDescriptor /FontName /" + name + " /Flags 32 /FontBBox [-1000 -1000 2000 2000] /ItalicAngle 0"
          + " /Ascent " + num(f.raw.ascent() * k) + " /Descent " + num(-f.raw.descent() * k) + " /CapHeight "
          + num(f.raw.capHeight() * k) + " /StemV 80 /FontFile2 " + QByteArray::number(file) + " 0 R >>\nendobj\n");
    const QByteArray ttf = trueTypeFile(f.raw);
    stream(file, ttf, "/Length1 " + QByteArray::number(ttf.size()) + ' ');
    QByteArray cmap = "/CIDInit /ProcSet findresource begin 12 dict begin begincmap /CIDSystemInfo << /Registry "
                      "(Adobe) /Ordering (UCS) /Supplement 0 >> def /CMapName /Adobe-Identity-UCS def /CMapType 2 "
                      "def 1 begincodespacerange <0000> <FFFF> endcodespacerange\n";
    const QList<quint32> keys = f.used.keys();
    for (qsizetype i = 0; i < keys.size(); i += 100) {
        const qsizetype n = qMin<qsizetype>(100, keys.size() - i);
        cmap += QByteArray::number(n) + " beginbfchar\n";
        for (qsizetype j = i; j < i + n; ++j) {
            cmap += '<' + QByteArray::number(keys[j] + 0x10000, 16).right(4) + "> <";
            for (QChar ch : f.used[keys[j]])
                cmap += QByteArray::number(ch.unicode() + 0x10000, 16).right(4);
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap CMapName currentdict /CMap defineresource pop end end\n";
    stream(toUni, cmap);
}

bool Writer::run()
{
    // The faces of the styles.
    for (const TextStyle& st : m_doc.styles) {
        QFont font(m_doc.fontFamily);
        font.setBold(st.bold);
        font.setItalic(st.italic);
        QRawFont raw = QRawFont::fromFont(font);
        if (!raw.isValid() || raw.fontTable("glyf").isEmpty())
            return false;
        int found = -1;
        for (int i = 0; i < m_faces.size(); ++i)
            if (m_faces[i].raw.familyName() == raw.familyName() && m_faces[i].raw.styleName() == raw.styleName())
                found = i;
        if (found < 0) {
            Face f;
            f.em = raw.unitsPerEm();
            raw.setPixelSize(f.em);
            f.raw = raw;
            m_faces.append(f);
            found = int(m_faces.size()) - 1;
        }
        m_faceOfStyle << found;
    }
    const int catalog = newObject(), pages = newObject(), info = newObject();
    for (Face& f : m_faces)
        f.object = newObject();
    write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    const double pageW = m_doc.pageLayout().fullRectPoints().width(),
                 pageH = m_doc.pageLayout().fullRectPoints().height();
    QByteArray kids;
    for (int p = 0; p < m_doc.pageCount(); ++p) {
        const std::shared_ptr<const DocPage> pg = m_doc.page(p);
        if (!pg)
            return false;
        const DocItems& items = pg->items;
        QByteArray c = "0 g 0 G 2 J 2 j\n";
        double pen = -1;
        for (const DocItems::Packed& it : items.packed()) {
            if (it.kind == DocItem::Text) {
                if (it.textLen && !text(c, it, it.pageRef ? m_doc.pageText(p, items.text(it)) : items.text(it), pageH))
                    return false;
                continue;
            }
            if (it.pen != pen) {
                pen = it.pen;
                c += num(qMax(0.05, double(pen)) * PtPerMm) + " w\n";
            }
            const double x = it.x * PtPerMm, y = pageH - it.y * PtPerMm;
            if (it.kind == DocItem::Line)
                c += num(x) + ' ' + num(y) + " m " + num((it.x + it.w) * PtPerMm) + ' '
                     + num(pageH - (it.y + it.h) * PtPerMm) + " l S\n";
            else
                c += num(x) + ' ' + num(y - it.h * PtPerMm) + ' ' + num(it.w * PtPerMm) + ' ' + num(it.h * PtPerMm)
                     + " re S\n";
        }
        const int page = newObject(), content = newObject();
        stream(content, c);
        begin(page);
        write("<< /Type /Page /Parent " + QByteArray::number(pages) + " 0 R /MediaBox [0 0 " + num(pageW) + ' '
              + num(pageH) + "] /Contents " + QByteArray::number(content) + " 0 R >>\nendobj\n");
        kids += QByteArray::number(page) + " 0 R ";
        if (progress && !progress(p + 1, m_doc.pageCount()))
            throw OutputStopped();
    }
    QByteArray fonts;
    for (int i = 0; i < m_faces.size(); ++i) {
        fonts += "/F" + QByteArray::number(i) + ' ' + QByteArray::number(m_faces[i].object) + " 0 R ";
        QByteArray name = m_faces[i].raw.familyName().toLatin1() + '-' + m_faces[i].raw.styleName().toLatin1();
        name.replace(' ', "");
        writeFace(m_faces[i], name);
    }
    begin(pages);
    write("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(m_doc.pageCount())
          + " /Resources << /Font << " + fonts + ">> /ProcSet [/PDF /Text] >> >>\nendobj\n");
    begin(catalog);
    write("<< /Type /Catalog /Pages " + QByteArray::number(pages) + " 0 R >>\nendobj\n");
    QByteArray title = "FEFF";
    for (QChar ch : m_doc.title)
        title += QByteArray::number(ch.unicode() + 0x10000, 16).right(4).toUpper();
    begin(info);
    write("<< /Title <" + title + "> /Creator (Quoravel) /Producer (Quoravel) >>\nendobj\n");
    const qint64 xref = m_pos;
    write("xref\n0 " + QByteArray::number(m_offsets.size() + 1) + "\n0000000000 65535 f \n");
    for (qint64 o : m_offsets)
        write(QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n");
    write("trailer\n<< /Size " + QByteArray::number(m_offsets.size() + 1) + " /Root " + QByteArray::number(catalog)
          + " 0 R /Info " + QByteArray::number(info) + " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n");
    return true;
}
} // namespace

bool writePdfDirect(const Document& doc, QIODevice& out, const std::function<bool(int, int)>& progress)
{
    Writer w(doc, out);
    w.progress = progress;
    return w.run();
}

} // namespace qv::rpt
