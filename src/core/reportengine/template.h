#pragma once
// A report template as read from its *.rpt file (the format is described in docs/reports.md):
// the data it reads, the fields it declares, its bands and their elements, its formula fields
// and its subreports. Measures are in millimetres.
#include "reportengine/formula.h"

#include <QLineF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>

namespace qv::rpt {

enum class PieceKind {
    Literal,
    Field,
    Company,
    FormulaField,
    PageNumber,
    TotalPages,
    PrintDate,
    PrintTime,
    Title,
    Sum,
    Count,
    Opening, // the running balance's start
    Balance  // the running balance after the current line ("1,234.00 Dr")
};

// One part of a text element's content; the element shows its parts joined.
struct Piece {
    PieceKind kind = PieceKind::Literal;
    QString text;   // Literal: the text; Company: the column; FormulaField: the name
    int field = -1; // Field, Sum: the field's index in its section
    int slot = -1;  // Sum, Count: the accumulator
    int formula = -1;
};

enum class ElementKind { Text, Line, Box, Subreport };

struct Element {
    ElementKind kind = ElementKind::Text;
    QRectF rect; // Text, Box: relative to the band's top-left corner
    QLineF line; // Line
    double pen = 0.25;
    QVector<Piece> pieces;
    int style = 0;
    int boldStyle = 0; // used when boldIfField's value is set
    int boldIfField = -1;
    int indentField = -1; // the field's value times indentMm moves the text right
    double indentMm = 0;
    bool wrap = false;      // break into lines; the band grows to hold them
    bool blankZero = false; // a zero amount or number shows nothing
    bool words = false;     // its one amount (a field or a sum) is written out in words
    QString csvName;        // column heading in the CSV export of the detail rows
    bool csvOnly = false;   // a column of the CSV export that the pages do not show
    int subreport = -1;     // Subreport: which one, flowed below the band
};

enum class BandKind {
    PageHeader,
    ReportHeader,
    ColumnHeader,
    GroupHeader,
    Detail,
    GroupFooter,
    ReportFooter,
    PageFooter
};

struct Band {
    BandKind kind = BandKind::Detail;
    int level = 0; // group bands: 1 = outermost group
    double height = 0;
    bool newPage = false; // a group header: each group after the first starts a page
    QVector<Element> elements;
};

struct TextStyle {
    double size = 9; // points
    bool bold = false;
    bool italic = false;
    Qt::Alignment align = Qt::AlignLeft;
    bool shrink = false; // figures shrink to fit instead of being cut short
    friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

struct Aggregate {
    bool count = false;
    int field = -1;
};

// The body of a report or of one subreport: its data and its bands.
struct Section {
    QString name;
    QString from;
    QString where;
    FieldSet fields;
    QVector<int> groups;             // field indices, outermost first
    QVector<QPair<int, bool>> order; // field index, descending
    QVector<Band> bands;
    QVector<Aggregate> aggregates; // by slot
    bool summary = false;          // one row: amounts and numbers summed, other fields' least value
    const Band* band(BandKind kind, int level = 0) const;
};

struct FormulaDef {
    QString name;
    QString text; // as set, between double quotes
};

// A balance carried down the main report's lines: it starts at the sum of the named fields of
// subreports (for example the opening rows and the opening balance) and adds the field of
// every line.
struct RunningBalance {
    int field = -1;                  // of the main section
    QVector<QPair<int, int>> starts; // subreport index, field index
};

struct Template {
    QString path;
    QString title;
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{12, 10, 12, 10};
    QString fontFamily = QStringLiteral("DejaVu Sans");
    double fontSize = 9;
    QVector<TextStyle> styles;
    QVector<FormulaDef> formulas;
    Section main;
    QVector<Section> subreports;
    RunningBalance running;

    QSizeF pageSizeMm() const;
    double bodyWidth() const;
    int formulaIndex(const QString& name) const;   // -1 when absent (names without regard to case)
    int subreportIndex(const QString& name) const; // likewise
    int internStyle(const TextStyle& s);
};

// Reads and checks a template file; throws ReportError naming the file and the line.
Template loadTemplate(const QString& path);
Template parseTemplate(const QString& text, const QString& path);

} // namespace qv::rpt
