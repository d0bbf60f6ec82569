// Where the program finds a report template: beside itself first (the build folder), then the
// installed share/quoravel/templates/ found from the program's folder.
#include "reportengine/report.h"
#include "reportengine/reporterror.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class TstTemplateFolders : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    QString bin, share;

    void put(const QString& folder, const QString& name, const QByteArray& title)
    {
        QDir().mkpath(folder);
        QFile in(QStringLiteral(QVT_TEMPLATES_DIR "/rptChartAC.rpt"));
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray text = in.readAll();
        text.replace("title \"CHART OF ACCOUNTS\"", "title \"" + title + "\"");
        QFile out(QDir(folder).filePath(name));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text);
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        bin = tmp.filePath("prefix/bin");
        QDir().mkpath(bin);
        SetProgramFolder(bin);
        share = TemplateFolders().value(1);
        QCOMPARE(TemplateFolders().value(0), bin);
        QVERIFY2(share.startsWith(tmp.filePath("prefix") + '/') && share.endsWith("/quoravel/templates"),
                 qPrintable(share));
    }
    void cleanupTestCase() { SetProgramFolder(QString()); }

    void besideTheProgramFirstThenInstalled()
    {
        put(share, "rptChartAC.rpt", "INSTALLED");
        // As the print handlers build the path.
        qv::rpt::Application app(TemplateFolders());
        QCOMPARE(app.OpenReport(ProgramFolder() + "\\rptChartAC.rpt")->templ().title, QString("INSTALLED"));
        QCOMPARE(LocateTemplate(bin + "/rptChartAC.rpt"), QDir(share).filePath("rptChartAC.rpt"));

        put(bin, "rptChartAC.rpt", "BESIDE");
        QCOMPARE(app.OpenReport(ProgramFolder() + "\\rptChartAC.rpt")->templ().title, QString("BESIDE"));
        QVERIFY(QFile::remove(QDir(bin).filePath("rptChartAC.rpt")));
    }

    void missingEverywhereNamesTheProgramFolder()
    {
        try {
            qv::rpt::Application(TemplateFolders()).OpenReport(ProgramFolder() + "\\rptNone.rpt");
            QFAIL("a missing template opened");
        } catch (const qv::rpt::ReportError& e) {
            QCOMPARE(e.description(),
                     QString("The report template \"%1\" was not found.").arg(QDir(bin).filePath("rptNone.rpt")));
        }
    }

    void otherFoldersAreTakenAsGiven()
    {
        // A template named with its own folder is that file, never a namesake elsewhere.
        const QString elsewhere = tmp.filePath("elsewhere/rptChartAC.rpt");
        QCOMPARE(LocateTemplate(elsewhere), elsewhere);
    }
};

QTEST_GUILESS_MAIN(TstTemplateFolders)
#include "tst_templatefolders.moc"
