#include "support/dbfixture.h"

#include "db/dailybackup.h"
#include "db/schema.h"
#include "db/serverbook.h"
#include "vouchers/demovouchers.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace qvt {

namespace {
QTemporaryDir& tempDir()
{
    static QTemporaryDir d;
    return d;
}
QAtomicInt g_counter;

QString pgHostPort()
{
    return qEnvironmentVariable("QUORAVEL_TEST_PG");
}
QString pgAdminUser()
{
    return qEnvironmentVariable("QUORAVEL_TEST_PG_USER", QStringLiteral("postgres"));
}
QString pgAdminPassword()
{
    return qEnvironmentVariable("QUORAVEL_TEST_PG_PASSWORD");
}
} // namespace

qv::Backend backend()
{
    return qEnvironmentVariable("QUORAVEL_TEST_BACKEND") == QLatin1String("pg") ? qv::Backend::Postgres
                                                                                : qv::Backend::Sqlite;
}

QString backendName()
{
    return backend() == qv::Backend::Postgres ? QStringLiteral("pg") : QStringLiteral("sqlite");
}

bool backendAvailable(QString* why)
{
    if (backend() == qv::Backend::Sqlite)
        return true;
    if (pgHostPort().isEmpty()) {
        *why = QStringLiteral("no PostgreSQL server named (set QUORAVEL_TEST_PG=host:port)");
        return false;
    }
    return true;
}

void initTestEnvironment()
{
    QStandardPaths::setTestModeEnabled(true);
    // Suites that test the automatic backups turn them on again.
    qv::dailybackup::setAutomatic(false);
    QCoreApplication::setOrganizationName(QStringLiteral("QuoravelTest"));
    QCoreApplication::setApplicationName(QStringLiteral("QuoravelTest"));
    // Each suite starts from the settings of a new station (remembered windows, last user), kept
    // in its own folder: suites running side by side would otherwise clear each other's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, tempDir().filePath(QStringLiteral("settings")));
    QSettings().clear();
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString rt = tempDir().filePath(QStringLiteral("runtime"));
        QDir().mkpath(rt);
        QFile::setPermissions(rt, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", rt.toUtf8());
    }
}

TestDb TestDb::create(bool demo, const QString& user)
{
    TestDb t;
    if (!user.isEmpty())
        t.user = user;
    const int n = g_counter.fetchAndAddRelaxed(1) + 1;
    qv::InitOptions o;
    if (backend() == qv::Backend::Sqlite) {
        t.catalog = QStringLiteral("Fendral");
        t.dataSource = tempDir().filePath(QStringLiteral("db%1/Fendral.sqlite").arg(n));
    } else {
        t.catalog = QStringLiteral("qvt_%1_%2").arg(QCoreApplication::applicationPid()).arg(n);
        t.dataSource = pgHostPort();
        o.adminUser = pgAdminUser();
        o.adminPassword = pgAdminPassword();
    }
    o.dataSource = t.dataSource;
    o.catalog = t.catalog;
    o.user = t.user;
    o.password = t.password;
    o.lockPassword = t.lockPassword;
    o.demo = demo;
    o.demoVouchers = qv::addDemoVouchers;
    o.replace = true;
    o.cost = qv::Logins::HashCost::Minimal;
    // Suites of several developers share one server and its cluster-wide test role; a clash
    // there ("tuple concurrently updated") is passing, so try again before giving up.
    for (int attempt = 1;; ++attempt) {
        try {
            qv::Provision::init(o);
            return t;
        } catch (const qv::DbError& e) {
            if (attempt == 3 || backend() == qv::Backend::Sqlite)
                throw;
            qWarning("test database not made (%s); trying again", qPrintable(e.description()));
            QThread::msleep(300);
        }
    }
}

void TestDb::connect(qv::Connection& c) const
{
    c.setProperty(QStringLiteral("User ID"), user);
    c.setProperty(QStringLiteral("Password"), password);
    c.setProperty(QStringLiteral("Data Source"), dataSource);
    c.setProperty(QStringLiteral("Initial Catalog"), catalog);
    c.open();
}

void TestDb::connectAdmin(qv::Connection& c) const
{
    const qv::DataSource ds = qv::DataSource::parse(dataSource, catalog);
    if (ds.backend == qv::Backend::Sqlite)
        c.openFileUnchecked(ds.filePath, false);
    else
        c.openServerUnchecked(ds.host, ds.port, catalog, pgAdminUser(), pgAdminPassword());
}

void TestDb::makeOlder(int version) const
{
    const qv::DataSource ds = qv::DataSource::parse(dataSource, catalog);
    if (ds.backend != qv::Backend::Sqlite) {
        qv::Connection admin;
        connectAdmin(admin);
        // The objects of later versions go; the older ones were the same.
        for (const qv::TableDef& t : qv::Schema::tables())
            if (t.since > version)
                admin.execute(QStringLiteral("DROP TABLE %1").arg(QLatin1String(t.name)));
        if (version < qv::Schema::PeriodLockFrom)
            admin.execute(QStringLiteral("DROP FUNCTION IF EXISTS qv_period_guard() CASCADE"));
        if (version < qv::Schema::BankRecFrom)
            for (const char* f : {"qv_line_guard()", "qv_clearing_guard()", "qv_undo_reconciliation(bigint)"})
                admin.execute(QStringLiteral("DROP FUNCTION IF EXISTS %1 CASCADE").arg(QLatin1String(f)));
        if (version < qv::Schema::AuditMarksFrom) {
            for (const char* f : {"qv_audit_sql_insert()", "qv_audit_sql_update()", "qv_audit_sql_delete()",
                                  "qv_audit_unrecorded()", "qv_audit_intent()"})
                admin.execute(QStringLiteral("DROP FUNCTION IF EXISTS %1 CASCADE").arg(QLatin1String(f)));
            admin.execute(QStringLiteral("DROP TABLE IF EXISTS AuditTx"));
        }
        admin.execute(QStringLiteral("update SchemaInfo set Version = ?"), {version});
        // The month sums came with version 5: an older server book has none of their objects.
        if (version < qv::Schema::MonthSumsFrom) {
            admin.execute(QStringLiteral("DROP FUNCTION public.qvsums_detjv() CASCADE"));
            admin.execute(QStringLiteral("DROP TABLE AcMonthSums"));
        }
        return;
    }
    const QString older = ds.filePath + QStringLiteral(".older");
    QFile::remove(older);
    {
        qv::Connection c;
        c.openFileUnchecked(older, true);
        for (const QString& s : qv::Schema::ddl(qv::Backend::Sqlite, version))
            c.execute(s);
        c.execute(QStringLiteral("ATTACH DATABASE ? AS cur"), {ds.filePath});
        QStringList tables;
        // The tables of that version only (a later version's own tables are left behind).
        QSqlQuery t = c.query(QStringLiteral("select name from cur.sqlite_master where type = 'table' and name not "
                                             "like 'sqlite%' and name in (select name from main.sqlite_master)"));
        while (t.next())
            tables << t.value(0).toString();
        for (const QString& table : tables) {
            QStringList cols;
            QSqlQuery q = c.query(QStringLiteral("select name from pragma_table_info(?, 'main')"), {table});
            while (q.next())
                cols << q.value(0).toString();
            if (cols.isEmpty()) // a table of a later version
                continue;
            c.execute(QStringLiteral("insert or ignore into main.%1 (%2) select %2 from cur.%1")
                          .arg(table, cols.join(QStringLiteral(", "))));
        }
        c.execute(QStringLiteral("DETACH DATABASE cur"));
        c.execute(QStringLiteral("update SchemaInfo set Version = ?"), {version});
        c.scalar(QStringLiteral("PRAGMA journal_mode=DELETE"));
    }
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(ds.filePath + QLatin1String(suffix));
    QFile::rename(older, ds.filePath);
}

void TestDb::drop() const
{
    const qv::DataSource ds = qv::DataSource::parse(dataSource, catalog);
    if (ds.backend == qv::Backend::Sqlite) {
        // A login's automatic backup finishes before its book goes.
        qv::dailybackup::wait();
        QDir(QFileInfo(ds.filePath).absolutePath()).removeRecursively();
        return;
    }
    try {
        qv::Connection admin;
        admin.openServerUnchecked(ds.host, ds.port, QStringLiteral("postgres"), pgAdminUser(), pgAdminPassword());
        admin.execute(
            admin
                .scalar(QStringLiteral("select format('DROP DATABASE IF EXISTS %I WITH (FORCE)', CAST(? AS TEXT))"),
                        {catalog})
                .toString());
        // The book's own roles go with it (its logins stay: suites share them).
        const qv::ServerBook::Roles r = qv::ServerBook::rolesFor(catalog);
        qv::ServerBook::dropRoles(admin, {r.users, r.admins, r.keeper});
    } catch (const qv::DbError&) {
        // A database left behind is dropped with the throwaway cluster.
    }
}

} // namespace qvt
