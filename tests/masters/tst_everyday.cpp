// Everyday use of the master windows, driven from the keyboard as an accountant works: the traps
// that gave a wrong result (a stale bank mark, a node highlighted but not loaded, a finder left
// behind, letter case of non-ASCII titles, a stray Enter on a deletion question), the keyboard
// paths (popup, Enter on grids, tab switching, first focus, Enter on a button) and what the
// status bar says after a save or a delete.
#include "masters/frmaccount.h"
#include "masters/frmcompany.h"
#include "masters/frmfindac.h"
#include "masters/finderpick.h"
#include "shell/homepicture.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>

class TstEveryday : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    MDIForm1* m() { return app.main(); }
    frmAccount* chart()
    {
        m()->menuEntry("mnuChartOfAC")->trigger();
        return qv::Windows::find<frmAccount>("frmAccount");
    }
    template <class T = QLineEdit> T* get(QWidget* w, const char* name) { return qvt::child<T>(w, name); }
    QTreeWidget* tree(QWidget* w) { return get<QTreeWidget>(w, "lstTree"); }
    qint64 rowIdOf(const QString& code)
    {
        return Conn.scalar("select RowID from Accounts where AcNodes = ?", {code}).toLongLong();
    }
    QString loaded(QWidget* w) { return get(w, "txtFindParent")->text(); }
    QString tagOf(QTreeWidgetItem* item) { return item ? item->data(0, Qt::UserRole).toString() : QString(); }
    void clickNode(frmAccount* w, const QString& key)
    {
        QTreeWidgetItem* item = w->nodeByKey(key);
        QVERIFY2(item, qPrintable(key));
        tree(w)->scrollToItem(item);
        QTest::mouseClick(tree(w)->viewport(), Qt::LeftButton, {}, tree(w)->visualItemRect(item).center());
    }
    QString status() { return m()->statusBar()->currentMessage(); }
    // Types any text, one key per character (keyClicks takes Latin-1 letters only).
    static void typeText(QWidget* w, const QString& text)
    {
        for (const QChar ch : text) {
            QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
    }
    // Opens the popup from the keyboard and answers it with "Edit"; whether it showed.
    bool popupFromKeys(QWidget* target, int key, Qt::KeyboardModifiers mods)
    {
        bool seen = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll.stop();
            seen = menu->objectName() == "mnuPop";
            menu->setActiveAction(menu->actions().first());
            QTest::keyClick(menu, Qt::Key_Return);
        });
        poll.start();
        QTest::keyClick(target, Qt::Key(key), mods);
        QCoreApplication::processEvents();
        return seen;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        app.start(true);
        QApplication::setActiveWindow(m());
    }
    void cleanup() { app.stop(); }

    // ---- traps -------------------------------------------------------------------------

    void newStartsTheSubsidiaryPanelClean()
    {
        qvt::MsgRecorder rec;
        frmAccount* w = chart();
        clickNode(w, "'1.1.2'"); // a bank account: "Bank Account" ticked
        QVERIFY(get<QCheckBox>(w, "chkBank")->isChecked());
        clickNode(w, "'1.1'");
        QTest::mouseClick(get<QPushButton>(w, "cmdCreateAc"), Qt::LeftButton);
        QVERIFY(!get<QCheckBox>(w, "chkBank")->isChecked());
        QVERIFY(!get<QCheckBox>(w, "chkSupplier")->isChecked());
        QTest::keyClicks(get(w, "txtSubsidiary"), "petty cash two");
        QTest::mouseClick(get<QPushButton>(w, "cmdCreateAc"), Qt::LeftButton);
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.texts().join('|')));
        QVERIFY(Conn.scalar("select BStatus from Accounts where AcName = 'PETTY CASH TWO'").isNull());
        // The same after a supplier.
        Conn.execute("update Accounts set BStatus = 'S' where AcName = 'PETTY CASH TWO'");
        w->FillTreeData();
        const QString code = Conn.scalar("select AcNodes from Accounts where AcName = 'PETTY CASH TWO'").toString();
        clickNode(w, "'" + code + "'");
        QVERIFY(get<QCheckBox>(w, "chkSupplier")->isChecked());
        clickNode(w, "'1.1'");
        QTest::mouseClick(get<QPushButton>(w, "cmdCreateAc"), Qt::LeftButton);
        QVERIFY(!get<QCheckBox>(w, "chkSupplier")->isChecked());
    }

    void keyboardSelectionLoadsTheNode()
    {
        qvt::MsgRecorder rec;
        frmAccount* w = chart();
        QTreeWidget* t = tree(w);
        clickNode(w, "'1'");
        QCOMPARE(loaded(w), QString::number(rowIdOf("1")));
        t->setFocus();
        QTest::keyClick(t, Qt::Key_End);
        QCOMPARE(loaded(w), tagOf(t->currentItem()));
        QTest::keyClick(t, Qt::Key_Home);
        QCOMPARE(loaded(w), QString::number(rowIdOf("1")));
        // Typing a title's first letter goes to it and loads it.
        QTest::keyClicks(t, "l");
        QCOMPARE(t->currentItem()->text(0), QString("LIABILITIES"));
        QCOMPARE(loaded(w), tagOf(t->currentItem()));
        // Ctrl+Down moves without selecting; Space then selects: the node shown is loaded.
        QTest::keyClick(t, Qt::Key_Down, Qt::ControlModifier);
        QTest::keyClick(t, Qt::Key_Space);
        QCOMPARE(loaded(w), tagOf(t->currentItem()));
        // A node made current in any other way is loaded too.
        t->setCurrentItem(w->nodeByKey("'1.1'"));
        QCOMPARE(loaded(w), QString::number(rowIdOf("1.1")));
        // "&New" then adds under the node in view.
        QTest::mouseClick(get<QPushButton>(w, "cmdCreateAc"), Qt::LeftButton);
        QTest::keyClicks(get(w, "txtSubsidiary"), "KEYED IN");
        QTest::mouseClick(get<QPushButton>(w, "cmdCreateAc"), Qt::LeftButton);
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.texts().join('|')));
        QCOMPARE(Conn.scalar("select ParentID from Accounts where AcName = 'KEYED IN'").toString().trimmed(),
                 QString("1.1"));
    }

    void finderComesBackAfterAddAccounts()
    {
        qvt::MsgRecorder rec;
        m()->menuEntry("mnuVocSetting")->trigger(); // a caller under the finder
        QVERIFY(qv::Windows::find("frmAcSetting"));
        FindACType.clear();
        qv::showFinder(true);
        auto* f = qv::Windows::find<frmFindAC>("frmFindAC");
        QVERIFY(f);
        QTest::mouseClick(f->findChild<QPushButton*>("cmdAccounts"), Qt::LeftButton);
        QWidget* lock = qv::Windows::find("frmLocPass");
        QVERIFY(lock);
        QTest::keyClicks(get(lock, "txtPassword"), app.db().lockPassword);
        QTest::keyClick(get(lock, "txtPassword"), Qt::Key_Return);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        auto* w = qv::Windows::find<frmAccount>("frmAccount");
        QVERIFY(w);
        clickNode(w, "'1.1'");
        QTest::mouseClick(get<QPushButton>(w, "cmdCreateAc"), Qt::LeftButton);
        QTest::keyClicks(get(w, "txtSubsidiary"), "NEW FROM FINDER");
        QTest::mouseClick(get<QPushButton>(w, "cmdCreateAc"), Qt::LeftButton);
        QTest::mouseClick(get<QPushButton>(w, "cmdExit"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(m()->mdiArea()->activeSubWindow(), f->subWindow());
        // Nothing visible lies over it, and its list already holds the new account.
        for (QMdiSubWindow* sw : m()->mdiArea()->subWindowList(QMdiArea::StackingOrder))
            if (sw == f->subWindow())
                QVERIFY(sw == m()->mdiArea()->subWindowList(QMdiArea::StackingOrder).last());
        const QStringList names = qvt::columnTexts(f->findChild<QTableView*>("mshSearch"), 2);
        QVERIFY(names.contains("NEW FROM FINDER"));
        // Closing the chart instead of hiding it brings the finder back too.
        OpenedForCaller = false;
        m()->mdiArea()->setActiveSubWindow(w->subWindow());
        w->unload();
        QCoreApplication::processEvents();
        QCOMPARE(m()->mdiArea()->activeSubWindow(), f->subWindow());
    }

    void searchIgnoresCaseOfEveryLetter()
    {
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                     "values ('1.1.40', 'O''NEIL CAFÉ MÜLLER', 'DD', '1.1', 40)");
        Conn.execute("insert into Company (Company) values ('ÇAĞRI ÖZTÜRK TİCARET')");
        // The chart's search tab.
        frmAccount* w = chart();
        QLineEdit* find = get(w, "txtFindAC");
        auto hits = [](const QAbstractItemModel* model) {
            QStringList out;
            for (int r = 0; r < model->rowCount(); ++r)
                out << model->index(r, 2).data().toString();
            return out;
        };
        for (const QString& typed : {QString("müller"), QString("café"), QString("CAFÉ"), QString("o'neil café m")}) {
            find->clear();
            typeText(find, typed);
            QCOMPARE(hits(get<QTableView>(w, "mshSearch")->model()), QStringList{"O'NEIL CAFÉ MÜLLER"});
        }
        // The finder.
        FindACType.clear();
        qv::showFinder(true);
        auto* f = qv::Windows::find<frmFindAC>("frmFindAC");
        typeText(get(f, "txtFindAC"), "müll");
        QCOMPARE(hits(f->findChild<QTableView*>("mshSearch")->model()), QStringList{"O'NEIL CAFÉ MÜLLER"});
        // The company search.
        m()->menuEntry("mnuCompany")->trigger();
        QWidget* c = qv::Windows::find("frmCompany");
        typeText(get(c, "txtSearch"), "öztürk");
        auto* msh = get<QTableWidget>(c, "Msh");
        QCOMPARE(msh->rowCount(), 1);
        QCOMPARE(msh->item(0, 1)->text(), QString("ÇAĞRI ÖZTÜRK TİCARET"));
    }

    void destructiveQuestionsDefaultToNo()
    {
        frmAccount* w = chart();
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) "
                     "values ('1.1.41', 'UNUSED', 'DD', '1.1', 41)");
        w->FillTreeData();
        clickNode(w, "'1.1.41'");
        {
            qvt::EnterOnBoxes enter;
            QTest::mouseClick(get<QPushButton>(w, "Command3"), Qt::LeftButton);
            QCOMPARE(enter.texts, QStringList{"are you sure delete this account"});
            QCOMPARE(enter.pressed, QStringList{"No"});
        }
        QCOMPARE(Conn.scalar("select count(*) from Accounts where AcNodes = '1.1.41'").toInt(), 1);

        m()->menuEntry("mnuCompany")->trigger();
        auto* c = qv::Windows::find<frmCompany>("frmCompany");
        const int before = Conn.scalar("select count(*) from Company").toInt();
        QVERIFY(before > 0);
        get<QTabWidget>(c, "SSTab")->setCurrentIndex(1);
        auto* msh = get<QTableWidget>(c, "Msh");
        msh->setFocus();
        msh->setCurrentCell(0, 1);
        QTest::keyClick(msh, Qt::Key_Return); // Enter picks the row, as a double click
        QVERIFY(!get(c, "txtCompCode")->text().isEmpty());
        {
            qvt::EnterOnBoxes enter;
            QTest::mouseClick(get<QPushButton>(c, "cmdDelete"), Qt::LeftButton);
            QCOMPARE(enter.texts, QStringList{"are you sure delete this Company"});
            QCOMPARE(enter.pressed, QStringList{"No"});
        }
        QCOMPARE(Conn.scalar("select count(*) from Company").toInt(), before);
    }

    // ---- keyboard ----------------------------------------------------------------------

    void popupFromTheKeyboard()
    {
        qvt::MsgRecorder rec;
        frmAccount* w = chart();
        QTreeWidget* t = tree(w);
        clickNode(w, "'1'");
        t->setFocus();
        QVERIFY(popupFromKeys(t, Qt::Key_F10, Qt::ShiftModifier));
        QCoreApplication::processEvents();
        // "Edit" on a control account opens its title.
        QVERIFY(get(w, "txtAcDes")->isEnabled());
        QCOMPARE(get<QPushButton>(w, "cmdCreateAc")->text(), QString("&Save"));
        QTest::mouseClick(get<QPushButton>(w, "cmdCancel"), Qt::LeftButton);
        clickNode(w, "'1.1'");
        t->setFocus();
        QVERIFY(popupFromKeys(t, Qt::Key_Menu, Qt::NoModifier));
        QVERIFY(get(w, "txtSubControl")->isEnabled());
        // A subsidiary account has no popup.
        QTest::mouseClick(get<QPushButton>(w, "cmdCancel"), Qt::LeftButton);
        clickNode(w, "'1.1.2'");
        t->setFocus();
        QTimer::singleShot(300, [] {
            if (auto* menu = QApplication::activePopupWidget())
                menu->close();
        });
        QVERIFY(!popupFromKeys(t, Qt::Key_Menu, Qt::NoModifier));
    }

    void enterOnAGridRowActsAsADoubleClick()
    {
        frmAccount* w = chart();
        auto* tabs = get<QTabWidget>(w, "SSTab");
        tabs->setCurrentIndex(1);
        QTest::keyClicks(get(w, "txtFindAC"), "HABIB");
        auto* grid = get<QTableView>(w, "mshSearch");
        QCOMPARE(grid->model()->rowCount(), 1);
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 2));
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(loaded(w), QString::number(rowIdOf("1.1.2")));

        // The finder's grid picks with Enter and hands the account back.
        FindACType.clear();
        qv::showFinder(true);
        auto* f = qv::Windows::find<frmFindAC>("frmFindAC");
        QTest::keyClicks(get(f, "txtFindAC"), "HABIB");
        QTest::keyClick(get(f, "txtFindAC"), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(FindACRowID.toLongLong(), rowIdOf("1.1.2"));
        FindACRowID.clear();
        FindACName.clear();
    }

    void ctrlPageKeysSwitchTabs()
    {
        frmAccount* w = chart();
        auto* tabs = get<QTabWidget>(w, "SSTab");
        QTest::keyClick(tree(w), Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(tabs->currentIndex(), 1);
        QTest::keyClick(get(w, "txtFindAC"), Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(tabs->currentIndex(), 0);
        m()->menuEntry("mnuCompany")->trigger();
        QWidget* c = qv::Windows::find("frmCompany");
        auto* ctabs = get<QTabWidget>(c, "SSTab");
        QTest::keyClick(get(c, "txtCompany"), Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(ctabs->currentIndex(), 1);
        QTest::keyClick(get(c, "txtSearch"), Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(ctabs->currentIndex(), 0);
    }

    void firstFocusIsWhereTypingStarts()
    {
        const struct {
            const char* entry;
            const char* window;
            const char* box;
        } cases[] = {
            {"mnuChartOfAC", "frmAccount", "lstTree"},
            {"mnuCompany", "frmCompany", "txtCompany"},
        };
        for (const auto& c : cases) {
            m()->menuEntry(c.entry)->trigger();
            QWidget* w = qv::Windows::find(c.window);
            QVERIFY(w);
            QCOMPARE(w->focusWidget() ? w->focusWidget()->objectName() : QString(), QString(c.box));
        }
    }

    void enterPressesAFocusedButton()
    {
        frmAccount* w = chart();
        clickNode(w, "'1.1'");
        auto* save = get<QPushButton>(w, "cmdCreateAc");
        save->setFocus();
        QTest::keyClick(save, Qt::Key_Return);
        QCOMPARE(save->text(), QString("&Save")); // "&New" was pressed
        auto* cancel = get<QPushButton>(w, "cmdCancel");
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Enter);
        QCOMPARE(save->text(), QString("&New"));
    }

    // ---- feedback ----------------------------------------------------------------------

    void statusBarSaysWhatHappened()
    {
        qvt::MsgRecorder rec;
        frmAccount* w = chart();
        clickNode(w, "'1.1'");
        QTest::mouseClick(get<QPushButton>(w, "cmdCreateAc"), Qt::LeftButton);
        QTest::keyClicks(get(w, "txtSubsidiary"), "cash in hand two");
        QTest::mouseClick(get<QPushButton>(w, "cmdCreateAc"), Qt::LeftButton);
        const QString code = Conn.scalar("select AcNodes from Accounts where AcName = 'CASH IN HAND TWO'").toString();
        QCOMPARE(status(), QString("Account %1 CASH IN HAND TWO saved").arg(code));
        // The saved account is the one selected and shown.
        QCOMPARE(tree(w)->currentItem(), w->nodeByKey("'" + code + "'"));
        QCOMPARE(loaded(w), QString::number(rowIdOf(code)));
        QCOMPARE(get(w, "txtSubsidiary")->text(), QString("CASH IN HAND TWO"));
        QTest::mouseClick(get<QPushButton>(w, "Command3"), Qt::LeftButton);
        QCOMPARE(status(), QString("Account %1 CASH IN HAND TWO deleted").arg(code));
        QCOMPARE(rec.texts(), QStringList{"are you sure delete this account"});
        rec.clear();

        m()->menuEntry("mnuCompany")->trigger();
        QWidget* c = qv::Windows::find("frmCompany");
        QCOMPARE(status(), QString("New company: type its details, or pick one in Search to change it"));
        QTest::keyClicks(get(c, "txtCompany"), "acme traders");
        QTest::mouseClick(get<QPushButton>(c, "cmdNew"), Qt::LeftButton);
        QCOMPARE(status(), QString("Company ACME TRADERS saved"));
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.texts().join('|')));
    }

    void gridsIconsAndHeaders()
    {
        frmAccount* w = chart();
        // Every window carries the program's icon, not the toolkit's.
        const QImage own = qv::programIcon().pixmap(16).toImage();
        QCOMPARE(w->subWindow()->windowIcon().pixmap(16).toImage(), own);
        QCOMPARE(m()->windowIcon().pixmap(16).toImage(), own);
        // A refill brings the search grid back to its first column.
        auto* tabs = get<QTabWidget>(w, "SSTab");
        tabs->setCurrentIndex(1);
        auto* grid = get<QTableView>(w, "mshSearch");
        grid->resize(200, 200);
        grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
        QVERIFY(grid->horizontalScrollBar()->value() > 0);
        QTest::keyClicks(get(w, "txtFindAC"), "a");
        QCOMPARE(grid->horizontalScrollBar()->value(), 0);
        // The finder's captions read whole.
        FindACType.clear();
        qv::showFinder(true);
        auto* f = qv::Windows::find<frmFindAC>("frmFindAC");
        auto* fg = f->findChild<QTableView*>("mshSearch");
        for (int c = 1; c <= 4; ++c)
            QVERIFY2(fg->columnWidth(c) >= fg->horizontalHeader()->sectionSizeHint(c), qPrintable(QString::number(c)));
    }

    void pasteKeepsTheAcceptedCharacters()
    {
        frmAccount* w = chart();
        clickNode(w, "'1.1.2'");
        QLineEdit* bal = get(w, "txt_OpenBal");
        bal->clear();
        bal->setFocus();
        bal->insert("1,234.56"); // what a paste does; the commas stand between thousands
        QCOMPARE(bal->text(), QString("1,234.56"));
        bal->clear();
        bal->insert("-12 345");
        QCOMPARE(bal->text(), QString("-12345"));
    }
};

QTEST_MAIN(TstEveryday)
#include "tst_everyday.moc"
