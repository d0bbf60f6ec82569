#include "reports/worktables.h"
#include "reports/worktables_p.h"

#include "db/litestatement.h"
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

// The ledger is a view over two narrow work tables: the head (the account and the range) and
// the lines in print order with their figures and running balance, which exec AcLedger /
// exec DetailAcLedger write. Each line's texts (the contra account or the voucher's party,
// the narration, cheque, file and bill numbers) are read from the voucher by key as the report
// prints it, so that page 1 comes before the last line's texts are read. The figures are those
// the procedure read, all in one statement. (No correlated subquery here: on the embedded book
// the read-only guard is lifted while the report reads on, which ends such a statement.)
const QString LedgerHeadColumns =
    QStringLiteral("AcCode BIGINT, AcNodes VARCHAR(60), AcName VARCHAR(200), Title VARCHAR(40), FromDate DATE, "
                   "ToDate DATE");
const QString LedgerLineColumns =
    QStringLiteral("LineNo INTEGER PRIMARY KEY, LineID BIGINT, VouDate DATE, VouStatus VARCHAR(2), VouNo BIGINT, "
                   "DrAmt AMOUNT, CrAmt AMOUNT, Balance AMOUNT");
// LineID: the DetJV row of a detail ledger's line; null on the opening line and a simple
// ledger's (one line per voucher, its party from the voucher).
const QString LedgerView = QStringLiteral(
    "SELECT l.LineNo AS LineNo, h.AcCode AS AcCode, h.AcNodes AS AcNodes, h.AcName AS AcName, "
    "h.Title AS Title, h.FromDate AS FromDate, h.ToDate AS ToDate, l.VouDate AS VouDate, "
    "l.VouStatus AS VouStatus, l.VouNo AS VouNo, CASE WHEN l.LineNo = 0 THEN NULL ELSE "
    "TRIM(l.VouStatus) || '-' || CAST(l.VouNo AS TEXT) END AS Voucher, "
    "CASE WHEN l.LineNo = 0 THEN 'Opening Balance' ELSE COALESCE(o.AcName, m.PaidReceive) END AS Particulars, "
    "d.Naration AS Naration, d.ChecqNo AS ChecqNo, d.FileNo AS FileNo, d.BillNo AS BillNo, "
    "l.DrAmt AS DrAmt, l.CrAmt AS CrAmt, l.Balance AS Balance, ABS(l.Balance) AS BalAmt, "
    "CASE WHEN l.Balance < 0 THEN 'Cr' ELSE 'Dr' END AS BalSide "
    "FROM tmpAcLedgerLines l CROSS JOIN tmpAcLedgerHead h LEFT JOIN DetJV d ON d.RowID = l.LineID "
    "LEFT JOIN Accounts o ON o.RowID = d.CrAc "
    "LEFT JOIN MasJV m ON m.VouStatus = l.VouStatus AND m.VouNo = l.VouNo");

void prepareLedger(Connection& c)
{
    prepareTable(c, QStringLiteral("tmpAcLedgerHead"), LedgerHeadColumns);
    prepareTable(c, QStringLiteral("tmpAcLedgerLines"), LedgerLineColumns);
    if (c.backend() == Backend::Sqlite)
        c.execute(QStringLiteral("CREATE TEMP VIEW IF NOT EXISTS tmpAcLedger AS ") + LedgerView);
    else
        c.execute(QStringLiteral("CREATE OR REPLACE TEMP VIEW tmpAcLedger AS ") + LedgerView);
    c.noteSessionTable(QStringLiteral("tmpAcLedger"));
}

// The lines in print order: a detail ledger's rows by date, voucher and entry; a simple ledger's
// vouchers by date and voucher.
const QString LedgerOrder = QStringLiteral("d.VouDate, d.VouStatus, d.VouNo, d.EntryNo, d.RowID");

// On the embedded book the lines come from the account index in print order (no sort) and their
// running balance is added up here, in whole cents that throw rather than wrap; they are written
// through SQLite's own interface, a few narrow values each.
void ledgerLinesLite(Connection& c, qint64 account, const QDate& from, const QDate& to, bool detail, Money opening)
{
    LiteStatement rows(c, QStringLiteral("SELECT d.RowID, d.VouDate, d.VouStatus, d.VouNo, d.DrAmt, d.CrAmt "
                                         "FROM DetJV d WHERE d.AcCode = ? AND d.VouDate >= ? AND d.VouDate <= ? "
                                         "ORDER BY ")
                              + LedgerOrder);
    rows.bind(1, account);
    rows.bind(2, from.toString(Qt::ISODate));
    rows.bind(3, to.toString(Qt::ISODate));
    LiteStatement out(c, QStringLiteral("INSERT INTO tmpAcLedgerLines (LineNo, LineID, VouDate, VouStatus, VouNo, "
                                        "DrAmt, CrAmt, Balance) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    Money balance = opening;
    qint64 line = 0;
    auto cents = [&rows](int col) { return Money(rows.isNull(col) ? 0 : rows.int64(col)); };
    if (detail) {
        while (rows.step()) {
            const Money dr = cents(4), cr = cents(5);
            balance = balance + dr - cr;
            out.bind(1, ++line);
            for (int i = 0; i < 4; ++i)
                out.bindColumn(2 + i, rows, i);
            out.bind(6, dr.cents);
            out.bind(7, cr.cents);
            out.bind(8, balance.cents);
            out.run();
        }
        return;
    }
    // One line per voucher: its rows follow each other in this order.
    LiteValue date, kind, number;
    Money dr, cr;
    bool open = false;
    auto flush = [&] {
        balance = balance + dr - cr;
        out.bind(1, ++line);
        out.bindNull(2);
        out.bind(3, date);
        out.bind(4, kind);
        out.bind(5, number);
        out.bind(6, dr.cents);
        out.bind(7, cr.cents);
        out.bind(8, balance.cents);
        out.run();
    };
    while (rows.step()) {
        LiteValue d = rows.value(1), k = rows.value(2), n = rows.value(3);
        if (!open || !(d == date && k == kind && n == number)) {
            if (open)
                flush();
            date = std::move(d);
            kind = std::move(k);
            number = std::move(n);
            dr = cr = Money();
            open = true;
        }
        dr = dr + cents(4);
        cr = cr + cents(5);
    }
    if (open)
        flush();
}

// On a server the lines are written by the database itself, the running balance a window sum.
// The sums cannot leave the range of the column when the opening and every amount of the range
// together stay inside 64-bit cents, which is checked first.
void ledgerLinesServer(Connection& c, qint64 account, const QDate& from, const QDate& to, bool detail, Money opening)
{
    {
        const PeriodTotals t = PeriodSums(c).between(account, from, to);
        const Money bound = absMoney(opening) + absMoney(t.dr) + absMoney(t.cr);
        Q_UNUSED(bound); // Money's sum throws when it cannot be represented
    }
    const QString dr = QStringLiteral("COALESCE(d.DrAmt, 0)"), cr = QStringLiteral("COALESCE(d.CrAmt, 0)");
    const QString where = QStringLiteral("d.AcCode = CAST(? AS BIGINT) AND d.VouDate >= CAST(? AS DATE) AND "
                                         "d.VouDate <= CAST(? AS DATE)");
    const QString lines =
        detail ? QStringLiteral("SELECT ROW_NUMBER() OVER w, d.RowID, d.VouDate, d.VouStatus, d.VouNo, %1, %2, "
                                "CAST(? AS NUMERIC) + SUM(%1 - %2) OVER w FROM DetJV d WHERE %3 "
                                "WINDOW w AS (ORDER BY %4 ROWS UNBOUNDED PRECEDING)")
                     .arg(dr, cr, where, LedgerOrder)
               : QStringLiteral("SELECT ROW_NUMBER() OVER w, NULL, g.VouDate, g.VouStatus, g.VouNo, g.dr, g.cr, "
                                "CAST(? AS NUMERIC) + SUM(g.dr - g.cr) OVER w FROM (SELECT d.VouDate, d.VouStatus, "
                                "d.VouNo, SUM(%1) AS dr, SUM(%2) AS cr FROM DetJV d WHERE %3 "
                                "GROUP BY d.VouDate, d.VouStatus, d.VouNo) g "
                                "WINDOW w AS (ORDER BY g.VouDate, g.VouStatus, g.VouNo ROWS UNBOUNDED PRECEDING)")
                     .arg(dr, cr, where);
    c.execute(QStringLiteral("INSERT INTO tmpAcLedgerLines (LineNo, LineID, VouDate, VouStatus, VouNo, DrAmt, CrAmt, "
                             "Balance) ")
                  + lines,
              {QVariant::fromValue(opening), account, from, to});
}

} // namespace

void prepareWorkTable(Connection& c, const QString& name, const QString& columns)
{
    prepareTable(c, name, columns);
}

void fillLedger(Connection& c, qint64 account, const QDate& from, const QDate& to, bool detail)
{
    prepareLedger(c);
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
    c.execute(QStringLiteral("INSERT INTO tmpAcLedgerHead (AcCode, AcNodes, AcName, Title, FromDate, ToDate) "
                             "VALUES (%1, %2, %3, %4, %5, %5)")
                  .arg(typedParam(c, "BIGINT"), typedParam(c, "VARCHAR(60)"), typedParam(c, "VARCHAR(200)"),
                       typedParam(c, "VARCHAR(40)"), typedParam(c, "DATE")),
              {account, nodes, name, title, from, to});
    const Money opening = OpeningBalances(c).of(account, from);
    c.execute(QStringLiteral("INSERT INTO tmpAcLedgerLines (LineNo, DrAmt, CrAmt, Balance) VALUES (0, %1, %1, %1)")
                  .arg(typedParam(c, "NUMERIC")),
              {amount(Money()), amount(Money()), amount(opening)});
    if (c.backend() == Backend::Sqlite)
        ledgerLinesLite(c, account, from, to, detail, opening);
    else
        ledgerLinesServer(c, account, from, to, detail, opening);
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
