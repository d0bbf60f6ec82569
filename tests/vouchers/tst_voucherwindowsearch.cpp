// The "Search Voucher" tab and "&Print" of the voucher windows, driven as a user drives them on
// the demo company: the criteria and what refreshes the list, the empty list, opening a voucher
// from the list and saving it under its own number, the delete refresh, and printing.
#include "viewer/frmveiwer.h"
#include "viewer/reportviewer.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"
#include "vouchers/frmvoucher.h"
#include "vouchers/vouchersearchmodel.h"
#include "vouchers/voucherstore.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

class TstVoucherWindowSearch : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    frmVoucher* win = nullptr;

    template <class T = QLineEdit> T* get(const char* name) { return qvt::child<T>(win, name); }
    QTableView* list() { return get<QTableView>("mshSearch"); }
    // The list as shown: each row's cells joined by "|".
    QStringList rows()
    {
        QAbstractItemModel* m = list()->model();
        QStringList out;
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < m->columnCount(); ++c)
                cells << m->index(r, c).data().toString();
            out << cells.join('|');
        }
        return out;
    }
    QStringList headers()
    {
        QStringList out;
        for (int c = 0; c < list()->model()->columnCount(); ++c)
            out << list()->model()->headerData(c, Qt::Horizontal).toString();
        return out;
    }
    void open(const QString& name)
    {
        win = qv::Windows::open<frmVoucher>(name);
        QVERIFY(win);
        get<QTabWidget>("SSTab")->setCurrentIndex(1);
    }
    void choose(const QString& criterion)
    {
        auto* cbo = get<QComboBox>("cboSearch");
        cbo->setFocus();
        cbo->setCurrentIndex(cbo->findText(criterion));
    }
    void type(const char* box, const QString& text)
    {
        QLineEdit* e = get(box);
        e->setFocus();
        e->selectAll();
        if (text.isEmpty())
            QTest::keyClick(e, Qt::Key_Backspace);
        else
            QTest::keyClicks(e, text);
    }
    void doubleClickRow(int row)
    {
        QTableView* v = list();
        const QRect r = v->visualRect(v->model()->index(row, 2));
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, r.center());
    }
    int rowOf(qint64 number)
    {
        const auto* m = static_cast<qv::VoucherSearchModel*>(list()->model());
        for (int r = 0; r < m->rowCount(); ++r)
            if (m->line(r) && m->line(r)->number == number)
                return r;
        return -1;
    }
    qint64 count(const char* kind)
    {
        return Conn.scalar("select count(*) from MasJV where VouStatus = ?", {QString(kind)}).toLongLong();
    }
    frmVeiwer* viewer() { return qvt::findWindow<frmVeiwer>(app.main(), "frmVeiwer"); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        SetProgramFolder(QVT_TEMPLATES_DIR);
    }
    void cleanupTestCase() { SetProgramFolder(QString()); }
    void init() { app.start(true); }
    void cleanup()
    {
        win = nullptr;
        app.stop();
    }

    // At load: the criteria in order, the first chosen, the whole kind listed in number order.
    void loadShowsTheKind()
    {
        open("frmBP");
        auto* cbo = get<QComboBox>("cboSearch");
        QCOMPARE(cbo->count(), 3);
        QCOMPARE(QStringList({cbo->itemText(0), cbo->itemText(1), cbo->itemText(2)}),
                 QStringList({"Voucher #", "Date", "Paid To"}));
        QCOMPARE(cbo->currentText(), QString("Voucher #"));
        QCOMPARE(get<QLabel>("lblSearch")->text(), QString("Voucher #"));
        QVERIFY(get<QDateEdit>("DTPSearch")->isHidden());
        QCOMPARE(get<QDateEdit>("DTPSearch")->date(), QDate::currentDate());
        QCOMPARE(headers(), QStringList({"Voucher # ", "Voucher Date", "Paid To", "Amount", "Multi"}));
        const QList<int> widths{2000, 2000, 5000, 2000, 1000};
        for (int c = 0; c < 5; ++c)
            QCOMPARE(list()->columnWidth(c), widths[c] / 15);
        const QStringList shown = rows();
        QCOMPARE(shown.size(), count("BP"));
        QSqlQuery q = Conn.query("select VouNo, VouDate, PaidReceive from MasJV where VouStatus = 'BP' order by VouNo");
        for (int r = 0; q.next(); ++r)
            QVERIFY2(shown[r].startsWith(QString("%1|%2|%3|")
                                             .arg(q.value(0).toString(), q.value(1).toDate().toString("dd-MM-yyyy"),
                                                  q.value(2).toString())),
                     qPrintable(shown[r]));
    }

    // A criterion alone changes the caption and the date box, never the list; the search text,
    // the date, a click or Backspace in the date box refresh it. A day without vouchers leaves
    // two empty rows and no header.
    void criteriaAndRefreshPoints()
    {
        open("frmBP");
        type("txtSearch", "1");
        const QStringList ones = rows();
        QVERIFY(ones.size() > 1);
        for (const QString& r : ones)
            QVERIFY2(r.section('|', 0, 0).contains('1'), qPrintable(r));

        choose("Date");
        QCOMPARE(get<QLabel>("lblSearch")->text(), QString("Date"));
        QVERIFY(get<QDateEdit>("DTPSearch")->isVisible());
        QCOMPARE(rows(), ones);

        auto* dtp = get<QDateEdit>("DTPSearch");
        dtp->setFocus();
        dtp->setDate(QDate(1990, 1, 1));
        QCOMPARE(rows(), QStringList({"||||", "||||"}));
        QCOMPARE(headers(), QStringList({"", "", "", "", ""}));
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {},
                           list()->visualRect(list()->model()->index(0, 0)).center());
        QCOMPARE(get<QTabWidget>("SSTab")->currentIndex(), 1); // an empty list opens nothing

        const QDate day = Conn.scalar("select min(VouDate) from MasJV where VouStatus = 'BP'").toDate();
        dtp->setDate(day);
        QCOMPARE(rows().size(),
                 Conn.scalar("select count(*) from MasJV where VouStatus = 'BP' and VouDate = ?", {day}).toLongLong());
        QVERIFY(rows().first().contains(day.toString("dd-MM-yyyy")));

        // Another station saves a voucher on that day: Backspace in the date box shows it.
        const qint64 before = rows().size();
        qv::VoucherStore store(Conn);
        std::optional<qv::Voucher> v = store.open(qv::VoucherKind::BP, 1);
        QVERIFY(v);
        v->number = 9001;
        v->date = day;
        store.save(*v, true, "other");
        QCOMPARE(rows().size(), before);
        QTest::keyClick(dtp, Qt::Key_Backspace);
        QCOMPARE(rows().size(), before + 1);

        choose("Paid To");
        QVERIFY(get<QDateEdit>("DTPSearch")->isHidden());
        QCOMPARE(rows().size(), before + 1); // still the date's list
        const QString party =
            Conn.scalar("select PaidReceive from MasJV where VouStatus = 'BP' and VouNo = 2").toString();
        QVERIFY(!party.isEmpty());
        type("txtSearch", party.mid(1, 4).toLower());
        for (const QString& r : rows())
            QVERIFY2(r.section('|', 2, 2).contains(party.mid(1, 4), Qt::CaseInsensitive), qPrintable(r));
        QVERIFY(rowOf(2) >= 0);

        // A typed criterion that is none of the three: shown, and the list stays as it is.
        const QStringList kept = rows();
        auto* cbo = get<QComboBox>("cboSearch");
        cbo->lineEdit()->selectAll();
        QTest::keyClicks(cbo->lineEdit(), "Amount");
        QCOMPARE(get<QLabel>("lblSearch")->text(), QString("Amount"));
        type("txtSearch", "9");
        QCOMPARE(rows(), kept);
    }

    // Double click: the voucher is opened for change on tab 0; a save keeps its number, changes
    // its party and refreshes the list; a delete refreshes it too.
    void openFromListSaveAndDelete()
    {
        open("frmCR");
        const qint64 vouchers = count("CR");
        // A cash receive of more than one line is marked in the list.
        const qint64 multi = Conn.scalar("select min(VouNo) from MasJV m where VouStatus = 'CR' and (select count(*) "
                                         "from DetJV d where d.VouStatus = 'CR' and d.VouNo = m.VouNo) > 2")
                                 .toLongLong();
        QVERIFY(multi > 0);
        const int row = rowOf(multi);
        QVERIFY(row >= 0);
        QVERIFY2(rows()[row].endsWith("|M"), qPrintable(rows()[row]));

        qvt::MsgRecorder rec;
        doubleClickRow(row);
        QCOMPARE(get<QTabWidget>("SSTab")->currentIndex(), 0);
        QCOMPARE(get("txtVoucher")->text(), QString::number(multi));
        QCOMPARE(win->IsNewVoucher, false);
        QCOMPARE(win->window()->focusWidget(), static_cast<QWidget*>(get<QDateEdit>("DTPicker")));
        const int lines = get<QTableWidget>("MshEntry")->rowCount();
        QVERIFY(lines >= 2);

        type("txtPaidTo", "CHANGED BY TEST");
        QTest::mouseClick(get<QPushButton>("cmdSave"), Qt::LeftButton);
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.last()));
        QCOMPARE(count("CR"), vouchers);
        QCOMPARE(Conn.scalar("select PaidReceive from MasJV where VouStatus = 'CR' and VouNo = ?", {multi}).toString(),
                 QString("CHANGED BY TEST"));
        QVERIFY(rows()[rowOf(multi)].contains("|CHANGED BY TEST|"));

        get<QTabWidget>("SSTab")->setCurrentIndex(1);
        doubleClickRow(rowOf(multi));
        rec.answers = {QMessageBox::Yes};
        QTest::mouseClick(get<QPushButton>("cmdDelete"), Qt::LeftButton);
        QCOMPARE(rec.last(), QString("are you sure Delete this Voucher "));
        QCOMPARE(count("CR"), vouchers - 1);
        QCOMPARE(rowOf(multi), -1);
        QCOMPARE(rows().size(), vouchers - 1);
    }

    // A list longer than its first page shows the first lines at once and the rest as the event
    // loop runs, in number order, each voucher once; a new search drops the rest of the old one.
    void longListInPages()
    {
        {
            qv::Transaction tx(Conn);
            qv::VoucherStore store(Conn);
            std::optional<qv::Voucher> v = store.open(qv::VoucherKind::JV, 1);
            QVERIFY(v);
            for (qint64 n = 1000; n < 1250; ++n) {
                v->number = n;
                store.save(*v, true, "bulk");
            }
            tx.commit();
        }
        open("frmJV");
        const qint64 all = count("JV");
        QVERIFY(rows().size() < all);
        QVERIFY(!win->searchComplete());
        QTRY_VERIFY(win->searchComplete());
        const auto* m = win->searchModel();
        QCOMPARE(qint64(m->rowCount()), all);
        for (int r = 1; r < m->rowCount(); ++r)
            QVERIFY(m->line(r - 1)->number < m->line(r)->number);

        type("txtSearch", "1");
        QVERIFY(!win->searchComplete());
        QTest::keyClicks(get("txtSearch"), "2"); // while the list of "1" is still being read
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QVERIFY(win->searchComplete());
        const qint64 twelves =
            Conn.scalar("select count(*) from MasJV where VouStatus = 'JV' and CAST(VouNo AS TEXT) like '%12%'")
                .toLongLong();
        QCOMPARE(qint64(m->rowCount()), twelves);
        for (int r = 0; r < m->rowCount(); ++r)
            QVERIFY(QString::number(m->line(r)->number).contains("12"));
    }

    // A search the database refuses is shown with its description; the list stays as it was and
    // the next keystroke searches again.
    void refusedSearchKeepsTheList()
    {
        open("frmBP");
        const QStringList before = rows();
        qvt::MsgRecorder rec;
        // Every statement fails: the keystroke's look at the book as much as a query.
        Conn.setStatementHook([](const QString&) { throw qv::DbError("the server went away"); });
        type("txtSearch", "1");
        Conn.setStatementHook({});
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY2(rec.last().contains("the server went away"), qPrintable(rec.last()));
        QCOMPARE(rows(), before);
        QTest::keyClicks(get("txtSearch"), "5");
        QCOMPARE(rows().size(),
                 Conn.scalar("select count(*) from MasJV where VouStatus = 'BP' and CAST(VouNo AS TEXT) like '%15%'")
                     .toLongLong());
    }

    // Print with an empty number box: the message, the focus to the date, no viewer. Print of a
    // saved voucher: the viewer shows that voucher of that kind.
    void print()
    {
        open("frmJV");
        qvt::MsgRecorder rec;
        get("txtVoucher")->clear();
        QTest::mouseClick(get<QPushButton>("cmdPrint"), Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList({"please enter voucher no."}));
        QCOMPARE(rec.seen.first().icon, qv::Msg::Icon::Information);
        QCOMPARE(win->window()->focusWidget(), static_cast<QWidget*>(get<QDateEdit>("DTPicker")));
        QVERIFY(!viewer());

        rec.clear();
        get<QTabWidget>("SSTab")->setCurrentIndex(1);
        const int row = rowOf(7);
        QVERIFY(row >= 0);
        doubleClickRow(row);
        QTest::mouseClick(get<QPushButton>("cmdPrint"), Qt::LeftButton);
        QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.last()));
        QVERIFY(viewer());
        const QString page = qvt::child<qv::ReportViewer>(viewer(), "CRViewer91")->document()->pageTexts(0).join("\n");
        QVERIFY2(page.contains("JOURNAL VOUCHER"), qPrintable(page));
        QVERIFY(page.contains("JV-7"));
        QVERIFY(!page.contains("JV-8"));
        const QString total = qv::displayAmount(
            *qv::moneyFromVariant(Conn.scalar("select TotalAmount from MasJV where VouStatus = 'JV' and VouNo = 7"),
                                  Conn.backend() == qv::Backend::Sqlite));
        QVERIFY2(page.contains(total), qPrintable(total));
    }
};

QTEST_MAIN(TstVoucherWindowSearch)
#include "tst_voucherwindowsearch.moc"
