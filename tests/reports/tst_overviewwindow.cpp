// The Overview window on the demo book: reached from its menu entry (F12), shown under the
// reports' right; a period picked draws every chart for it; a click on a bar opens the report
// behind it; a voucher saved while it is open draws it again; the exports write what they say.
#include "masters/accountclasses.h"
#include "reports/frmoverview.h"
#include "reports/overviewcharts.h"
#include "shell/applymenus.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"
#include "vouchers/frmvoucher.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QLineSeries>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>

using qv::rpt::OverviewFigures;

class TstOverviewWindow : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    frmOverview* open()
    {
        app.main()->menuEntry("mnuOverview")->trigger();
        return qobject_cast<frmOverview*>(qv::Windows::find("frmOverview"));
    }
    // The period whose months hold the demo vouchers.
    static void pickFinancialYear(frmOverview* w, int year)
    {
        auto* period = qvt::child<QComboBox>(w, "cboPeriod");
        const int i = period->findData(year);
        QVERIFY(i > 0);
        QSignalSpy redrawn(w, &frmOverview::redrawn);
        period->setCurrentIndex(i);
        QCOMPARE(redrawn.count(), 1);
    }
    // Clicks the middle of a bar of `set` (0 or 1) in month or party `index`, as the mouse would.
    static void clickBar(QChartView* view, int set, int index)
    {
        auto* series = qobject_cast<QAbstractBarSeries*>(view->chart()->series().first());
        const qreal v = series->barSets()[set]->at(index) / 2;
        const qreal at = index + (set == 0 ? -0.12 : 0.12);
        const bool horizontal = series->type() == QAbstractSeries::SeriesTypeHorizontalBar;
        const QPointF p = view->chart()->mapToPosition(horizontal ? QPointF(v, at) : QPointF(at, v), series);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(view->chart()->mapToScene(p)));
    }
    // Every figure of the window is the one read from the book now.
    static void showsTheBook(frmOverview* w)
    {
        const OverviewFigures& f = w->figures();
        const OverviewFigures now = qv::rpt::overviewFigures(Conn, f.period, f.today);
        QCOMPARE(f.todayTotal, now.todayTotal);
        QCOMPARE(f.months.size(), now.months.size());
        for (int m = 0; m < f.months.size(); ++m)
            QVERIFY(f.months[m].total == now.months[m].total && f.months[m].receipts == now.months[m].receipts);
        auto* grid = qvt::child<QTableWidget>(w, "grdBalances");
        QCOMPARE(grid->rowCount(), f.accounts.size() + 1);
        QCOMPARE(grid->item(int(f.accounts.size()), 1)->text(), qv::displayAmount(now.todayTotal));
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        SetProgramFolder(QVT_TEMPLATES_DIR);
    }
    void cleanupTestCase() { SetProgramFolder(QString()); }
    void init()
    {
        app.start(true);
        QApplication::setActiveWindow(app.main());
    }
    void cleanup() { app.stop(); }

    void entryFollowsTheReportRight()
    {
        QAction* entry = app.main()->menuEntry("mnuOverview");
        QVERIFY(entry && entry->isVisible());
        QCOMPARE(entry->shortcut(), QKeySequence(Qt::Key_F12));
        Conn.execute("update Menus set Active = 0 where Menus = 'Report'");
        ApplyMenus();
        QVERIFY(!entry->isVisible());
        QVERIFY(app.main()->menuEntry("mnuCashBook")->isVisible());
        Conn.execute("update Menus set Active = 1 where Menus = 'Report'");
        ApplyMenus();
        QVERIFY(entry->isVisible());
    }

    void periodRedrawsAndBarsOpenTheirReports()
    {
        frmOverview* w = open();
        QVERIFY(w);
        showsTheBook(w);
        pickFinancialYear(w, 2025);
        const OverviewFigures& f = w->figures();
        QCOMPARE(f.period.from, QDate(2025, 7, 1));
        showsTheBook(w);
        for (QChartView* v : w->chartViews())
            QCOMPARE(v->chart()->series().isEmpty(), false);
        // The payments of the busiest month open that month's cash book.
        int busiest = 0;
        for (int m = 0; m < f.months.size(); ++m)
            if (f.months[m].payments > f.months[busiest].payments)
                busiest = m;
        QVERIFY(f.months[busiest].payments.cents > 0);
        clickBar(w->chartViews()[1], 1, busiest);
        QTRY_VERIFY(w->lastReport());
        const QDate month = f.months[busiest].month;
        QVERIFY(qv::Windows::find("frmVeiwer"));
        QCOMPARE(w->lastReport()->FormulaFields().byName("Dates").shown(),
                 QStringLiteral("From :  %1  To :  %2")
                     .arg(month.toString("dd-MM-yyyy"), month.addMonths(1).addDays(-1).toString("dd-MM-yyyy")));
        QVERIFY2(w->lastReport()->RecordSelectionFormula().contains(QString::number(f.accounts[0].id)),
                 qPrintable(w->lastReport()->RecordSelectionFormula()));
        // The top party's bar (at the top: the last category) opens its ledger over the period.
        const auto cashBook = w->lastReport();
        clickBar(w->chartViews()[3], 0, int(f.parties.size()) - 1);
        QTRY_VERIFY(w->lastReport() != cashBook);
        QVERIFY(w->lastReport()->templ().path.endsWith("rptAcLedger.rpt"));
        const QString title = Conn.scalar("select AcName from tmpAcLedger where LineNo = 0").toString();
        QCOMPARE(title, f.parties[0].name);
    }

    void voucherSavedWhileOpenRedraws()
    {
        frmOverview* w = open();
        const qv::Money before = w->figures().todayTotal;
        auto* v = qv::Windows::open<frmVoucher>("frmCR");
        QVERIFY(v);
        const qint64 party = Conn.scalar("select RowID from Accounts where AcNodes = '1.2.1'").toLongLong();
        auto* account = qvt::child<QLineEdit>(v, "txtCrAc");
        account->setText("ABDUL RAHMAN KHAN");
        account->setProperty("tag", QString::number(party));
        qvt::child<QLineEdit>(v, "txtPaidTo")->setText("OVERVIEW TEST");
        qvt::child<QLineEdit>(v, "txtDRCR")->setText("1,234.56");
        QTest::mouseClick(qvt::child<QPushButton>(v, "cmdAdd"), Qt::LeftButton);
        QSignalSpy redrawn(w, &frmOverview::redrawn);
        qvt::MsgRecorder rec;
        QTest::mouseClick(qvt::child<QPushButton>(v, "cmdSave"), Qt::LeftButton);
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.last()));
        QTRY_COMPARE(redrawn.count(), 1);
        QCOMPARE(w->figures().todayTotal - before, qv::Money(123456));
        showsTheBook(w);
    }

    void exportsWriteAChartAndOnePage()
    {
        frmOverview* w = open();
        pickFinancialYear(w, 2025);
        QTemporaryDir dir;
        const QString png = dir.filePath("balances.png");
        QVERIFY(w->saveChartPng(w->chartViews()[0], png));
        const QImage image(png);
        QVERIFY(!image.isNull() && image.width() >= w->chartViews()[0]->width());
        // Printing from the chart's menu, to a PDF printer.
        auto oldPrint = frmOverview::setPrintHook([&](QPrinter& printer) {
            printer.setOutputFileName(dir.filePath("printed.pdf"));
            return true;
        });
        w->chartViews()[2]->findChild<QAction*>("actPrint")->trigger();
        frmOverview::setPrintHook(oldPrint);
        QVERIFY(QFileInfo(dir.filePath("printed.pdf")).size() > 1000);
        // The button, with the file dialog answered: one page of PDF.
        auto old = frmOverview::setSaveHook([&](const QString&, const QString& suggested) {
            return suggested.endsWith("overview.pdf") ? dir.filePath("whole") : QString();
        });
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdExportPdf"), Qt::LeftButton);
        frmOverview::setSaveHook(old);
        QFile pdf(dir.filePath("whole.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page/")
                     + bytes.count("/Type /Page "),
                 1);
        // A file that cannot be written is said, not passed over.
        qvt::MsgRecorder rec;
        QVERIFY(!w->exportPdf(dir.filePath("no/such/folder/x.pdf")));
        QCOMPARE(rec.seen.size(), 1);
    }

    // Too many banks for a line each: the cash and the banks holding most (either side) are
    // drawn alone, the rest as one line that is their sum month by month.
    void manyBanksDrawTheRestTogether()
    {
        OverviewFigures f;
        const qint64 today[] = {500, -90000, 100, 70000, -200, 60000, 300};
        for (int i = 0; i < 7; ++i) {
            f.accounts.append({i + 1, QString("1.1.%1").arg(i + 1), QString("ACCOUNT %1").arg(i), i == 0});
            f.todayBalances << qv::Money(today[i]);
        }
        for (int m = 0; m < 3; ++m) {
            qv::rpt::OverviewMonth month;
            month.month = QDate(2026, m + 1, 1);
            for (int i = 0; i < 7; ++i)
                month.balances << qv::Money((i + 1) * 1000 + m * 7 + i);
            f.months << month;
        }
        QCOMPARE(qv::overview::accountsDrawnAlone(f), QList<int>({0, 1, 3, 5}));
        std::unique_ptr<QChart> chart(qv::overview::balancesChart(f, {}));
        QStringList names;
        QLineSeries* rest = nullptr;
        for (QAbstractSeries* s : chart->series()) {
            names << s->name();
            if (s->name().startsWith("Other banks"))
                rest = qobject_cast<QLineSeries*>(s);
        }
        QCOMPARE(names, QStringList({"Total", "ACCOUNT 0", "ACCOUNT 1", "ACCOUNT 3", "ACCOUNT 5", "Other banks (3)"}));
        QVERIFY(rest);
        for (int m = 0; m < 3; ++m) {
            const qint64 sum =
                f.months[m].balances[2].cents + f.months[m].balances[4].cents + f.months[m].balances[6].cents;
            QCOMPARE(qRound64(rest->at(m).y() * 100), sum);
        }
    }
};

QTEST_MAIN(TstOverviewWindow)
#include "tst_overviewwindow.moc"
