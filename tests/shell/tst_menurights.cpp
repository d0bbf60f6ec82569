// Menu rights: the rights sheet (frmSecMenus) reached through "Set Menus" and the lock gate,
// what "&Save" stores, and what ApplyMenus makes of the stored rows.
#include "shell/windows.h"
#include "adminhelpers.h"
#include "shell/applymenus.h"
#include "shell/frmremovedata.h"
#include "db/menurights.h"
#include "shell/mdl_connection.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

namespace {
const char* const GovernedByOthers[] = {"mnuCompany",   "mnuChartOfAC",    "mnuVocSetting", "mnuCashBook",
                                        "mnuBankBook",  "mnuSimpleLedger", "mnuDetLedger",  "mnuSubTBSimple",
                                        "mnuControlTB", "mnuSubTBWOB"};

QList<QPair<QString, int>> storedRights()
{
    QList<QPair<QString, int>> out;
    QSqlQuery q = Conn.query("select Menus, Active from Menus order by RowID");
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toInt()});
    return out;
}
} // namespace

class TstMenuRights : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    MDIForm1* m() const { return app.main(); }
    QWidget* openSheet()
    {
        qvt::openThroughGate(m(), "mnuSetMenu", app.db().lockPassword);
        return qvt::findWindow(m(), "frmSecMenus");
    }
    static QCheckBox* box(QWidget* w, const QString& name) { return w->findChild<QCheckBox*>(name); }
    // Leaves exactly the named boxes ticked, clicking as a user does.
    static void tickOnly(QWidget* w, const QStringList& names)
    {
        for (const qv::MenuRight& r : qv::MenuRights) {
            QCheckBox* b = box(w, r.box);
            if (b->isChecked() != names.contains(QLatin1String(r.box)))
                QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
        }
    }
    bool visible(const char* entry) const { return m()->menuEntry(entry)->isVisible(); }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { app.start(); }
    void cleanup() { app.stop(); }

    void sheetShowsStoredRights()
    {
        // Rows as another station left them: one right off, "Terms && Condition" on, one row missing.
        Conn.execute("update Menus set Active = 0 where Menus = ?", {"Vouchers"});
        Conn.execute("delete from Menus where Menus = ?", {"GRN Entry"});
        QWidget* w = openSheet();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QString("Menus"));
        QVERIFY(qvt::placedAt(w, 1000, 1500));
        auto* frame1 = w->findChild<QGroupBox*>("Frame1");
        auto* frame2 = w->findChild<QGroupBox*>("Frame2");
        QCOMPARE(frame1->title(), QString("Menus"));
        QCOMPARE(frame2->title(), QString("Reports"));
        for (const qv::MenuRight& r : qv::MenuRights) {
            QCheckBox* b = box(w, r.box);
            QVERIFY2(b, r.box);
            QCOMPARE(b->text(), QString::fromUtf8(r.caption));
            QCOMPARE(b->parentWidget(), r.reports ? frame2 : frame1);
        }
        QCOMPARE(w->findChildren<QCheckBox*>().size(), 28);
        QVERIFY(box(w, "Check1")->isChecked());
        QVERIFY(box(w, "Check1")->font().bold());
        QVERIFY(!box(w, "Check4")->isChecked());
        QVERIFY(!box(w, "Check4")->font().bold());
        QVERIFY(box(w, "Check11")->isChecked());  // "Terms && Condition" matched as stored
        QVERIFY(!box(w, "Check14")->isChecked()); // no row: stays unticked
        QCOMPARE(w->findChild<QPushButton*>("cmdSave")->text(), QString("&Save"));
        QCOMPARE(w->findChild<QPushButton*>("Command1")->text(), QString("E&xit"));

        // A click shows the caption in bold while the box is ticked.
        QCheckBox* b = box(w, "Check4");
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
        QVERIFY(b->isChecked() && b->font().bold());
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
        QVERIFY(!b->isChecked() && !b->font().bold());
    }

    void onlyVouchersTicked()
    {
        QWidget* w = openSheet();
        QVERIFY(w);
        tickOnly(w, {"Check4"});
        qvt::MsgRecorder rec;
        w->findChild<QPushButton*>("cmdSave")->click();
        QVERIFY(rec.seen.isEmpty()); // no message on a save
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qvt::isLoaded(m(), "frmSecMenus"));
        // Exactly 28 rows, in the sheet's order, only "Vouchers" active.
        const auto rows = storedRights();
        QCOMPARE(rows.size(), 28);
        for (int i = 0; i < 28; ++i) {
            QCOMPARE(rows[i].first, QString::fromUtf8(qv::MenuRights[i].caption));
            QCOMPARE(rows[i].second, rows[i].first == "Vouchers" ? 1 : 0);
        }
        // The unload applied them at once.
        QVERIFY(m()->homePanelVisible());
        QVERIFY(visible("mnuMainVouc"));
        for (const char* e : GovernedByOthers)
            QVERIFY2(!visible(e), e);
        for (const char* e : {"mnuMainRpt", "mnuMainTrans", "mnu_Reg_Form", "mnuCatagory", "mnuApp", "mnuCPVou",
                              "mnuSetMenu", "mnuAddUser", "mnuRemoveData", "mnuExit"})
            QVERIFY2(visible(e), e);
    }

    void reportRightLeavesReportsAlone()
    {
        for (bool ticked : {true, false}) {
            QWidget* w = openSheet();
            QVERIFY(w);
            tickOnly(w, ticked ? QStringList{"Check5"} : QStringList{"Check1"});
            w->findChild<QPushButton*>("cmdSave")->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY2(visible("mnuMainRpt"), ticked ? "Report ticked" : "Report unticked");
            QVERIFY(!visible("mnuCashBook"));
        }
    }

    void exactCaptionsOnlyAndLaterRowWins()
    {
        // Rows that differ from an entry's caption in letter case or blanks govern nothing.
        Conn.execute("insert into Menus (Menus, Active) values (?, 0)", {"company"});
        Conn.execute("insert into Menus (Menus, Active) values (?, 0)", {"VOUCHERS"});
        Conn.execute("insert into Menus (Menus, Active) values (?, 0)", {"Voucher Setup "});
        Conn.execute("insert into Menus (Menus, Active) values (?, 0)", {"reports"});
        ApplyMenus();
        for (const char* e : {"mnuCompany", "mnuMainVouc", "mnuVocSetting", "mnuMainRpt"})
            QVERIFY2(visible(e), e);
        // Two rows of one caption: the later one wins, whichever way.
        Conn.execute("insert into Menus (Menus, Active) values (?, 0)", {"Company"});
        ApplyMenus();
        QVERIFY(!visible("mnuCompany"));
        Conn.execute("insert into Menus (Menus, Active) values (?, 1)", {"Company"});
        ApplyMenus();
        QVERIFY(visible("mnuCompany"));
        // A row naming an entry that no right of the sheet names still governs it.
        Conn.execute("insert into Menus (Menus, Active) values (?, 0)", {"Catagory"});
        ApplyMenus();
        QVERIFY(!visible("mnuCatagory"));
    }

    void allUntickedIsTheNoRightCase()
    {
        // One entry hidden before, to see that the no-right case leaves the rest as it is.
        Conn.execute("update Menus set Active = 0 where Menus = ?", {"Company"});
        ApplyMenus();
        QVERIFY(!visible("mnuCompany"));
        QWidget* w = openSheet();
        QVERIFY(w);
        tickOnly(w, {});
        w->findChild<QPushButton*>("cmdSave")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const auto rows = storedRights();
        QCOMPARE(rows.size(), 28);
        for (const auto& r : rows)
            QCOMPARE(r.second, 0);
        QVERIFY(!visible("mnuMainTrans"));
        QVERIFY(!visible("mnuMainRpt"));
        QVERIFY(visible("mnu_Reg_Form"));
        QVERIFY(visible("mnuAdmin"));
        QVERIFY(!visible("mnuCompany"));  // unchanged: still hidden
        QVERIFY(visible("mnuChartOfAC")); // unchanged: still shown
        // An empty table is the same case.
        Conn.execute("delete from Menus");
        m()->menuEntry("mnuMainTrans")->setVisible(true);
        ApplyMenus();
        QVERIFY(!visible("mnuMainTrans"));
    }

    void failedSaveKeepsPreviousRights()
    {
        const auto before = storedRights();
        QCOMPARE(before.size(), 28);
        QWidget* w = openSheet();
        QVERIFY(w);
        tickOnly(w, {"Check2"});
        int inserts = 0;
        Conn.setStatementHook([&](const QString& sql) {
            if (sql.startsWith("insert into Menus") && ++inserts == 14)
                throw qv::DbError("disk I/O error (injected)");
        });
        qvt::MsgRecorder rec;
        w->findChild<QPushButton*>("cmdSave")->click();
        Conn.setStatementHook({});
        QCOMPARE(inserts, 14);
        QCOMPARE(rec.seen.size(), 1);
        QCOMPARE(rec.seen[0].icon, qv::Msg::Icon::Critical);
        QVERIFY(rec.last().contains("disk I/O error (injected)"));
        QCOMPARE(storedRights(), before);
        QVERIFY(!Conn.inTransaction());
        // The sheet stays open with the user's ticks, and a second save lands.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(qvt::isLoaded(m(), "frmSecMenus"));
        QVERIFY(box(w, "Check2")->isChecked() && !box(w, "Check1")->isChecked());
        w->findChild<QPushButton*>("cmdSave")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qvt::isLoaded(m(), "frmSecMenus"));
        QCOMPARE(Conn.scalar("select count(*) from Menus where Active = 1").toInt(), 1);
        QVERIFY(visible("mnuChartOfAC") && !visible("mnuCompany"));
    }

    void exitSavesNothing()
    {
        const auto before = storedRights();
        QWidget* w = openSheet();
        QVERIFY(w);
        tickOnly(w, {});
        QVERIFY(!m()->homePanelVisible());
        w->findChild<QPushButton*>("Command1")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!qvt::isLoaded(m(), "frmSecMenus"));
        QCOMPARE(storedRights(), before);
        QVERIFY(m()->homePanelVisible());
    }

    void closingOneOfTwoShowsHomePanel()
    {
        QWidget* sheet = openSheet();
        QVERIFY(sheet);
        m()->close_Menu();
        qv::Windows::open("frmRemoveData");
        QVERIFY(!m()->homePanelVisible());
        // Rights changed meanwhile are applied by the closing.
        Conn.execute("update Menus set Active = 0 where Menus = ?", {"Chart Of Accounts"});
        sheet->findChild<QPushButton*>("Command1")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(qvt::isLoaded(m(), "frmRemoveData"));
        QVERIFY(m()->homePanelVisible());
        QVERIFY(!visible("mnuChartOfAC"));
    }
};

QTEST_MAIN(TstMenuRights)
#include "tst_menurights.moc"
