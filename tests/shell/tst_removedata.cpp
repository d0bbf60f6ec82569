// "Remove Data": the rows counted before the question are the rows removed; everything chosen
// goes in one transaction or not at all; the embedded database is copied first, and the copy
// holds what was removed.
#include "adminhelpers.h"
#include "shell/mdl_connection.h"
#include "admin/removedata.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

namespace {
struct Snapshot {
    int masjv, detjv, categories, applications, orphans;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

Snapshot snapshot(qv::Connection& c)
{
    auto n = [&](const char* sql) { return c.scalar(sql).toInt(); };
    return {n("select count(*) from MasJV"), n("select count(*) from DetJV"), n("select count(*) from tblCatagory"),
            n("select count(*) from tblApplication"),
            n("select count(*) from DetJV d where not exists (select 1 from MasJV m where m.VouStatus = d.VouStatus "
              "and m.VouNo = d.VouNo)")};
}

int number(const QString& text, const QString& pattern)
{
    const auto match = QRegularExpression(pattern).match(text);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}
} // namespace

class TstRemoveData : public QObject {
    Q_OBJECT
    qvt::AppFixture app;
    QWidget* w = nullptr;

    MDIForm1* m() const { return app.main(); }
    template <class T> T* child(const char* name) const { return w->findChild<T*>(name); }
    void click(const char* box) { QTest::mouseClick(child<QCheckBox>(box), Qt::LeftButton, {}, QPoint(6, 8)); }
    // Sets a date box (typing into QDateEdit sections is unreliable under the test platform).
    void typeDate(const char* name, const QDate& d)
    {
        auto* e = child<QDateEdit>(name);
        e->setDate(d);
        QCOMPARE(e->date(), d);
    }
    void chooseKind(const QString& code)
    {
        auto* cbo = child<QComboBox>("cboKind");
        cbo->setFocus();
        QTest::keyClick(cbo, Qt::Key_Home);
        while (cbo->currentData().toString() != code && cbo->currentIndex() < cbo->count() - 1)
            QTest::keyClick(cbo, Qt::Key_Down);
        QCOMPARE(cbo->currentData().toString(), code);
    }
    void chooseVouchers(const QString& kind, const QDate& from, const QDate& to)
    {
        click("chkVouchers");
        chooseKind(kind);
        typeDate("dtpFrom", from);
        typeDate("dtpTo", to);
    }
    QList<qv::Msg::Message> pressRemove(QMessageBox::StandardButton answer = QMessageBox::Yes)
    {
        qvt::MsgRecorder rec;
        rec.answers << answer << QMessageBox::Ok;
        child<QPushButton>("cmdRemove")->click();
        return rec.seen;
    }
    int vouchersBetween(const QString& kind, const QDate& from, const QDate& to)
    {
        return Conn
            .scalar("select count(*) from MasJV where VouStatus = ? and VouDate between ? and ?", {kind, from, to})
            .toInt();
    }
    QStringList folderFiles() const
    {
        return QDir(QFileInfo(Conn.embeddedPath()).absolutePath()).entryList(QDir::Files, QDir::Name);
    }
    void addApplications(int n)
    {
        for (int i = 1; i <= n; ++i)
            Conn.execute("insert into tblApplication (RowNo, RegNo, Name, RegDate) values (?, ?, ?, ?)",
                         {i, QString("R-%1").arg(i), QString("APPLICANT %1").arg(i), QDate(2025, 8, i)});
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
        QApplication::setActiveWindow(m());
        qvt::openThroughGate(m(), "mnuRemoveData", app.db().lockPassword);
        w = qvt::findWindow(m(), "frmRemoveData");
        QVERIFY(w);
    }
    void cleanup() { app.stop(); }

    void countsShownAreRowsRemoved()
    {
        const QDate from(2025, 8, 1), to(2025, 9, 30);
        const int bpBefore = vouchersBetween("BP", from, to);
        const int jvBefore = vouchersBetween("JV", from, to);
        const int bpAfterRange = vouchersBetween("BP", to.addDays(1), QDate(2026, 1, 1));
        QVERIFY(bpBefore > 1 && jvBefore > 0 && bpAfterRange > 0);
        chooseVouchers("BP", from, to);
        click("chkCatagory");
        const Snapshot before = snapshot(Conn);
        const QString shown = child<QLabel>("lblCounts")->text();
        const auto seen = pressRemove();
        QCOMPARE(seen.size(), 2);
        const QString question = seen[0].text;
        QVERIFY(question.endsWith("are you sure remove this data"));
        QCOMPARE(seen[0].buttons, QMessageBox::Yes | QMessageBox::No);
        const QString line = "Vouchers \\(BP\\) dated 01-08-2025 to 30-09-2025: (\\d+) vouchers";
        const int vouchers = number(question, line);
        const int lines = number(question, "with (\\d+) lines");
        const int categories = number(question, "Plot categories: (\\d+)");
        QCOMPARE(number(shown, line), vouchers); // the window showed the same before the question
        QCOMPARE(vouchers, bpBefore);
        QVERIFY(!question.contains("Applications"));
        if (qvt::backend() == qv::Backend::Postgres)
            QVERIFY(question.contains("not copied"));

        const Snapshot after = snapshot(Conn);
        QCOMPARE(before.masjv - after.masjv, vouchers);
        QCOMPARE(before.detjv - after.detjv, lines);
        QCOMPARE(before.categories - after.categories, categories);
        QCOMPARE(categories, 3);
        QCOMPARE(after.applications, before.applications);
        QCOMPARE(after.orphans, 0);
        QCOMPARE(vouchersBetween("BP", from, to), 0);
        QCOMPARE(vouchersBetween("JV", from, to), jvBefore);                             // other kinds stay
        QCOMPARE(vouchersBetween("BP", to.addDays(1), QDate(2026, 1, 1)), bpAfterRange); // other dates stay
        QVERIFY(seen[1].text.startsWith("The data has been removed:"));
        QVERIFY(!Conn.inTransaction());
    }

    void everyKindAndApplications()
    {
        addApplications(4);
        chooseVouchers("", QDate(2025, 10, 1), QDate(2025, 10, 31));
        click("chkApplication");
        const Snapshot before = snapshot(Conn);
        const int inRange = Conn.scalar("select count(*) from MasJV where VouDate between ? and ?",
                                        {QDate(2025, 10, 1), QDate(2025, 10, 31)})
                                .toInt();
        const auto seen = pressRemove();
        QCOMPARE(seen.size(), 2);
        const int vouchers =
            number(seen[0].text, "Vouchers \\(every kind\\) dated 01-10-2025 to 31-10-2025: (\\d+) vouchers");
        const int lines = number(seen[0].text, "with (\\d+) lines");
        QCOMPARE(vouchers, inRange);
        QCOMPARE(number(seen[0].text, "Applications: (\\d+)"), 4);
        const Snapshot after = snapshot(Conn);
        QCOMPARE(before.masjv - after.masjv, vouchers);
        QCOMPARE(before.detjv - after.detjv, lines);
        QCOMPARE(after.applications, 0);
        QCOMPARE(after.categories, before.categories);
        QCOMPARE(after.orphans, 0);
        // Nothing left to remove for that choice now.
        QVERIFY(child<QLabel>("lblCounts")->text().contains(": 0 vouchers with 0 lines"));
    }

    void answeringNoRemovesNothing()
    {
        chooseVouchers("", QDate(2025, 1, 1), QDate(2025, 12, 31));
        click("chkCatagory");
        const Snapshot before = snapshot(Conn);
        const QStringList files = folderFiles();
        const auto seen = pressRemove(QMessageBox::No);
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].defaultButton, QMessageBox::No); // a stray Enter removes nothing
        QCOMPARE(snapshot(Conn), before);
        QCOMPARE(folderFiles(), files); // and no copy written
    }

    void failureMidRemovalRemovesNothing()
    {
        addApplications(2);
        chooseVouchers("JV", QDate(2025, 7, 1), QDate(2025, 12, 31));
        click("chkCatagory");
        click("chkApplication");
        const Snapshot before = snapshot(Conn);
        // The voucher lines are gone by the time the failure strikes.
        bool linesDeleted = false;
        Conn.setStatementHook([&](const QString& sql) {
            if (sql.startsWith("delete from DetJV"))
                linesDeleted = true;
            if (sql.startsWith("delete from tblCatagory"))
                throw qv::DbError("disk I/O error (injected)");
        });
        const auto seen = pressRemove();
        Conn.setStatementHook({});
        QVERIFY(linesDeleted);
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[1].icon, qv::Msg::Icon::Critical);
        QVERIFY(seen[1].text.contains("disk I/O error (injected)"));
        QVERIFY(seen[1].text.endsWith("Nothing was removed."));
        QCOMPARE(snapshot(Conn), before);
        QVERIFY(!Conn.inTransaction());
        // The window stays usable: the same choice goes through now.
        QCOMPARE(pressRemove().size(), 2);
        QCOMPARE(snapshot(Conn).categories, 0);
    }

    void backupHoldsWhatWasRemoved()
    {
        if (qvt::backend() != qv::Backend::Sqlite)
            QSKIP("the program copies only the embedded database");
        const QDate from(2025, 7, 1), to(2025, 8, 31);
        chooseVouchers("BR", from, to);
        click("chkCatagory");
        const int removed = vouchersBetween("BR", from, to);
        const auto seen = pressRemove();
        QCOMPARE(seen.size(), 2);
        const QString done = seen[1].text;
        const QString path = done.section('\n', -1);
        QVERIFY2(done.contains("The database as it was before is kept at:\n"), qPrintable(done));
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(Conn.embeddedPath()).absolutePath()); // beside it
        QVERIFY(QFileInfo(path).fileName().contains(QDate::currentDate().toString("yyyy-MM-dd")));
        QCOMPARE(vouchersBetween("BR", from, to), 0);
        qv::Connection copy;
        copy.openFileUnchecked(path, false);
        QCOMPARE(copy.scalar("PRAGMA integrity_check").toString(), QString("ok"));
        QCOMPARE(
            copy.scalar("select count(*) from MasJV where VouStatus = 'BR' and VouDate between ? and ?", {from, to})
                .toInt(),
            removed);
        QCOMPARE(copy.scalar("select count(*) from tblCatagory").toInt(), 3);
        QCOMPARE(snapshot(copy).orphans, 0);
    }

    void failedBackupRemovesNothing()
    {
        if (qvt::backend() != qv::Backend::Sqlite)
            QSKIP("the program copies only the embedded database");
        chooseVouchers("", QDate(2025, 1, 1), QDate(2025, 12, 31));
        const Snapshot before = snapshot(Conn);
        const QStringList files = folderFiles();
        Conn.setStatementHook([](const QString& sql) {
            if (sql.startsWith("VACUUM"))
                throw qv::DbError("database or disk is full (injected)");
        });
        const auto seen = pressRemove();
        Conn.setStatementHook({});
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[1].icon, qv::Msg::Icon::Critical);
        QVERIFY(seen[1].text.startsWith("The copy of the database could not be made at"));
        QVERIFY(seen[1].text.contains("disk is full (injected)"));
        QVERIFY(seen[1].text.endsWith("Nothing was removed."));
        QCOMPARE(snapshot(Conn), before);
        QCOMPARE(folderFiles(), files);
        // A copy that cannot be written (its folder does not exist) leaves nothing behind either.
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::RemoveData(Conn).backupTo(Conn.embeddedPath() + ".missing/x.sqlite"));
    }

    // Two stations removing data in the same second: the other one's copy, finished under the
    // name this one chose while it was copying, is never deleted or overwritten.
    void anotherStationsCopyIsNeverTouched()
    {
        if (qvt::backend() != qv::Backend::Sqlite)
            QSKIP("the program copies only the embedded database");
        const QDateTime at(QDate(2025, 3, 4), QTime(5, 6, 7));
        const QString theirs = qv::RemoveData::backupPath(Conn.embeddedPath(), at);
        const QString chosen = QFileInfo(theirs).absolutePath() + "/chosen.sqlite";
        for (const QString& path : {theirs, chosen}) {
            Conn.setStatementHook([&](const QString& sql) {
                QFile f(path);
                if (sql.startsWith("VACUUM") && !f.exists() && f.open(QIODevice::WriteOnly))
                    f.write("their copy");
            });
            QString mine, failure;
            try {
                if (path == theirs)
                    mine = qv::RemoveData(Conn).backup(at);
                else
                    qv::RemoveData(Conn).backupTo(path);
            } catch (const qv::DbError& e) {
                failure = e.description();
            }
            Conn.setStatementHook({});
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("their copy"));
            if (path == theirs) { // the window's copy takes the next free name
                QVERIFY2(failure.isEmpty(), qPrintable(failure));
                QCOMPARE(QFileInfo(mine).fileName(), QFileInfo(theirs).completeBaseName() + " (2).sqlite");
                qv::Connection copy;
                copy.openFileUnchecked(mine, false);
                QCOMPARE(snapshot(copy), snapshot(Conn));
                copy.close();
                QFile::remove(mine);
            } else {
                QVERIFY2(failure.contains("already exists"), qPrintable(failure));
            }
            QFile::remove(path);
        }
        QCOMPARE(QDir(QFileInfo(theirs).absolutePath()).entryList({"*.part"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    void refusals()
    {
        auto onlyMessage = [&] {
            const auto seen = pressRemove();
            return seen.size() == 1 ? seen[0].text : QString("%1 messages").arg(seen.size());
        };
        const Snapshot before = snapshot(Conn);
        QCOMPARE(onlyMessage(), QString("Please choose what to remove."));
        chooseVouchers("CP", QDate(2025, 12, 31), QDate(2025, 12, 31));
        typeDate("dtpTo", QDate(2025, 12, 1));
        QCOMPARE(onlyMessage(), QString("The first date is after the last date."));
        QCOMPARE(child<QLabel>("lblCounts")->text(), QString("The first date is after the last date."));
        typeDate("dtpFrom", QDate(2030, 1, 1));
        typeDate("dtpTo", QDate(2030, 12, 31));
        QCOMPARE(onlyMessage(), QString("There is nothing to remove for this choice."));
        QCOMPARE(snapshot(Conn), before);
    }

    void rowsChangedAfterCountingRemoveNothing()
    {
        // Another station adds to the vouchers between the count and the removal.
        qv::RemovalChoice ch;
        ch.vouchers = true;
        ch.kind = "CR";
        ch.from = QDate(2025, 7, 1);
        ch.to = QDate(2025, 12, 31);
        qv::RemovalCounts counted = qv::RemoveData(Conn).count(ch);
        QVERIFY(counted.vouchers > 0);
        // A line added to a voucher already counted: as many vouchers as agreed to, one line more.
        QSqlQuery line = Conn.query("select d.VouNo, d.AcCode from DetJV d join MasJV m on m.VouStatus = d.VouStatus "
                                    "and m.VouNo = d.VouNo where m.VouStatus = 'CR' and m.VouDate between ? and ?",
                                    {ch.from, ch.to});
        QVERIFY(line.next());
        const QVariantList voucherAndAccount{line.value(0), line.value(1)};
        line.finish();
        Conn.execute("insert into DetJV (VouNo, VouStatus, AcCode) values (?, 'CR', ?)", voucherAndAccount);
        Snapshot before = snapshot(Conn);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::RemoveData(Conn).remove(ch, counted));
        QCOMPARE(snapshot(Conn), before);
        counted = qv::RemoveData(Conn).count(ch);
        // Another voucher in the range.
        Conn.execute("insert into MasJV (VouNo, VouStatus, VouDate) values (999, 'CR', ?)", {QDate(2025, 9, 9)});
        before = snapshot(Conn);
        QVERIFY_THROWS_EXCEPTION(qv::DbError, qv::RemoveData(Conn).remove(ch, counted));
        QCOMPARE(snapshot(Conn), before);
        const qv::RemovalCounts again = qv::RemoveData(Conn).count(ch);
        QCOMPARE(again.vouchers, counted.vouchers + 1);
        QCOMPARE(qv::RemoveData(Conn).remove(ch, again), again);
    }

    void backupNamesDoNotCollide()
    {
        QTemporaryDir d;
        const QString db = d.filePath("Books.sqlite");
        const QDateTime at(QDate(2025, 3, 4), QTime(5, 6, 7));
        const QString first = qv::RemoveData::backupPath(db, at);
        QCOMPARE(QFileInfo(first).fileName(), QString("Books-backup-2025-03-04-050607.sqlite"));
        QFile f(first);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(QFileInfo(qv::RemoveData::backupPath(db, at)).fileName(),
                 QString("Books-backup-2025-03-04-050607 (2).sqlite"));
    }
};

QTEST_MAIN(TstRemoveData)
#include "tst_removedata.moc"
