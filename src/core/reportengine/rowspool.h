#pragma once
// The main rows of a report as they were read, packed one after the other: in memory while the
// report is short, in a temporary file beyond that, so that memory does not grow with the
// report's length. Pages that are no longer kept are laid out again from these rows (the
// database may have changed since), the CSV export is written from them, and rows read ahead
// of the layout wait here.
#include "reportengine/reportdata.h"

#include <QTemporaryFile>
#include <memory>
#include <string>

namespace qv::rpt {

class RowSpool {
public:
    RowSpool() = default;
    RowSpool(const RowSpool&) = delete;
    RowSpool& operator=(const RowSpool&) = delete;

    // Adds a row; returns the offset where it starts.
    qint64 append(const Row& row);
    qint64 end() const { return m_fileSize + qint64(m_tail.size()); }
    qint64 rows() const { return m_rows; }
    // Reads the row starting at `offset` into `row`; returns the offset after it.
    qint64 read(qint64 offset, Row& row) const;

    // Rows kept in memory up to this many bytes before they go to a file (tests make it small).
    static qint64 setMemoryLimit(qint64 bytes);

private:
    // Copies bytes [offset, offset + n) into `out` (from the file, the tail or both).
    void fetch(qint64 offset, qint64 n, char* out) const;
    void spill();

    std::string m_tail;            // the rows after those in the file
    mutable QTemporaryFile m_file; // opened on the first spill
    qint64 m_fileSize = 0;
    qint64 m_rows = 0;
    // A window of the file, read in blocks: a reader walks the rows forward.
    mutable std::string m_window;
    mutable qint64 m_windowAt = -1;
    mutable std::string m_body; // the row being read
};

// A report's main rows through the spool: first the spooled rows from `from` on, then those of
// `more` (if given), which are spooled as they are read.
class SpooledRows : public RowSource {
public:
    SpooledRows(std::shared_ptr<RowSpool> spool, qint64 from = 0, RowSource* more = nullptr)
        : m_spool(std::move(spool))
        , m_pos(from)
        , m_more(more)
    {
    }
    bool next(Row& row) override;
    // Reads every row still to come from `more` into the spool, and lets `more` go.
    void drain();
    void detach() { m_more = nullptr; }
    // Where the row last returned starts in the spool.
    qint64 lastRow() const { return m_last; }
    const std::shared_ptr<RowSpool>& spool() const { return m_spool; }

private:
    std::shared_ptr<RowSpool> m_spool;
    qint64 m_pos = 0;
    qint64 m_last = -1;
    RowSource* m_more = nullptr;
};

} // namespace qv::rpt
