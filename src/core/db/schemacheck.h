#pragma once
// The book's schema objects against the program's own. A book holding a table, index, trigger or
// view that this program does not make for the book's schema version (someone's trigger would
// fire on ordinary commands), or missing one of its own, is refused before anything is written;
// so is an embedded book holding an amount stored as anything but whole cents. The expected
// objects are what the program's DDL for that version makes, so a later version's objects are
// expected from the moment its DDL makes them.
#include "db/connection.h"

namespace qv::Schema {

struct SchemaObject {
    QString type, name, table, sql; // as sqlite_master holds them
};
// The objects the program's DDL makes for an embedded book of `version`.
QList<SchemaObject> expectedObjects(int version);

// The embedded book open on `c`, as soon as it is opened: the objects of its schema version (a
// version this program does not know is left to the version checks) and no amount of the wrong
// kind, found through the wrong-kind indexes at no cost. Throws DbError ("QV_BADSCHEMA") naming
// the object or the row.
void verifyEmbedded(Connection& c);
// A book on a server: no table, view, trigger or rule in its schema that this program does not
// make, its tables with their columns, and no column default that calls a function.
void verifyServer(Connection& c);
// A book file before it is restored or relied on as a backup, opened read-only: a schema version
// this program works on, every object as that version makes it, every amount read in full.
// Throws DbError saying what is wrong.
void verifyBookFile(const QString& path);
// Every amount of the embedded book open on `c` read in full (an older book has no wrong-kind
// index); throws DbError naming the first value of the wrong kind.
void checkStoredAmounts(Connection& c);

} // namespace qv::Schema
