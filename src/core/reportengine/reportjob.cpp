#include "reportengine/reportjob.h"

#include "reportengine/layout.h"
#include "reportengine/report.h"
#include "reportengine/reporterror.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <libpq-fe.h>
#include <limits>

namespace qv::rpt {

namespace {
QList<ReportJob*>& jobs()
{
    static QList<ReportJob*> all;
    return all;
}

// Asks the server to stop sending a statement's rows: the driver would otherwise read every one
// of them before the statement could end.
void cancelStatement(Connection& c)
{
    const QVariant h = c.database().driver() ? c.database().driver()->handle() : QVariant();
    if (!h.isValid() || (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
        return;
    PGconn* pg = *static_cast<PGconn* const*>(h.constData());
    if (PGcancel* cancel = pg ? PQgetCancel(pg) : nullptr) {
        char why[256];
        PQcancel(cancel, why, int(sizeof why));
        PQfreeCancel(cancel);
    }
}
} // namespace

ReportJob::ReportJob(Report& report)
    : m_report(report)
{
    jobs().push_back(this);
}

ReportJob::~ReportJob()
{
    jobs().removeOne(this);
    endReading();
}

void ReportJob::stopAll()
{
    for (ReportJob* j : jobs())
        if (!j->finished())
            j->stop();
}

bool ReportJob::finished() const
{
    return m_layout && m_layout->done();
}

std::shared_ptr<const Document> ReportJob::document() const
{
    return m_layout->document();
}

void ReportJob::endReading()
{
    if (m_rows && m_own && m_own->backend() == Backend::Postgres && !finished())
        cancelStatement(*m_own);
    if (m_spooled)
        m_spooled->detach();
    // The transaction first: its end also ends the statement (rows still coming are dropped),
    // after which the prepared statement can be let go outside an aborted transaction.
    m_readOnly.reset();
    m_rows.reset(); // the connection is free for others
    m_own.reset();
}

void ReportJob::stop()
{
    if (finished())
        return;
    m_stopped = true;
    endReading();
}

void ReportJob::releaseConnection()
{
    if (!m_rows || m_own || finished() || m_stopped || m_conn->backend() != Backend::Postgres)
        return;
    try {
        m_spooled->drain();
    } catch (const DbError& e) {
        stop();
        throw dataFailure(QFileInfo(m_report.templ().path).fileName(), e);
    }
    m_readOnly.reset();
    m_rows.reset();
}

bool ReportJob::step(int maxRows)
{
    if (finished())
        return true;
    if (m_stopped)
        return false;
    try {
        if (!m_layout->step(maxRows))
            return false;
    } catch (const ReportError&) {
        stop();
        throw;
    } catch (const DbError& e) {
        stop();
        throw dataFailure(QFileInfo(m_report.templ().path).fileName(), e);
    }
    m_report.m_document = m_layout->document();
    m_report.m_lastLogin = m_conn->userName();
    endReading();
    return true;
}

void ReportJob::finish()
{
    while (!m_stopped && !step(std::numeric_limits<int>::max())) {
    }
}

} // namespace qv::rpt
