#pragma once
// A record set with a client-side cursor: the whole result is buffered on open, so the record
// count is exact at once. Fields are read and written by column name without regard to case;
// a null reads as a null QVariant. Amount columns read as qv::Money and date columns as QDate.
// addNew()/update() write back to the one table the SELECT read, keyed by its primary key.
#include "db/connection.h"
#include "db/money.h"

#include <QSet>
#include <QStringList>
#include <QVector>

namespace qv {

class RecordSet {
public:
    void open(const QString& sql, Connection& conn, const QVariantList& params = {});
    bool isOpen() const { return m_conn != nullptr; }
    void close();

    int recordCount() const { return int(m_rows.size()); }
    void moveFirst() { m_pos = 0; }
    void moveNext()
    {
        if (m_pos < recordCount())
            ++m_pos;
    }
    void movePrevious()
    {
        if (m_pos >= 0)
            --m_pos;
    }
    void move(int row) { m_pos = row; }
    bool eof() const { return m_pos >= recordCount(); }
    bool bof() const { return m_pos < 0 || recordCount() == 0; }
    int position() const { return m_pos; }

    int columnCount() const { return int(m_columns.size()); }
    QString columnName(int i) const { return m_columns.value(i); }
    int columnIndex(const QString& name) const; // -1 when absent
    bool hasField(const QString& name) const { return columnIndex(name) >= 0; }

    // Current row.
    QVariant field(const QString& name) const;
    QString text(const QString& name) const; // null -> ""
    Money money(const QString& name) const;  // null -> 0
    bool isNull(const QString& name) const { return field(name).isNull(); }
    void setField(const QString& name, const QVariant& value);

    // Any row, for filling grids.
    QVariant value(int row, int column) const;

    void addNew();
    void update();
    QString sourceTable() const { return m_table; }

private:
    QVariant normalise(const QString& column, const QVariant& v) const;
    Connection& conn() const;

    Connection* m_conn = nullptr;
    QStringList m_columns;
    QVector<QVector<QVariant>> m_rows;
    int m_pos = 0;
    QString m_table;
    bool m_adding = false;
    QSet<int> m_dirty;
};

} // namespace qv
