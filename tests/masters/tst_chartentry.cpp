// Typing into the chart of accounts where a slip used to change data: a typed opening date,
// an opening balance with a decimal comma, a new sub-control account's pre-filled title.
#include "masters/frmaccount.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class TstChartEntry : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    frmAccount* chart = nullptr;

    qint64 rowIdOf(const QString& code)
    {
        return Conn.scalar("select RowID from Accounts where AcNodes = ?", {code}).toLongLong();
    }
    QLineEdit* box(const char* name) { return qvt::child<QLineEdit>(chart, name); }
    void save() { QTest::mouseClick(qvt::child<QPushButton>(chart, "cmdCreateAc"), Qt::LeftButton); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        app.start(true);
        chart = qv::Windows::open<frmAccount>("frmAccount");
        QApplication::setActiveWindow(app.main());
    }
    void cleanup() { app.stop(); }

    // "01-07-2026" typed into the opening date, whatever part was selected, is the date stored.
    void typedOpeningDateIsStored()
    {
        chart->EditAC(rowIdOf("1.1.1"));
        auto* date = qvt::child<QDateEdit>(chart, "dtpOpening");
        date->setFocus();
        date->setSelectedSection(QDateTimeEdit::MonthSection);
        QTest::keyClicks(date, "01-07-2026");
        QTest::keyClick(date, Qt::Key_Return);
        QCOMPARE(date->date(), QDate(2026, 7, 1));
        save();
        QCOMPARE(Conn.scalar("select openDate from Accounts where AcNodes = '1.1.1'").toDate(), QDate(2026, 7, 1));
    }

    // A decimal comma in the opening balance is refused with a reason; nothing is stored.
    void openingBalanceWithDecimalCommaIsRefused()
    {
        chart->EditAC(rowIdOf("1.1.1"));
        const QVariant before = Conn.scalar("select OpenBal from Accounts where AcNodes = '1.1.1'");
        qvt::MsgRecorder rec;
        box("txt_OpenBal")->clear();
        QTest::keyClicks(box("txt_OpenBal"), "1,5");
        save();
        QVERIFY2(rec.last().contains("comma"), qPrintable(rec.last()));
        QCOMPARE(Conn.scalar("select OpenBal from Accounts where AcNodes = '1.1.1'"), before);
        box("txt_OpenBal")->clear();
        QTest::keyClicks(box("txt_OpenBal"), "-1,250.50");
        save();
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(qv::plainAmount(*qv::moneyFromVariant(Conn.scalar("select OpenBal from Accounts where AcNodes = "
                                                                   "'1.1.1'"),
                                                       Conn.backend() == qv::Backend::Sqlite)),
                 QString("-1250.50"));
    }

    // Beside the opening box: Dr or Cr as typed, and what the openings of the whole chart net to
    // with the figure in the box (the demo's openings net to zero as stored).
    void openingSideAndDifferenceFollowTheBox()
    {
        chart->EditAC(rowIdOf("1.1.1"));
        auto* side = qvt::child<QLabel>(chart, "lblOpenSide");
        auto* difference = qvt::child<QLabel>(chart, "lblOpenDifference");
        QCOMPARE(side->text(), QString("Dr"));
        QCOMPARE(difference->text(), QString("The openings of all accounts net to zero."));
        box("txt_OpenBal")->clear();
        QTest::keyClicks(box("txt_OpenBal"), "-100");
        QCOMPARE(side->text(), QString("Cr"));
        QVERIFY2(difference->text().contains("differ by 250,100.00 Cr"), qPrintable(difference->text()));
    }

    // A new sub-control account's title starts as its head's, selected whole: typing replaces it.
    void newSubControlTitleIsReplacedByTyping()
    {
        chart->EditAC(rowIdOf("1"));
        QTest::mouseClick(qvt::child<QPushButton>(chart, "cmdCreateAc"), Qt::LeftButton);
        QCOMPARE(box("txtSubControl")->text(), QString("ASSETS"));
        QTest::keyClicks(box("txtSubControl"), "PREPAID");
        QCOMPARE(box("txtSubControl")->text(), QString("PREPAID"));
    }
};

QTEST_MAIN(TstChartEntry)
#include "tst_chartentry.moc"
