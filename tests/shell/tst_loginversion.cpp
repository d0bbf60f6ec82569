// The login window and the book's schema version: a newer book is refused, an older embedded
// book is upgraded after a checked backup, an older server book is sent to its administrator.
#include "db/backup.h"
#include "db/logins.h"
#include "db/schema.h"
#include "shell/frmlogin.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

class TstLoginVersion : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    QTemporaryDir progDir;
    QPointer<frmLogin> login;

    void setVersion(int v)
    {
        if (v < qv::Schema::CurrentVersion)
            db.makeOlder(v);
        qv::Connection admin;
        db.connectAdmin(admin);
        admin.execute("update SchemaInfo set Version = ?", {v});
        if (v == 1) {
            // Version 1 kept the lock password in clear.
            admin.execute("delete from LctPswd");
            admin.execute("insert into LctPswd (Pswd) values ('plain lock')");
        }
    }
    QList<qv::Msg::Message> attempt()
    {
        qvt::MsgRecorder rec;
        login = new frmLogin();
        login->show();
        login->findChild<QComboBox*>("cboUsers")->setEditText(db.user);
        login->findChild<QLineEdit*>("txtPassword")->setText(db.password);
        login->findChild<QLineEdit*>("txtServer")->setText(db.dataSource);
        login->findChild<QPushButton*>("cmdLogIn")->click();
        return rec.seen;
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
    }
    void cleanup()
    {
        delete login;
        QList<QPointer<QWidget>> mains;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("MDIForm1"))
                mains << w;
        for (const auto& w : mains)
            delete w.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Conn.close();
        db.drop();
    }

    void newerBookIsRefusedUnchanged()
    {
        setVersion(qv::Schema::CurrentVersion + 1);
        const auto seen = attempt();
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].title, QString("Login Error"));
        QVERIFY2(seen[0].text.contains("newer version of Quoravel"), qPrintable(seen[0].text));
        QVERIFY(!Conn.isOpen());
        qv::Connection admin;
        db.connectAdmin(admin);
        QCOMPARE(qv::Schema::version(admin), qv::Schema::CurrentVersion + 1);
    }

    void olderBookIsUpgradedOrSentToTheAdministrator()
    {
        setVersion(1);
        const auto seen = attempt();
        QCOMPARE(seen.size(), 1);
        if (qvt::backend() == qv::Backend::Postgres) {
            QCOMPARE(seen[0].title, QString("Login Error"));
            QVERIFY2(seen[0].text.contains("quoravel-admin upgrade --server " + db.dataSource),
                     qPrintable(seen[0].text));
            QVERIFY(!Conn.isOpen());
            return;
        }
        QVERIFY2(seen[0].text.contains("brought up to date"), qPrintable(seen[0].text));
        QVERIFY(Conn.isOpen());
        QCOMPARE(qv::Schema::version(Conn), qv::Schema::CurrentVersion);
        QVERIFY(qv::Logins::verifyHash(Conn.scalar("select Pswd from LctPswd").toString(), "plain lock"));
        // The backup named in the message holds the book as it was, and passes the check.
        const QString book = qv::DataSource::parse(db.dataSource, db.catalog).filePath;
        const QStringList saved = QDir(qv::backup::defaultFolder(book)).entryList({"*.sqlite"}, QDir::Files);
        QCOMPARE(saved.size(), 1);
        const QString copy = QDir(qv::backup::defaultFolder(book)).filePath(saved[0]);
        QVERIFY(seen[0].text.contains(copy));
        qv::backup::check(copy);
        qv::Connection old;
        old.openFileUnchecked(copy, false);
        QCOMPARE(qv::Schema::version(old), 1);
        QCOMPARE(old.scalar("select Pswd from LctPswd").toString(), QString("plain lock"));
    }
};

QTEST_MAIN(TstLoginVersion)
#include "tst_loginversion.moc"
