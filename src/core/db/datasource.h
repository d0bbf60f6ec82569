#pragma once
#include <QList>
#include <QStringList>

namespace qv {

enum class Backend { Sqlite, Postgres };

// What the Data Source text names: "." or empty -> the embedded file named after the catalog in
// the user's data folder; a path (has '/', or ends in .sqlite or .db) -> that file; anything else
// -> PostgreSQL: "host", "host:port", several servers "db1:5432,db2:5432" (the one that accepts
// writes serves), each optionally followed by "?sslmode=MODE" (default prefer) and
// "&reports=standby" (reports read on a standby when one answers, saves on the primary).
struct DataSource {
    Backend backend = Backend::Sqlite;
    QString filePath; // Sqlite
    QString host;     // Postgres: the first server
    int port = 5432;  // Postgres: its port
    QStringList hosts;
    QList<int> ports;
    QString sslMode = QStringLiteral("prefer");
    bool reportsOnStandby = false;
    QString error; // why the text names no usable server; empty when it does

    static DataSource parse(const QString& text, const QString& catalog);
    static QString defaultEmbeddedPath(const QString& catalog);
    // The libpq options beyond host, database, user and password: ports, sslmode, the limits on
    // a server or network that stops answering, and which server of several: for work the one
    // that takes writes (target_session_attrs=read-write), for reports read on a standby one
    // (prefer-standby). Separated by ';' (QPSQL's form).
    enum class Use { Work, Reports };
    QString connectOptions(Use use = Use::Work) const;
};

} // namespace qv
