#include "shell/adminstore.h"

#include <QSqlQuery>

namespace qv {

namespace RightsStore {

bool anyActive(Connection& c)
{
    QSqlQuery q = c.query(QStringLiteral("Select Active From Menus Where Active='1'"));
    return q.next();
}

QList<Row> rows(Connection& c)
{
    // Stored order made explicit: "a later row wins" must not depend on the server's plan.
    QSqlQuery q = c.query(QStringLiteral("Select Menus,Active From Menus order by RowID"));
    QList<Row> out;
    while (q.next())
        out.append({q.value(0).toString(), !q.value(1).isNull() && q.value(1).toString() == QLatin1String("1")});
    return out;
}

void save(Connection& c, const QList<Row>& rights)
{
    Transaction tx(c);
    c.execute(QStringLiteral("Delete From Menus"));
    for (const Row& r : rights)
        c.execute(QStringLiteral("insert into Menus (Menus, Active) values (?, ?)"), {r.caption, r.active ? 1 : 0});
    tx.commit();
}

} // namespace RightsStore

namespace LockStore {

bool passwordMatches(Connection& c, const QString& typed)
{
    return c.scalar(QStringLiteral("Select count(*) From LctPswd Where Pswd = ?"), {typed}).toInt() > 0;
}

} // namespace LockStore

namespace UserStore {

bool exists(Connection& c, const QString& name)
{
    // On a server a role name is taken for the whole cluster, whether or not it is ours.
    const QString sql = c.backend() == Backend::Sqlite
                            ? QStringLiteral("select count(*) from Logins where UserName = ?")
                            : QStringLiteral("select count(*) from pg_roles where rolname = ?");
    return c.scalar(sql, {name}).toInt() > 0;
}

QString checkPasswords(const QString& password, const QString& confirm)
{
    if (password.isEmpty())
        return QStringLiteral("Please enter a password.");
    if (password != confirm)
        return QStringLiteral("The two passwords do not match.");
    return {};
}

QString checkNew(Connection& c, const QString& name, const QString& password, const QString& confirm)
{
    if (const QString err = Logins::checkName(name); !err.isEmpty())
        return err;
    if (exists(c, name))
        return QStringLiteral("The user name \"%1\" is already taken.").arg(name);
    return checkPasswords(password, confirm);
}

QString checkExisting(Connection& c, const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("Please enter a user name.");
    // Only the program's own logins: a server role outside its group is not ours to touch.
    if (!Logins::list(c).contains(name))
        return QStringLiteral("There is no user \"%1\".").arg(name);
    return {};
}

QString checkRemoval(Connection& c, const QString& name, const QString& current)
{
    if (const QString err = checkExisting(c, name); !err.isEmpty())
        return err;
    if (name == current)
        return QStringLiteral("\"%1\" is the user logged in now and cannot be removed.").arg(name);
    if (Logins::list(c).size() <= 1)
        return QStringLiteral("\"%1\" is the only user left and cannot be removed.").arg(name);
    return {};
}

void add(Connection& c, const QString& name, const QString& password, Logins::HashCost cost)
{
    Logins::add(c, name, password, cost);
}

void changePassword(Connection& c, const QString& name, const QString& password, Logins::HashCost cost)
{
    if (const QString err = checkExisting(c, name); !err.isEmpty())
        throw DbError(err);
    Logins::setPassword(c, name, password, cost);
}

void remove(Connection& c, const QString& name, const QString& current)
{
    // On the embedded file the write lock taken here keeps two stations from removing the
    // last two logins at once.
    Transaction tx(c);
    if (const QString err = checkRemoval(c, name, current); !err.isEmpty())
        throw DbError(err);
    Logins::remove(c, name);
    tx.commit();
}

} // namespace UserStore

} // namespace qv
