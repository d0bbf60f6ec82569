#include "reports/worktables.h"
#include "reports/worktables_p.h"

#include "db/money.h"
#include "reports/accountsums.h"
#include "reports/openings.h"
#include "reports/periodsums.h"

#include <QHash>
#include <algorithm>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <vector>

namespace qv::rpt {

namespace {

QString amountType(const Connection& c)
{
    return c.backend() == Backend::Sqlite ? QStringLiteral("INTEGER") : QStringLiteral("NUMERIC(18,2)");
}

// Creates the session's work table when it has none yet, and empties it.
void prepareTable(Connection& c, const QString& name, const QString& columns)
{
    c.execute(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 (%2)")
                  .arg(name, QString(columns).replace(QLatin1String("AMOUNT"), amountType(c))));
    c.execute(QStringLiteral("DELETE FROM %1").arg(name));
    c.noteSessionTable(name);
}

QVariant amount(Money m)
{
    return QVariant::fromValue(m);
}

Money absMoney(Money m)
{
    return m.cents < 0 ? Money(-m.cents) : m;
}

QString side(Money m)
{
    return m.cents < 0 ? QStringLiteral("Cr") : QStringLiteral("Dr");
}

// The codes of an account's control and sub-control heads from its code: "3.2.10" -> "3", "3.2"
// (a code without a point has no sub-control head).
QPair<QString, QString> headCodes(Backend b, const QString& nodes)
{
    if (b == Backend::Postgres)
        return {QStringLiteral("split_part(%1, '.', 1)").arg(nodes),
                QStringLiteral("CASE WHEN strpos(%1, '.') > 0 THEN split_part(%1, '.', 1) || '.' || "
                               "split_part(%1, '.', 2) END")
                    .arg(nodes)};
    const QString dot = QStringLiteral("instr(%1, '.')").arg(nodes);
    const QString next = QStringLiteral("instr(substr(%1, %2 + 1), '.')").arg(nodes, dot);
    return {QStringLiteral("CASE WHEN %2 > 0 THEN substr(%1, 1, %2 - 1) ELSE %1 END").arg(nodes, dot),
            QStringLiteral("CASE WHEN %2 = 0 THEN NULL WHEN %3 > 0 THEN substr(%1, 1, %2 + %3 - 1) ELSE %1 END")
                .arg(nodes, dot, next)};
}

// The name of the account `a` joined to the figures' row `alias`, or what says it is missing.
QString accountName(const QString& alias = QStringLiteral("s"))
{
    return QStringLiteral("CASE WHEN a.RowID IS NULL THEN '(account ' || CAST(%1.AcCode AS TEXT) || ' not found)' "
                          "ELSE a.AcName END")
        .arg(alias);
}

// A bound value of the backend's type where the server cannot infer it.
QString typedParam(const Connection& c, const char* type)
{
    return c.backend() == Backend::Postgres ? QStringLiteral("CAST(? AS %1)").arg(QLatin1String(type))
                                            : QStringLiteral("?");
}

const QString LedgerColumns =
    QStringLiteral("LineNo INTEGER, AcCode BIGINT, AcNodes VARCHAR(60), AcName VARCHAR(200), Title VARCHAR(40), "
                   "FromDate DATE, ToDate DATE, VouDate DATE, VouStatus VARCHAR(2), VouNo BIGINT, Voucher VARCHAR(30), "
                   "Particulars VARCHAR(300), Naration VARCHAR(500), ChecqNo VARCHAR(60), FileNo VARCHAR(60), "
                   "BillNo VARCHAR(60), DrAmt AMOUNT, CrAmt AMOUNT, Balance AMOUNT, BalAmt AMOUNT, BalSide VARCHAR(2)");

// The ledger's lines, written by the database itself (one INSERT ... SELECT, no row through
// C++): the running balance is the opening plus a window sum. The sums cannot leave the range of
// integer cents when the opening and every amount of the range together stay inside it, which
// is checked first; otherwise DbError, as for every sum that cannot be represented.
void ledgerLines(Connection& c, qint64 account, const QDate& from, const QDate& to, bool detail, Money opening,
                 const QString& nodes, const QString& name, const QString& title)
{
    {
        const PeriodTotals t = PeriodSums(c).between(account, from, to);
        const Money bound = absMoney(opening) + absMoney(t.dr) + absMoney(t.cr);
        Q_UNUSED(bound); // Money's sum throws when it cannot be represented
    }
    const bool pg = c.backend() == Backend::Postgres;
    auto typed = [pg](const char* type) {
        return pg ? QStringLiteral("CAST(? AS %1)").arg(QLatin1String(type)) : QStringLiteral("?");
    };
    const QString dr = QStringLiteral("COALESCE(d.DrAmt, 0)"), cr = QStringLiteral("COALESCE(d.CrAmt, 0)");
    const QString order = detail ? QStringLiteral("d.VouDate, d.VouStatus, d.VouNo, d.EntryNo, d.RowID")
                                 : QStringLiteral("d.VouDate, d.VouStatus, d.VouNo");
    const QString start = typed(pg ? "NUMERIC" : "INTEGER");
    QString lines;
    if (detail && !pg)
        // On the embedded file the window runs over each row's keys and amounts alone and the
        // line's texts are fetched by RowID after it: the window's sort and buffer hold narrow
        // rows. (A server joins the wide rows faster than it looks each one up again.)
        lines = QStringLiteral("SELECT l.VouDate, l.VouStatus, l.VouNo, COALESCE(o.AcName, m.PaidReceive) AS "
                               "Particulars, l.Naration, l.ChecqNo, l.FileNo, l.BillNo, COALESCE(l.DrAmt, 0) AS "
                               "DrAmt, COALESCE(l.CrAmt, 0) AS CrAmt, k.Bal, k.Line "
                               "FROM (SELECT d.RowID AS id, %3 + SUM(%1 - %2) OVER w AS Bal, ROW_NUMBER() OVER w "
                               "AS Line FROM DetJV d WHERE d.AcCode = ? AND d.VouDate >= ? AND d.VouDate <= ? "
                               "WINDOW w AS (ORDER BY %4 ROWS UNBOUNDED PRECEDING)) k "
                               "CROSS JOIN DetJV l ON l.RowID = k.id LEFT JOIN Accounts o ON o.RowID = l.CrAc "
                               "LEFT JOIN MasJV m ON m.VouStatus = l.VouStatus AND m.VouNo = l.VouNo")
                    .arg(dr, cr, start, order);
    else if (detail)
        lines = QStringLiteral("SELECT d.VouDate, d.VouStatus, d.VouNo, COALESCE(o.AcName, m.PaidReceive) AS "
                               "Particulars, d.Naration, d.ChecqNo, d.FileNo, d.BillNo, %1 AS DrAmt, %2 AS CrAmt, "
                               "%3 + SUM(%1 - %2) OVER w AS Bal, ROW_NUMBER() OVER w AS Line "
                               "FROM DetJV d LEFT JOIN Accounts o ON o.RowID = d.CrAc "
                               "LEFT JOIN MasJV m ON m.VouStatus = d.VouStatus AND m.VouNo = d.VouNo "
                               "WHERE d.AcCode = ? AND d.VouDate >= ? AND d.VouDate <= ? "
                               "WINDOW w AS (ORDER BY %4 ROWS UNBOUNDED PRECEDING)")
                    .arg(dr, cr, start, order);
    else
        lines = QStringLiteral("SELECT d.VouDate, d.VouStatus, d.VouNo, m.PaidReceive AS Particulars, "
                               "NULL AS Naration, NULL AS ChecqNo, NULL AS FileNo, NULL AS BillNo, "
                               "SUM(%1) AS DrAmt, SUM(%2) AS CrAmt, "
                               "%3 + SUM(SUM(%1) - SUM(%2)) OVER w AS Bal, ROW_NUMBER() OVER w AS Line "
                               "FROM DetJV d LEFT JOIN MasJV m ON m.VouStatus = d.VouStatus AND m.VouNo = d.VouNo "
                               "WHERE d.AcCode = ? AND d.VouDate >= ? AND d.VouDate <= ? "
                               "GROUP BY d.VouDate, d.VouStatus, d.VouNo, m.PaidReceive "
                               "WINDOW w AS (ORDER BY %4 ROWS UNBOUNDED PRECEDING)")
                    .arg(dr, cr, start, order);
    c.execute(QStringLiteral("INSERT INTO tmpAcLedger (LineNo, AcCode, AcNodes, AcName, Title, FromDate, ToDate, "
                             "VouDate, VouStatus, VouNo, Voucher, Particulars, Naration, ChecqNo, FileNo, BillNo, "
                             "DrAmt, CrAmt, Balance, BalAmt, BalSide) "
                             "SELECT x.Line, %1, %2, %3, %4, %5, %5, x.VouDate, x.VouStatus, x.VouNo, "
                             "TRIM(x.VouStatus) || '-' || CAST(x.VouNo AS TEXT), x.Particulars, x.Naration, "
                             "x.ChecqNo, x.FileNo, x.BillNo, x.DrAmt, x.CrAmt, x.Bal, ABS(x.Bal), "
                             "CASE WHEN x.Bal < 0 THEN 'Cr' ELSE 'Dr' END FROM (%6) x")
                  .arg(typed("BIGINT"), typed("VARCHAR(60)"), typed("VARCHAR(200)"), typed("VARCHAR(40)"),
                       typed("DATE"), lines),
              {account, nodes, name, title, from, to, QVariant::fromValue(opening), account, from, to});
}

} // namespace

void prepareWorkTable(Connection& c, const QString& name, const QString& columns)
{
    prepareTable(c, name, columns);
}

void fillLedger(Connection& c, qint64 account, const QDate& from, const QDate& to, bool detail)
{
    prepareTable(c, QStringLiteral("tmpAcLedger"), LedgerColumns);
    QString nodes, name;
    {
        // The account as a 64-bit number: any id the ledger may name, on every backend.
        QSqlQuery a =
            c.query(QStringLiteral("SELECT AcNodes, AcName FROM Accounts WHERE RowID = CAST(? AS BIGINT)"), {account});
        if (a.next()) {
            nodes = a.value(0).toString();
            name = a.value(1).toString();
        }
    }
    const QString title = detail ? QStringLiteral("DETAIL LEDGER") : QStringLiteral("SIMPLE LEDGER");
    Inserter ins(c, QStringLiteral("tmpAcLedger"),
                 {QStringLiteral("LineNo"),   QStringLiteral("AcCode"),  QStringLiteral("AcNodes"),
                  QStringLiteral("AcName"),   QStringLiteral("Title"),   QStringLiteral("FromDate"),
                  QStringLiteral("ToDate"),   QStringLiteral("VouDate"), QStringLiteral("VouStatus"),
                  QStringLiteral("VouNo"),    QStringLiteral("Voucher"), QStringLiteral("Particulars"),
                  QStringLiteral("Naration"), QStringLiteral("ChecqNo"), QStringLiteral("FileNo"),
                  QStringLiteral("BillNo"),   QStringLiteral("DrAmt"),   QStringLiteral("CrAmt"),
                  QStringLiteral("Balance"),  QStringLiteral("BalAmt"),  QStringLiteral("BalSide")});
    const Money opening = OpeningBalances(c).of(account, from);
    const QVariant noText(QMetaType::fromType<QString>());
    const QVariant noDate(QMetaType::fromType<QDate>());
    const QVariant noNumber(QMetaType::fromType<qint64>());
    ins.insert({0,
                account,
                nodes,
                name,
                title,
                from,
                to,
                noDate,
                noText,
                noNumber,
                noText,
                QStringLiteral("Opening Balance"),
                noText,
                noText,
                noText,
                noText,
                amount(Money()),
                amount(Money()),
                amount(opening),
                amount(absMoney(opening)),
                side(opening)});
    ins.finish();
    ledgerLines(c, account, from, to, detail, opening, nodes, name, title);
}

void fillTrialBalance(Connection& c, const QDate& from, const QDate& to)
{
    prepareTable(c, QStringLiteral("tmpTrialBalance"),
                 QStringLiteral("AcCode BIGINT, AcNodes VARCHAR(60), AcName VARCHAR(200), CtlNodes VARCHAR(60), "
                                "CtlName VARCHAR(200), SubNodes VARCHAR(60), SubName VARCHAR(200), FromDate DATE, "
                                "ToDate DATE, DrAmt AMOUNT, CrAmt AMOUNT, NetDr AMOUNT, NetCr AMOUNT"));
    AccountSums sums(c.backend());
    sums.add(QStringLiteral("mv"), {from, to});
    const auto [ctl, sub] = headCodes(c.backend(), QStringLiteral("a.AcNodes"));
    c.execute(
        sums.sql(QStringLiteral("INSERT INTO tmpTrialBalance (AcCode, AcNodes, AcName, CtlNodes, CtlName, SubNodes, "
                                "SubName, FromDate, ToDate, DrAmt, CrAmt, NetDr, NetCr) "
                                "SELECT s.AcCode, a.AcNodes, %1, %2, ca.AcName, %3, sa.AcName, %4, %4, s.dr, s.cr, "
                                "CASE WHEN s.net > 0 THEN s.net ELSE 0 END, CASE WHEN s.net < 0 THEN %5 ELSE 0 END "
                                "FROM (SELECT AcCode, dr, cr, %6 AS net FROM mv WHERE n <> 0) s "
                                "LEFT JOIN Accounts a ON a.RowID = s.AcCode LEFT JOIN Accounts ca ON ca.AcNodes = %2 "
                                "LEFT JOIN Accounts sa ON sa.AcNodes = %3")
                     .arg(accountName(), ctl, sub, typedParam(c, "DATE"), sums.checked(QStringLiteral("-s.net")),
                          sums.checked(QStringLiteral("dr - cr")))),
        sums.params({from, to}));
}

void fillTrialBalance3(Connection& c, const QDate& from, const QDate& to)
{
    const QString table = QStringLiteral("tmpTrialBalance3");
    prepareTable(c, table,
                 QStringLiteral("AcCode BIGINT, AcNodes VARCHAR(60), AcName VARCHAR(200), FromDate DATE, ToDate DATE, "
                                "OpenDr AMOUNT, OpenCr AMOUNT, DrAmt AMOUNT, CrAmt AMOUNT, CloseDr AMOUNT, "
                                "CloseCr AMOUNT, DiffTitle VARCHAR(60), DiffOpenDr AMOUNT, DiffOpenCr AMOUNT, "
                                "DiffCloseDr AMOUNT, DiffCloseCr AMOUNT, BalTitle VARCHAR(60), BalOpen AMOUNT, "
                                "BalClose AMOUNT"));
    // Each account with an opening (the one definition, OpeningBalances) or rows in the range;
    // every sum the database's own, checked.
    AccountSums sums(c.backend());
    OpeningBalances::addAll(sums, QStringLiteral("op"), from);
    sums.add(QStringLiteral("mv"), {from, to});
    const QString d = QStringLiteral("CASE WHEN %1 > 0 THEN %1 ELSE 0 END");
    const QString k = QStringLiteral("CASE WHEN %1 < 0 THEN %2 ELSE 0 END");
    auto cr = [&](const char* v) {
        return k.arg(QLatin1String(v), sums.checked(QStringLiteral("-") + QLatin1String(v)));
    };
    c.execute(
        sums.sql(QStringLiteral(
                     "INSERT INTO tmpTrialBalance3 (AcCode, AcNodes, AcName, FromDate, ToDate, OpenDr, OpenCr, DrAmt, "
                     "CrAmt, CloseDr, CloseCr, DiffOpenDr, DiffOpenCr, DiffCloseDr, DiffCloseCr, BalOpen, BalClose) "
                     "SELECT f.AcCode, a.AcNodes, %1, %2, %2, %3, %4, f.dr, f.cr, %5, %6, 0, 0, 0, 0, 0, 0 "
                     "FROM (SELECT AcCode, o, dr, cr, %7 AS cl FROM (SELECT AcCode, SUM(o) AS o, SUM(dr) AS dr, "
                     "SUM(cr) AS cr, SUM(n) AS n FROM (SELECT AcCode, open AS o, 0 AS dr, 0 AS cr, 0 AS n FROM op "
                     "UNION ALL SELECT AcCode, 0, dr, cr, n FROM mv WHERE n <> 0) x GROUP BY AcCode) y "
                     "WHERE o <> 0 OR n <> 0) f LEFT JOIN Accounts a ON a.RowID = f.AcCode")
                     .arg(accountName(QStringLiteral("f")), typedParam(c, "DATE"), d.arg(QStringLiteral("f.o")),
                          cr("f.o"), d.arg(QStringLiteral("f.cl")), cr("f.cl"),
                          sums.checked(sums.checked(QStringLiteral("o + dr")) + QStringLiteral(" - cr")))),
        sums.params({from, to}));
    // When the openings do not net to zero their difference is a line of its own below the
    // total, on the lighter side, and a total with it balances (every row carries them: the
    // report's footer reads the last). The accounts' own figures stay as they are.
    QSqlQuery q =
        c.query(QStringLiteral("SELECT SUM(OpenDr), SUM(OpenCr), SUM(CloseDr), SUM(CloseCr) FROM tmpTrialBalance3"));
    if (!q.next())
        Inserter::fail(c, q);
    const Money openDr = c.moneyOrZero(q.value(0)), closeDr = c.moneyOrZero(q.value(2));
    const Money openNet = openDr - c.moneyOrZero(q.value(1)), closeNet = closeDr - c.moneyOrZero(q.value(3));
    q.finish();
    if (openNet.cents == 0 && closeNet.cents == 0)
        return;
    auto dr = [](Money m) { return amount(m.cents > 0 ? m : Money()); };
    auto crOf = [](Money m) { return amount(m.cents < 0 ? Money(-m.cents) : Money()); };
    c.execute(QStringLiteral("UPDATE tmpTrialBalance3 SET DiffTitle = ?, DiffOpenDr = ?, DiffOpenCr = ?, "
                             "DiffCloseDr = ?, DiffCloseCr = ?, BalTitle = ?, BalOpen = ?, BalClose = ?"),
              {QStringLiteral("Difference in opening balances"), crOf(openNet), dr(openNet), crOf(closeNet),
               dr(closeNet), QStringLiteral("Total with the difference"),
               amount(openNet.cents < 0 ? openDr - openNet : openDr),
               amount(closeNet.cents < 0 ? closeDr - closeNet : closeDr)});
}

} // namespace qv::rpt
