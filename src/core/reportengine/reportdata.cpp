#include "reportengine/reportdata.h"

#include "db/money.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>

#include <cstring>
#include <sqlite3.h>

namespace qv::rpt {

SectionSql sectionSql(const Section& s, const Formula& selection, Backend backend)
{
    SectionSql out;
    QStringList cols;
    for (const FieldInfo& f : s.fields.all())
        cols << QStringLiteral("(%1) AS c%2").arg(f.sql, QString::number(f.index));
    out.sql = QStringLiteral("SELECT %1 FROM %2").arg(cols.join(QStringLiteral(", ")), s.from);
    // The template's own condition and the formula are each parenthesised: an "or" in the
    // formula cannot reach past its own part of the WHERE.
    QStringList where;
    if (!s.where.isEmpty())
        where << QStringLiteral("(%1)").arg(s.where);
    const SqlCondition sel = selection.toSql(backend);
    if (!sel.sql.isEmpty()) {
        where << sel.sql;
        out.params = sel.params;
    }
    if (!where.isEmpty())
        out.sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    QStringList order;
    auto key = [&](int field, bool desc) {
        const FieldInfo& f = s.fields.all()[field];
        QString k = QStringLiteral("(%1)").arg(f.sql);
        // Codes sort as text, byte by byte, on both backends (1.10 after 1.1 and before 1.2).
        if (f.type == FieldType::Text && backend == Backend::Postgres)
            k += QStringLiteral(" COLLATE \"C\"");
        order << (desc ? k + QStringLiteral(" DESC") : k);
    };
    for (int g : s.groups)
        key(g, false);
    for (const auto& [field, desc] : s.order)
        key(field, desc);
    if (s.summary) {
        // One row over the selected rows: the sums are exact (integer cents, NUMERIC).
        QStringList outer;
        for (const FieldInfo& f : s.fields.all()) {
            const bool summed = f.type == FieldType::Amount || f.type == FieldType::Number;
            outer << QString::fromLatin1(summed ? "COALESCE(SUM(c%1), 0) AS c%1" : "MIN(c%1) AS c%1").arg(f.index);
        }
        out.sql = QStringLiteral("SELECT %1 FROM (%2) AS q").arg(outer.join(QStringLiteral(", ")), out.sql);
        return out;
    }
    if (!order.isEmpty())
        out.sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    return out;
}

QVariant fieldValue(const QVariant& raw, FieldType type, Backend backend)
{
    if (raw.isNull() || !raw.isValid())
        return {};
    switch (type) {
    case FieldType::Amount:
        if (const auto m = moneyFromVariant(raw, backend == Backend::Sqlite))
            return QVariant::fromValue(*m);
        return {};
    case FieldType::Date: {
        if (raw.metaType() == QMetaType::fromType<QDate>())
            return raw;
        if (raw.metaType() == QMetaType::fromType<QDateTime>())
            return raw.toDateTime().date();
        const QDate d = QDate::fromString(raw.toString().left(10), Qt::ISODate);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::Number: {
        bool ok = false;
        const qint64 i = raw.toLongLong(&ok);
        if (ok)
            return i;
        const double d = raw.toDouble(&ok);
        if (!ok)
            return {};
        // A server's sum with more digits than 64 bits (PostgreSQL's sum of bigint is numeric)
        // must not print as a rounded figure.
        if (!(d > -9.2e18 && d < 9.2e18))
            throw DbError(QStringLiteral("A sum of numbers is too large to be represented (%1).").arg(raw.toString()),
                          QStringLiteral("22003"));
        if (d == double(qint64(d)))
            return qint64(d);
        return d;
    }
    case FieldType::Text:
        return raw.toString();
    }
    return {};
}

QueryRows::QueryRows(Connection& c, const Section& s, const Formula& selection)
    : m_conn(c)
    , m_section(s)
    , m_backend(c.backend())
{
    const SectionSql q = sectionSql(s, selection, m_backend);
    m_sql = q.sql;
    m_query = c.query(q.sql, q.params, true);
}

namespace {

bool digits(const char* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i] < '0' || p[i] > '9')
            return false;
    return true;
}

int number(const char* p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (p[i] - '0');
    return v;
}

// A stored date as a field's value: "yyyy-MM-dd" read directly, anything else as before (an
// invalid date is no date).
QVariant dateValue(const char* text, size_t n)
{
    if (n >= 10 && digits(text, 4) && text[4] == '-' && digits(text + 5, 2) && text[7] == '-' && digits(text + 8, 2)) {
        const QDate d(number(text, 4), number(text + 5, 2), number(text + 8, 2));
        return d.isValid() ? QVariant(d) : QVariant();
    }
    return fieldValue(QVariant(QString::fromUtf8(text, qsizetype(n))), FieldType::Date, Backend::Sqlite);
}

// The statement under a query of the embedded file's driver, or null.
sqlite3_stmt* sqliteStatement(const QSqlQuery& q)
{
    const QVariant h = q.result() ? q.result()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3_stmt*") != 0)
        return nullptr;
    return *static_cast<sqlite3_stmt* const*>(h.constData());
}

// A column of the current row as the driver gives it (integers as 64 bits, text as a string),
// so that every field converts as before.
QVariant sqliteValue(sqlite3_stmt* st, int i)
{
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(st, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st, i));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(st, i)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(st, i));
        return QVariant(QByteArray(data, sqlite3_column_bytes(st, i)));
    }
    default:
        return {};
    }
}

} // namespace

bool QueryRows::next(Row& row)
{
    if (m_done)
        return false;
    if (m_stmt)
        return nextFromStatement(row);
    if (!m_query.next()) {
        m_done = true;
        // A failure while reading is no end of the report: said, never a shorter report.
        if (m_query.lastError().isValid())
            m_conn.raise(m_query.lastError(), m_sql);
        return false;
    }
    const auto& fields = m_section.fields.all();
    row.resize(fields.size());
    for (int i = 0; i < fields.size(); ++i)
        row[i] = fieldValue(m_query.value(i), fields[i].type, m_backend);
    // The driver has stepped its statement to this row; the rest are stepped here.
    if (m_backend == Backend::Sqlite) {
        m_stmt = sqliteStatement(m_query);
        m_lastText.assign(size_t(fields.size()), {});
    }
    return true;
}

bool QueryRows::nextFromStatement(Row& row)
{
    const int rc = sqlite3_step(m_stmt);
    if (rc != SQLITE_ROW) {
        m_done = true;
        if (rc == SQLITE_DONE)
            return false;
        sqlite3* db = sqlite3_db_handle(m_stmt);
        m_conn.raise(QSqlError(QStringLiteral("Unable to fetch row"), QString::fromUtf8(sqlite3_errmsg(db)),
                               QSqlError::ConnectionError, QString::number(rc)),
                     m_sql);
    }
    const auto& fields = m_section.fields.all();
    row.resize(fields.size());
    for (int i = 0; i < fields.size(); ++i) {
        // The common cases straight to the field's value; the rest as the driver would give them.
        const int kind = sqlite3_column_type(m_stmt, i);
        const FieldType type = fields[i].type;
        if (kind == SQLITE_NULL)
            row[i] = QVariant();
        else if (kind == SQLITE_INTEGER && type == FieldType::Amount)
            row[i] = QVariant::fromValue(Money(sqlite3_column_int64(m_stmt, i)));
        else if (kind == SQLITE_INTEGER && type == FieldType::Number)
            row[i] = QVariant(qint64(sqlite3_column_int64(m_stmt, i)));
        else if (kind == SQLITE_TEXT && (type == FieldType::Text || type == FieldType::Date))
            row[i] = textValue(i, type);
        else
            row[i] = fieldValue(sqliteValue(m_stmt, i), type, m_backend);
    }
    return true;
}

// A text column's value. A column often holds the same text row after row (the book's account,
// a voucher's date, the company): that value is kept and shared, not converted again.
QVariant QueryRows::textValue(int col, FieldType type)
{
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
    const auto n = size_t(sqlite3_column_bytes(m_stmt, col));
    LastText& last = m_lastText[size_t(col)];
    if (last.valid && last.bytes.size() == n && std::memcmp(last.bytes.data(), text, n) == 0)
        return last.value;
    last.bytes.assign(text, n); // the buffer keeps its size: no allocation once it has grown
    if (type == FieldType::Text)
        last.value = QVariant(QString::fromUtf8(text, qsizetype(n)));
    else
        last.value = dateValue(text, n);
    last.valid = true;
    return last.value;
}

bool BufferedRows::next(Row& row)
{
    if (m_pos >= m_rows->size())
        return false;
    row = (*m_rows)[m_pos++];
    return true;
}

QHash<QString, QString> readActiveCompany(Connection& c)
{
    QHash<QString, QString> out;
    QSqlQuery q =
        c.query(QStringLiteral("SELECT CompCode, Company, comTel, comFax, comAddr, comActive, comTax, comNTN, "
                               "comEmail, comWebSite FROM Company WHERE comActive = ? ORDER BY CompCode"),
                {QStringLiteral("Y")});
    if (q.next()) {
        const QSqlRecord r = q.record();
        for (int i = 0; i < r.count(); ++i)
            out.insert(r.fieldName(i).toLower(), q.value(i).toString());
    }
    return out;
}

} // namespace qv::rpt
