#pragma once
// A book on a PostgreSQL server and its own roles. Each database has three NOLOGIN roles named
// after it: the users' group (CONNECT and the program's table rights), the managers' group
// (may run the login functions) and the keeper that owns those functions and alone holds
// CREATEROLE. The functions (SECURITY DEFINER, fixed search_path) only create, change and drop
// plain logins of this book's users' group that hold nothing else on the server, take
// passwords only as SCRAM verifiers, let a manager set its own password but never another
// manager's, and write the lock password.
#include "db/connection.h"

namespace qv::ServerBook {

struct Roles {
    QString users;  // qvu_<database>
    QString keeper; // qvk_<database>
    QString admins; // qva_<database>
};
// The roles of the database named `catalog`; a name longer than 63 bytes is cut and given a
// hash of the whole database name, so that two books never share a role.
Roles rolesFor(const QString& catalog);
// The roles of the book `c` is connected to.
Roles rolesOf(Connection& c);

// "ident" with any '"' doubled, for names that cannot travel as bound parameters.
QString quoteIdent(const QString& name);
QString quoteLiteral(const QString& text);

// Creates the roles that are missing (any connection of an administrator with CREATEROLE);
// returns the names it created.
QStringList createRoles(Connection& admin, const Roles& r);
// Drops the given roles when they exist (undoing createRoles).
void dropRoles(Connection& admin, const QStringList& names);
// In the book's database, as its administrator: closes it to PUBLIC, grants the program's
// rights to the users (no DDL; SchemaInfo and LctPswd read-only) and (re)makes the functions.
void secure(Connection& book, const Roles& r);
// (Re)makes the book's login functions as this program has them and drops any that an older
// version made and this one does not, as the book's administrator (inside the caller's
// transaction). Running it again changes nothing; returns whether anything changed. Every
// upgrade of a server book runs it, so an existing book gets the functions of the program
// that upgrades it.
bool installFunctions(Connection& book, const Roles& r);

// Refuses a login name that a book's role would have (qvu_, qva_, qvk_).
void checkLoginName(const QString& name);
// Refuses a name already taken by a role that holds more than LOGIN (a superuser, CREATEROLE,
// ...) or belongs to a group that is not one of this book's.
void checkFirstLogin(Connection& admin, const Roles& r, const QString& name);
// Creates the first login of a book, or gives an existing plain login the new password, and
// makes it a user and manager of the book (administrator connection, inside its transaction).
void makeManager(Connection& admin, const Roles& r, const QString& name, const QString& password);

// The SCRAM-SHA-256 verifier of `password` for `user`, computed by libpq on this side, so that
// the clear password never travels in a statement (nor reaches the server's log).
QString scramVerifier(Connection& c, const QString& user, const QString& password);

} // namespace qv::ServerBook
