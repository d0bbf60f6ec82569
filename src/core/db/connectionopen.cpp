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

// Opening a connection: the program's logon by its properties, the embedded file, a server.
namespace qv {

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

} // namespace qv
