#include "db/litestatement.h"

#include <QSqlDriver>
#include <QSqlError>
#include <sqlite3.h>

namespace qv {

sqlite3* sqliteHandle(Connection& c)
{
    const QVariant h = c.database().driver() ? c.database().driver()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

LiteStatement::LiteStatement(Connection& c, const QString& sql)
    : m_c(c)
    , m_sql(sql)
{
    sqlite3* db = sqliteHandle(c);
    if (!db)
        throw DbError(QStringLiteral("A statement of the embedded book was run on another kind of database."));
    if (c.statementHook())
        c.statementHook()(sql);
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &m_st, nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(m_st);
        m_st = nullptr;
        c.raise(QSqlError(QStringLiteral("Unable to prepare the statement"), why, QSqlError::StatementError), sql);
    }
}

LiteStatement::~LiteStatement()
{
    sqlite3_finalize(m_st);
}

void LiteStatement::bind(int i, qint64 v)
{
    sqlite3_bind_int64(m_st, i, v);
}

void LiteStatement::bindText(int i, const char* utf8, int bytes)
{
    sqlite3_bind_text(m_st, i, utf8, bytes, SQLITE_TRANSIENT);
}

void LiteStatement::bind(int i, const QString& v)
{
    if (v.isNull()) {
        bindNull(i);
        return;
    }
    const QByteArray utf8 = v.toUtf8();
    bindText(i, utf8.constData(), int(utf8.size()));
}

void LiteStatement::bindNull(int i)
{
    sqlite3_bind_null(m_st, i);
}

void LiteStatement::bind(int i, const LiteValue& v)
{
    switch (v.type) {
    case SQLITE_INTEGER:
        sqlite3_bind_int64(m_st, i, v.integer);
        break;
    case SQLITE_FLOAT:
        sqlite3_bind_double(m_st, i, v.real);
        break;
    case SQLITE_TEXT:
        sqlite3_bind_text(m_st, i, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    case SQLITE_BLOB:
        sqlite3_bind_blob(m_st, i, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    default:
        sqlite3_bind_null(m_st, i);
    }
}

void LiteStatement::bindColumn(int i, const LiteStatement& from, int col)
{
    sqlite3_bind_value(m_st, i, sqlite3_column_value(from.m_st, col));
}

bool LiteStatement::step()
{
    const int rc = sqlite3_step(m_st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3* db = sqlite3_db_handle(m_st);
    const QString why = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_reset(m_st);
    m_c.raise(
        QSqlError(QStringLiteral("Unable to run the statement"), why, QSqlError::StatementError, QString::number(rc)),
        m_sql);
}

void LiteStatement::run()
{
    while (step()) {
    }
    sqlite3_reset(m_st);
}

bool LiteStatement::isNull(int col) const
{
    return sqlite3_column_type(m_st, col) == SQLITE_NULL;
}

qint64 LiteStatement::int64(int col) const
{
    return sqlite3_column_int64(m_st, col);
}

LiteValue LiteStatement::value(int col) const
{
    LiteValue v;
    v.type = sqlite3_column_type(m_st, col);
    if (v.type == SQLITE_INTEGER)
        v.integer = sqlite3_column_int64(m_st, col);
    else if (v.type == SQLITE_FLOAT)
        v.real = sqlite3_column_double(m_st, col);
    else if (v.type == SQLITE_TEXT)
        v.bytes.assign(reinterpret_cast<const char*>(sqlite3_column_text(m_st, col)),
                       size_t(sqlite3_column_bytes(m_st, col)));
    else if (v.type == SQLITE_BLOB)
        v.bytes.assign(static_cast<const char*>(sqlite3_column_blob(m_st, col)),
                       size_t(sqlite3_column_bytes(m_st, col)));
    return v;
}

bool LiteValue::operator==(const LiteValue& o) const
{
    const bool num = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
    const bool otherNum = o.type == SQLITE_INTEGER || o.type == SQLITE_FLOAT;
    if (num && otherNum) {
        if (type == SQLITE_INTEGER && o.type == SQLITE_INTEGER)
            return integer == o.integer;
        return (type == SQLITE_INTEGER ? double(integer) : real)
               == (o.type == SQLITE_INTEGER ? double(o.integer) : o.real);
    }
    return type == o.type && bytes == o.bytes;
}

} // namespace qv
