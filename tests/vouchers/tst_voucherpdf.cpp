// Each kind's printed voucher as quoravel-admin writes it to PDF, read back with pdftotext:
// the voucher's number with its prefix, its party, every line's account and amount (as the
// voucher store reads them back, not as the template selects them), the total and the total in
// words; no other voucher; and the cash account of a cash voucher named once, not as a line.
#include "db/money.h"
#include "reportengine/amountwords.h"
#include "support/adminrun.h"
#include "support/fixture.h"
#include "vouchers/voucherprint.h"
#include "vouchers/voucherstore.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

class TstVoucherPdf : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    QTemporaryDir tmp;

    // The PDF's text in drawing order, every run of blanks and line breaks made one space, so that
    // a title wrapped in its column still reads as one.
    static QString text(const QString& pdf)
    {
        QProcess p;
        p.start("pdftotext", {"-raw", pdf, "-"});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            return "<pdftotext failed>";
        return QString::fromUtf8(p.readAllStandardOutput()).simplified();
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        db = qvt::TestDb::create(true);
    }
    void cleanupTestCase() { db.drop(); }

    void eachKind_data()
    {
        QTest::addColumn<int>("kind");
        for (const qv::VoucherKindInfo& k : qv::voucherKinds())
            QTest::newRow(qPrintable(k.code)) << int(k.kind);
    }
    void eachKind()
    {
        QFETCH(int, kind);
        const qv::VoucherKindInfo& k = qv::voucherKind(qv::VoucherKind(kind));
        qv::Connection c;
        db.connect(c);
        qv::VoucherStore store(c);
        const std::optional<qv::Voucher> v = store.open(k.kind, 7);
        QVERIFY(v && !v->lines.empty());

        const QString pdf = tmp.filePath(k.code + ".pdf");
        const qvt::AdminRun r = qvt::runAdmin({"report", k.reportTemplate.mid(1), "--server", db.dataSource,
                                               "--catalog", db.catalog, "--user", db.user, "--password", db.password,
                                               "--selection", voucherSelection(k, "7"), "--pdf", pdf});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString t = text(pdf);

        QVERIFY2(t.contains(k.caption.toUpper()), qPrintable(t));
        QVERIFY2(t.contains(k.prefix + "7 "), qPrintable(t));
        QVERIFY(!t.contains(k.prefix + "8 ")); // one voucher only
        QVERIFY(t.contains(v->date.toString("dd-MM-yyyy")));
        const QString party = k.partyLabel.left(k.partyLabel.indexOf(" :")) + ": " + v->party;
        QVERIFY2(t.contains(party), qPrintable(party));
        // Every line: its account(s) and amount, in the order of the voucher.
        qsizetype at = 0;
        for (const qv::VoucherLine& l : v->lines) {
            const QString account = k.contraBox() == qv::CrBox   ? l.drName
                                    : k.contraBox() == qv::DrBox ? l.crName
                                                                 : l.drName + " " + l.crName;
            const qsizetype found = t.indexOf(account + " ", at);
            QVERIFY2(found >= 0, qPrintable(account + " in " + t));
            at = t.indexOf(qv::displayAmount(l.amount), found);
            QVERIFY2(at > found, qPrintable(qv::displayAmount(l.amount)));
        }
        const qv::Money total = v->total();
        QVERIFY(t.contains("Total: " + qv::displayAmount(total)));
        QVERIFY(t.contains(qv::rpt::amountInWords(total)));
        for (const char* caption : {"Prepared by", "Checked by", "Approved by", "Received by"})
            QVERIFY(t.contains(caption));
        QVERIFY(t.contains("Entered by: "));
        if (k.shape == qv::RowShape::LinePlusCash) {
            const qv::VoucherLine& first = v->lines.front();
            const QString cash = k.contraBox() == qv::CrBox ? first.crName : first.drName;
            QCOMPARE(t.count(cash), 1);
            QVERIFY(t.contains("Cash Account: " + cash));
        }
    }
};

QTEST_GUILESS_MAIN(TstVoucherPdf)
#include "tst_voucherpdf.moc"
