#pragma once
// A report being laid out a few rows at a time, so that the viewer shows the first pages of a
// long report at once and lays out the rest between the user's events. The rows are read as the
// layout needs them and kept in a RowSpool (pages are laid out again from it); a report that
// starts reading the same connection first stops every job still running (its pages so far
// stay, marked incomplete).
// On PostgreSQL a report that reads no work table of the program's session reads through a
// session of its own, in a read-only transaction that lasts as long as the job, with the
// driver's forward-only streaming: the program's connection stays free for the user's work
// while the rows keep coming. A report of work tables reads through the program's connection.
#include "reportengine/document.h"
#include "reportengine/reportdata.h"
#include "reportengine/rowspool.h"

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
    // Before the job waits for the user's events: when it reads through the program's own
    // connection on a server (PostgreSQL drops the rest of a statement's rows when another one
    // runs there), the remaining rows are read now into the spool.
    void releaseConnection();
    // Whether the rows come through a session of the report's own.
    bool ownSession() const { return m_own != nullptr; }

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
    // Ends the reading: the statement (cancelled on a server when rows are still coming), the
    // read-only transaction, the report's own session.
    void endReading();

    Report& m_report;
    std::unique_ptr<Connection> m_own; // a session of the report's own (another logon, or a server)
    Connection* m_conn = nullptr;
    // On PostgreSQL the read-only transaction lasts while the statement is read (ending it
    // would drop the rows still to come); on the program's connection it ends before the job
    // waits for the user.
    std::unique_ptr<ReadOnlyScope> m_readOnly;
    std::unique_ptr<QueryRows> m_rows;
    std::unique_ptr<SpooledRows> m_spooled; // the layout's main rows
    std::unique_ptr<Layout> m_layout;
    bool m_stopped = false;
};

} // namespace qv::rpt
