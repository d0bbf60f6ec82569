#include "db/recordset.h"

#include "db/schema.h"

#include <QDate>
#include <QRegularExpression>
#include <QSqlRecord>

namespace qv {

namespace {
// The one table a plain "select ... from T [where ...] [order by ...]" reads; empty for joins.
QString singleTable(const QString& sql)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s.*?\\sfrom\\s+([A-Za-z_][A-Za-z0-9_]*)\\s*(?:$|where\\b|order\\b)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(sql);
    if (!m.hasMatch())
        return {};
    static const QRegularExpression join(QStringLiteral("\\bjoin\\b"), QRegularExpression::CaseInsensitiveOption);
    if (join.match(sql).hasMatch())
        return {};
    return m.captured(1);
}
} // namespace

Connection& RecordSet::conn() const
{
    if (!m_conn)
        throw DbError(QStringLiteral("The record set is not open."));
    return *m_conn;
}

void RecordSet::close()
{
    m_conn = nullptr;
    m_columns.clear();
    m_rows.clear();
    m_pos = 0;
    m_table.clear();
    m_adding = false;
    m_dirty.clear();
}

QVariant RecordSet::normalise(const QString& column, const QVariant& v) const
{
    if (v.isNull() || !v.isValid())
        return {};
    switch (Schema::kindOf(column)) {
    case ColKind::Amount:
        if (auto m = m_conn->money(v))
            return QVariant::fromValue(*m);
        return v;
    case ColKind::Date:
        if (v.metaType() == QMetaType::fromType<QString>()) {
            const QDate d = QDate::fromString(v.toString().left(10), Qt::ISODate);
            return d.isValid() ? QVariant(d) : v;
        }
        if (v.metaType() == QMetaType::fromType<QDateTime>())
            return v.toDateTime().date();
        return v;
    default:
        return v;
    }
}

void RecordSet::open(const QString& sql, Connection& connection, const QVariantList& params)
{
    close();
    QSqlQuery q = connection.query(sql, params, true);
    m_conn = &connection;
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        m_columns << rec.fieldName(i);
    while (q.next()) {
        QVector<QVariant> row(m_columns.size());
        for (int i = 0; i < m_columns.size(); ++i)
            row[i] = normalise(m_columns[i], q.value(i));
        m_rows.push_back(std::move(row));
    }
    m_table = singleTable(sql);
}

int RecordSet::columnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant RecordSet::field(const QString& name) const
{
    const int c = columnIndex(name);
    if (c < 0)
        throw DbError(QStringLiteral("Item cannot be found: there is no column \"%1\" in the result.").arg(name));
    if (m_pos < 0 || m_pos >= recordCount())
        throw DbError(QStringLiteral("Either BOF or EOF is True: there is no current row."));
    return m_rows[m_pos][c];
}

QString RecordSet::text(const QString& name) const
{
    const QVariant v = field(name);
    if (v.isNull())
        return {};
    if (v.metaType() == QMetaType::fromType<Money>())
        return plainAmount(v.value<Money>());
    if (v.metaType() == QMetaType::fromType<QDate>())
        return v.toDate().toString(Qt::ISODate);
    return v.toString();
}

Money RecordSet::money(const QString& name) const
{
    return conn().moneyOrZero(field(name));
}

QVariant RecordSet::value(int row, int column) const
{
    if (row < 0 || row >= recordCount() || column < 0 || column >= columnCount())
        return {};
    return m_rows[row][column];
}

void RecordSet::setField(const QString& name, const QVariant& value)
{
    const int c = columnIndex(name);
    if (c < 0)
        throw DbError(QStringLiteral("Item cannot be found: there is no column \"%1\" in the result.").arg(name));
    if (m_pos < 0 || m_pos >= recordCount())
        throw DbError(QStringLiteral("Either BOF or EOF is True: there is no current row."));
    QVariant v = value;
    if (!v.isNull() && v.isValid() && Schema::kindOf(name) == ColKind::Amount
        && v.metaType() != QMetaType::fromType<Money>()) {
        const auto m = parseAmount(v.toString());
        if (!m)
            throw DbError(QStringLiteral("\"%1\" is not an amount (column %2).").arg(v.toString(), name));
        v = QVariant::fromValue(*m);
    }
    if (v.metaType() == QMetaType::fromType<QString>() && Schema::kindOf(name) == ColKind::Date) {
        const QDate d = QDate::fromString(v.toString(), Qt::ISODate);
        if (d.isValid())
            v = d;
    }
    m_rows[m_pos][c] = v.isValid() ? v : QVariant();
    m_dirty.insert(c);
}

void RecordSet::addNew()
{
    conn();
    if (m_table.isEmpty())
        throw DbError(QStringLiteral("This result cannot take new rows: it does not read exactly one table."));
    m_rows.push_back(QVector<QVariant>(m_columns.size()));
    m_pos = recordCount() - 1;
    m_adding = true;
    m_dirty.clear();
}

void RecordSet::update()
{
    Connection& c = conn();
    const TableDef* def = Schema::findTable(m_table);
    if (!def)
        throw DbError(QStringLiteral("This result cannot be updated: it does not read one known table."));
    const int keyCol = columnIndex(QLatin1String(def->key));
    if (m_pos < 0 || m_pos >= recordCount())
        throw DbError(QStringLiteral("Either BOF or EOF is True: there is no current row."));
    QVector<QVariant>& row = m_rows[m_pos];
    QList<int> cols(m_dirty.begin(), m_dirty.end());
    std::sort(cols.begin(), cols.end());

    if (m_adding) {
        QStringList names, marks;
        QVariantList params;
        for (int i : cols) {
            if (i == keyCol && def->identity)
                continue;
            names << m_columns[i];
            marks << QStringLiteral("?");
            params << row[i];
        }
        const QString key = QLatin1String(def->key);
        const QString sql = names.isEmpty()
                                ? QStringLiteral("insert into %1 default values returning %2").arg(m_table, key)
                                : QStringLiteral("insert into %1 (%2) values (%3) returning %4")
                                      .arg(m_table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')), key);
        const qint64 newKey = c.insertReturningKey(sql, params);
        m_adding = false;
        m_dirty.clear();
        // Re-read the row so that defaults (DeleteStatus 'N') and the key show as stored.
        QSqlQuery q = c.query(QStringLiteral("select * from %1 where %2 = ?").arg(m_table, key), {newKey});
        if (q.next()) {
            const QSqlRecord rec = q.record();
            for (int i = 0; i < m_columns.size(); ++i) {
                const int j = rec.indexOf(m_columns[i]);
                if (j >= 0)
                    row[i] = normalise(m_columns[i], q.value(j));
            }
        }
        return;
    }
    if (cols.isEmpty())
        return;
    if (keyCol < 0 || row[keyCol].isNull())
        throw DbError(QStringLiteral("This row cannot be updated: the result does not hold the key %1.")
                          .arg(QLatin1String(def->key)));
    QStringList sets;
    QVariantList params;
    for (int i : cols) {
        sets << m_columns[i] + QStringLiteral(" = ?");
        params << row[i];
    }
    params << row[keyCol];
    c.execute(QStringLiteral("update %1 set %2 where %3 = ?")
                  .arg(m_table, sets.join(QStringLiteral(", ")), QLatin1String(def->key)),
              params);
    m_dirty.clear();
}

} // namespace qv
