#pragma once
// Lays a report's rows out on pages: page header, report header and column headers, group
// headers and footers with their sums, details, report totals, and the page footer at the
// bottom of every page. Rows are taken one at a time; sums are kept in Money.
#include "db/money.h"
#include "reportengine/document.h"
#include "reportengine/reportdata.h"

#include <QFont>
#include <QImage>
#include <memory>

namespace qv::rpt {

struct LayoutCheckpoint;
struct LayoutInputs;
class SpooledRows;

class Layout {
public:
    // Every page it lays out stays in memory.
    Layout(const Template& t, const RunContext& ctx);
    // Pages beyond the kept pages' budget are let go and laid out again when asked for.
    explicit Layout(std::shared_ptr<const LayoutInputs> inputs);
    ~Layout();
    // Reads every row of the main report from `rows` and returns the pages.
    Document run(RowSource& rows);

    // The same, a few rows at a time: begin, then step until it returns true. The pages so far
    // are in document() (the last one still open until the end); the page count is filled in
    // when the last row is done. The main rows are kept in a RowSpool as they are read (given
    // SpooledRows, its spool).
    void begin(RowSource& rows);
    bool step(int maxRows);
    bool done() const { return m_done; }
    std::shared_ptr<Document> document() const { return m_doc; }

    // Laying out again (layoutreplay.cpp): from a checkpoint (null: from the first row) with the
    // rows read from the spool; the pages after `firstWhole` go to `target`. resumeStep lays out
    // one more row; false when no row is left (or no more have been read yet).
    void resume(const LayoutCheckpoint* from, SpooledRows& rows, const Document& target, int firstWhole);
    bool resumeStep();
    int openPage() const { return m_pageIndex; }

    struct Acc {
        Money money;
        qint64 whole = 0;
        double fraction = 0; // numbers with decimals
        bool hasFraction = false;
        qint64 count = 0;
    };

private:
    using Accs = QVector<Acc>; // by slot

    // A section being laid out: its rows, its sums by group level, the last two rows.
    struct SectionRun {
        const Section* s = nullptr;
        RowSource* rows = nullptr;
        double x = 0;
        bool isMain = false;
        QVector<Accs> accs;
        Row row, prev;
        bool have = false, any = false;
    };

    void processSection(const Section& s, RowSource& rows, double x, bool isMain);
    void sectionBegin(SectionRun& r);
    bool sectionStep(SectionRun& r, int maxRows); // true when no row is left
    void sectionEnd(SectionRun& r);
    void finish();
    void closeGroups(const Section& s, int from, const Row& last, QVector<Accs>& accs, double x);
    void openGroups(const Section& s, int from, const Row& row, QVector<Accs>& accs, double x);
    void accumulate(const Section& s, const Row& row, QVector<Accs>& accs);
    bool startsPage(const Section& s, int from) const;

    double bandHeight(const Section& s, const Band& b, const Row* row, const Accs* accs = nullptr);
    // Places a band below the last one, on a new page when it does not fit.
    void emitBand(const Section& s, const Band* b, const Row* row, const Accs* accs, double x);
    void place(const Section& s, const Band& b, const Row* row, const Accs* accs, double x, double y);
    void startPage();
    void endPage();
    void ensureRoom(double h);
    void noteRowRead(bool first);
    void saveCheckpoint();

    QString pieceText(const Section& s, const Piece& p, const Row* row, const Accs* accs, bool blankZero) const;
    QString elementText(const Section& s, const Element& e, const Row* row, const Accs* accs) const;
    QString valueText(const QVariant& v, FieldType type, bool blankZero) const;
    QStringList wrapLines(const QString& text, int style, double widthMm);
    double lineHeightMm(int style);

    std::shared_ptr<const LayoutInputs> m_inputs; // when the pages can be laid out again
    const Template& m_t;
    const RunContext& m_ctx;
    std::shared_ptr<Document> m_doc;
    SectionRun m_main;
    bool m_done = false;
    // The main rows come through the spool: their offsets make the checkpoints.
    SpooledRows* m_spooled = nullptr;
    std::unique_ptr<SpooledRows> m_ownSpooled;
    qint64 m_rowPos = -1, m_prevPos = -1;
    int m_nextCheckpoint = 1;
    int m_pageIndex = -1; // the open page
    std::shared_ptr<DocPage> m_open;
    const Document* m_target = nullptr; // laying out again: where the whole pages go
    int m_firstWhole = -1;
    QSizeF m_page;
    double m_y = 0;
    double m_bodyTop = 0;    // below the headers of the current page
    double m_bodyBottom = 0; // above the page footer
    bool m_columnHeaderPlaced = false;
    const Row* m_mainRow = nullptr; // the main report's row for page headers and footers
    Row m_lastMain;
    QImage m_measure; // text is measured once, at a fine resolution, for wrapping
    QVector<QFont> m_fonts;
    Money m_runStart; // the running balance: its start and the main lines' sum so far
    Money m_running;
};

} // namespace qv::rpt
