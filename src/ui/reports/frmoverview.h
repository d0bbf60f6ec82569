#pragma once
// "Overview": where the money is and where it is going. The cash and bank balances at the end of
// today with their total, and four charts over a period picked above them (this year, the last
// 12 months or a financial year): month-end balances, receipts against payments, income against
// expenses, the parties that moved most. A click on a point or a bar opens the report behind it
// (the account's book for that month, the cash book of that month, the month's profit and loss,
// the party's ledger over the period); a double click on a balance opens that account's book
// over the period. It draws again when a voucher is saved or deleted here while it is open.
// Each chart is saved as PNG or printed from its context menu; "Export PDF" puts the whole
// Overview on one page.
#include "reports/overview.h"
#include "reportengine/report.h"
#include "shell/mdichild.h"

#include <functional>

class QChartView;
class QComboBox;
class QLabel;
class QPrinter;
class QPushButton;
class QTableWidget;

class frmOverview : public qv::MdiChild {
    Q_OBJECT
public:
    explicit frmOverview(QWidget* parent = nullptr);

    // Reads the figures of the picked period again and draws every chart anew.
    void Redraw();
    const qv::rpt::OverviewFigures& figures() const { return m_figures; }
    // The charts in the order of the window: balances, receipts, income, parties.
    QList<QChartView*> chartViews() const { return m_views; }
    // The last report a click opened (null: none yet).
    std::shared_ptr<qv::rpt::Report> lastReport() const { return m_report; }

    // What a click on the chart `view` at (series, index) opens.
    void openFromChart(int chart, int series, int index);
    // Saves the chart as PNG / prints it / writes the whole Overview as a one-page PDF. Throw
    // nothing: a failure is said in a message box; false when nothing was written.
    bool saveChartPng(QChartView* view, const QString& path);
    bool printChart(QChartView* view, QPrinter& printer);
    bool exportPdf(const QString& path);

    // Tests answer the file and print dialogs (null: the real dialogs).
    using SaveHook = std::function<QString(const QString& caption, const QString& suggested)>;
    using PrintHook = std::function<bool(QPrinter&)>;
    static SaveHook setSaveHook(SaveHook hook);
    static PrintHook setPrintHook(PrintHook hook);

signals:
    void redrawn();

private:
    void fillBalances();
    void fillPeriods();
    qv::rpt::OverviewPeriod pickedPeriod() const;
    void openBook(int account, const QDate& from, const QDate& to);
    void addChartMenu(QChartView* view);
    QString askSaveFile(const QString& caption, const QString& name, const QString& extension);
    void paintPage(QPainter& p, const QRectF& page);

    QComboBox* cboPeriod = nullptr;
    QPushButton* cmdExportPdf = nullptr;
    QLabel* lblBalances = nullptr;
    QTableWidget* grdBalances = nullptr;
    QList<QChartView*> m_views;
    qv::rpt::OverviewFigures m_figures;
    std::shared_ptr<qv::rpt::Report> m_report;
    bool m_pending = false; // a redraw asked for while one is queued
};
