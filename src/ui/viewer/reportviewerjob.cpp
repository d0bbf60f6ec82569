// The viewer's background layout: a long report's pages are laid out in short slices between
// the user's events, with the page count, a progress bar and a Stop button in the toolbar.
#include "viewer/reportviewer.h"

#include "db/dberror.h"
#include "reportengine/reporterror.h"
#include "widgets/msgbox.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <utility>

namespace qv {

namespace {
// A report laid out within it comes up whole; a longer one shows page 1 then and goes on.
int g_firstPagesBudget = 50; // ms

ReportViewer::ProgressHook& progressHook()
{
    static ReportViewer::ProgressHook h;
    return h;
}
} // namespace

ReportViewer::ProgressHook ReportViewer::setProgressHook(ProgressHook hook)
{
    return std::exchange(progressHook(), std::move(hook));
}

bool ReportViewer::withProgress(const QString& what, const std::function<void(const rpt::Document::Progress&)>& work)
{
    std::unique_ptr<QProgressDialog> dialog;
    QElapsedTimer t;
    t.start();
    const rpt::Document::Progress progress = [&](int done, int total) {
        if (progressHook())
            return progressHook()(what, done, total);
        if (!dialog && t.elapsed() < 500)
            return true; // short work shows nothing
        if (!dialog) {
            dialog = std::make_unique<QProgressDialog>(what, tr("Stop"), 0, total, this);
            dialog->setObjectName(QStringLiteral("dlgOutputProgress"));
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setMinimumDuration(0);
        }
        dialog->setMaximum(total); // 0: the total is not known yet
        dialog->setLabelText(total > 0 ? tr("%1: page %2 of %3").arg(what).arg(done).arg(total)
                                       : tr("%1: %2 pages").arg(what).arg(done));
        dialog->setValue(total > 0 ? done : 0);
        QCoreApplication::processEvents();
        return !dialog->wasCanceled();
    };
    try {
        work(progress);
    } catch (const rpt::OutputStopped&) {
        return false;
    }
    return true;
}

int ReportViewer::setFirstPagesBudget(int ms)
{
    return std::exchange(g_firstPagesBudget, ms);
}

void ReportViewer::layOutFirstPages(rpt::ReportJob& job)
{
    const int budgetMs = g_firstPagesBudget;
    QElapsedTimer t;
    t.start();
    while (!job.step(200))
        if (job.stopped() || (job.document()->laidOutPages() > 0 && t.elapsed() >= budgetMs)) {
            job.releaseConnection(); // the rest goes on between the user's events
            break;
        }
}

bool ReportViewer::layingOut() const
{
    return m_job && !m_job->finished() && !m_job->stopped();
}

void ReportViewer::layOutMore()
{
    if (!layingOut()) {
        m_timer->stop();
        m_stopped = m_job && m_job->stopped();
        m_job.reset();
        updateControls();
        emit pagesLaidOut(pageCount(), !m_stopped);
        return;
    }
    // A slice short enough to keep the window answering.
    QElapsedTimer t;
    t.start();
    try {
        while (!m_job->step(200) && !m_job->stopped() && t.elapsed() < 40) {
        }
    } catch (const DbError& e) {
        m_timer->stop();
        m_stopped = true;
        m_job.reset();
        updateControls();
        Msg::critical(e.description());
        emit pagesLaidOut(pageCount(), false);
        return;
    }
    const bool done = m_job->finished();
    if (done || m_job->stopped()) {
        m_timer->stop();
        m_stopped = !done;
        m_job.reset();
        updatePage(); // the page count is in the page footers now
    }
    if (m_page == 0 && pageCount() > 0)
        showPage(1);
    updateControls();
    emit pagesLaidOut(pageCount(), done);
}

void ReportViewer::stopLayout()
{
    if (!layingOut())
        return;
    m_job->stop();
    layOutMore();
}

bool ReportViewer::completeForOutput()
{
    if (layingOut()) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            const bool whole =
                withProgress(tr("Laying out the pages"), [this](const rpt::Document::Progress& progress) {
                    do
                        if (!progress(m_job->document()->laidOutPages(), 0))
                            throw rpt::OutputStopped();
                    while (!m_job->step(500));
                });
            if (!whole)
                m_job->stop(); // the pages so far stay; printing and export are off
        } catch (const DbError& e) {
            QGuiApplication::restoreOverrideCursor();
            layOutMore();
            Msg::critical(e.description());
            return false;
        }
        QGuiApplication::restoreOverrideCursor();
        layOutMore();
    }
    return m_doc && m_doc->complete;
}

} // namespace qv
