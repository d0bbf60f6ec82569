// quoravel-admin: set-up from the command line (new databases, logins, the lock password)
// and headless reports.
#include "db/audittrail.h"
#include "db/provision.h"
#include "db/tables.h"
#include "tools/admincommands.h"
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
  init --server DATA_SOURCE --user NAME [--password PASS] [--lock-password PASS] [--demo] [--force]
        Creates a new database: the tables, the first login and the lock password (at most
        50 characters). Every input is checked before anything is touched.
        --demo adds a small company (chart of accounts, voucher setup, vouchers).
        --force replaces an existing book of that name (an embedded book only when it is a
        Quoravel book file that no station has open; a server book only when no station is
        connected to it).
        An embedded book is built beside its place and appears there only when complete; it
        is readable by its owner only (0600), in folders made private (0700).
        On a PostgreSQL server the database "Fendral", its roles qvu_Fendral (users),
        qva_Fendral (managers) and qvk_Fendral (keeper of the login functions) and the first
        login are made through an administrator connection. The first login manages the book
        (adds logins, sets the lock password) and holds no right beyond LOGIN:
          --admin-user NAME        (default postgres; a superuser)
          --admin-password PASS    (left out: PGPASSWORD, else asked; empty means none)
          --admin-database NAME    (default postgres)
  add-login --server DATA_SOURCE --user NAME [--password PASS] --new-user NAME [--new-password PASS]
        Adds a login, connected as an existing one (on PostgreSQL the book's managing login).
  set-lock-password --server DATA_SOURCE --user NAME [--password PASS] [--lock-password PASS]
        Replaces the lock password (asked before "Set Menus" and "Add Accounts").
  upgrade --server DATA_SOURCE [--admin-user NAME --admin-password PASS]
        Brings a book made by an older version up to this program's schema. An embedded
        book is backed up (and the copy checked) first; on PostgreSQL it runs as the
        administrator and makes the book's login functions again as this program has
        them, for a book of the current version too. Logins are refused an older book
        until it is upgraded.
  report TEMPLATE --server S --user U [--password P] [--selection FORMULA] [--formula NAME=TEXT]...
         [--subreport NAME=FORMULA]... [--exec STATEMENT]... (--pdf OUT.pdf | --csv OUT.csv)
        Renders a report template headless, through the same engine as the program.
        A TEMPLATE named without a folder is looked for beside the program, then in the
        installed share/quoravel/templates/.
        --exec prepares the report's data first, in one of the forms
          exec AcLedger ACCOUNT,'yyyy-mm-dd','yyyy-mm-dd'
          exec DetailAcLedger ACCOUNT,D,M,YYYY,D,M,YYYY
          exec TrialBalance 'yyyy-mm-dd','yyyy-mm-dd'
          exec TrialBalance3 'yyyy-mm-dd','yyyy-mm-dd'
          exec BalanceSheet 'yyyy-mm-dd',LEVEL[,'yyyy-mm-dd']   (templates rptBalanceSheet.rpt)
          exec ProfitLoss 'yyyy-mm-dd','yyyy-mm-dd',LEVEL[,0|1] (rptProfitLoss.rpt)
          exec PartyStatement ACCOUNT,'yyyy-mm-dd','yyyy-mm-dd' (rptPartyStatement.rpt)
          exec Ageing ACCOUNT,'yyyy-mm-dd'                      (rptAgeing.rpt)
        (LEVEL 1: control accounts, 2: down to sub-control, 3: down to subsidiary accounts;
        the balance sheet's second date is a comparison column, ProfitLoss's 1 compares the
        same range a year earlier; the party reports' ACCOUNT is one account or a head,
        for every subsidiary account under it)
        with the first date not after the second; anything else is refused (exit 2) before
        the database is opened.
        The output never replaces the book, its journals or backups, the template, or any
        database file.
  backup --server FILE [--to DIR]
        Copies the embedded book FILE while stations may keep working (one consistent
        snapshot), checks the copy (PRAGMA integrity_check) and names it
        BOOK-yyyyMMdd-HHmmss.sqlite in DIR (default: the folder "backups" beside the book).
        A copy that fails the check is deleted and the command fails.
  restore --from BACKUP --server FILE
        Replaces the embedded book FILE with BACKUP. The backup is checked first; the book
        must not be open on any station; the replaced book is kept beside it as
        FILE.replaced-yyyyMMdd-HHmmss.
  export --server S --user U [--password P] --format ledger|csv [--from DATE] [--to DATE] OUT
        Writes the book (vouchers dated --from to --to, yyyy-mm-dd) to OUT (- for standard
        output) as a ledger/hledger journal (opening balances first, one transaction a
        voucher) or as CSV (RFC 4180, one line a detail row). The file appears only when whole,
        and never replaces the book, its journals or backups, or any database file.
        A journal carries dates from 1400-01-01 to 9999-12-31 (what ledger reads): the
        opening balances are dated the day before --from, so --from is 1400-01-02 or later.
  import --server S --user U [--password P] --format FORMAT [--dry-run] [--renumber]
        [--skip-existing] [--mapping FILE] FILE
        Brings in FILE, all or nothing, in one transaction through the account and voucher
        stores (closed periods, the audit trail and the month sums apply). FORMAT:
          accounts-csv  columns Code,Title[,Bank][,Opening]: codes of three levels (3, 3.2,
                        3.2.10), bank flag Y/N, opening as "1,500.00 Dr", "20 Cr" or signed;
                        missing heads are made; a code in the book with the same title is
                        left alone, with another title it is a conflict
          vouchers-csv  what export --format csv writes (or its named columns): one voucher
                        per kind and number, its rows in the shape the store writes
          ledger        a ledger/hledger journal; "Opening balances" sets the openings;
                        names map onto the three levels by their first three segments
                        (--dry-run prints the mapping; --mapping FILE holds NAME = TARGET
                        lines, TARGET a code or an account name)
        Pairing: a transaction's postings are paired in the order written, the first debit
        with the first credit for the smaller amount; the posting used up gives way to the
        next of its side, the rest of the other is paired on; each pair is one line. A
        description "BP-12 party" keeps that kind and number; others become journal vouchers.
        Numbers are kept (--renumber: the next free ones); a voucher the book holds is refused
        unless --skip-existing. A bad line is refused with its line, column and reason, and
        nothing is written. --dry-run prints the accounts, vouchers per kind and totals per
        account, and writes nothing. Refused: other commodities, prices, virtual postings,
        more than two decimals.
  check --server S --user U [--password P] [--repair [--admin-user NAME --admin-password PASS]]
        Runs every check of the book's stored data (for example an opening balance on a
        control or sub-control account, which counts in no report, or month sums that differ
        from the voucher rows) and prints each check's name with its findings. Nothing is
        changed, except with --repair: month sums that differ are written anew from the rows
        (on PostgreSQL as the administrator). Exit code 0 when every check is clean (after the
        repair), 3 when there are findings.
  classify --server S --user U [--password P] [--set CODE=CLASS]... [--start-month M]
        Sets the class of control accounts (CLASS: Assets, Liabilities, Equity, Income or
        Expenses, or A, L, E, I, X; an empty CLASS clears it) and the month the financial
        year starts (1 to 12; July when never set), then lists every control account with
        its class. The balance sheet and the profit and loss account need every one classed.
  lock-period --server S --user U [--password P] (--until DATE | --clear) [--reason TEXT]
        Moves the date up to which the book is locked (dd-mm-yyyy or yyyy-mm-dd): a voucher
        dated on or before it cannot be saved, changed or deleted by any station or path.
        --clear unlocks every period. Managers only; moving the date back or clearing it
        needs --reason, which is kept with the move.
  bank-import --server S --user U [--password P] --account CODE --csv FILE [--days N]
        [--statement-date DATE] [--date-column NAME] [--description-column NAME]
        [--cheque-column NAME] [--debit-column NAME] [--credit-column NAME]
        [--balance-column NAME] [--confirm]
        Reads a bank statement (CSV with a header naming its columns; Date, Description,
        Cheque, Debit, Credit, Balance unless named otherwise) for the bank account CODE and
        proposes the bank book line each statement line clears: by cheque number and amount
        first, then by amount and a date within N days (3). Lists the statement lines the
        book lacks. A bad line is named with its line number and nothing is imported.
        Nothing is ticked without --confirm; with it the proposed lines are ticked, to be
        finished in the program's Bank Reconciliation window.
  audit verify --server S --user U [--password P] [--head SEQ:HASH]
        Walks the audit trail's hash chain and reports the first broken link (a record
        changed, removed or slipped in) with its sequence number; exit code 3 when broken.
        --head checks against the head a trial balance printed: records removed from the
        end show there.
  audit show --server S --user U [--password P] [--voucher JV-12] [--account CODE]
        [--login NAME] [--from DATE] [--to DATE] [--csv]
        Lists the records (who, when, from which host, what, and the before and after
        images), all or those of a voucher, an account, a login or a date range.
  --help
        This text.

Every command also takes --catalog NAME: the database name (default Fendral; the embedded
file is named after it when DATA_SOURCE is "."). It must be a plain name: letters, digits,
'_' and '-'.

Passwords: every password option may be left out. It is then asked for on the terminal
(without echo; new passwords twice) or, when standard input is not a terminal, read from it,
one line per password in the order the command needs them (init: --password,
--lock-password, then on a server --admin-password). Passwords must be UTF-8 text.

DATA_SOURCE is what Server.txt may hold: "." (the embedded database in the user's data
folder), a file path (contains "/" or ends in .sqlite or .db), or a PostgreSQL server as
host or host:port, several servers as db1:5432,db2:5432 (the one that accepts writes is
used), optionally followed by ?sslmode=MODE (disable, allow, prefer (default), require,
verify-ca, verify-full) and &reports=standby (report without --exec and export read on a
standby when one answers). Options may also be written --name=value.

The program itself backs up an embedded book at the first login of each day into the
"backups" folder beside it (BOOK-auto-yyyy-MM-dd.sqlite) and keeps the newest 7.

Exit codes: 0 done, 1 the database refused or failed (the message says why), 2 the command
line is wrong (an unknown option, a value given to a flag, a missing option), 3 check or
audit verify found something.
)";

void refuse(const QString& problem)
{
    if (!problem.isEmpty())
        throw qv::DbError(problem);
}

int cmdInit(const qv::AdminArgs& a)
{
    a.require({QStringLiteral("server"), QStringLiteral("user")});
    qv::InitOptions o;
    o.dataSource = a.value(QStringLiteral("server"));
    o.catalog = a.value(QStringLiteral("catalog"), o.catalog);
    o.user = a.value(QStringLiteral("user"));
    o.password =
        a.secret(QStringLiteral("password"), QStringLiteral("Password of the first login %1").arg(o.user), true);
    o.lockPassword = a.secret(QStringLiteral("lock-password"), QStringLiteral("Lock password"), true);
    o.demo = a.flag(QStringLiteral("demo"));
    o.demoVouchers = qv::addDemoVouchers;
    o.replace = a.flag(QStringLiteral("force"));
    o.adminUser = a.value(QStringLiteral("admin-user"), o.adminUser);
    o.adminDatabase = a.value(QStringLiteral("admin-database"), o.adminDatabase);
    const bool server = qv::DataSource::parse(o.dataSource, o.catalog).backend == qv::Backend::Postgres;
    if (server)
        o.adminPassword = a.adminPassword(o.adminUser);
    const QString where = qv::Provision::init(o);
    out() << "Created the database " << where << (o.demo ? " with the demo company" : "") << ".\n";
    return 0;
}

int cmdAddLogin(const qv::AdminArgs& a)
{
    a.require({QStringLiteral("server"), QStringLiteral("user"), QStringLiteral("new-user")});
    const QString name = a.value(QStringLiteral("new-user"));
    refuse(qv::Logins::checkName(name));
    qv::Connection c;
    qv::connectAs(a, c);
    const QString pw =
        a.secret(QStringLiteral("new-password"), QStringLiteral("Password of the new login %1").arg(name), true);
    refuse(qv::Logins::passwordProblem(pw));
    qv::Transaction tx(c);
    qv::Logins::add(c, name, pw);
    qv::AuditTrail(c).append(QStringLiteral("login added"), QStringLiteral("Logins"), name, {}, {});
    tx.commit();
    out() << "Added the login " << name << ".\n";
    return 0;
}

int cmdSetLock(const qv::AdminArgs& a)
{
    a.require({QStringLiteral("server"), QStringLiteral("user")});
    qv::Connection c;
    qv::connectAs(a, c);
    const QString lock = a.secret(QStringLiteral("lock-password"), QStringLiteral("New lock password"), true);
    refuse(qv::Provision::lockPasswordProblem(lock));
    qv::Transaction tx(c);
    qv::Provision::setLockPassword(c, lock);
    qv::AuditTrail(c).append(QStringLiteral("lock password changed"), QStringLiteral("LctPswd"), {}, {}, {});
    tx.commit();
    out() << "The lock password is set.\n";
    return 0;
}

std::vector<qv::AdminCommandDef> commands()
{
    const QString server = QStringLiteral("server"), user = QStringLiteral("user"), pw = QStringLiteral("password");
    std::vector<qv::AdminCommandDef> all{
        {"init",
         {server, user, pw, QStringLiteral("lock-password"), QStringLiteral("admin-user"),
          QStringLiteral("admin-password"), QStringLiteral("admin-database")},
         {QStringLiteral("demo"), QStringLiteral("force")},
         0,
         cmdInit},
        {"add-login",
         {server, user, pw, QStringLiteral("new-user"), QStringLiteral("new-password")},
         {},
         0,
         cmdAddLogin},
        {"set-lock-password", {server, user, pw, QStringLiteral("lock-password")}, {}, 0, cmdSetLock},
    };
    for (qv::AdminCommandDef& d : qv::adminCommands())
        all.push_back(std::move(d));
    return all;
}

} // namespace

int main(int argc, char* argv[])
{
    // A report paints text, which needs a GUI application's fonts; headless, off any display.
    const bool paints = argc > 1 && qstrcmp(argv[1], "report") == 0;
    if (paints)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app =
        paints ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quoravel"));
    QCoreApplication::setApplicationName(QStringLiteral("Quoravel"));
    QTextStream err(stderr);
    try {
        const QStringList words = qv::decodeArguments(argc, argv);
        const QString name = words.value(1);
        if (name.isEmpty() || name == QLatin1String("--help") || name == QLatin1String("help")) {
            out() << Usage;
            return name.isEmpty() ? 2 : 0;
        }
        const std::vector<qv::AdminCommandDef> all = commands();
        const auto def =
            std::find_if(all.begin(), all.end(), [&](const auto& d) { return name == QLatin1String(d.name); });
        if (def == all.end()) {
            err << "quoravel-admin: unknown command \"" << name << "\". See quoravel-admin --help.\n";
            return 2;
        }
        const qv::AdminArgs a = qv::AdminArgs::parse(words, def->flags);
        if (a.flag(QStringLiteral("help"))) {
            out() << Usage;
            return 0;
        }
        qv::checkAgainst(a, *def);
        return def->run(a);
    } catch (const qv::AdminArgs::Error& e) {
        err << "quoravel-admin: " << e.text << "\nSee quoravel-admin --help.\n";
        return 2;
    } catch (const qv::DbError& e) {
        err << "quoravel-admin: " << e.description() << "\n";
        return 1;
    }
}
