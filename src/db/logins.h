#pragma once
// Database logins. Embedded: the Logins table of argon2id hashes. PostgreSQL: real roles that
// get the program's rights through their book's users' group (db/serverbook.h).
#include "db/connection.h"

#include <QStringList>

namespace qv::Logins {

enum class HashCost { Interactive, Minimal }; // Minimal: only for test databases

QString hashPassword(const QString& password, HashCost cost = HashCost::Interactive);
bool verifyHash(const QString& hash, const QString& password);

// The checks a new login name must pass on both backends (letters, digits, '_', '.', '-',
// 1 to 63 characters, starting with a letter or '_'); returns an error text or empty.
QString checkName(const QString& name);

// Works on the connection's own backend: embedded rows or server roles.
QStringList list(Connection& c);
void add(Connection& c, const QString& name, const QString& password, HashCost cost = HashCost::Interactive);
void setPassword(Connection& c, const QString& name, const QString& password, HashCost cost = HashCost::Interactive);
void remove(Connection& c, const QString& name);

bool verifyEmbedded(Connection& c, const QString& name, const QString& password);

} // namespace qv::Logins
