// The chart-of-accounts window's ways out and what it survives: the tree opened or closed by
// the user, database errors, exit, the chart opened for the finder through the lock, the print.
#include "accountwindowsuite.h"

class TstAccountWindowExits : public qvt::AccountWindowSuite {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { openChart(true); }
    void cleanup() { closeChart(); }

    void expandOrCollapseByTheUser()
    {
        clickNode("'1.1.2'");
        QTreeWidgetItem* liab = node("'2'");
        QVERIFY(!liab->isExpanded());
        const QRect r = tree()->visualItemRect(liab);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {},
                          QPoint(r.left() - tree()->indentation() / 2, r.center().y()));
        QVERIFY(liab->isExpanded());
        // The selected node is loaded again, with every box closed and the panel hidden.
        QCOMPARE(mode(), QString("&New AcDes- Order- Sub- Head- Entry."));
        QCOMPARE(get("txtFindParent")->text(), QString::number(rowIdOf("1.1.2")));
        QCOMPARE(get("txtSubsidiary")->text(), QString("HABIB BANK LTD - 0123-7"));
    }

    void databaseErrorsLeaveEverythingAsItWas()
    {
        qvt::MsgRecorder rec;
        addSpare();
        clickNode("'1.1'");
        click(button("cmdCreateAc"));
        QTest::keyClicks(get("txtSubsidiary"), "new bank");
        const qint64 before = count();
        Conn.setStatementHook([](const QString& sql) {
            if (sql.startsWith("insert into Accounts", Qt::CaseInsensitive)
                || sql.startsWith("delete from Accounts", Qt::CaseInsensitive))
                throw qv::DbError("could not write: disk full");
        });
        click(button("cmdCreateAc"));
        QCOMPARE(rec.texts(), QStringList({"could not write: disk full"}));
        QVERIFY(rec.seen.first().icon == qv::Msg::Icon::Critical);
        QCOMPARE(count(), before);
        QVERIFY(!node("'1.1.10'"));
        QCOMPARE(caption() + "|" + get("txtSubsidiary")->text(), QString("&Save|NEW BANK"));

        clickNode("'1.1.9'");
        click(button("Command3"));
        QCOMPARE(rec.last(), QString("could not write: disk full"));
        QVERIFY(node("'1.1.9'") && count("AcNodes = '1.1.9'") == 1);

        // Once the database answers again, the same entry saves.
        Conn.setStatementHook({});
        clickNode("'1.1'");
        click(button("cmdCreateAc"));
        QTest::keyClicks(get("txtSubsidiary"), "new bank");
        click(button("cmdCreateAc"));
        QCOMPARE(cols("1.1.10", {"AcName"}), QString("NEW BANK"));
        QVERIFY(node("'1.1.10'"));
    }

    void exitClosesAndAppliesTheRights()
    {
        QPointer<frmAccount> first(win);
        click(button("cmdExit"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        QVERIFY(app.main()->homePanelVisible()); // closing ran ApplyMenus

        // Closed by the frame's own button, it applies the menu rights as well.
        app.main()->menuEntry("mnuChartOfAC")->trigger();
        win = qv::Windows::find<frmAccount>("frmAccount");
        Conn.execute("update Menus set Active = 0 where Menus = 'Chart Of Accounts'");
        win->subWindow()->close();
        QVERIFY(app.main()->homePanelVisible());
        QVERIFY(!app.main()->menuEntry("mnuChartOfAC")->isVisible());
    }

    void openedFromTheFinderThroughTheLock()
    {
        win->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(qv::Windows::open("frmFindAC"));
        auto* finder = qvt::findWindow(app.main(), "frmFindAC");
        QVERIFY(finder);
        click(finder->findChild<QPushButton*>("cmdAccounts"));
        auto* gate = qvt::findWindow(app.main(), "frmLocPass");
        QVERIFY(gate);
        auto* password = gate->findChild<QLineEdit*>("txtPassword");
        QTest::keyClicks(password, app.db().lockPassword);
        QTest::keyClick(password, Qt::Key_Return);

        // Maximised, active, and usable at that size.
        win = qv::Windows::find<frmAccount>("frmAccount");
        QVERIFY(win);
        QMdiSubWindow* sw = win->subWindow();
        QVERIFY(sw->isMaximized());
        QCOMPARE(app.main()->mdiArea()->activeSubWindow(), sw);
        QVERIFY(tree()->width() > 300 && tree()->height() > 400);
        clickNode("'1.1'");
        click(button("cmdCreateAc"));
        QTest::keyClicks(get("txtSubsidiary"), "opened from the finder");
        click(button("cmdCreateAc"));
        QCOMPARE(cols("1.1.4", {"AcName"}), QString("OPENED FROM THE FINDER"));

        // "E&xit" only hides it: the finder is still in charge; the next opening shows it again.
        click(button("cmdExit"));
        QVERIFY(!sw->isVisible());
        QCOMPARE(qv::Windows::find<frmAccount>("frmAccount"), win);
        // The finder, activated again, lists the account just added.
        QMdiSubWindow* finderWindow =
            finder->parentWidget() ? qobject_cast<QMdiSubWindow*>(finder->parentWidget()) : nullptr;
        QVERIFY(finderWindow);
        app.main()->mdiArea()->setActiveSubWindow(finderWindow);
        auto* found = finder->findChild<QTableView*>("mshSearch");
        QVERIFY(qvt::columnTexts(found, 2).contains("OPENED FROM THE FINDER"));
        QVERIFY(qv::Windows::open("frmAccount"));
        QVERIFY(sw->isVisible());
    }

    void printShowsTheWholeChart()
    {
        clickNode("'1'");
        click(button("cmdPrint"));
        auto* viewer = qvt::findWindow<frmVeiwer>(app.main(), "frmVeiwer");
        QVERIFY(viewer);
        QCOMPARE(viewer->windowTitle(), QString("CHART OF ACCOUNTS"));
        // No selection formula: every account of the table is printed, in code order.
        QVERIFY(qvt::child<qv::ReportViewer>(viewer, "CRViewer91")->reportSource()->RecordSelectionFormula().isEmpty());
        const QString text = qvt::child<qv::ReportViewer>(viewer, "CRViewer91")->document()->allText();
        qv::RecordSet Rs;
        Rs.open("select AcNodes, AcName from Accounts", Conn);
        QVERIFY(Rs.recordCount() > 0);
        for (Rs.moveFirst(); !Rs.eof(); Rs.moveNext()) {
            QVERIFY2(text.contains(Rs.text("AcName")), qPrintable(Rs.text("AcName")));
            QVERIFY(text.contains(Rs.text("AcNodes")));
        }
        QVERIFY(text.contains("Page 1 of"));
    }
};

QTEST_MAIN(TstAccountWindowExits)
#include "tst_accountwindowexits.moc"
