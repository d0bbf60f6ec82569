// Hostile text typed into the boxes that store or search text: each payload is stored and read
// back exactly as the box holds it (or refused with a reason where the box's rules forbid it),
// a search for it finds exactly it, and no other table changes.
#include "support/failing.h"
#include "support/fixture.h"
#include "masters/companystore.h"
#include "masters/finderstore.h"
#include "shell/mdl_connection.h"
#include "shell/windows.h"
#include "vouchers/frmvoucher.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {
QStringList payloads()
{
    QStringList p = {
        "'",
        "''",
        "O'Neil",
        "'; drop table MasJV; --",
        "\"; drop table DetJV; --",
        "' or '1'='1",
        "1; delete from Accounts",
        "%",
        "_",
        "%_%",
        "100%",
        "a_b",
        "\\",
        "\\\\",
        "C:\\path\\to\\file",
        "-- comment",
        "/* comment */",
        "#hash",
        "`backtick`",
        "$1",
        "?",
        ":name",
        "@var",
        "{MasJV.VouNo} = 1",
        "select * from Logins",
        "union select Pswd from LctPswd",
        QString::fromUtf8("\u202Eright-to-left override"),
        QString::fromUtf8("\u200F\u0645\u062D\u0645\u062F \u0639\u0644\u06CC"),
        QString::fromUtf8("\u06C1\u0627\u0648\u0633\u0646\u06AF"),
        QString::fromUtf8("\xF0\x9F\x98\x80 grin"),
        QString::fromUtf8("\xF0\x9F\x8F\xA0\xF0\x9F\x92\xB0"),
        QString::fromUtf8("caf\u00E9 M\u00DCLLER"),
        QString::fromUtf8("\u00DF\u1E9E"),
        "12345",
        "-1",
        "1e308",
        "0x1F",
        "2026-01-05",
        "05/01/2026",
        "NULL",
        "null",
        "   leading and trailing   ",
        "tab\there",
        "<script>alert(1)</script>",
        "&amp; &lt;",
        QString(10000, QChar('x')),
        QString(5000, QChar(0x0645)),
    };
    return p;
}

// Control characters: a box keeps none of them from typing; pasted, they are refused or dropped.
QStringList controlPayloads()
{
    return {QString(QChar(0)) + "nul", "bell\a", "line\nfeed", "carriage\rreturn", QString("esc") + QChar(27)};
}
} // namespace

class TstPayloads : public QObject {
    Q_OBJECT
    qvt::AppFixture app;

    qint64 accountId(const QString& title)
    {
        return Conn.scalar("select RowID from Accounts where AcName = ?", {title}).toLongLong();
    }
    // Rows of every table but those named, to see that nothing else changed.
    QStringList others(const QStringList& except)
    {
        QStringList rows;
        for (const QString& r : qvt::snapshot(Conn))
            if (!except.contains(r.section(':', 0, 0), Qt::CaseInsensitive))
                rows << r;
        return rows;
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init() { app.start(true); }
    void cleanup() { app.stop(); }

    void listIsLongEnough() { QVERIFY(payloads().size() + controlPayloads().size() >= 40); }

    // The party, cheque and narration of a voucher, pasted as a user would.
    void voucherTexts()
    {
        auto* w = qv::Windows::open<frmVoucher>("frmCP");
        const QStringList untouched = others({"MasJV", "DetJV", "AuditTrail"});
        qvt::MsgRecorder rec;
        for (const QString& p : payloads()) {
            qvt::child<QLineEdit>(w, "txtPaidTo")->clear();
            qvt::child<QLineEdit>(w, "txtPaidTo")->insert(p);
            qvt::child<QLineEdit>(w, "txtChecque")->clear();
            qvt::child<QLineEdit>(w, "txtChecque")->insert(p);
            qvt::child<QPlainTextEdit>(w, "txtNaration")->setPlainText(p);
            const QString party = qvt::child<QLineEdit>(w, "txtPaidTo")->text(),
                          cheque = qvt::child<QLineEdit>(w, "txtChecque")->text();
            const QString narration = qvt::child<QPlainTextEdit>(w, "txtNaration")->toPlainText();
            QVERIFY(p.startsWith(party) && p.startsWith(cheque) && p.startsWith(narration));
            qvt::child<QLineEdit>(w, "txtDrAc")->setText("OFFICE RENT");
            qvt::child<QLineEdit>(w, "txtDrAc")->setProperty("tag", QString::number(accountId("OFFICE RENT")));
            qvt::child<QLineEdit>(w, "txtDRCR")->setText("12.34");
            QTest::mouseClick(qvt::child<QPushButton>(w, "cmdAdd"), Qt::LeftButton);
            const qint64 number = qvt::child<QLineEdit>(w, "txtVoucher")->text().toLongLong();
            QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
            QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.texts().join(" | ")));
            QCOMPARE(
                Conn.scalar("select PaidReceive from MasJV where VouStatus = 'CP' and VouNo = ?", {number}).toString(),
                party);
            QCOMPARE(
                Conn.scalar("select ChecqNo from DetJV where VouStatus = 'CP' and VouNo = ? and EntryNo = 1", {number})
                    .toString(),
                cheque);
            QCOMPARE(
                Conn.scalar("select Naration from DetJV where VouStatus = 'CP' and VouNo = ? and EntryNo = 2", {number})
                    .toString(),
                narration);
            // Opened again, the window shows what was typed.
            w->openForChange(number);
            QCOMPARE(qvt::child<QLineEdit>(w, "txtPaidTo")->text(), party);
            QCOMPARE(qvt::child<QTableWidget>(w, "MshEntry")->item(0, 4)->text(), narration);
            QTest::mouseClick(qvt::child<QPushButton>(w, "cmdCancel"), Qt::LeftButton);
        }
        QCOMPARE(others({"MasJV", "DetJV", "AuditTrail"}), untouched);
    }

    // Pasted control characters never reach the book as they are: refused with a reason, or
    // not taken by the box.
    void voucherControlCharacters()
    {
        auto* w = qv::Windows::open<frmVoucher>("frmJV");
        qvt::MsgRecorder rec;
        for (const QString& p : controlPayloads()) {
            rec.clear();
            qvt::child<QLineEdit>(w, "txtPaidTo")->clear();
            qvt::child<QLineEdit>(w, "txtPaidTo")->insert(p);
            qvt::child<QLineEdit>(w, "txtDrAc")->setProperty("tag", QString::number(accountId("OFFICE RENT")));
            qvt::child<QLineEdit>(w, "txtCrAc")->setProperty("tag", QString::number(accountId("VEHICLES")));
            qvt::child<QLineEdit>(w, "txtDRCR")->setText("1");
            QTest::mouseClick(qvt::child<QPushButton>(w, "cmdAdd"), Qt::LeftButton);
            const qint64 number = qvt::child<QLineEdit>(w, "txtVoucher")->text().toLongLong();
            const QString typed = qvt::child<QLineEdit>(w, "txtPaidTo")->text();
            QTest::mouseClick(qvt::child<QPushButton>(w, "cmdSave"), Qt::LeftButton);
            const QVariant stored =
                Conn.scalar("select PaidReceive from MasJV where VouStatus = 'JV' and VouNo = ?", {number});
            if (stored.isNull()) {
                QVERIFY2(!rec.seen.isEmpty(), "refused without a reason");
                QTest::mouseClick(qvt::child<QPushButton>(w, "cmdCancel"), Qt::LeftButton);
            } else {
                QCOMPARE(stored.toString(), typed);
                for (QChar c : typed)
                    QVERIFY2(c.unicode() >= 0x20 || c == '\t', qPrintable(QString::number(c.unicode())));
            }
        }
    }

    // Company names through the window; the search finds exactly the one typed.
    void companyNamesAndSearch()
    {
        auto* w = qv::Windows::open("frmCompany");
        auto* name = w->findChild<QLineEdit*>("txtCompany");
        auto* save = w->findChild<QPushButton*>("cmdNew");
        const QStringList untouched = others({"Company", "AuditTrail"});
        qvt::MsgRecorder rec;
        int n = 0;
        for (const QString& p : payloads()) {
            if (p.size() > 200)
                continue; // the name's width; the box's limit keeps it
            name->clear();
            name->insert(QString::number(++n) + "#" + p);
            const QString typed = name->text();
            QTest::mouseClick(save, Qt::LeftButton);
            QVERIFY2(rec.seen.isEmpty(), qPrintable(rec.texts().join(" | ")));
            QCOMPARE(Conn.scalar("select count(*) from Company where Company = ?", {typed}).toInt(), 1);
            const QList<qv::CompanyRow> found = qv::CompanyStore(Conn).search(typed);
            QVERIFY2(found.size() == 1, qPrintable(typed));
        }
        QCOMPARE(others({"Company", "AuditTrail"}), untouched);
    }

    // Account titles with payloads are found by the finder's search exactly, with % and _ as
    // typed, not as wildcards.
    void finderSearchIsLiteral()
    {
        const qint64 head = Conn.scalar("select RowID from Accounts where AcNodes = '5.1'").toLongLong();
        int n = 0;
        for (const QString& p : payloads()) {
            if (p.size() > 40)
                continue;
            const QString title = QString("Z%1 ").arg(++n) + p;
            Conn.execute(
                "insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode) values (?, ?, 'DD', '5.1', ?)",
                {QString("5.1.%1").arg(100 + n), title, 100 + n});
            const QList<qv::FinderRow> rows = qv::FinderStore(Conn).search(QString(), p);
            bool exact = false;
            for (const qv::FinderRow& r : rows) {
                QVERIFY2(r.acName.contains(p, Qt::CaseInsensitive), qPrintable(p + " found " + r.acName));
                exact = exact || r.acName == title;
            }
            QVERIFY2(exact, qPrintable(p));
        }
        Q_UNUSED(head);
    }
};

QTEST_MAIN(TstPayloads)
#include "tst_payloads.moc"
