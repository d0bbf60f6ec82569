#pragma once
// The one viewer window: its only control, CRViewer91, fills it. Every print shows its report
// here (created on first use, reused after), with the report's title as the window's caption.
#include "shell/mdichild.h"

#include <memory>

namespace qv {
class ReportViewer;
namespace rpt {
class Report;
}
} // namespace qv

class frmVeiwer : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmVeiwer(QWidget* parent = nullptr);

    // The last step of the print sequence. The report runs first: when it fails the error is
    // thrown to the print handler and no viewer is opened or changed. Otherwise the viewer
    // (made on first use) gets the report's title as its caption, the report as its source, and
    // comes to the front.
    static frmVeiwer* ShowReport(std::shared_ptr<qv::rpt::Report> report);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    qv::ReportViewer* CRViewer91 = nullptr;
};
