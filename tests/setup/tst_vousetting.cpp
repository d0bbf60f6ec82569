// The voucher setup window: loading the stored rows, the finder hand-over by the last
// "Find A/C" pressed, the clear buttons, and a save that rewrites the eleven rows at once
// or changes nothing.
#include "shell/windows.h"
#include "masters/frmfindac.h"
#include "setup/frmacsetting.h"
#include "setup/vousettingstore.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"
#include "support/fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>

namespace {
// Every stored row as text, for "nothing changed" checks.
QStringList snapshot()
{
    QStringList out;
    QSqlQuery q = Conn.query("select VouStatus, VouNo, AcCode, AcStatus, Fix, OthAcCode, ITaxAC, STaxAC "
                             "from VouSetting order by RowID");
    while (q.next()) {
        QStringList f;
        for (int i = 0; i < 8; ++i)
            f << (q.value(i).isNull() ? QString("<null>") : q.value(i).toString());
        out << f.join('|');
    }
    return out;
}

QVariant stored(const QString& kind, const QString& column)
{
    return Conn.scalar(QString("select %1 from VouSetting where VouStatus = ?").arg(column), {kind});
}

qint64 accountId(const QString& nodes)
{
    return Conn.scalar("select RowID from Accounts where AcNodes = ?", {nodes}).toLongLong();
}
} // namespace

class TstVouSetting : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    frmAcSetting* openSetup()
    {
        app.main()->menuEntry("mnuVocSetting")->trigger();
        auto* w = qvt::findWindow<frmAcSetting>(app.main(), "frmAcSetting");
        if (!w)
            qFatal("voucher setup not shown");
        return w;
    }
    template <class T = QLineEdit> T* child(QWidget* w, const char* name)
    {
        T* c = w->findChild<T*>(name);
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    QString tag(QWidget* w, const char* box) { return child(w, box)->property("tag").toString(); }
    void click(QWidget* w, const char* button) { QTest::mouseClick(child<QPushButton>(w, button), Qt::LeftButton); }
    // Picks the account with that title in the finder that is showing, by double click.
    void pickInFinder(const QString& title)
    {
        auto* f = qvt::findWindow<frmFindAC>(app.main(), "frmFindAC");
        QVERIFY(f);
        auto* g = child<QTableView>(f, "mshSearch");
        QTest::keyClicks(child(f, "txtFindAC"), title);
        QCOMPARE(qvt::cellText(g, 0, 2), title);
        const QPoint p = g->visualRect(g->model()->index(0, 2)).center();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, p);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qvt::findWindow(app.main(), "frmFindAC"));
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
        app.main()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main()));
    }
    void cleanup() { app.stop(); }

    void loadsStoredRows()
    {
        // A tax row with four accounts, one of them a control account that shows no title.
        Conn.execute("update VouSetting set VouNo = 500, AcCode = ?, OthAcCode = ?, ITaxAC = ?, STaxAC = ? "
                     "where VouStatus = 'TI'",
                     {accountId("5.1.1"), accountId("5.1.2"), accountId("5.1"), accountId("2.1.1")});
        Conn.execute("update VouSetting set AcStatus = 'XX', Fix = 'Y' where VouStatus = 'BP'");
        frmAcSetting* w = openSetup();
        QCOMPARE(w->windowTitle(), QString("Voucher Setup"));
        QCOMPARE(w->subWindow()->pos(), QPoint(0, 0));
        QCOMPARE(w->subWindow()->size(), QSize(1020, 704));
        QCOMPARE(child(w, "txtCP")->text(), QString("1"));
        QCOMPARE(child(w, "txtCPAcc")->text(), QString("CASH IN HAND"));
        QCOMPARE(tag(w, "txtCPAcc"), QString::number(accountId("1.1.1")));
        QVERIFY(child(w, "txtCPAcc")->isReadOnly());
        QVERIFY(child<QRadioButton>(w, "optCPCr")->isChecked());
        QVERIFY(!child<QRadioButton>(w, "optCPDr")->isChecked());
        QVERIFY(child<QRadioButton>(w, "optCRDr")->isChecked());
        // A side that is neither "DR" nor "CR" loads with both options off.
        QVERIFY(!child<QRadioButton>(w, "optBPDr")->isChecked());
        QVERIFY(!child<QRadioButton>(w, "optBPCr")->isChecked());
        QVERIFY(child<QCheckBox>(w, "chkBPYN")->isChecked());
        QCOMPARE(child(w, "txtBPAcc")->text(), QString("HABIB BANK LTD - 0123-7"));
        QCOMPARE(child(w, "txtJVAcc")->text(), QString());
        QCOMPARE(tag(w, "txtJVAcc"), QString());
        QCOMPARE(child(w, "txtTaxInv")->text(), QString("500"));
        QCOMPARE(child(w, "txtSTaxACC")->text(), QString("SALARIES AND WAGES"));
        QCOMPARE(child(w, "txtShortFLLAC")->text(), QString("OFFICE RENT"));
        QCOMPARE(child(w, "txtIncTaxACRpt")->text(), QString());
        QCOMPARE(tag(w, "txtIncTaxACRpt"), QString::number(accountId("5.1")));
        QCOMPARE(child(w, "txtSalTaxAcRpt")->text(), QString("LUCKY CEMENT DEALERS"));
        QStringList labels;
        for (QLabel* l : w->findChildren<QLabel*>())
            labels << l->text();
        for (const char* l : {"Start Sale Invoice  Number:", "Start Delivery Chelan Number:",
                              "Select Shor/Fll Account (Report)", "Start Non GST Invoice Number:"})
            QVERIFY2(labels.contains(l), l);

        // Saved back unchanged but for the odd side, which becomes null.
        const QStringList before = snapshot();
        {
            qvt::MsgRecorder rec;
            click(w, "cmdSave");
            QCOMPARE(rec.texts(), QStringList({"Sucessfully  save you Voucher Setting"}));
        }
        QStringList after = snapshot();
        QCOMPARE(after.size(), 11);
        QVERIFY(stored("BP", "AcStatus").isNull());
        QCOMPARE(stored("BP", "Fix").toString(), QString("Y"));
        QCOMPARE(stored("TI", "ITaxAC").toLongLong(), accountId("5.1"));
        QCOMPARE(after.filter("|XX|").size(), 0);
        QCOMPARE(before.filter("|XX|").size(), 1);
    }

    void emptyTableOpensEmpty()
    {
        Conn.execute("delete from VouSetting");
        frmAcSetting* w = openSetup();
        for (QLineEdit* e : w->findChildren<QLineEdit*>()) {
            QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
            QVERIFY2(e->property("tag").toString().isEmpty(), qPrintable(e->objectName()));
        }
        for (QRadioButton* b : w->findChildren<QRadioButton*>())
            QVERIFY(!b->isChecked());
        for (QCheckBox* b : w->findChildren<QCheckBox*>())
            QVERIFY(!b->isChecked());
        QCOMPARE(w->findChildren<QLineEdit*>().size(), 22);
        QCOMPARE(w->findChildren<QRadioButton*>().size(), 12);
    }

    void pickLandsInTheBoxOfTheLastFindPressed()
    {
        frmAcSetting* w = openSetup();
        click(w, "cmdJVFindAC");
        QVERIFY(qvt::findWindow(app.main(), "frmFindAC"));
        click(w, "cmdSalInvFindAC"); // the open finder comes back; this box is now the target
        QCOMPARE(w->findCode(), QString("SI"));
        pickInFinder("TRANSFER FEE");
        QCOMPARE(app.main()->mdiArea()->activeSubWindow(), w->subWindow());
        QCOMPARE(child(w, "txtSalInvACC")->text(), QString("TRANSFER FEE"));
        QCOMPARE(tag(w, "txtSalInvACC"), QString::number(accountId("4.2.1")));
        QCOMPARE(child(w, "txtJVAcc")->text(), QString());
        QVERIFY(child<QPushButton>(w, "cmdSalInvFindAC")->hasFocus());
        QCOMPARE(FindACRowID.toInt(), 0);
        QVERIFY(FindACName.isEmpty());

        // A second activation changes nothing.
        child(w, "txtSalInvACC")->setText("unchanged");
        QMdiSubWindow* other = qv::Windows::open("frmFindAC")->subWindow();
        app.main()->mdiArea()->setActiveSubWindow(w->subWindow());
        QCOMPARE(child(w, "txtSalInvACC")->text(), QString("unchanged"));

        // "Exit" in the finder hands nothing back.
        other->widget()->close();
        click(w, "cmdFindSTaxAC");
        auto* f = qvt::findWindow<frmFindAC>(app.main(), "frmFindAC");
        QTest::mouseClick(child<QPushButton>(f, "cmdExit"), Qt::LeftButton);
        QCOMPARE(app.main()->mdiArea()->activeSubWindow(), w->subWindow());
        QCOMPARE(child(w, "txtSTaxACC")->text(), QString());
        QCOMPARE(tag(w, "txtSTaxACC"), QString());

        // The report accounts of the tax panel, then the save stores the tags.
        click(w, "cmdIncTaxAC");
        pickInFinder("OFFICE RENT");
        QCOMPARE(child(w, "txtIncTaxACRpt")->text(), QString("OFFICE RENT"));
        qvt::MsgRecorder rec;
        click(w, "cmdSave");
        QCOMPARE(stored("SI", "AcCode").toLongLong(), accountId("4.2.1"));
        QCOMPARE(stored("TI", "ITaxAC").toLongLong(), accountId("5.1.2"));
        QVERIFY(stored("TI", "AcCode").isNull());
    }

    void pickForNoKnownBoxIsStillConsumed()
    {
        frmAcSetting* w = openSetup();
        QVERIFY(w->findCode().isEmpty());
        auto boxes = [w] {
            QStringList out;
            for (QLineEdit* e : w->findChildren<QLineEdit*>())
                out << e->objectName() + '=' + e->text() + '/' + e->property("tag").toString();
            return out;
        };
        const QStringList before = boxes();
        FindACRowID = QString::number(accountId("1.1.1"));
        FindACName = "CASH IN HAND";
        qv::Windows::open("frmFindAC");
        app.main()->mdiArea()->setActiveSubWindow(w->subWindow());
        QCOMPARE(FindACRowID.toInt(), 0);
        QVERIFY(FindACName.isEmpty());
        QCOMPARE(boxes(), before);
    }

    void clearedPanelIsSavedAsAnEmptyRow()
    {
        frmAcSetting* w = openSetup();
        click(w, "cmdClearCP");
        QCOMPARE(child(w, "txtCP")->text(), QString());
        QCOMPARE(child(w, "txtCPAcc")->text(), QString());
        QVERIFY(!child<QRadioButton>(w, "optCPCr")->isChecked());
        // The other panels stay.
        QCOMPARE(child(w, "txtCRAcc")->text(), QString("CASH IN HAND"));
        child<QCheckBox>(w, "chkCRYN")->click();
        child(w, "txtPurOrder")->clear();
        QTest::keyClicks(child(w, "txtPurOrder"), "1234567890");
        QCOMPARE(child(w, "txtPurOrder")->text(), QString("12345678"));
        qvt::MsgRecorder rec;
        click(w, "cmdSave");
        QCOMPARE(rec.texts(), QStringList({"Sucessfully  save you Voucher Setting"}));
        QCOMPARE(Conn.scalar("select count(*) from VouSetting").toInt(), 11);
        QCOMPARE(Conn.scalar("select count(*) from VouSetting where VouStatus = 'CP'").toInt(), 1);
        QVERIFY(stored("CP", "VouNo").isNull());
        QVERIFY(stored("CP", "AcCode").isNull());
        QVERIFY(stored("CP", "AcStatus").isNull());
        QCOMPARE(stored("CP", "Fix").toString(), QString("N"));
        QCOMPARE(stored("CR", "Fix").toString(), QString("Y"));
        QCOMPARE(stored("CR", "AcStatus").toString(), QString("DR"));
        QCOMPARE(stored("PO", "VouNo").toLongLong(), 12345678);
        QVERIFY(stored("PO", "Fix").isNull());
        // The window stays with its contents; opened again, the empty start number shows empty.
        QCOMPARE(child(w, "txtCRAcc")->text(), QString("CASH IN HAND"));
        w->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w = openSetup();
        QCOMPARE(child(w, "txtCP")->text(), QString());
        QCOMPARE(child(w, "txtPurOrder")->text(), QString("12345678"));
        QVERIFY(child<QCheckBox>(w, "chkCRYN")->isChecked());
    }

    void taxClearKeepsReportAccountsAndClearAllEmptiesAll()
    {
        Conn.execute("update VouSetting set VouNo = 9, AcCode = ?, OthAcCode = ?, ITaxAC = ?, STaxAC = ? "
                     "where VouStatus = 'TI'",
                     {accountId("5.1.1"), accountId("5.1.2"), accountId("5.1.3"), accountId("5.1.4")});
        Conn.execute("update VouSetting set VouNo = 3, AcCode = ? where VouStatus = 'GI'", {accountId("4.1.1")});
        frmAcSetting* w = openSetup();
        click(w, "cmdClearSTax");
        QCOMPARE(child(w, "txtTaxInv")->text(), QString());
        QCOMPARE(tag(w, "txtSTaxACC"), QString());
        QCOMPARE(tag(w, "txtShortFLLAC"), QString());
        QCOMPARE(child(w, "txtIncTaxACRpt")->text(), QString("ELECTRICITY AND GAS"));
        QCOMPARE(tag(w, "txtSalTaxAcRpt"), QString::number(accountId("5.1.4")));
        click(w, "cmdClearGst");
        QCOMPARE(child(w, "txtGstInv")->text(), QString());
        QCOMPARE(tag(w, "txtGstACC"), QString());

        click(w, "cmdClear");
        for (QLineEdit* e : w->findChildren<QLineEdit*>())
            QVERIFY(e->text().isEmpty() && e->property("tag").toString().isEmpty());
        for (QRadioButton* b : w->findChildren<QRadioButton*>())
            QVERIFY(!b->isChecked());
        for (QCheckBox* b : w->findChildren<QCheckBox*>())
            QVERIFY(!b->isChecked());
        qvt::MsgRecorder rec;
        click(w, "cmdSave");
        QCOMPARE(Conn.scalar("select count(*) from VouSetting where VouNo is null and AcCode is null "
                             "and AcStatus is null and OthAcCode is null and ITaxAC is null and STaxAC is null")
                     .toInt(),
                 11);
        QCOMPARE(Conn.scalar("select count(*) from VouSetting where Fix = 'N'").toInt(), 6);
    }

    void badStartNumberIsRefusedAndNothingChanges()
    {
        frmAcSetting* w = openSetup();
        click(w, "cmdClearCP");
        const QStringList before = snapshot();
        QLineEdit* bp = child(w, "txtBP");
        for (const char* typed : {"12.5", "abc", "-3", "1 2"}) {
            bp->clear();
            QTest::keyClicks(bp, typed);
            qvt::MsgRecorder rec;
            click(w, "cmdSave");
            QCOMPARE(rec.seen.size(), 1);
            QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Information);
            QCOMPARE(rec.last(), QString("Start Bank Payment Voucher Number: \"%1\" is not a whole number. "
                                         "Please type digits only, or leave the box empty.")
                                     .arg(typed));
            QVERIFY(bp->hasFocus());
            QCOMPARE(snapshot(), before);
        }
        // Blanks around a number are forgiven.
        bp->setText(" 25 ");
        qvt::MsgRecorder rec;
        click(w, "cmdSave");
        QCOMPARE(stored("BP", "VouNo").toLongLong(), 25);
    }

    void failingSaveLeavesStoredRowsUntouched()
    {
        frmAcSetting* w = openSetup();
        click(w, "cmdClearBR");
        const QStringList before = snapshot();
        int inserts = 0;
        Conn.setStatementHook([&inserts](const QString& sql) {
            if (sql.startsWith("insert into VouSetting") && ++inserts == 6)
                throw qv::DbError("injected failure");
        });
        qvt::MsgRecorder rec;
        click(w, "cmdSave");
        Conn.setStatementHook({});
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Critical);
        QCOMPARE(rec.last(), QString("injected failure"));
        QCOMPARE(snapshot(), before);
        // The window stays usable: the same save goes through now.
        rec.clear();
        click(w, "cmdSave");
        QCOMPARE(rec.texts(), QStringList({"Sucessfully  save you Voucher Setting"}));
        QVERIFY(stored("BR", "AcCode").isNull());
    }
};

QTEST_MAIN(TstVouSetting)
#include "tst_vousetting.moc"
