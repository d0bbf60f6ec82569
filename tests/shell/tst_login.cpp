// The login window: the Data Source, the login check of either backend, "Login Error" for every
// failure, the keys, the first-run offer and the display switch.
#include "db/logins.h"
#include "shell/display.h"
#include "shell/frmlogin.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QSettings>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

namespace {
struct FakeDisplay : qv::DisplaySwitch {
    QList<QSize> applied;
    Result answer = Result::Success;
    int broadcasts = 0, restarts = 0;
    QSize currentMode() override { return {1280, 1024}; }
    Result apply(QSize s, bool lasting) override
    {
        applied << s;
        return lasting ? Result::Success : answer;
    }
    void broadcastChange(int w, int l) override { broadcasts += (w == 42 && l == 0); }
    void requestRestart() override { ++restarts; }
};

MDIForm1* visibleMain()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<MDIForm1*>(w); m && m->isVisible())
            return m;
    return nullptr;
}
} // namespace

class TstLogin : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    QTemporaryDir progDir;
    QPointer<frmLogin> login;

    QLineEdit* box(const char* name) { return login->findChild<QLineEdit*>(name); }
    QComboBox* users() { return login->findChild<QComboBox*>("cboUsers"); }

    void writeServerTxt(const QByteArray& content)
    {
        QFile f(progDir.filePath("Server.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    void openLogin()
    {
        login = new frmLogin();
        login->show();
        QVERIFY(QTest::qWaitForWindowExposed(login));
    }
    void typeLogin(const QString& user, const QString& password, const QString& server)
    {
        users()->setEditText(user);
        box("txtPassword")->setText(password);
        box("txtServer")->setText(server);
    }
    // Logs in by pressing Enter in the password box; returns the message boxes shown.
    QList<qv::Msg::Message> attempt(const QString& user, const QString& password, const QString& server)
    {
        qvt::MsgRecorder rec;
        typeLogin(user, password, server);
        login->activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(login)); }();
        box("txtPassword")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        return rec.seen;
    }
    void expectLoginError(const QList<qv::Msg::Message>& seen, const QString& fragment)
    {
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].title, QString("Login Error"));
        QCOMPARE(seen[0].icon, qv::Msg::Icon::Critical);
        QVERIFY2(seen[0].text.contains(fragment, Qt::CaseInsensitive), qPrintable(seen[0].text));
        QVERIFY(!login.isNull() && login->isVisible());
        QVERIFY(!visibleMain());
        // The whole password is selected so that typing replaces it.
        QCOMPARE(box("txtPassword")->selectedText(), box("txtPassword")->text());
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        SetProgramFolder(progDir.path());
        frmLogin::endProgram = [] {};
    }
    void init()
    {
        ResetSharedState();
        ResetHandOver();
        db = qvt::TestDb::create();
        LoginCatalog = db.catalog;
        QFile::remove(progDir.filePath("Server.txt"));
        QSettings().remove(frmLogin::lastUserKey());
    }
    void cleanup()
    {
        if (login)
            delete login;
        if (MDIForm1* m = visibleMain())
            delete m;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Conn.close();
        db.drop();
        qv::setDisplaySwitch(nullptr);
    }

    void loadReadsServerAndOffersSa()
    {
        writeServerTxt(" \"" + db.dataSource.toUtf8() + "\", ignored\n");
        openLogin();
        QCOMPARE(login->windowTitle(), QString("Log In:-"));
        QCOMPARE(box("txtServer")->text(), db.dataSource);
        QCOMPARE(users()->currentText(), QString("sa"));
        QCOMPARE(users()->count(), 1);
        QVERIFY(users()->hasFocus() || users()->lineEdit()->hasFocus());
        QCOMPARE(users()->lineEdit()->selectedText(), QString("sa"));
        QCOMPARE(login->findChild<QPushButton*>("cmdLogIn")->text(), QString("&Login"));
        QCOMPARE(login->findChild<QPushButton*>("cmdCancel")->text(), QString("E&xit"));
    }

    void passwordShowsAStarForEachCharacter()
    {
        openLogin();
        QLineEdit* pw = box("txtPassword");
        QTest::keyClicks(pw, "s3cret");
        QCOMPARE(pw->displayText(), QString("******"));
        QCOMPARE(pw->text(), QString("s3cret"));
    }

    void enterInUserBoxOnlyMovesOn()
    {
        openLogin();
        qvt::MsgRecorder rec;
        typeLogin(db.user, db.password, db.dataSource);
        users()->setFocus();
        // Keys go where the application's focus is, as a typing user's would.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(box("txtPassword")->hasFocus());
        QVERIFY(rec.seen.isEmpty());
        QVERIFY(!Conn.isOpen());
    }

    void rightLoginOpensMainWindow()
    {
        openLogin();
        const auto seen = attempt(db.user, db.password, db.dataSource);
        QVERIFY2(seen.isEmpty(), seen.isEmpty() ? "" : qPrintable(seen[0].text));
        QVERIFY(Conn.isOpen());
        QCOMPARE(LoginUser, db.user);
        QCOMPARE(LoginPassword, db.password);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(login.isNull()); // closed and released
        MDIForm1* m = visibleMain();
        QVERIFY(m);
        QVERIFY(m->isMaximized());
        QCOMPARE(m->findChild<QLabel*>("lblTitle")->text(), "Login :   " + db.user);
        // A second login after "E&xit" closes the open connection and opens it again.
        m->menuEntry("mnuExit")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* l = qobject_cast<frmLogin*>(w); l && l->isVisible())
                login = l;
        QVERIFY(login);
        QVERIFY(attempt(db.user, db.password, db.dataSource).isEmpty());
        QVERIFY(Conn.isOpen());
    }

    void failuresGiveLoginError()
    {
        openLogin();
        expectLoginError(attempt(db.user, "wrong", db.dataSource), "password");
        QVERIFY(LoginUser.isEmpty()); // unchanged by a failed login
        expectLoginError(attempt("nobody_here", db.password, db.dataSource), "nobody_here");
        expectLoginError(attempt("", db.password, db.dataSource), "user name");
        // After the failures the right login still works.
        QVERIFY(attempt(db.user, db.password, db.dataSource).isEmpty());
    }

    void unreachableServer()
    {
        openLogin();
        // Nothing listens on port 1 of the loopback address.
        expectLoginError(attempt(db.user, db.password, "127.0.0.1:1"), "127.0.0.1");
    }

    void badEmbeddedFiles()
    {
        openLogin();
        QTemporaryDir d;
        const QString junk = d.filePath("junk.sqlite");
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, '\x7f'));
        f.close();
        expectLoginError(attempt(db.user, db.password, junk), "not");
        // A SQLite file that is not ours.
        const QString other = d.filePath("other.db");
        {
            qv::Connection c;
            c.openFileUnchecked(other, true);
            c.execute("create table t (x integer)");
        }
        expectLoginError(attempt(db.user, db.password, other), "not a Quoravel database");
        // A read-only copy of a real database.
        if (qvt::backend() == qv::Backend::Sqlite) {
            QFile::setPermissions(db.dataSource, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
            expectLoginError(attempt(db.user, db.password, db.dataSource), "read-only");
            QFile::setPermissions(db.dataSource, QFile::ReadOwner | QFile::WriteOwner);
        }
        // A folder given as the file.
        expectLoginError(attempt(db.user, db.password, d.path() + "/"), "database");
    }

    void oddServerFileDoesNotCrash()
    {
        writeServerTxt(QByteArray("\x00\x01\xff\xfe,", 5) + QByteArray(100000, 'z'));
        openLogin();
        QVERIFY(!box("txtServer")->text().contains(QChar(0)));
        qvt::MsgRecorder rec;
        rec.answers << QMessageBox::No; // an empty item means the default file: decline creating it
        typeLogin(db.user, db.password, box("txtServer")->text());
        login->cmdLogIn_Click();
        QVERIFY(!rec.seen.isEmpty());
        QCOMPARE(rec.seen.last().title, QString("Login Error"));
    }

    void firstRunCreatesEmbeddedDatabase()
    {
        openLogin();
        QTemporaryDir d;
        const QString path = d.filePath("new/Books.sqlite");
        qvt::MsgRecorder rec;
        rec.textAnswers << "first pw"
                        << "lock-1"
                        << "lock-1";                         // each typed twice
        rec.answers << QMessageBox::Yes << QMessageBox::Yes; // create it; with the demo company
        typeLogin("owner", "first pw", path);
        login->cmdLogIn_Click();
        QVERIFY2(rec.seen.size() == 2, qPrintable(rec.texts().join(" | ")));
        QVERIFY(rec.seen[0].text.contains(path));
        QVERIFY(Conn.isOpen());
        QCOMPARE(LoginUser, QString("owner"));
        QVERIFY(Conn.scalar("select count(*) from MasJV").toInt() > 0);
        QVERIFY(qv::Logins::verifyHash(Conn.scalar("select Pswd from LctPswd").toString(), "lock-1"));
        QCOMPARE(Conn.scalar("select count(*) from Menus").toInt(), 28);
    }

    void firstRunDeclinedIsLoginError()
    {
        openLogin();
        QTemporaryDir d;
        qvt::MsgRecorder rec;
        rec.answers << QMessageBox::No;
        typeLogin("owner", "pw", d.filePath("none.sqlite"));
        login->cmdLogIn_Click();
        QCOMPARE(rec.seen.size(), 2);
        QCOMPARE(rec.seen[1].title, QString("Login Error"));
        QVERIFY(rec.seen[1].text.contains("does not exist"));
        QVERIFY(!QFile::exists(d.filePath("none.sqlite")));
    }

    void afterLoginErrorThePasswordIsSelectedAgain()
    {
        openLogin();
        expectLoginError(attempt(db.user, "wrong", db.dataSource), "");
        // The user moves to the user box, then clicks back into the password.
        QTest::mouseClick(users()->lineEdit(), Qt::LeftButton);
        QTest::mouseClick(box("txtPassword"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(box("txtPassword")->selectedText(), QString("wrong"));
    }

    void lastUserOfTheStationIsOffered()
    {
        openLogin();
        QVERIFY(attempt(db.user, db.password, db.dataSource).isEmpty());
        delete visibleMain();
        openLogin();
        QCOMPARE(users()->currentText(), db.user);
        QCOMPARE(users()->count(), 2);
        QCOMPARE(users()->itemText(0) + "|" + users()->itemText(1), db.user + "|sa");
    }

    void enterPressesTheFocusedButton()
    {
        int ended = 0;
        const auto old = frmLogin::endProgram;
        frmLogin::endProgram = [&ended] { ++ended; };
        openLogin();
        auto* exitButton = login->findChild<QPushButton*>("cmdCancel");
        exitButton->setFocus();
        QTest::keyClick(exitButton, Qt::Key_Return);
        frmLogin::endProgram = old;
        QCOMPARE(ended, 1);
    }

    void firstRunChecksLoginFirstAndAsksTheLockTwice()
    {
        openLogin();
        QTemporaryDir d;
        const QString path = d.filePath("new/deeper/Books.sqlite");
        {
            // No password: said at once, nothing else asked, nothing made.
            qvt::MsgRecorder rec;
            typeLogin("owner", "", path);
            login->cmdLogIn_Click();
            QCOMPARE(rec.texts(),
                     QStringList{"Please type a password for the first user before creating the database."});
            QVERIFY(rec.prompts.isEmpty());
        }
        {
            // Cancelled at the lock password: no folder or file left.
            qvt::MsgRecorder rec;
            rec.answers << QMessageBox::Yes;
            rec.textAnswers << "pw";
            typeLogin("owner", "pw", path);
            login->cmdLogIn_Click();
            QCOMPARE(rec.prompts.size(), 2);
            QVERIFY(!QDir(d.filePath("new")).exists());
            QVERIFY(!Conn.isOpen());
        }
        {
            qvt::MsgRecorder rec;
            rec.answers << QMessageBox::Yes << QMessageBox::Ok << QMessageBox::Ok << QMessageBox::No;
            rec.textAnswers << "pw"
                            << ""
                            << "one"
                            << "two"
                            << "lock-2"
                            << "lock-2";
            typeLogin("owner", "pw", path);
            login->cmdLogIn_Click();
            QCOMPARE(rec.seen.size(), 4);
            QVERIFY(rec.seen[1].text.startsWith("The lock password cannot be empty"));
            QVERIFY(rec.seen[2].text.startsWith("The two lock passwords differ"));
            QCOMPARE(rec.prompts.size(), 6);
            QVERIFY(Conn.isOpen());
            QVERIFY(qv::Logins::verifyHash(Conn.scalar("select Pswd from LctPswd").toString(), "lock-2"));
        }
    }

    // The first login's password is typed twice, as the lock password is: a typo in either
    // makes nothing and asks for it again, so nobody is locked out of a new book.
    void firstRunAsksThePasswordTwice()
    {
        openLogin();
        QTemporaryDir d;
        const QString path = d.filePath("Books.sqlite");
        {
            qvt::MsgRecorder rec;
            rec.textAnswers << "frist pw";
            typeLogin("owner", "first pw", path);
            login->cmdLogIn_Click();
            QCOMPARE(rec.seen.size(), 2); // the offer, then the mismatch
            QVERIFY2(rec.last().startsWith("The two passwords differ"), qPrintable(rec.last()));
            QVERIFY(!QFile::exists(path));
            QVERIFY(!Conn.isOpen());
            QVERIFY(box("txtPassword")->text().isEmpty());
            QCOMPARE(login->focusWidget(), box("txtPassword"));
        }
        qvt::MsgRecorder rec;
        rec.textAnswers << "first pw"
                        << "lock-3"
                        << "lock-3";
        rec.answers << QMessageBox::Yes << QMessageBox::No; // create it; no demo company
        typeLogin("owner", "first pw", path);
        login->cmdLogIn_Click();
        QVERIFY2(Conn.isOpen(), qPrintable(rec.texts().join(" | ")));
        QCOMPARE(rec.prompts.size(), 3);
    }

    void displaySwitch()
    {
        auto fake = std::make_unique<FakeDisplay>();
        FakeDisplay* d = fake.get();
        qv::setDisplaySwitch(std::move(fake));
        ScreenWidth = 1280;
        ScreenHeight = 1024;
        openLogin();
        QCOMPARE(d->applied, QList<QSize>({{1024, 768}, {1024, 768}})); // temporary, then lasting
        QCOMPARE(d->broadcasts, 1);
        d->applied.clear();
        {
            qvt::MsgRecorder rec;
            login->findChild<QPushButton*>("cmdCancel")->click(); // E&xit restores the start-up size
        }
        QCOMPARE(d->applied.first(), QSize(1280, 1024));
        // A restart-needing change asks first, and restarts only on Yes.
        d->answer = qv::DisplaySwitch::Result::RestartRequired;
        qvt::MsgRecorder rec;
        rec.answers << QMessageBox::No << QMessageBox::Yes;
        login->SetResulation();
        login->SetResulation();
        QCOMPARE(rec.seen.size(), 2);
        QCOMPARE(rec.seen[0].title, QString("Screen Resolution"));
        QCOMPARE(rec.seen[0].text,
                 QString("You must restart your computer to apply these changes.\r\n\r\nDo you want to restart now?"));
        QCOMPARE(d->restarts, 1);
        // On a screen already 1024 wide nothing changes.
        ScreenWidth = 1024;
        d->applied.clear();
        login->SetResulation();
        login->setDefautResulation();
        QVERIFY(d->applied.isEmpty());
    }

    // The second lock-password box has a short prompt: it must still show its whole title.
    void textBoxIsWideEnoughForItsTitle()
    {
        const QString title = QStringLiteral("New Database");
        int width = 0;
        QTimer::singleShot(0, this, [&] {
            if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                width = d->width();
                d->reject();
            }
        });
        QVERIFY(!qv::Msg::askText(QStringLiteral("Type the lock password again:"), title, true));
        QFont bold = QApplication::font();
        bold.setBold(true);
        bold.setPointSizeF(bold.pointSizeF() * 1.25);
        // The title bar also holds the window's icon and its three buttons.
        QVERIFY2(width >= QFontMetrics(bold).horizontalAdvance(title) + 150, qPrintable(QString::number(width)));
    }
};

QTEST_MAIN(TstLogin)
#include "tst_login.moc"
