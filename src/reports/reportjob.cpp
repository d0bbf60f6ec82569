#include "reports/reportjob.h"

#include "reports/layout.h"
#include "reports/report.h"
#include "reports/reporterror.h"

#include <QFileInfo>
#include <limits>

namespace qv::rpt {

namespace {
QList<ReportJob*>& jobs()
{
    static QList<ReportJob*> all;
    return all;
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

void ReportJob::stop()
{
    if (finished())
        return;
    m_stopped = true;
    m_rows.reset(); // the statement ends here: the connection is free for others
    m_own.reset();
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
        throw ReportError(QStringLiteral("The report %1 could not read its data:\n%2")
                              .arg(QFileInfo(m_report.templ().path).fileName(), e.description()));
    }
    m_report.m_document = m_layout->document();
    m_report.m_lastLogin = m_conn->userName();
    m_rows.reset();
    m_own.reset();
    return true;
}

void ReportJob::finish()
{
    while (!m_stopped && !step(std::numeric_limits<int>::max())) {
    }
}

} // namespace qv::rpt
