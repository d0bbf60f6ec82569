#pragma once
// A laid-out report: pages of positioned texts and lines in millimetres, painted by one routine
// onto any device (PDF file, printer, the viewer's page), plus the detail rows for CSV export.
// A long report does not keep all its pages: the pages used last stay in memory up to a budget,
// and any other page is laid out again, when asked for, from the report's rows as they were read
// (kept in a RowSpool) and the layout's state saved every few pages. Output that goes through
// every page (PDF, printing, CSV) reads them in order, laying out as it goes.
#include "reportengine/docstore.h"
#include "reportengine/template.h"

#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

class QPainter;
class QPagedPaintDevice;

namespace qv::rpt {

// Stand-ins for the page number and the page count, filled in once the last page is known.
inline constexpr QChar PageNumberMark(0xE000);
inline constexpr QChar PageCountMark(0xE001);

class Document {
public:
    QString title;
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QSizeF pageMm;
    QString fontFamily;
    QVector<TextStyle> styles;
    QStringList csvHeader;
    int detailRows = 0;
    // False while pages are still being laid out: the page count is not known yet and is shown
    // as "?" where a page prints it.
    bool complete = true;

    Document();
    ~Document();
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;

    int pageCount() const;
    // The pages that are finished: all of them once complete, otherwise all but the open one.
    int laidOutPages() const { return complete ? pageCount() : qMax(0, pageCount() - 1); }
    // Page `page` (0-based): kept, or laid out again. Null outside the pages laid out.
    std::shared_ptr<const DocPage> page(int page) const;
    // The pages in memory now (tests, and the memory they take).
    int keptPages() const;

    // One row of cells per detail row of the main report, in the order of csvHeader.
    void forEachCsvRow(const std::function<void(const QStringList&)>& f) const;
    QList<QStringList> csvRows() const; // all of them at once: for short reports and tests
    // A text as printed on `page` (0-based): the page number and count put in for their marks.
    QString pageText(int page, const QString& text) const;
    // The texts of one page, top to bottom and left to right (for tests and searching).
    QStringList pageTexts(int page) const;
    QString allText() const;

    // Paints one page with its top-left corner at the painter's origin, at the device's
    // resolution times zoom.
    void paintPage(QPainter& p, int page, double zoom = 1.0) const;
    // Told each page done (1-based) of the pages to go; false stops the output, which then throws
    // OutputStopped.
    using Progress = std::function<bool(int done, int total)>;
    // Pages from..to (1-based, inclusive; 0 = all) onto a paged device already set up.
    void paintPages(QPagedPaintDevice& device, int from = 0, int to = 0, const Progress& progress = {}) const;
    QPageLayout pageLayout() const;
    // Throw ReportError when the file cannot be written or may not be (`inputs`: the files the
    // report was made from, which it never replaces; see OutputFile); a stopped write leaves no
    // file (and an older file of the name as it was).
    void writePdf(const QString& path, const QStringList& inputs = {}, const Progress& progress = {}) const;
    void writeCsv(const QString& path, const QStringList& inputs = {}) const;

    // How much memory the kept pages of a report that can be laid out again may take (16 MB;
    // tests set a few pages' worth). Returns the previous budget.
    static qint64 setKeptPagesBudget(qint64 bytes);

    struct Pages; // the pages laid out so far, kept or not, and what lays them out again

private:
    friend class Layout;
    std::unique_ptr<Pages> m_pages;
};

} // namespace qv::rpt
