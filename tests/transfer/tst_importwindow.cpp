// The "Import" window behind the lock password: the preview lists the plan and writes nothing,
// "Import" brings the file in with its progress bar full; a refused file shows why, keeps the
// window usable and leaves "Import" off.
#include "reports/journalexport.h"
#include "shell/adminhelpers.h"
#include "shell/mdl_connection.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

using qvt::child;

class TstImportWindow : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    QTemporaryDir tmp;

    QString demoJournal(int* vouchers)
    {
        const qvt::TestDb src = qvt::TestDb::create(true);
        qv::Connection c;
        src.connect(c);
        *vouchers = c.scalar("select count(*) from MasJV").toInt();
        QFile f(tmp.filePath("demo.journal"));
        f.open(QIODevice::WriteOnly);
        qv::rpt::exportJournal(c, {}, f);
        c.close();
        src.drop();
        return f.fileName();
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        QVERIFY(tmp.isValid());
    }
    void init() { app.start(false); }
    void cleanup() { app.stop(); }

    void previewThenImport()
    {
        int vouchers = 0;
        const QString file = demoJournal(&vouchers);
        qvt::openThroughGate(app.main(), "mnuImport", app.db().lockPassword);
        QWidget* w = qvt::findWindow(app.main(), "frmImport");
        QVERIFY(w);
        auto* list = child<QListWidget>(w, "lstPreview");
        auto* import = child<QPushButton>(w, "cmdImport");
        QVERIFY(!import->isEnabled());
        child<QLineEdit>(w, "txtFile")->setText(file);
        QTest::mouseClick(child<QPushButton>(w, "cmdPreview"), Qt::LeftButton);
        QVERIFY(import->isEnabled());
        QVERIFY(!list->findItems(QString("Vouchers: %1 (").arg(vouchers), Qt::MatchStartsWith).isEmpty());
        QVERIFY(!list->findItems("new  DD 1.1.1", Qt::MatchContains).isEmpty());
        QCOMPARE(Conn.scalar("select count(*) from MasJV").toInt(), 0);

        qvt::MsgRecorder rec;
        QTest::mouseClick(import, Qt::LeftButton);
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.last()));
        QCOMPARE(Conn.scalar("select count(*) from MasJV").toInt(), vouchers);
        auto* bar = child<QProgressBar>(w, "prgImport");
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(!import->isEnabled()); // a second click would bring it in twice

        // The same file again is refused with its line; the book keeps one copy.
        QTest::mouseClick(child<QPushButton>(w, "cmdPreview"), Qt::LeftButton);
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY2(rec.last().contains("Line ") && rec.last().contains("already"), qPrintable(rec.last()));
        QVERIFY(!import->isEnabled());
        QCOMPARE(list->count(), 0);
        QCOMPARE(Conn.scalar("select count(*) from MasJV").toInt(), vouchers);
    }
};

QTEST_MAIN(TstImportWindow)
#include "tst_importwindow.moc"
