#include "db/provision.h"

#include "db/bookfile.h"
#include "db/money.h"
#include "db/menurights.h"
#include "db/schema.h"
#include "db/serverbook.h"
#include "db/sqlaudit.h"
#include "db/tables.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace qv::Provision {

namespace {

void writeDefaults(Connection& c, const InitOptions& o)
{
    setLockPassword(c, o.lockPassword, o.cost);
    // A new installation starts with every right granted.
    for (const MenuRight& r : MenuRights)
        c.execute(QStringLiteral("insert into Menus (Menus, Active) values (?, 1)"), {QString::fromUtf8(r.caption)});
}

void addDemo(Connection& c, const InitOptions& o)
{
    addDemoData(c);
    // The demo vouchers' audit records name the first login, whose book it is.
    if (c.backend() == Backend::Sqlite && c.userName().isEmpty())
        c.setProperty(QStringLiteral("User ID"), o.user);
    if (o.demoVouchers)
        o.demoVouchers(c);
}

QString initEmbedded(const InitOptions& o, const QString& path)
{
    bookfile::checkReplaceable(path, o.replace);
    bookfile::makePrivateFolders(path);
    bookfile::removeLitter(path);
    bookfile::Building building(path);
    {
        Connection c;
        c.openFileUnchecked(building.path(), true);
        Transaction tx(c);
        Schema::create(c);
        Logins::add(c, o.user, o.password, o.cost);
        writeDefaults(c, o);
        if (o.demo)
            addDemo(c, o);
        tx.commit();
        // The finished file holds everything itself: no WAL beside it to lose in the rename.
        c.scalar(QStringLiteral("PRAGMA journal_mode=DELETE"));
    }
    building.place(o.replace);
    return path;
}

// Only a book is replaced: a database without this program's SchemaInfo is someone else's.
void checkServerBook(const InitOptions& o, const DataSource& ds)
{
    QVariant version;
    try {
        Connection c;
        c.openServerUnchecked(ds, o.catalog, o.adminUser, o.adminPassword);
        if (c.scalar(QStringLiteral("select to_regclass('public.schemainfo') is not null")).toBool())
            version = c.scalar(QStringLiteral("select max(Version) from public.SchemaInfo"));
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("The database \"%1\" on %2 could not be read, so it was not replaced: %3")
                          .arg(o.catalog, ds.host, e.description()));
    }
    if (version.isNull())
        throw DbError(QStringLiteral("The database \"%1\" on %2 is not a Quoravel book (it has no SchemaInfo); "
                                     "--force replaces only a book. Nothing was changed.")
                          .arg(o.catalog, ds.host));
}

QString initServer(const InitOptions& o, const DataSource& ds)
{
    if (const QString err = Logins::checkName(o.user); !err.isEmpty())
        throw DbError(err);
    if (o.password.isEmpty())
        throw DbError(QStringLiteral("Please enter a password for the first login."));
    const ServerBook::Roles roles = ServerBook::rolesFor(o.catalog);
    Connection admin;
    admin.openServerUnchecked(ds, o.adminDatabase, o.adminUser, o.adminPassword);
    const QString exists = QStringLiteral("select count(*) from pg_database where datname = ?");
    const bool replacing = admin.scalar(exists, {o.catalog}).toInt() > 0;
    if (replacing && !o.replace)
        throw DbError(QStringLiteral("The database \"%1\" already exists on %2.").arg(o.catalog, ds.host));
    if (replacing)
        checkServerBook(o, ds);
    ServerBook::checkFirstLogin(admin, roles, o.user);
    // The new book is built under a name of its own and takes the book's name only when it is
    // complete; the old book (and its login's password) stay as they were until then.
    const QString tag = QString::number(QRandomGenerator::global()->generate64(), 16);
    const QString building = QStringLiteral("qv_new_") + tag, old = QStringLiteral("qv_old_") + tag;
    QStringList madeRoles;
    bool made = false;
    try {
        madeRoles = ServerBook::createRoles(admin, roles);
        admin.execute(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8'").arg(ServerBook::quoteIdent(building)));
        made = true;
        {
            Connection c;
            c.openServerUnchecked(ds, building, o.adminUser, o.adminPassword);
            Transaction tx(c);
            Schema::create(c);
            ServerBook::secure(c, roles);
            // The book's first rows are its making, not SQL typed by a login.
            c.execute(SqlAudit::markStatement());
            writeDefaults(c, o);
            if (o.demo)
                addDemo(c, o);
            tx.commit();
        }
        // One transaction: the first login's password and the swap land together. Renaming
        // fails while a station has the old book open, and then nothing is replaced.
        Transaction tx(admin);
        ServerBook::makeManager(admin, roles, o.user, o.password);
        if (replacing) {
            try {
                admin.execute(QStringLiteral("ALTER DATABASE %1 RENAME TO %2")
                                  .arg(ServerBook::quoteIdent(o.catalog), ServerBook::quoteIdent(old)));
            } catch (const DbError& e) {
                if (e.sqlState() != QLatin1String("55006"))
                    throw;
                throw DbError(QStringLiteral("The database \"%1\" is open (a station or another program uses it); "
                                             "it was not replaced. Close it everywhere and try again.")
                                  .arg(o.catalog),
                              e.sqlState());
            }
        }
        admin.execute(QStringLiteral("ALTER DATABASE %1 RENAME TO %2")
                          .arg(ServerBook::quoteIdent(building), ServerBook::quoteIdent(o.catalog)));
        tx.commit();
    } catch (...) {
        try {
            if (made)
                admin.execute(
                    QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(ServerBook::quoteIdent(building)));
            ServerBook::dropRoles(admin, madeRoles);
        } catch (const DbError&) {
            // The first failure is the one to report.
        }
        throw;
    }
    if (replacing) {
        try {
            admin.execute(QStringLiteral("DROP DATABASE %1").arg(ServerBook::quoteIdent(old)));
        } catch (const DbError& e) {
            throw DbError(QStringLiteral("The new book is in place; the replaced one could not be dropped and is kept "
                                         "as the database \"%1\": %2")
                              .arg(old, e.description()));
        }
    }
    return QStringLiteral("%1:%2/%3").arg(ds.host).arg(ds.port).arg(o.catalog);
}

// ---- demo company -------------------------------------------------------------------------

struct DemoChart {
    Connection& c;
    qint64 add(const QString& status, const QString& parentId, int dcode, const QString& nodes, const QString& name,
               const QString& bstatus = {}, qint64 openCents = 0)
    {
        const bool dd = status == QLatin1String("DD");
        return c.insertReturningKey(
            QStringLiteral(
                "insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode, BStatus, OpenBal, openDate) "
                "values (?, ?, ?, ?, ?, ?, ?, ?) returning RowID"),
            {nodes, name, status, parentId, dcode, bstatus.isEmpty() ? QVariant() : QVariant(bstatus),
             dd && openCents ? QVariant::fromValue(Money(openCents)) : QVariant(),
             dd ? QVariant(QDate(2025, 7, 1)) : QVariant()});
    }
};

} // namespace

void setLockPassword(Connection& c, const QString& password, Logins::HashCost cost)
{
    if (const QString err = lockPasswordProblem(password); !err.isEmpty())
        throw DbError(err);
    const QString hash = Logins::hashPassword(password, cost);
    // A server login may not write LctPswd: the book's manager goes through its function.
    if (c.backend() == Backend::Postgres
        && !c.scalar(QStringLiteral("select has_table_privilege('lctpswd', 'INSERT')")).toBool()) {
        c.scalar(QStringLiteral("select public.qv_set_lock_password(?)"), {hash});
        return;
    }
    Transaction tx(c);
    c.execute(QStringLiteral("delete from LctPswd"));
    c.execute(QStringLiteral("insert into LctPswd (Pswd) values (?)"), {hash});
    tx.commit();
}

void addDemoData(Connection& c)
{
    Transaction tx(c);
    DemoChart a{c};
    const QString HH = QStringLiteral("HH"), HD = QStringLiteral("HD"), DD = QStringLiteral("DD");
    a.add(HH, "1", 0, "1", "ASSETS");
    a.add(HD, "1", 1, "1.1", "CASH AND BANK");
    const qint64 cash = a.add(DD, "1.1", 1, "1.1.1", "CASH IN HAND", {}, 25000000);
    const qint64 hbl = a.add(DD, "1.1", 2, "1.1.2", "HABIB BANK LTD - 0123-7", "B", 150000000);
    a.add(DD, "1.1", 3, "1.1.3", "MCB BANK LTD - 4471-2", "B", 87550050);
    a.add(HD, "1", 2, "1.2", "CUSTOMERS");
    // The demo vouchers (vouchers/demovouchers.cpp) find their accounts by these codes.
    const char* names[] = {"ABDUL RAHMAN KHAN", "SAIMA NAEEM",        "M. ASLAM & SONS", "TARIQ MEHMOOD",
                           "NAZIA PERVEEN",     "O'BRIEN TRADING CO", "FARHAN ALI",      "ZUBAIR AHMED"};
    for (int i = 0; i < 8; ++i)
        a.add(DD, "1.2", i + 1, QStringLiteral("1.2.%1").arg(i + 1), QString::fromUtf8(names[i]));
    a.add(HD, "1", 3, "1.3", "FIXED ASSETS");
    a.add(DD, "1.3", 1, "1.3.1", "LAND - PHASE II", {}, 2500000000);
    a.add(DD, "1.3", 2, "1.3.2", "VEHICLES", {}, 320000000);
    a.add(HH, "2", 0, "2", "LIABILITIES");
    a.add(HD, "2", 1, "2.1", "SUPPLIERS");
    a.add(DD, "2.1", 1, "2.1.1", "LUCKY CEMENT DEALERS", "S");
    a.add(DD, "2.1", 2, "2.1.2", "AMREELI STEEL TRADERS", "S");
    a.add(DD, "2.1", 3, "2.1.3", "AL-NOOR CONSTRUCTION", "S");
    a.add(HD, "2", 2, "2.2", "ADVANCES FROM CUSTOMERS");
    a.add(DD, "2.2", 1, "2.2.1", "BOOKING ADVANCES");
    a.add(HH, "3", 0, "3", "CAPITAL");
    a.add(HD, "3", 1, "3.1", "OWNERS' EQUITY");
    // Credit balance equal to the opening assets, so the opening trial balance agrees.
    a.add(DD, "3.1", 1, "3.1.1", "PAID-UP CAPITAL", {},
          -(25000000LL + 150000000 + 87550050 + 2500000000LL + 320000000));
    a.add(HH, "4", 0, "4", "INCOME");
    a.add(HD, "4", 1, "4.1", "PLOT SALES");
    a.add(DD, "4.1", 1, "4.1.1", "RESIDENTIAL PLOT SALES");
    a.add(DD, "4.1", 2, "4.1.2", "COMMERCIAL PLOT SALES");
    a.add(HD, "4", 2, "4.2", "OTHER INCOME");
    a.add(DD, "4.2", 1, "4.2.1", "TRANSFER FEE");
    a.add(HH, "5", 0, "5", "EXPENSES");
    a.add(HD, "5", 1, "5.1", "ADMINISTRATIVE EXPENSES");
    a.add(DD, "5.1", 1, "5.1.1", "SALARIES AND WAGES");
    a.add(DD, "5.1", 2, "5.1.2", "OFFICE RENT");
    a.add(DD, "5.1", 3, "5.1.3", "ELECTRICITY AND GAS");
    a.add(DD, "5.1", 4, "5.1.4", "PRINTING AND STATIONERY");
    a.add(HD, "5", 2, "5.2", "DEVELOPMENT COSTS");
    a.add(DD, "5.2", 1, "5.2.1", "ROADS AND SEWERAGE");
    a.add(DD, "5.2", 2, "5.2.2", "BUILDING MATERIAL");
    // The control heads' classes, for the balance sheet and the profit and loss account.
    for (const auto& [head, cls] : {std::pair{"1", "A"}, {"2", "L"}, {"3", "E"}, {"4", "I"}, {"5", "X"}})
        c.execute(QStringLiteral("insert into AcClass (AcNodes, AcClass) values (?, ?)"),
                  {QString::fromLatin1(head), QString::fromLatin1(cls)});

    c.execute(
        QStringLiteral("insert into Company (Company, comTel, comFax, comAddr, comActive, comTax, comNTN, comEmail, "
                       "comWebSite) values (?, ?, ?, ?, 'Y', ?, ?, ?, ?)"),
        {QStringLiteral("GREEN VALLEY DEVELOPERS (PVT) LTD"), QStringLiteral("042 3571 2201, 042 3571 2202"),
         QStringLiteral("042 3571 2203"), QStringLiteral("21-B Main Boulevard, Gulberg III, Lahore"),
         QStringLiteral("03-06-2100-012-45"), QStringLiteral("1234567-8"),
         QStringLiteral("accounts@greenvalley.example"), QStringLiteral("www.greenvalley.example")});

    // Voucher setup: cash for the cash vouchers, the first bank for the bank vouchers.
    const QVariant none;
    struct Row {
        const char* kind;
        QVariant account;
        const char* side;
    };
    const Row rows[] = {{"CP", cash, "CR"},    {"CR", cash, "DR"},    {"BP", hbl, "CR"},     {"BR", hbl, "DR"},
                        {"JV", none, nullptr}, {"SI", none, nullptr}, {"PO", none, nullptr}, {"QT", none, nullptr},
                        {"DC", none, nullptr}, {"TI", none, nullptr}, {"GI", none, nullptr}};
    for (const Row& r : rows)
        c.execute(
            QStringLiteral("insert into VouSetting (VouStatus, VouNo, AcCode, AcStatus, Fix) values (?, 1, ?, ?, 'N')"),
            {QString::fromLatin1(r.kind), r.account, r.side ? QVariant(QString::fromLatin1(r.side)) : QVariant()});

    c.execute(QStringLiteral(
                  "insert into tblCatagory (CataId, Catagory, Amount, Status) values (1, '5 MARLA', ?, 'Residential')"),
              {QVariant::fromValue(Money(350000000))});
    c.execute(
        QStringLiteral(
            "insert into tblCatagory (CataId, Catagory, Amount, Status) values (2, '10 MARLA', ?, 'Residential')"),
        {QVariant::fromValue(Money(650000000))});
    c.execute(
        QStringLiteral(
            "insert into tblCatagory (CataId, Catagory, Amount, Status) values (3, '4 MARLA SHOP', ?, 'Commercial')"),
        {QVariant::fromValue(Money(800000000))});

    tx.commit();
}

QString checkCatalog(const QString& catalog)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_-]{0,62}$"));
    if (re.match(catalog).hasMatch())
        return {};
    return QStringLiteral("The catalog \"%1\" is not a plain name: use letters, digits, '_' and '-', start with a "
                          "letter or '_', at most 63 characters.")
        .arg(catalog);
}

QString lockPasswordProblem(const QString& password)
{
    if (password.isEmpty())
        return QStringLiteral("Please give a lock password.");
    // Characters, as the column counts them: a letter beyond the BMP is one, not two.
    if (password.toUcs4().size() > LockPasswordMaxLength)
        return QStringLiteral("The lock password may have at most %1 characters.").arg(LockPasswordMaxLength);
    return Logins::passwordProblem(password);
}

QString init(const InitOptions& o)
{
    // Every input is checked before an old book is touched, on either backend.
    const DataSource ds = DataSource::parse(o.dataSource, o.catalog);
    if (!ds.error.isEmpty())
        throw DbError(ds.error);
    // The catalog names the database, or the embedded file in the data folder; a named file
    // does not use it.
    const QString named = o.dataSource.trimmed();
    if (ds.backend == Backend::Postgres || named.isEmpty() || named == QLatin1String("."))
        if (const QString err = checkCatalog(o.catalog); !err.isEmpty())
            throw DbError(err);
    if (const QString err = Logins::checkName(o.user); !err.isEmpty())
        throw DbError(err);
    if (o.password.isEmpty())
        throw DbError(QStringLiteral("Please enter a password for the first login."));
    if (const QString err = Logins::passwordProblem(o.password); !err.isEmpty())
        throw DbError(err);
    if (const QString err = lockPasswordProblem(o.lockPassword); !err.isEmpty())
        throw DbError(err);
    if (ds.backend == Backend::Sqlite)
        return initEmbedded(o, ds.filePath);
    return initServer(o, ds);
}

} // namespace qv::Provision
