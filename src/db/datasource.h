#pragma once
#include <QString>

namespace qv {

enum class Backend { Sqlite, Postgres };

// What the Data Source text names: "." or empty -> the embedded file named after the catalog in
// the user's data folder; a path (has '/', or ends in .sqlite or .db) -> that file; anything else
// -> a PostgreSQL server "host" or "host:port".
struct DataSource {
    Backend backend = Backend::Sqlite;
    QString filePath; // Sqlite
    QString host;     // Postgres
    int port = 5432;  // Postgres

    static DataSource parse(const QString& text, const QString& catalog);
    static QString defaultEmbeddedPath(const QString& catalog);
};

} // namespace qv
