#pragma once
// A report being laid out a few rows at a time, so that the viewer shows the first pages of a
// long report at once and lays out the rest between the user's events. The rows are read
// through the connection as the layout needs them; a report that starts reading the same
// connection first stops every job still running (its pages so far stay, marked incomplete).
#include "reports/document.h"
#include "reports/reportdata.h"

#include <memory>

namespace qv::rpt {

class Layout;
class Report;

class ReportJob {
public:
    ReportJob(const ReportJob&) = delete;
    ReportJob& operator=(const ReportJob&) = delete;
    ~ReportJob();

    // Lays out up to `maxRows` more rows; true once the report is complete. A failure stops the
    // job and is thrown as a ReportError.
    bool step(int maxRows = 500);
    // The rest at once.
    void finish();
    // Stops reading and laying out; the pages so far stay.
    void stop();
    // Before the job waits for the user's events: on a server whose connection cannot keep a
    // statement open while others run (PostgreSQL drops the rest of its rows), the remaining
    // rows are read now and kept, packed, for the layout.
    void releaseConnection();

    bool finished() const;
    bool stopped() const { return m_stopped; }
    // The pages so far; the same document the report keeps once finished.
    std::shared_ptr<const Document> document() const;

    // Stops every job still running: another report is about to read the connection.
    static void stopAll();

private:
    friend class Report;
    explicit ReportJob(Report& report);
    void fail(const QString& message);

    Report& m_report;
    std::unique_ptr<Connection> m_own; // a connection of the report's own logon
    Connection* m_conn = nullptr;
    // On PostgreSQL the read-only transaction lasts while the statement is read (ending it
    // would drop the rows still to come); it ends before the job waits for the user.
    std::unique_ptr<ReadOnlyScope> m_readOnly;
    RunContext m_ctx;
    std::unique_ptr<QueryRows> m_rows;
    std::unique_ptr<RowSource> m_kept; // the rows read by releaseConnection
    std::unique_ptr<Layout> m_layout;
    bool m_stopped = false;
};

} // namespace qv::rpt
