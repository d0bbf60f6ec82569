#include "db/connection.h"

#include "db/bookfile.h"
#include "db/linkerrors.h"
#include "db/logins.h"
#include "db/money.h"
#include "db/schema.h"
#include "db/schemacheck.h"
#include "db/sqlitefold.h"

#include <QAtomicInt>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>

namespace qv {

namespace {
QAtomicInt g_serial;

QString propKey(const QString& name)
{
    return name.trimmed().toLower();
}
} // namespace

bool DbError::isUniqueViolation() const
{
    return m_sqlState == QLatin1String("23505") || m_sqlState == QLatin1String("2067")
           || m_sqlState == QLatin1String("1555") || description().contains(QLatin1String("UNIQUE constraint"));
}

Connection::Connection()
    : m_name(QStringLiteral("qv_conn_%1").arg(g_serial.fetchAndAddRelaxed(1) + 1))
{
    m_props.insert(propKey(QStringLiteral("Initial Catalog")), QStringLiteral("Fendral"));
}

Connection::~Connection()
{
    close();
}

void Connection::setProperty(const QString& name, const QString& value)
{
    m_props.insert(propKey(name), value);
}

QString Connection::property(const QString& name) const
{
    return m_props.value(propKey(name));
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

namespace {
// execute()'s prepared statements on the embedded file, by connection name (the connections of
// one thread; a name is unique per Connection object).
// Shared, so that a statement still being read survives the cache dropping it.
QHash<QString, std::shared_ptr<QSqlQuery>>& preparedOf(const QString& connection)
{
    thread_local QHash<QString, QHash<QString, std::shared_ptr<QSqlQuery>>> all;
    return all[connection];
}
} // namespace

bool Connection::isOpen() const
{
    return m_open;
}

void Connection::close()
{
    // Only touch Qt's connection registry when this object added to it: the shared `Conn`
    // may outlive the registry at program exit.
    if (!m_registered)
        return;
    m_registered = false;
    preparedOf(m_name).clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    m_reports.reset();
    m_open = false;
    m_lost = false;
    m_txDepth = 0;
    m_flatFrom = 0;
    m_failedDepth = 0;
    m_widths.clear();
}

void Connection::requireOpen() const
{
    if (!m_open)
        throw DbError(QStringLiteral("The connection to the database is not open."));
}

void Connection::raise(const QSqlError& e, const QString& sql) const
{
    QString text = e.databaseText().trimmed();
    if (text.isEmpty())
        text = e.text().trimmed();
    if (!e.driverText().isEmpty() && !text.contains(e.driverText()))
        text += QLatin1Char('\n') + e.driverText();
    // A sum the database itself cannot hold (SQLite's SUM of integers; PostgreSQL's NUMERIC
    // columns) is said as what it is.
    if (e.nativeErrorCode() == QLatin1String("22003")
        || (m_backend == Backend::Sqlite && text.startsWith(QLatin1String("integer overflow"))))
        throw DbError(QStringLiteral("An amount or a sum of amounts is too large to be represented (%1).")
                          .arg(text.section(QLatin1Char('\n'), 0, 0)),
                      QStringLiteral("22003"));
    // A link the server or the network broke is said as such; the connection opens it again at
    // the next statement.
    if (m_lost || pgLinkBroken() || (m_backend == Backend::Postgres && serverEndedSession(e))) {
        m_lost = true;
        throw DbError(lostText(text), DbError::LinkLost);
    }
    if (const QString wait = waitText(e.nativeErrorCode(), text, sql); !wait.isEmpty())
        throw DbError(wait + QStringLiteral("\n(") + text.section(QLatin1Char('\n'), 0, 0) + QLatin1Char(')'),
                      e.nativeErrorCode());
    throw DbError(text, e.nativeErrorCode());
}

QVariant Connection::toStorage(const QVariant& v) const
{
    if (v.metaType() == QMetaType::fromType<Money>()) {
        const Money m = v.value<Money>();
        return m_backend == Backend::Sqlite ? QVariant(m.cents) : QVariant(plainAmount(m));
    }
    if (v.metaType() == QMetaType::fromType<QDateTime>())
        return v.toDateTime().date();
    return v;
}

bool Connection::isExecStatement(const QString& sql)
{
    const QString t = sql.trimmed();
    return t.startsWith(QLatin1String("exec"), Qt::CaseInsensitive) && (t.size() == 4 || t[4].isSpace());
}

QSqlQuery Connection::query(const QString& sql, const QVariantList& params, bool forwardOnly)
{
    requireOpen();
    ensureLink();
    try {
        return run(sql, params, forwardOnly);
    } catch (const DbError&) {
        noteFailure();
        throw;
    }
}

void Connection::prepare(const QString& statement, const std::function<void(Connection&)>& work)
{
    requireOpen();
    ensureLink();
    try {
        if (m_hook)
            m_hook(statement);
        runPreparation(work);
    } catch (const DbError&) {
        noteFailure();
        throw;
    }
}

// A report's data preparation may take as long as the report's own statements.
void Connection::runPreparation(const std::function<void(Connection&)>& work)
{
    const bool session = m_backend == Backend::Postgres && m_txDepth == 0;
    if (session)
        execute(QStringLiteral("select set_config('statement_timeout', ?, false)"),
                {QStringLiteral("%1ms").arg(m_limits.reportMs)});
    else
        allowLongStatements();
    m_preparing = true;
    try {
        work(*this);
    } catch (...) {
        m_preparing = false;
        if (session && !m_lost)
            QSqlQuery(database())
                .exec(
                    QStringLiteral("select set_config('statement_timeout', '%1ms', false)").arg(m_limits.statementMs));
        throw;
    }
    m_preparing = false;
    if (session)
        applySessionSettings();
}

QSqlQuery Connection::run(const QString& sql, const QVariantList& params, bool forwardOnly)
{
    if (m_hook)
        m_hook(sql);
    if (isExecStatement(sql)) {
        if (!params.isEmpty())
            throw DbError(QStringLiteral("An exec statement takes its arguments in its own text, not as parameters."));
        if (!m_exec)
            throw DbError(QStringLiteral("The statement \"%1\" cannot be run: no procedures are available.")
                              .arg(sql.trimmed().left(60)));
        runPreparation([this, &sql](Connection& c) { m_exec(c, sql); });
        return QSqlQuery();
    }
    // A report's query is one statement, prepared: a second one hidden in a template's text
    // would otherwise run (PostgreSQL runs every statement of a text it is sent).
    if (m_readOnly && sql.contains(QLatin1Char(';')))
        throw DbError(QStringLiteral("A report reads with one statement only; its query holds a \";\": \"%1\".")
                          .arg(sql.left(200)));
    QSqlQuery q(database());
    q.setForwardOnly(forwardOnly);
    // Statements without parameters run as they are: PostgreSQL cannot prepare utility
    // statements (CREATE ROLE, BEGIN, ...).
    if (params.isEmpty() && !m_readOnly) {
        if (!q.exec(sql))
            raise(q.lastError(), sql);
        return q;
    }
    if (!q.prepare(sql))
        raise(q.lastError(), sql);
    for (const QVariant& p : params)
        q.addBindValue(toStorage(p));
    if (!q.exec())
        raise(q.lastError(), sql);
    return q;
}

bool Connection::preparesOnce(const QString& sql, const QVariantList& params) const
{
    return m_backend == Backend::Sqlite && !params.isEmpty() && !m_readOnly && !isExecStatement(sql);
}

// The statement prepared once on this connection, run with `params`; finish() it when done.
std::shared_ptr<QSqlQuery> Connection::runPrepared(const QString& sql, const QVariantList& params)
{
    requireOpen();
    if (m_hook)
        m_hook(sql);
    QHash<QString, std::shared_ptr<QSqlQuery>>& prepared = preparedOf(m_name);
    auto it = prepared.find(sql);
    if (it == prepared.end()) {
        if (prepared.size() >= 64)
            prepared.clear();
        auto q = std::make_shared<QSqlQuery>(database());
        q->setForwardOnly(true);
        if (!q->prepare(sql))
            raise(q->lastError(), sql);
        it = prepared.insert(sql, q);
    }
    std::shared_ptr<QSqlQuery> q = *it;
    for (int i = 0; i < params.size(); ++i)
        q->bindValue(i, toStorage(params[i]));
    if (!q->exec()) {
        const QSqlError e = q->lastError();
        q->finish();
        prepared.remove(sql);
        raise(e, sql);
    }
    return q;
}

int Connection::execute(const QString& sql, const QVariantList& params)
{
    // On the embedded file a statement that runs again and again with new values (the rows of a
    // save, an import's thousands of vouchers) is prepared once: compiling an insert with its
    // triggers costs more than running it.
    if (preparesOnce(sql, params)) {
        try {
            const std::shared_ptr<QSqlQuery> q = runPrepared(sql, params);
            const int n = q->numRowsAffected();
            q->finish();
            return n;
        } catch (const DbError&) {
            noteFailure();
            throw;
        }
    }
    QSqlQuery q = query(sql, params);
    return q.numRowsAffected();
}

void Connection::eachRow(const QString& sql, const QVariantList& params, const std::function<void(QSqlQuery&)>& rows)
{
    // Unlike execute(), a statement without values is prepared once too: these are never
    // utility statements.
    if (m_backend != Backend::Sqlite || m_readOnly || isExecStatement(sql)) {
        QSqlQuery q = query(sql, params);
        rows(q);
        return;
    }
    const std::shared_ptr<QSqlQuery> q = [&] {
        try {
            return runPrepared(sql, params);
        } catch (const DbError&) {
            noteFailure();
            throw;
        }
    }();
    // Finished whatever `rows` does: an unfinished statement would hold the file's read snapshot.
    struct Finish {
        QSqlQuery& q;
        ~Finish() { q.finish(); }
    } finish{*q};
    rows(*q);
}

QVariant Connection::scalar(const QString& sql, const QVariantList& params)
{
    QSqlQuery q = query(sql, params);
    if (q.next()) {
        const QVariant v = q.value(0);
        return v.isNull() ? QVariant() : v;
    }
    return {};
}

qint64 Connection::insertReturningKey(const QString& sql, const QVariantList& params)
{
    QSqlQuery q = query(sql, params);
    if (!q.next())
        throw DbError(QStringLiteral("The new row's key was not returned."));
    return q.value(0).toLongLong();
}

int Connection::columnWidth(const QString& table, const QString& column)
{
    const QString key = table.toLower() + QLatin1Char('.') + column.toLower();
    if (auto it = m_widths.constFind(key); it != m_widths.constEnd())
        return *it;
    int width = -1;
    if (m_backend == Backend::Sqlite) {
        QSqlQuery q = query(QStringLiteral("select type from pragma_table_info(?) where lower(name) = lower(?)"),
                            {table, column});
        if (q.next()) {
            static const QRegularExpression re(QStringLiteral("\\(\\s*(\\d+)\\s*\\)"));
            const auto m = re.match(q.value(0).toString());
            if (m.hasMatch())
                width = m.captured(1).toInt();
        }
    } else {
        const QVariant v = scalar(QStringLiteral("select character_maximum_length from information_schema.columns "
                                                 "where table_schema = current_schema() and table_name = lower(?) "
                                                 "and column_name = lower(?)"),
                                  {table, column});
        if (!v.isNull())
            width = v.toInt();
    }
    m_widths.insert(key, width);
    return width;
}

QString containsPattern(const QString& typed)
{
    QString t = typed;
    t.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    t.replace(QLatin1Char('%'), QLatin1String("\\%"));
    t.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + t + QLatin1Char('%');
}

QString likeContains(const QString& expr)
{
    return QStringLiteral("lower(%1) like lower(?) escape '\\'").arg(expr);
}

} // namespace qv
