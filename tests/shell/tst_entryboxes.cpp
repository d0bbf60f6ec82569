// The shared entry boxes on their own: a date typed in any of its forms, from the first part of
// the box whatever part was selected; a date that is none is refused and said.
#include "support/dbfixture.h"
#include "widgets/datebox.h"
#include "widgets/status.h"

#include <QApplication>

class TstEntryBoxes : public QObject {
    Q_OBJECT
    QStringList said;

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        qv::Status::setSink([this](const QString& t) { said << t; });
    }
    void init() { said.clear(); }

    void typedDates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("section"); // the part selected before typing
        QTest::addColumn<QDate>("expected");
        const QDate shown(2026, 12, 7);
        QTest::newRow("digits only") << "10122026" << int(QDateTimeEdit::DaySection) << QDate(2026, 12, 10);
        QTest::newRow("year selected") << "10122026" << int(QDateTimeEdit::YearSection) << QDate(2026, 12, 10);
        QTest::newRow("with dashes, month selected")
            << "01-07-2026" << int(QDateTimeEdit::MonthSection) << QDate(2026, 7, 1);
        QTest::newRow("short forms") << "1/7/26" << int(QDateTimeEdit::DaySection) << QDate(2026, 7, 1);
        QTest::newRow("six digits") << "150327" << int(QDateTimeEdit::DaySection) << QDate(2027, 3, 15);
        QTest::newRow("day and month: the shown year")
            << "2802" << int(QDateTimeEdit::DaySection) << QDate(2026, 2, 28);
        QTest::newRow("day alone: the shown month") << "5" << int(QDateTimeEdit::YearSection) << QDate(2026, 12, 5);
        // Refused: the box keeps its date.
        QTest::newRow("no such day") << "31022026" << int(QDateTimeEdit::DaySection) << shown;
        QTest::newRow("three digits") << "123" << int(QDateTimeEdit::DaySection) << shown;
    }
    void typedDates()
    {
        QFETCH(QString, typed);
        QFETCH(int, section);
        QFETCH(QDate, expected);
        qv::DateBox box(QDate(2026, 12, 7));
        box.show();
        box.setCurrentSection(QDateTimeEdit::Section(section));
        QTest::keyClicks(&box, typed);
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(box.date(), expected);
        QCOMPARE(box.text(), expected.toString("dd-MM-yyyy"));
        // A refusal is said, with the date the box keeps.
        const bool refused = expected == QDate(2026, 12, 7);
        QCOMPARE(said.size(), refused ? 1 : 0);
        if (refused)
            QVERIFY2(said.last().contains("07-12-2026"), qPrintable(said.last()));
    }
};

QTEST_MAIN(TstEntryBoxes)
#include "tst_entryboxes.moc"
