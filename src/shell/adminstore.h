#pragma once
// The SQL behind the administrative windows: the menu rights in `Menus`, the shared lock
// password in `LctPswd`, and the checks around adding and removing database logins.
#include "db/connection.h"
#include "db/logins.h"

#include <QList>
#include <QString>

namespace qv {

namespace RightsStore {

struct Row {
    QString caption; // the `Menus` value, an ampersand stored doubled
    bool active = false;
};

// Whether any row has Active '1' (an empty table has none).
bool anyActive(Connection& c);
// Every row, in stored order (later rows win when two carry the same caption).
QList<Row> rows(Connection& c);
// Replaces the whole table with `rights`, in their order, in one transaction: a failure
// leaves the previous rows as they were.
void save(Connection& c, const QList<Row>& rights);

} // namespace RightsStore

namespace LockStore {
// Whether some `LctPswd` row holds exactly the typed text (case and blanks count).
bool passwordMatches(Connection& c, const QString& typed);
} // namespace LockStore

namespace UserStore {

bool exists(Connection& c, const QString& name);
// Error texts for the user, empty when the request may go to the database.
QString checkPasswords(const QString& password, const QString& confirm);
QString checkNew(Connection& c, const QString& name, const QString& password, const QString& confirm);
QString checkExisting(Connection& c, const QString& name);
QString checkRemoval(Connection& c, const QString& name, const QString& current);

// The requests themselves; the server's refusals come back as DbError.
void add(Connection& c, const QString& name, const QString& password,
         Logins::HashCost cost = Logins::HashCost::Interactive);
void changePassword(Connection& c, const QString& name, const QString& password,
                    Logins::HashCost cost = Logins::HashCost::Interactive);
// Re-checks inside the removal that the login is not in use and not the last one.
void remove(Connection& c, const QString& name, const QString& current);

} // namespace UserStore

} // namespace qv
