// The link to a PostgreSQL server and the limits on every wait: a link the server or the network
// broke is noticed, said as such, and opened again (through the Data Source's list of servers) at
// the next statement outside a transaction; a lock, the embedded book's write lock, a statement
// that takes too long or a synchronous standby that does not confirm a COMMIT ends within its
// limit with a message that says what was busy.
#include "db/connection.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <chrono>
#include <condition_variable>
#include <libpq-fe.h>
#include <mutex>
#include <poll.h>
#include <thread>

namespace qv {

namespace {

WaitLimits& limits()
{
    static WaitLimits l;
    return l;
}

PGconn* pgHandle(const QSqlDatabase& db)
{
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(h.constData());
}

QString seconds(int ms)
{
    if (ms == 1000)
        return QStringLiteral("1 second");
    return (ms % 1000 == 0 ? QString::number(ms / 1000) : QString::number(ms / 1000.0, 'f', 1))
           + QStringLiteral(" seconds");
}

// The tables a statement names, in the user's words.
// What a statement that waited for a lock needs, as the user knows it. The names the statement
// gives its own parts (WITH name AS ...) and the session's own work tables, which no other
// login can hold, are left out.
QString busyWhat(const QString& sql, const QSet<QString>& sessionTables)
{
    static const QHash<QString, QString> words{
        {QStringLiteral("masjv"), QStringLiteral("the vouchers")},
        {QStringLiteral("detjv"), QStringLiteral("the vouchers")},
        {QStringLiteral("acmonthsums"), QStringLiteral("the vouchers")}, // their month sums
        {QStringLiteral("accounts"), QStringLiteral("the chart of accounts")},
        {QStringLiteral("company"), QStringLiteral("the company profile")},
        {QStringLiteral("vousetting"), QStringLiteral("the voucher setup")},
        {QStringLiteral("menus"), QStringLiteral("the menu rights")},
        {QStringLiteral("tblcatagory"), QStringLiteral("the plot categories")},
        {QStringLiteral("tblapplication"), QStringLiteral("the customer applications")},
        {QStringLiteral("lctpswd"), QStringLiteral("the lock password")},
    };
    if (sql.contains(QLatin1String("pg_advisory_xact_lock"), Qt::CaseInsensitive))
        return QStringLiteral("the numbering of new vouchers (another station is saving a voucher of this kind)");
    static const QRegularExpression table(QStringLiteral("\\b(?:from|into|update|join|table)\\s+([A-Za-z_]\\w*)"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression part(
        QStringLiteral("(?:\\bwith(?:\\s+recursive)?|,)\\s*([A-Za-z_]\\w*)\\s*(?:\\([^()]*\\))?\\s+as\\s+"
                       "(?:(?:not\\s+)?materialized\\s+)?\\("),
        QRegularExpression::CaseInsensitiveOption);
    QSet<QString> own = sessionTables;
    for (auto it = part.globalMatch(sql); it.hasNext();)
        own.insert(it.next().captured(1).toLower());
    QStringList said, names;
    for (auto it = table.globalMatch(sql); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (name.compare(QLatin1String("lateral"), Qt::CaseInsensitive) == 0 // JOIN LATERAL (subquery)
            || own.contains(name.toLower()))
            continue;
        const QString word = words.value(name.toLower(), name);
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
        if (!said.contains(word))
            said << word;
    }
    if (said.isEmpty())
        return QStringLiteral("the data this work needs");
    return QStringLiteral("%1 (%2)").arg(said.join(QStringLiteral(", ")), names.join(QStringLiteral(", ")));
}

// libpq's notices of a connection are kept for it instead of printed on standard error.
void keepNotice(void* notice, const PGresult* r)
{
    *static_cast<QString*>(notice) = QString::fromUtf8(PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY));
}

bool writes(const QString& sql)
{
    static const QRegularExpression w(QStringLiteral("^\\s*(insert|update|delete|begin|savepoint|lock)\\b"),
                                      QRegularExpression::CaseInsensitiveOption);
    return w.match(sql).hasMatch();
}

} // namespace

bool DbError::isWaitOver() const
{
    if (m_sqlState == QLatin1String("55P03") || m_sqlState == QLatin1String("57014"))
        return true;
    bool number = false;
    const int code = m_sqlState.toInt(&number);
    return number && ((code & 0xff) == 5 || (code & 0xff) == 6); // SQLITE_BUSY, SQLITE_LOCKED
}

WaitLimits Connection::waitLimits()
{
    return limits();
}

WaitLimits Connection::setWaitLimits(const WaitLimits& l)
{
    return std::exchange(limits(), l);
}

void Connection::applySessionSettings()
{
    if (PGconn* pg = pgHandle(database()))
        PQsetNoticeReceiver(pg, keepNotice, &m_notice);
    const WaitLimits& l = m_limits;
    // No machine-code compiling of queries: the book's statements read a few index ranges, and a
    // plan whose estimated cost passes the server's threshold (a work table the planner has no
    // figures for) spent far longer compiling than running: a year's ledger of the cash account
    // took 450 ms to read instead of 185.
    execute(QStringLiteral("select set_config('client_min_messages', 'warning', false), set_config('jit', 'off', "
                           "false), set_config('lock_timeout', ?, false), set_config('statement_timeout', ?, false)"),
            {QStringLiteral("%1ms").arg(l.lockMs), QStringLiteral("%1ms").arg(l.statementMs)});
}

void Connection::allowLongStatements()
{
    if (m_backend == Backend::Postgres)
        execute(QStringLiteral("select set_config('statement_timeout', ?, true)"),
                {QStringLiteral("%1ms").arg(m_limits.reportMs)});
}

bool Connection::runCommit(QSqlQuery& q)
{
    PGconn* pg = m_backend == Backend::Postgres ? pgHandle(database()) : nullptr;
    if (!pg)
        return q.exec(QStringLiteral("COMMIT"));
    // The standby's word is waited for up to the lock limit; then a cancel request, from a thread
    // of its own, ends the wait. The thread holds the lock while it sends it, so that it cannot
    // reach a statement after this COMMIT.
    m_notice.clear();
    PGcancel* cancel = PQgetCancel(pg);
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread watch([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::milliseconds(m_limits.lockMs), [&] { return done; }) && cancel) {
            char why[256];
            PQcancel(cancel, why, sizeof why);
        }
    });
    const bool ok = q.exec(QStringLiteral("COMMIT"));
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_one();
    watch.join();
    if (cancel)
        PQfreeCancel(cancel);
    if (ok && m_notice.contains(QLatin1String("synchronous replication")) && m_onWarning)
        m_onWarning(QStringLiteral("The work was saved on %1, but its standby did not confirm it within %2: the "
                                   "standby may be down, and until it is back what is saved exists on this server "
                                   "only. Please tell the administrator.")
                        .arg(serverName(), seconds(m_limits.lockMs)));
    return ok;
}

QString Connection::waitText(const QString& state, const QString& text, const QString& sql) const
{
    const WaitLimits& l = m_limits;
    QString what;
    if (m_backend == Backend::Sqlite) {
        bool number = false;
        const int code = state.toInt(&number) & 0xff;
        if (!number || (code != 5 && code != 6))
            return {};
        what = QStringLiteral("Another station or program is writing to the book, and the wait for it ran out after "
                              "%1.")
                   .arg(seconds(l.lockMs));
    } else if (state == QLatin1String("55P03")) {
        what = QStringLiteral("Another login is holding %1, and the wait for it ran out after %2.")
                   .arg(busyWhat(sql, m_sessionTables), seconds(l.lockMs));
    } else if (state == QLatin1String("57014") && text.contains(QLatin1String("statement timeout"))) {
        what = QStringLiteral("The database did not finish this work within its time limit (%1) and stopped it.")
                   .arg(seconds(m_readOnly || m_preparing ? l.reportMs : l.statementMs));
    } else {
        return {};
    }
    if (m_readOnly || m_preparing)
        return what + QStringLiteral(" The report was not made; try again when the other work is done.");
    if (m_txDepth > 0 || writes(sql))
        return what + QStringLiteral(" Nothing was saved; try again when the other work is done.");
    return what + QStringLiteral(" Try again when the other work is done.");
}

bool Connection::pgLinkBroken() const
{
    if (m_backend != Backend::Postgres || !m_registered)
        return false;
    PGconn* pg = pgHandle(database());
    if (!pg)
        return true;
    // A link that is idle has nothing to read, unless the server said its last words (a FATAL
    // message) or went away; reading them is what tells libpq that the link is gone. Words
    // without the end of the link yet are most likely those last ones: the end is waited for
    // a moment.
    for (int i = 0, waitMs = 0; i < 8 && PQstatus(pg) == CONNECTION_OK; ++i, waitMs = 100) {
        pollfd p{PQsocket(pg), POLLIN, 0};
        if (p.fd < 0 || ::poll(&p, 1, waitMs) <= 0)
            break;
        if (!PQconsumeInput(pg))
            break;
    }
    return PQstatus(pg) != CONNECTION_OK;
}

QString Connection::lostText(const QString& text) const
{
    const QString why = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    const QString first = QStringLiteral("The connection to the server was lost (%1).").arg(why);
    if (m_readOnly || m_preparing)
        return first + QStringLiteral(" The report was not made.");
    if (m_txDepth > 0)
        return first + QStringLiteral(" Nothing was saved. The connection is opened again at the next action.");
    return first + QStringLiteral(" It is opened again at the next action.");
}

void Connection::ensureLink()
{
    if (m_backend != Backend::Postgres)
        return;
    if (!m_lost && pgLinkBroken())
        m_lost = true;
    if (!m_lost)
        return;
    if (m_txDepth > 0)
        throw DbError(QStringLiteral("The connection to the server was lost during this work. Nothing of it was "
                                     "saved."),
                      DbError::LinkLost);
    reconnect();
}

void Connection::reconnect()
{
    QSqlError failure;
    {
        QSqlDatabase db = database();
        db.close();
        if (!db.open())
            failure = db.lastError();
    }
    m_txDepth = 0;
    m_flatFrom = 0;
    m_failedDepth = 0;
    m_sessionTables.clear(); // a new session holds none of the old one's work tables
    if (failure.isValid()) {
        QString why = failure.databaseText().trimmed();
        if (why.isEmpty())
            why = failure.text().trimmed();
        throw DbError(QStringLiteral("The connection to the server was lost and no server of \"%1\" that accepts "
                                     "this work answers yet:\n%2")
                          .arg(property(QStringLiteral("Data Source")), why),
                      DbError::LinkLost);
    }
    m_lost = false;
    applySessionSettings();
    if (m_onReconnect)
        m_onReconnect(serverName());
}

Connection& Connection::reportConnection()
{
    if (m_backend != Backend::Postgres || m_forReports)
        return *this;
    const DataSource ds = DataSource::parse(property(QStringLiteral("Data Source")), QString());
    if (!ds.reportsOnStandby)
        return *this;
    if (!m_reports) {
        auto c = std::make_unique<Connection>();
        c->m_props = m_props;
        c->m_forReports = true;
        c->openServerUnchecked(ds, database().databaseName(), database().userName(), database().password());
        m_reports = std::move(c);
    }
    return *m_reports;
}

QString Connection::serverName() const
{
    if (m_backend != Backend::Postgres || !m_open)
        return {};
    PGconn* pg = pgHandle(database());
    if (!pg || PQstatus(pg) != CONNECTION_OK)
        return {};
    return QStringLiteral("%1:%2").arg(QString::fromUtf8(PQhost(pg)), QString::fromUtf8(PQport(pg)));
}

} // namespace qv
