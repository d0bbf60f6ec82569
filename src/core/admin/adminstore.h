#pragma once
// The SQL behind the administrative windows: the menu rights in `Menus`, the shared lock
// password in `LctPswd`, and the checks around adding and removing database logins.
#include "db/connection.h"
#include "db/logins.h"

#include <QList>
#include <QString>

namespace qv {

class RightsStore {
public:
    explicit RightsStore(Connection& c)
        : m_c(c)
    {
    }

    struct Row {
        QString caption; // the `Menus` value, an ampersand stored doubled
        bool active = false;
    };

    // Whether any row has Active '1' (an empty table has none).
    bool anyActive();
    // Every row, in stored order (later rows win when two carry the same caption).
    QList<Row> rows();
    // Replaces the whole table with `rights`, in their order, in one transaction: a failure
    // leaves the previous rows as they were.
    void save(const QList<Row>& rights);

private:
    Connection& m_c;
};

class LockStore {
public:
    explicit LockStore(Connection& c)
        : m_c(c)
    {
    }

    // Whether some `LctPswd` row holds the hash of exactly the typed text (case and blanks count).
    bool passwordMatches(const QString& typed);

private:
    Connection& m_c;
};

class UserStore {
public:
    explicit UserStore(Connection& c)
        : m_c(c)
    {
    }

    bool exists(const QString& name);
    // Error texts for the user, empty when the request may go to the database.
    static QString checkPasswords(const QString& password, const QString& confirm);
    QString checkNew(const QString& name, const QString& password, const QString& confirm);
    QString checkExisting(const QString& name);
    QString checkRemoval(const QString& name, const QString& current);
    // A manager's password is changed by that login only.
    QString checkPasswordChange(const QString& name, const QString& current);

    // The requests themselves; the server's refusals come back as DbError.
    void add(const QString& name, const QString& password, Logins::HashCost cost = Logins::HashCost::Interactive);
    void changePassword(const QString& name, const QString& password,
                        Logins::HashCost cost = Logins::HashCost::Interactive);
    // Re-checks inside the removal that the login is not in use, not the last one and not a
    // manager.
    void remove(const QString& name, const QString& current);

private:
    Connection& m_c;
};

} // namespace qv
