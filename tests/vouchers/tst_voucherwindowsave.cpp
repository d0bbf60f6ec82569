// The voucher windows' saves as a user makes them: numbering, a voucher opened for change and
// deleted, a number or a voucher changed by another station meanwhile, a failed save.
#include "voucherwindowsuite.h"

using qvt::accountId;
using qvt::child;
using qvt::detailRows;

class TstVoucherWindowSave : public qvt::VoucherWindowSuite {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { app.start(true); }
    void cleanup() { app.stop(); }

    void numberingFollowsTheSetupThenTheHighest()
    {
        Conn.execute("delete from DetJV where VouStatus = 'BR'");
        Conn.execute("delete from MasJV where VouStatus = 'BR'");
        Conn.execute("update VouSetting set VouNo = 500 where VouStatus = 'BR'");
        frmVoucher* w = open("frmBR");
        QCOMPARE(shownNumber(w), 500);
        addLine(w, {}, "SAIMA NAEEM", "250");
        click(w, "cmdSave");
        QCOMPARE(shownNumber(w), 501);
        // Without a setup row the first number is 0.
        Conn.execute("delete from DetJV where VouStatus = 'CR'");
        Conn.execute("delete from MasJV where VouStatus = 'CR'");
        Conn.execute("delete from VouSetting where VouStatus = 'CR'");
        QCOMPARE(shownNumber(open("frmCR")), 0);
    }

    // Opened for change: the lines come back, a save keeps the number and the master row,
    // and delete asks first.
    void openChangeAndDelete()
    {
        frmVoucher* w = open("frmBR");
        addLine(w, {}, "SAIMA NAEEM", "250", "booking");
        const qint64 number = shownNumber(w);
        click(w, "cmdSave");
        const qint64 master =
            Conn.scalar("select RowID from MasJV where VouStatus = 'BR' and VouNo = ?", {number}).toLongLong();

        w->openForChange(number);
        QCOMPARE(entryGrid(w)->rowCount(), 1);
        QCOMPARE(entryGrid(w)->item(0, 1)->text(), QString("HABIB BANK LTD - 0123-7"));
        QCOMPARE(entryGrid(w)->item(0, 2)->text(), QString("SAIMA NAEEM"));
        QCOMPARE(child<QLineEdit>(w, "txtDrAc")->text(), QString("HABIB BANK LTD - 0123-7"));
        QVERIFY(child<QPushButton>(w, "cmdDelete")->isEnabled());
        QVERIFY(!w->IsNewVoucher);
        addLine(w, {}, "FARHAN ALI", "70");
        click(w, "cmdSave");
        QCOMPARE(Conn.scalar("select RowID from MasJV where VouStatus = 'BR' and VouNo = ?", {number}).toLongLong(),
                 master);
        QCOMPARE(detailRows("BR", number).size(), 4);

        qvt::MsgRecorder rec;
        w->openForChange(number);
        rec.answers << QMessageBox::No;
        click(w, "cmdDelete");
        QCOMPARE(rec.last(), QString("are you sure Delete this Voucher "));
        QCOMPARE(detailRows("BR", number).size(), 4);
        rec.answers << QMessageBox::Yes;
        click(w, "cmdDelete");
        QCOMPARE(Conn.scalar("select count(*) from MasJV where VouStatus = 'BR' and VouNo = ?", {number}).toInt(), 0);
        QVERIFY(detailRows("BR", number).isEmpty());
        QVERIFY(!child<QPushButton>(w, "cmdDelete")->isEnabled());

        // A number of no voucher.
        child<QLineEdit>(w, "txtVoucher")->setText("987654");
        w->OpenVoucher();
        QCOMPARE(rec.last(), QString("Voucher not found!"));
    }

    // Another station saved the proposed number first: this voucher gets the next one and the
    // user is told; the other voucher is untouched.
    void takenNumberIsStoredUnderTheNext()
    {
        frmVoucher* w = open("frmJV");
        addLine(w, "OFFICE RENT", "CASH IN HAND", "40");
        const qint64 proposed = shownNumber(w);
        qv::Connection other;
        app.db().connect(other);
        qv::VoucherStore store(other);
        qv::Voucher v;
        v.kind = qv::VoucherKind::JV;
        v.number = proposed;
        v.date = QDate(2026, 1, 5);
        v.lines.push_back({accountId("VEHICLES"), {}, accountId("CASH IN HAND"), {}, qv::Money(999), {}, {}, {}, {}});
        store.save(v, true, "other");
        const QStringList theirs = detailRows("JV", proposed);

        qvt::MsgRecorder rec;
        click(w, "cmdSave");
        QCOMPARE(rec.seen.size(), 1);
        QVERIFY2(rec.last().contains(QString("JV-%1").arg(proposed + 1)), qPrintable(rec.last()));
        QCOMPARE(detailRows("JV", proposed), theirs);
        QCOMPARE(detailRows("JV", proposed + 1).size(), 2);
    }

    // Deleted by another station after it was opened: nothing is written, the lines stay,
    // and a second save stores them as a new voucher.
    void voucherDeletedMeanwhileKeepsItsLines()
    {
        frmVoucher* w = open("frmCR");
        addLine(w, {}, "TARIQ MEHMOOD", "300");
        const qint64 number = shownNumber(w);
        click(w, "cmdSave");
        w->openForChange(number);
        qv::VoucherStore(Conn).remove(qv::VoucherKind::CR, number);
        qvt::MsgRecorder rec;
        click(w, "cmdSave");
        QVERIFY2(rec.last().contains("deleted by another user"), qPrintable(rec.last()));
        QCOMPARE(entryGrid(w)->rowCount(), 1);
        QVERIFY(detailRows("CR", number).isEmpty());
        click(w, "cmdSave");
        QCOMPARE(entryGrid(w)->rowCount(), 0);
        QCOMPARE(
            Conn.scalar("select count(*) from MasJV where VouStatus = 'CR' and PaidReceive = '' and TotalAmount > 0 "
                        "and VouNo >= ?",
                        {number})
                .toInt(),
            1);
    }

    // A failing statement leaves the database as it was and the window with all its lines.
    void failedSaveKeepsEverything()
    {
        frmVoucher* w = open("frmJV");
        addLine(w, "OFFICE RENT", "CASH IN HAND", "12");
        addLine(w, "VEHICLES", "CASH IN HAND", "13");
        const int before = Conn.scalar("select count(*) from DetJV").toInt();
        int n = 0;
        Conn.setStatementHook([&n](const QString& sql) {
            if (sql.contains("DetJV", Qt::CaseInsensitive) && sql.startsWith("insert", Qt::CaseInsensitive) && ++n == 3)
                throw qv::DbError("disk I/O error");
        });
        qvt::MsgRecorder rec;
        click(w, "cmdSave");
        Conn.setStatementHook({});
        QCOMPARE(rec.texts(), QStringList{"disk I/O error"});
        QCOMPARE(rec.seen.last().icon, qv::Msg::Icon::Critical);
        QCOMPARE(Conn.scalar("select count(*) from DetJV").toInt(), before);
        QCOMPARE(entryGrid(w)->rowCount(), 2);
        click(w, "cmdSave");
        QCOMPARE(Conn.scalar("select count(*) from DetJV").toInt(), before + 4);
    }
};

QTEST_MAIN(TstVoucherWindowSave)
#include "tst_voucherwindowsave.moc"
