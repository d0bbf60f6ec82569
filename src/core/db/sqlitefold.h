#pragma once
// Letter case on the embedded database, the same as on PostgreSQL.
class QSqlDatabase;

namespace qv {

// Replaces SQLite's lower(), which lowers only A-Z, with one that lowers every letter, as
// PostgreSQL's lower() does: "lower(AcName) like lower(?)" then finds "O'NEIL CAFÉ MÜLLER"
// from "müller" on both backends with one SQL text. False when the handle is not SQLite's.
bool registerUnicodeLower(const QSqlDatabase& db);

} // namespace qv
