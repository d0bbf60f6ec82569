// Pages laid out again: the kept pages and their budget, the checkpoints the first layout
// saves every few pages, and a layout that resumes from one of them over the spooled rows.
#include "reportengine/docpages_p.h"
#include "reportengine/layout.h"

#include <cstring>
#include <utility>

namespace qv::rpt {

namespace {
qint64 g_keptBudget = 16 << 20;
constexpr int CheckpointEvery = 8; // pages: laying out one page again costs at most this many

QByteArray packAccs(const QVector<QVector<Layout::Acc>>& accs)
{
    QByteArray out;
    for (const auto& level : accs)
        for (const Layout::Acc& a : level) {
            out.append(reinterpret_cast<const char*>(&a.money.cents), sizeof a.money.cents);
            out.append(reinterpret_cast<const char*>(&a.whole), sizeof a.whole);
            out.append(reinterpret_cast<const char*>(&a.fraction), sizeof a.fraction);
            out.append(char(a.hasFraction));
            out.append(reinterpret_cast<const char*>(&a.count), sizeof a.count);
        }
    return out;
}

void unpackAccs(const QByteArray& in, QVector<QVector<Layout::Acc>>& accs)
{
    const char* p = in.constData();
    auto take = [&p](auto& v) {
        std::memcpy(&v, p, sizeof v);
        p += sizeof v;
    };
    for (auto& level : accs)
        for (Layout::Acc& a : level) {
            take(a.money.cents);
            take(a.whole);
            take(a.fraction);
            a.hasFraction = *p++ != 0;
            take(a.count);
        }
}
} // namespace

struct Document::Pages::Replay {
    std::unique_ptr<SpooledRows> rows;
    std::unique_ptr<Layout> layout;
    bool stuck = false; // ran out of rows the first layout has not read yet
};

Document::Pages::Pages() = default;
Document::Pages::~Pages() = default;

qint64 Document::setKeptPagesBudget(qint64 bytes)
{
    return std::exchange(g_keptBudget, bytes);
}

void Document::Pages::keep(int index, std::shared_ptr<DocPage> page)
{
    if (auto it = kept.find(index); it != kept.end()) {
        keptBytes -= it->second.page->items.bytes();
        order.erase(it->second.use);
        kept.erase(it);
    }
    keptBytes += page->items.bytes();
    order.push_back(index);
    kept[index] = {std::move(page), std::prev(order.end())};
    if (!inputs)
        return; // nothing could lay the page out again
    while (keptBytes > g_keptBudget && order.size() > 1) {
        const auto oldest = kept.find(order.front());
        keptBytes -= oldest->second.page->items.bytes();
        kept.erase(oldest);
        order.pop_front();
    }
}

std::shared_ptr<const DocPage> Document::Pages::find(int index)
{
    const auto it = kept.find(index);
    if (it == kept.end())
        return nullptr;
    order.splice(order.end(), order, it->second.use);
    return it->second.page;
}

std::shared_ptr<const DocPage> Document::page(int p) const
{
    Pages& ps = *m_pages;
    if (p < 0 || p >= ps.count)
        return nullptr;
    if (p == ps.count - 1 && ps.open)
        return ps.open;
    if (auto found = ps.find(p))
        return found;
    if (!ps.inputs || !ps.spool)
        return nullptr;
    // From the last checkpoint on a page before this one, unless a layout again is already on
    // its way here (reading pages in order).
    const LayoutCheckpoint* from = nullptr;
    for (auto it = ps.checkpoints.rbegin(); it != ps.checkpoints.rend() && !from; ++it)
        if (it->page < p)
            from = &*it;
    const int fromPage = from ? from->page : -1;
    const Layout* going = ps.replay ? ps.replay->layout.get() : nullptr;
    if (!going || ps.replay->stuck || going->openPage() > p || going->openPage() < fromPage) {
        ps.replay.reset();
        auto r = std::make_unique<Pages::Replay>();
        r->rows = std::make_unique<SpooledRows>(ps.spool, from ? from->row : 0);
        r->layout = std::make_unique<Layout>(ps.inputs->templ, ps.inputs->ctx);
        r->layout->resume(from, *r->rows, *this, fromPage);
        ps.replay = std::move(r);
    }
    try {
        while (!ps.kept.count(p))
            if (!ps.replay->layout->resumeStep()) {
                ps.replay->stuck = true;
                break;
            }
    } catch (...) {
        ps.replay.reset();
        throw;
    }
    return ps.find(p);
}

void Layout::noteRowRead(bool first)
{
    m_prevPos = first ? -1 : m_rowPos;
    m_rowPos = m_spooled->lastRow();
}

void Layout::saveCheckpoint()
{
    LayoutCheckpoint cp;
    cp.page = m_pageIndex;
    cp.row = m_rowPos;
    cp.prev = m_main.any ? m_prevPos : -1;
    cp.detailRows = m_doc->detailRows;
    cp.y = m_y;
    cp.bodyTop = m_bodyTop;
    cp.columnHeaderPlaced = m_columnHeaderPlaced;
    cp.running = m_running;
    cp.accs = packAccs(m_main.accs);
    m_doc->m_pages->checkpoints.push_back(std::move(cp));
    m_nextCheckpoint = m_pageIndex + CheckpointEvery;
}

void Layout::resume(const LayoutCheckpoint* from, SpooledRows& rows, const Document& target, int firstWhole)
{
    m_target = &target;
    m_firstWhole = firstWhole;
    if (!from) {
        begin(rows);
        return;
    }
    m_doc->complete = false;
    m_spooled = &rows;
    m_main = SectionRun();
    m_main.s = &m_t.main;
    m_main.rows = &rows;
    m_main.isMain = true;
    m_main.accs = QVector<Accs>(int(m_t.main.groups.size()) + 1, Accs(m_t.main.aggregates.size()));
    unpackAccs(from->accs, m_main.accs);
    m_main.have = rows.next(m_main.row);
    m_main.any = from->prev >= 0;
    if (m_main.any)
        rows.spool()->read(from->prev, m_main.prev);
    m_lastMain = m_main.any ? m_main.prev : m_main.row;
    m_mainRow = &m_lastMain;
    m_rowPos = from->row;
    m_prevPos = from->prev;
    // A stand-in for the page open then: what was on it before is not laid out again.
    m_pageIndex = from->page;
    m_open = std::make_shared<DocPage>();
    m_y = from->y;
    m_bodyTop = from->bodyTop;
    m_columnHeaderPlaced = from->columnHeaderPlaced;
    m_running = from->running;
    m_doc->detailRows = from->detailRows;
}

bool Layout::resumeStep()
{
    if (m_done)
        return false;
    if (!sectionStep(m_main, 1))
        return true;
    // No row left: the end of the report, if the first layout got there; otherwise its rows
    // are not all read yet and this layout can go no further.
    if (!m_target->complete)
        return false;
    sectionEnd(m_main);
    finish();
    return false;
}

} // namespace qv::rpt
