#include "viewer/reportviewer.h"

#include "db/dberror.h"
#include "reportengine/outputfile.h"
#include "shell/mdl_connection.h"
#include "widgets/msgbox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStandardPaths>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

namespace {
constexpr int PaperGap = 14; // grey border around the paper, in pixels
constexpr double MinZoom = 0.25, MaxZoom = 4.0, ZoomStep = 1.25;

ReportViewer::SaveFileHook& saveHook()
{
    static ReportViewer::SaveFileHook h;
    return h;
}
ReportViewer::PrintDialogHook& printHook()
{
    static ReportViewer::PrintDialogHook h;
    return h;
}

// What the shown report was made from, which an export never replaces: its template and the book.
QStringList sourcesOf(const rpt::Report* report)
{
    QStringList files;
    if (report)
        files << report->templ().path;
    if (Conn.isOpen() && Conn.backend() == Backend::Sqlite)
        files << rpt::bookFiles(Conn.embeddedPath());
    return files;
}
} // namespace

// The page itself, painted by the same routine that writes PDF files and prints.
class ReportPageView : public QWidget {
public:
    explicit ReportPageView(QWidget* parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("pageView"));
    }
    const rpt::Document* doc = nullptr;
    int page = 0; // 0-based
    double zoom = 1.0;

    QSize paperSize() const
    {
        if (!doc)
            return {};
        return QSize(qRound(doc->pageMm.width() / 25.4 * logicalDpiX() * zoom),
                     qRound(doc->pageMm.height() / 25.4 * logicalDpiY() * zoom));
    }
    void relayout()
    {
        const QSize s = paperSize();
        setFixedSize(s.width() + 2 * PaperGap, s.height() + 2 * PaperGap);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x80, 0x86, 0x8c));
        if (!doc)
            return;
        const QRect paper(QPoint(PaperGap, PaperGap), paperSize());
        p.fillRect(paper.translated(3, 3), QColor(0x50, 0x50, 0x50));
        p.fillRect(paper, Qt::white);
        p.translate(paper.topLeft());
        try {
            doc->paintPage(p, page, zoom); // a page no longer kept is laid out again here
        } catch (const DbError&) {
            // Its rows could not be read back (the temporary file is gone): an empty paper.
        }
    }
};

ReportViewer::SaveFileHook ReportViewer::setSaveFileHook(SaveFileHook hook)
{
    SaveFileHook old = std::move(saveHook());
    saveHook() = std::move(hook);
    return old;
}

ReportViewer::PrintDialogHook ReportViewer::setPrintDialogHook(PrintDialogHook hook)
{
    PrintDialogHook old = std::move(printHook());
    printHook() = std::move(hook);
    return old;
}

ReportViewer::ReportViewer(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("CRViewer91"));
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    m_bar = new QWidget(this);
    m_bar->setObjectName(QStringLiteral("toolbar"));
    auto* bar = new QHBoxLayout(m_bar);
    bar->setContentsMargins(4, 3, 4, 3);
    lay->addWidget(m_bar);

    auto* first = addButton(QStringLiteral("cmdFirstPage"), QStringLiteral("|<"), tr("First page (Ctrl+Home)"));
    auto* prev = addButton(QStringLiteral("cmdPrevPage"), QStringLiteral("<"), tr("Previous page (Page Up)"));
    m_txtPage = new QLineEdit(m_bar);
    m_txtPage->setObjectName(QStringLiteral("txtPage"));
    m_txtPage->setFixedWidth(48);
    m_txtPage->setAlignment(Qt::AlignRight);
    m_txtPage->setValidator(new QIntValidator(1, 999999, m_txtPage));
    m_txtPage->setToolTip(tr("Type a page number and press Enter"));
    bar->addWidget(m_txtPage);
    m_lblPages = new QLabel(m_bar);
    m_lblPages->setObjectName(QStringLiteral("lblPageCount"));
    bar->addWidget(m_lblPages);
    auto* next = addButton(QStringLiteral("cmdNextPage"), QStringLiteral(">"), tr("Next page (Page Down)"));
    auto* last = addButton(QStringLiteral("cmdLastPage"), QStringLiteral(">|"), tr("Last page (Ctrl+End)"));
    bar->addSpacing(12);
    auto* out = addButton(QStringLiteral("cmdZoomOut"), QStringLiteral("-"), tr("Zoom out (Ctrl+-)"));
    m_lblZoom = new QLabel(m_bar);
    m_lblZoom->setObjectName(QStringLiteral("lblZoom"));
    m_lblZoom->setMinimumWidth(44);
    m_lblZoom->setAlignment(Qt::AlignCenter);
    bar->addWidget(m_lblZoom);
    auto* in = addButton(QStringLiteral("cmdZoomIn"), QStringLiteral("+"), tr("Zoom in (Ctrl++)"));
    auto* fit = addButton(QStringLiteral("cmdFitWidth"), tr("Fit Width"), tr("Zoom to the window's width"));
    bar->addSpacing(12);
    auto* print = addButton(QStringLiteral("cmdPrint"), tr("Print..."), tr("Print (Ctrl+P)"));
    auto* pdf = addButton(QStringLiteral("cmdExportPdf"), tr("PDF..."), tr("Export to a PDF file"));
    auto* csv = addButton(QStringLiteral("cmdExportCsv"), tr("CSV..."), tr("Export the detail rows to a CSV file"));
    bar->addSpacing(12);
    m_progress = new QProgressBar(m_bar);
    m_progress->setObjectName(QStringLiteral("prgLayout"));
    m_progress->setRange(0, 0); // the number of pages is not known until the last one
    m_progress->setFixedWidth(140);
    m_progress->setTextVisible(true);
    m_progress->setFormat(tr("Laying out pages"));
    m_progress->hide();
    bar->addWidget(m_progress);
    m_stop = addButton(QStringLiteral("cmdStopLayout"), tr("Stop"), tr("Stop laying out the pages"));
    m_stop->hide();
    bar->addStretch(1);
    m_timer = new QTimer(this);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &ReportViewer::layOutMore);
    connect(m_stop, &QToolButton::clicked, this, &ReportViewer::stopLayout);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("pageScroll"));
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new ReportPageView(m_scroll);
    m_scroll->setWidget(m_view);
    lay->addWidget(m_scroll, 1);

    connect(first, &QToolButton::clicked, this, [this] { showPage(1); });
    connect(prev, &QToolButton::clicked, this, [this] { showPage(m_page - 1); });
    connect(next, &QToolButton::clicked, this, [this] { showPage(m_page + 1); });
    connect(last, &QToolButton::clicked, this, [this] { showPage(pageCount()); });
    connect(m_txtPage, &QLineEdit::returnPressed, this, [this] { showPage(m_txtPage->text().toInt()); });
    connect(out, &QToolButton::clicked, this, &ReportViewer::zoomOut);
    connect(in, &QToolButton::clicked, this, &ReportViewer::zoomIn);
    connect(fit, &QToolButton::clicked, this, &ReportViewer::fitWidth);
    connect(print, &QToolButton::clicked, this, &ReportViewer::printReport);
    connect(pdf, &QToolButton::clicked, this, &ReportViewer::exportPdf);
    connect(csv, &QToolButton::clicked, this, &ReportViewer::exportCsv);

    auto key = [this](const QKeySequence& k, auto fn) {
        auto* s = new QShortcut(k, this);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, fn);
    };
    key(QKeySequence(Qt::Key_PageDown), [this] { showPage(m_page + 1); });
    key(QKeySequence(Qt::Key_PageUp), [this] { showPage(m_page - 1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { showPage(1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_End), [this] { showPage(pageCount()); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { zoomIn(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { zoomIn(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { zoomOut(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_P), [this] { printReport(); });
    updateControls();
}

QToolButton* ReportViewer::addButton(const QString& name, const QString& text, const QString& tip)
{
    auto* b = new QToolButton(m_bar);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setMinimumWidth(30);
    m_bar->layout()->addWidget(b);
    return b;
}

void ReportViewer::setReportSource(std::shared_ptr<rpt::Report> report, std::unique_ptr<rpt::ReportJob> job)
{
    m_timer->stop();
    m_job = std::move(job);
    m_report = std::move(report);
    m_doc.reset();
    m_stopped = false;
    m_page = 0;
    m_view->doc = nullptr;
    updateControls();
}

void ReportViewer::ViewReport()
{
    if (!m_report)
        return;
    if (!m_job && !m_report->document()) {
        m_job = m_report->start(Conn);
        layOutFirstPages(*m_job);
    }
    m_doc = m_job ? m_job->document() : m_report->document();
    m_stopped = m_job && m_job->stopped();
    m_view->doc = m_doc.get();
    m_page = 0;
    showPage(1);
    if (layingOut())
        m_timer->start();
    else
        m_job.reset();
}

void ReportViewer::updatePage()
{
    m_view->update();
}

int ReportViewer::pageCount() const
{
    return m_doc ? m_doc->laidOutPages() : 0;
}

void ReportViewer::showPage(int page)
{
    if (!m_doc || pageCount() == 0)
        return;
    m_page = qBound(1, page, pageCount());
    m_view->page = m_page - 1;
    m_view->zoom = m_zoom;
    m_view->relayout();
    m_scroll->verticalScrollBar()->setValue(0);
    updateControls();
}

void ReportViewer::setZoom(double zoom)
{
    m_zoom = qBound(MinZoom, zoom, MaxZoom);
    m_view->zoom = m_zoom;
    m_view->relayout();
    updateControls();
}

void ReportViewer::zoomIn()
{
    setZoom(m_zoom * ZoomStep);
}

void ReportViewer::zoomOut()
{
    setZoom(m_zoom / ZoomStep);
}

void ReportViewer::fitWidth()
{
    if (!m_doc)
        return;
    const double paperAt100 = m_doc->pageMm.width() / 25.4 * m_view->logicalDpiX();
    const int room = m_scroll->viewport()->width() - 2 * PaperGap - m_scroll->verticalScrollBar()->sizeHint().width();
    setZoom(room / paperAt100);
}

void ReportViewer::updateControls()
{
    const int n = pageCount();
    m_txtPage->setText(m_page > 0 ? QString::number(m_page) : QString());
    if (layingOut())
        m_lblPages->setText(tr("of %1+").arg(n));
    else if (m_stopped)
        m_lblPages->setText(tr("of %1 (stopped)").arg(n));
    else
        m_lblPages->setText(tr("of %1").arg(n));
    m_progress->setVisible(layingOut());
    m_stop->setVisible(layingOut());
    if (layingOut())
        m_progress->setFormat(tr("Laying out page %1").arg(n + 1));
    m_lblZoom->setText(QStringLiteral("%1%").arg(qRound(m_zoom * 100)));
    const bool has = n > 0;
    for (const char* name : {"cmdFirstPage", "cmdPrevPage"})
        m_bar->findChild<QToolButton*>(QLatin1String(name))->setEnabled(has && m_page > 1);
    for (const char* name : {"cmdNextPage", "cmdLastPage"})
        m_bar->findChild<QToolButton*>(QLatin1String(name))->setEnabled(has && m_page < n);
    // A stopped layout has only some of the pages: they are not printed or exported as the report.
    for (const char* name : {"cmdPrint", "cmdExportPdf", "cmdExportCsv"})
        m_bar->findChild<QToolButton*>(QLatin1String(name))->setEnabled(has && !m_stopped);
    m_bar->findChild<QToolButton*>(QStringLiteral("cmdFitWidth"))->setEnabled(has);
    m_txtPage->setEnabled(has);
}

QString ReportViewer::askSaveFile(const QString& caption, const QString& extension, const QString& filter)
{
    const QString base = m_doc && !m_report->templ().path.isEmpty()
                             ? QFileInfo(m_report->templ().path).completeBaseName()
                             : QStringLiteral("report");
    // The user's documents folder: made when it is missing, since a file dialog pointed at a
    // folder that does not exist opens in the program's own folder instead.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(base + extension);
    QString path = saveHook() ? saveHook()(caption, suggested, filter)
                              : QFileDialog::getSaveFileName(this, caption, suggested, filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += extension;
    return path;
}

void ReportViewer::printReport()
{
    if (!m_doc || !completeForOutput())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(m_doc->pageLayout());
    printer.setFullPage(true);
    printer.setDocName(m_doc->title);
    printer.setFromTo(1, pageCount());
    bool go = false;
    if (printHook()) {
        go = printHook()(printer, pageCount());
    } else {
        QPrintDialog dlg(&printer, this);
        dlg.setMinMax(1, pageCount());
        dlg.setOption(QAbstractPrintDialog::PrintPageRange, true);
        go = dlg.exec() == QDialog::Accepted;
    }
    if (!go)
        return;
    try {
        const bool range = printer.printRange() == QPrinter::PageRange;
        withProgress(tr("Printing"), [&](const rpt::Document::Progress& progress) {
            m_doc->paintPages(printer, range ? printer.fromPage() : 0, range ? printer.toPage() : 0,
                              [&](int done, int total) {
                                  if (progress(done, total))
                                      return true;
                                  printer.abort(); // nothing of it goes to the printer
                                  return false;
                              });
        });
    } catch (const DbError& e) {
        Msg::critical(e.description());
    }
}

void ReportViewer::exportPdf()
{
    if (!m_doc || !completeForOutput())
        return;
    const QString path = askSaveFile(tr("Export to PDF"), QStringLiteral(".pdf"), tr("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    try {
        withProgress(tr("Writing the PDF file"), [&](const rpt::Document::Progress& progress) {
            m_doc->writePdf(path, sourcesOf(m_report.get()), progress);
        });
    } catch (const DbError& e) {
        Msg::critical(e.description());
    }
}

void ReportViewer::exportCsv()
{
    if (!m_doc || !completeForOutput())
        return;
    const QString path =
        askSaveFile(tr("Export the detail rows to CSV"), QStringLiteral(".csv"), tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    try {
        m_doc->writeCsv(path, sourcesOf(m_report.get()));
    } catch (const DbError& e) {
        Msg::critical(e.description());
    }
}

} // namespace qv
