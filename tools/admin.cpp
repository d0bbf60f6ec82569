// quoravel-admin: set-up from the command line (new databases, logins, the lock password)
// and headless reports.
#include "db/provision.h"
#include "shell/mdl_connection.h"
#include "tools/adminargs.h"
#include "vouchers/demovouchers.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <memory>
#include <QTextStream>

namespace {

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

const char* Usage = R"(Usage: quoravel-admin COMMAND [OPTIONS]

Commands:
  init --server DATA_SOURCE --user NAME --password PASS --lock-password PASS [--demo] [--force]
        Creates a new database: the tables, the first login and the lock password.
        --demo adds a small company (chart of accounts, voucher setup, vouchers).
        --force replaces an existing database of that name.
        On a PostgreSQL server the database "Fendral", its roles qvu_Fendral (users),
        qva_Fendral (managers) and qvk_Fendral (keeper of the login functions) and the first
        login are made through an administrator connection. The first login manages the book
        (adds logins, sets the lock password) and holds no right beyond LOGIN:
          --admin-user NAME        (default postgres; a superuser)
          --admin-password PASS    (default empty: PGPASSWORD or peer/trust rules apply)
          --admin-database NAME    (default postgres)
  add-login --server DATA_SOURCE --user NAME --password PASS --new-user NAME --new-password PASS
        Adds a login, connected as an existing one (on PostgreSQL the book's managing login).
  set-lock-password --server DATA_SOURCE --user NAME --password PASS --lock-password PASS
        Replaces the lock password (asked before "Set Menus" and "Add Accounts").
  upgrade --server DATA_SOURCE [--admin-user NAME --admin-password PASS]
        Brings a book made by an older version up to this program's schema. An embedded
        book is backed up (and the copy checked) first; on PostgreSQL it runs as the
        administrator. Logins are refused an older book until it is upgraded.
  report TEMPLATE --server S --user U --password P [--selection FORMULA] [--formula NAME=TEXT]...
         [--subreport NAME=FORMULA]... [--exec STATEMENT]... (--pdf OUT.pdf | --csv OUT.csv)
        Renders a report template headless, through the same engine as the program.
        A TEMPLATE named without a folder is looked for beside the program, then in the
        installed share/quoravel/templates/.
        --exec runs a data preparation (exec AcLedger, DetailAcLedger, TrialBalance,
        TrialBalance3 with their arguments) on the report's connection first.
  backup --server FILE [--to DIR]
        Copies the embedded book FILE while stations may keep working (one consistent
        snapshot), checks the copy (PRAGMA integrity_check) and names it
        BOOK-yyyyMMdd-HHmmss.sqlite in DIR (default: the folder "backups" beside the book).
        A copy that fails the check is deleted and the command fails.
  restore --from BACKUP --server FILE
        Replaces the embedded book FILE with BACKUP. The backup is checked first; the book
        must not be open on any station; the replaced book is kept beside it as
        FILE.replaced-yyyyMMdd-HHmmss.
  --help
        This text.

Every command also takes --catalog NAME: the database name (default Fendral; the embedded
file is named after it when DATA_SOURCE is ".").

DATA_SOURCE is what Server.txt may hold: "." (the embedded database in the user's data
folder), a file path (contains "/" or ends in .sqlite or .db), or a PostgreSQL server as
host or host:port. Options may also be written --name=value.

The program itself backs up an embedded book at the first login of each day into the
"backups" folder beside it (BOOK-auto-yyyy-MM-dd.sqlite) and keeps the newest 7.

Exit codes: 0 done, 1 the database refused or failed (the message says why), 2 the command
line is wrong.
)";

int connectAs(const qv::AdminArgs& a, qv::Connection& c)
{
    c.setProperty(QStringLiteral("User ID"), a.value(QStringLiteral("user")));
    c.setProperty(QStringLiteral("Password"), a.value(QStringLiteral("password")));
    c.setProperty(QStringLiteral("Data Source"), a.value(QStringLiteral("server"), QStringLiteral(".")));
    c.setProperty(QStringLiteral("Initial Catalog"), a.value(QStringLiteral("catalog"), LoginCatalog));
    c.open();
    return 0;
}

int cmdInit(const qv::AdminArgs& a)
{
    a.require({QStringLiteral("server"), QStringLiteral("user"), QStringLiteral("password"),
               QStringLiteral("lock-password")});
    qv::InitOptions o;
    o.dataSource = a.value(QStringLiteral("server"));
    o.catalog = a.value(QStringLiteral("catalog"), o.catalog);
    o.user = a.value(QStringLiteral("user"));
    o.password = a.value(QStringLiteral("password"));
    o.lockPassword = a.value(QStringLiteral("lock-password"));
    o.demo = a.flag(QStringLiteral("demo"));
    o.demoVouchers = qv::addDemoVouchers;
    o.replace = a.flag(QStringLiteral("force"));
    o.adminUser = a.value(QStringLiteral("admin-user"), o.adminUser);
    o.adminPassword = a.value(QStringLiteral("admin-password"), qEnvironmentVariable("PGPASSWORD"));
    o.adminDatabase = a.value(QStringLiteral("admin-database"), o.adminDatabase);
    const QString where = qv::Provision::init(o);
    out() << "Created the database " << where << (o.demo ? " with the demo company" : "") << ".\n";
    return 0;
}

int cmdAddLogin(const qv::AdminArgs& a)
{
    a.require({QStringLiteral("server"), QStringLiteral("user"), QStringLiteral("password"), QStringLiteral("new-user"),
               QStringLiteral("new-password")});
    qv::Connection c;
    connectAs(a, c);
    qv::Logins::add(c, a.value(QStringLiteral("new-user")), a.value(QStringLiteral("new-password")));
    out() << "Added the login " << a.value(QStringLiteral("new-user")) << ".\n";
    return 0;
}

int cmdSetLock(const qv::AdminArgs& a)
{
    a.require({QStringLiteral("server"), QStringLiteral("user"), QStringLiteral("password"),
               QStringLiteral("lock-password")});
    qv::Connection c;
    connectAs(a, c);
    qv::Provision::setLockPassword(c, a.value(QStringLiteral("lock-password")));
    out() << "The lock password is set.\n";
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // A report paints text, which needs a GUI application's fonts; headless, off any display.
    const bool paints = std::any_of(argv + 1, argv + argc, [](const char* a) { return qstrcmp(a, "report") == 0; });
    if (paints)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app =
        paints ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quoravel"));
    QCoreApplication::setApplicationName(QStringLiteral("Quoravel"));
    QTextStream err(stderr);
    try {
        const qv::AdminArgs a = qv::AdminArgs::parse(app->arguments());
        if (a.command.isEmpty() || a.command == QLatin1String("--help") || a.command == QLatin1String("help")
            || a.flag(QStringLiteral("help"))) {
            out() << Usage;
            return a.command.isEmpty() ? 2 : 0;
        }
        if (a.command == QLatin1String("init"))
            return cmdInit(a);
        if (a.command == QLatin1String("add-login"))
            return cmdAddLogin(a);
        if (a.command == QLatin1String("set-lock-password"))
            return cmdSetLock(a);
        if (const auto handler = qv::adminCommand(a.command))
            return handler(a);
        err << "quoravel-admin: unknown command \"" << a.command << "\". See quoravel-admin --help.\n";
        return 2;
    } catch (const qv::AdminArgs::Error& e) {
        err << "quoravel-admin: " << e.text << "\nSee quoravel-admin --help.\n";
        return 2;
    } catch (const qv::DbError& e) {
        err << "quoravel-admin: " << e.description() << "\n";
        return 1;
    }
}
