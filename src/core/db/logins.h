#pragma once
// Database logins. Embedded: the Logins table of argon2id hashes. PostgreSQL: real roles that
// get the program's rights through their book's users' group (db/serverbook.h).
#include "db/connection.h"

#include <QStringList>
#include <optional>

namespace qv::Logins {

enum class HashCost { Interactive, Minimal }; // Minimal: only for test databases

// Throws DbError for a password that is not valid text (see passwordProblem).
QString hashPassword(const QString& password, HashCost cost = HashCost::Interactive);
// False for a wrong or invalid password; throws DbError for a stored hash that is not argon2id
// or asks for more memory or passes than the program's own (interactive) parameters.
bool verifyHash(const QString& hash, const QString& password);

// Bytes from outside (command line, standard input, files) as UTF-8 text; nothing when they
// are not valid UTF-8.
std::optional<QString> decodeUtf8(const QByteArray& bytes);
// An error text for a password that cannot be valid UTF-8 text (U+FFFD, lone surrogates).
QString passwordProblem(const QString& password);

// The checks a new login name must pass on both backends (letters, digits, '_', '.', '-',
// 1 to 63 characters, starting with a letter or '_'); returns an error text or empty.
QString checkName(const QString& name);

// Works on the connection's own backend: embedded rows or server roles.
QStringList list(Connection& c);
// Who manages the book. A server: the logins of its managers' group (made by the server's
// administrator; they alone add logins and set the lock password). The embedded file: its
// first login (the lowest RowID, the one the book was made with), which can be removed by
// nobody, so that the book always keeps its owner.
QStringList managers(Connection& c);
bool isManager(Connection& c, const QString& name);
// The refusals of the two rules above, the same on both backends.
QString managerRemovalRefusal(const QString& name);
QString managerPasswordRefusal(const QString& name);
void add(Connection& c, const QString& name, const QString& password, HashCost cost = HashCost::Interactive);
// A manager's password is set by that login itself only (on a server also by the server's
// administrator; on the embedded file by a connection opened without a login, which only
// provisioning and the admin tool make).
void setPassword(Connection& c, const QString& name, const QString& password, HashCost cost = HashCost::Interactive);
// Never a manager (nor, on a server, a login that holds anything beyond the book).
void remove(Connection& c, const QString& name);

bool verifyEmbedded(Connection& c, const QString& name, const QString& password);

} // namespace qv::Logins
