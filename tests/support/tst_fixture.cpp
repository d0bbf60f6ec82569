// The test support itself: a widget missing from a window fails that one test, and the suite
// goes on with the next (checked on a small suite run as a child process).
#include "support/fixture.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

class Inner : public QObject {
    Q_OBJECT
private slots:
    void missingWidget()
    {
        QWidget w;
        w.setObjectName("frmSome");
        QVERIFY(qvt::child<QLineEdit>(&w, "txtThere") == nullptr); // not reached: fails first
    }
    void missingWidgetsUsedInline()
    {
        QWidget w;
        qvt::child<QPushButton>(&w, "cmdGone")->click();
        QCOMPARE(qvt::child<QTableView>(&w, "mshGone")->model()->rowCount(), 0);
        QCOMPARE(qvt::child<QTreeWidget>(&w, "lstGone")->topLevelItemCount(), 0);
    }
    void foundWidget()
    {
        QWidget w;
        auto* box = new QLineEdit(&w);
        box->setObjectName("txtThere");
        QCOMPARE(qvt::child<QLineEdit>(&w, "txtThere"), box);
    }
};

class TstFixture : public QObject {
    Q_OBJECT
private slots:
    void missingWidgetFailsOnlyItsTest()
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QVT_FIXTURE_INNER", "1");
        p.setProcessEnvironment(env);
        p.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(out.contains("FAIL!  : Inner::missingWidget() no widget txtThere (QLineEdit) under frmSome"),
                 qPrintable(out));
        QVERIFY2(out.contains("FAIL!  : Inner::missingWidgetsUsedInline() no widget cmdGone"), qPrintable(out));
        QVERIFY2(out.contains("PASS   : Inner::foundWidget()"), qPrintable(out));
        QVERIFY2(out.contains("Totals: 3 passed, 2 failed"), qPrintable(out));
        QCOMPARE(p.exitCode(), 2);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("QVT_FIXTURE_INNER")) {
        Inner inner;
        return QTest::qExec(&inner, argc, argv);
    }
    TstFixture t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_fixture.moc"
