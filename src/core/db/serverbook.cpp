#include "db/serverbook.h"

#include "db/monthsums.h"
#include "db/bookguards.h"
#include "db/clearingguards.h"
#include "db/sqlaudit.h"

#include <QCryptographicHash>
#include <QSqlDriver>
#include <libpq-fe.h>

namespace qv::ServerBook {

namespace {
QString roleName(const char* prefix, const QString& catalog)
{
    const QString full = QLatin1String(prefix) + catalog;
    if (full.toUtf8().size() <= 63)
        return full;
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(catalog.toUtf8(), QCryptographicHash::Sha256).toHex().left(8));
    QString cut = full;
    while ((cut + QLatin1Char('_') + hash).toUtf8().size() > 63 || cut.back().isHighSurrogate())
        cut.chop(1);
    return cut + QLatin1Char('_') + hash;
}

// Whether the role exists.
bool exists(Connection& c, const QString& role)
{
    return c.scalar(QStringLiteral("select count(*) from pg_roles where rolname = ?"), {role}).toInt() > 0;
}

// The login functions. %USERS% and %ADMINS% stand for the users' and the managers' group
// names, put in as quoted literals; the whole body then travels as one quoted literal. The
// guard lets the functions touch a plain login of this book only: a login that is a manager,
// belongs to any other group, or owns or was granted anything anywhere on the server (a
// database, a schema, a table, a default privilege, a user mapping, ...) is left to the
// server's administrator, so that taking it over gains nothing beyond this book.
const char* GuardBody = R"(
declare r record;
begin
  select oid, rolcanlogin, rolsuper or rolcreaterole or rolcreatedb or rolreplication or rolbypassrls as strong
    into r from pg_roles where rolname = login;
  if not found or not r.rolcanlogin or not exists (select 1 from pg_auth_members m join pg_roles g
      on g.oid = m.roleid where m.member = r.oid and g.rolname = %USERS%) then
    raise exception 'There is no user "%" in this book.', login;
  end if;
  if r.strong or exists (select 1 from pg_auth_members m join pg_roles g on g.oid = m.roleid
      where m.member = r.oid and g.rolname not in (%USERS%, %ADMINS%)) then
    raise exception 'The login "%" holds rights beyond a login; only a server administrator may change it.', login;
  end if;
  if exists (select 1 from pg_shdepend d where d.refclassid = 'pg_authid'::regclass and d.refobjid = r.oid
      and d.deptype in ('o', 'a', 'i', 'r')) then
    raise exception 'The login "%" owns objects or holds rights on the server beyond this book; only a server administrator may change it.', login;
  end if;
  if exists (select 1 from pg_auth_members m join pg_roles g on g.oid = m.roleid
      where m.member = r.oid and g.rolname = %ADMINS%) then
    raise exception 'The login "%" manages this book; only a server administrator may remove it or set its password.', login;
  end if;
end)";

// A password travels only as a SCRAM-SHA-256 verifier as libpq makes it:
// SCRAM-SHA-256$<iterations>:<salt>$<StoredKey>:<ServerKey>, base64, both keys 32 bytes. Any
// other text would be taken by the server as a clear password.
const char* VerifierCheck = R"(
  if verifier is null or length(verifier) > 512 or verifier !~ ('^SCRAM-SHA-256[$][0-9]{1,9}:'
      '([A-Za-z0-9+/]{4})*([A-Za-z0-9+/]{2}==|[A-Za-z0-9+/]{3}=)?[$]'
      '[A-Za-z0-9+/]{43}=:[A-Za-z0-9+/]{43}=$') then
    raise exception 'A password must arrive as a SCRAM-SHA-256 verifier.';
  end if;
  if split_part(split_part(verifier, '$', 2), ':', 1)::integer < 4096
      or length(decode(split_part(split_part(verifier, '$', 2), ':', 2), 'base64')) < 16 then
    raise exception 'A password must arrive as a SCRAM-SHA-256 verifier of at least 4096 iterations and a 16-byte salt.';
  end if;)";

struct Function {
    QString signature;
    QString returns;
    bool definer;
    bool forManagers;
    QString body;
};

// Names of the book roles: a login may not take one (it would become a book's group later).
bool isBookRoleName(const QString& name)
{
    const QString p = name.left(4).toLower();
    return p == QLatin1String("qvu_") || p == QLatin1String("qva_") || p == QLatin1String("qvk_");
}

// Everything that makes the book's login functions what they are, as one text.
QString functionsState(Connection& book)
{
    return book
        .scalar(QStringLiteral(
            "select coalesce(string_agg(p.proname || '(' || pg_get_function_identity_arguments(p.oid) || ')' || "
            "p.prosrc || CAST(CAST(p.proowner AS regrole) AS text) || CAST(p.prosecdef AS text) || "
            "coalesce(CAST(p.proconfig AS "
            "text), '') || coalesce(CAST(p.proacl AS text), ''), '|' order by p.proname, "
            "pg_get_function_identity_arguments(p.oid)), '') from pg_proc p where p.pronamespace = CAST('public' AS "
            "regnamespace) and p.proname like 'qv\\_%'"))
        .toString();
}

std::vector<Function> functions()
{
    const QString verifier = QString::fromLatin1(VerifierCheck);
    return {
        {"qv_login_guard(login text)", "void", false, false, QString::fromLatin1(GuardBody)},
        {"qv_add_login(login text, verifier text)", "void", true, true,
         QStringLiteral("begin\n  if login is null or login !~ '^[A-Za-z_][A-Za-z0-9_.-]{0,62}$' "
                        "or lower(left(login, 4)) in ('qvu_', 'qva_', 'qvk_') then\n"
                        "    raise exception 'The user name \"%\" is not allowed.', login;\n  end if;")
             + verifier
             + QStringLiteral(
                 "\n  if exists (select 1 from pg_roles where rolname = login) then\n"
                 "    raise exception 'The user name \"%\" is already taken.', login using errcode = "
                 "'duplicate_object';\n"
                 "  end if;\n"
                 "  execute format('CREATE ROLE %I LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION NOBYPASSRLS "
                 "PASSWORD %L IN ROLE %I', login, verifier, %USERS%);\nend")},
        // A manager may always set its own password; another login's only through the guard.
        {"qv_set_login_password(login text, verifier text)", "void", true, true,
         QStringLiteral("begin") + verifier
             + QStringLiteral("\n  if login is distinct from session_user then\n"
                              "    perform public.qv_login_guard(login);\n  end if;\n"
                              "  execute format('ALTER ROLE %I PASSWORD %L', login, verifier);\nend")},
        {"qv_drop_login(login text)", "void", true, true,
         QStringLiteral("begin\n  if login = session_user then\n"
                        "    raise exception 'The user logged in cannot remove itself.';\n  end if;\n"
                        "  perform public.qv_login_guard(login);\n"
                        "  execute format('DROP ROLE %I', login);\nend")},
        {"qv_set_lock_password(hash text)", "void", true, true,
         QStringLiteral("begin\n  if hash is null or left(hash, 10) <> '$argon2id$' or length(hash) > 128 then\n"
                        "    raise exception 'The lock password must arrive as an argon2id hash.';\n  end if;\n"
                        "  delete from public.LctPswd;\n"
                        "  insert into public.LctPswd (Pswd) values (hash);\nend")},
        {"qv_period_guard()", "trigger", true, false, BookGuards::guardBody()},
        {"qv_set_period_lock(until date, reason text)", "void", true, true, BookGuards::moveBody()},
        {BookGuards::AppendSignature, "text", true, false, BookGuards::appendBody()},
        {BookGuards::AuditSignature, "text", true, false, BookGuards::auditBody()},
        {"qv_line_guard()", "trigger", true, false, ClearingGuards::lineGuardBody()},
        {"qv_clearing_guard()", "trigger", false, false, ClearingGuards::clearingGuardBody()},
        {ClearingGuards::UndoSignature, "text", true, true, ClearingGuards::undoBody()},
    };
}

// The functions of the records of typed SQL (a book older than their table has none).
std::vector<Function> sqlAuditFunctions()
{
    std::vector<Function> out;
    for (const SqlAudit::Function& f : SqlAudit::functions())
        out.push_back({f.signature, f.returns, true, false, f.body});
    return out;
}

// Whether the book has the table (a book older than it has neither it nor what goes with it).
bool hasTable(Connection& book, const char* table)
{
    return !book.scalar(QStringLiteral("select to_regclass(?)"), {QStringLiteral("public.") + QLatin1String(table)})
                .isNull();
}
bool hasPeriodLock(Connection& book)
{
    return hasTable(book, "periodlock");
}
bool hasClearings(Connection& book)
{
    return hasTable(book, "bankclearing");
}
bool hasAuditMarks(Connection& book)
{
    return hasTable(book, "audittx");
}
} // namespace

Roles rolesFor(const QString& catalog)
{
    return {roleName("qvu_", catalog), roleName("qvk_", catalog), roleName("qva_", catalog)};
}

Roles rolesOf(Connection& c)
{
    return rolesFor(c.scalar(QStringLiteral("select current_database()")).toString());
}

QString quoteIdent(const QString& name)
{
    if (name.isEmpty() || name.contains(QChar(0)))
        throw DbError(QStringLiteral("\"%1\" cannot name a database object.").arg(name));
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString quoteLiteral(const QString& text)
{
    if (text.contains(QChar(0)))
        throw DbError(QStringLiteral("The text cannot be written into a statement."));
    // An escape string, whatever standard_conforming_strings says.
    QString t = text;
    t.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1String("E'") + t + QLatin1Char('\'');
}

QStringList createRoles(Connection& admin, const Roles& r)
{
    QStringList made;
    for (const QString& role : {r.users, r.admins, r.keeper}) {
        const bool keeper = role == r.keeper;
        if (!exists(admin, role)) {
            admin.execute(
                QStringLiteral("CREATE ROLE %1 NOLOGIN%2").arg(quoteIdent(role), keeper ? " CREATEROLE" : ""));
            made << role;
        } else {
            // A role of that name made by someone else is made what the book needs, and no more.
            admin.execute(QStringLiteral("ALTER ROLE %1 NOLOGIN NOSUPERUSER NOCREATEDB NOREPLICATION NOBYPASSRLS %2 "
                                         "PASSWORD NULL")
                              .arg(quoteIdent(role), keeper ? "CREATEROLE" : "NOCREATEROLE"));
        }
    }
    // Nobody may act as the keeper: it holds CREATEROLE for its functions alone.
    QSqlQuery q = admin.query(QStringLiteral("select m.rolname from pg_auth_members a join pg_roles k on k.oid = "
                                             "a.roleid join pg_roles m on m.oid = a.member where k.rolname = ?"),
                              {r.keeper});
    QStringList members;
    while (q.next())
        members << q.value(0).toString();
    for (const QString& m : members)
        admin.execute(QStringLiteral("REVOKE %1 FROM %2").arg(quoteIdent(r.keeper), quoteIdent(m)));
    return made;
}

void dropRoles(Connection& admin, const QStringList& names)
{
    for (const QString& role : names)
        admin.execute(QStringLiteral("DROP ROLE IF EXISTS %1").arg(quoteIdent(role)));
}

void secure(Connection& book, const Roles& r)
{
    const QString db = quoteIdent(book.scalar(QStringLiteral("select current_database()")).toString());
    const QString users = quoteIdent(r.users), keeper = quoteIdent(r.keeper), admins = quoteIdent(r.admins);
    const QStringList grants = {
        QStringLiteral("REVOKE ALL ON DATABASE %1 FROM PUBLIC").arg(db),
        QStringLiteral("GRANT CONNECT, TEMPORARY ON DATABASE %1 TO %2").arg(db, users),
        QStringLiteral("REVOKE ALL ON SCHEMA public FROM PUBLIC"),
        QStringLiteral("GRANT USAGE ON SCHEMA public TO %1, %2").arg(users, keeper),
        QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM PUBLIC"),
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO %1").arg(users),
        QStringLiteral("REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON SchemaInfo, LctPswd FROM %1").arg(users),
        QStringLiteral("GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO %1, %2").arg(users, keeper),
        QStringLiteral("GRANT SELECT, INSERT, DELETE ON LctPswd TO %1").arg(keeper),
    };
    for (const QString& s : grants)
        book.execute(s);
    if (MonthSums::exists(book))
        MonthSums::secure(book, r.users, r.keeper);
    if (hasPeriodLock(book))
        for (const QString& s : BookGuards::serverGrants(users, keeper))
            book.execute(s);
    if (hasClearings(book))
        for (const QString& s : ClearingGuards::serverGrants(users, keeper))
            book.execute(s);
    if (hasAuditMarks(book))
        for (const QString& s : SqlAudit::markGrants(users, keeper))
            book.execute(s);
    installFunctions(book, r);
}

bool installFunctions(Connection& book, const Roles& r)
{
    const QString before = functionsState(book);
    const QString keeper = quoteIdent(r.keeper), admins = quoteIdent(r.admins);
    QStringList made;
    std::vector<Function> all = functions();
    if (hasAuditMarks(book))
        for (Function& f : sqlAuditFunctions())
            all.push_back(std::move(f));
    for (const Function& f : all) {
        made << f.signature;
        const QString name = QStringLiteral("public.") + f.signature;
        const QString body = QString(f.body)
                                 .replace(QLatin1String("%USERS%"), quoteLiteral(r.users))
                                 .replace(QLatin1String("%ADMINS%"), quoteLiteral(r.admins))
                                 .replace(QLatin1String("%KEEPER%"), quoteLiteral(r.keeper));
        book.execute(
            QStringLiteral("CREATE OR REPLACE FUNCTION %1 RETURNS %2 LANGUAGE plpgsql %3"
                           "SET search_path = pg_catalog, pg_temp AS %4")
                .arg(name, f.returns, f.definer ? QStringLiteral("SECURITY DEFINER ") : QString(), quoteLiteral(body)));
        book.execute(QStringLiteral("ALTER FUNCTION %1 OWNER TO %2").arg(name, keeper));
        book.execute(QStringLiteral("REVOKE ALL ON FUNCTION %1 FROM PUBLIC").arg(name));
        if (f.forManagers)
            book.execute(QStringLiteral("GRANT EXECUTE ON FUNCTION %1 TO %2").arg(name, admins));
    }
    // A function an older version made and this one no longer does (another signature) goes.
    QSqlQuery q = book.query(QStringLiteral("select p.proname || '(' || pg_get_function_identity_arguments(p.oid) || "
                                            "')', CAST(CAST(p.oid AS regprocedure) AS text) from pg_proc p where "
                                            "p.pronamespace = CAST('public' AS regnamespace) and p.proname like "
                                            "'qv\\_%'"));
    QStringList stale;
    while (q.next())
        if (!made.contains(q.value(0).toString()))
            stale << q.value(1).toString();
    q.finish();
    for (const QString& f : stale)
        book.execute(QStringLiteral("DROP FUNCTION %1").arg(f));
    // The guard of the locked period runs on every voucher row (a book older than the lock has
    // none until its upgrade makes the table).
    if (hasPeriodLock(book)) {
        for (const QString& t : BookGuards::serverTriggers())
            book.execute(t);
        book.execute(QStringLiteral("GRANT EXECUTE ON FUNCTION public.%1 TO %2")
                         .arg(QLatin1String(BookGuards::AuditSignature), quoteIdent(r.users)));
    }
    if (hasClearings(book))
        for (const QString& t : ClearingGuards::serverTriggers())
            book.execute(t);
    // SQL typed by a login leaves its rows in the trail (a book older than the marks has none).
    if (hasAuditMarks(book)) {
        for (const QString& t : SqlAudit::triggers())
            book.execute(t);
        book.execute(QStringLiteral("GRANT EXECUTE ON FUNCTION public.%1 TO %2")
                         .arg(QLatin1String(SqlAudit::IntentSignature), quoteIdent(r.users)));
    }
    return functionsState(book) != before;
}

void checkLoginName(const QString& name)
{
    if (isBookRoleName(name))
        throw DbError(QStringLiteral("A user name may not begin with qvu_, qva_ or qvk_ (the names of the books' own "
                                     "roles on the server)."));
}

void checkFirstLogin(Connection& admin, const Roles& r, const QString& name)
{
    Q_UNUSED(r);
    checkLoginName(name);
    QSqlQuery q = admin.query(QStringLiteral("select rolcanlogin and not (rolsuper or rolcreaterole or rolcreatedb or "
                                             "rolreplication or rolbypassrls) from pg_roles where rolname = ?"),
                              {name});
    if (q.next() && !q.value(0).toBool())
        throw DbError(
            QStringLiteral("The name \"%1\" belongs to a server role that is not a plain login (it holds "
                           "rights such as SUPERUSER or CREATEROLE); choose another name for the first login.")
                .arg(name));
}

void makeManager(Connection& admin, const Roles& r, const QString& name, const QString& password)
{
    const QString verifier = quoteLiteral(scramVerifier(admin, name, password));
    if (exists(admin, name))
        admin.execute(QStringLiteral("ALTER ROLE %1 PASSWORD %2").arg(quoteIdent(name), verifier));
    else
        admin.execute(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD %2").arg(quoteIdent(name), verifier));
    admin.execute(
        QStringLiteral("GRANT %1, %2 TO %3").arg(quoteIdent(r.users), quoteIdent(r.admins), quoteIdent(name)));
}

QString scramVerifier(Connection& c, const QString& user, const QString& password)
{
    const QVariant h = c.database().driver() ? c.database().driver()->handle() : QVariant();
    // QPSQL hands out its PGconn* (named "PGconn*" or "pg_conn*" by the driver's version).
    if (!h.isValid() || (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
        throw DbError(QStringLiteral("The password cannot be prepared: the connection is not to a PostgreSQL server."));
    PGconn* conn = *static_cast<PGconn* const*>(h.constData());
    const QByteArray pw = password.toUtf8(), u = user.toUtf8();
    char* v = PQencryptPasswordConn(conn, pw.constData(), u.constData(), "scram-sha-256");
    if (!v)
        throw DbError(QStringLiteral("The password could not be prepared: %1")
                          .arg(QString::fromUtf8(PQerrorMessage(conn)).trimmed()));
    const QString out = QString::fromLatin1(v);
    PQfreemem(v);
    return out;
}

} // namespace qv::ServerBook
