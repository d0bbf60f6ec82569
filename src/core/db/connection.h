#pragma once
// The one database connection behind `Conn`: an embedded SQLite file or a PostgreSQL server,
// chosen by the Data Source, with the same calls for both. Every value travels as a bound
// parameter; failures throw DbError with a readable description.
#include "db/datasource.h"
#include "db/dberror.h"
#include "db/money.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>
#include <functional>
#include <memory>

namespace qv {

// How long work may wait (the README's "No endless waits" gives the values and why). A wait that
// runs out fails the work with a message that says what was busy.
struct WaitLimits {
    int lockMs = 5000;       // a lock another login holds (PostgreSQL lock_timeout); the embedded
                             // book's busy timeout for its write lock
    int statementMs = 30000; // one statement of ordinary work (PostgreSQL statement_timeout)
    int reportMs = 600000;   // a statement of a report's read-only transaction, its data
                             // preparation or an export
};

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Provider properties, set one by one as the login does: "User ID", "Password",
    // "Data Source", "Initial Catalog". Names are matched without regard to case.
    void setProperty(const QString& name, const QString& value);
    QString property(const QString& name) const;

    // Opens with the properties set before; checks the login (PostgreSQL: its roles; the
    // embedded file: its Logins table). Throws DbError; `code()` of a missing embedded file is
    // "QV_NOFILE" so that the first-run offer can tell it apart.
    void open();
    // Opens a connection to a new or existing embedded file without checking a login; used
    // only by provisioning and by the admin tool. An existing file (`create` false) must be a
    // Quoravel book: anything else is refused (code "QV_NOTBOOK") before anything is written.
    void openFileUnchecked(const QString& path, bool create);
    // Opens as an administrator on a PostgreSQL server without the program's login check.
    void openServerUnchecked(const QString& host, int port, const QString& database, const QString& user,
                             const QString& password);
    // The same for every server, port and sslmode the Data Source names.
    void openServerUnchecked(const DataSource& ds, const QString& database, const QString& user,
                             const QString& password);
    bool isOpen() const;
    void close();

    // The limits of connections opened from now on (tests shorten them).
    static WaitLimits waitLimits();
    static WaitLimits setWaitLimits(const WaitLimits& limits);
    // The rest of the current transaction may run statements up to the report limit (PostgreSQL).
    void allowLongStatements();

    // A server's link that breaks is noticed (a statement fails, or the server's last words are
    // read before the next one) and opened again, through the Data Source's list of servers, by
    // the next statement outside a transaction; inside one, every statement fails until it ends.
    // COMMIT on a link that breaks throws DbError::CommitUnknown.
    bool linkLost() const { return m_lost; }
    // The server this connection is on, as libpq chose it from the list ("db2:5432"); empty for
    // the embedded book.
    QString serverName() const;
    // Called after the link was opened again, with the server it is on now.
    using ReconnectHook = std::function<void(const QString& server)>;
    void setReconnectHook(ReconnectHook hook) { m_onReconnect = std::move(hook); }
    // With a synchronous standby, COMMIT waits for the standby's word, which no statement limit
    // covers: after the lock limit the wait is cancelled (libpq's cancel request). The work stays
    // saved, on this server only, and this hook is told so (the standby may be down).
    using WarningHook = std::function<void(const QString& text)>;
    void setWarningHook(WarningHook hook) { m_onWarning = std::move(hook); }
    // Where reports, the chart and exports read: with `reports=standby` in the Data Source a
    // connection of its own, to a standby when one answers (libpq's prefer-standby); otherwise
    // this connection. Saves never go there; nor do reports whose data is prepared first (a
    // standby cannot hold the session's work tables).
    Connection& reportConnection();

    Backend backend() const { return m_backend; }
    QString userName() const { return property(QStringLiteral("User ID")); }
    QString embeddedPath() const { return m_path; }
    QSqlDatabase database() const;

    // A statement that returns no rows. Returns the number of rows affected.
    int execute(const QString& sql, const QVariantList& params = {});
    // First column of the first row, or a null QVariant when there is no row.
    QVariant scalar(const QString& sql, const QVariantList& params = {});
    // A prepared, executed query. Forward-only by default: the cheap way to stream many rows.
    QSqlQuery query(const QString& sql, const QVariantList& params = {}, bool forwardOnly = true);
    // `INSERT ... RETURNING key` on both backends; returns the new key.
    qint64 insertReturningKey(const QString& sql, const QVariantList& params);
    // A statement run again and again with new values (a save's own lookups): its rows are
    // handed to `rows` and the statement is finished afterwards. On the embedded file it is
    // prepared once, as execute()'s are. `rows` runs no statement of its own on a server, which
    // streams the rows.
    void eachRow(const QString& sql, const QVariantList& params, const std::function<void(QSqlQuery&)>& rows);

    // Defined width of a text column (characters), -1 when it has none or is unknown.
    int columnWidth(const QString& table, const QString& column);

    // Transactions nest. The outermost begin() starts the database transaction (SQLite: BEGIN
    // IMMEDIATE, so that two stations never both read before writing); each inner begin() sets
    // a SAVEPOINT. An inner commit() releases its savepoint into the level around it: nothing
    // is saved until the outermost commit(). rollback() undoes the innermost level only (back
    // to its savepoint) and the levels around it go on; rolling back the outermost level
    // undoes everything, inner commits included.
    // A statement that fails inside a transaction spoils the innermost level open at the time
    // (PostgreSQL refuses every further statement there): that level's commit() rolls it back
    // and throws, on both backends. Work that may fail and be got over belongs in a level of
    // its own.
    // Throws a statement's error as the data layer says it (a sum beyond range as such), for
    // code that runs its own prepared QSqlQuery on this connection.
    [[noreturn]] void raise(const QSqlError& e, const QString& sql = {}) const;

    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return m_txDepth > 0; }
    // Levels open: 0 outside a transaction, 1 in the outermost.
    int transactionDepth() const { return m_txDepth; }
    // Inside the current level, inner levels take no savepoints of their own: a failure in any of
    // them spoils the whole level, which then rolls back. For work that is all or nothing anyway,
    // such as an import's thousands of vouchers, where a savepoint per voucher costs more than
    // its writes. Ends when that level ends.
    void innerLevelsWithoutSavepoints();

    // Statements of the form `exec NAME ...` never reach the database: they go to the handler
    // this connection was given (the program's own implementations of the data-preparation
    // procedures), which runs them on this connection. Without a handler they are refused.
    using ExecHandler = std::function<void(Connection& c, const QString& statement)>;
    void setExecHandler(ExecHandler handler) { m_exec = std::move(handler); }
    // True when the text starts with the word `exec` (any case, after leading blanks).
    static bool isExecStatement(const QString& sql);
    // A data preparation asked for in typed form: `work` runs on this connection as an `exec`
    // statement's handler would, under the report's time limit, and the statement hook is told
    // `statement`, the preparation's text form, so that a watcher sees what it always saw.
    void prepare(const QString& statement, const std::function<void(Connection&)>& work);

    // Tests install a hook that runs before every statement (COMMIT included) and may throw DbError.
    using StatementHook = std::function<void(const QString& sql)>;
    void setStatementHook(StatementHook hook) { m_hook = std::move(hook); }
    const StatementHook& statementHook() const { return m_hook; }

    // The work tables this session made (temporary: they go with the session, and a reconnect
    // forgets them). A report that reads none of them may be read through another session.
    void noteSessionTable(const QString& name) { m_sessionTables.insert(name.toLower()); }
    const QSet<QString>& sessionTables() const { return m_sessionTables; }

    // Binds a value for this backend (Money and dates converted as the columns store them).
    QVariant toStorage(const QVariant& v) const;
    // An amount as this backend returns it (integer cents, NUMERIC) as Money; null: nullopt.
    // Beyond what a Money holds: DbError (moneyFromVariant).
    std::optional<Money> money(const QVariant& v) const { return moneyFromVariant(v, m_backend == Backend::Sqlite); }
    // A null amount counts as nothing.
    Money moneyOrZero(const QVariant& v) const { return money(v).value_or(Money()); }

private:
    friend class ReadOnlyScope;
    void openDriver(const QString& driver, const std::function<void(QSqlDatabase&)>& configure);
    void prepareSqlite(bool mustBeBook);
    void checkEmbeddedLogin();
    void requireOpen() const;
    bool preparesOnce(const QString& sql, const QVariantList& params) const;
    std::shared_ptr<QSqlQuery> runPrepared(const QString& sql, const QVariantList& params);
    QSqlQuery run(const QString& sql, const QVariantList& params, bool forwardOnly);
    void runPreparation(const std::function<void(Connection&)>& work);
    void noteFailure();
    static QString savepointName(int level);
    // serverlink.cpp
    void applySessionSettings();
    void ensureLink();
    void reconnect();
    bool pgLinkBroken() const;
    QString lostText(const QString& text) const;
    QString waitText(const QString& state, const QString& text, const QString& sql) const;
    bool runCommit(QSqlQuery& q);

    QHash<QString, QString> m_props;
    QString m_name;
    QString m_path;
    Backend m_backend = Backend::Sqlite;
    bool m_open = false;
    int m_txDepth = 0;
    int m_failedDepth = 0; // the outermost level spoilt by a failed statement; 0: none
    int m_flatFrom = 0;    // levels deeper than this take no savepoints; 0: every level does
    bool m_registered = false;
    bool m_readOnly = false;     // inside a ReadOnlyScope
    mutable bool m_lost = false; // the server's link broke; opened again at the next statement
    bool m_forReports = false;   // this is a report connection (prefer a standby)
    bool m_preparing = false;    // a report's data preparation (exec ...) is running
    WaitLimits m_limits;         // those of this connection, set when it was opened
    std::unique_ptr<Connection> m_reports;
    ReconnectHook m_onReconnect;
    WarningHook m_onWarning;
    QString m_notice; // the server's last notice or warning (libpq's, kept instead of printed)
    StatementHook m_hook;
    QSet<QString> m_sessionTables;
    ExecHandler m_exec;
    QHash<QString, int> m_widths;
};

// One level of a transaction: begins on construction; rolls its own level back on destruction
// unless committed (an inner level back to its savepoint, the outermost entirely).
class Transaction {
public:
    explicit Transaction(Connection& c);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Connection& m_conn;
    int m_level = 0;
    bool m_done = false;
};

// Reports read inside this scope and never write: on PostgreSQL a READ ONLY transaction (which
// also gives every query of the report one snapshot), on SQLite `PRAGMA query_only`. While it
// lives every statement is prepared and must be one statement (no ";"). Work tables are filled
// before it begins. On PostgreSQL it cannot begin inside unsaved work.
class ReadOnlyScope {
public:
    explicit ReadOnlyScope(Connection& c);
    ~ReadOnlyScope();
    ReadOnlyScope(const ReadOnlyScope&) = delete;
    ReadOnlyScope& operator=(const ReadOnlyScope&) = delete;

private:
    Connection& m_conn;
    bool m_began = false;       // the scope's own transaction (PostgreSQL)
    bool m_wasReadOnly = false; // nested scope
};

// "%text%" with LIKE's own wildcards escaped ('\' is the escape character), for
// `lower(col) like lower(?) escape '\'`.
QString containsPattern(const QString& typed);
// The SQL piece for a case-insensitive contains-search on one expression.
QString likeContains(const QString& expr);

} // namespace qv
