#include "db/schema.h"

#include "db/monthsums.h"
#include "db/bookguards.h"
#include "db/clearingguards.h"
#include "db/sqlaudit.h"
#include "db/tables.h"

#include <QHash>

namespace qv::Schema {

namespace {
using K = ColKind;

std::vector<TableDef> makeTables()
{
    return {
        {tbl::Accounts, "RowID", true, {{"RowID", K::Int},         {"AcNodes", K::Text, 40},
                                        {"AcName", K::Text, 100},  {"AcStatus", K::Text, 2},
                                        {"ParentID", K::Text, 40}, {"Dcode", K::SmallInt},
                                        {"OrderStatus", K::Int},   {"DeleteStatus", K::Text, 1, "default 'N'"},
                                        {"BStatus", K::Text, 1},   {"OpenBal", K::Amount},
                                        {"openDate", K::Date},     {"GST", K::Text, 17},
                                        {"NTN", K::Text, 9},       {"ContactPer", K::Text, 50},
                                        {"Addr", K::Text, 100},    {"Addr2", K::Text, 100},
                                        {"Contact", K::Text, 50},  {"Fax", K::Text, 50},
                                        {"Email", K::Text, 60},    {"WebSite", K::Text, 60},
                                        {"Location", K::Text, 50}}},
        {tbl::MasJV,
         "RowID",
         true,
         {{"RowID", K::Int},
          {"VouNo", K::Int, 0, "not null"},
          {"VouStatus", K::Text, 2, "not null"},
          {"VouDate", K::Date},
          {"PaidReceive", K::Text, 100},
          {"TotalAmount", K::Amount},
          {"Login", K::Text, 63},
          {"ChecqNo", K::Text, 30}},
         true},
        {tbl::DetJV,
         "RowID",
         true,
         {{"RowID", K::Int},
          {"VouNo", K::Int},
          {"VouStatus", K::Text, 2},
          {"VouDate", K::Date},
          {"EntryNo", K::SmallInt},
          {"AcCode", K::Int},
          {"CrAc", K::Int},
          {"DrAmt", K::Amount},
          {"CrAmt", K::Amount},
          {"ChecqNo", K::Text, 30},
          {"Naration", K::Text, 250},
          {"FileNo", K::Text, 20},
          {"BillNo", K::Text, 20}}},
        {tbl::VouSetting,
         "RowID",
         true,
         {{"RowID", K::Int},
          {"VouStatus", K::Text, 2},
          {"VouNo", K::Int},
          {"AcCode", K::Int},
          {"AcStatus", K::Text, 2},
          {"Fix", K::Text, 1},
          {"OthAcCode", K::Int},
          {"ITaxAC", K::Int},
          {"STaxAC", K::Int}}},
        {tbl::Company,
         "CompCode",
         true,
         {{"CompCode", K::Int},
          {"Company", K::Text, 100},
          {"comTel", K::Text, 50},
          {"comFax", K::Text, 50},
          {"comAddr", K::Text, 150},
          {"comActive", K::Text, 1},
          {"comTax", K::Text, 17},
          {"comNTN", K::Text, 9},
          {"comEmail", K::Text, 60},
          {"comWebSite", K::Text, 60}}},
        {tbl::Catagory,
         "CataId",
         false,
         {{"CataId", K::Int}, {"Catagory", K::Text, 50}, {"Amount", K::Amount}, {"Status", K::Text, 20}}},
        {tbl::Application,
         "RowNo",
         false,
         {{"RowNo", K::Int},
          {"ACCode", K::Int},
          {"RegNo", K::Text, 20},
          {"Place", K::Text, 50},
          {"RegDate", K::Date},
          {"Name", K::Text, 60},
          {"FatherName", K::Text, 60},
          {"Guardian", K::Text, 60},
          {"DateOfBirth", K::Date},
          {"Nationality", K::Text, 15},
          {"Sex", K::Text, 6},
          {"Address", K::Text, 150},
          {"ChangeInAdd", K::Text, 150},
          {"PhoneNo", K::Text, 30},
          {"Res", K::Text, 30},
          {"CellNo", K::Text, 30},
          {"ModeOfPayment", K::Text, 20}}},
        {tbl::Menus, "RowID", true, {{"RowID", K::Int}, {"Menus", K::Text, 60}, {"Active", K::SmallInt}}},
        {tbl::LctPswd, "RowID", true, {{"RowID", K::Int}, {"Pswd", K::Text, LockHashWidth}}},
        {tbl::SchemaInfo, "Version", false, {{"Version", K::Int}}},
        {tbl::AcClass,
         "AcNodes",
         false,
         {{"AcNodes", K::Text, 40}, {"AcClass", K::Text, 1, "not null check (AcClass in ('A', 'L', 'E', 'I', 'X'))"}},
         false,
         ClassesFrom},
        {tbl::BookSettings,
         "SetName",
         false,
         {{"SetName", K::Text, 40}, {"SetValue", K::Text, 100}},
         false,
         ClassesFrom},
        // The last row holds the date (null: nothing locked); earlier rows are its history.
        {tbl::PeriodLock,
         "RowID",
         true,
         {{"RowID", K::Int},
          {"LockedUpTo", K::Date},
          {"MovedBy", K::Text, 63},
          {"MovedAt", K::Text, 32},
          {"Reason", K::Text, 250}},
         true,
         PeriodLockFrom},
        // Append-only: each record's Hash covers its content and the Hash of the one before.
        {tbl::AuditTrail,
         "Seq",
         false,
         {{"Seq", K::Int},
          {"At", K::Text, 32, "not null"},
          {"Login", K::Text, 63},
          {"Host", K::Text, 255},
          {"Action", K::Text, 30, "not null"},
          {"TableName", K::Text, 30},
          {"RowKey", K::Text, 60},
          {"Before", K::LongText},
          {"After", K::LongText},
          {"PrevHash", K::Text, 64, "not null"},
          {"Hash", K::Text, 64, "not null"}},
         false,
         AuditTrailFrom},
        // A finished reconciliation of a bank account: its statement's date and closing balance.
        {tbl::BankRecon,
         "RowID",
         true,
         {{"RowID", K::Int},
          {"AcCode", K::Int, 0, "not null"},
          {"StmtDate", K::Date, 0, "not null"},
          {"StmtBal", K::Amount, 0, "not null"},
          {"Login", K::Text, 63},
          {"FinishedAt", K::Text, 32}},
         true,
         BankRecFrom},
        // One bank book line (DetJV.RowID) cleared on a date: ticked only while ReconID is null. A tick
        // whose line was changed or deleted keeps the voucher's key in LostFrom and -RowID as its line.
        {tbl::BankClearing,
         "RowID",
         true,
         {{"RowID", K::Int},
          {"DetRowID", K::Int, 0, "not null"},
          {"AcCode", K::Int, 0, "not null"},
          {"ClearDate", K::Date, 0, "not null"},
          {"ReconID", K::Int},
          {"Login", K::Text, 63},
          {"LostFrom", K::Text, 40}},
         true,
         BankRecFrom},
    };
}

QString columnSql(const TableDef& t, const ColumnDef& c, Backend b, int version)
{
    const QString name = QString::fromLatin1(c.name);
    if (name == QLatin1String(t.key) && t.identity) {
        // PostgreSQL's identity never gives a value twice; SQLite's rowid alias would give a
        // deleted last row's key to the next row.
        if (b == Backend::Postgres)
            return name + QStringLiteral(" integer generated by default as identity primary key");
        const bool keep = t.keysNeverReused && version >= KeysNeverReusedFrom;
        return name
               + (keep ? QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT") : QStringLiteral(" INTEGER PRIMARY KEY"));
    }
    int width = c.width;
    if (version < LockHashFrom && QLatin1String(t.name) == QLatin1String(tbl::LctPswd))
        width = LockClearWidth;
    QString type;
    switch (c.kind) {
    case K::Text:
        type = QStringLiteral("VARCHAR(%1)").arg(width);
        break;
    case K::Int:
        type = b == Backend::Sqlite ? QStringLiteral("INTEGER") : QStringLiteral("bigint");
        break;
    case K::SmallInt:
        type = QStringLiteral("SMALLINT");
        break;
    // Whole cents on SQLite; exact NUMERIC on PostgreSQL.
    case K::Amount:
        type = b == Backend::Sqlite ? QStringLiteral("INTEGER") : QStringLiteral("NUMERIC(18,2)");
        break;
    case K::Date:
        type = QStringLiteral("DATE");
        break;
    case K::LongText:
        type = QStringLiteral("TEXT");
        break;
    }
    QString sql = name + QLatin1Char(' ') + type;
    if (name == QLatin1String(t.key))
        sql += QStringLiteral(" primary key");
    if (*c.extra)
        sql += QLatin1Char(' ') + QString::fromLatin1(c.extra);
    // SQLite does not enforce declared widths: check them.
    if (b == Backend::Sqlite && c.kind == K::Text)
        sql += QStringLiteral(" CHECK (length(%1) <= %2)").arg(name).arg(width);
    if (b == Backend::Sqlite && c.kind == K::SmallInt)
        sql += QStringLiteral(" CHECK (%1 between -32768 and 32767)").arg(name);
    // Whole cents only: a text or a real would be read as a wrong figure.
    if (b == Backend::Sqlite && c.kind == K::Amount && version >= WholeCentsFrom)
        sql += QStringLiteral(" CHECK (typeof(%1) in ('integer', 'null'))").arg(name);
    return sql;
}
} // namespace

QString wrongKindIndex(const TableDef& t)
{
    return t.amountColumns().empty() ? QString()
                                     : QStringLiteral("ix_%1_wrongkind").arg(QString::fromLatin1(t.name).toLower());
}

QString wrongKindCondition(const TableDef& t)
{
    QStringList any;
    for (const QString& col : t.amountColumns())
        any << QStringLiteral("typeof(%1) not in ('integer', 'null')").arg(col);
    return any.join(QStringLiteral(" or "));
}

const std::vector<TableDef>& tables()
{
    static const std::vector<TableDef> t = makeTables();
    return t;
}

const TableDef* findTable(const QString& name)
{
    for (const TableDef& t : tables())
        if (name.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

ColKind kindOf(const QString& column)
{
    static const QHash<QString, ColKind> kinds = [] {
        QHash<QString, ColKind> h;
        for (const TableDef& t : tables())
            for (const ColumnDef& c : t.columns)
                if (c.kind == K::Amount || c.kind == K::Date)
                    h.insert(QString::fromLatin1(c.name).toLower(), c.kind);
        return h;
    }();
    return kinds.value(column.toLower(), K::Text);
}

QStringList ddl(Backend b, int version)
{
    QStringList out;
    for (const TableDef& t : tables()) {
        if (t.since > version)
            continue;
        QStringList cols;
        for (const ColumnDef& c : t.columns)
            cols << columnSql(t, c, b, version);
        out << QStringLiteral("CREATE TABLE %1 (%2)").arg(QLatin1String(t.name), cols.join(QStringLiteral(", ")));
    }
    if (b == Backend::Sqlite)
        out << QStringLiteral("CREATE TABLE Logins (RowID INTEGER PRIMARY KEY, UserName VARCHAR(63) NOT NULL UNIQUE "
                              "CHECK (length(UserName) <= 63), PwHash TEXT NOT NULL)");
    out << QStringLiteral("CREATE UNIQUE INDEX ux_masjv_kind_no ON MasJV (VouStatus, VouNo)")
        << QStringLiteral("CREATE UNIQUE INDEX ux_accounts_acnodes ON Accounts (AcNodes)")
        << QStringLiteral("CREATE INDEX ix_accounts_status ON Accounts (AcStatus, AcName)")
        << (version >= LineOrderIndexesFrom
                ? QStringLiteral("CREATE INDEX ix_detjv_account ON DetJV (AcCode, VouDate, VouStatus, VouNo, EntryNo, "
                                 "RowID, DrAmt, CrAmt, CrAc)")
                : QStringLiteral("CREATE INDEX ix_detjv_account ON DetJV (AcCode, VouDate, DrAmt, CrAmt)"))
        << (version >= LineOrderIndexesFrom
                ? QStringLiteral("CREATE INDEX ix_detjv_contra ON DetJV (CrAc, VouDate, VouStatus, VouNo, EntryNo)")
                : QStringLiteral("CREATE INDEX ix_detjv_contra ON DetJV (CrAc, VouDate)"))
        << QStringLiteral("CREATE INDEX ix_detjv_voucher ON DetJV (VouStatus, VouNo)")
        << QStringLiteral("CREATE INDEX ix_application_account ON tblApplication (ACCode)");
    if (version >= AuditTrailFrom)
        out << QStringLiteral("CREATE INDEX ix_audittrail_key ON AuditTrail (RowKey, Seq)");
    if (b == Backend::Postgres && version >= AuditMarksFrom)
        out << QStringLiteral("CREATE TABLE %1 (TxId bigint primary key, Recorded smallint not null, Skipped smallint "
                              "not null)")
                   .arg(QLatin1String(SqlAudit::MarkTable));
    if (b == Backend::Sqlite && version >= PeriodLockFrom)
        out << BookGuards::sqliteTriggers();
    if (b == Backend::Sqlite && version >= WholeCentsFrom)
        for (const TableDef& t : tables()) {
            const QString index = wrongKindIndex(t);
            if (t.since > version || index.isEmpty())
                continue;
            out << QStringLiteral("CREATE INDEX %1 ON %2 (%3) WHERE %4")
                       .arg(index, QLatin1String(t.name), t.amountColumns().front(), wrongKindCondition(t));
        }
    if (version >= MonthSumsFrom)
        out << MonthSums::ddl(b);
    if (version >= BankRecFrom)
        out << ClearingGuards::ddl(b == Backend::Sqlite);
    return out;
}

bool isProvisioned(Connection& c)
{
    const QString sql =
        c.backend() == Backend::Sqlite
            ? QStringLiteral("select count(*) from sqlite_master where type = 'table' and lower(name) = 'schemainfo'")
            : QStringLiteral("select count(*) from information_schema.tables where table_schema = current_schema() "
                             "and table_name = 'schemainfo'");
    return c.scalar(sql).toInt() > 0;
}

int version(Connection& c)
{
    if (!isProvisioned(c))
        return 0;
    return c.scalar(QStringLiteral("select max(Version) from SchemaInfo")).toInt();
}

void create(Connection& c)
{
    Transaction tx(c);
    for (const QString& s : ddl(c.backend()))
        c.execute(s);
    c.execute(QStringLiteral("insert into SchemaInfo (Version) values (?)"), {CurrentVersion});
    tx.commit();
}

} // namespace qv::Schema
