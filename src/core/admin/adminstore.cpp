#include "admin/adminstore.h"

#include "db/audittrail.h"

#include <QSqlQuery>

namespace qv {

bool RightsStore::anyActive()
{
    QSqlQuery q = m_c.query(QStringLiteral("Select Active From Menus Where Active='1'"));
    return q.next();
}

QList<RightsStore::Row> RightsStore::rows()
{
    // Stored order made explicit: "a later row wins" must not depend on the server's plan.
    QSqlQuery q = m_c.query(QStringLiteral("Select Menus,Active From Menus order by RowID"));
    QList<Row> out;
    while (q.next())
        out.append({q.value(0).toString(), !q.value(1).isNull() && q.value(1).toString() == QLatin1String("1")});
    return out;
}

void RightsStore::save(const QList<Row>& rights)
{
    Transaction tx(m_c);
    AuditTrail(m_c).declare();
    const QString before = AuditTrail::rowsImage(m_c, QStringLiteral("Menus"));
    m_c.execute(QStringLiteral("Delete From Menus"));
    for (const Row& r : rights)
        m_c.execute(QStringLiteral("insert into Menus (Menus, Active) values (?, ?)"), {r.caption, r.active ? 1 : 0});
    AuditTrail(m_c).append(QStringLiteral("menu rights saved"), QStringLiteral("Menus"), {}, before,
                           AuditTrail::rowsImage(m_c, QStringLiteral("Menus")));
    tx.commit();
}

bool LockStore::passwordMatches(const QString& typed)
{
    // The rows hold argon2id hashes: the typed text is verified against each, exactly.
    QSqlQuery q = m_c.query(QStringLiteral("Select Pswd From LctPswd"));
    QStringList hashes;
    while (q.next())
        hashes << q.value(0).toString();
    for (const QString& h : hashes)
        if (Logins::verifyHash(h, typed))
            return true;
    return false;
}

bool UserStore::exists(const QString& name)
{
    // On a server a role name is taken for the whole cluster, whether or not it is ours.
    const QString sql = m_c.backend() == Backend::Sqlite
                            ? QStringLiteral("select count(*) from Logins where UserName = ?")
                            : QStringLiteral("select count(*) from pg_roles where rolname = ?");
    return m_c.scalar(sql, {name}).toInt() > 0;
}

QString UserStore::checkPasswords(const QString& password, const QString& confirm)
{
    if (password.isEmpty())
        return QStringLiteral("Please enter a password.");
    if (password != confirm)
        return QStringLiteral("The two passwords do not match.");
    return {};
}

QString UserStore::checkNew(const QString& name, const QString& password, const QString& confirm)
{
    if (const QString err = Logins::checkName(name); !err.isEmpty())
        return err;
    if (exists(name))
        return QStringLiteral("The user name \"%1\" is already taken.").arg(name);
    return checkPasswords(password, confirm);
}

QString UserStore::checkExisting(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("Please enter a user name.");
    // Only the program's own logins: a server role outside its group is not ours to touch.
    if (!Logins::list(m_c).contains(name))
        return QStringLiteral("There is no user \"%1\".").arg(name);
    return {};
}

QString UserStore::checkRemoval(const QString& name, const QString& current)
{
    if (const QString err = checkExisting(name); !err.isEmpty())
        return err;
    if (name == current)
        return QStringLiteral("\"%1\" is the user logged in now and cannot be removed.").arg(name);
    if (Logins::list(m_c).size() <= 1)
        return QStringLiteral("\"%1\" is the only user left and cannot be removed.").arg(name);
    // The book's owner stays: the lock password alone must not lock it out.
    if (Logins::isManager(m_c, name))
        return Logins::managerRemovalRefusal(name);
    return {};
}

QString UserStore::checkPasswordChange(const QString& name, const QString& current)
{
    if (const QString err = checkExisting(name); !err.isEmpty())
        return err;
    if (name != current && Logins::isManager(m_c, name))
        return Logins::managerPasswordRefusal(name);
    return {};
}

void UserStore::add(const QString& name, const QString& password, Logins::HashCost cost)
{
    Transaction tx(m_c);
    Logins::add(m_c, name, password, cost);
    AuditTrail(m_c).append(QStringLiteral("login added"), QStringLiteral("Logins"), name, {}, {});
    tx.commit();
}

void UserStore::changePassword(const QString& name, const QString& password, Logins::HashCost cost)
{
    if (const QString err = checkExisting(name); !err.isEmpty())
        throw DbError(err);
    Logins::setPassword(m_c, name, password, cost);
}

void UserStore::remove(const QString& name, const QString& current)
{
    // On the embedded file the write lock taken here keeps two stations from removing the
    // last two logins at once.
    Transaction tx(m_c);
    if (const QString err = checkRemoval(name, current); !err.isEmpty())
        throw DbError(err);
    Logins::remove(m_c, name);
    AuditTrail(m_c).append(QStringLiteral("login removed"), QStringLiteral("Logins"), name, {}, {});
    tx.commit();
}

} // namespace qv
