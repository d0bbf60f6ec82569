// The schema version: the check when a book is opened and the steps from older versions.
#include "db/backup.h"
#include "db/logins.h"
#include "db/monthsums.h"
#include "db/bookguards.h"
#include "db/clearingguards.h"
#include "db/audittrail.h"
#include "db/schema.h"
#include "db/schemacheck.h"
#include "db/serverbook.h"
#include "db/sqlaudit.h"
#include "db/tables.h"

#include <QDir>

#include <iterator>

namespace qv::Schema {

namespace {

bool isLockHash(const QString& stored)
{
    return stored.startsWith(QLatin1String("$argon2id$"));
}

// SQLite changes no column in place: each table whose definition differs from the DDL of
// `version` is made anew under its own name, with every row and its RowID; the indexes of that
// version that are missing then (those of the tables made anew among them) are made.
void rebuildTables(Connection& c, int version)
{
    const QList<SchemaObject> expected = expectedObjects(version);
    auto storedSql = [&c](const QString& type, const QString& name) {
        return c.scalar(QStringLiteral("select sql from sqlite_master where type = ? and lower(name) = lower(?)"),
                        {type, name});
    };
    auto columns = [&c](const QString& table) {
        QStringList out;
        QSqlQuery q = c.query(QStringLiteral("select name from pragma_table_info(?)"), {table});
        while (q.next())
            out << q.value(0).toString();
        return out;
    };
    for (const SchemaObject& o : expected) {
        if (o.type != QLatin1String("table") || o.name.startsWith(QLatin1String("sqlite_")))
            continue;
        const QVariant stored = storedSql(o.type, o.name);
        if (stored.toString() == o.sql)
            continue;
        if (stored.isNull()) {
            c.execute(o.sql);
            continue;
        }
        const QStringList before = columns(o.name);
        const QString old = QStringLiteral("qv_rebuilt_") + o.name;
        c.execute(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(o.name, old));
        c.execute(o.sql);
        QStringList kept;
        for (const QString& col : columns(o.name))
            if (before.contains(col, Qt::CaseInsensitive))
                kept << col;
        const QString list = kept.join(QStringLiteral(", "));
        c.execute(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3").arg(o.name, list, old));
        c.execute(QStringLiteral("DROP TABLE %1").arg(old));
    }
    for (const SchemaObject& o : expected)
        if (o.type == QLatin1String("index") && !o.sql.isEmpty() && storedSql(o.type, o.name).isNull())
            c.execute(o.sql);
}

// Version 1 kept the lock password in clear in a 50-character column.
void hashLockPasswords(Connection& c)
{
    if (c.backend() == Backend::Sqlite)
        rebuildTables(c, LockHashFrom);
    else
        c.execute(QStringLiteral("ALTER TABLE LctPswd ALTER COLUMN Pswd TYPE VARCHAR(%1)").arg(LockHashWidth));
    QList<QPair<qint64, QString>> rows;
    QSqlQuery q = c.query(QStringLiteral("select RowID, Pswd from LctPswd order by RowID"));
    while (q.next())
        rows.append({q.value(0).toLongLong(), q.value(1).toString()});
    for (const auto& [id, pswd] : rows)
        if (!isLockHash(pswd) && !pswd.isEmpty())
            c.execute(QStringLiteral("update LctPswd set Pswd = ? where RowID = ?"), {Logins::hashPassword(pswd), id});
}

// Version 1 had one group for every book of the server. Its logins become this book's users,
// its logins with CREATEROLE this book's managers (without CREATEROLE), and the old group
// loses its rights here.
void ownRoles(Connection& c)
{
    const ServerBook::Roles r = ServerBook::rolesOf(c);
    ServerBook::createRoles(c, r);
    ServerBook::secure(c, r);
    const QString legacy = QLatin1String(tbl::LegacyGroupRole);
    if (c.scalar(QStringLiteral("select count(*) from pg_roles where rolname = ?"), {legacy}).toInt() == 0)
        return;
    QSqlQuery q = c.query(QStringLiteral("select m.rolname, m.rolcreaterole from pg_auth_members a join pg_roles g on "
                                         "g.oid = a.roleid join pg_roles m on m.oid = a.member where g.rolname = ? "
                                         "and m.rolcanlogin and not m.rolsuper"),
                          {legacy});
    QList<QPair<QString, bool>> members;
    while (q.next())
        members.append({q.value(0).toString(), q.value(1).toBool()});
    using ServerBook::quoteIdent;
    for (const auto& [name, manager] : members) {
        c.execute(QStringLiteral("GRANT %1 TO %2").arg(quoteIdent(r.users), quoteIdent(name)));
        if (manager) {
            c.execute(QStringLiteral("GRANT %1 TO %2").arg(quoteIdent(r.admins), quoteIdent(name)));
            c.execute(QStringLiteral("ALTER ROLE %1 NOCREATEROLE").arg(quoteIdent(name)));
        }
    }
    const QString db = quoteIdent(c.scalar(QStringLiteral("select current_database()")).toString());
    c.execute(QStringLiteral("REVOKE ALL ON DATABASE %1 FROM %2").arg(db, quoteIdent(legacy)));
    c.execute(QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM %1").arg(quoteIdent(legacy)));
    c.execute(QStringLiteral("REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM %1").arg(quoteIdent(legacy)));
}

void toVersion2(Connection& c)
{
    hashLockPasswords(c);
    if (c.backend() == Backend::Postgres)
        ownRoles(c);
}

// PostgreSQL's identity columns never give a key twice and its NUMERIC columns hold numbers
// only: the embedded book's tables are made anew with AUTOINCREMENT and the amount checks.
// A stored amount of the wrong kind is named; the rebuild would only say a check failed.
void toVersion3(Connection& c)
{
    if (c.backend() != Backend::Sqlite)
        return;
    checkStoredAmounts(c);
    rebuildTables(c, 3);
}

// The objects the DDL of `version` makes beyond that of the version before (tables, indexes,
// triggers), for a step that adds them to a book.
void createObjectsOf(Connection& c, int version)
{
    const QStringList before = ddl(c.backend(), version - 1);
    for (const QString& s : ddl(c.backend(), version))
        if (!before.contains(s))
            c.execute(s);
}

// The control heads' classes and the book's settings: two tables of their own, the chart's
// tables unchanged. A head without a class is unclassified until someone sets it.
void toVersion4(Connection& c)
{
    const bool lite = c.backend() == Backend::Sqlite;
    for (const char* name : {tbl::AcClass, tbl::BookSettings}) {
        const QString table = QString::fromLatin1(name);
        const QString exists =
            lite ? QStringLiteral("select count(*) from sqlite_master where type = 'table' and lower(name) = lower(?)")
                 : QStringLiteral("select count(*) from information_schema.tables where table_schema = "
                                  "current_schema() and table_name = lower(?)");
        if (c.scalar(exists, {table}).toInt() > 0)
            continue;
        for (const QString& s : ddl(c.backend(), ClassesFrom))
            if (s.startsWith(QStringLiteral("CREATE TABLE %1 (").arg(table)))
                c.execute(s);
        if (!lite)
            c.execute(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON %1 TO %2")
                          .arg(table, ServerBook::quoteIdent(ServerBook::rolesOf(c).users)));
    }
}

// The month sums, built from the rows that are there; on a server the keeper owns their trigger.
void toVersion5(Connection& c)
{
    for (const QString& s : MonthSums::ddl(c.backend()))
        c.execute(s);
    if (c.backend() == Backend::Postgres) {
        const ServerBook::Roles r = ServerBook::rolesOf(c);
        MonthSums::secure(c, r.users, r.keeper);
    }
    MonthSums::rebuild(c);
}

// The period lock (empty: nothing locked) with the guards on the voucher rows, and the audit trail. On a
// server the functions and triggers follow with the renewal of the book's functions.
void toVersion6(Connection& c)
{
    const QString exists =
        c.backend() == Backend::Sqlite
            ? QStringLiteral("select count(*) from sqlite_master where name = 'PeriodLock'")
            : QStringLiteral("select count(*) from pg_class where oid = to_regclass('public.periodlock')");
    if (c.scalar(exists).toInt() > 0) // a server book's objects made ahead of its recorded version
        return;
    createObjectsOf(c, PeriodLockFrom);
    if (c.backend() == Backend::Postgres) {
        const ServerBook::Roles r = ServerBook::rolesOf(c);
        for (const QString& s :
             BookGuards::serverGrants(ServerBook::quoteIdent(r.users), ServerBook::quoteIdent(r.keeper)))
            c.execute(s);
    }
    // The trail starts from the book as it is: its first record hashes the book's contents.
    AuditTrail(c).appendOpening();
}

// Bank reconciliation: its two tables (empty) with their indexes and guards; on a server the
// trigger functions follow with the renewal of the book's functions.
void toVersion7(Connection& c)
{
    createObjectsOf(c, BankRecFrom);
    if (c.backend() == Backend::Postgres) {
        const ServerBook::Roles r = ServerBook::rolesOf(c);
        for (const QString& s :
             ClearingGuards::serverGrants(ServerBook::quoteIdent(r.users), ServerBook::quoteIdent(r.keeper)))
            c.execute(s);
    }
}

// On a server, the marks of the transactions that record their own changes; the row records
// triggers follow with the renewal of the book's functions. Nothing on the embedded file.
void toVersion8(Connection& c)
{
    if (c.backend() != Backend::Postgres || !c.scalar(QStringLiteral("select to_regclass('public.audittx')")).isNull())
        return;
    createObjectsOf(c, AuditMarksFrom);
    const ServerBook::Roles r = ServerBook::rolesOf(c);
    for (const QString& s : SqlAudit::markGrants(ServerBook::quoteIdent(r.users), ServerBook::quoteIdent(r.keeper)))
        c.execute(s);
    MonthSums::secure(c, r.users, r.keeper); // the month sums' trigger without machine-code compiling
}

// The voucher lines' account and contra indexes made again in the order the ledgers and books
// print (the old ones go first: same names).
void toVersion9(Connection& c)
{
    for (const char* name : {"ix_detjv_account", "ix_detjv_contra"})
        c.execute(QStringLiteral("DROP INDEX IF EXISTS %1").arg(QLatin1String(name)));
    createObjectsOf(c, LineOrderIndexesFrom);
}

// Each step brings a book of the version before it to its own version; they run in order in
// the upgrade's one transaction.
struct Step {
    int version;
    void (*run)(Connection&);
};
constexpr Step Steps[] = {{2, toVersion2}, {3, toVersion3}, {4, toVersion4}, {5, toVersion5},
                          {6, toVersion6}, {7, toVersion7}, {8, toVersion8}, {9, toVersion9}};
static_assert(std::size(Steps) == CurrentVersion - OldestVersion, "a step for every version");

QString newerText(int v)
{
    return QStringLiteral("This book was made by a newer version of Quoravel (schema version %1; this program knows "
                          "%2). Please install the newer program; the book was not changed.")
        .arg(v)
        .arg(CurrentVersion);
}

} // namespace

void migrate(Connection& c)
{
    Transaction tx(c);
    const int v = version(c);
    if (v < OldestVersion)
        throw DbError(QStringLiteral("The database holds no Quoravel schema."));
    if (v > CurrentVersion)
        throw DbError(newerText(v), QStringLiteral("QV_NEWSCHEMA"));
    // A step may copy every voucher line of a large server book: ordinary work's statement
    // limit would end it half-way (rolled back, but never done).
    if (v < CurrentVersion)
        c.allowLongStatements();
    for (const Step& step : Steps)
        if (v < step.version)
            step.run(c);
    if (v < CurrentVersion) {
        // Every step up gives a server book the login functions of the program that upgrades it.
        if (c.backend() == Backend::Postgres)
            ServerBook::installFunctions(c, ServerBook::rolesOf(c));
        c.execute(QStringLiteral("delete from SchemaInfo"));
        c.execute(QStringLiteral("insert into SchemaInfo (Version) values (?)"), {CurrentVersion});
    }
    tx.commit();
}

void checkOpened(Connection& c, const QString& dataSource)
{
    const int v = version(c);
    if (v == 0)
        throw DbError(QStringLiteral("The database holds no Quoravel book."));
    if (v > CurrentVersion)
        throw DbError(newerText(v), QStringLiteral("QV_NEWSCHEMA"));
    if (v < CurrentVersion)
        throw DbError(QStringLiteral("This book was made by an older version of Quoravel (schema version %1; this "
                                     "program needs %2). An administrator brings it up to date with: quoravel-admin "
                                     "upgrade --server %3")
                          .arg(v)
                          .arg(CurrentVersion)
                          .arg(dataSource),
                      QStringLiteral("QV_OLDSCHEMA"));
    // The embedded book's objects were compared when its file was opened.
    if (c.backend() == Backend::Postgres)
        verifyServer(c);
}

QString upgradeEmbedded(Connection& c)
{
    const int v = version(c);
    if (v == CurrentVersion)
        return {};
    if (v > CurrentVersion)
        throw DbError(newerText(v), QStringLiteral("QV_NEWSCHEMA"));
    // A wrong amount is named before anything is copied or changed.
    checkStoredAmounts(c);
    const QString book = c.embeddedPath();
    const QString target =
        QDir(backup::defaultFolder(book)).absoluteFilePath(backup::manualName(book, QDateTime::currentDateTime()));
    backup::copyTo(c, target);
    migrate(c);
    return target;
}

} // namespace qv::Schema
