#pragma once
// Inside the work tables' preparation (worktables.cpp): the batched inserter.
#include "db/connection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVector>

namespace qv::rpt {

// Creates the session's work table when it has none yet (AMOUNT in `columns` is the backend's
// amount type), and empties it.
void prepareWorkTable(Connection& c, const QString& name, const QString& columns);

// The rows of a work table, inserted Batch rows per statement (one prepared statement for the
// full batches): a ledger of many thousand lines costs few statements. finish() writes the rest.
class Inserter {
public:
    static constexpr int Batch = 40; // 40 rows of up to 21 columns stay under SQLite's 999 parameters
    Inserter(Connection& c, const QString& table, const QStringList& columns)
        : m_c(c)
        , m_table(table)
        , m_columns(columns)
        , m_full(c.database())
    {
    }
    void insert(const QVariantList& values)
    {
        m_rows.push_back(values);
        if (m_rows.size() == Batch)
            flush(m_full, m_fullReady);
    }
    void finish()
    {
        if (m_rows.isEmpty())
            return;
        QSqlQuery rest(m_c.database());
        bool ready = false;
        flush(rest, ready);
    }

private:
    void flush(QSqlQuery& q, bool& prepared)
    {
        if (!prepared) {
            QStringList marks, rows;
            for (int i = 0; i < m_columns.size(); ++i)
                marks << QStringLiteral("?");
            const QString row = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
            for (int r = 0; r < m_rows.size(); ++r)
                rows << row;
            if (!q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                               .arg(m_table, m_columns.join(QLatin1Char(',')), rows.join(QLatin1Char(',')))))
                fail(m_c, q);
            prepared = true;
        }
        int i = 0;
        for (const QVariantList& values : m_rows)
            for (const QVariant& v : values)
                q.bindValue(i++, m_c.toStorage(v));
        if (!q.exec())
            fail(m_c, q);
        m_rows.clear();
    }

public:
    [[noreturn]] static void fail(const Connection& c, const QSqlQuery& q) { c.raise(q.lastError(), q.lastQuery()); }

private:
    Connection& m_c;
    QString m_table;
    QStringList m_columns;
    QSqlQuery m_full;
    bool m_fullReady = false;
    QVector<QVariantList> m_rows;
};

} // namespace qv::rpt
