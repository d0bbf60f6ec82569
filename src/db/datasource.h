#pragma once
#include <QList>
#include <QStringList>

namespace qv {

enum class Backend { Sqlite, Postgres };

// What the Data Source text names: "." or empty -> the embedded file named after the catalog in
// the user's data folder; a path (has '/', or ends in .sqlite or .db) -> that file; anything else
// -> PostgreSQL: "host", "host:port", several servers "db1:5432,db2:5432" (the one that accepts
// writes serves), each optionally followed by "?sslmode=MODE" (default prefer).
struct DataSource {
    Backend backend = Backend::Sqlite;
    QString filePath; // Sqlite
    QString host;     // Postgres: the first server
    int port = 5432;  // Postgres: its port
    QStringList hosts;
    QList<int> ports;
    QString sslMode = QStringLiteral("prefer");
    QString error; // why the text names no usable server; empty when it does

    static DataSource parse(const QString& text, const QString& catalog);
    static QString defaultEmbeddedPath(const QString& catalog);
    // The libpq options beyond host, database, user and password: ports, sslmode, and for
    // several servers target_session_attrs=read-write. Separated by ';' (QPSQL's form).
    QString connectOptions() const;
    // "host:port" or "db1:5432,db2:5432", for messages.
    QString serverText() const;
};

} // namespace qv
