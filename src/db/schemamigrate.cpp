// The schema version: the check when a book is opened and the steps from older versions.
#include "db/backup.h"
#include "db/logins.h"
#include "db/schema.h"
#include "db/serverbook.h"
#include "db/tables.h"

#include <QDir>

namespace qv::Schema {

namespace {

bool isLockHash(const QString& stored)
{
    return stored.startsWith(QLatin1String("$argon2id$"));
}

// Version 1 kept the lock password in clear in a 50-character column.
void hashLockPasswords(Connection& c)
{
    QList<QPair<qint64, QString>> rows;
    QSqlQuery q = c.query(QStringLiteral("select RowID, Pswd from LctPswd order by RowID"));
    while (q.next())
        rows.append({q.value(0).toLongLong(), q.value(1).toString()});
    if (c.backend() == Backend::Sqlite) {
        // SQLite cannot widen a checked column in place: a new table takes the rows.
        QString create;
        for (const QString& s : ddl(Backend::Sqlite))
            if (s.startsWith(QLatin1String("CREATE TABLE LctPswd ")))
                create = s;
        c.execute(QStringLiteral("DROP TABLE LctPswd"));
        c.execute(create);
        for (const auto& [id, pswd] : rows)
            c.execute(QStringLiteral("insert into LctPswd (RowID, Pswd) values (?, ?)"),
                      {id, isLockHash(pswd) || pswd.isEmpty() ? pswd : Logins::hashPassword(pswd)});
        return;
    }
    c.execute(QStringLiteral("ALTER TABLE LctPswd ALTER COLUMN Pswd TYPE VARCHAR(%1)").arg(LockHashWidth));
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
    if (v == 0)
        throw DbError(QStringLiteral("The database holds no Quoravel schema."));
    if (v > CurrentVersion)
        throw DbError(newerText(v), QStringLiteral("QV_NEWSCHEMA"));
    if (v < 2) {
        hashLockPasswords(c);
        if (c.backend() == Backend::Postgres)
            ownRoles(c);
    }
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
}

QString upgradeEmbedded(Connection& c)
{
    const int v = version(c);
    if (v == CurrentVersion)
        return {};
    if (v > CurrentVersion)
        throw DbError(newerText(v), QStringLiteral("QV_NEWSCHEMA"));
    const QString book = c.embeddedPath();
    const QString target =
        QDir(backup::defaultFolder(book)).absoluteFilePath(backup::manualName(book, QDateTime::currentDateTime()));
    backup::copyTo(c, target);
    migrate(c);
    return target;
}

} // namespace qv::Schema
