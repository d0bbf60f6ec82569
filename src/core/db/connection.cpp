#include "db/connection.h"

#include "db/bookfile.h"
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
QHash<QString, QSqlQuery>& preparedOf(const QString& connection)
{
    thread_local QHash<QString, QHash<QString, QSqlQuery>> all;
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
    if (m_lost || pgLinkBroken()) {
        m_lost = true;
        throw DbError(lostText(text), DbError::LinkLost);
    }
    if (const QString wait = waitText(e.nativeErrorCode(), text, sql); !wait.isEmpty())
        throw DbError(wait + QStringLiteral("\n(") + text.section(QLatin1Char('\n'), 0, 0) + QLatin1Char(')'),
                      e.nativeErrorCode());
    throw DbError(text, e.nativeErrorCode());
}

void Connection::open()
{
    close();
    const QString user = property(QStringLiteral("User ID"));
    const QString catalog = property(QStringLiteral("Initial Catalog"));
    if (user.trimmed().isEmpty())
        throw DbError(QStringLiteral("Login failed: no user name was given."));
    const DataSource ds = DataSource::parse(property(QStringLiteral("Data Source")), catalog);
    if (ds.backend == Backend::Sqlite) {
        QFileInfo fi(ds.filePath);
        if (!fi.exists())
            throw DbError(QStringLiteral("The database file \"%1\" does not exist.").arg(ds.filePath),
                          QStringLiteral("QV_NOFILE"));
        if (!fi.isFile())
            throw DbError(QStringLiteral("\"%1\" is not a database file.").arg(ds.filePath));
        const auto perms = QFile::permissions(ds.filePath);
        // The permission bits, not access(): root may write anywhere, but a file marked read-only
        // was meant to stay so.
        if (!(perms & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)))
            throw DbError(QStringLiteral("The database file \"%1\" is read-only; the program needs to write to it.")
                              .arg(ds.filePath));
        if (!QFileInfo(fi.absolutePath()).isWritable())
            throw DbError(QStringLiteral("The folder of the database file \"%1\" is not writable.").arg(ds.filePath));
        openFileUnchecked(ds.filePath, false);
    } else {
        openServerUnchecked(ds, catalog, user, property(QStringLiteral("Password")));
    }
    try {
        if (ds.backend == Backend::Sqlite)
            checkEmbeddedLogin();
        // A book of another schema version is never worked on (nor written to).
        Schema::checkOpened(*this, property(QStringLiteral("Data Source")));
    } catch (...) {
        close();
        throw;
    }
}

void Connection::openDriver(const QString& driver, const std::function<void(QSqlDatabase&)>& configure)
{
    QSqlError failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_name);
        m_registered = true;
        configure(db);
        if (!db.open())
            failure = db.lastError();
    }
    // The QSqlDatabase handle above must be gone before close() removes the connection.
    if (failure.isValid()) {
        close();
        raise(failure, {});
    }
    m_open = true;
}

void Connection::openFileUnchecked(const QString& path, bool create)
{
    close();
    if (!create && !QFileInfo::exists(path))
        throw DbError(QStringLiteral("The database file \"%1\" does not exist.").arg(path),
                      QStringLiteral("QV_NOFILE"));
    if (!create)
        bookfile::checkHeader(path);
    m_backend = Backend::Sqlite;
    m_path = path;
    try {
        openDriver(QStringLiteral("QSQLITE"), [&](QSqlDatabase& db) {
            db.setDatabaseName(path);
            // Another station's write lock is waited for this long, then the work fails and says so.
            m_limits = waitLimits();
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_limits.lockMs));
        });
        prepareSqlite(!create);
    } catch (const DbError& e) {
        close();
        if (e.sqlState() == QLatin1String("QV_NOTBOOK") || e.sqlState() == QLatin1String("QV_BADSCHEMA"))
            throw;
        throw DbError(QStringLiteral("\"%1\" could not be opened as a database: %2")
                          .arg(path, bookfile::openAdvice(path, e.description())),
                      e.sqlState());
    }
}

void Connection::prepareSqlite(bool mustBeBook)
{
    // A view or trigger of the book's own may not run a function that is not innocuous.
    execute(QStringLiteral("PRAGMA trusted_schema=OFF"));
    // Reading the schema first makes a file that is not a database fail here, clearly, and a
    // foreign database, or a book holding objects that are not the program's own, is refused
    // before the journal mode below rewrites its header.
    scalar(QStringLiteral("select count(*) from sqlite_master"));
    if (mustBeBook && !Schema::isProvisioned(*this))
        throw DbError(QStringLiteral("\"%1\" is not a Quoravel database; it was left unchanged.").arg(m_path),
                      QStringLiteral("QV_NOTBOOK"));
    if (mustBeBook)
        Schema::verifyEmbedded(*this);
    scalar(QStringLiteral("PRAGMA journal_mode=WAL"));
    execute(QStringLiteral("PRAGMA synchronous=FULL"));
    execute(QStringLiteral("PRAGMA foreign_keys=ON"));
    // Searches ignore the case of every letter, as lower() does on PostgreSQL.
    if (!registerUnicodeLower(database()))
        throw DbError(QStringLiteral("The embedded database's lower() could not be replaced."));
}

void Connection::checkEmbeddedLogin()
{
    const QString user = property(QStringLiteral("User ID"));
    if (!Schema::isProvisioned(*this))
        throw DbError(QStringLiteral("\"%1\" is not a Quoravel database.").arg(m_path));
    if (!Logins::verifyEmbedded(*this, user, property(QStringLiteral("Password"))))
        throw DbError(QStringLiteral("Login failed for user '%1': the user name or the password is wrong.").arg(user));
}

void Connection::openServerUnchecked(const QString& host, int port, const QString& database, const QString& user,
                                     const QString& password)
{
    DataSource ds;
    ds.backend = Backend::Postgres;
    ds.host = host;
    ds.port = port;
    ds.hosts = {host};
    ds.ports = {port};
    openServerUnchecked(ds, database, user, password);
}

void Connection::openServerUnchecked(const DataSource& ds, const QString& database, const QString& user,
                                     const QString& password)
{
    close();
    if (!ds.error.isEmpty())
        throw DbError(ds.error);
    m_backend = Backend::Postgres;
    m_path.clear();
    m_limits = waitLimits();
    openDriver(QStringLiteral("QPSQL"), [&](QSqlDatabase& db) {
        // Several servers travel as libpq's lists: hosts here, their ports in the options.
        db.setHostName(ds.hosts.join(QLatin1Char(',')));
        db.setDatabaseName(database);
        db.setUserName(user);
        db.setPassword(password);
        db.setConnectOptions(ds.connectOptions(m_forReports ? DataSource::Use::Reports : DataSource::Use::Work));
        db.setNumericalPrecisionPolicy(QSql::HighPrecision);
    });
    applySessionSettings();
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

int Connection::execute(const QString& sql, const QVariantList& params)
{
    // On the embedded file a statement that runs again and again with new values (the rows of a
    // save, an import's thousands of vouchers) is prepared once: compiling an insert with its
    // triggers costs more than running it.
    if (m_backend == Backend::Sqlite && !params.isEmpty() && !m_readOnly && !isExecStatement(sql)) {
        requireOpen();
        try {
            if (m_hook)
                m_hook(sql);
            QHash<QString, QSqlQuery>& prepared = preparedOf(m_name);
            auto it = prepared.find(sql);
            if (it == prepared.end()) {
                if (prepared.size() >= 64)
                    prepared.clear();
                QSqlQuery q(database());
                if (!q.prepare(sql))
                    raise(q.lastError(), sql);
                it = prepared.insert(sql, q);
            }
            QSqlQuery& q = *it;
            for (int i = 0; i < params.size(); ++i)
                q.bindValue(i, toStorage(params[i]));
            const bool ok = q.exec();
            const int n = ok ? q.numRowsAffected() : 0;
            const QSqlError e = q.lastError();
            q.finish();
            if (!ok) {
                prepared.remove(sql);
                raise(e, sql);
            }
            return n;
        } catch (const DbError&) {
            noteFailure();
            throw;
        }
    }
    QSqlQuery q = query(sql, params);
    return q.numRowsAffected();
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
