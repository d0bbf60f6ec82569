#pragma once
// The rows a report section reads: its declared fields selected from its tables, filtered by
// the template's own condition and the selection formula, in group order then sort order.
#include "db/connection.h"
#include "reportengine/template.h"

#include <QDateTime>
#include <QHash>
#include <QSqlQuery>
#include <QVector>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace qv::rpt {

using Row = QVector<QVariant>;

// A forward-only stream of rows.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual bool next(Row& row) = 0;
};

// The statement of a section; every value of the selection stays a bound parameter.
struct SectionSql {
    QString sql;
    QVariantList params;
};
SectionSql sectionSql(const Section& s, const Formula& selection, Backend backend);

// Streams a section's rows straight from the database, one at a time. On the embedded file the
// rows after the first are stepped from the driver's statement directly: a long book's rows
// then cost one conversion per value instead of the driver's cache and a copy of each.
class QueryRows : public RowSource {
public:
    QueryRows(Connection& c, const Section& s, const Formula& selection);
    bool next(Row& row) override;

private:
    bool nextFromStatement(Row& row);
    QVariant textValue(int col, FieldType type);
    struct LastText {
        bool valid = false;
        std::string bytes;
        QVariant value;
    };
    Connection& m_conn;
    const Section& m_section;
    Backend m_backend;
    QSqlQuery m_query;
    QString m_sql;
    sqlite3_stmt* m_stmt = nullptr; // after the first row, on the embedded file
    bool m_done = false;
    std::vector<LastText> m_lastText; // by column: the last text read and its value
};

// Rows read once and kept (subreports, which may be flowed more than once).
class BufferedRows : public RowSource {
public:
    explicit BufferedRows(const QVector<Row>* rows)
        : m_rows(rows)
    {
    }
    bool next(Row& row) override;

private:
    const QVector<Row>* m_rows;
    int m_pos = 0;
};

// A database value as the field's type holds it: Money, QDate, qint64/double or text.
QVariant fieldValue(const QVariant& raw, FieldType type, Backend backend);

// Everything a layout needs besides the rows.
struct RunContext {
    QHash<QString, QString> company; // the active company's columns, by lower-case name
    QStringList formulaTexts;        // by formula index, quotes removed
    QDateTime printed;
    QVector<QVector<Row>> subreportRows;
};

QHash<QString, QString> readActiveCompany(Connection& c);

} // namespace qv::rpt
