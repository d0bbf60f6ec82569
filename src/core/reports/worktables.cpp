#include "reports/worktables.h"
#include "reports/worktables_p.h"

#include "db/money.h"
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

struct AccountInfo {
    QString nodes, name, status;
};

// Every account by RowID, and the titles by code (for the control and sub-control heads).
struct Chart {
    QHash<qint64, AccountInfo> byId;
    QHash<QString, QString> nameByNodes;
};

Chart readChart(Connection& c)
{
    Chart ch;
    QSqlQuery q = c.query(QStringLiteral("SELECT RowID, AcNodes, AcName, AcStatus FROM Accounts"));
    while (q.next()) {
        AccountInfo a{q.value(1).toString(), q.value(2).toString(), q.value(3).toString().trimmed()};
        ch.nameByNodes.insert(a.nodes, a.name);
        ch.byId.insert(q.value(0).toLongLong(), a);
    }
    return ch;
}

// The codes of an account's control and sub-control heads: "3.2.10" -> "3", "3.2".
QPair<QString, QString> heads(const QString& nodes)
{
    const QStringList parts = nodes.split(QLatin1Char('.'));
    return {parts.value(0), parts.size() > 1 ? parts[0] + QLatin1Char('.') + parts[1] : QString()};
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
    const QString lines =
        detail ? QStringLiteral(
                     "SELECT d.VouDate, d.VouStatus, d.VouNo, COALESCE(o.AcName, m.PaidReceive) AS Particulars, "
                     "d.Naration, d.ChecqNo, d.FileNo, d.BillNo, %1 AS DrAmt, %2 AS CrAmt, "
                     "%3 + SUM(%1 - %2) OVER w AS Bal, ROW_NUMBER() OVER w AS Line "
                     "FROM DetJV d LEFT JOIN Accounts o ON o.RowID = d.CrAc "
                     "LEFT JOIN MasJV m ON m.VouStatus = d.VouStatus AND m.VouNo = d.VouNo "
                     "WHERE d.AcCode = ? AND d.VouDate >= ? AND d.VouDate <= ? "
                     "WINDOW w AS (ORDER BY %4 ROWS UNBOUNDED PRECEDING)")
                     .arg(dr, cr, typed(pg ? "NUMERIC" : "INTEGER"), order)
               : QStringLiteral("SELECT d.VouDate, d.VouStatus, d.VouNo, m.PaidReceive AS Particulars, "
                                "NULL AS Naration, NULL AS ChecqNo, NULL AS FileNo, NULL AS BillNo, "
                                "SUM(%1) AS DrAmt, SUM(%2) AS CrAmt, "
                                "%3 + SUM(SUM(%1) - SUM(%2)) OVER w AS Bal, ROW_NUMBER() OVER w AS Line "
                                "FROM DetJV d LEFT JOIN MasJV m ON m.VouStatus = d.VouStatus AND m.VouNo = d.VouNo "
                                "WHERE d.AcCode = ? AND d.VouDate >= ? AND d.VouDate <= ? "
                                "GROUP BY d.VouDate, d.VouStatus, d.VouNo, m.PaidReceive "
                                "WINDOW w AS (ORDER BY %4 ROWS UNBOUNDED PRECEDING)")
                     .arg(dr, cr, typed(pg ? "NUMERIC" : "INTEGER"), order);
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
    const Chart chart = readChart(c);
    Inserter ins(c, QStringLiteral("tmpTrialBalance"),
                 {QStringLiteral("AcCode"), QStringLiteral("AcNodes"), QStringLiteral("AcName"),
                  QStringLiteral("CtlNodes"), QStringLiteral("CtlName"), QStringLiteral("SubNodes"),
                  QStringLiteral("SubName"), QStringLiteral("FromDate"), QStringLiteral("ToDate"),
                  QStringLiteral("DrAmt"), QStringLiteral("CrAmt"), QStringLiteral("NetDr"), QStringLiteral("NetCr")});
    const QHash<qint64, PeriodTotals> moved = PeriodSums(c).allBetween(from, to);
    QList<qint64> ids = moved.keys();
    std::sort(ids.begin(), ids.end());
    for (const qint64 id : ids) {
        const PeriodTotals& s = moved[id];
        if (s.rows == 0)
            continue;
        const Money dr = s.dr, cr = s.cr;
        const Money net = dr - cr;
        const AccountInfo a = chart.byId.value(id, {QString(), QStringLiteral("(account %1 not found)").arg(id), {}});
        const auto [ctl, sub] = heads(a.nodes);
        ins.insert({id, a.nodes, a.name, ctl, chart.nameByNodes.value(ctl), sub, chart.nameByNodes.value(sub), from, to,
                    amount(dr), amount(cr), amount(net.cents > 0 ? net : Money()),
                    amount(net.cents < 0 ? Money(-net.cents) : Money())});
    }
    ins.finish();
}

void fillTrialBalance3(Connection& c, const QDate& from, const QDate& to)
{
    prepareTable(c, QStringLiteral("tmpTrialBalance3"),
                 QStringLiteral("AcCode BIGINT, AcNodes VARCHAR(60), AcName VARCHAR(200), FromDate DATE, ToDate DATE, "
                                "OpenDr AMOUNT, OpenCr AMOUNT, DrAmt AMOUNT, CrAmt AMOUNT, CloseDr AMOUNT, "
                                "CloseCr AMOUNT, DiffTitle VARCHAR(60), DiffOpenDr AMOUNT, DiffOpenCr AMOUNT, "
                                "DiffCloseDr AMOUNT, DiffCloseCr AMOUNT, BalTitle VARCHAR(60), BalOpen AMOUNT, "
                                "BalClose AMOUNT"));
    struct Figures {
        Money opening, dr, cr;
        bool moved = false;
    };
    QHash<qint64, Figures> figures;
    const QMap<qint64, Money> openings = OpeningBalances(c).all(from);
    for (auto it = openings.cbegin(); it != openings.cend(); ++it)
        figures[it.key()].opening = *it;
    const QHash<qint64, PeriodTotals> moved = PeriodSums(c).allBetween(from, to);
    for (auto it = moved.cbegin(); it != moved.cend(); ++it) {
        if (it->rows == 0)
            continue;
        Figures& f = figures[it.key()];
        f.dr = it->dr;
        f.cr = it->cr;
        f.moved = true;
    }
    const Chart chart = readChart(c);
    Inserter ins(c, QStringLiteral("tmpTrialBalance3"),
                 {QStringLiteral("AcCode"), QStringLiteral("AcNodes"), QStringLiteral("AcName"),
                  QStringLiteral("FromDate"), QStringLiteral("ToDate"), QStringLiteral("OpenDr"),
                  QStringLiteral("OpenCr"), QStringLiteral("DrAmt"), QStringLiteral("CrAmt"), QStringLiteral("CloseDr"),
                  QStringLiteral("CloseCr"), QStringLiteral("DiffTitle"), QStringLiteral("DiffOpenDr"),
                  QStringLiteral("DiffOpenCr"), QStringLiteral("DiffCloseDr"), QStringLiteral("DiffCloseCr"),
                  QStringLiteral("BalTitle"), QStringLiteral("BalOpen"), QStringLiteral("BalClose")});
    // When the openings do not net to zero their difference is a line of its own below the
    // total, on the lighter side, and a total with it balances (every row carries them: the
    // report's footer reads the last). The accounts' own figures stay as they are.
    Money openNet, closeNet, openDr, closeDr;
    for (const Figures& f : figures) {
        const Money closing = f.opening + f.dr - f.cr;
        openNet += f.opening;
        closeNet += closing;
        openDr += f.opening.cents > 0 ? f.opening : Money();
        closeDr += closing.cents > 0 ? closing : Money();
    }
    const bool differs = openNet.cents != 0 || closeNet.cents != 0;
    const QString diffTitle = differs ? QStringLiteral("Difference in opening balances") : QString();
    const QString balTitle = differs ? QStringLiteral("Total with the difference") : QString();
    const Money balOpen = openNet.cents < 0 ? openDr - openNet : openDr;
    const Money balClose = closeNet.cents < 0 ? closeDr - closeNet : closeDr;
    for (auto it = figures.cbegin(); it != figures.cend(); ++it) {
        const Figures& f = *it;
        if (f.opening.cents == 0 && !f.moved)
            continue;
        const Money closing = f.opening + f.dr - f.cr;
        const AccountInfo a =
            chart.byId.value(it.key(), {QString(), QStringLiteral("(account %1 not found)").arg(it.key()), {}});
        auto dr = [](Money m) { return amount(m.cents > 0 ? m : Money()); };
        auto cr = [](Money m) { return amount(m.cents < 0 ? Money(-m.cents) : Money()); };
        ins.insert({it.key(), a.nodes, a.name, from, to, dr(f.opening), cr(f.opening), amount(f.dr), amount(f.cr),
                    dr(closing), cr(closing), diffTitle, cr(openNet), dr(openNet), cr(closeNet), dr(closeNet), balTitle,
                    amount(differs ? balOpen : Money()), amount(differs ? balClose : Money())});
    }
    ins.finish();
}

} // namespace qv::rpt
