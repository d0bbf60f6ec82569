// Transactions of a connection: the outer level a BEGIN (IMMEDIATE on the embedded file), each
// inner level a savepoint; a failed statement spoils the level it ran in.
#include "db/connection.h"
#include "db/linkerrors.h"

#include <QSqlError>
#include <QSqlQuery>

namespace qv {

void Connection::noteFailure()
{
    if (m_txDepth > 0 && (m_failedDepth == 0 || m_txDepth < m_failedDepth))
        m_failedDepth = m_txDepth;
}

QString Connection::savepointName(int level)
{
    return QStringLiteral("qv_level_%1").arg(level);
}

void Connection::begin()
{
    requireOpen();
    if (m_txDepth == 0) {
        execute(m_backend == Backend::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
        m_txDepth = 1;
        m_failedDepth = 0;
        return;
    }
    if (m_flatFrom == 0)
        execute(QStringLiteral("SAVEPOINT ") + savepointName(m_txDepth + 1));
    ++m_txDepth;
}

void Connection::innerLevelsWithoutSavepoints()
{
    if (m_txDepth == 0)
        throw DbError(QStringLiteral("Inner levels without savepoints need a transaction."));
    if (m_flatFrom == 0)
        m_flatFrom = m_txDepth;
}

void Connection::commit()
{
    if (m_txDepth <= 0)
        throw DbError(QStringLiteral("Commit without a transaction."));
    if (m_failedDepth > 0 && m_failedDepth <= m_txDepth) {
        rollback();
        throw DbError(QStringLiteral("The work was not saved: a statement in it failed and it was rolled back."));
    }
    if (m_flatFrom > 0 && m_txDepth > m_flatFrom) {
        --m_txDepth;
        return;
    }
    if (m_flatFrom == m_txDepth)
        m_flatFrom = 0;
    if (m_txDepth > 1) {
        try {
            execute(QStringLiteral("RELEASE SAVEPOINT ") + savepointName(m_txDepth));
        } catch (...) {
            rollback();
            throw;
        }
        --m_txDepth;
        return;
    }
    if (m_lost) {
        rollback();
        throw DbError(QStringLiteral("The connection to the server was lost during this work. Nothing of it was "
                                     "saved."),
                      DbError::LinkLost);
    }
    if (m_hook) {
        try {
            m_hook(QStringLiteral("COMMIT"));
        } catch (...) {
            rollback(); // COMMIT failed before it went out: nothing was saved
            throw;
        }
    }
    QSqlQuery q(database());
    const bool ok = runCommit(q);
    m_txDepth = 0;
    m_flatFrom = 0;
    m_failedDepth = 0;
    if (!ok) {
        const QSqlError e = q.lastError();
        if (pgLinkBroken() || (m_backend == Backend::Postgres && serverEndedSession(e))) {
            // The COMMIT may have landed before the link broke, or not: only the server can say.
            m_lost = true;
            throw DbError(QStringLiteral("The connection to the server was lost while the work was being saved (%1): "
                                         "whether it was saved is not known until the server answers again.")
                              .arg(e.databaseText().section(QLatin1Char('\n'), 0, 0).trimmed()),
                          DbError::CommitUnknown);
        }
        QSqlQuery(database()).exec(QStringLiteral("ROLLBACK"));
        raise(e, QStringLiteral("COMMIT"));
    }
}

void Connection::rollback()
{
    if (m_txDepth <= 0)
        return;
    if (m_flatFrom > 0 && m_txDepth > m_flatFrom) {
        // No savepoint to go back to: the level that took none for its inner ones is spoilt.
        if (m_failedDepth == 0 || m_failedDepth > m_flatFrom)
            m_failedDepth = m_flatFrom;
        --m_txDepth;
        return;
    }
    if (m_flatFrom == m_txDepth)
        m_flatFrom = 0;
    if (m_txDepth > 1 && m_open && !m_lost) {
        // Back to the level's savepoint, which also clears PostgreSQL's aborted state; the
        // savepoint is then released so that the outer level goes on as if it had never begun.
        const QString name = savepointName(m_txDepth);
        QSqlQuery q(database());
        if (q.exec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + name)
            && q.exec(QStringLiteral("RELEASE SAVEPOINT ") + name)) {
            if (m_failedDepth >= m_txDepth)
                m_failedDepth = 0;
            --m_txDepth;
            return;
        }
        // The savepoint is gone (the server ended the transaction): nothing below it is left.
    }
    m_txDepth = 0;
    m_flatFrom = 0;
    m_failedDepth = 0;
    if (m_open && !m_lost)
        QSqlQuery(database()).exec(QStringLiteral("ROLLBACK"));
}

Transaction::Transaction(Connection& c)
    : m_conn(c)
{
    m_conn.begin();
    m_level = m_conn.transactionDepth();
}

Transaction::~Transaction()
{
    // Only this level and any inner one left open; a level already ended stays ended.
    while (!m_done && m_conn.transactionDepth() >= m_level && m_level > 0)
        m_conn.rollback();
}

void Transaction::commit()
{
    if (m_done)
        throw DbError(QStringLiteral("Commit of a transaction already ended."));
    m_done = true;
    // An inner level left open is rolled back first, as its destructor would have.
    while (m_conn.transactionDepth() > m_level)
        m_conn.rollback();
    if (m_conn.transactionDepth() < m_level)
        throw DbError(QStringLiteral("Commit of a transaction already ended."));
    m_conn.commit();
}

ReadOnlyScope::ReadOnlyScope(Connection& c)
    : m_conn(c)
    , m_wasReadOnly(c.m_readOnly)
{
    c.requireOpen();
    if (m_wasReadOnly)
        return;
    if (c.backend() == Backend::Postgres) {
        if (c.inTransaction())
            throw DbError(QStringLiteral("A report cannot be read while other work is not yet saved."));
        c.execute(QStringLiteral("BEGIN READ ONLY"));
        c.m_txDepth = 1;
        c.m_failedDepth = 0;
        m_began = true;
        try {
            c.allowLongStatements();
        } catch (...) {
            c.rollback();
            throw;
        }
    } else {
        c.execute(QStringLiteral("PRAGMA query_only = 1"));
    }
    c.m_readOnly = true;
}

ReadOnlyScope::~ReadOnlyScope()
{
    if (m_wasReadOnly)
        return;
    m_conn.m_readOnly = false;
    if (!m_conn.isOpen())
        return;
    if (m_began) {
        // Nothing was written: ending the transaction either way is the same.
        while (m_conn.transactionDepth() > 0)
            m_conn.rollback();
    } else {
        QSqlQuery(m_conn.database()).exec(QStringLiteral("PRAGMA query_only = 0"));
    }
}

} // namespace qv
