// The lock gate (frmLocPass): the password compared exactly, the two messages, the window
// opened behind it by the caller's flag, "&Cancel" for the main window and for a caller.
#include "shell/windows.h"
#include "adminhelpers.h"
#include "db/logins.h"
#include "db/provision.h"
#include "shell/frmlogin.h"
#include "shell/mdichild.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {
// Stands for the chart of accounts, which another subsystem registers under "frmAccount".
class FakeAccounts : public qv::MdiChild {
    Q_OBJECT
public:
    FakeAccounts() { setObjectName("frmAccount"); }
};
int g_accountOpens = 0;
} // namespace

class TstLock : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    MDIForm1* m() const { return app.main(); }
    QLineEdit* box() const { return qvt::gate(m())->findChild<QLineEdit*>("txtPassword"); }
    // The rows as the administrator writes them (a server login may not).
    void setLockPasswords(const QStringList& list)
    {
        qv::Connection admin;
        app.db().connectAdmin(admin);
        admin.execute("delete from LctPswd");
        for (const QString& p : list)
            admin.execute("insert into LctPswd (Pswd) values (?)",
                          {qv::Logins::hashPassword(p, qv::Logins::HashCost::Minimal)});
    }
    // Shows the gate as the account finder does, with the flags as given.
    void showGate(bool accounts, bool menus)
    {
        OpenAccountsAfterLock = accounts;
        OpenMenusAfterLock = menus;
        QVERIFY(qv::Windows::open("frmLocPass"));
        QVERIFY(qvt::gate(m()));
    }
    // The password is refused with `message`; the gate stays, emptied, with the focus.
    void expectRefused(const QString& typed, const QString& message)
    {
        qvt::MsgRecorder rec;
        qvt::typeAtGate(m(), typed);
        QCOMPARE(rec.texts(), QStringList{message});
        QCOMPARE(rec.seen[0].title, QString("Quoravel"));
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Information);
        QVERIFY(qvt::gate(m()) && qvt::gate(m())->isVisible());
        QVERIFY(box()->text().isEmpty());
        QVERIFY(box()->hasFocus());
        QVERIFY(!qvt::isLoaded(m(), "frmSecMenus"));
    }

    qv::Windows::Definition m_realAccounts;

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        app.start();
        // After the frame has wired the program's openers, so that this one stands in for the real window.
        m_realAccounts = qv::Windows::definition("frmAccount");
        qv::Windows::define("frmAccount", {[] { return new FakeAccounts(); }, std::nullopt, false,
                                           [](qv::MdiChild*, bool) { ++g_accountOpens; }});
        QApplication::setActiveWindow(m());
        g_accountOpens = 0;
    }
    void cleanup()
    {
        qv::Windows::define("frmAccount", m_realAccounts);
        app.stop();
    }

    void setMenusEndToEnd()
    {
        m()->menuEntry("mnuSetMenu")->trigger();
        QVERIFY(OpenMenusAfterLock);
        QVERIFY(!m()->homePanelVisible());
        QWidget* g = qvt::gate(m());
        QVERIFY(g);
        QCOMPARE(g->windowTitle(), QString("Password:-"));
        QVERIFY(qvt::placedAt(g, 5000, 3000));
        QCOMPARE(box()->echoMode(), QLineEdit::Password);
        QVERIFY(box()->hasFocus());
        QCOMPARE(g->findChild<QPushButton*>("cmdOK")->text(), QString("&Ok"));
        QCOMPARE(g->findChild<QPushButton*>("cmdCancel")->text(), QString("&Cancel"));
        qvt::MsgRecorder rec;
        qvt::typeAtGate(m(), app.db().lockPassword);
        QVERIFY(rec.seen.isEmpty());
        QVERIFY(!qvt::gate(m())); // closed and released
        QWidget* sheet = qvt::findWindow(m(), "frmSecMenus");
        QVERIFY(sheet && sheet->isVisible());
        QVERIFY(qvt::placedAt(sheet, 1000, 1500));
        QVERIFY(OpenMenusAfterLock); // the gate changes no flag
        QVERIFY(!OpenAccountsAfterLock);
        QCOMPARE(g_accountOpens, 0);
    }

    void refusals()
    {
        showGate(false, true);
        // Empty: asked for, and the typed text is compared with nothing.
        {
            qvt::MsgRecorder rec;
            g_accountOpens = 0;
            qvt::gate(m())->findChild<QPushButton*>("cmdOK")->click();
            QCOMPARE(rec.texts(), QStringList{"please enter your password"});
            QVERIFY(box()->hasFocus());
        }
        const QString right = app.db().lockPassword;                // "lock me"
        expectRefused("LOCK ME", "please check your password");     // letter case counts
        expectRefused(right + " ", "please check your password");   // so do trailing blanks
        expectRefused("' or '1'='1", "please check your password"); // typed text is only text
        expectRefused("lock me' --", "please check your password");
        QCOMPARE(Conn.scalar("select count(*) from LctPswd").toInt(), 1);
        qvt::typeAtGate(m(), right);
        QVERIFY(qvt::isLoaded(m(), "frmSecMenus"));
    }

    void emptyTableRefusesEverything()
    {
        setLockPasswords({});
        showGate(false, true);
        for (const QString& typed : {app.db().lockPassword, QString("' or ''='"), QString(" ")})
            expectRefused(typed, "please check your password");
    }

    void apostropheAndBlankInStoredPassword()
    {
        setLockPasswords({"first one", "o'neil pass"});
        showGate(false, true);
        expectRefused("o'neil", "please check your password");
        qvt::MsgRecorder rec;
        qvt::typeAtGate(m(), "o'neil pass"); // any row opens the gate
        QVERIFY(rec.seen.isEmpty());
        QVERIFY(!qvt::gate(m()));
        QVERIFY(qvt::isLoaded(m(), "frmSecMenus"));
    }

    void neitherFlagOnlyClosesTheGate()
    {
        m()->close_Menu();
        showGate(false, false);
        qvt::MsgRecorder rec;
        qvt::typeAtGate(m(), app.db().lockPassword);
        QVERIFY(rec.seen.isEmpty());
        QVERIFY(!qvt::gate(m()));
        QVERIFY(m()->mdiArea()->subWindowList().isEmpty());
        QCOMPARE(g_accountOpens, 0);
        QVERIFY(!OpenAccountsAfterLock && !OpenMenusAfterLock);
    }

    void bothFlagsOpenTheChartOfAccountsOnly()
    {
        showGate(true, true);
        qvt::typeAtGate(m(), app.db().lockPassword);
        QCOMPARE(g_accountOpens, 1);
        QVERIFY(!qvt::isLoaded(m(), "frmSecMenus"));
        QVERIFY(!qvt::gate(m()));
        auto* accounts = qvt::findWindow(m(), "frmAccount");
        QVERIFY(accounts);
        QVERIFY(accounts->parentWidget()->isMaximized());
        QCOMPARE(m()->mdiArea()->activeSubWindow(), accounts->parentWidget());
        QVERIFY(accounts->hasFocus() || accounts->isAncestorOf(QApplication::focusWidget()));
        QVERIFY(OpenAccountsAfterLock && OpenMenusAfterLock);
    }

    void cancelFromTheMainWindow()
    {
        Conn.execute("update Menus set Active = 0 where Menus = ?", {"Company"});
        m()->menuEntry("mnuSetMenu")->trigger();
        QVERIFY(m()->menuEntry("mnuCompany")->isVisible()); // rights not applied yet
        qvt::gate(m())->findChild<QPushButton*>("cmdCancel")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qvt::gate(m()));
        QVERIFY(m()->homePanelVisible());
        QVERIFY(!m()->menuEntry("mnuCompany")->isVisible()); // ApplyMenus ran
    }

    void cancelForACallerOnlyHides()
    {
        OpenedForCaller = true;
        showGate(true, false);
        QTest::keyClicks(box(), "half typed");
        qvt::gate(m())->findChild<QPushButton*>("cmdCancel")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QWidget* g = qvt::gate(m());
        QVERIFY(g); // still loaded
        QVERIFY(!g->parentWidget()->isVisible());
        // Shown again by the caller: the previous entry is gone and the box has the focus.
        QVERIFY(qv::Windows::open("frmLocPass"));
        QCOMPARE(qvt::gate(m()), g);
        QVERIFY(g->parentWidget()->isVisible());
        QVERIFY(box()->text().isEmpty());
        QVERIFY(box()->hasFocus());
    }

    void activationClearsTheEntry()
    {
        showGate(false, true);
        QTest::keyClicks(box(), "abc");
        qv::Windows::define("frmOther", [] {
            auto* w = new FakeAccounts();
            w->setObjectName("frmOther");
            return w;
        });
        auto* other = qv::Windows::open("frmOther");
        QCOMPARE(m()->mdiArea()->activeSubWindow(), other->parentWidget());
        m()->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(qvt::gate(m())->parentWidget()));
        QVERIFY(box()->text().isEmpty());
        QVERIFY(box()->hasFocus());
    }

    void eachEntryOpensItsOwnWindow()
    {
        // "Set Menus" first leaves its flag up; "Add Users" and "Remove Data" still reach their windows.
        const QString pw = app.db().lockPassword;
        qvt::openThroughGate(m(), "mnuSetMenu", pw);
        QVERIFY(qvt::isLoaded(m(), "frmSecMenus"));
        qvt::openThroughGate(m(), "mnuAddUser", pw);
        QWidget* users = qvt::findWindow(m(), "frmAddUsers");
        QVERIFY(users);
        QCOMPARE(users->windowTitle(), QString("Add Users"));
        QVERIFY(qvt::placedAt(users, 3500, 2500));
        qvt::openThroughGate(m(), "mnuRemoveData", pw);
        QWidget* remove = qvt::findWindow(m(), "frmRemoveData");
        QVERIFY(remove);
        QCOMPARE(remove->windowTitle(), QString("Remove Data"));
        QVERIFY(qvt::placedAt(remove, 3000, 2000));
        qvt::openThroughGate(m(), "mnuSetMenu", pw);
        QCOMPARE(m()->mdiArea()->activeSubWindow()->widget()->objectName(), QString("frmSecMenus"));
    }

    void realMessageBox()
    {
        // Once without the recorder: the box is a real one, titled "Quoravel", answered by a timer.
        showGate(false, true);
        QString seenText, seenTitle;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* mb = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seenText = mb->text();
                seenTitle = mb->windowTitle();
                mb->accept();
            }
        });
        poll.start();
        qvt::gate(m())->findChild<QPushButton*>("cmdOK")->click();
        poll.stop();
        QCOMPARE(seenText, QString("please enter your password"));
        QCOMPARE(seenTitle, QString("Quoravel"));
        QVERIFY(qvt::gate(m()));
    }

    // The frame's "E&xit" unloads every window through its close step: the finder's reset of
    // its hand-over flags must run, or after logging in again "Set Menus" opened the chart
    // of accounts behind the gate instead of the rights window.
    void frameExitRunsEachWindowsCloseStep()
    {
        auto* finder = qv::Windows::open("frmFindAC");
        QVERIFY(finder);
        QTest::mouseClick(finder->findChild<QPushButton*>("cmdAccounts"), Qt::LeftButton);
        QVERIFY(OpenAccountsAfterLock && OpenedForCaller);
        QVERIFY(qvt::gate(m()));

        QPointer<MDIForm1> old(m());
        m()->menuEntry("mnuExit")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(old.isNull());
        QVERIFY(!OpenAccountsAfterLock && !OpenedForCaller);

        frmLogin* login = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* l = qobject_cast<frmLogin*>(w); l && l->isVisible())
                login = l;
        QVERIFY(login);
        login->findChild<QComboBox*>("cboUsers")->setEditText(app.db().user);
        login->findChild<QLineEdit*>("txtPassword")->setText(app.db().password);
        login->findChild<QLineEdit*>("txtServer")->setText(app.db().dataSource);
        login->cmdLogIn_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QPointer<MDIForm1> again(MDIForm1::instance());
        QVERIFY(again && again != old);

        again->menuEntry("mnuSetMenu")->trigger();
        qvt::typeAtGate(again, app.db().lockPassword);
        QVERIFY(qvt::isLoaded(again, "frmSecMenus"));
        QCOMPARE(g_accountOpens, 0);
        delete again.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(TstLock)
#include "tst_lock.moc"
