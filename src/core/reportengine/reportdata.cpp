#include "reportengine/reportdata.h"

#include "db/money.h"

#include <QSqlRecord>

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
    : m_section(s)
    , m_backend(c.backend())
{
    const SectionSql q = sectionSql(s, selection, m_backend);
    m_query = c.query(q.sql, q.params, true);
}

bool QueryRows::next(Row& row)
{
    if (!m_query.next())
        return false;
    const auto& fields = m_section.fields.all();
    row.resize(fields.size());
    for (int i = 0; i < fields.size(); ++i)
        row[i] = fieldValue(m_query.value(i), fields[i].type, m_backend);
    return true;
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
