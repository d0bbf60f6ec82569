#pragma once
// The tables, their columns and keys, and the provisioning code that creates them on either
// backend. Working windows never create tables; only `quoravel-admin` and the first-run offer do.
#include "db/connection.h"

#include <QString>
#include <vector>

namespace qv {

enum class ColKind { Text, Int, SmallInt, Amount, Date, LongText };

struct ColumnDef {
    const char* name;
    ColKind kind;
    int width = 0;          // characters, text columns only
    const char* extra = ""; // e.g. "not null", "default 'N'"
};

struct TableDef {
    const char* name;
    const char* key; // primary key column
    bool identity;   // key assigned by the database
    std::vector<ColumnDef> columns;
    bool keysNeverReused = false; // a deleted row's key is not assigned again (embedded: AUTOINCREMENT)
    int since = 1;                // the schema version that made the table
    // Names of the amount columns.
    std::vector<QString> amountColumns() const
    {
        std::vector<QString> out;
        for (const ColumnDef& c : columns)
            if (c.kind == ColKind::Amount)
                out.push_back(QString::fromLatin1(c.name));
        return out;
    }
};

namespace Schema {
// 2: the lock password is stored as an argon2id hash (wider column); on a server each book
// has its own roles and login functions.
// 3 (embedded book): a voucher's RowID is never given again once deleted, so that it identifies
// the voucher a window opened; amount columns accept whole cents only.
// 4: the control heads' classes (AcClass) and the book's settings (BookSettings: the month its
// financial year starts).
// 5: each account's debit and credit totals per month, kept by triggers on DetJV (monthsums.h).
// 6: the period lock (PeriodLock, kept by triggers on MasJV and DetJV) and the audit trail
// (AuditTrail, a hash chain that logins may only read and append to).
// 7: bank reconciliation (BankRecon, BankClearing keyed to the DetJV row; guards on DetJV).
// 8 (server book): AuditTx, the transactions that recorded their changes themselves; the rows of
// any other transaction on the voucher, account and settings tables are recorded by statement triggers.
// 9: the voucher lines' account and contra indexes hold the lines in the order a ledger and a
// book print them (date, kind, number, entry), the account index also each line's amounts and
// contra account, so that a ledger reads its lines from the index alone and a book without a sort.
inline constexpr int CurrentVersion = 9;
inline constexpr int OldestVersion = 1; // the oldest book this program upgrades
inline constexpr int LockHashWidth = 128;
inline constexpr int LockClearWidth = 50; // version 1
inline constexpr int LockHashFrom = 2;
inline constexpr int KeysNeverReusedFrom = 3; // MasJV AUTOINCREMENT
inline constexpr int WholeCentsFrom = 3;      // amount columns checked, wrong kinds indexed
inline constexpr int ClassesFrom = 4;         // AcClass, BookSettings
inline constexpr int MonthSumsFrom = 5;
inline constexpr int PeriodLockFrom = 6;
inline constexpr int AuditTrailFrom = 6;
inline constexpr int BankRecFrom = 7;
inline constexpr int AuditMarksFrom = 8; // server: AuditTx, the row records of typed SQL
inline constexpr int LineOrderIndexesFrom = 9;

// Every table of the current version (each says the version that made it).
const std::vector<TableDef>& tables();
const TableDef* findTable(const QString& name);
// The kind of a column known by that name in any table (amount and date columns are converted
// by the record set); Text when unknown.
ColKind kindOf(const QString& column);

bool isProvisioned(Connection& c);
int version(Connection& c);
// Creates every table and index on an empty database (either backend) and records the version.
// On a server the grants and functions follow (ServerBook::secure).
void create(Connection& c);
// Brings an older stored database up to CurrentVersion, in one transaction. On a server `c`
// is the administrator's connection to the book (logins hold no DDL).
void migrate(Connection& c);
// Refuses a book this program cannot work on: not provisioned, newer (QV_NEWSCHEMA) or older
// (QV_OLDSCHEMA, the message says how to upgrade it). Run whenever a login opens a book.
void checkOpened(Connection& c, const QString& dataSource);
// The embedded book `c` has open, upgraded after a checked backup beside it; returns the
// backup's path (empty when the book was current).
QString upgradeEmbedded(Connection& c);
// The DDL statements for one backend as a book of `version` was made (exposed for the schema
// check, tests and the admin tool's --print-schema).
QStringList ddl(Backend b, int version = CurrentVersion);
// The embedded book's partial index of the rows of `t` holding an amount of the wrong storage
// kind (from WholeCentsFrom; empty name for a table without amounts), and its condition. It stays
// empty in a sound book, so finding such a row at every open costs nothing.
QString wrongKindIndex(const TableDef& t);
QString wrongKindCondition(const TableDef& t);
} // namespace Schema

} // namespace qv
