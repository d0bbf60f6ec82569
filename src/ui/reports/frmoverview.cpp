#include "reports/frmoverview.h"

#include "masters/accountclasses.h"
#include "reports/accountsreport.h"
#include "reports/overviewcharts.h"
#include "reports/statementreport.h"
#include "shell/bookevents.h"
#include "shell/mdl_connection.h"
#include "viewer/frmveiwer.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"
#include "widgets/named.h"
#include "widgets/status.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>

namespace {

using qv::rpt::AccountsReport;

frmOverview::SaveHook& saveHook()
{
    static frmOverview::SaveHook hook;
    return hook;
}

frmOverview::PrintHook& printHook()
{
    static frmOverview::PrintHook hook;
    return hook;
}

struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

QDate endOfMonth(const QDate& d)
{
    return QDate(d.year(), d.month(), 1).addMonths(1).addDays(-1);
}

const char* const ChartNames[] = {"chtBalances", "chtReceipts", "chtIncome", "chtParties"};

} // namespace

frmOverview::SaveHook frmOverview::setSaveHook(SaveHook hook)
{
    return std::exchange(saveHook(), std::move(hook));
}

frmOverview::PrintHook frmOverview::setPrintHook(PrintHook hook)
{
    return std::exchange(printHook(), std::move(hook));
}

frmOverview::frmOverview(QWidget* parent)
    : MdiChild(parent)
{
    setObjectName(QStringLiteral("frmOverview"));
    setWindowTitle(QStringLiteral("Overview"));
    auto* lay = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Period :"), this));
    cboPeriod = qv::named<QComboBox>(this, "cboPeriod");
    top->addWidget(cboPeriod);
    top->addStretch(1);
    cmdExportPdf = qv::named<QPushButton>(this, "cmdExportPdf", QStringLiteral("Export &PDF..."));
    top->addWidget(cmdExportPdf);
    lay->addLayout(top);

    auto* grid = new QGridLayout;
    auto* figures = new QVBoxLayout;
    lblBalances = qv::named<QLabel>(this, "lblBalances");
    lblBalances->setFont(qv::overview::chartFont(10, true));
    figures->addWidget(lblBalances);
    grdBalances = qv::named<QTableWidget>(this, "grdBalances", 0, 2);
    grdBalances->setHorizontalHeaderLabels({QStringLiteral("Account"), QStringLiteral("Balance")});
    grdBalances->setFont(qv::overview::chartFont(9));
    grdBalances->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdBalances->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdBalances->verticalHeader()->setVisible(false);
    grdBalances->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    grdBalances->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    figures->addWidget(grdBalances);
    grid->addLayout(figures, 0, 0);
    for (int i = 0; i < 4; ++i) {
        auto* view = new QChartView(this);
        view->setObjectName(QLatin1String(ChartNames[i]));
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(300, 220);
        addChartMenu(view);
        m_views << view;
    }
    grid->addWidget(m_views[0], 0, 1);
    grid->addWidget(m_views[1], 0, 2);
    grid->addWidget(m_views[2], 1, 0, 1, 2);
    grid->addWidget(m_views[3], 1, 2);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 3);
    lay->addLayout(grid, 1);

    fillPeriods();
    connect(cboPeriod, &QComboBox::currentIndexChanged, this, &frmOverview::Redraw);
    connect(cmdExportPdf, &QPushButton::clicked, this, [this] {
        const QString path = askSaveFile(QStringLiteral("Export the Overview to PDF"), QStringLiteral("overview"),
                                         QStringLiteral(".pdf"));
        if (!path.isEmpty() && exportPdf(path))
            qv::Status::say(QStringLiteral("Overview written to %1").arg(QDir::toNativeSeparators(path)));
    });
    connect(grdBalances, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row < m_figures.accounts.size())
            openBook(row, m_figures.period.from, m_figures.period.to);
    });
    // A voucher saved or deleted here: draw again once the save's own work is done.
    connect(qv::BookEvents::instance(), &qv::BookEvents::vouchersChanged, this, [this] {
        if (std::exchange(m_pending, true))
            return;
        QTimer::singleShot(0, this, [this] {
            m_pending = false;
            Redraw();
        });
    });
    Redraw();
}

void frmOverview::fillPeriods()
{
    const QDate today = QDate::currentDate();
    cboPeriod->addItem(QStringLiteral("Last 12 months"), -1);
    cboPeriod->addItem(QStringLiteral("This year"), 0);
    qv::guarded([&] {
        const int start = qv::AccountClasses(Conn).startMonth();
        for (const auto& [year, caption] : qv::rpt::financialYears(Conn, start, today))
            cboPeriod->addItem(QStringLiteral("Financial year %1").arg(caption), year);
    });
}

qv::rpt::OverviewPeriod frmOverview::pickedPeriod() const
{
    const QDate today = QDate::currentDate();
    const int year = cboPeriod->currentData().toInt();
    if (year < 0)
        return qv::rpt::last12MonthsPeriod(today);
    if (year == 0)
        return qv::rpt::thisYearPeriod(today);
    int start = qv::AccountClasses::DefaultStartMonth;
    qv::guarded([&] { start = qv::AccountClasses(Conn).startMonth(); });
    return qv::rpt::financialYearPeriod(year, start, today);
}

void frmOverview::Redraw()
{
    BusyCursor busy;
    const qv::rpt::OverviewPeriod period = pickedPeriod();
    if (!qv::guarded([&] { m_figures = qv::rpt::overviewFigures(Conn, period, QDate::currentDate()); }))
        return;
    fillBalances();
    using Maker = QChart* (*)(const qv::rpt::OverviewFigures&, const qv::overview::Click&);
    const Maker makers[] = {qv::overview::balancesChart, qv::overview::receiptsChart, qv::overview::incomeChart,
                            qv::overview::partiesChart};
    for (int i = 0; i < 4; ++i) {
        QChart* old = m_views[i]->chart();
        m_views[i]->setChart(makers[i](m_figures, [this, i](int series, int index) {
            // Opened once the click is over: the chart may be drawn anew meanwhile.
            QTimer::singleShot(0, this, [this, i, series, index] { openFromChart(i, series, index); });
        }));
        delete old;
    }
    emit redrawn();
}

void frmOverview::fillBalances()
{
    lblBalances->setText(
        QStringLiteral("Balances at the end of %1").arg(m_figures.today.toString(QStringLiteral("dd-MM-yyyy"))));
    const int n = int(m_figures.accounts.size());
    grdBalances->setRowCount(n + 1);
    auto put = [this](int row, const QString& name, qv::Money m, bool bold) {
        auto* a = new QTableWidgetItem(name);
        auto* b = new QTableWidgetItem(qv::displayAmount(m));
        b->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QFont f = qv::overview::chartFont(9, bold);
        a->setFont(f);
        b->setFont(f);
        grdBalances->setItem(row, 0, a);
        grdBalances->setItem(row, 1, b);
    };
    for (int i = 0; i < n; ++i)
        put(i, m_figures.accounts[i].name, m_figures.todayBalances[i], false);
    put(n, QStringLiteral("Total"), m_figures.todayTotal, true);
}

void frmOverview::openBook(int account, const QDate& from, const QDate& to)
{
    const qv::rpt::OverviewAccount& a = m_figures.accounts[account];
    BusyCursor busy;
    qv::guarded([&] {
        m_report = qv::rpt::openAccountsReport(TheBook, a.cash ? AccountsReport::CashBook : AccountsReport::BankBook,
                                               a.id, from, to);
        frmVeiwer::ShowReport(m_report);
    });
}

void frmOverview::openFromChart(int chart, int series, int index)
{
    const auto& f = m_figures;
    const bool month = chart < 3;
    if ((month && (index < 0 || index >= f.months.size())) || (!month && (index < 0 || index >= f.parties.size())))
        return;
    const QDate from = month ? f.months[index].month : f.period.from;
    const QDate to = month ? endOfMonth(from) : f.period.to;
    switch (chart) {
    case 0:
        if (series >= 0 && series < f.accounts.size())
            openBook(series, from, to);
        else
            qv::Status::say(QStringLiteral("The other banks are drawn together: double-click a bank in the "
                                           "balances to see its book"));
        break;
    case 1: // the cash book of the month; without a cash account the first bank's
        if (!f.accounts.isEmpty())
            openBook(0, from, to);
        break;
    case 2: {
        BusyCursor busy;
        qv::guarded([&] {
            m_report = qv::rpt::openProfitLoss(TheBook, from, to, 2, false);
            frmVeiwer::ShowReport(m_report);
        });
        break;
    }
    default: {
        BusyCursor busy;
        qv::guarded([&] {
            m_report =
                qv::rpt::openAccountsReport(TheBook, AccountsReport::SimpleLedger, f.parties[index].id, from, to);
            frmVeiwer::ShowReport(m_report);
        });
    }
    }
}

void frmOverview::addChartMenu(QChartView* view)
{
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* png = new QAction(QStringLiteral("Save as PNG..."), view);
    png->setObjectName(QStringLiteral("actSavePng"));
    auto* print = new QAction(QStringLiteral("Print..."), view);
    print->setObjectName(QStringLiteral("actPrint"));
    view->addAction(png);
    view->addAction(print);
    connect(png, &QAction::triggered, this, [this, view] {
        const QString path = askSaveFile(QStringLiteral("Save the chart as PNG"), view->objectName().mid(3).toLower(),
                                         QStringLiteral(".png"));
        if (!path.isEmpty() && saveChartPng(view, path))
            qv::Status::say(QStringLiteral("Chart saved to %1").arg(QDir::toNativeSeparators(path)));
    });
    connect(print, &QAction::triggered, this, [this, view] {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setDocName(view->chart() ? view->chart()->title() : QStringLiteral("Overview"));
        bool go = false;
        if (printHook()) {
            go = printHook()(printer);
        } else {
            QPrintDialog dlg(&printer, this);
            go = dlg.exec() == QDialog::Accepted;
        }
        if (go)
            printChart(view, printer);
    });
}

QString frmOverview::askSaveFile(const QString& caption, const QString& name, const QString& extension)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(name + extension);
    QString path = saveHook()
                       ? saveHook()(caption, suggested)
                       : QFileDialog::getSaveFileName(this, caption, suggested, QStringLiteral("*%1").arg(extension));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += extension;
    return path;
}
