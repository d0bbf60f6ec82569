// The chart-of-accounts window's search tab driven as a user drives it: typing narrows the list
// keystroke by keystroke, the grid shows the lines as the store reads them, a double click opens
// the account on the first tab, and a failed search leaves the last list usable.
#include "shell/windows.h"
#include "masters/accountstore.h"
#include "masters/frmaccount.h"
#include "db/recordset.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>

class TstAccountSearch : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    frmAccount* win = nullptr;

    template <class T = QLineEdit> T* get(const char* name) { return qvt::child<T>(win, name); }
    QTabWidget* tabs() { return get<QTabWidget>("SSTab"); }
    QTableView* grid() { return get<QTableView>("mshSearch"); }
    int rows() { return grid()->model()->rowCount(); }
    QString cell(int row, int column) { return grid()->model()->index(row, column).data().toString(); }
    QStringList titles()
    {
        QStringList out;
        for (int r = 0; r < rows(); ++r)
            out << cell(r, 2);
        return out;
    }
    qint64 rowIdOf(const QString& code)
    {
        return Conn.scalar("select RowID from Accounts where AcNodes = ?", {code}).toLongLong();
    }
    // Empties the search box with the keys, then types `text`.
    void search(const QString& text)
    {
        QLineEdit* box = get("txtFindAC");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
    }
    void doubleClickRow(int row)
    {
        grid()->scrollTo(grid()->model()->index(row, 2));
        const QPoint at = grid()->visualRect(grid()->model()->index(row, 2)).center();
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
    }
    QString openedTitles()
    {
        return get("txtAcDes")->text() + "|" + get("txtSubControl")->text() + "|" + get("txtSubsidiary")->text();
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
        app.main()->menuEntry("mnuChartOfAC")->trigger();
        win = qv::Windows::find<frmAccount>("frmAccount");
        QVERIFY(win);
        QApplication::setActiveWindow(app.main());
        tabs()->setCurrentIndex(1);
    }
    void cleanup()
    {
        win = nullptr;
        app.stop();
    }

    void typingNarrowsTheList()
    {
        // At load: every subsidiary account, by title; heads never.
        QStringList all;
        qv::RecordSet Rs;
        Rs.open("select AcName from Accounts where AcStatus = 'DD' order by AcName, RowID", Conn);
        for (Rs.moveFirst(); !Rs.eof(); Rs.moveNext())
            all << Rs.text("AcName");
        QVERIFY(all.size() > 2);
        QCOMPARE(titles(), all);

        search("zzz");
        QCOMPARE(rows(), 0);
        QCOMPARE(grid()->model()->columnCount(), 10);
        QVERIFY(grid()->isColumnHidden(0) && !grid()->isColumnHidden(1));
        // A double click on an empty list opens nothing.
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
        QCOMPARE(tabs()->currentIndex(), 1);
        QVERIFY(get("txtFindParent")->text().isEmpty());

        search("o'b");
        QCOMPARE(cell(0, 1) + "|" + cell(0, 2), QString("1.2.6|O'BRIEN TRADING CO"));
        QCOMPARE(rows(), 1);
        search("bank");
        QCOMPARE(titles(), QStringList({"HABIB BANK LTD - 0123-7", "MCB BANK LTD - 4471-2"}));
        QCOMPARE(cell(0, 0), QString::number(rowIdOf("1.1.2")));
        QCOMPARE(cell(0, 7), QString("1,500,000.00"));
        QVERIFY(grid()->model()->index(0, 7).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
        QCOMPARE(grid()->columnWidth(7), 1800 / 15); // the widths hold after each refill

        // Back to an empty box: the whole list again.
        search("");
        QCOMPARE(titles(), all);
    }

    void doubleClickOpensTheAccount()
    {
        auto* tree = get<QTreeWidget>("lstTree");
        win->nodeByKey("'2'")->setExpanded(true);
        search("bank");
        doubleClickRow(1);
        QCOMPARE(tabs()->currentIndex(), 0);
        QCOMPARE(tree->currentItem(), win->nodeByKey("'1.1.3'"));
        QCOMPARE(openedTitles(), QString("ASSETS|CASH AND BANK|MCB BANK LTD - 4471-2"));
        // Open for editing, as after a click on its node: the level-1 and level-2 boxes closed.
        QCOMPARE(get<QPushButton>("cmdCreateAc")->text(), QString("&Save"));
        QVERIFY(!get("txtAcDes")->isEnabled() && !get("txtOrder")->isEnabled() && !get("txtSubControl")->isEnabled());
        QVERIFY(!get<QCheckBox>("chkHead")->isEnabled() && !get<QWidget>("frmEntry")->isHidden());
        QVERIFY(!win->nodeByKey("'2'")->isExpanded() && win->nodeByKey("'1.1'")->isExpanded());
    }

    // Far down a long list, the line clicked is the account opened.
    void longListScrolledToTheEnd()
    {
        qv::AccountStore store(Conn);
        const qint64 head = rowIdOf("1.1");
        {
            qv::Transaction tx(Conn);
            for (int i = 0; i < 400; ++i) {
                qv::SubsidiaryInput in;
                in.title = QStringLiteral("ZZ SUPPLIER %1").arg(i, 3, 10, QLatin1Char('0'));
                QVERIFY(store.addSubsidiary(head, in));
            }
            tx.commit();
        }
        win->FillTreeData();
        search("zz supplier");
        QCOMPARE(rows(), 400);
        QCOMPARE(cell(399, 2), QString("ZZ SUPPLIER 399"));
        doubleClickRow(398);
        QCOMPARE(tabs()->currentIndex(), 0);
        QCOMPARE(get("txtSubsidiary")->text(), QString("ZZ SUPPLIER 398"));
        QCOMPARE(get("txtFindParent")->text(), cell(398, 0));
    }

    // One reset for each keystroke; a null shows as an empty cell, never as 0.00.
    void eachKeystrokeRefillsOnce()
    {
        Conn.execute("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values ('1.1.9', 'SPARE', "
                     "'DD', '1.1', 9)");
        search("");
        QSignalSpy resets(grid()->model(), &QAbstractItemModel::modelReset);
        QSignalSpy inserts(grid()->model(), &QAbstractItemModel::rowsInserted);
        QTest::keyClicks(get("txtFindAC"), "spa");
        QCOMPARE(resets.size(), 3);
        QCOMPARE(inserts.size(), 0);
        QCOMPARE(rows(), 1);
        QCOMPARE(cell(0, 1) + "|" + cell(0, 2) + "|" + cell(0, 3) + "|" + cell(0, 7), QString("1.1.9|SPARE||"));
    }

    void failedSearchKeepsTheLastList()
    {
        qvt::MsgRecorder rec;
        search("bank");
        // Every statement fails: the keystroke's look at the book as much as a reading.
        Conn.setStatementHook([](const QString&) { throw qv::DbError("server went away"); });
        QTest::keyClick(get("txtFindAC"), Qt::Key_Backspace);
        Conn.setStatementHook({});
        QCOMPARE(rec.texts(), QStringList({"server went away"}));
        QVERIFY(rec.seen.first().icon == qv::Msg::Icon::Critical);
        QCOMPARE(titles(), QStringList({"HABIB BANK LTD - 0123-7", "MCB BANK LTD - 4471-2"}));
        QVERIFY(grid()->isColumnHidden(0));

        // Usable again at the next keystroke, and the lines still open their accounts.
        QTest::keyClick(get("txtFindAC"), Qt::Key_K);
        QCOMPARE(get("txtFindAC")->text(), QString("bank"));
        QCOMPARE(rows(), 2);
        doubleClickRow(0);
        QCOMPARE(get("txtSubsidiary")->text(), QString("HABIB BANK LTD - 0123-7"));
        QCOMPARE(rec.seen.size(), 1);
    }
};

QTEST_MAIN(TstAccountSearch)
#include "tst_accountsearch.moc"
