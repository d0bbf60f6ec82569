#include "benchbook.h"

#include "db/provision.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <cstdio>

namespace qvb {

namespace {
const QString User = QStringLiteral("bench");

QString envOr(const char* name, const QString& fallback)
{
    const QString v = qEnvironmentVariable(name);
    return v.isEmpty() ? fallback : v;
}

// Whether `c` opened on a complete book of `rows` detail rows.
bool opensWith(qv::Connection& c, const QString& dataSource, const QString& catalog, qint64 rows)
{
    try {
        openExisting(c, dataSource, catalog);
        if (c.scalar(QStringLiteral("select count(*) from DetJV")).toLongLong() == rows)
            return true;
    } catch (const qv::DbError&) {
    }
    c.close();
    return false;
}

void provision(const QString& dataSource, const QString& catalog)
{
    qv::InitOptions o;
    o.dataSource = dataSource;
    o.catalog = catalog;
    o.user = User;
    o.password = User;
    o.lockPassword = QStringLiteral("lock");
    o.cost = qv::Logins::HashCost::Minimal;
    o.replace = true;
    o.adminUser = envOr("QV_BENCH_PG_USER", QStringLiteral("qvadmin"));
    o.adminPassword = envOr("QV_BENCH_PG_PASSWORD", QStringLiteral("qvadmin-pw"));
    qv::Provision::init(o);
}

void write(qv::Connection& c, const QString& dataSource, const QString& catalog, qint64 rows)
{
    std::fprintf(stderr, "Writing the benchmark book (%lld detail rows) to %s ...\n", (long long)rows,
                 qPrintable(dataSource));
    provision(dataSource, catalog);
    openExisting(c, dataSource, catalog);
    BookPlan plan;
    plan.detailRows = rows;
    const BookStats st = writeBook(c, plan);
    c.execute(QStringLiteral("insert into Company (Company, comActive) values ('BENCH BOOKS', 'Y')"));
    c.execute(QStringLiteral("delete from VouSetting where VouStatus = 'CP'"));
    c.execute(QStringLiteral("insert into VouSetting (VouStatus, VouNo, AcCode, AcStatus, Fix) values ('CP', 1, ?, "
                             "'CR', 'N')"),
              {st.cashAccount});
    std::fprintf(stderr, "  %lld vouchers and %lld detail rows in %.1f s\n", (long long)st.vouchers,
                 (long long)st.detailRows, st.seconds);
    if (c.backend() == qv::Backend::Postgres) {
        // What autovacuum does to a server's book soon after a load: statistics for the planner
        // and the visibility map that lets the covering indexes answer without the table.
        QElapsedTimer t;
        t.start();
        qv::Connection admin;
        admin.openServerUnchecked(qv::DataSource::parse(dataSource, catalog), catalog,
                                  envOr("QV_BENCH_PG_USER", QStringLiteral("qvadmin")),
                                  envOr("QV_BENCH_PG_PASSWORD", QStringLiteral("qvadmin-pw")));
        admin.execute(QStringLiteral("VACUUM ANALYZE"));
        std::fprintf(stderr, "  vacuumed and analysed in %.1f s\n", t.elapsed() / 1000.0);
    }
}
} // namespace

qint64 benchRows(qint64 fallback)
{
    QString v = qEnvironmentVariable("QV_BENCH_ROWS").trimmed().toLower();
    if (v.isEmpty())
        return fallback;
    qint64 unit = 1;
    if (v.endsWith(QLatin1Char('k')))
        unit = 1000;
    else if (v.endsWith(QLatin1Char('m')))
        unit = 1'000'000;
    if (unit > 1)
        v.chop(1);
    bool ok = false;
    const double n = v.toDouble(&ok);
    if (!ok || n <= 0)
        throw qv::DbError(QStringLiteral("QV_BENCH_ROWS is not a number of rows: %1").arg(v));
    return qint64(n * double(unit));
}

void openExisting(qv::Connection& c, const QString& dataSource, const QString& catalog)
{
    c.setProperty(QStringLiteral("User ID"), User);
    c.setProperty(QStringLiteral("Password"), User);
    c.setProperty(QStringLiteral("Data Source"), dataSource);
    c.setProperty(QStringLiteral("Initial Catalog"), catalog);
    c.open();
}

BenchLogin openFreshBook(qv::Connection& c, const QString& file, const QString& name)
{
    const QString server = qEnvironmentVariable("QV_BENCH_SERVER");
    const QString source = server.isEmpty() ? file : server;
    const QString catalog = server.isEmpty() ? QStringLiteral("Fendral") : QStringLiteral("qvbench_") + name;
    provision(source, catalog);
    openExisting(c, source, catalog);
    std::fprintf(stderr, "book: %s (%s)\n", qPrintable(server.isEmpty() ? file : server + '/' + catalog),
                 server.isEmpty() ? "embedded" : "PostgreSQL");
    return {source, User, User};
}

void openKeptBook(qv::Connection& c, const QString& name, const std::function<bool(qv::Connection&)>& whole,
                  const std::function<void(qv::Connection&)>& write)
{
    const QString server = qEnvironmentVariable("QV_BENCH_SERVER");
    const QString dir = envOr("QV_BENCH_DIR", QStringLiteral("/tmp/quoravel-bench"));
    QDir().mkpath(dir);
    const QString source = server.isEmpty() ? QDir(dir).absoluteFilePath(name + QStringLiteral(".sqlite")) : server;
    const QString catalog = server.isEmpty() ? QStringLiteral("Fendral") : QStringLiteral("qvbench_") + name;
    bool ok = false;
    try {
        openExisting(c, source, catalog);
        ok = whole(c);
    } catch (const qv::DbError&) {
    }
    if (!ok) {
        c.close();
        std::fprintf(stderr, "Writing the benchmark book %s ...\n", qPrintable(name));
        provision(source, catalog);
        openExisting(c, source, catalog);
        write(c);
    }
    std::fprintf(stderr, "book: %s (%s)\n", qPrintable(server.isEmpty() ? source : server + '/' + catalog),
                 server.isEmpty() ? "embedded" : "PostgreSQL");
}

void openNamed(qv::Connection& c, const QString& name)
{
    if (name == QLatin1String("bench")) {
        openBench(c);
        return;
    }
    static const QRegularExpression server(QStringLiteral("^([^/]+:\\d+)/(\\w+)$"));
    const QRegularExpressionMatch m = server.match(name);
    openExisting(c, m.hasMatch() ? m.captured(1) : name, m.hasMatch() ? m.captured(2) : QStringLiteral("Fendral"));
}

BenchBook openBench(qv::Connection& c, qint64 defaultRows)
{
    BenchBook b;
    b.rows = benchRows(defaultRows);
    const QString server = qEnvironmentVariable("QV_BENCH_SERVER");
    if (server.isEmpty()) {
        const QString dir = envOr("QV_BENCH_DIR", QStringLiteral("/tmp/quoravel-bench"));
        QDir().mkpath(dir);
        b.login.dataSource = QDir(dir).absoluteFilePath(QStringLiteral("book-%1.sqlite").arg(b.rows));
        b.catalog = QStringLiteral("Fendral");
        b.where = b.login.dataSource;
    } else {
        b.login.dataSource = server;
        b.catalog = QStringLiteral("qvbench_%1").arg(b.rows);
        b.where = server + QLatin1Char('/') + b.catalog;
    }
    b.login.user = User;
    b.login.password = User;
    if (!opensWith(c, b.login.dataSource, b.catalog, b.rows))
        write(c, b.login.dataSource, b.catalog, b.rows);
    const BookPlan plan;
    b.first = plan.from;
    b.last = plan.from.addDays(plan.days - 1);
    b.cash = c.scalar(QStringLiteral("select AcCode from VouSetting where VouStatus = 'CP'")).toLongLong();
    b.bank = c.scalar(QStringLiteral("select min(RowID) from Accounts where BStatus = 'B'")).toLongLong();
    b.party = c.scalar(QStringLiteral("select RowID from Accounts where AcStatus = 'DD' order by RowID limit 1 offset "
                                      "20"))
                  .toLongLong();
    std::fprintf(stderr, "book: %s, %lld detail rows (%s)\n", qPrintable(b.where), (long long)b.rows,
                 c.backend() == qv::Backend::Postgres ? "PostgreSQL" : "embedded");
    return b;
}

} // namespace qvb
