// The voucher window against another station on the demo company: a voucher opened for change
// that the other station deleted and numbered again, and a kind whose numbering is exhausted.
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/fixture.h"
#include "vouchers/frmvoucher.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <limits>

namespace {
qint64 accountId(const QString& title)
{
    return Conn.scalar("select RowID from Accounts where AcName = ?", {title}).toLongLong();
}
// A voucher's master and detail rows as stored.
QStringList stored(const QString& kind, qint64 number)
{
    QStringList out;
    for (const char* sql :
         {"select RowID, PaidReceive, TotalAmount from MasJV where VouStatus = ? and VouNo = ?",
          "select AcCode, DrAmt, Naration from DetJV where VouStatus = ? and VouNo = ? order by RowID"}) {
        QSqlQuery q = Conn.query(sql, {kind, number});
        while (q.next())
            out << q.value(0).toString() + '|' + q.value(1).toString() + '|' + q.value(2).toString();
    }
    return out;
}
qv::Voucher journal(qint64 number, const QString& party)
{
    qv::Voucher v;
    v.kind = qv::VoucherKind::JV;
    v.number = number;
    v.date = QDate(2026, 2, 3);
    v.party = party;
    v.lines.push_back({accountId("VEHICLES"), {}, accountId("CASH IN HAND"), {}, qv::Money(4200), {}, party, {}, {}});
    return v;
}
} // namespace

class TstVoucherWindowIdentity : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    frmVoucher* open(const QString& window)
    {
        auto* w = qv::Windows::open<frmVoucher>(window);
        if (w)
            QApplication::setActiveWindow(app.main());
        return w;
    }
    // An account picked through the finder, as a user does.
    void pick(frmVoucher* w, QPushButton* select, const QString& title)
    {
        QTest::mouseClick(select, Qt::LeftButton);
        auto* grid = qv::Windows::find("frmFindAC")->findChild<QTableView*>("mshSearch");
        const int row = qvt::columnTexts(grid, 2).indexOf(title);
        QVERIFY2(row >= 0, qPrintable(title));
        const QRect rect = grid->visualRect(grid->model()->index(row, 2));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app.main()->mdiArea()->setActiveSubWindow(w->subWindow());
    }

    // The highest journal voucher is open for change; another station deletes it and saves a
    // new one, which takes its number. Returns that number; `theirs` holds its voucher as stored.
    qint64 openedThenNumberedAgain(frmVoucher* w, QStringList& theirs)
    {
        const qint64 highest = qvt::child<QLineEdit>(w, "txtVoucher")->text().toLongLong() - 1;
        w->openForChange(highest);
        qv::Connection other;
        app.db().connect(other);
        qv::VoucherStore store(other);
        store.remove(qv::VoucherKind::JV, highest);
        store.save(journal(store.nextNumber(qv::VoucherKind::JV, 1), "THEIRS"), true, "other");
        theirs = stored("JV", highest);
        return highest;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { app.start(true); }
    void cleanup() { app.stop(); }

    // The save says the voucher was deleted, keeps the lines and writes nothing; the next save
    // stores them as a new voucher.
    void changeOfAVoucherDeletedAndNumberedAgain()
    {
        frmVoucher* w = open("frmJV");
        QStringList theirs;
        const qint64 highest = openedThenNumberedAgain(w, theirs);
        QCOMPARE(theirs.first().section('|', 1, 1), QString("THEIRS"));
        const int lines = qvt::child<QTableWidget>(w, "MshEntry")->rowCount();
        QVERIFY(lines > 0);

        qvt::MsgRecorder rec;
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY2(rec.last().contains("deleted by another user"), qPrintable(rec.last()));
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), lines);
        QCOMPARE(stored("JV", highest), theirs);
        QVERIFY(w->IsNewVoucher);

        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 0);
        QCOMPARE(stored("JV", highest), theirs);
        QCOMPARE(Conn.scalar("select count(*) from DetJV where VouStatus = 'JV' and VouNo = ?", {highest + 1}).toInt(),
                 2 * lines);
    }

    // "&Delete" of the voucher opened deletes that one only: the other station's stays.
    void deleteOfAVoucherDeletedAndNumberedAgain()
    {
        frmVoucher* w = open("frmJV");
        QStringList theirs;
        const qint64 highest = openedThenNumberedAgain(w, theirs);
        qvt::MsgRecorder rec;
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdDelete"), Qt::LeftButton);
        QVERIFY2(rec.last().contains("already been deleted by another user"), qPrintable(rec.last()));
        QCOMPARE(stored("JV", highest), theirs);
    }

    // A journal voucher holds the largest number there is: the window says the numbering is
    // exhausted instead of proposing a number past it, shows that voucher's number whole, and
    // saves nothing new.
    void exhaustedNumberingIsSaid()
    {
        constexpr qint64 last = std::numeric_limits<qint64>::max();
        qv::VoucherStore(Conn).save(journal(last, "LAST"), true, "other");
        const int vouchers = Conn.scalar("select count(*) from MasJV").toInt();

        qvt::MsgRecorder rec;
        frmVoucher* w = open("frmJV");
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY2(rec.last().contains("numbering of the Journal Vouchers is exhausted"), qPrintable(rec.last()));
        QVERIFY(qvt::child<QLineEdit>(w, "txtVoucher")->text().isEmpty());
        w->openForChange(last);
        QCOMPARE(qvt::child<QLineEdit>(w, "txtVoucher")->text(), QString::number(last));
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdCancel"), Qt::LeftButton);
        QVERIFY(qvt::child<QLineEdit>(w, "txtVoucher")->text().isEmpty());

        rec.clear();
        pick(w, qvt::child<QPushButton>(w, "cmdSelectDr"), "OFFICE RENT");
        pick(w, qvt::child<QPushButton>(w, "cmdSelectCr"), "CASH IN HAND");
        qvt::child<QLineEdit>(w, "txtDRCR")->setText("15");
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdAdd"), Qt::LeftButton);
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 1);
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY2(rec.last().contains("exhausted"), qPrintable(rec.last()));
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 1);
        QCOMPARE(Conn.scalar("select count(*) from MasJV").toInt(), vouchers);
    }
};

QTEST_MAIN(TstVoucherWindowIdentity)
#include "tst_voucherwindowidentity.moc"
