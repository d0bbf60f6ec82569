// The accounts in memory find, row for row, what the finder's and the chart's queries find, over
// random titles and random typed texts; and they follow every change to the accounts, made
// through this connection or by another station.
#include "masters/accountlist.h"
#include "masters/accountstore.h"
#include "masters/finderstore.h"
#include "support/dbfixture.h"

#include <QRandomGenerator>
#include <QTest>

using qv::AccountList;
using Scope = qv::AccountList::Scope;

namespace {
const QStringList Words{"Café",        "MÜLLER",  "müller",  "ÇAĞRI", "öztürk",   "O'Brien", "50%",  "A_B",
                        "back\\slash", "TRADERS", "traders", "ZETA",  "İstanbul", "straße",  "Ölçü", "x"};

QList<qint64> ids(const qv::AccountMatches& found)
{
    QList<qint64> out;
    for (size_t i = 0; i < found.size(); ++i)
        out << found[i].rowId;
    return out;
}
} // namespace

class TstAccountList : public QObject {
    Q_OBJECT
    qvt::TestDb db;
    std::unique_ptr<qv::Connection> conn, other;
    QRandomGenerator rnd{20261207};

    QString title()
    {
        QStringList w;
        for (int i = 0, n = 1 + int(rnd.bounded(3)); i < n; ++i)
            w << Words[int(rnd.bounded(Words.size()))];
        return w.join(' ');
    }
    qint64 add(qv::Connection& c, const QVariant& name, const QString& deleted = "N", const QVariant& bank = {})
    {
        static int n = 0;
        ++n;
        return c.insertReturningKey("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode, DeleteStatus, "
                                    "BStatus) values (?, ?, 'DD', '1.1', ?, ?, ?) returning RowID",
                                    {QString("1.1.%1").arg(n), name, n, deleted, bank});
    }
    // A part of a title with its letters' case changed at random, or a few odd characters.
    QString typed(const QStringList& titles)
    {
        if (rnd.bounded(5) == 0)
            return QStringList{"%", "_", "'", "\\", "", "ß", "q"}[int(rnd.bounded(7))];
        const QString t = titles[int(rnd.bounded(titles.size()))];
        const int from = int(rnd.bounded(t.size())), length = 1 + int(rnd.bounded(qMin(6, int(t.size()) - from)));
        QString out;
        for (QChar ch : t.mid(from, length))
            out += rnd.bounded(2) ? ch.toUpper() : ch.toLower();
        return out;
    }
    // Every scope against its query, for one typed text.
    void compare(AccountList& list, const QString& text)
    {
        QList<qint64> chart, finder, banks;
        for (const qv::FoundAccount& f : qv::AccountStore(*conn).search(text))
            chart << f.rowId;
        for (const qv::FinderRow& f : qv::FinderStore(*conn).search(QString(), text))
            finder << f.rowId;
        for (const qv::FinderRow& f : qv::FinderStore(*conn).search("B", text))
            banks << f.rowId;
        QCOMPARE(ids(list.find(text, Scope::Chart)), chart);
        QCOMPARE(ids(list.find(text, Scope::Finder)), finder);
        QCOMPARE(ids(list.find(text, Scope::FinderBanks)), banks);
    }

private slots:
    void initTestCase()
    {
        qvt::initTestEnvironment();
        QVT_REQUIRE_BACKEND();
    }
    void init()
    {
        db = qvt::TestDb::create(false);
        conn = std::make_unique<qv::Connection>();
        db.connect(*conn);
        other = std::make_unique<qv::Connection>();
        db.connect(*other);
    }
    void cleanup()
    {
        other.reset();
        conn.reset();
        db.drop();
    }

    void findsWhatTheQueriesFind()
    {
        QStringList titles;
        for (int i = 0; i < 150; ++i) {
            titles << title();
            add(*conn, titles.last(), rnd.bounded(6) ? "N" : "Y", rnd.bounded(4) ? QVariant() : QVariant("B"));
        }
        add(*conn, QVariant(QMetaType::fromType<QString>())); // no title: never listed
        add(*conn, titles.first());                           // the same title twice: by RowID
        AccountList list(*conn);
        for (int i = 0; i < 120; ++i)
            compare(list, typed(titles));
        compare(list, QString());
    }

    void followsEveryChange()
    {
        const qint64 a = add(*conn, "ALPHA TRADERS"), b = add(*conn, "BETA TRADERS");
        AccountList list(*conn);
        compare(list, "trad");
        // Another station adds, renames, marks deleted and removes; this one writes directly.
        add(*other, "GAMMA TRADERS");
        other->execute("update Accounts set AcName = 'ALPHA STORES' where RowID = ?", {a});
        compare(list, "trad");
        compare(list, "stores");
        other->execute("update Accounts set DeleteStatus = 'Y' where RowID = ?", {b});
        compare(list, "trad");
        other->execute("delete from Accounts where RowID = ?", {b});
        compare(list, "trad");
        conn->execute("update Accounts set BStatus = 'B' where RowID = ?", {a});
        compare(list, "a");
    }
};

QTEST_MAIN(TstAccountList)
#include "tst_accountlist.moc"
