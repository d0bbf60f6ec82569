// A long report in frmVeiwer: page 1 shows before the rest is laid out, the page count follows
// ("of 3+" while counting), Stop keeps the pages so far, exports wait for the whole report, and
// a new print stops the layout still running. The first-pages budget is 0 here, so that every
// report of more than one page goes on in the background whatever the machine's speed.
#include "reportfixture.h"
#include "viewer/frmveiwer.h"
#include "reportengine/layout.h"
#include "reportengine/reportjob.h"
#include "viewer/reportviewer.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QToolButton>

using qv::ReportViewer;

namespace {
constexpr int Lines = 400;

// The report's main rows read the plain way, the whole result at once through the program's
// connection, laid out in one go: its CSV rows.
QList<QStringList> bufferedCsv(const qv::rpt::Report& r)
{
    const qv::rpt::Template& t = r.templ();
    const auto sql =
        qv::rpt::sectionSql(t.main, qv::rpt::Formula::parse(r.RecordSelectionFormula(), t.main.fields), Conn.backend());
    QSqlQuery q = Conn.query(sql.sql, sql.params, false);
    QVector<qv::rpt::Row> rows;
    while (q.next()) {
        qv::rpt::Row row;
        for (int i = 0; i < t.main.fields.all().size(); ++i)
            row << qv::rpt::fieldValue(q.value(i), t.main.fields.all()[i].type, Conn.backend());
        rows << row;
    }
    qv::rpt::RunContext ctx;
    ctx.subreportRows.resize(t.subreports.size());
    qv::rpt::BufferedRows source(&rows);
    return qv::rpt::Layout(t, ctx).run(source).csvRows();
}

std::shared_ptr<qv::rpt::Report> book(const QString& dates, const QString& selection = {})
{
    auto report = qvt::openReport(qvt::testBookTemplate(), LoginUser, LoginPassword);
    report->setRecordSelectionFormula(selection);
    report->FormulaFields().byName("Dates").setText('"' + dates + '"');
    return report;
}
} // namespace

class TstViewerLayout : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    QTemporaryDir tmp;
    int oldBudget = 0;

    ReportViewer* viewer() const
    {
        auto* v = qvt::findWindow<frmVeiwer>(app.main(), "frmVeiwer");
        return v ? qvt::child<qv::ReportViewer>(v, "CRViewer91") : nullptr;
    }
    template <class T = QToolButton> T* control(const char* name) const
    {
        return viewer()->findChild<T*>(QLatin1String(name));
    }
    QString countLabel() const { return control<QLabel>("lblPageCount")->text(); }
    std::shared_ptr<qv::rpt::Report> show(const QString& dates, const QString& selection = {})
    {
        auto r = book(dates, selection);
        frmVeiwer::ShowReport(r);
        return r;
    }
    // The same report laid out in one go, for comparison.
    std::shared_ptr<const qv::rpt::Document> whole(const QString& dates, const QString& selection = {})
    {
        return book(dates, selection)->run(Conn);
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        SetProgramFolder(QVT_TEMPLATES_DIR);
        oldBudget = ReportViewer::setFirstPagesBudget(0);
    }
    void cleanupTestCase()
    {
        ReportViewer::setFirstPagesBudget(oldBudget);
        SetProgramFolder(QString());
    }
    void init()
    {
        app.start(true);
        const qint64 account = Conn.scalar("select min(RowID) from Accounts where AcStatus = 'DD'").toLongLong();
        qv::Transaction tx(Conn);
        for (int i = 0; i < Lines; ++i)
            Conn.execute("insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, DrAmt, CrAmt, Naration) "
                         "values (?, 'JV', ?, 1, ?, ?, ?, ?)",
                         {5000 + i, QDate(2025, 8, 1).addDays(i / 20), account,
                          QVariant::fromValue(qv::Money(1000 + i)), QVariant::fromValue(qv::Money(0)),
                          QString("Long report line %1").arg(i)});
        tx.commit();
    }
    void cleanup()
    {
        ReportViewer::setSaveFileHook(nullptr);
        ReportViewer::setProgressHook(nullptr);
        app.stop();
    }

    void pageOneFirstThenTheCount()
    {
        qvt::MsgRecorder rec;
        show("From :  01-07-2025  To :  30-06-2026");
        ReportViewer* v = viewer();
        QVERIFY(v);
        QCOMPARE(v->currentPage(), 1);
        QVERIFY(v->layingOut());
        const int early = v->pageCount();
        QVERIFY(early >= 1);
        QCOMPARE(countLabel(), QString("of %1+").arg(early));
        QVERIFY(!control<QProgressBar>("prgLayout")->isHidden());
        QVERIFY(!control("cmdStopLayout")->isHidden());
        // Page 1 already shows its texts; its total is not known yet.
        QVERIFY(v->document()->pageTexts(0).contains("Page 1 of ?"));

        QSignalSpy spy(v, &ReportViewer::pagesLaidOut);
        QTRY_VERIFY_WITH_TIMEOUT(!v->layingOut(), 60000);
        const auto expected = whole("From :  01-07-2025  To :  30-06-2026");
        const int n = expected->pageCount();
        QVERIFY(n > early);
        QCOMPARE(v->pageCount(), n);
        QCOMPARE(countLabel(), QString("of %1").arg(n));
        QVERIFY(control<QProgressBar>("prgLayout")->isHidden());
        QVERIFY(control("cmdStopLayout")->isHidden());
        QVERIFY(!spy.isEmpty() && spy.last().at(1).toBool());
        QCOMPARE(spy.last().at(0).toInt(), n);
        // The pages are those of the report laid out in one go, page count included.
        QVERIFY(v->document()->pageTexts(0).contains(QString("Page 1 of %1").arg(n)));
        QCOMPARE(v->document()->allText().replace(QRegularExpression("\\d\\d:\\d\\d [AP]M"), "T"),
                 expected->allText().replace(QRegularExpression("\\d\\d:\\d\\d [AP]M"), "T"));
        QCOMPARE(v->document()->detailRows, expected->detailRows);
        QTest::mouseClick(control("cmdLastPage"), Qt::LeftButton);
        QCOMPARE(v->currentPage(), n);
        QVERIFY(rec.seen.isEmpty());
    }

    void stopKeepsThePagesSoFar()
    {
        show("From :  01-07-2025  To :  30-06-2026");
        ReportViewer* v = viewer();
        QVERIFY(v->layingOut());
        QSignalSpy spy(v, &ReportViewer::pagesLaidOut);
        QTest::mouseClick(control("cmdStopLayout"), Qt::LeftButton);
        QVERIFY(!v->layingOut());
        QVERIFY(v->layoutStopped());
        const int k = v->pageCount();
        QVERIFY(k >= 1 && k < whole("From :  01-07-2025  To :  30-06-2026")->pageCount());
        QCOMPARE(countLabel(), QString("of %1 (stopped)").arg(k));
        QVERIFY(!spy.isEmpty() && !spy.last().at(1).toBool());
        // Part of a report is not printed or exported as if it were the report.
        for (const char* name : {"cmdPrint", "cmdExportPdf", "cmdExportCsv"})
            QVERIFY2(!control(name)->isEnabled(), name);
        QVERIFY(control<QProgressBar>("prgLayout")->isHidden());
        // Nothing more is laid out once stopped.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(v->pageCount(), k);
        QTest::mouseClick(control("cmdLastPage"), Qt::LeftButton);
        QCOMPARE(v->currentPage(), k);
    }

    void exportWaitsForTheWholeReport()
    {
        show("From :  01-07-2025  To :  30-06-2026");
        ReportViewer* v = viewer();
        QVERIFY(v->layingOut());
        ReportViewer::setSaveFileHook(
            [&](const QString&, const QString&, const QString&) { return tmp.filePath("long.csv"); });
        QTest::mouseClick(control("cmdExportCsv"), Qt::LeftButton);
        QVERIFY(!v->layingOut());
        QVERIFY(!v->layoutStopped());
        QFile f(tmp.filePath("long.csv"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const int lines = QString::fromUtf8(f.readAll()).count("\r\n");
        const int rows = Conn.scalar("select count(*) from DetJV").toInt();
        QCOMPARE(lines, rows + 1); // the heading and every detail row
        QCOMPARE(countLabel(), QString("of %1").arg(v->pageCount()));
    }

    // Long output can be stopped: the layout awaited before an export (the pages so far stay,
    // output stays off) and the PDF file itself (none is written, an older one stays as it was);
    // a stop is no failure and shows no message.
    void longOutputCanBeStopped()
    {
        qvt::MsgRecorder rec;
        show("From :  01-07-2025  To :  30-06-2026");
        QVERIFY(viewer()->layingOut());
        QString target = tmp.filePath("stopped.csv");
        ReportViewer::setSaveFileHook([&](const QString&, const QString&, const QString&) { return target; });
        ReportViewer::setProgressHook([](const QString&, int, int) { return false; });
        QTest::mouseClick(control("cmdExportCsv"), Qt::LeftButton);
        QVERIFY(viewer()->layoutStopped());
        QVERIFY(!QFile::exists(target));
        QVERIFY(!control("cmdExportPdf")->isEnabled());

        show("From :  01-07-2025  To :  30-06-2026");
        QTRY_VERIFY_WITH_TIMEOUT(!viewer()->layingOut(), 60000);
        target = tmp.filePath("stopped.pdf");
        QFile older(target);
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
        older.close();
        int told = 0;
        ReportViewer::setProgressHook([&](const QString&, int done, int) { return (told = done) < 3; });
        QTest::mouseClick(control("cmdExportPdf"), Qt::LeftButton);
        QCOMPARE(told, 3);
        QVERIFY(older.open(QIODevice::ReadOnly));
        QCOMPARE(older.readAll(), QByteArray("older"));
        QVERIFY(rec.seen.isEmpty());
    }

    void streamedRowsAreThoseOfOneReading_data()
    {
        QTest::addColumn<bool>("mayReadStandby");
        QTest::newRow("program's book") << false;
        QTest::newRow("may read a standby, none named") << true; // as the ledgers and books are asked for
    }
    void streamedRowsAreThoseOfOneReading()
    {
        // The rows keep coming while the windows use the connection (and, on a server, write to
        // the book): the report holds, row for row, what one plain reading gave when it began.
        QFETCH(bool, mayReadStandby);
        auto report = book("x");
        report->setMayReadStandby(mayReadStandby);
        const QList<QStringList> expected = bufferedCsv(*report);
        QCOMPARE(expected.size(), Conn.scalar("select count(*) from DetJV").toInt());
        auto job = report->start(Conn);
        ReportViewer::layOutFirstPages(*job); // as the viewer does before it waits for events
        QVERIFY(!job->finished());
        QVERIFY(Conn.scalar("select count(*) from Accounts").toLongLong() > 0);
        QSqlQuery q = Conn.query("select RowID from DetJV order by RowID");
        QVERIFY(q.next());
        QVERIFY(!job->step(5));
        if (Conn.backend() == qv::Backend::Postgres) {
            // A session and a snapshot of its own (the embedded book streams from the program's
            // connection, where a write would meet its own open statement).
            QVERIFY(job->ownSession());
            Conn.execute("insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, DrAmt, CrAmt, Naration) "
                         "select 9999, 'JV', VouDate, 1, AcCode, DrAmt, CrAmt, 'Saved meanwhile' from DetJV "
                         "where VouNo = 5000");
        }
        Conn.execute("update Company set comTel = ? where comActive = 'Y'", {"042-1"});
        job->finish();
        QVERIFY(job->finished() && !job->stopped());
        QCOMPARE(job->document()->csvRows(), expected);
    }

    void aNewReportStopsTheOneStillReading()
    {
        // Two reports never read the connection at the same time.
        auto first = book("x");
        auto job = first->start(Conn);
        QVERIFY(!job->step(10));
        const int pages = job->document()->pageCount();
        whole("y");
        QVERIFY(job->stopped());
        QVERIFY(!job->step(1000));
        QCOMPARE(job->document()->pageCount(), pages);
        QVERIFY(!first->document()); // a stopped job leaves the report without a document

        // In the viewer: the second print replaces the first, which was still laying out.
        qvt::MsgRecorder rec;
        show("From :  01-07-2025  To :  30-06-2026");
        QVERIFY(viewer()->layingOut());
        show("From :  01-08-2025  To :  10-08-2025", "{DetJV.VouDate} in #2025-08-01# to #2025-08-10#");
        QTRY_VERIFY_WITH_TIMEOUT(!viewer()->layingOut(), 60000);
        QVERIFY(!viewer()->layoutStopped());
        const QString text = viewer()->document()->allText();
        QVERIFY(text.contains("From :  01-08-2025  To :  10-08-2025"));
        QVERIFY(!text.contains("Long report line 399"));
        QVERIFY(rec.seen.isEmpty());
    }
};

QTEST_MAIN(TstViewerLayout)
#include "tst_viewerlayout.moc"
