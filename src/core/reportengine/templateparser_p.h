#pragma once
// The template reader's own pieces, shared by its two files: the raw lines and sections of the
// first pass and the parser that resolves them (templateparser.cpp, templateelements.cpp).
#include "reportengine/template.h"

#include "reportengine/reporterror.h"

#include <QFileInfo>
#include <QStringList>

namespace qv::rpt::detail {

struct RawLine {
    int no = 0;
    QString text;
};

struct RawBand {
    Band band;
    QVector<RawLine> lines;
    int no = 0;
};

struct RawSection {
    Section section;
    QVector<RawBand> bands;
    int no = 0;
};

// Scans one line: words separated by blanks, a quoted run ("..." with "" inside) kept whole.
class Scanner {
public:
    explicit Scanner(const QString& s)
        : m_s(s)
    {
    }
    void skipBlanks()
    {
        while (m_i < m_s.size() && m_s[m_i].isSpace())
            ++m_i;
    }
    bool atEnd()
    {
        skipBlanks();
        return m_i >= m_s.size();
    }
    QString word()
    {
        skipBlanks();
        const int start = m_i;
        bool quoted = false;
        while (m_i < m_s.size()) {
            const QChar c = m_s[m_i];
            if (c == QLatin1Char('"')) {
                if (quoted && m_i + 1 < m_s.size() && m_s[m_i + 1] == QLatin1Char('"'))
                    ++m_i;
                else
                    quoted = !quoted;
            } else if (!quoted && c.isSpace()) {
                break;
            }
            ++m_i;
        }
        return m_s.mid(start, m_i - start);
    }
    QString rest()
    {
        skipBlanks();
        const QString r = m_s.mid(m_i).trimmed();
        m_i = int(m_s.size());
        return r;
    }
    int pos() const { return m_i; }

private:
    const QString& m_s;
    int m_i = 0;
};

inline int leadingBlanks(const QString& s)
{
    int i = 0;
    while (i < s.size() && s[i].isSpace())
        ++i;
    return i;
}

inline bool isQuoted(const QString& w)
{
    return w.size() >= 2 && w.startsWith(QLatin1Char('"')) && w.endsWith(QLatin1Char('"'));
}

inline QString unquote(const QString& w)
{
    return w.mid(1, w.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
}

// The name inside "{...}", or empty when the word is not a brace reference.
inline QString braceName(const QString& w)
{
    if (w.size() < 3 || !w.startsWith(QLatin1Char('{')) || !w.endsWith(QLatin1Char('}')))
        return {};
    return w.mid(1, w.size() - 2).trimmed();
}

inline const QStringList CompanyColumns{
    QStringLiteral("Company"),   QStringLiteral("comTel"),  QStringLiteral("comFax"),   QStringLiteral("comAddr"),
    QStringLiteral("comTax"),    QStringLiteral("comNTN"),  QStringLiteral("comEmail"), QStringLiteral("comWebSite"),
    QStringLiteral("comActive"), QStringLiteral("CompCode")};

class TemplateParser {
public:
    TemplateParser(const QString& text, const QString& path)
        : m_text(text)
    {
        m_t.path = path;
        m_file = QFileInfo(path).fileName();
    }

    Template run()
    {
        const QStringList lines = m_text.split(QLatin1Char('\n'));
        RawSection main;
        main.section.name = QFileInfo(m_t.path).completeBaseName();
        QVector<RawSection> subs;
        RawSection* section = &main;
        RawBand* band = nullptr;
        for (int i = 0; i < lines.size(); ++i) {
            const int no = i + 1;
            QString line = lines[i];
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            const QString trimmed = line.trimmed();
            if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
                continue;
            Scanner sc(line);
            const QString kw = sc.word().toLower();
            if (band) {
                if (kw == QLatin1String("end"))
                    band = nullptr;
                else
                    band->lines.push_back({no, line});
                continue;
            }
            if (kw == QLatin1String("end")) {
                if (section == &main)
                    fail(no, QStringLiteral("\"end\" closes nothing here"));
                section = &main;
                continue;
            }
            if (kw == QLatin1String("from") || kw == QLatin1String("where")) {
                // Continues on the lines indented deeper than this one.
                const int indent = leadingBlanks(line);
                QString sql = sc.rest();
                while (i + 1 < lines.size()) {
                    const QString next = lines[i + 1];
                    const int nextIndent = leadingBlanks(next);
                    if (next.trimmed().isEmpty() || nextIndent <= indent)
                        break;
                    sql += QLatin1Char(' ') + next.trimmed();
                    ++i;
                }
                if (sql.isEmpty())
                    fail(no, QStringLiteral("\"%1\" needs its SQL text").arg(kw));
                (kw == QLatin1String("from") ? section->section.from : section->section.where) = sql;
            } else if (kw == QLatin1String("field")) {
                const QString name = braceName(sc.word());
                bool ok = false;
                const FieldType type = fieldTypeFromName(sc.word(), &ok);
                const QString sql = sc.rest();
                if (name.isEmpty() || !name.contains(QLatin1Char('.')))
                    fail(no, QStringLiteral("a field is declared as: field {Table.Column} TYPE SQL-EXPRESSION"));
                if (!ok)
                    fail(no, QStringLiteral("the type of {%1} must be text, number, amount or date").arg(name));
                if (sql.isEmpty())
                    fail(no, QStringLiteral("the field {%1} needs its SQL expression").arg(name));
                try {
                    section->section.fields.add(name, sql, type);
                } catch (const ReportError& e) {
                    fail(no, e.description().chopped(1));
                }
            } else if (kw == QLatin1String("group") || kw == QLatin1String("order")) {
                const QString name = braceName(sc.word());
                const QString dir = sc.word().toLower();
                const FieldInfo* f = section->section.fields.find(name);
                if (!f)
                    fail(no, QStringLiteral("the field {%1} is not declared (declare fields before grouping "
                                            "or ordering by them)")
                                 .arg(name));
                if (kw == QLatin1String("group"))
                    section->section.groups << f->index;
                else if (dir.isEmpty() || dir == QLatin1String("asc") || dir == QLatin1String("desc"))
                    section->section.order << qMakePair(f->index, dir == QLatin1String("desc"));
                else
                    fail(no, QStringLiteral("the order is asc or desc, not \"%1\"").arg(dir));
            } else if (kw == QLatin1String("summary")) {
                section->section.summary = true;
            } else if (kw == QLatin1String("balance") && section == &main) {
                // balance {Field} from SUBREPORT.{Field} ...: resolved once the subreports are read.
                m_balanceLine = no;
                m_balanceField = sc.word();
                if (sc.word().toLower() != QLatin1String("from"))
                    fail(no, QStringLiteral("a balance is declared as: balance {Field} from SUBREPORT.{Field} ..."));
                while (!sc.atEnd())
                    m_balanceStarts << sc.word();
            } else if (kw == QLatin1String("band")) {
                section->bands.push_back(parseBandHeader(sc, no, section != &main));
                band = &section->bands.last();
            } else if (kw == QLatin1String("subreport")) {
                if (section != &main)
                    fail(no, QStringLiteral("a subreport cannot hold another subreport"));
                const QString name = sc.word();
                if (name.isEmpty())
                    fail(no, QStringLiteral("the subreport needs a name"));
                for (const RawSection& s : subs)
                    if (s.section.name.compare(name, Qt::CaseInsensitive) == 0)
                        fail(no, QStringLiteral("the subreport \"%1\" is declared twice").arg(name));
                subs.push_back(RawSection());
                subs.last().section.name = name;
                subs.last().no = no;
                section = &subs.last();
            } else if (section == &main && topLevel(kw, sc, no)) {
                // page set-up and formula fields
            } else {
                fail(no, QStringLiteral("\"%1\" is not a directive of this format%2")
                             .arg(kw, section != &main ? QStringLiteral(" (inside a subreport)") : QString()));
            }
        }
        if (band)
            fail(band->no, QStringLiteral("the band has no \"end\""));
        if (section != &main)
            fail(section->no, QStringLiteral("the subreport \"%1\" has no \"end\"").arg(section->section.name));
        for (const RawSection& s : subs)
            m_t.subreports.push_back(s.section);
        m_t.main = main.section;
        finishSection(main, m_t.main, true);
        for (int i = 0; i < subs.size(); ++i)
            finishSection(subs[i], m_t.subreports[i], false);
        if (m_balanceLine)
            resolveBalance();
        if (m_usesBalance && m_t.running.field < 0)
            fail(m_usesBalance, QStringLiteral("opening() and balance() need a \"balance\" declaration"));
        return m_t;
    }

private:
    [[noreturn]] void fail(int line, const QString& what) const
    {
        throw ReportError(
            QStringLiteral("Error in the report template %1, line %2: %3.").arg(m_file).arg(line).arg(what));
    }

    double number(const QString& w, int no, const char* what) const
    {
        bool ok = false;
        const double v = w.toDouble(&ok);
        if (!ok || v < 0)
            fail(no, QStringLiteral("%1 must be a measure in millimetres, not \"%2\"").arg(QLatin1String(what), w));
        return v;
    }

    bool topLevel(const QString& kw, Scanner& sc, int no)
    {
        if (kw == QLatin1String("title")) {
            const QString w = sc.rest();
            if (!isQuoted(w))
                fail(no, QStringLiteral("the title is a text between double quotes"));
            m_t.title = unquote(w);
        } else if (kw == QLatin1String("page")) {
            const QString size = sc.word().toLower(), orient = sc.word().toLower();
            static const QList<QPair<QString, QPageSize::PageSizeId>> sizes{
                {QStringLiteral("a4"), QPageSize::A4},
                {QStringLiteral("a3"), QPageSize::A3},
                {QStringLiteral("a5"), QPageSize::A5},
                {QStringLiteral("letter"), QPageSize::Letter},
                {QStringLiteral("legal"), QPageSize::Legal}};
            bool found = false;
            for (const auto& [n, id] : sizes)
                if (n == size) {
                    m_t.pageSize = id;
                    found = true;
                }
            if (!found)
                fail(no, QStringLiteral("the paper is A4, A3, A5, Letter or Legal, not \"%1\"").arg(size));
            if (orient == QLatin1String("landscape"))
                m_t.orientation = QPageLayout::Landscape;
            else if (orient.isEmpty() || orient == QLatin1String("portrait"))
                m_t.orientation = QPageLayout::Portrait;
            else
                fail(no, QStringLiteral("the orientation is portrait or landscape, not \"%1\"").arg(orient));
        } else if (kw == QLatin1String("margins")) {
            double m[4];
            for (double& v : m)
                v = number(sc.word(), no, "a margin");
            m_t.margins = QMarginsF(m[0], m[1], m[2], m[3]);
        } else if (kw == QLatin1String("font")) {
            const QString fam = sc.word();
            if (!isQuoted(fam))
                fail(no, QStringLiteral("the font is given as: font \"Family\" SIZE"));
            m_t.fontFamily = unquote(fam);
            m_t.fontSize = number(sc.word(), no, "the font size");
        } else if (kw == QLatin1String("formula")) {
            const QString name = sc.word();
            const QString text = sc.rest();
            if (name.isEmpty() || m_t.formulaIndex(name) >= 0)
                fail(no, QStringLiteral("a formula field needs a name of its own"));
            try {
                formulaFieldText(text);
            } catch (const ReportError&) {
                fail(no, QStringLiteral("the text of the formula field %1 must stand between double quotes").arg(name));
            }
            m_t.formulas.push_back({name, text});
        } else {
            return false;
        }
        return true;
    }

    RawBand parseBandHeader(Scanner& sc, int no, bool inSubreport)
    {
        static const QList<QPair<QString, BandKind>> kinds{{QStringLiteral("page-header"), BandKind::PageHeader},
                                                           {QStringLiteral("report-header"), BandKind::ReportHeader},
                                                           {QStringLiteral("column-header"), BandKind::ColumnHeader},
                                                           {QStringLiteral("group-header"), BandKind::GroupHeader},
                                                           {QStringLiteral("detail"), BandKind::Detail},
                                                           {QStringLiteral("group-footer"), BandKind::GroupFooter},
                                                           {QStringLiteral("report-footer"), BandKind::ReportFooter},
                                                           {QStringLiteral("page-footer"), BandKind::PageFooter}};
        RawBand rb;
        rb.no = no;
        const QString kind = sc.word().toLower();
        bool found = false;
        for (const auto& [n, k] : kinds)
            if (n == kind) {
                rb.band.kind = k;
                found = true;
            }
        if (!found)
            fail(no, QStringLiteral("\"%1\" is not a kind of band").arg(kind));
        if (inSubreport && (rb.band.kind == BandKind::PageHeader || rb.band.kind == BandKind::PageFooter))
            fail(no, QStringLiteral("a subreport has no page header or page footer"));
        if (rb.band.kind == BandKind::GroupHeader || rb.band.kind == BandKind::GroupFooter) {
            bool ok = false;
            rb.band.level = sc.word().toInt(&ok);
            if (!ok || rb.band.level < 1)
                fail(no, QStringLiteral("a group band names its group: 1 for the outermost"));
        }
        rb.band.height = number(sc.word(), no, "the band height");
        const QString option = sc.word().toLower();
        if (option == QLatin1String("new-page") && rb.band.kind == BandKind::GroupHeader)
            rb.band.newPage = true;
        else if (!option.isEmpty())
            fail(no, QStringLiteral("\"%1\" after a band's height: only a group header takes new-page").arg(option));
        return rb;
    }

    void finishSection(const RawSection& raw, Section& s, bool isMain)
    {
        const QString where = isMain ? QString() : QStringLiteral(" of the subreport \"%1\"").arg(s.name);
        if (s.from.isEmpty())
            fail(raw.no ? raw.no : 1, QStringLiteral("the report%1 has no \"from\"").arg(where));
        if (s.fields.size() == 0)
            fail(raw.no ? raw.no : 1, QStringLiteral("the report%1 declares no field").arg(where));
        for (const RawBand& rb : raw.bands) {
            Band b = rb.band;
            if (s.band(b.kind, b.level))
                fail(rb.no, QStringLiteral("this band is given twice"));
            if (b.level > s.groups.size())
                fail(rb.no, QStringLiteral("there is no group %1").arg(b.level));
            for (const RawLine& l : rb.lines)
                b.elements.push_back(parseElement(l, b, s, isMain));
            s.bands.push_back(b);
        }
    }

    void resolveBalance()
    {
        const int no = m_balanceLine;
        auto amountField = [&](const Section& s, const QString& ref) {
            const FieldInfo* f = s.fields.find(braceName(ref));
            if (!f || f->type != FieldType::Amount)
                fail(no, QStringLiteral("%1 is not a declared amount").arg(ref));
            return f->index;
        };
        m_t.running.field = amountField(m_t.main, m_balanceField);
        for (const QString& w : m_balanceStarts) {
            const int dot = int(w.indexOf(QLatin1String(".{")));
            const int sub = dot > 0 ? m_t.subreportIndex(w.left(dot)) : -1;
            if (sub < 0)
                fail(no, QStringLiteral("\"%1\" does not name a subreport's field").arg(w));
            m_t.running.starts << qMakePair(sub, amountField(m_t.subreports[sub], w.mid(dot + 1)));
        }
    }

    Element parseElement(const RawLine& l, const Band& band, Section& s, bool isMain);
    void parseOption(const QString& w, Element& e, TextStyle& st, bool& alignSet, Section& s, int no);
    Piece parsePiece(const QString& w, const Band& band, Section& s, int no);

    int m_balanceLine = 0;
    QString m_balanceField;
    QStringList m_balanceStarts;
    int m_usesBalance = 0; // a line using opening() or balance()
    const QString& m_text;
    QString m_file;
    Template m_t;
};

} // namespace qv::rpt::detail
