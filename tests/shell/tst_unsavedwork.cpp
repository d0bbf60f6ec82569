// Changes typed into a master or setup window and not saved: closing the window (its frame,
// "E&xit", the main window's Exit), "&Cancel" or loading another record asks first, No is the
// default answer and keeps everything; a window without changes closes without a question.
#include "masters/frmaccount.h"
#include "shell/frmlogin.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

class TstUnsavedWork : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    // The window, with a record loaded where it has one.
    qv::MdiChild* openLoaded(const QString& name)
    {
        qv::MdiChild* w = qv::Windows::open(name);
        QApplication::setActiveWindow(app.main());
        if (auto* chart = qobject_cast<frmAccount*>(w))
            chart->EditAC(Conn.scalar("select RowID from Accounts where AcNodes = '1.1.1'").toLongLong());
        return w;
    }
    static bool loginShown()
    {
        for (QWidget* t : QApplication::topLevelWidgets())
            if (qobject_cast<frmLogin*>(t) && t->isVisible())
                return true;
        return false;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { app.start(true); }
    void cleanup() { app.stop(); }

    void changesAreKeptUnlessDropped_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("cancel"); // the button that clears the entry, if any
        QTest::newRow("chart of accounts") << "frmAccount"
                                           << "txt_address"
                                           << "cmdCancel";
        QTest::newRow("company") << "frmCompany"
                                 << "txtCompany"
                                 << "cmdCancel";
        QTest::newRow("voucher setup") << "frmAcSetting"
                                       << "txtJV" << QString();
        QTest::newRow("catagory") << "frmCatagory"
                                  << "txtCatagory"
                                  << "cmdCancel";
        QTest::newRow("application") << "frmApplication"
                                     << "txtName"
                                     << "cmdCancel";
    }
    void changesAreKeptUnlessDropped()
    {
        QFETCH(QString, window);
        QFETCH(QString, box);
        QFETCH(QString, cancel);
        qvt::MsgRecorder rec;
        // Nothing changed: no question.
        openLoaded(window)->subWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.last()));
        QVERIFY(!qv::Windows::find(window));

        QPointer<qv::MdiChild> w = openLoaded(window);
        auto* edit = qvt::child<QLineEdit>(w, qPrintable(box));
        edit->setFocus();
        QTest::keyClicks(edit, "77");
        const QString typed = edit->text();
        QPointer<MDIForm1> frame(app.main());
        auto tries = QList<std::function<void()>>{
            [&] { w->subWindow()->close(); },
            [&] { QTest::mouseClick(qvt::child<QPushButton>(w, "cmdExit"), Qt::LeftButton); },
            [&] { app.main()->menuEntry("mnuExit")->trigger(); },
        };
        if (!cancel.isEmpty())
            tries << [&] { QTest::mouseClick(qvt::child<QPushButton>(w, qPrintable(cancel)), Qt::LeftButton); };
        for (const auto& attempt : tries) {
            rec.clear();
            rec.answers = {QMessageBox::No};
            attempt();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCOMPARE(rec.seen.size(), 1);
            QCOMPARE(rec.seen.first().defaultButton, QMessageBox::No);
            QVERIFY(w && frame && !loginShown());
            QCOMPARE(edit->text(), typed);
        }
        rec.clear(); // Yes drops the changes
        w->subWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY(!w);
    }

    // In the chart, moving to another account over unsaved changes asks once; No keeps them.
    void chartKeepsChangesOverAnotherNode()
    {
        auto* chart = static_cast<frmAccount*>(openLoaded("frmAccount"));
        auto* address = qvt::child<QLineEdit>(chart, "txt_address");
        address->setFocus();
        QTest::keyClicks(address, "77");
        const QString typed = address->text();
        qvt::MsgRecorder rec;
        rec.answers = {QMessageBox::No};
        QTreeWidgetItem* other = chart->nodeByKey("'1.1.2'");
        QVERIFY(other);
        auto* tree = qvt::child<QTreeWidget>(chart, "lstTree");
        tree->setCurrentItem(other);
        const QRect r = tree->visualItemRect(other);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(address->text(), typed);
        QCOMPARE(qvt::child<QLineEdit>(chart, "txtSubsidiary")->text(), QString("CASH IN HAND"));
    }
};

QTEST_MAIN(TstUnsavedWork)
#include "tst_unsavedwork.moc"
