#pragma once
// The database's own guard of the locked period: whatever writes MasJV or DetJV (the program, a
// script, a login typing SQL on the server), a row dated on or before the locked-up-to date is
// neither written, changed nor deleted, and no row is moved onto or before it. The program checks
// first and says so in words; these are what nothing bypasses.
#include <QString>
#include <QStringList>

namespace qv::PeriodLockSchema {

// The embedded book's triggers (part of its DDL from the version that made PeriodLock).
QStringList sqliteTriggers();

// On a server: the trigger function and the managers' function that moves the date, both owned
// by the book's keeper (bodies in plpgsql).
QString guardBody();
QString moveBody();
// The triggers that run the guard; made again by every renewal of the book's functions.
QStringList serverTriggers();
// (table, trigger) pairs, as PostgreSQL folds them, for the check at open.
QList<QPair<QString, QString>> serverTriggerNames();
// Users read the lock; only the keeper's function writes it.
QStringList serverGrants(const QString& users, const QString& keeper);

} // namespace qv::PeriodLockSchema
