// "Add Users": the database's logins listed, added with the password typed twice, given a new
// password, removed (never the one in use, the last one or the book's manager), on either
// backend; checked by logging in as those logins.
#include "adminhelpers.h"
#include "db/logins.h"
#include "db/serverbook.h"
#include "shell/frmlogin.h"
#include "shell/mdl_connection.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

class TstAddUsers : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    QWidget* w = nullptr;

    // Role names are shared by the whole server: make them this run's own.
    static QString user(const char* tag)
    {
        return QStringLiteral("qvu%1_%2").arg(QCoreApplication::applicationPid()).arg(QLatin1String(tag));
    }
    MDIForm1* m() const { return app.main(); }
    QLineEdit* edit(const char* name) const { return w->findChild<QLineEdit*>(name); }
    QListWidget* list() const { return w->findChild<QListWidget*>("lstUsers"); }
    QStringList listed() const
    {
        QStringList out;
        for (int i = 0; i < list()->count(); ++i)
            out << list()->item(i)->text();
        return out;
    }
    void type(const QString& name, const QString& pw, const QString& confirm)
    {
        for (const char* box : {"txtUserName", "txtPassword", "txtConfirm"})
            edit(box)->clear();
        QTest::keyClicks(edit("txtUserName"), name);
        QTest::keyClicks(edit("txtPassword"), pw);
        QTest::keyClicks(edit("txtConfirm"), confirm);
    }
    QList<qv::Msg::Message> press(const char* button, QMessageBox::StandardButton answer = QMessageBox::Yes)
    {
        qvt::MsgRecorder rec;
        rec.answers << answer << QMessageBox::Ok;
        w->findChild<QPushButton*>(button)->click();
        return rec.seen;
    }
    void pick(const QString& name)
    {
        const auto found = list()->findItems(name, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(found[0]).center());
        QCOMPARE(edit("txtUserName")->text(), name);
    }
    void addUser(const QString& name, const QString& pw)
    {
        type(name, pw, pw);
        const auto seen = press("cmdAdd");
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].text, QString("The user \"%1\" has been added.").arg(name));
    }
    bool canLogIn(const QString& name, const QString& pw) const
    {
        qv::Connection c;
        c.setProperty("User ID", name);
        c.setProperty("Password", pw);
        c.setProperty("Data Source", app.db().dataSource);
        c.setProperty("Initial Catalog", app.db().catalog);
        try {
            c.open();
            return true;
        } catch (const qv::DbError&) {
            return false;
        }
    }
    // The window again, as the shared connection's login `name`.
    void reopenAs(const QString& name, const QString& pw)
    {
        w->findChild<QPushButton*>("cmdExit")->click();
        Conn.close();
        Conn.setProperty("User ID", name);
        Conn.setProperty("Password", pw);
        Conn.open();
        LoginUser = name;
        qvt::openThroughGate(m(), "mnuAddUser", app.db().lockPassword);
        w = qvt::findWindow(m(), "frmAddUsers");
        QVERIFY(w);
    }
    void expectRefusal(const char* button, const QString& text)
    {
        const QStringList before = listed();
        const auto seen = press(button);
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].text, text);
        QCOMPARE(listed(), before);
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        frmLogin::endProgram = [] {};
    }
    void init()
    {
        app.start();
        QApplication::setActiveWindow(m());
        qvt::openThroughGate(m(), "mnuAddUser", app.db().lockPassword);
        w = qvt::findWindow(m(), "frmAddUsers");
        QVERIFY(w);
    }
    void cleanup()
    {
        // Windows closed under a dropped login may report errors: nobody is there to answer.
        qvt::MsgRecorder quiet;
        // Logins made by a fresh login window, and this run's roles on the server.
        QList<QPointer<MDIForm1>> others;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* other = qobject_cast<MDIForm1*>(top); other && other != m())
                others << other;
        for (const auto& other : others)
            delete other.data();
        if (qvt::backend() == qv::Backend::Postgres) {
            qv::Connection admin;
            app.db().connectAdmin(admin);
            QStringList roles;
            QSqlQuery q = admin.query("select rolname from pg_roles where rolname like ?", {user("%")});
            while (q.next())
                roles << q.value(0).toString();
            q.finish();
            for (const QString& r : roles)
                admin.execute(admin.scalar("select format('DROP ROLE %I', CAST(? AS TEXT))", {r}).toString());
        }
        app.stop();
    }

    void refusesBadInput()
    {
        QCOMPARE(w->windowTitle(), QString("Add Users"));
        QVERIFY(listed().contains(app.db().user));
        QVERIFY(list()->findItems(app.db().user, Qt::MatchExactly)[0]->font().bold()); // the login in use
        type("", "x", "x");
        expectRefusal("cmdAdd", "Please enter a user name.");
        QVERIFY(edit("txtUserName")->hasFocus());
        type("two words", "x", "x");
        expectRefusal("cmdAdd", qv::Logins::checkName("two words"));
        type(app.db().user, "x", "x");
        expectRefusal("cmdAdd", QString("The user name \"%1\" is already taken.").arg(app.db().user));
        if (qvt::backend() == qv::Backend::Postgres) {
            // A server role outside the program is taken too.
            const QString admin = qEnvironmentVariable("QUORAVEL_TEST_PG_USER", "postgres");
            type(admin, "x", "x");
            expectRefusal("cmdAdd", QString("The user name \"%1\" is already taken.").arg(admin));
        }
        type(user("a"), "", "");
        expectRefusal("cmdAdd", "Please enter a password.");
        type(user("a"), "secret", "secreT");
        expectRefusal("cmdAdd", "The two passwords do not match.");
        QVERIFY(edit("txtPassword")->text().isEmpty() && edit("txtConfirm")->text().isEmpty());
        QVERIFY(edit("txtPassword")->hasFocus());
        QVERIFY(!canLogIn(user("a"), "secret"));
    }

    void addedLoginLogsInRemovedOneCannot()
    {
        const QString a = user("a"), b = user("b");
        addUser(a, "a pw'1 %");
        addUser(b, "b-pw");
        QVERIFY(listed().contains(a) && listed().contains(b));
        pick(b);
        const auto seen = press("cmdRemove", QMessageBox::Yes);
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0].text, QString("are you sure remove the user \"%1\"").arg(b));
        QCOMPARE(seen[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(seen[1].text, QString("The user \"%1\" has been removed.").arg(b));
        QVERIFY(!listed().contains(b) && listed().contains(a));

        // A fresh login window: the removed login is refused, the added one gets in.
        auto* login = new frmLogin();
        login->show();
        auto* users = login->findChild<QComboBox*>("cboUsers");
        auto* pw = login->findChild<QLineEdit*>("txtPassword");
        login->findChild<QLineEdit*>("txtServer")->setText(app.db().dataSource);
        QPointer<frmLogin> guard(login);
        {
            qvt::MsgRecorder rec;
            users->setEditText(b);
            QTest::keyClicks(pw, "b-pw");
            QTest::keyClick(pw, Qt::Key_Return);
            QCOMPARE(rec.seen.size(), 1);
            QCOMPARE(rec.seen[0].title, QString("Login Error"));
        }
        {
            qvt::MsgRecorder rec;
            users->setEditText(a);
            pw->clear();
            QTest::keyClicks(pw, "a pw'1 %");
            QTest::keyClick(pw, Qt::Key_Return);
            QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.texts().join('|')));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
        QCOMPARE(LoginUser, a);
        QCOMPARE(Conn.userName(), a);
        QVERIFY(Conn.scalar("select count(*) from Menus").toInt() == 28); // the program's rights
    }

    void changesPasswords()
    {
        const QString c = user("c");
        addUser(c, "first");
        pick(c);
        QTest::keyClicks(edit("txtPassword"), "second");
        QTest::keyClicks(edit("txtConfirm"), "second");
        const auto seen = press("cmdChange");
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].text, QString("The password of \"%1\" has been changed.").arg(c));
        QVERIFY(!canLogIn(c, "first"));
        QVERIFY(canLogIn(c, "second"));
        type(c, "third", "thirds");
        expectRefusal("cmdChange", "The two passwords do not match.");
        type(user("nobody"), "x", "x");
        expectRefusal("cmdChange", QString("There is no user \"%1\".").arg(user("nobody")));
        QVERIFY(canLogIn(c, "second"));
        if (qvt::backend() == qv::Backend::Sqlite) {
            // The login in use: what the reports log on with follows the change. (Not on the
            // server: its test login is shared by every suite running there.)
            pick(app.db().user);
            QTest::keyClicks(edit("txtPassword"), "new own");
            QTest::keyClicks(edit("txtConfirm"), "new own");
            QCOMPARE(press("cmdChange").size(), 1);
            QCOMPARE(LoginPassword, QString("new own"));
            QCOMPARE(Conn.property("Password"), QString("new own"));
            QVERIFY(canLogIn(app.db().user, "new own"));
        }
    }

    void removalRefusals()
    {
        pick(app.db().user);
        expectRefusal("cmdRemove",
                      QString("\"%1\" is the user logged in now and cannot be removed.").arg(app.db().user));
        type(user("nobody"), "", "");
        expectRefusal("cmdRemove", QString("There is no user \"%1\".").arg(user("nobody")));
        const QString d = user("d");
        addUser(d, "pw d");
        pick(d);
        const auto seen = press("cmdRemove", QMessageBox::No);
        QCOMPARE(seen.size(), 1);                         // the question only
        QCOMPARE(seen[0].defaultButton, QMessageBox::No); // a stray Enter removes nobody
        QVERIFY(listed().contains(d));
        QVERIFY(canLogIn(d, "pw d"));
        if (qvt::backend() == qv::Backend::Sqlite) {
            // Another station removed every other login: the last one stays.
            Conn.execute("delete from Logins where UserName <> ?", {d});
            expectRefusal("cmdRemove", QString("\"%1\" is the only user left and cannot be removed.").arg(d));
            QVERIFY(canLogIn(d, "pw d"));
        }
    }

    // The book's manager stays its owner's: another login, though it knows the lock password,
    // can neither remove it nor set its password (embedded: the first login; on a server a
    // co-manager cannot either).
    void managerStaysWithItsOwner()
    {
        const QString other = user("g");
        QString manager = app.db().user, managerPw = app.db().password;
        addUser(other, "pw g");
        if (qvt::backend() == qv::Backend::Postgres) {
            manager = user("h");
            managerPw = "pw h";
            addUser(manager, managerPw);
            qv::Connection admin;
            app.db().connectAdmin(admin);
            using qv::ServerBook::quoteIdent;
            admin.execute(QString("GRANT %1 TO %2, %3")
                              .arg(quoteIdent(qv::ServerBook::rolesFor(app.db().catalog).admins), quoteIdent(other),
                                   quoteIdent(manager)));
        }
        reopenAs(other, "pw g");
        pick(manager);
        expectRefusal("cmdRemove", QString("\"%1\" manages this book and cannot be removed.").arg(manager));
        type(manager, "taken", "taken");
        expectRefusal("cmdChange",
                      QString("Only \"%1\" may change its own password: it manages this book.").arg(manager));
        QVERIFY(canLogIn(manager, managerPw));
        QVERIFY(!canLogIn(manager, "taken"));
    }

    void serverRefusal()
    {
        const QString e = user("e");
        if (qvt::backend() == qv::Backend::Sqlite) {
            Conn.setStatementHook([](const QString& sql) {
                if (sql.startsWith("insert into Logins"))
                    throw qv::DbError("database or disk is full (injected)");
            });
            type(e, "pw", "pw");
            const auto seen = press("cmdAdd");
            Conn.setStatementHook({});
            QCOMPARE(seen.size(), 1);
            QCOMPARE(seen[0].icon, qv::Msg::Icon::Critical);
            QCOMPARE(seen[0].text,
                     QString("The user \"%1\" was not added:\ndatabase or disk is full (injected)").arg(e));
            QVERIFY(!listed().contains(e));
            return;
        }
        // A login made here has the program's rights but may not make logins itself: only the
        // book's manager may run its login functions.
        addUser(e, "pw e");
        reopenAs(e, "pw e");
        type(user("f"), "pw", "pw");
        const auto seen = press("cmdAdd");
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].icon, qv::Msg::Icon::Critical);
        QVERIFY2(seen[0].text.startsWith(QString("The user \"%1\" was not added:\n").arg(user("f"))),
                 qPrintable(seen[0].text));
        QVERIFY2(seen[0].text.contains("Only the login that manages this book"), qPrintable(seen[0].text));
        QVERIFY(!canLogIn(user("f"), "pw"));
        // The window stays usable.
        QVERIFY(w->isVisible());
        QVERIFY(listed().contains(e));
    }
};

QTEST_MAIN(TstAddUsers)
#include "tst_addusers.moc"
