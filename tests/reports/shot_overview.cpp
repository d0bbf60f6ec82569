// Screenshots of the Overview for the README (run by hand under Xvfb, not part of ctest):
//   shot_overview                 the demo book, one customer renamed in Urdu
//   QV_SHOT_BOOK=BOOK.sqlite      a generated book (bench/bookgen), as its bench login
//   QV_SHOT_PDF=FILE              the Overview's one-page PDF as well
// Both show the financial year 2025-26.
#include "reports/frmoverview.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"

#include <QComboBox>

class ShotOverview : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    static void shoot(MDIForm1* main, const QString& name)
    {
        main->menuEntry("mnuOverview")->trigger();
        auto* w = qobject_cast<frmOverview*>(qv::Windows::find("frmOverview"));
        auto* period = w->findChild<QComboBox*>("cboPeriod");
        period->setCurrentIndex(period->findData(2025));
        QTest::qWait(600);
        main->grab().save(QStringLiteral(QVT_SHOTS "/") + name);
        // QV_SHOT_PDF=FILE: the one-page PDF as well, to look at.
        if (const QString pdf = qEnvironmentVariable("QV_SHOT_PDF"); !pdf.isEmpty())
            w->exportPdf(pdf);
    }

private slots:
    void shots()
    {
        qvt::initTestEnvironment();
        SetProgramFolder(QVT_TEMPLATES_DIR);
        const QString book = qEnvironmentVariable("QV_SHOT_BOOK");
        if (book.isEmpty()) {
            app.start(true);
            Conn.execute("update Accounts set AcName = ? where AcNodes = '1.2.1'",
                         {QString::fromUtf8("عبدالرحمن خان")});
            app.main()->resize(1280, 800);
            shoot(app.main(), "overview-demo.png");
            app.stop();
            return;
        }
        Conn.setProperty("Data Source", book);
        Conn.setProperty("Initial Catalog", "Fendral");
        Conn.setProperty("User ID", "bench");
        Conn.setProperty("Password", "bench");
        Conn.open();
        LoginUser = "bench";
        LoginPassword = "bench";
        auto* main = new MDIForm1();
        main->resize(1280, 800);
        main->show();
        shoot(main, "overview-1m.png");
        main->close();
        Conn.close();
    }
};
QTEST_MAIN(ShotOverview)
#include "shot_overview.moc"
