#pragma once
// What the database itself keeps, whoever writes to it. The audit trail: on a server only the
// keeper's function appends to it (logins read it), serialising the appends so that the chain
// never forks. The locked period: whatever writes MasJV or DetJV (the program, a
// script, a login typing SQL on the server), a row dated on or before the locked-up-to date is
// neither written, changed nor deleted, and no row is moved onto or before it. The program checks
// first and says so in words; these are what nothing bypasses.
#include <QString>
#include <QStringList>

namespace qv::BookGuards {

// The embedded book's triggers (part of its DDL from the version that made PeriodLock).
QStringList sqliteTriggers();

// On a server: the trigger function and the managers' function that moves the date, both owned
// by the book's keeper (bodies in plpgsql).
QString guardBody();
QString moveBody();
// Appends one audit record with the server's time and the session's login, chained to the last
// (see db/audittrail.h for the hash); returns the new record's hash. Every user may call it; it
// also marks the calling transaction as one that recorded its changes (db/sqlaudit.h).
QString auditBody();
inline constexpr const char* AuditSignature = "qv_audit(action text, tbl text, rowkey text, before text, after text, "
                                              "host text)";
// The chain's append itself, for the keeper's functions only.
QString appendBody();
inline constexpr const char* AppendSignature = "qv_audit_append(action text, tbl text, rowkey text, before text, "
                                               "after text, host text)";
// The triggers that run the guard; made again by every renewal of the book's functions.
QStringList serverTriggers();
// (table, trigger) pairs, as PostgreSQL folds them, for the check at open: the guards and the
// records of typed SQL.
QList<QPair<QString, QString>> serverTriggerNames();
// Users read the lock and the trail; only the keeper's functions write them.
QStringList serverGrants(const QString& users, const QString& keeper);

} // namespace qv::BookGuards
