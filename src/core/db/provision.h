#pragma once
// Creating a new database: the schema, the first login, the lock password and, on request,
// a small demo company. Used by quoravel-admin, the first-run offer and the test fixture.
#include "db/logins.h"

#include <functional>

namespace qv {

struct InitOptions {
    QString dataSource; // as in Server.txt: ".", a file path, or host[:port]
    QString catalog = QStringLiteral("Fendral");
    QString user;
    QString password;
    QString lockPassword;
    bool demo = false;
    // With `demo`: writes the demo company's vouchers once its chart and setup are in, in the same
    // transaction (qv::addDemoVouchers; the vouchers go through the voucher store, above this layer).
    std::function<void(Connection&)> demoVouchers;
    bool replace = false; // drop an existing database first (tests and --force)
    Logins::HashCost cost = Logins::HashCost::Interactive;
    // PostgreSQL administrator connection (a superuser: it makes the book's roles and hands
    // their functions to the keeper role).
    QString adminUser = QStringLiteral("postgres");
    QString adminPassword;
    QString adminDatabase = QStringLiteral("postgres");
};

namespace Provision {
// Creates the database named by the options; throws DbError. Every input is checked before
// anything is touched. An embedded book is built beside its place and appears only when whole
// (0600, in folders made 0700); `replace` replaces only a book file nobody has open.
// Returns where it was made (the embedded file's path, or host:port/database).
QString init(const InitOptions& o);
// Writes the demo company (chart, company, voucher setup, categories; no vouchers) into a
// freshly created database.
void addDemoData(Connection& c);
// The longest lock password a user may type (the stored form may be longer).
inline constexpr int LockPasswordMaxLength = 50;
// An error text for a lock password that cannot be used (empty, too long, not text), or empty.
QString lockPasswordProblem(const QString& password);
// An error text for a catalog (database) name that is not a plain name, or empty.
QString checkCatalog(const QString& catalog);
// Sets (replaces) the lock password rows with one row: its argon2id hash. On a server a
// login writes it through the book's function, which only the book's managers may run.
void setLockPassword(Connection& c, const QString& password, Logins::HashCost cost = Logins::HashCost::Interactive);
} // namespace Provision

} // namespace qv
