#include "db/monthsums.h"

#include "db/serverbook.h"

#include <QSqlQuery>

namespace qv::MonthSums {

namespace {

// The month of a row's date (see the header): the expression over `date`.
QString monthOf(Backend b, const QString& date)
{
    if (b == Backend::Postgres)
        return QStringLiteral("CAST(date_trunc('month', %1) AS date)").arg(date);
    return QStringLiteral("CASE WHEN date(%1) = %1 THEN substr(%1, 1, 8) || '01' ELSE %1 END").arg(date);
}

const QString Function = QStringLiteral("public.qvsums_detjv()");

// A server's trigger: one upsert per statement from the rows it wrote (`added`) and removed
// (`removed`), grouped and in key order.
QString serverUpsert(const QString& added, const QString& removed)
{
    QStringList parts;
    auto rows = [](const QString& table, const char* sign) {
        return QStringLiteral("SELECT AcCode AS a, %1 AS m, %2COALESCE(DrAmt, 0) AS dr, %2COALESCE(CrAmt, 0) AS cr, "
                              "%2 1 AS n FROM %3 WHERE AcCode IS NOT NULL AND VouDate IS NOT NULL")
            .arg(monthOf(Backend::Postgres, QStringLiteral("VouDate")), QLatin1String(sign), table);
    };
    if (!added.isEmpty())
        parts << rows(added, "");
    if (!removed.isEmpty())
        parts << rows(removed, "-");
    return QStringLiteral("INSERT INTO public.AcMonthSums AS s (AcCode, Month, DrSum, CrSum, Lines) "
                          "SELECT a, m, SUM(dr), SUM(cr), SUM(n) FROM (%1) d GROUP BY a, m "
                          "HAVING SUM(dr) <> 0 OR SUM(cr) <> 0 OR SUM(n) <> 0 ORDER BY a, m "
                          "ON CONFLICT (AcCode, Month) DO UPDATE SET DrSum = s.DrSum + excluded.DrSum, "
                          "CrSum = s.CrSum + excluded.CrSum, Lines = s.Lines + excluded.Lines;")
        .arg(parts.join(QStringLiteral(" UNION ALL ")));
}

QStringList serverDdl()
{
    const QString body =
        QStringLiteral("BEGIN PERFORM pg_advisory_xact_lock(%1, 0); "
                       "IF TG_OP = 'INSERT' THEN %2 ELSIF TG_OP = 'DELETE' THEN %3 ELSE %4 END IF; RETURN NULL; END")
            .arg(LockClass)
            .arg(serverUpsert(QStringLiteral("new_rows"), {}), serverUpsert({}, QStringLiteral("old_rows")),
                 serverUpsert(QStringLiteral("new_rows"), QStringLiteral("old_rows")));
    QStringList out{
        QStringLiteral("CREATE TABLE AcMonthSums (AcCode bigint NOT NULL, Month DATE NOT NULL, DrSum NUMERIC NOT NULL, "
                       "CrSum NUMERIC NOT NULL, Lines bigint NOT NULL, PRIMARY KEY (AcCode, Month))"),
        QStringLiteral("CREATE FUNCTION %1 RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
                       "SET search_path = pg_catalog, pg_temp AS %2")
            .arg(Function, ServerBook::quoteLiteral(body))};
    // Transition tables need one trigger per event.
    const char* events[][3] = {{"insert", "INSERT", "NEW TABLE AS new_rows"},
                               {"delete", "DELETE", "OLD TABLE AS old_rows"},
                               {"update", "UPDATE", "OLD TABLE AS old_rows NEW TABLE AS new_rows"}};
    for (const auto& e : events)
        out << QStringLiteral("CREATE TRIGGER tr_detjv_sums_%1 AFTER %2 ON DetJV REFERENCING %3 FOR EACH STATEMENT "
                              "EXECUTE FUNCTION %4")
                   .arg(QLatin1String(e[0]), QLatin1String(e[1]), QLatin1String(e[2]), Function);
    return out;
}

// SQLite turns a sum beyond 64-bit integers into a fraction: the month's sum becomes null
// instead, "not known", for good (until `check --repair`), and the reports read that account's
// rows, which fail as every sum too large to be represented does. The write itself goes through.
QString checked(const char* sum)
{
    return QStringLiteral("CASE WHEN typeof(%1) = 'integer' THEN %1 END").arg(QLatin1String(sum));
}

QStringList embeddedDdl()
{
    const QString newMonth = monthOf(Backend::Sqlite, QStringLiteral("NEW.VouDate"));
    const QString oldMonth = monthOf(Backend::Sqlite, QStringLiteral("OLD.VouDate"));
    const QString add =
        QStringLiteral("INSERT INTO AcMonthSums (AcCode, Month, DrSum, CrSum, Lines) "
                       "SELECT NEW.AcCode, %1, COALESCE(NEW.DrAmt, 0), COALESCE(NEW.CrAmt, 0), 1 "
                       "WHERE NEW.AcCode IS NOT NULL AND NEW.VouDate IS NOT NULL "
                       "ON CONFLICT (AcCode, Month) DO UPDATE SET DrSum = %2, CrSum = %3, Lines = Lines + 1;")
            .arg(newMonth, checked("DrSum + excluded.DrSum"), checked("CrSum + excluded.CrSum"));
    const QString take =
        QStringLiteral("UPDATE AcMonthSums SET DrSum = %2, CrSum = %3, Lines = Lines - 1 "
                       "WHERE AcCode = OLD.AcCode AND Month = %1;")
            .arg(oldMonth, checked("DrSum - COALESCE(OLD.DrAmt, 0)"), checked("CrSum - COALESCE(OLD.CrAmt, 0)"));
    return {
        // A null sum is one that left the range of whole cents (see checked()). Month has no
        // type: it keeps the value DetJV's VouDate holds, and a range's bound text is not tried
        // as a number at every row.
        QStringLiteral("CREATE TABLE AcMonthSums (AcCode INTEGER NOT NULL, Month NOT NULL, "
                       "DrSum INTEGER, CrSum INTEGER, Lines INTEGER NOT NULL, "
                       "CONSTRAINT month_sums_in_whole_cents CHECK (typeof(DrSum) IN ('integer', 'null') AND "
                       "typeof(CrSum) IN ('integer', 'null')), PRIMARY KEY (AcCode, Month)) WITHOUT ROWID"),
        QStringLiteral("CREATE TRIGGER tr_detjv_sums_insert AFTER INSERT ON DetJV BEGIN %1 END").arg(add),
        QStringLiteral("CREATE TRIGGER tr_detjv_sums_delete AFTER DELETE ON DetJV BEGIN %1 END").arg(take),
        QStringLiteral("CREATE TRIGGER tr_detjv_sums_update AFTER UPDATE OF AcCode, VouDate, DrAmt, CrAmt ON DetJV "
                       "BEGIN %1 %2 END")
            .arg(take, add),
    };
}

// The sums as the rows give them, per account and month.
QString fromRows(Backend b)
{
    return QStringLiteral("SELECT AcCode, %1 AS Month, SUM(COALESCE(DrAmt, 0)) AS DrSum, "
                          "SUM(COALESCE(CrAmt, 0)) AS CrSum, COUNT(*) AS Lines FROM DetJV "
                          "WHERE AcCode IS NOT NULL AND VouDate IS NOT NULL GROUP BY AcCode, %1")
        .arg(monthOf(b, QStringLiteral("VouDate")));
}

} // namespace

QStringList ddl(Backend b)
{
    return b == Backend::Postgres ? serverDdl() : embeddedDdl();
}

QStringList columns()
{
    return {QStringLiteral("accode"), QStringLiteral("month"), QStringLiteral("drsum"), QStringLiteral("crsum"),
            QStringLiteral("lines")};
}

QStringList triggers()
{
    return {QStringLiteral("tr_detjv_sums_insert"), QStringLiteral("tr_detjv_sums_delete"),
            QStringLiteral("tr_detjv_sums_update")};
}

bool exists(Connection& c)
{
    const QString sql =
        c.backend() == Backend::Sqlite
            ? QStringLiteral("select count(*) from sqlite_master where type = 'table' and lower(name) = 'acmonthsums'")
            : QStringLiteral("select count(*) from information_schema.tables where table_schema = current_schema() "
                             "and table_name = 'acmonthsums'");
    return c.scalar(sql).toInt() > 0;
}

void secure(Connection& admin, const QString& users, const QString& keeper)
{
    using ServerBook::quoteIdent;
    admin.execute(QStringLiteral("REVOKE ALL ON AcMonthSums FROM PUBLIC"));
    admin.execute(
        QStringLiteral("REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON AcMonthSums FROM %1").arg(quoteIdent(users)));
    admin.execute(QStringLiteral("GRANT SELECT ON AcMonthSums TO %1").arg(quoteIdent(users)));
    admin.execute(QStringLiteral("GRANT SELECT, INSERT, UPDATE ON AcMonthSums TO %1").arg(quoteIdent(keeper)));
    admin.execute(QStringLiteral("ALTER FUNCTION %1 OWNER TO %2").arg(Function, quoteIdent(keeper)));
    // The server guesses the rows of a statement's transition tables high and would compile the
    // upsert to machine code on every voucher line written (a 20-line save took 0.4 s).
    admin.execute(QStringLiteral("ALTER FUNCTION %1 SET jit = off").arg(Function));
    admin.execute(QStringLiteral("REVOKE ALL ON FUNCTION %1 FROM PUBLIC").arg(Function));
}

void rebuild(Connection& c)
{
    Transaction tx(c);
    c.execute(QStringLiteral("DELETE FROM AcMonthSums"));
    c.execute(QStringLiteral("INSERT INTO AcMonthSums (AcCode, Month, DrSum, CrSum, Lines) "
                             "SELECT AcCode, Month, DrSum, CrSum, Lines FROM (%1) r")
                  .arg(fromRows(c.backend())));
    tx.commit();
}

QStringList differences(Connection& c, int limit)
{
    QSqlQuery q =
        c.query(QStringLiteral(
                    "WITH r AS (%1), s AS (SELECT AcCode, Month, DrSum, CrSum, Lines FROM AcMonthSums "
                    "WHERE DrSum <> 0 OR CrSum <> 0 OR Lines <> 0) "
                    "SELECT COALESCE(r.AcCode, s.AcCode), COALESCE(r.Month, s.Month), r.DrSum, r.CrSum, r.Lines, "
                    "s.DrSum, s.CrSum, s.Lines FROM r FULL OUTER JOIN s ON s.AcCode = r.AcCode AND s.Month = r.Month "
                    "WHERE r.AcCode IS NULL OR s.AcCode IS NULL OR r.DrSum <> s.DrSum OR r.CrSum <> s.CrSum "
                    "OR r.Lines <> s.Lines ORDER BY 1, 2")
                    .arg(fromRows(c.backend())));
    QStringList out;
    int more = 0;
    auto figures = [&c, &q](int at) {
        return QStringLiteral("debits %1, credits %2 in %3 rows")
            .arg(plainAmount(c.moneyOrZero(q.value(at))), plainAmount(c.moneyOrZero(q.value(at + 1))))
            .arg(q.value(at + 2).toLongLong());
    };
    while (q.next()) {
        if (out.size() == limit) {
            ++more;
            continue;
        }
        const QVariant month = q.value(1);
        const QString shown = month.metaType().id() == QMetaType::QDate
                                  ? month.toDate().toString(QStringLiteral("MM-yyyy"))
                              : month.toString().size() == 10 && month.toString().endsWith(QLatin1String("-01"))
                                  ? QStringLiteral("%1-%2").arg(month.toString().mid(5, 2), month.toString().left(4))
                                  : QStringLiteral("dated \"%1\"").arg(month.toString());
        out << QStringLiteral("Account %1, month %2: the sums hold %3, the rows give %4.")
                   .arg(q.value(0).toString(), shown, figures(5), figures(2));
    }
    if (more > 0)
        out << QStringLiteral("... and %1 more months.").arg(more);
    return out;
}

} // namespace qv::MonthSums
