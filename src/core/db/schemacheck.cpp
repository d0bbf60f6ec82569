#include "db/schemacheck.h"

#include "db/monthsums.h"
#include "db/bookguards.h"
#include "db/clearingguards.h"
#include "db/litestatement.h"
#include "db/schema.h"
#include "db/sqlaudit.h"

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSqlDriver>

#include <sqlite3.h>

namespace qv::Schema {

namespace {

const QString BadSchema = QStringLiteral("QV_BADSCHEMA");
const QString SqliteFailed = QStringLiteral("QV_SQLITE");

// A SQLite handle read with the C interface: the connection's own, a file opened read-only, or
// a database in memory. Nothing it runs is a user's statement.
class Lite {
public:
    explicit Lite(sqlite3* borrowed)
        : m_db(borrowed)
    {
    }
    Lite(const QString& path, int flags)
        : m_owned(true)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr) != SQLITE_OK) {
            const QString why = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
            sqlite3_close_v2(m_db);
            m_db = nullptr;
            throw DbError(QStringLiteral("\"%1\" cannot be opened: %2").arg(path, why), SqliteFailed);
        }
        // Nothing of the book's own (views, triggers) may run a function that is not innocuous.
        exec(QStringLiteral("PRAGMA trusted_schema = OFF"));
    }
    ~Lite()
    {
        if (m_owned)
            sqlite3_close_v2(m_db);
    }
    Lite(const Lite&) = delete;
    Lite& operator=(const Lite&) = delete;

    // Every row as texts (a null as a null QString).
    QList<QStringList> rows(const QString& sql) const
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            throw DbError(QString::fromUtf8(sqlite3_errmsg(m_db)), SqliteFailed);
        QList<QStringList> out;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                row << (text ? QString::fromUtf8(text, sqlite3_column_bytes(st, i)) : QString());
            }
            out << row;
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw DbError(QString::fromUtf8(sqlite3_errmsg(m_db)), SqliteFailed);
        return out;
    }
    void exec(const QString& sql) const { rows(sql); }

private:
    sqlite3* m_db = nullptr;
    bool m_owned = false;
};

sqlite3* handleOf(Connection& c)
{
    sqlite3* db = sqliteHandle(c);
    if (!db)
        throw DbError(QStringLiteral("The embedded book's schema cannot be read."));
    return db;
}

using Object = SchemaObject;

QList<Object> objectsOf(const Lite& db)
{
    QList<Object> out;
    for (const QStringList& r : db.rows(QStringLiteral("select type, name, tbl_name, sql from sqlite_master")))
        out.append({r[0], r[1], r[2], r[3]});
    return out;
}

} // namespace

QList<SchemaObject> expectedObjects(int version)
{
    static QMutex mutex;
    static QHash<int, QList<Object>> made;
    QMutexLocker lock(&mutex);
    if (auto it = made.constFind(version); it != made.constEnd())
        return *it;
    Lite db(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    for (const QString& s : ddl(Backend::Sqlite, version))
        db.exec(s);
    return made[version] = objectsOf(db);
}

namespace {

QString described(const Object& o)
{
    QString d = QStringLiteral("%1 \"%2\"").arg(o.type, o.name);
    if ((o.type == QLatin1String("trigger") || o.type == QLatin1String("index"))
        && o.table.compare(o.name, Qt::CaseInsensitive) != 0)
        d += QStringLiteral(" on %1").arg(o.table);
    return d;
}

QStringList differences(const QList<Object>& actual, const QList<Object>& expected)
{
    auto key = [](const Object& o) { return o.type + QLatin1Char(' ') + o.name.toLower(); };
    QHash<QString, Object> own;
    for (const Object& o : expected)
        own.insert(key(o), o);
    QStringList found;
    QSet<QString> seen;
    for (const Object& o : actual) {
        // SQLite's own statistics (ANALYZE) only steer its query plans.
        if (o.type == QLatin1String("table") && o.name.startsWith(QLatin1String("sqlite_stat"), Qt::CaseInsensitive))
            continue;
        seen.insert(key(o));
        const auto it = own.constFind(key(o));
        if (it == own.constEnd())
            found << QStringLiteral("it holds a %1 that Quoravel does not make").arg(described(o));
        else if (it->sql != o.sql || it->table.compare(o.table, Qt::CaseInsensitive) != 0)
            found << QStringLiteral("its %1 differs from Quoravel's own").arg(described(o));
    }
    for (const Object& o : expected)
        if (!seen.contains(key(o)))
            found << QStringLiteral("its %1 is missing").arg(described(o));
    return found;
}

[[noreturn]] void refuse(const QString& what, int version, const QStringList& found)
{
    QStringList shown = found.mid(0, 5);
    if (found.size() > 5)
        shown << QStringLiteral("%1 more").arg(found.size() - 5);
    throw DbError(QStringLiteral("%1 was refused: %2. A book holds only the tables, indexes, triggers and "
                                 "views that Quoravel makes for its version (%3); nothing was changed.")
                      .arg(what, shown.join(QStringLiteral("; ")))
                      .arg(version),
                  BadSchema);
}

void compareObjects(const Lite& db, const QString& what, int version)
{
    const QStringList found = differences(objectsOf(db), expectedObjects(version));
    if (!found.isEmpty())
        refuse(what, version, found);
}

QString kindOfValue(const QString& type, const QString& quoted)
{
    if (type == QLatin1String("text"))
        return QStringLiteral("the text %1").arg(quoted);
    if (type == QLatin1String("real"))
        return QStringLiteral("the fraction %1").arg(quoted);
    return QStringLiteral("a %1 value").arg(type);
}

int versionOf(const Lite& db);

// The first amount stored as anything but whole cents: through the wrong-kind indexes (`indexed`,
// a book of WholeCentsFrom on) or by reading every row.
void findWrongKind(const Lite& db, const QString& what, bool indexed)
{
    // A book of an earlier version has none of the later versions' tables.
    const int version = versionOf(db);
    for (const TableDef& t : tables()) {
        const std::vector<QString> cols = t.amountColumns();
        if (cols.empty() || t.since > version)
            continue;
        QStringList fields{QLatin1String(t.key)};
        for (const QString& c : cols)
            fields << QStringLiteral("typeof(%1)").arg(c) << QStringLiteral("quote(%1)").arg(c);
        const QString sql =
            QStringLiteral("select %1 from %2%3 where %4 limit 1")
                .arg(fields.join(QStringLiteral(", ")), QLatin1String(t.name),
                     indexed ? QStringLiteral(" indexed by ") + wrongKindIndex(t) : QString(), wrongKindCondition(t));
        const QList<QStringList> bad = db.rows(sql);
        if (bad.isEmpty())
            continue;
        const QStringList& r = bad.front();
        for (size_t i = 0; i < cols.size(); ++i) {
            const QString type = r[1 + 2 * int(i)];
            if (type == QLatin1String("integer") || type == QLatin1String("null"))
                continue;
            throw DbError(QStringLiteral("%1 was refused: the row with %2 %3 of the table %4 holds %5 in its column "
                                         "%6, where an amount in whole cents belongs. Reports would read it as a "
                                         "wrong figure; correct the value or restore a sound backup.")
                              .arg(what, QLatin1String(t.key), r[0], QLatin1String(t.name),
                                   kindOfValue(type, r[2 + 2 * int(i)]), cols[i]),
                          BadSchema);
        }
    }
}

// -1: no SchemaInfo at all.
int versionOf(const Lite& db)
{
    const QList<QStringList> info = db.rows(
        QStringLiteral("select count(*) from sqlite_master where type = 'table' and lower(name) = 'schemainfo'"));
    if (info.value(0).value(0).toInt() == 0)
        return -1;
    return db.rows(QStringLiteral("select max(Version) from SchemaInfo")).value(0).value(0).toInt();
}

QString bookName(const QString& path)
{
    return QStringLiteral("The book \"%1\"").arg(path);
}

} // namespace

void verifyEmbedded(Connection& c)
{
    const Lite db(handleOf(c));
    const int v = versionOf(db);
    if (v < OldestVersion || v > CurrentVersion)
        return;
    compareObjects(db, bookName(c.embeddedPath()), v);
    if (v >= WholeCentsFrom)
        findWrongKind(db, bookName(c.embeddedPath()), true);
}

void checkStoredAmounts(Connection& c)
{
    findWrongKind(Lite(handleOf(c)), bookName(c.embeddedPath()), false);
}

void verifyBookFile(const QString& path)
{
    const QString what = QStringLiteral("\"%1\"").arg(path);
    try {
        const Lite db(path, SQLITE_OPEN_READONLY);
        const int v = versionOf(db);
        if (v < 0)
            throw DbError(QStringLiteral("%1 is not a Quoravel book.").arg(what), BadSchema);
        if (v < OldestVersion)
            throw DbError(QStringLiteral("%1 is not a whole Quoravel book: it records no schema version this program "
                                         "works on (%2).")
                              .arg(what)
                              .arg(v),
                          BadSchema);
        if (v > CurrentVersion)
            throw DbError(QStringLiteral("%1 was written by a newer version of Quoravel (book version %2, this "
                                         "program knows %3).")
                              .arg(what)
                              .arg(v)
                              .arg(CurrentVersion),
                          BadSchema);
        compareObjects(db, what, v);
        findWrongKind(db, what, false);
    } catch (const DbError& e) {
        if (e.sqlState() != SqliteFailed)
            throw;
        throw DbError(QStringLiteral("%1 is not a sound database: %2").arg(what, e.description()));
    }
}

void verifyServer(Connection& c)
{
    QHash<QString, QSet<QString>> own; // table -> columns, as PostgreSQL folds them
    QSet<QString> defaults;            // table.column with a default
    for (const TableDef& t : tables())
        for (const ColumnDef& col : t.columns) {
            const QString table = QString::fromLatin1(t.name).toLower(), name = QString::fromLatin1(col.name).toLower();
            own[table].insert(name);
            if (QString::fromLatin1(col.extra).startsWith(QLatin1String("default")))
                defaults.insert(table + QLatin1Char('.') + name);
        }
    for (const QString& col : MonthSums::columns())
        own[QString::fromLatin1(MonthSums::Table).toLower()].insert(col);
    own[QString::fromLatin1(SqlAudit::MarkTable).toLower()] = {QStringLiteral("txid"), QStringLiteral("recorded"),
                                                               QStringLiteral("skipped")};
    QStringList ownTriggers = MonthSums::triggers();
    const QString db = c.scalar(QStringLiteral("select current_database()")).toString();
    QStringList found;
    QHash<QString, QSet<QString>> columns;
    QSqlQuery q = c.query(QStringLiteral(
        "select c.relname, c.relkind, a.attname, pg_get_expr(d.adbin, d.adrelid) from pg_class c "
        "left join pg_attribute a on a.attrelid = c.oid and a.attnum > 0 and not a.attisdropped "
        "left join pg_attrdef d on d.adrelid = a.attrelid and d.adnum = a.attnum "
        "where c.relnamespace = cast(current_schema() as regnamespace) and c.relkind in ('r', 'p', 'v', 'm', 'f')"));
    while (q.next()) {
        const QString table = q.value(0).toString(), column = q.value(2).toString();
        const QString kind =
            q.value(1).toString() == QLatin1String("r") ? QStringLiteral("table") : QStringLiteral("view");
        if (!own.contains(table) || kind != QLatin1String("table")) {
            const QString unknown = QStringLiteral("it holds a %1 \"%2\" that Quoravel does not make").arg(kind, table);
            if (!found.contains(unknown))
                found << unknown;
            continue;
        }
        columns[table].insert(column);
        const QString def = q.value(3).toString();
        if (!def.isEmpty() && (!defaults.contains(table + QLatin1Char('.') + column) || def.contains(QLatin1Char('('))))
            found << QStringLiteral("it holds a default \"%1\" of the column %2.%3 that Quoravel does not make")
                         .arg(def, table, column);
    }
    for (auto it = own.constBegin(); it != own.constEnd(); ++it) {
        if (!columns.contains(it.key()))
            found << QStringLiteral("its table \"%1\" is missing").arg(it.key());
        else if (columns.value(it.key()) != it.value())
            found << QStringLiteral("its table \"%1\" has other columns than Quoravel's own").arg(it.key());
    }
    QSqlQuery extra = c.query(QStringLiteral(
        "select 'trigger', t.tgname, c.relname from pg_trigger t join pg_class c on c.oid = t.tgrelid "
        "where c.relnamespace = cast(current_schema() as regnamespace) and not t.tgisinternal "
        "union all select 'rule', r.rulename, r.tablename from pg_rules r where r.schemaname = current_schema()"));
    auto guardTriggers = BookGuards::serverTriggerNames();
    guardTriggers << ClearingGuards::serverTriggerNames();
    while (extra.next()) {
        const QString kind = extra.value(0).toString(), name = extra.value(1).toString();
        const QString table = extra.value(2).toString();
        if (kind == QLatin1String("trigger") && table == QLatin1String("detjv") && ownTriggers.removeOne(name))
            continue;
        if (kind == QLatin1String("trigger") && guardTriggers.contains({table, name}))
            continue;
        found << QStringLiteral("it holds a %1 \"%2\" on %3 that Quoravel does not make").arg(kind, name, table);
    }
    for (const QString& t : ownTriggers)
        found << QStringLiteral("its trigger \"%1\" on detjv is missing").arg(t);
    if (!found.isEmpty())
        refuse(QStringLiteral("The book \"%1\"").arg(db), CurrentVersion, found);
}

} // namespace qv::Schema
