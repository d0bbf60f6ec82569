#include "db/provision.h"

#include "db/money.h"
#include "db/schema.h"
#include "db/menurights.h"
#include "db/tables.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qv::Provision {

namespace {

void writeDefaults(Connection& c, const InitOptions& o)
{
    setLockPassword(c, o.lockPassword);
    // A new installation starts with every right granted.
    for (const MenuRight& r : MenuRights)
        c.execute(QStringLiteral("insert into Menus (Menus, Active) values (?, 1)"), {QString::fromUtf8(r.caption)});
}

QString initEmbedded(const InitOptions& o, const QString& path)
{
    if (QFileInfo::exists(path)) {
        if (!o.replace)
            throw DbError(QStringLiteral("The database file \"%1\" already exists.").arg(path));
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(path + suffix);
    }
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        throw DbError(QStringLiteral("The folder \"%1\" could not be created.").arg(dir));
    Connection c;
    c.openFileUnchecked(path, true);
    try {
        Transaction tx(c);
        Schema::create(c);
        Logins::add(c, o.user, o.password, o.cost);
        writeDefaults(c, o);
        if (o.demo)
            addDemoData(c);
        tx.commit();
    } catch (...) {
        c.close();
        QFile::remove(path);
        throw;
    }
    return path;
}

QString initServer(const InitOptions& o, const DataSource& ds)
{
    if (const QString err = Logins::checkName(o.user); !err.isEmpty())
        throw DbError(err);
    if (o.password.isEmpty())
        throw DbError(QStringLiteral("Please enter a password for the first login."));
    {
        Connection admin;
        admin.openServerUnchecked(ds.host, ds.port, o.adminDatabase, o.adminUser, o.adminPassword);
        Logins::ensureGroupRole(admin);
        const bool exists =
            admin.scalar(QStringLiteral("select count(*) from pg_database where datname = ?"), {o.catalog}).toInt() > 0;
        if (exists && !o.replace)
            throw DbError(QStringLiteral("The database \"%1\" already exists on %2.").arg(o.catalog, ds.host));
        if (exists)
            admin.execute(admin.scalar(QStringLiteral("select format('DROP DATABASE %I WITH (FORCE)', CAST(? AS TEXT))"), {o.catalog})
                              .toString());
        admin.execute(
            admin.scalar(QStringLiteral("select format('CREATE DATABASE %I ENCODING ''UTF8''', CAST(? AS TEXT))"), {o.catalog})
                .toString());
        const QString g = QLatin1String(tbl::GroupRole);
        admin.execute(admin.scalar(QStringLiteral("select format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO %I', CAST(? AS TEXT), CAST(? AS TEXT))"),
                                   {o.catalog, g})
                          .toString());
        const bool roleExists =
            admin.scalar(QStringLiteral("select count(*) from pg_roles where rolname = ?"), {o.user}).toInt() > 0;
        // The first login may add and remove the other logins ("Add Users").
        const QString role = roleExists
            ? QStringLiteral("select format('ALTER ROLE %I LOGIN CREATEROLE PASSWORD %L', CAST(? AS TEXT), CAST(? AS TEXT))")
            : QStringLiteral("select format('CREATE ROLE %I LOGIN CREATEROLE PASSWORD %L', CAST(? AS TEXT), CAST(? AS TEXT))");
        admin.execute(admin.scalar(role, {o.user, o.password}).toString());
        admin.execute(admin.scalar(QStringLiteral("select format('GRANT %I TO %I WITH ADMIN OPTION', CAST(? AS TEXT), CAST(? AS TEXT))"), {g, o.user})
                          .toString());
    }
    Connection c;
    c.openServerUnchecked(ds.host, ds.port, o.catalog, o.adminUser, o.adminPassword);
    Transaction tx(c);
    Schema::create(c);
    writeDefaults(c, o);
    if (o.demo)
        addDemoData(c);
    tx.commit();
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
            QStringLiteral("insert into Accounts (AcNodes, AcName, AcStatus, ParentID, Dcode, BStatus, OpenBal, openDate) "
                           "values (?, ?, ?, ?, ?, ?, ?, ?) returning RowID"),
            {nodes, name, status, parentId, dcode, bstatus.isEmpty() ? QVariant() : QVariant(bstatus),
             dd && openCents ? QVariant::fromValue(Money(openCents)) : QVariant(),
             dd ? QVariant(QDate(2025, 7, 1)) : QVariant()});
    }
};

struct Line {
    qint64 account;
    qint64 cents;
    QString narration;
};

void addVoucher(Connection& c, const QString& kind, int no, const QDate& date, const QString& party, qint64 contra,
                const QList<Line>& lines, const QString& cheque = {})
{
    Money total;
    for (const Line& l : lines)
        total += Money(l.cents);
    c.execute(QStringLiteral("insert into MasJV (VouNo, VouStatus, VouDate, PaidReceive, TotalAmount, Login) "
                             "values (?, ?, ?, ?, ?, ?)"),
              {no, kind, date, party, QVariant::fromValue(total), QStringLiteral("admin")});
    const QString det = QStringLiteral(
        "insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, CrAc, DrAmt, CrAmt, ChecqNo, Naration) "
        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QVariant zero = QVariant::fromValue(Money());
    int entry = 0;
    for (const Line& l : lines) {
        ++entry;
        const QVariant amt = QVariant::fromValue(Money(l.cents));
        // Journal and bank lines: two mirrored rows. BR/CR lines are credits to the party.
        const bool partyDebit = kind == QLatin1String("JV") || kind == QLatin1String("BP") || kind == QLatin1String("CP");
        c.execute(det, {no, kind, date, entry, l.account, contra, partyDebit ? amt : zero, partyDebit ? zero : amt,
                        cheque, l.narration});
        if (kind != QLatin1String("CP") && kind != QLatin1String("CR"))
            c.execute(det, {no, kind, date, entry, contra, l.account, partyDebit ? zero : amt, partyDebit ? amt : zero,
                            cheque, l.narration});
    }
    if (kind == QLatin1String("CP") || kind == QLatin1String("CR")) {
        const bool payment = kind == QLatin1String("CP");
        c.execute(QStringLiteral("insert into DetJV (VouNo, VouStatus, VouDate, EntryNo, AcCode, DrAmt, CrAmt, Naration) "
                                 "values (?, ?, ?, ?, ?, ?, ?, ?)"),
                  {no, kind, date, entry + 1, contra, payment ? zero : QVariant::fromValue(total),
                   payment ? QVariant::fromValue(total) : zero, lines.first().narration});
    }
}

} // namespace

void setLockPassword(Connection& c, const QString& password)
{
    if (password.isEmpty())
        throw DbError(QStringLiteral("Please give a lock password."));
    Transaction tx(c);
    c.execute(QStringLiteral("delete from LctPswd"));
    c.execute(QStringLiteral("insert into LctPswd (Pswd) values (?)"), {password});
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
    const qint64 mcb = a.add(DD, "1.1", 3, "1.1.3", "MCB BANK LTD - 4471-2", "B", 87550050);
    a.add(HD, "1", 2, "1.2", "CUSTOMERS");
    QList<qint64> customers;
    const char* names[] = {"ABDUL RAHMAN KHAN", "SAIMA NAEEM", "M. ASLAM & SONS", "TARIQ MEHMOOD", "NAZIA PERVEEN",
                           "O'BRIEN TRADING CO", "FARHAN ALI", "ZUBAIR AHMED"};
    for (int i = 0; i < 8; ++i)
        customers << a.add(DD, "1.2", i + 1, QStringLiteral("1.2.%1").arg(i + 1), QString::fromUtf8(names[i]));
    a.add(HD, "1", 3, "1.3", "FIXED ASSETS");
    const qint64 land = a.add(DD, "1.3", 1, "1.3.1", "LAND - PHASE II", {}, 2500000000);
    const qint64 vehicles = a.add(DD, "1.3", 2, "1.3.2", "VEHICLES", {}, 320000000);
    a.add(HH, "2", 0, "2", "LIABILITIES");
    a.add(HD, "2", 1, "2.1", "SUPPLIERS");
    const qint64 cement = a.add(DD, "2.1", 1, "2.1.1", "LUCKY CEMENT DEALERS", "S");
    const qint64 steel = a.add(DD, "2.1", 2, "2.1.2", "AMREELI STEEL TRADERS", "S");
    const qint64 contractor = a.add(DD, "2.1", 3, "2.1.3", "AL-NOOR CONSTRUCTION", "S");
    a.add(HD, "2", 2, "2.2", "ADVANCES FROM CUSTOMERS");
    const qint64 advances = a.add(DD, "2.2", 1, "2.2.1", "BOOKING ADVANCES");
    a.add(HH, "3", 0, "3", "CAPITAL");
    a.add(HD, "3", 1, "3.1", "OWNERS' EQUITY");
    // Credit balance equal to the opening assets, so the opening trial balance agrees.
    a.add(DD, "3.1", 1, "3.1.1", "PAID-UP CAPITAL", {}, -(25000000LL + 150000000 + 87550050 + 2500000000LL + 320000000));
    a.add(HH, "4", 0, "4", "INCOME");
    a.add(HD, "4", 1, "4.1", "PLOT SALES");
    const qint64 resSales = a.add(DD, "4.1", 1, "4.1.1", "RESIDENTIAL PLOT SALES");
    const qint64 comSales = a.add(DD, "4.1", 2, "4.1.2", "COMMERCIAL PLOT SALES");
    a.add(HD, "4", 2, "4.2", "OTHER INCOME");
    const qint64 transferFee = a.add(DD, "4.2", 1, "4.2.1", "TRANSFER FEE");
    a.add(HH, "5", 0, "5", "EXPENSES");
    a.add(HD, "5", 1, "5.1", "ADMINISTRATIVE EXPENSES");
    const qint64 salaries = a.add(DD, "5.1", 1, "5.1.1", "SALARIES AND WAGES");
    const qint64 rent = a.add(DD, "5.1", 2, "5.1.2", "OFFICE RENT");
    const qint64 utilities = a.add(DD, "5.1", 3, "5.1.3", "ELECTRICITY AND GAS");
    const qint64 stationery = a.add(DD, "5.1", 4, "5.1.4", "PRINTING AND STATIONERY");
    a.add(HD, "5", 2, "5.2", "DEVELOPMENT COSTS");
    const qint64 roads = a.add(DD, "5.2", 1, "5.2.1", "ROADS AND SEWERAGE");
    const qint64 materials = a.add(DD, "5.2", 2, "5.2.2", "BUILDING MATERIAL");
    Q_UNUSED(land);
    Q_UNUSED(vehicles);

    c.execute(QStringLiteral("insert into Company (Company, comTel, comFax, comAddr, comActive, comTax, comNTN, comEmail, "
                             "comWebSite) values (?, ?, ?, ?, 'Y', ?, ?, ?, ?)"),
              {QStringLiteral("GREEN VALLEY DEVELOPERS (PVT) LTD"), QStringLiteral("042 3571 2201, 042 3571 2202"),
               QStringLiteral("042 3571 2203"), QStringLiteral("21-B Main Boulevard, Gulberg III, Lahore"),
               QStringLiteral("03-06-2100-012-45"), QStringLiteral("1234567-8"),
               QStringLiteral("accounts@greenvalley.example"), QStringLiteral("www.greenvalley.example")});

    // Voucher setup: cash for the cash vouchers, the first bank for the bank vouchers.
    const QVariant none;
    struct Row { const char* kind; QVariant account; const char* side; };
    const Row rows[] = {{"CP", cash, "CR"}, {"CR", cash, "DR"}, {"BP", hbl, "CR"}, {"BR", hbl, "DR"},
                        {"JV", none, nullptr}, {"SI", none, nullptr}, {"PO", none, nullptr}, {"QT", none, nullptr},
                        {"DC", none, nullptr}, {"TI", none, nullptr}, {"GI", none, nullptr}};
    for (const Row& r : rows)
        c.execute(QStringLiteral("insert into VouSetting (VouStatus, VouNo, AcCode, AcStatus, Fix) values (?, 1, ?, ?, 'N')"),
                  {QString::fromLatin1(r.kind), r.account, r.side ? QVariant(QString::fromLatin1(r.side)) : QVariant()});

    c.execute(QStringLiteral("insert into tblCatagory (CataId, Catagory, Amount, Status) values (1, '5 MARLA', ?, 'Residential')"),
              {QVariant::fromValue(Money(350000000))});
    c.execute(QStringLiteral("insert into tblCatagory (CataId, Catagory, Amount, Status) values (2, '10 MARLA', ?, 'Residential')"),
              {QVariant::fromValue(Money(650000000))});
    c.execute(QStringLiteral("insert into tblCatagory (CataId, Catagory, Amount, Status) values (3, '4 MARLA SHOP', ?, 'Commercial')"),
              {QVariant::fromValue(Money(800000000))});

    // Vouchers over the second half of 2025: a deterministic mix of every kind.
    const QDate start(2025, 7, 3);
    int no[5] = {1, 1, 1, 1, 1}; // JV BP BR CP CR
    for (int week = 0; week < 26; ++week) {
        const QDate d = start.addDays(week * 7);
        const qint64 cust = customers[week % customers.size()];
        const qint64 bank = week % 3 == 2 ? mcb : hbl;
        // Booking money received by cheque, then instalments in cash.
        addVoucher(c, "BR", no[2]++, d, QString::fromUtf8(names[week % 8]), bank,
                   {{cust, 50000000 + week * 1250050, QStringLiteral("Booking amount, plot %1").arg(100 + week)}},
                   QStringLiteral("CHQ-%1").arg(70311 + week));
        if (week % 2 == 0)
            addVoucher(c, "CR", no[4]++, d.addDays(1), QString::fromUtf8(names[(week + 3) % 8]), cash,
                       {{customers[(week + 3) % 8], 7500000 + week * 10025, QStringLiteral("Instalment received")},
                        {transferFee, 500000, QStringLiteral("Transfer fee")}});
        // Sales recognised through the journal.
        addVoucher(c, "JV", no[0]++, d.addDays(2), {}, week % 4 == 3 ? comSales : resSales,
                   {{cust, 50000000 + week * 1250050, QStringLiteral("Plot allotted against booking")}});
        if (week % 2 == 1)
            addVoucher(c, "BP", no[1]++, d.addDays(3), QStringLiteral("AL-NOOR CONSTRUCTION"), bank,
                       {{contractor, 120000000 + week * 333333, QStringLiteral("Running bill")},
                        {roads, 15000000, QStringLiteral("Road levelling")}},
                       QStringLiteral("%1").arg(880100 + week));
        if (week % 3 == 0)
            addVoucher(c, "CP", no[3]++, d.addDays(4), QStringLiteral("OFFICE"), cash,
                       {{utilities, 1845075, QStringLiteral("Electricity bill")},
                        {stationery, 325050, QStringLiteral("Receipt books")},
                        {salaries, 9500000, QStringLiteral("Site staff wages")}});
        if (week % 4 == 1)
            addVoucher(c, "BP", no[1]++, d.addDays(5), QStringLiteral("LUCKY CEMENT DEALERS"), bank,
                       {{cement, 42000000, QStringLiteral("Cement, 1,200 bags")}, {materials, 800000, QStringLiteral("Freight")}},
                       QStringLiteral("%1").arg(990200 + week));
        if (week % 6 == 5)
            addVoucher(c, "JV", no[0]++, d.addDays(6), {}, steel,
                       {{materials, 61500000, QStringLiteral("Steel received on credit")}});
    }
    addVoucher(c, "CP", no[3]++, QDate(2025, 12, 31), QStringLiteral("LANDLORD"), cash,
               {{rent, 18000000, QStringLiteral("Office rent, December")}});
    addVoucher(c, "JV", no[0]++, QDate(2025, 12, 31), {}, advances,
               {{customers[5], 2500000, QStringLiteral("Advance adjusted")}});
    tx.commit();
}

QString init(const InitOptions& o)
{
    const DataSource ds = DataSource::parse(o.dataSource, o.catalog);
    if (o.lockPassword.isEmpty())
        throw DbError(QStringLiteral("Please give a lock password."));
    if (ds.backend == Backend::Sqlite)
        return initEmbedded(o, ds.filePath);
    return initServer(o, ds);
}

} // namespace qv::Provision
