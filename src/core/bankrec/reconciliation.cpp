#include "bankrec/reconciliation.h"

#include "db/audittrail.h"
#include "db/logins.h"
#include "reportengine/report.h"
#include "reportengine/reportdata.h"
#include "reportengine/reportrequest.h"
#include "reports/openings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlQuery>
#include <algorithm>

namespace qv {

namespace {
QString shown(const QDate& d)
{
    return d.toString(QStringLiteral("dd-MM-yyyy"));
}

QVariant bound(Money m)
{
    return QVariant::fromValue(m);
}

QString key(qint64 reconId)
{
    return QStringLiteral("REC-%1").arg(reconId);
}
} // namespace

std::vector<BankLine> Reconciliation::lines(qint64 account, const QDate& date)
{
    const std::optional<FinishedRecon> previous = last(account);
    std::vector<BankLine> out = read(account, date, QStringLiteral("WHERE b.ReconID IS NULL OR b.ReconID = ?"),
                                     {previous ? previous->id : qint64(-1)});
    std::stable_sort(out.begin(), out.end(), [](const BankLine& a, const BankLine& b) {
        return std::tie(a.state, a.date, a.kind, a.number, a.rowId)
               < std::tie(b.state, b.date, b.kind, b.number, b.rowId);
    });
    return out;
}

std::vector<BankLine> Reconciliation::bookLines(qint64 account, const QDate& date)
{
    std::vector<BankLine> out = read(account, date, {}, {});
    std::stable_sort(out.begin(), out.end(), [](const BankLine& a, const BankLine& b) {
        return std::tie(a.date, a.kind, a.number, a.rowId) < std::tie(b.date, b.kind, b.number, b.rowId);
    });
    return out;
}

std::vector<BankLine> Reconciliation::read(qint64 account, const QDate& date, const QString& where,
                                           const QVariantList& params)
{
    // The bank book's own query, with the bank book's selection up to the statement date.
    const QStringList folders =
        m_folders.isEmpty() ? rpt::templateFolders(QCoreApplication::applicationDirPath()) : m_folders;
    rpt::Application app(folders);
    const std::shared_ptr<rpt::Report> book = app.OpenReport(folders.first() + QStringLiteral("\\rptAcLedger3.rpt"));
    const rpt::Section& main = book->templ().main;
    const rpt::Selection selection{rpt::equal(QStringLiteral("DetJV.CrAc"), account),
                                   {QStringLiteral("DetJV.VouDate"), rpt::Condition::LessOrEqual, date, {}}};
    const rpt::SectionSql s = rpt::sectionSql(main, rpt::Formula::of(selection, main.fields), m_c.backend());
    QStringList cols;
    QVector<rpt::FieldType> types;
    for (const char* name : {"DetJV.RowID", "DetJV.VouDate", "DetJV.VouStatus", "DetJV.VouNo", "DetJV.Account",
                             "DetJV.ChecqNo", "DetJV.Receipt", "DetJV.Payment"}) {
        const rpt::FieldInfo* f = main.fields.find(QLatin1String(name));
        if (!f)
            throw DbError(QStringLiteral("The bank book's template declares no field {%1}.").arg(QLatin1String(name)));
        cols << QStringLiteral("q.c%1").arg(f->index);
        types << f->type;
    }
    QSqlQuery q = m_c.query(QStringLiteral("SELECT %1, b.ClearDate, b.ReconID FROM (%2) AS q LEFT JOIN BankClearing b "
                                           "ON b.DetRowID = %3 %4")
                                .arg(cols.join(QStringLiteral(", ")), s.sql, cols.front(), where),
                            s.params + params);
    std::vector<BankLine> out;
    const Backend be = m_c.backend();
    while (q.next()) {
        BankLine l;
        l.rowId = q.value(0).toLongLong();
        l.date = rpt::fieldValue(q.value(1), types[1], be).toDate();
        l.kind = q.value(2).toString();
        l.number = q.value(3).toLongLong();
        l.party = q.value(4).toString();
        l.cheque = q.value(5).toString();
        l.receipt = m_c.moneyOrZero(q.value(6));
        l.payment = m_c.moneyOrZero(q.value(7));
        if (!q.value(8).isNull()) {
            l.clearDate = rpt::fieldValue(q.value(8), rpt::FieldType::Date, be).toDate();
            l.state = q.value(9).isNull() ? BankLine::State::Ticked : BankLine::State::Cleared;
        }
        out.push_back(std::move(l));
    }
    return out;
}

Money Reconciliation::bookBalance(qint64 account, const QDate& date)
{
    return rpt::OpeningBalances(m_c).of(account, date.addDays(1));
}

ReconFigures Reconciliation::figures(Money book, Money statement, const std::vector<BankLine>& lines)
{
    ReconFigures f{book, book, statement, {}};
    for (const BankLine& l : lines)
        if (l.state == BankLine::State::Open)
            f.cleared = f.cleared - l.receipt + l.payment;
    f.difference = statement - f.cleared;
    return f;
}

QString Reconciliation::clearDateProblem(const QDate& clear, const QDate& statementDate,
                                         const std::optional<QDate>& previous) const
{
    if (!clear.isValid())
        return QStringLiteral("Please type the date the bank cleared the line.");
    if (clear > statementDate)
        return QStringLiteral("A line cleared on %1 is not on the statement of %2: the clearing date must be on or "
                              "before the statement date.")
            .arg(shown(clear), shown(statementDate));
    if (previous && clear <= *previous)
        return QStringLiteral("A line cleared on %1 belongs to the reconciliation finished as at %2: the clearing "
                              "date must be after it.")
            .arg(shown(clear), shown(*previous));
    return {};
}

void Reconciliation::keepTicks(qint64 account, const QDate& date, const QHash<qint64, QDate>& ticks,
                               const QString& login)
{
    // Stations reconciling one account take turns (the embedded book's writers always do).
    if (m_c.backend() == Backend::Postgres)
        m_c.scalar(QStringLiteral("select RowID from Accounts where RowID = ? for update"), {account});
    const std::optional<FinishedRecon> previous = last(account);
    const std::optional<QDate> before = previous ? std::optional<QDate>(previous->date) : std::nullopt;
    const std::vector<BankLine> now = lines(account, date);
    QHash<qint64, const BankLine*> byRow;
    for (const BankLine& l : now)
        byRow.insert(l.rowId, &l);
    int gone = 0;
    for (auto it = ticks.constBegin(); it != ticks.constEnd(); ++it) {
        const BankLine* l = byRow.value(it.key());
        if (!l || l->state == BankLine::State::Cleared) {
            ++gone;
            continue;
        }
        if (const QString why = clearDateProblem(it.value(), date, before); !why.isEmpty())
            throw DbError(QStringLiteral("%1 (voucher %2)").arg(why, l->voucher()));
    }
    if (gone > 0)
        throw DbError(QStringLiteral("%1 ticked line(s) are no longer in the bank book as they were: their vouchers "
                                     "were changed or cleared meanwhile. Nothing was kept; the lines are read again.")
                          .arg(gone));
    for (const BankLine& l : now) {
        if (l.state == BankLine::State::Cleared)
            continue;
        const auto tick = ticks.constFind(l.rowId);
        const bool same = tick != ticks.constEnd() && l.state == BankLine::State::Ticked && l.clearDate == *tick;
        if (same || (tick == ticks.constEnd() && l.state == BankLine::State::Open))
            continue;
        if (l.state == BankLine::State::Ticked)
            m_c.execute(QStringLiteral("delete from BankClearing where DetRowID = ? and ReconID is null"), {l.rowId});
        if (tick != ticks.constEnd())
            m_c.execute(QStringLiteral("insert into BankClearing (DetRowID, AcCode, ClearDate, Login) values (?, ?, "
                                       "?, ?)"),
                        {l.rowId, account, *tick, login});
    }
}

void Reconciliation::postpone(qint64 account, const QDate& date, const QHash<qint64, QDate>& ticks,
                              const QString& login)
{
    Transaction tx(m_c);
    keepTicks(account, date, ticks, login);
    tx.commit();
}

FinishedRecon Reconciliation::finish(qint64 account, const QDate& date, Money statement,
                                     const QHash<qint64, QDate>& ticks, const QString& login)
{
    Transaction tx(m_c);
    if (m_c.backend() == Backend::Postgres)
        m_c.scalar(QStringLiteral("select RowID from Accounts where RowID = ? for update"), {account});
    if (const std::optional<FinishedRecon> previous = last(account); previous && date <= previous->date)
        throw DbError(QStringLiteral("This account is reconciled as at %1 already: a new reconciliation must be dated "
                                     "after it.")
                          .arg(shown(previous->date)));
    keepTicks(account, date, ticks, login);
    const std::vector<BankLine> now = lines(account, date);
    const ReconFigures f = figures(bookBalance(account, date), statement, now);
    if (f.difference != Money())
        throw DbError(QStringLiteral("The difference is %1: a reconciliation is finished only when the difference is "
                                     "0.00.")
                          .arg(displayAmount(f.difference)));
    FinishedRecon r{0, account, date, statement, login, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)};
    r.id = m_c.insertReturningKey(QStringLiteral("insert into BankRecon (AcCode, StmtDate, StmtBal, Login, FinishedAt) "
                                                 "values (?, ?, ?, ?, ?) returning RowID"),
                                  {account, date, bound(statement), login, r.at});
    for (const BankLine& l : now)
        if (l.state == BankLine::State::Ticked)
            m_c.execute(QStringLiteral("update BankClearing set ReconID = ? where DetRowID = ? and ReconID is null"),
                        {r.id, l.rowId});
    AuditTrail(m_c).append(
        QStringLiteral("reconciliation finished"), QStringLiteral("BankRecon"), key(r.id), {},
        AuditTrail::rowsImage(m_c, QStringLiteral("BankRecon"), QStringLiteral("RowID = ?"), {r.id}, true));
    tx.commit();
    return r;
}

void Reconciliation::undo(qint64 reconId, const QString& login)
{
    Transaction tx(m_c);
    if (!Logins::isManager(m_c, login))
        throw DbError(QStringLiteral("Only a manager of the book may undo a finished reconciliation."));
    const QVariant account = m_c.scalar(QStringLiteral("select AcCode from BankRecon where RowID = ?"), {reconId});
    if (account.isNull())
        throw DbError(QStringLiteral("The reconciliation is not there (undone meanwhile?)."));
    const std::optional<FinishedRecon> latest = last(account.toLongLong());
    if (!latest || latest->id != reconId)
        throw DbError(QStringLiteral("Only the latest reconciliation of an account can be undone."));
    const QString before =
        AuditTrail::rowsImage(m_c, QStringLiteral("BankRecon"), QStringLiteral("RowID = ?"), {reconId}, true);
    if (m_c.backend() == Backend::Postgres) {
        // The managers' function: a finished reconciliation changes only through the keeper.
        m_c.scalar(QStringLiteral("select qv_undo_reconciliation(?)"), {reconId});
    } else {
        m_c.execute(QStringLiteral("update BankClearing set ReconID = null where ReconID = ?"), {reconId});
        m_c.execute(QStringLiteral("delete from BankRecon where RowID = ?"), {reconId});
    }
    AuditTrail(m_c).append(QStringLiteral("reconciliation undone"), QStringLiteral("BankRecon"), key(reconId), before,
                           {});
    tx.commit();
}

std::optional<FinishedRecon> Reconciliation::last(qint64 account)
{
    QSqlQuery q = m_c.query(QStringLiteral("select RowID, StmtDate, StmtBal, Login, FinishedAt from BankRecon where "
                                           "AcCode = ? order by RowID desc limit 1"),
                            {account});
    if (!q.next())
        return std::nullopt;
    return FinishedRecon{q.value(0).toLongLong(),
                         account,
                         rpt::fieldValue(q.value(1), rpt::FieldType::Date, m_c.backend()).toDate(),
                         m_c.moneyOrZero(q.value(2)),
                         q.value(3).toString(),
                         q.value(4).toString()};
}

QStringList Reconciliation::takeLostTicks(qint64 account)
{
    QStringList out;
    QSqlQuery q =
        m_c.query(QStringLiteral("select LostFrom from BankClearing where AcCode = ? and DetRowID < 0 order by RowID"),
                  {account});
    while (q.next())
        if (!out.contains(q.value(0).toString()))
            out << q.value(0).toString();
    q.finish();
    if (!out.isEmpty())
        m_c.execute(QStringLiteral("delete from BankClearing where AcCode = ? and DetRowID < 0 and ReconID is null"),
                    {account});
    return out;
}

} // namespace qv
