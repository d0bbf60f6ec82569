#include "reports/accountsums.h"

namespace qv::rpt {

namespace {

// A condition on one column with its bound values, in the order they appear.
struct Condition {
    QString text;
    QVariantList params;
    Condition on(const QString& column) const { return {QString(text).replace(QLatin1String("@"), column), params}; }
};

} // namespace

QString AccountSums::checked(const QString& expr) const
{
    if (m_backend != Backend::Sqlite)
        return expr;
    // abs() of the smallest integer is SQLite's own "integer overflow" error.
    return QStringLiteral("(CASE WHEN typeof(%1) IN ('integer', 'null') THEN %1 "
                          "ELSE abs(-9223372036854775807 - 1) END)")
        .arg(expr);
}

QString AccountSums::rowsPart(const QString& where, const QString& probe, int sign, Figures what) const
{
    // The accounts come from the month sums' keys; each seeks its own range of the account
    // index, and only when it has a month row where the range lies. On the embedded book a loose
    // scan of the keys and a probe per account; a server reads the keys in one scan (its loose
    // scan costs a sub-plan per account).
    const bool sqlite = m_backend == Backend::Sqlite;
    const QString from = sqlite ? QStringLiteral("acc CROSS JOIN")
                                : QStringLiteral("(SELECT DISTINCT s.AcCode AS c FROM AcMonthSums s%1) acc JOIN")
                                      .arg(probe.isEmpty() ? QString() : QStringLiteral(" WHERE ") + probe);
    const QString exists =
        !sqlite || probe.isEmpty()
            ? QString()
            : QStringLiteral("EXISTS (SELECT 1 FROM AcMonthSums s WHERE s.AcCode = acc.c AND %1) AND ").arg(probe);
    auto signed_ = [&](const QString& sum) { return sign > 0 ? sum : checked(QLatin1Char('-') + sum); };
    const QString figures =
        what == Net ? signed_(checked(QStringLiteral("COALESCE(SUM(d.DrAmt), 0) - COALESCE(SUM(d.CrAmt), 0)")))
                          + QStringLiteral(" AS net")
                    : QStringLiteral("%1 AS dr, %2 AS cr, %3 AS n")
                          .arg(signed_(QStringLiteral("SUM(d.DrAmt)")), signed_(QStringLiteral("SUM(d.CrAmt)")),
                               signed_(QStringLiteral("COUNT(*)")));
    return QStringLiteral("SELECT d.AcCode AS AcCode, %1 FROM %2 DetJV d ON d.AcCode = acc.c WHERE %3%4 "
                          "GROUP BY d.AcCode")
        .arg(figures, from, exists, where);
}

void AccountSums::add(const QString& name, const DayRange& r, Figures what)
{
    const bool sqlite = m_backend == Backend::Sqlite;
    const bool net = what == Net;
    const QString upper = r.toIncluded ? QStringLiteral("@ <= ?") : QStringLiteral("@ < ?");
    // The whole range as a condition on the rows' dates.
    const Condition whole =
        r.fromStart ? Condition{upper, {r.to}} : Condition{QStringLiteral("@ >= ? AND ") + upper, {r.from, r.to}};
    // Whole months: from the first that starts on or after `from` up to the last that ends
    // inside the range.
    const QDate first = r.fromStart || !r.from.isValid() ? QDate()
                        : r.from.day() == 1              ? r.from
                                                         : months::start(r.from).addMonths(1);
    QDate end;
    if (r.to.isValid())
        end = r.toIncluded && r.to.day() == r.to.daysInMonth() ? months::start(r.to).addMonths(1) : months::start(r.to);
    const bool months = months::usable(end) && (r.fromStart || (months::usable(first) && first < end));
    const QString columns = net ? QStringLiteral("AcCode, net") : QStringLiteral("AcCode, dr, cr, n");
    if (!months) {
        m_params += whole.params;
        m_ctes << QStringLiteral("%1 AS MATERIALIZED (SELECT %2 FROM (%3) x)")
                      .arg(name,
                           net ? columns : QStringLiteral("AcCode, COALESCE(dr, 0) AS dr, COALESCE(cr, 0) AS cr, n"),
                           rowsPart(whole.on(QStringLiteral("d.VouDate")).text, {}, 1, what));
        return;
    }
    // The partial months' rows: each part with the condition its rows' month keys meet (a
    // well-formed date's key is its month's first day; any other text is its own key).
    QStringList parts;
    QVariantList partParams;
    auto part = [&](const Condition& rows, const Condition& keys, int sign) {
        parts << rowsPart(rows.on(QStringLiteral("d.VouDate")).text, keys.on(QStringLiteral("s.Month")).text, sign,
                          what);
        partParams += keys.params;
        partParams += rows.params;
    };
    if (first.isValid() && r.from < first)
        part({QStringLiteral("@ >= ? AND @ < ?"), {r.from, first}},
             {QStringLiteral("@ >= ? AND @ < ?"), {months::start(r.from), first}}, 1);
    if (r.toIncluded && end <= r.to)
        part({QStringLiteral("@ >= ? AND @ <= ?"), {end, r.to}}, {QStringLiteral("@ >= ? AND @ <= ?"), {end, r.to}}, 1);
    else if (!r.toIncluded && end < r.to)
        part({QStringLiteral("@ >= ? AND @ < ?"), {end, r.to}}, {QStringLiteral("@ >= ? AND @ < ?"), {end, r.to}}, 1);
    else if (r.toIncluded && sqlite)
        // The last month is whole: its sums also hold a VouDate after `to` that is no date
        // ('2026-02-30'), which the rows' own `VouDate <= to` leaves out.
        part({QStringLiteral("@ > ? AND @ < ?"), {r.to, end}}, {QStringLiteral("@ > ? AND @ < ?"), {r.to, end}}, -1);

    const Condition monthsIn = r.fromStart ? Condition{QStringLiteral("@ < ?"), {end}}
                                           : Condition{QStringLiteral("@ >= ? AND @ < ?"), {first, end}};
    m_params += monthsIn.params;
    m_params += partParams;
    // A month sum that is not known (null, see monthsums.h) makes its account's sum a fraction,
    // at no cost to the others; so does a month's difference that leaves 64-bit cents. That
    // account is then read from its rows over the whole range.
    const QString known = sqlite ? QStringLiteral("COALESCE(%1, 0.5)") : QStringLiteral("%1");
    const QString monthFigures = net ? QStringLiteral("SUM(%1) AS net").arg(known.arg(QLatin1String("DrSum - CrSum")))
                                     : QStringLiteral("SUM(%1) AS dr, SUM(%2) AS cr, SUM(Lines) AS n")
                                           .arg(known.arg(QLatin1String("DrSum")), known.arg(QLatin1String("CrSum")));
    const QString monthRows = QStringLiteral("SELECT AcCode, %1 FROM AcMonthSums WHERE %2 GROUP BY AcCode")
                                  .arg(monthFigures, monthsIn.on(QStringLiteral("Month")).text);
    if (parts.isEmpty())
        m_ctes << QStringLiteral("%1_t AS (%2)").arg(name, monthRows);
    else
        m_ctes << QStringLiteral("%1_t AS (SELECT %2 FROM (%3 UNION ALL %4) p GROUP BY AcCode)")
                      .arg(name,
                           net ? QStringLiteral("AcCode, SUM(net) AS net")
                               : QStringLiteral("AcCode, SUM(dr) AS dr, SUM(cr) AS cr, SUM(n) AS n"),
                           monthRows, parts.join(QStringLiteral(" UNION ALL ")));
    if (!sqlite) {
        m_ctes << QStringLiteral("%1 AS MATERIALIZED (SELECT %2 FROM %1_t)")
                      .arg(name, net ? QStringLiteral("AcCode, COALESCE(net, 0) AS net")
                                     : QStringLiteral("AcCode, COALESCE(dr, 0) AS dr, COALESCE(cr, 0) AS cr, n"));
        return;
    }
    const QString rows = QStringLiteral("(SELECT %1 FROM DetJV d WHERE d.AcCode = t.AcCode AND %2)")
                             .arg(QStringLiteral("%1"), whole.on(QStringLiteral("d.VouDate")).text);
    const QString dr = rows.arg(QLatin1String("COALESCE(SUM(d.DrAmt), 0)"));
    const QString cr = rows.arg(QLatin1String("COALESCE(SUM(d.CrAmt), 0)"));
    if (net) {
        m_params += whole.params;
        m_ctes << QStringLiteral("%1 AS MATERIALIZED (SELECT AcCode, CASE WHEN typeof(t.net) = 'real' THEN (SELECT %2 "
                                 "FROM (SELECT COALESCE(SUM(d.DrAmt), 0) AS dr, COALESCE(SUM(d.CrAmt), 0) AS cr "
                                 "FROM DetJV d WHERE d.AcCode = t.AcCode AND %3) x) ELSE COALESCE(t.net, 0) END AS net "
                                 "FROM %1_t t)")
                      .arg(name, checked(QStringLiteral("x.dr - x.cr")), whole.on(QStringLiteral("d.VouDate")).text);
        return;
    }
    for (int i = 0; i < 3; ++i)
        m_params += whole.params;
    m_ctes << QStringLiteral("%1 AS MATERIALIZED (SELECT AcCode, CASE WHEN u THEN %2 ELSE COALESCE(dr, 0) END AS dr, "
                             "CASE WHEN u THEN %3 ELSE COALESCE(cr, 0) END AS cr, CASE WHEN u THEN %4 ELSE n END AS n "
                             "FROM (SELECT t.*, typeof(t.dr) = 'real' OR typeof(t.cr) = 'real' AS u FROM %1_t t) t)")
                  .arg(name, dr, cr, rows.arg(QLatin1String("COUNT(*)")));
}

QString AccountSums::sql(const QString& statement) const
{
    // The accounts with month sums, one seek each (a loose scan of the key): see rowsPart().
    const QString acc =
        QStringLiteral("acc(c) AS (SELECT MIN(AcCode) FROM AcMonthSums UNION ALL SELECT (SELECT MIN(s.AcCode) FROM "
                       "AcMonthSums s WHERE s.AcCode > acc.c) FROM acc WHERE acc.c IS NOT NULL)");
    QStringList ctes;
    if (m_backend == Backend::Sqlite)
        ctes << acc;
    ctes += m_ctes;
    return ctes.isEmpty() ? statement
                          : QStringLiteral("WITH RECURSIVE %1 %2").arg(ctes.join(QStringLiteral(", ")), statement);
}

QVariantList AccountSums::params(const QVariantList& statementParams) const
{
    return m_params + statementParams;
}

} // namespace qv::rpt
