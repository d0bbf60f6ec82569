// frmVeiwer driven as a user drives it: the chart's "&Print", paging, zoom, printing and
// exports through the toolbar, one viewer for every print, and failures as message boxes.
#include "shell/windows.h"
#include "reportfixture.h"
#include "viewer/frmveiwer.h"
#include "reports/printchart.h"
#include "viewer/reportviewer.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

using qv::ReportViewer;

namespace {
// A print handler as the windows write it, for the test book.
std::shared_ptr<qv::rpt::Report> printBook(const QString& dates, const QString& selection = {})
{
    try {
        qv::rpt::Application crApp;
        auto report = crApp.OpenReport(QStringLiteral(QVT_TEST_TEMPLATES_DIR) + "\\rptTestBook.rpt");
        report->Database().Tables(1).ConnectionProperties("User ID").setValue(LoginUser);
        report->Database().Tables(1).ConnectionProperties("Password").setValue(LoginPassword);
        report->setRecordSelectionFormula(selection);
        report->FormulaFields().byName("Dates").setText('"' + dates + '"');
        frmVeiwer::ShowReport(report);
        return report;
    } catch (const qv::DbError& e) {
        qv::Msg::critical(e.description());
    }
    return nullptr;
}
} // namespace

class TstViewer : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    QTemporaryDir tmp;

    QList<frmVeiwer*> viewers() const
    {
        QList<frmVeiwer*> out;
        for (QMdiSubWindow* sw : app.main()->mdiArea()->subWindowList())
            if (auto* v = qobject_cast<frmVeiwer*>(sw->widget()))
                out << v;
        return out;
    }
    frmVeiwer* viewer() const { return qvt::findWindow<frmVeiwer>(app.main(), "frmVeiwer"); }
    ReportViewer* viewerControl() const { return qvt::child<ReportViewer>(viewer(), "CRViewer91"); }
    template <class T = QToolButton> T* control(const char* name) const
    {
        return viewerControl()->findChild<T*>(QLatin1String(name));
    }
    QString pageShown() const
    {
        return control<QLineEdit>("txtPage")->text() + " " + control<QLabel>("lblPageCount")->text();
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        SetProgramFolder(QVT_TEMPLATES_DIR);
    }
    void cleanupTestCase() { SetProgramFolder(QString()); }
    void init() { app.start(true); }
    void cleanup()
    {
        ReportViewer::setSaveFileHook(nullptr);
        ReportViewer::setPrintDialogHook(nullptr);
        app.stop();
    }

    void chartPrintOpensTheViewer()
    {
        qvt::MsgRecorder rec;
        PrintChartOfAccounts();
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.last()));
        frmVeiwer* v = viewer();
        QVERIFY(v);
        // The window says which report it shows.
        QCOMPARE(v->windowTitle(), QString("CHART OF ACCOUNTS"));
        QCOMPARE(v->subWindow()->windowTitle(), QString("CHART OF ACCOUNTS"));
        QCOMPARE(app.main()->mdiArea()->activeSubWindow(), v->subWindow());
        auto* ctl = v->findChild<ReportViewer*>("CRViewer91");
        QVERIFY(ctl);
        QCOMPARE(ctl->geometry(), v->rect());
        QCOMPARE(pageShown(), QString("1 of 2"));
        QVERIFY(ctl->document()->pageTexts(0).contains("CHART OF ACCOUNTS"));
        // The control keeps filling the window from its top-left corner at every resize.
        for (QSize s : {QSize(640, 420), QSize(1000, 700), QSize(300, 200)}) {
            v->subWindow()->resize(s);
            QCOMPARE(ctl->geometry(), QRect(QPoint(0, 0), v->size()));
        }
    }

    void pagingAndZoomFromTheToolbar()
    {
        PrintChartOfAccounts();
        QVERIFY(viewer());
        QVERIFY(!control("cmdPrevPage")->isEnabled());
        QTest::mouseClick(control("cmdNextPage"), Qt::LeftButton);
        QCOMPARE(pageShown(), QString("2 of 2"));
        QVERIFY(!control("cmdNextPage")->isEnabled() && !control("cmdLastPage")->isEnabled());
        QTest::mouseClick(control("cmdFirstPage"), Qt::LeftButton);
        QCOMPARE(pageShown(), QString("1 of 2"));
        QTest::mouseClick(control("cmdLastPage"), Qt::LeftButton);
        QCOMPARE(viewerControl()->currentPage(), 2);
        QTest::mouseClick(control("cmdPrevPage"), Qt::LeftButton);
        QCOMPARE(viewerControl()->currentPage(), 1);

        // A page typed into the box; a number past the end shows the last page.
        auto* box = control<QLineEdit>("txtPage");
        box->selectAll();
        QTest::keyClicks(box, "2");
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(viewerControl()->currentPage(), 2);
        box->selectAll();
        QTest::keyClicks(box, "99");
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(pageShown(), QString("2 of 2"));

        auto* label = control<QLabel>("lblZoom");
        QCOMPARE(label->text(), QString("100%"));
        auto* view = viewerControl()->findChild<QWidget*>("pageView");
        const int width100 = view->width();
        QTest::mouseClick(control("cmdZoomIn"), Qt::LeftButton);
        QCOMPARE(label->text(), QString("125%"));
        QVERIFY(view->width() > width100);
        QTest::mouseClick(control("cmdZoomOut"), Qt::LeftButton);
        QTest::mouseClick(control("cmdZoomOut"), Qt::LeftButton);
        QCOMPARE(label->text(), QString("80%"));
        QVERIFY(view->width() < width100);
        QTest::mouseClick(control("cmdFitWidth"), Qt::LeftButton);
        auto* scroll = viewerControl()->findChild<QScrollArea*>("pageScroll");
        QVERIFY(view->width() <= scroll->viewport()->width());
        QVERIFY(view->width() > scroll->viewport()->width() - 40);
    }

    // PgDn and PgUp turn the pages wherever the focus is left in the viewer: by the print from
    // the chart window, by a click on the page or on the page box, maximised or not.
    void pageKeys()
    {
        auto* chart = qv::Windows::open("frmAccount");
        app.main()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main()));
        QTest::mouseClick(chart->findChild<QPushButton*>("cmdPrint"), Qt::LeftButton);
        ReportViewer* ctl = viewerControl();
        auto press = [](Qt::Key key, Qt::KeyboardModifiers mods = {}) {
            QTest::keyClick(QApplication::focusWidget(), key, mods);
        };
        press(Qt::Key_PageDown);
        QCOMPARE(ctl->currentPage(), 2);
        QTest::mouseClick(ctl->findChild<QWidget*>("pageView"), Qt::LeftButton);
        press(Qt::Key_PageUp);
        QCOMPARE(ctl->currentPage(), 1);
        QTest::mouseClick(control<QLineEdit>("txtPage"), Qt::LeftButton);
        press(Qt::Key_PageDown);
        QCOMPARE(ctl->currentPage(), 2);
        viewer()->subWindow()->showMaximized();
        QTest::mouseClick(ctl->findChild<QWidget*>("pageView"), Qt::LeftButton);
        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(ctl->currentPage(), 1);
        press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(ctl->currentPage(), 2);
    }

    void secondPrintReplacesTheReportInTheSameViewer()
    {
        qvt::MsgRecorder rec;
        std::weak_ptr<qv::rpt::Report> first = printBook("From :  01-07-2025  To :  30-09-2025");
        QVERIFY(!first.expired());
        frmVeiwer* v = viewer();
        QVERIFY(v && qvt::child<ReportViewer>(v, "CRViewer91")->currentPage() == 1);
        QTest::mouseClick(control("cmdNextPage"), Qt::LeftButton);
        // Another window comes to the front; the next print brings the viewer back.
        qv::Windows::define("frmOther", [] {
            auto* w = new qv::MdiChild();
            w->setObjectName("frmOther");
            return w;
        });
        auto* other = qv::Windows::open("frmOther");
        QCOMPARE(app.main()->mdiArea()->activeSubWindow(), other->subWindow());

        printBook("From :  01-10-2025  To :  31-12-2025", "{DetJV.VouDate} in #2025-10-01# to #2025-12-31#");
        QCOMPARE(viewers().size(), 1);
        QCOMPARE(viewer(), v);
        QCOMPARE(app.main()->mdiArea()->activeSubWindow(), v->subWindow());
        QCOMPARE(v->windowTitle(), QString("TEST BOOK"));
        QCOMPARE(qvt::child<ReportViewer>(v, "CRViewer91")->currentPage(), 1);
        const QString text = qvt::child<ReportViewer>(v, "CRViewer91")->document()->allText();
        QVERIFY(text.contains("From :  01-10-2025  To :  31-12-2025"));
        QVERIFY(!text.contains("30-09-2025"));
        QVERIFY(first.expired()); // the first report was released
        QVERIFY(rec.seen.isEmpty());
    }

    void failuresShowTheirTextAndNoViewer_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing template") << "template"
                                          << "rptChartAC\\.rpt\" was not found\\.$";
        QTest::newRow("bad formula") << "formula"
                                     << "the field \\{DetJV\\.Nope\\} is not part of this report";
        QTest::newRow("refused logon") << "logon"
                                       << "Login failed|password authentication failed";
    }
    void failuresShowTheirTextAndNoViewer()
    {
        QFETCH(QString, what);
        QFETCH(QString, message);
        qvt::MsgRecorder rec;
        auto fail = [&] {
            if (what == "template") {
                SetProgramFolder(tmp.path());
                PrintChartOfAccounts();
                SetProgramFolder(QVT_TEMPLATES_DIR);
            } else if (what == "formula") {
                printBook("x", "{DetJV.Nope} = 1");
            } else {
                const QString saved = LoginPassword;
                LoginPassword = "wrong";
                PrintChartOfAccounts();
                LoginPassword = saved;
            }
        };
        fail();
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Critical);
        QVERIFY2(rec.last().contains(QRegularExpression(message)), qPrintable(rec.last()));
        QVERIFY(viewers().isEmpty());

        // With a viewer open, a failed print leaves it showing what it showed.
        PrintChartOfAccounts();
        const auto shown = viewerControl()->reportSource();
        rec.clear();
        fail();
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(viewers().size(), 1);
        QCOMPARE(viewerControl()->reportSource(), shown);
    }

    void exportsAndPrinting()
    {
        qvt::MsgRecorder rec;
        PrintChartOfAccounts();
        QString asked;
        ReportViewer::setSaveFileHook([&](const QString&, const QString& suggested, const QString&) {
            asked = suggested;
            return tmp.filePath("export"); // no extension: the viewer adds it
        });
        // The user's documents folder is proposed, made when missing: a file dialog pointed at
        // a folder that does not exist opens in the program's own folder instead.
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(tmp.filePath("home")));
        QTest::mouseClick(control("cmdExportPdf"), Qt::LeftButton);
        qputenv("HOME", home);
        QCOMPARE(QFileInfo(asked).absolutePath(), QDir(tmp.filePath("home")).absoluteFilePath("Documents"));
        QVERIFY(QFileInfo(asked).dir().exists());
        QVERIFY(asked.endsWith("rptChartAC.pdf"));
        QFile pdf(tmp.filePath("export.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly) && pdf.read(5) == "%PDF-");
        QTest::mouseClick(control("cmdExportCsv"), Qt::LeftButton);
        QFile csv(tmp.filePath("export.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readLine(), QByteArray("Code,Account Title,Level,Opening Balance,Bank/Supplier\r\n"));

        // Printing goes through the print dialog; the page range chosen there is honoured.
        const QString printed = tmp.filePath("printed.pdf");
        int offered = 0;
        ReportViewer::setPrintDialogHook([&](QPrinter& p, int pages) {
            offered = pages;
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(printed);
            p.setPrintRange(QPrinter::PageRange);
            p.setFromTo(2, 2);
            return true;
        });
        QTest::mouseClick(control("cmdPrint"), Qt::LeftButton);
        QCOMPARE(offered, 2);
        const QString text = qvt::pdfText(printed);
        QVERIFY(QFile::exists(printed));
        if (!text.isNull()) {
            QCOMPARE(text.count('\f'), 1);
            QVERIFY(text.contains("Page 2 of 2"));
        }
        // Cancelling the dialog prints nothing.
        QFile::remove(printed);
        ReportViewer::setPrintDialogHook([](QPrinter&, int) { return false; });
        QTest::mouseClick(control("cmdPrint"), Qt::LeftButton);
        QVERIFY(!QFile::exists(printed));

        // An export that cannot be written says so and leaves the viewer usable.
        QVERIFY(rec.seen.isEmpty());
        ReportViewer::setSaveFileHook(
            [&](const QString&, const QString&, const QString&) { return tmp.filePath("missing-folder/x.pdf"); });
        QTest::mouseClick(control("cmdExportPdf"), Qt::LeftButton);
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY(rec.last().contains("could not be written"));
        QTest::mouseClick(control("cmdNextPage"), Qt::LeftButton);
        QCOMPARE(viewerControl()->currentPage(), 2);
    }

    void realMessageBoxForAMissingTemplate()
    {
        // No recorder here: the real box is answered by a timer armed before the print.
        SetProgramFolder(tmp.path());
        QString seen;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start();
        PrintChartOfAccounts();
        poll.stop();
        SetProgramFolder(QVT_TEMPLATES_DIR);
        QCOMPARE(seen,
                 QString("The report template \"%1\" was not found.").arg(QDir(tmp.path()).filePath("rptChartAC.rpt")));
        QVERIFY(viewers().isEmpty());
    }
};

QTEST_MAIN(TstViewer)
#include "tst_viewer.moc"
