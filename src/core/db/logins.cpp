#include "db/logins.h"

#include "db/serverbook.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <sodium.h>

namespace qv::Logins {

namespace {
void initSodium()
{
    static const bool ok = sodium_init() >= 0;
    if (!ok)
        throw DbError(QStringLiteral("The password library could not start."));
}

// On a server the logins are changed only through the book's own functions (which make and
// drop plain logins of this book alone), and the password travels as a SCRAM verifier.
void callServer(Connection& c, const QString& function, const QVariantList& args)
{
    QStringList marks;
    for (int i = 0; i < args.size(); ++i)
        marks << QStringLiteral("?");
    try {
        c.scalar(QStringLiteral("select public.%1(%2)").arg(function, marks.join(QStringLiteral(", "))), args);
    } catch (const DbError& e) {
        if (e.sqlState() == QLatin1String("42501"))
            throw DbError(QStringLiteral("Only the login that manages this book may add, change or remove logins."),
                          e.sqlState());
        throw;
    }
}
} // namespace

std::optional<QString> decodeUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString passwordProblem(const QString& password)
{
    // U+FFFD is what undecodable bytes became somewhere on the way; a lone surrogate has no
    // UTF-8 form. Either would make different typed passwords hash alike.
    for (qsizetype i = 0; i < password.size(); ++i) {
        const QChar ch = password.at(i);
        if (ch.unicode() == 0xFFFD)
            return QStringLiteral("The password is not valid UTF-8 text; please type it again.");
        if (ch.isHighSurrogate() && i + 1 < password.size() && password.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (ch.isSurrogate())
            return QStringLiteral("The password is not valid UTF-8 text; please type it again.");
    }
    return {};
}

static QString hashProblem(const QString& hash)
{
    // $argon2id$v=19$m=65536,t=2,p=1$salt$digest; m in KiB.
    static const QRegularExpression re(
        QStringLiteral("^\\$argon2id\\$v=19\\$m=(\\d{1,10}),t=(\\d{1,10}),p=(\\d{1,3})\\$"));
    const auto m = re.match(hash);
    if (!m.hasMatch())
        return QStringLiteral("The stored password hash of this login is not one Quoravel makes; set the login's "
                              "password again.");
    const quint64 memKib = m.captured(1).toULongLong();
    const quint64 passes = m.captured(2).toULongLong();
    const quint64 lanes = m.captured(3).toULongLong();
    if (memKib * 1024 > crypto_pwhash_MEMLIMIT_INTERACTIVE || passes > crypto_pwhash_OPSLIMIT_INTERACTIVE || lanes != 1)
        return QStringLiteral("The stored password hash of this login asks for more work than Quoravel allows "
                              "(m=%1 KiB, t=%2); set the login's password again with quoravel-admin.")
            .arg(memKib)
            .arg(passes);
    return {};
}

QString hashPassword(const QString& password, HashCost cost)
{
    initSodium();
    if (const QString err = passwordProblem(password); !err.isEmpty())
        throw DbError(err);
    const QByteArray pw = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    const auto ops = cost == HashCost::Minimal ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
    const auto mem = cost == HashCost::Minimal ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
    if (crypto_pwhash_str_alg(out, pw.constData(), quint64(pw.size()), ops, mem, crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw DbError(QStringLiteral("The password could not be hashed (out of memory)."));
    return QString::fromLatin1(out);
}

bool verifyHash(const QString& hash, const QString& password)
{
    initSodium();
    // Refused before any work is spent: a planted hash must not tie up the station.
    if (const QString err = hashProblem(hash); !err.isEmpty())
        throw DbError(err);
    if (!passwordProblem(password).isEmpty())
        return false;
    const QByteArray h = hash.toLatin1();
    const QByteArray pw = password.toUtf8();
    return crypto_pwhash_str_verify(h.constData(), pw.constData(), quint64(pw.size())) == 0;
}

QString checkName(const QString& name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.-]{0,62}$"));
    if (name.isEmpty())
        return QStringLiteral("Please enter a user name.");
    if (!re.match(name).hasMatch())
        return QStringLiteral("A user name may hold letters, digits, '_', '.' and '-', begins with a letter or '_' "
                              "and has at most 63 characters.");
    return {};
}

bool verifyEmbedded(Connection& c, const QString& name, const QString& password)
{
    const QVariant h = c.scalar(QStringLiteral("select PwHash from Logins where UserName = ?"), {name});
    if (h.isNull()) {
        // Spend the same effort on an unknown name, so a wrong name and a wrong password look alike.
        static const QString dummy = hashPassword(QStringLiteral("x"), HashCost::Minimal);
        verifyHash(dummy, password);
        return false;
    }
    return verifyHash(h.toString(), password);
}

QStringList list(Connection& c)
{
    QStringList out;
    QSqlQuery q =
        c.backend() == Backend::Sqlite
            ? c.query(QStringLiteral("select UserName from Logins order by UserName"))
            : c.query(QStringLiteral("select r.rolname from pg_roles r join pg_auth_members m on m.member = r.oid "
                                     "join pg_roles g on g.oid = m.roleid where g.rolname = ? and r.rolcanlogin "
                                     "order by r.rolname"),
                      {ServerBook::rolesOf(c).users});
    while (q.next())
        out << q.value(0).toString();
    return out;
}

QStringList managers(Connection& c)
{
    if (c.backend() == Backend::Sqlite) {
        const QVariant first =
            c.scalar(QStringLiteral("select UserName from Logins where RowID = (select min(RowID) from Logins)"));
        return first.isNull() ? QStringList() : QStringList{first.toString()};
    }
    QStringList out;
    QSqlQuery q = c.query(QStringLiteral("select r.rolname from pg_roles r join pg_auth_members m on m.member = r.oid "
                                         "join pg_roles g on g.oid = m.roleid where g.rolname = ? and r.rolcanlogin "
                                         "order by r.rolname"),
                          {ServerBook::rolesOf(c).admins});
    while (q.next())
        out << q.value(0).toString();
    return out;
}

bool isManager(Connection& c, const QString& name)
{
    return managers(c).contains(name);
}

QString managerRemovalRefusal(const QString& name)
{
    return QStringLiteral("\"%1\" manages this book and cannot be removed.").arg(name);
}

QString managerPasswordRefusal(const QString& name)
{
    return QStringLiteral("Only \"%1\" may change its own password: it manages this book.").arg(name);
}

void add(Connection& c, const QString& name, const QString& password, HashCost cost)
{
    if (const QString err = checkName(name); !err.isEmpty())
        throw DbError(err);
    if (password.isEmpty())
        throw DbError(QStringLiteral("Please enter a password."));
    if (c.backend() == Backend::Sqlite) {
        if (c.scalar(QStringLiteral("select count(*) from Logins where UserName = ?"), {name}).toInt() > 0)
            throw DbError(QStringLiteral("The user name \"%1\" is already taken.").arg(name));
        c.execute(QStringLiteral("insert into Logins (UserName, PwHash) values (?, ?)"),
                  {name, hashPassword(password, cost)});
        return;
    }
    ServerBook::checkLoginName(name);
    if (c.scalar(QStringLiteral("select count(*) from pg_roles where rolname = ?"), {name}).toInt() > 0)
        throw DbError(QStringLiteral("The user name \"%1\" is already taken.").arg(name));
    callServer(c, QStringLiteral("qv_add_login"), {name, ServerBook::scramVerifier(c, name, password)});
}

void setPassword(Connection& c, const QString& name, const QString& password, HashCost cost)
{
    if (password.isEmpty())
        throw DbError(QStringLiteral("Please enter a password."));
    // A login's own connection names it; an administrator's unchecked one on the embedded file
    // names nobody. (On a server the book's function holds to the same rule.)
    const QString by = c.userName();
    if (!by.isEmpty() && by != name && isManager(c, name))
        throw DbError(managerPasswordRefusal(name));
    if (c.backend() == Backend::Sqlite) {
        if (c.execute(QStringLiteral("update Logins set PwHash = ? where UserName = ?"),
                      {hashPassword(password, cost), name})
            != 1)
            throw DbError(QStringLiteral("There is no user \"%1\".").arg(name));
        return;
    }
    callServer(c, QStringLiteral("qv_set_login_password"), {name, ServerBook::scramVerifier(c, name, password)});
}

void remove(Connection& c, const QString& name)
{
    if (c.backend() == Backend::Sqlite) {
        // One statement: the first login is spared even when another station removes at once.
        if (c.execute(QStringLiteral("delete from Logins where UserName = ? and RowID > (select min(RowID) from "
                                     "Logins)"),
                      {name})
            == 1)
            return;
        if (isManager(c, name))
            throw DbError(managerRemovalRefusal(name));
        throw DbError(QStringLiteral("There is no user \"%1\".").arg(name));
    }
    if (isManager(c, name))
        throw DbError(managerRemovalRefusal(name));
    callServer(c, QStringLiteral("qv_drop_login"), {name});
}

} // namespace qv::Logins
