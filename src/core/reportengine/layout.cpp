#include "reportengine/layout.h"
#include "reportengine/layout_p.h"

#include "reportengine/docpages_p.h"
#include "reportengine/reporterror.h"

#include <limits>

namespace qv::rpt {

using detail::addChecked;
using detail::Epsilon;

Layout::Layout(std::shared_ptr<const LayoutInputs> inputs)
    : Layout(inputs->templ, inputs->ctx)
{
    m_inputs = std::move(inputs);
    m_doc->m_pages->inputs = m_inputs;
}

Layout::~Layout() = default;

Layout::Layout(const Template& t, const RunContext& ctx)
    : m_t(t)
    , m_ctx(ctx)
    , m_doc(std::make_shared<Document>())
{
    m_page = t.pageSizeMm();
    m_doc->title = t.title;
    m_doc->pageSize = t.pageSize;
    m_doc->orientation = t.orientation;
    m_doc->pageMm = m_page;
    m_doc->fontFamily = t.fontFamily;
    m_doc->styles = t.styles;
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
            m_doc->m_pages->csvFields << qMakePair(f.index, f.type);
            m_doc->csvHeader << (e.csvName.isEmpty() ? f.name : e.csvName);
        }
    }
}

Document Layout::run(RowSource& rows)
{
    begin(rows);
    while (!step(std::numeric_limits<int>::max())) {
    }
    return std::move(*m_doc);
}

void Layout::begin(RowSource& rows)
{
    double fixed = m_t.margins.top() + m_t.margins.bottom();
    for (BandKind k : {BandKind::PageHeader, BandKind::ColumnHeader, BandKind::PageFooter})
        if (const Band* b = m_t.main.band(k))
            fixed += b->height;
    if (fixed > m_page.height() - 5)
        throw ReportError(
            QStringLiteral("The page header, column headers and page footer of %1 leave no room for its rows.")
                .arg(m_t.main.name));
    m_doc->complete = false;
    m_spooled = dynamic_cast<SpooledRows*>(&rows);
    if (!m_spooled) {
        m_ownSpooled = std::make_unique<SpooledRows>(std::make_shared<RowSpool>(), 0, &rows);
        m_spooled = m_ownSpooled.get();
    }
    m_doc->m_pages->spool = m_spooled->spool();
    m_main = SectionRun();
    m_main.s = &m_t.main;
    m_main.rows = m_spooled;
    m_main.isMain = true;
    sectionBegin(m_main);
}

bool Layout::step(int maxRows)
{
    if (m_done)
        return true;
    if (sectionStep(m_main, maxRows)) {
        sectionEnd(m_main);
        finish();
    }
    return m_done;
}

void Layout::finish()
{
    endPage();
    m_done = true;
    if (m_target)
        return; // laying out again: the document was complete before
    m_doc->complete = true;
    // The page count is known: the kept pages get it; pages laid out again get it as they come.
    for (auto& [p, kept] : m_doc->m_pages->kept) {
        DocItems& items = kept.page->items;
        for (int i = 0; i < items.size(); ++i)
            if (items.packed()[i].pageRef)
                items.setText(i, m_doc->pageText(p, items.text(items.packed()[i])));
    }
}

void Layout::processSection(const Section& s, RowSource& rows, double x, bool isMain)
{
    SectionRun r;
    r.s = &s;
    r.rows = &rows;
    r.x = x;
    r.isMain = isMain;
    sectionBegin(r);
    while (!sectionStep(r, std::numeric_limits<int>::max())) {
    }
    sectionEnd(r);
}

void Layout::sectionBegin(SectionRun& r)
{
    const Section& s = *r.s;
    const double x = r.x;
    r.accs = QVector<Accs>(int(s.groups.size()) + 1, Accs(s.aggregates.size()));
    r.have = r.rows->next(r.row);
    r.any = false;
    if (r.isMain && r.have)
        noteRowRead(true);
    if (r.isMain) {
        if (r.have) {
            m_lastMain = r.row;
            m_mainRow = &m_lastMain;
        }
        startPage();
        emitBand(s, s.band(BandKind::ReportHeader), m_mainRow, nullptr, x);
        if (!m_columnHeaderPlaced)
            emitBand(s, s.band(BandKind::ColumnHeader), m_mainRow, nullptr, x);
        m_columnHeaderPlaced = true;
    } else {
        emitBand(s, s.band(BandKind::ReportHeader), r.have ? &r.row : nullptr, nullptr, x);
        emitBand(s, s.band(BandKind::ColumnHeader), r.have ? &r.row : nullptr, nullptr, x);
    }
}

bool Layout::sectionStep(SectionRun& r, int maxRows)
{
    const Section& s = *r.s;
    const double x = r.x;
    const int groups = int(s.groups.size());
    for (int n = 0; r.have && n < maxRows; ++n) {
        if (r.isMain && m_inputs && !m_target && m_pageIndex >= m_nextCheckpoint)
            saveCheckpoint();
        Row& row = r.row;
        int from = 1;
        if (r.any) {
            from = groups + 1;
            for (int l = 1; l <= groups; ++l)
                if (row[s.groups[l - 1]] != r.prev[s.groups[l - 1]]) {
                    from = l;
                    break;
                }
            closeGroups(s, from, r.prev, r.accs, x);
        }
        if (r.isMain) {
            m_lastMain = row;
            m_mainRow = &m_lastMain;
            // A group that starts a page of its own (a statement per party): its page header
            // reads its first line.
            if (r.any && startsPage(s, from)) {
                endPage();
                startPage();
            }
        }
        openGroups(s, from, row, r.accs, x);
        accumulate(s, row, r.accs);
        if (r.isMain && m_t.running.field >= 0 && !row[m_t.running.field].isNull())
            m_running = addChecked(m_running, row[m_t.running.field].value<Money>());
        emitBand(s, s.band(BandKind::Detail), &row, nullptr, x);
        if (r.isMain)
            ++m_doc->detailRows;
        r.prev.swap(row);
        r.any = true;
        r.have = r.rows->next(row);
        if (r.isMain && r.have)
            noteRowRead(false);
    }
    return !r.have;
}

void Layout::sectionEnd(SectionRun& r)
{
    const Section& s = *r.s;
    if (r.any)
        closeGroups(s, 1, r.prev, r.accs, r.x);
    emitBand(s, s.band(BandKind::ReportFooter), r.any ? &r.prev : nullptr, &r.accs[0], r.x);
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

bool Layout::startsPage(const Section& s, int from) const
{
    for (int l = from; l <= int(s.groups.size()); ++l)
        if (const Band* b = s.band(BandKind::GroupHeader, l); b && b->newPage)
            return true;
    return false;
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
            else if (v.metaType() == QMetaType::fromType<qint64>()) {
                if (__builtin_add_overflow(acc.whole, v.toLongLong(), &acc.whole))
                    throw ReportError(QStringLiteral("A sum of numbers is too large to be represented."));
            } else {
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
    if (m_pageIndex < 0)
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
    m_open = std::make_shared<DocPage>();
    ++m_pageIndex;
    if (!m_target) {
        m_doc->m_pages->open = m_open;
        m_doc->m_pages->count = m_pageIndex + 1;
    }
    m_y = m_t.margins.top();
    const Section& main = m_t.main;
    if (const Band* ph = main.band(BandKind::PageHeader)) {
        const double h = bandHeight(main, *ph, m_mainRow);
        place(main, *ph, m_mainRow, nullptr, 0, m_y);
        m_y += h;
    }
    m_columnHeaderPlaced = false;
    if (m_pageIndex > 0) {
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
    if (!m_open)
        return;
    const Band* pf = m_t.main.band(BandKind::PageFooter);
    if (pf)
        place(m_t.main, *pf, m_mainRow, nullptr, 0, m_page.height() - m_t.margins.bottom() - pf->height);
    m_open->items.squeeze();
    if (!m_target) {
        m_doc->m_pages->open.reset();
        m_doc->m_pages->keep(m_pageIndex, std::move(m_open));
    } else if (m_pageIndex > m_firstWhole) {
        if (m_target->complete) // the page count is known: put it in, as the first layout did
            for (int i = 0; i < m_open->items.size(); ++i)
                if (m_open->items.packed()[i].pageRef)
                    m_open->items.setText(
                        i, m_target->pageText(m_pageIndex, m_open->items.text(m_open->items.packed()[i])));
        m_target->m_pages->keep(m_pageIndex, std::move(m_open));
    }
    m_open.reset();
}

} // namespace qv::rpt
