// Every multi-row save and delete of the program, with its k-th statement failing for every k:
// the whole database is exactly as before, the window shows the error and stays usable, and the
// same click then goes through.
#include "support/failing.h"
#include "support/fixture.h"
#include "db/monthsums.h"
#include "masters/accountstore.h"
#include "registrations/registrationstore.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "vouchers/frmvoucher.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

class TstFailingStatements : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    qint64 accountId(const QString& title)
    {
        return Conn.scalar("select RowID from Accounts where AcName = ?", {title}).toLongLong();
    }
    // The whole run: no failure may leave a trace, and there must have been statements to fail.
    void expectClean(const qvt::FailEachResult& r, int atLeast)
    {
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QVERIFY2(r.changed.isEmpty(), qPrintable(r.changed.join('\n')));
        QVERIFY2(r.statements >= atLeast, qPrintable(QString::number(r.statements)));
    }
    // After a failed click: the injected error was shown as a database error.
    std::function<void(int)> shownAsError(qvt::MsgRecorder& rec)
    {
        return [&rec](int k) {
            QVERIFY2(!rec.seen.isEmpty() && rec.seen.last().icon == qv::Msg::Icon::Critical
                         && rec.seen.last().text.contains(QString("injected failure at statement %1").arg(k)),
                     qPrintable(rec.texts().join(" | ")));
            rec.clear();
        };
    }
    frmVoucher* voucherWithLines(const QString& window)
    {
        auto* w = qv::Windows::open<frmVoucher>(window);
        auto put = [](QLineEdit* box, qint64 id, const QString& title) {
            box->setText(title);
            box->setProperty("tag", QString::number(id));
        };
        const char* lines[][2] = {{"OFFICE RENT", "125.50"}, {"VEHICLES", "74.50"}};
        for (const auto& l : lines) {
            put(qvt::child<QLineEdit>(w, "txtDrAc"), accountId(l[0]), l[0]);
            put(qvt::child<QLineEdit>(w, "txtCrAc"), accountId("CASH IN HAND"), "CASH IN HAND");
            qvt::child<QLineEdit>(w, "txtDRCR")->setText(l[1]);
            QTest::mouseClick(qvt::child<QPushButton>(w, "cmdAdd"), Qt::LeftButton);
        }
        return w;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { app.start(true); }
    void cleanup() { app.stop(); }

    void voucherSaveNewAndChanged()
    {
        frmVoucher* w = voucherWithLines("frmJV");
        const qint64 number = qvt::child<QLineEdit>(w, "txtVoucher")->text().toLongLong();
        qvt::MsgRecorder rec;
        auto usable = shownAsError(rec);
        expectClean(qvt::failEachStatement(
                        Conn, [&] { QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton); },
                        [&](int k) {
                            usable(k);
                            QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 2); // nothing typed is lost
                        }),
                    6);
        QCOMPARE(Conn.scalar("select count(*) from DetJV where VouStatus = 'JV' and VouNo = ?", {number}).toInt(), 4);

        w->openForChange(number);
        qvt::child<QLineEdit>(w, "txtDRCR")->setText("1");
        qvt::child<QLineEdit>(w, "txtDrAc")->setProperty("tag", QString::number(accountId("OFFICE RENT")));
        qvt::child<QLineEdit>(w, "txtCrAc")->setProperty("tag", QString::number(accountId("VEHICLES")));
        QTest::mouseClick(qvt::child<QPushButton>(w, "cmdAdd"), Qt::LeftButton);
        QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 3);
        expectClean(qvt::failEachStatement(
                        Conn, [&] { QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton); },
                        [&](int k) {
                            usable(k);
                            QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->rowCount(), 3);
                        }),
                    6);
        QCOMPARE(Conn.scalar("select count(*) from DetJV where VouStatus = 'JV' and VouNo = ?", {number}).toInt(), 6);
        QCOMPARE(qv::MonthSums::differences(Conn), QStringList()); // the sums moved with the saves that landed
    }

    void cashVoucherSaveAndDelete()
    {
        frmVoucher* w = voucherWithLines("frmCP");
        const qint64 number = qvt::child<QLineEdit>(w, "txtVoucher")->text().toLongLong();
        qvt::MsgRecorder rec;
        auto usable = shownAsError(rec);
        expectClean(
            qvt::failEachStatement(
                Conn, [&] { QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton); }, usable),
            4);
        w->openForChange(number);
        expectClean(qvt::failEachStatement(
                        Conn,
                        [&] {
                            w->openForChange(number);
                            QTest::mouseClick(qvt::child<QPushButton>(w, "cmdDelete"), Qt::LeftButton);
                        },
                        [&](int) { rec.clear(); }),
                    2);
        QCOMPARE(Conn.scalar("select count(*) from MasJV where VouStatus = 'CP' and VouNo = ?", {number}).toInt(), 0);
    }

    void menuRightsSave()
    {
        auto* w = qv::Windows::open("frmSecMenus");
        for (QCheckBox* box : w->findChildren<QCheckBox*>())
            box->setChecked(box->text() == "Vouchers");
        qvt::MsgRecorder rec;
        expectClean(qvt::failEachStatement(
                        Conn, [&] { QTest::mouseClick(w->findChild<QPushButton*>("cmdSave"), Qt::LeftButton); },
                        shownAsError(rec)),
                    28);
        QCOMPARE(Conn.scalar("select count(*) from Menus where Active = 1").toInt(), 1);
    }

    void voucherSetupSave()
    {
        auto* w = qv::Windows::open("frmAcSetting");
        w->findChild<QLineEdit*>("txtJV")->setText("700");
        qvt::MsgRecorder rec;
        expectClean(qvt::failEachStatement(
                        Conn, [&] { QTest::mouseClick(w->findChild<QPushButton*>("cmdSave"), Qt::LeftButton); },
                        shownAsError(rec)),
                    11);
        QCOMPARE(Conn.scalar("select VouNo from VouSetting where VouStatus = 'JV'").toInt(), 700);
    }

    void companySaveMovesTheActiveFlag()
    {
        auto* w = qv::Windows::open("frmCompany");
        w->findChild<QLineEdit*>("txtCompany")->setText("SECOND COMPANY");
        w->findChild<QCheckBox*>("chkComActive")->setChecked(true);
        qvt::MsgRecorder rec;
        expectClean(qvt::failEachStatement(
                        Conn, [&] { QTest::mouseClick(w->findChild<QPushButton*>("cmdNew"), Qt::LeftButton); },
                        [&](int k) {
                            shownAsError(rec)(k);
                            QCOMPARE(w->findChild<QLineEdit*>("txtCompany")->text(), QString("SECOND COMPANY"));
                        }),
                    2);
        QCOMPARE(Conn.scalar("select Company from Company where comActive = 'Y'").toString(),
                 QString("SECOND COMPANY"));
    }

    void removalOfVouchers()
    {
        auto* w = qv::Windows::open("frmRemoveData");
        w->findChild<QCheckBox*>("chkVouchers")->setChecked(true);
        w->findChild<QDateEdit*>("dtpFrom")->setDate(QDate(2000, 1, 1));
        qvt::MsgRecorder rec;
        const int vouchers = Conn.scalar("select count(*) from MasJV").toInt();
        QVERIFY(vouchers > 0);
        expectClean(qvt::failEachStatement(
                        Conn, [&] { QTest::mouseClick(w->findChild<QPushButton*>("cmdRemove"), Qt::LeftButton); },
                        [&](int) {
                            QVERIFY(rec.last().contains("Nothing was removed"));
                            rec.clear();
                        }),
                    2);
        QCOMPARE(Conn.scalar("select count(*) from MasJV").toInt(), 0);
        QCOMPARE(Conn.scalar("select count(*) from DetJV").toInt(), 0);
    }

    // The chart of accounts' multi-statement writes, at the store.
    void accountAddAndDelete()
    {
        qv::AccountStore store(Conn);
        const qint64 head = Conn.scalar("select RowID from Accounts where AcNodes = '5.1'").toLongLong();
        qv::SubsidiaryInput in;
        in.title = "NEW EXPENSE";
        in.openDate = QDate(2026, 1, 1);
        std::optional<qv::AddedAccount> added;
        expectClean(qvt::failEachStatement(Conn,
                                           [&] {
                                               try {
                                                   added = store.addSubsidiary(head, in);
                                               } catch (const qv::DbError&) {
                                               }
                                           }),
                    2);
        QVERIFY(added);
        expectClean(qvt::failEachStatement(Conn,
                                           [&] {
                                               try {
                                                   store.deleteAccount(added->rowId);
                                               } catch (const qv::DbError&) {
                                               }
                                           }),
                    2);
        QCOMPARE(Conn.scalar("select count(*) from Accounts where RowID = ?", {added->rowId}).toInt(), 0);
    }

    // Plot categories and customer applications, at the store.
    void registrations()
    {
        qv::RegistrationStore store(Conn);
        qv::CategoryInput cat;
        cat.fields = {{"Catagory", "1 KANAL"}, {"Amount", "1250000.50"}};
        cat.status = "Commercial";
        qv::RegistrationResult saved;
        auto quiet = [](auto&& f) {
            return [f] {
                try {
                    f();
                } catch (const qv::DbError&) {
                }
            };
        };
        expectClean(qvt::failEachStatement(Conn, quiet([&] { saved = store.saveCategory(cat); })), 2);
        QVERIFY(saved.ok());
        qv::ApplicationInput app;
        app.acCode = QString::number(accountId("ZUBAIR AHMED"));
        app.fields = {{"RegNo", "R-77"}, {"Name", "ZUBAIR AHMED"}};
        app.regDate = QDate(2026, 3, 1);
        app.dateOfBirth = QDate(1980, 1, 1);
        app.sex = "Male";
        expectClean(qvt::failEachStatement(Conn, quiet([&] { saved = store.saveApplication(app); })), 2);
        QVERIFY2(saved.ok(), qPrintable(saved.message));
        QVERIFY(store.application(saved.key));
    }
};

QTEST_MAIN(TstFailingStatements)
#include "tst_failingstatements.moc"
