#pragma once
// The viewer control (`CRViewer91` in frmVeiwer): a toolbar (first, previous, next and last
// page, the page number, zoom out and in, fit width, print, export to PDF and to CSV) over the
// page shown at the chosen zoom. It keeps its own reference to the report it shows.
// A long report is laid out in the background: the first pages show at once, the page count
// follows ("of 57+" while counting), with a progress bar and a Stop button in the toolbar.
#include "reportengine/report.h"
#include "reportengine/reportjob.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPrinter;
class QProgressBar;
class QTimer;
class QScrollArea;
class QToolButton;

namespace qv {

class ReportPageView;

class ReportViewer : public QWidget {
    Q_OBJECT
public:
    explicit ReportViewer(QWidget* parent = nullptr);

    // ReportSource, then ViewReport: shows page 1 (running the report when it has not run).
    // With a job (started from this report), its laying out goes on in the background.
    void setReportSource(std::shared_ptr<rpt::Report> report, std::unique_ptr<rpt::ReportJob> job = {});
    std::shared_ptr<rpt::Report> reportSource() const { return m_report; }
    void ViewReport();
    const rpt::Document* document() const { return m_doc.get(); }

    int currentPage() const { return m_page; } // 1-based; 0 when nothing is shown
    int pageCount() const;                     // the pages laid out so far
    bool layingOut() const;                    // pages are still being laid out
    bool layoutStopped() const { return m_stopped; }
    void stopLayout();
    // Lays out the first pages of a job: all of them when that takes less than `budgetMs`,
    // otherwise at least page 1. Failures are thrown.
    static void layOutFirstPages(rpt::ReportJob& job);
    // The time the first pages may take before the rest goes to the background (50 ms; tests
    // set 0: page 1 alone). Returns the previous budget.
    static int setFirstPagesBudget(int ms);
    void showPage(int page);
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    void zoomIn();
    void zoomOut();
    void fitWidth();
    void printReport();
    void exportPdf();
    void exportCsv();

    // Tests and the headless run answer the file and print dialogs through these.
    using SaveFileHook =
        std::function<QString(const QString& caption, const QString& suggested, const QString& filter)>;
    static SaveFileHook setSaveFileHook(SaveFileHook hook);
    using PrintDialogHook = std::function<bool(QPrinter& printer, int pageCount)>;
    static PrintDialogHook setPrintDialogHook(PrintDialogHook hook);
    // Long output (the layout awaited before it, printing, a PDF file) shows its progress with a
    // Stop after a moment; tests answer in its place (false: stopped).
    using ProgressHook = std::function<bool(const QString& what, int done, int total)>;
    static ProgressHook setProgressHook(ProgressHook hook);

signals:
    // After each step of a background layout and at its end (or stop).
    void pagesLaidOut(int pages, bool complete);

private:
    void layOutMore();
    bool completeForOutput();
    void updatePage();
    QToolButton* addButton(const QString& name, const QString& text, const QString& tip);
    void updateControls();
    QString askSaveFile(const QString& caption, const QString& extension, const QString& filter);
    // Runs `work` with the progress of long output; false when the user stopped it (nothing was
    // written or printed then, and no message is due).
    bool withProgress(const QString& what, const std::function<void(const rpt::Document::Progress&)>& work);

    std::shared_ptr<rpt::Report> m_report;
    std::shared_ptr<const rpt::Document> m_doc;
    std::unique_ptr<rpt::ReportJob> m_job;
    bool m_stopped = false;
    QTimer* m_timer = nullptr;
    QProgressBar* m_progress = nullptr;
    QToolButton* m_stop = nullptr;
    int m_page = 0;
    double m_zoom = 1.0;
    QWidget* m_bar = nullptr;
    QLineEdit* m_txtPage = nullptr;
    QLabel* m_lblPages = nullptr;
    QLabel* m_lblZoom = nullptr;
    QScrollArea* m_scroll = nullptr;
    ReportPageView* m_view = nullptr;
};

} // namespace qv
