#pragma once
// Inside the report engine: the pages of a Document, kept in memory or laid out again.
#include "db/money.h"
#include "reportengine/document.h"
#include "reportengine/reportdata.h"
#include "reportengine/rowspool.h"

#include <list>
#include <map>

namespace qv::rpt {

class Layout;

// What a layout reads besides the main rows, owned together so that pages can be laid out again
// after the report's job is gone.
struct LayoutInputs {
    Template templ;
    RunContext ctx;
};

// The layout's state at the top of a main row, saved every few pages: laying out again from
// here gives the pages that follow exactly as the first time.
struct LayoutCheckpoint {
    int page = 0;    // the page open at that moment
    qint64 row = -1; // spool offsets of the row about to be laid out and of the one before it
    qint64 prev = -1;
    int detailRows = 0;
    double y = 0, bodyTop = 0;
    bool columnHeaderPlaced = false;
    qv::Money running;
    QByteArray accs; // the main section's sums by group level
};

struct Document::Pages {
    Pages();
    ~Pages();

    int count = 0; // pages started; the last one stays open until the report is complete
    std::shared_ptr<DocPage> open;
    // Closed pages in memory; `order` has the one used longest ago first.
    struct Kept {
        std::shared_ptr<DocPage> page;
        std::list<int>::iterator use;
    };
    std::map<int, Kept> kept;
    std::list<int> order;
    qint64 keptBytes = 0;

    std::shared_ptr<RowSpool> spool; // the main rows, for CSV and for laying out again
    QVector<QPair<int, FieldType>> csvFields;

    // Null when the pages cannot be laid out again: then every page stays in memory.
    std::shared_ptr<const LayoutInputs> inputs;
    std::vector<LayoutCheckpoint> checkpoints; // by page
    // A layout again in progress: reading the pages in order continues it.
    struct Replay;
    std::unique_ptr<Replay> replay;

    // A closed page: kept, and the pages used longest ago let go beyond the budget.
    void keep(int index, std::shared_ptr<DocPage> page);
    std::shared_ptr<const DocPage> find(int index);
};

} // namespace qv::rpt
