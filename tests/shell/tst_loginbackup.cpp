// The login starts the day's automatic backup of an embedded book and does not wait for it;
// a failed backup is shown, not swallowed.
#include "db/backup.h"
#include "db/dailybackup.h"
#include "shell/frmlogin.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

class TstLoginBackup : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    QTemporaryDir progDir;
    QString book;

    void logIn()
    {
        auto* login = new frmLogin();
        login->show();
        login->findChild<QComboBox*>("cboUsers")->setEditText(db.user);
        qvt::child<QLineEdit>(login, "txtPassword")->setText(db.password);
        qvt::child<QLineEdit>(login, "txtServer")->setText(db.dataSource);
        QTest::mouseClick(qvt::child<QPushButton>(login, "cmdLogIn"), Qt::LeftButton);
        QVERIFY(Conn.isOpen());
    }
    void closeMain()
    {
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<MDIForm1*>(w) || qobject_cast<frmLogin*>(w))
                windows << w;
        for (const QPointer<QWidget>& w : windows)
            delete w.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Conn.close();
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        qv::dailybackup::setAutomatic(true);
        SetProgramFolder(progDir.path());
        frmLogin::endProgram = [] {};
    }
    void init()
    {
        ResetSharedState();
        db = qvt::TestDb::create(true);
        LoginCatalog = db.catalog;
        book = qv::DataSource::parse(db.dataSource, db.catalog).filePath;
    }
    void cleanup()
    {
        closeMain();
        db.drop();
    }

    void firstLoginOfTheDayMakesTheBackup()
    {
        qvt::MsgRecorder rec;
        logIn();
        qv::dailybackup::wait();
        const QString today = qv::dailybackup::fileFor(book, QDate::currentDate());
        QCOMPARE(qv::dailybackup::existing(book), QStringList{today});
        qv::backup::check(today);
        const QDateTime made = QFileInfo(today).lastModified();
        closeMain();

        logIn(); // the second login of the day leaves it alone
        qv::dailybackup::wait();
        QCOMPARE(QFileInfo(today).lastModified(), made);
        QCoreApplication::processEvents();
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.last()));
    }

    void aFailedBackupIsShownAfterTheLogin()
    {
        qvt::MsgRecorder rec;
        QFile blocker(qv::backup::defaultFolder(book)); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        logIn();
        qv::dailybackup::wait();
        QTRY_COMPARE(rec.seen.size(), 1);
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Warning);
        QVERIFY2(rec.last().startsWith("Today's automatic backup of the book could not be made:"),
                 qPrintable(rec.last()));
        QVERIFY(Conn.isOpen()); // the login itself stands
    }
};

QTEST_MAIN(TstLoginBackup)
#include "tst_loginbackup.moc"
