#pragma once
// The tables, their columns and keys, and the provisioning code that creates them on either
// backend. Working windows never create tables; only `quoravel-admin` and the first-run offer do.
#include "db/connection.h"

#include <QString>
#include <vector>

namespace qv {

enum class ColKind { Text, Int, SmallInt, Amount, Date };

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
};

namespace Schema {
inline constexpr int CurrentVersion = 1;

const std::vector<TableDef>& tables();
const TableDef* findTable(const QString& name);
// The kind of a column known by that name in any table (amount and date columns are converted
// by the record set); Text when unknown.
ColKind kindOf(const QString& column);

bool isProvisioned(Connection& c);
int version(Connection& c);
// Creates every table and index on an empty database (either backend) and records the version.
void create(Connection& c);
// Brings an older stored database up to CurrentVersion.
void migrate(Connection& c);
// The DDL statements for one backend (exposed for tests and the admin tool's --print-schema).
QStringList ddl(Backend b);
} // namespace Schema

} // namespace qv
