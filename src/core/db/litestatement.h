#pragma once
// A statement run on the embedded book's own SQLite handle, for the few places where the driver's
// cost per row and value would be most of the work: many narrow rows read or written in one go
// (a ledger's lines). It is told to the connection's statement hook as every statement is, and
// its failures are raised as the connection's own.
#include "db/connection.h"

#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace qv {

// The embedded book's own SQLite handle under the connection's driver, or null on a server.
sqlite3* sqliteHandle(Connection& c);

// A column's value kept after its row: its storage class and value. Equal as GROUP BY
// compares: nulls alike, numbers by value, texts and blobs by their bytes.
struct LiteValue {
    int type = 0; // SQLITE_NULL .. as sqlite3_column_type gives
    qint64 integer = 0;
    double real = 0;
    std::string bytes;
    bool operator==(const LiteValue& o) const;
};

class LiteStatement {
public:
    // Prepares `sql` on the connection, which must be an embedded book's.
    LiteStatement(Connection& c, const QString& sql);
    ~LiteStatement();
    LiteStatement(const LiteStatement&) = delete;
    LiteStatement& operator=(const LiteStatement&) = delete;

    // Parameters from 1, as SQLite counts them.
    void bind(int i, qint64 v);
    void bindText(int i, const char* utf8, int bytes);
    void bind(int i, const QString& v);
    void bindNull(int i);
    void bind(int i, const LiteValue& v);
    // The column `col` of the current row as the value of parameter `i`, unchanged.
    void bindColumn(int i, const LiteStatement& from, int col);

    // The next row (true) or the end (false); a failure raises DbError.
    bool step();
    // Runs a statement that returns no rows, then makes it ready to run again.
    void run();

    bool isNull(int col) const;
    qint64 int64(int col) const;
    LiteValue value(int col) const;

private:
    Connection& m_c;
    QString m_sql;
    sqlite3_stmt* m_st = nullptr;
};

} // namespace qv
