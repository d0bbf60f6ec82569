#include "viewer/frmveiwer.h"

#include "reportengine/report.h"
#include "reportengine/reporterror.h"
#include "viewer/reportviewer.h"
#include "shell/mdiform1.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"

#include <QFileInfo>
#include <QMdiSubWindow>
#include <QResizeEvent>

frmVeiwer::frmVeiwer(QWidget* parent)
    : qv::MdiChild(parent)
{
    setObjectName(QStringLiteral("frmVeiwer"));
    setWindowTitle(QStringLiteral("Viewer"));
    // The viewer is not one of the working windows whose closing re-applies the menu rights.
    m_applyMenusOnClose = false;
    CRViewer91 = new qv::ReportViewer(this);
    resize(900, 640);
}

void frmVeiwer::resizeEvent(QResizeEvent* e)
{
    qv::MdiChild::resizeEvent(e);
    CRViewer91->setGeometry(0, 0, width(), height());
}

frmVeiwer* frmVeiwer::ShowReport(std::shared_ptr<qv::rpt::Report> report)
{
    if (!report)
        throw qv::rpt::ReportError(QStringLiteral("There is no report to show."));
    MDIForm1* main = MDIForm1::instance();
    if (!main)
        throw qv::rpt::ReportError(QStringLiteral("The report cannot be shown: the main window is not open."));
    // The first pages now (a failure goes to the caller, before any window changes); the rest
    // of a long report in the background.
    std::unique_ptr<qv::rpt::ReportJob> job = report->start(Conn);
    qv::ReportViewer::layOutFirstPages(*job);
    auto* v = qv::Windows::open<frmVeiwer>(QStringLiteral("frmVeiwer"));
    if (!v)
        throw qv::rpt::ReportError(QStringLiteral("The report cannot be shown: the main window is not open."));
    // The window says which report it shows (its title, or its template's name).
    const qv::rpt::Template& t = report->templ();
    v->setWindowTitle(!t.title.isEmpty() ? t.title : QFileInfo(t.path).completeBaseName());
    v->CRViewer91->setReportSource(std::move(report), std::move(job));
    v->CRViewer91->ViewReport();
    v->subWindow()->raise();
    main->mdiArea()->setActiveSubWindow(v->subWindow());
    v->CRViewer91->setFocus();
    return v;
}
