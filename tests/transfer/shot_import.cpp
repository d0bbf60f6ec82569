// The README's screenshot of the "Import" window's preview (run by hand under Xvfb, not part of
// ctest): the demo book's journal about to be brought into an empty book.
#include "reports/journalexport.h"
#include "shell/adminhelpers.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

class ShotImport : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
private slots:
    void shot()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        QTemporaryDir tmp;
        const qvt::TestDb src = qvt::TestDb::create(true);
        qv::Connection c;
        src.connect(c);
        QFile f(tmp.filePath("fendral-2026.journal"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        qv::rpt::exportJournal(c, {}, f);
        f.close();
        c.close();
        src.drop();
        app.start(false);
        app.main()->resize(1100, 760);
        app.main()->show();
        qvt::openThroughGate(app.main(), "mnuImport", app.db().lockPassword);
        QWidget* w = qvt::findWindow(app.main(), "frmImport");
        QVERIFY(w);
        qvt::child<QLineEdit>(w, "txtFile")->setText(f.fileName());
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdPreview"), Qt::LeftButton);
        QTest::qWait(300);
        app.main()->grab().save(QStringLiteral(QVT_SHOTS "/import-preview.png"));
    }
};

QTEST_MAIN(ShotImport)
#include "shot_import.moc"
