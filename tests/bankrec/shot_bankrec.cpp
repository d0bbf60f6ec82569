// Screenshots for the README (run by hand under Xvfb, not part of ctest): the reconciliation
// window in the middle of February's reconciliation, the proposed matches of an imported
// statement, and the reconciliation statement as a PDF (/tmp/bankrec-statement.pdf, for pdftoppm).
#include "bankrec/frmbankrec.h"
#include "bankrec/recstatement.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "support/adminrun.h"
#include "support/fixture.h"
#include "tests/bankrec/bankexample.h"
#include "widgets/accountbox.h"
#include "widgets/datebox.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using Ex = qvt::BankExample;

class ShotBankRec : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
private slots:
    void shot()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        SetProgramFolder(QVT_TEMPLATES_DIR);
        qvt::MsgRecorder answers; // the question before the window's ticks are dropped at the end
        app.start(false);
        Conn.execute("insert into Company (Company, comAddr, comTel, comActive) values ('FENDRAL ESTATES', "
                     "'12 Canal Road, Lahore', '042-1234567', 'Y')");
        Ex ex;
        ex.make(Conn, LoginUser);
        app.main()->resize(1200, 780);
        app.main()->show();
        // January is reconciled; February is under way.
        {
            qv::Reconciliation rec(TheBook);
            QHash<qint64, QDate> ticks;
            const auto when = Ex::cleared(1);
            for (const qv::BankLine& l : rec.lines(ex.bank, Ex::jan31()))
                if (when.contains(l.voucher()))
                    ticks.insert(l.rowId, when.value(l.voucher()));
            rec.finish(ex.bank, Ex::jan31(), qvt::units(13000), ticks, LoginUser);
        }
        QVERIFY(qv::Windows::runMenu(QStringLiteral("mnuBankRec")));
        auto* w = qvt::findWindow<frmBankRec>(app.main(), "frmBankRec");
        QVERIFY(w);
        w->subWindow()->resize(1000, 600);
        qvt::child<qv::AccountBox>(w, "txtBank")->setAccount(ex.bank, "HABIB BANK");
        qvt::child<qv::DateBox>(w, "dtpStatement")->setDate(Ex::feb28());
        qvt::child<QLineEdit>(w, "txtStatementBal")->setText("16,300.00");
        w->cmdShow_Click();
        auto* grid = qvt::child<QTableWidget>(w, "grdLines");
        w->toggleRow(0);
        w->toggleRow(1);
        grid->item(0, 1)->setText("03-02-2026");
        grid->item(1, 1)->setText("02-02-2026");
        qvt::child<QLineEdit>(w, "txtCheque")->setText("10010");
        grid->setCurrentCell(2, 5);
        QTest::qWait(300);
        app.main()->grab().save(QStringLiteral(QVT_SHOTS "/bank-reconciliation.png"));

        // The bank's February statement, imported.
        QTemporaryDir tmp;
        const QString csv = tmp.filePath("habib-feb.csv");
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Date,Description,Cheque,Debit,Credit,Balance\n"
                "14-02-2026,CLEARING CUSTOMER,,,2500.00,16000.00\n"
                "27-02-2026,CHEQUE PAID,100104,700.00,,15300.00\n"
                "28-02-2026,BANK CHARGES,,45.00,,15255.00\n");
        f.close();
        frmBankRec::chooseStatementFile = [csv](QWidget*) { return csv; };
        frmBankRec::confirmProposals = [](QDialog* d) {
            d->show();
            QTest::qWait(300);
            d->grab().save(QStringLiteral(QVT_SHOTS "/bank-import-proposals.png"));
            return true;
        };
        w->cmdImport_Click();
        frmBankRec::chooseStatementFile = nullptr;
        frmBankRec::confirmProposals = nullptr;

        const qvt::AdminRun r =
            qvt::runAdmin({"report", "rptBankRec.rpt", "--server", app.db().dataSource, "--catalog", app.db().catalog,
                           "--user", app.db().user, "--password", app.db().password, "--pdf",
                           "/tmp/bankrec-statement.pdf", "--exec", qv::bankRecStatement(ex.bank, Ex::jan31())});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        w->close();
        app.stop();
    }
};
QTEST_MAIN(ShotBankRec)
#include "shot_bankrec.moc"
