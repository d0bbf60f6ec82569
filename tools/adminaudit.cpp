#include "tools/adminaudit.h"

#include "db/audittrail.h"
#include "db/connection.h"
#include "tools/admincommands.h"

#include <QDate>
#include <QRegularExpression>
#include <QTextStream>

namespace qv {

namespace {
QDate dateOption(const AdminArgs& a, const QString& name)
{
    if (!a.has(name))
        return {};
    const QString text = a.value(name);
    QDate d = QDate::fromString(text, QStringLiteral("dd-MM-yyyy"));
    if (!d.isValid())
        d = QDate::fromString(text, Qt::ISODate);
    if (!d.isValid())
        throw AdminArgs::Error{QStringLiteral("--%1 \"%2\" is not a date (dd-mm-yyyy or yyyy-mm-dd).").arg(name, text)};
    return d;
}

QString csvField(const QString& t)
{
    if (!t.contains(QRegularExpression(QStringLiteral("[\",\r\n]"))))
        return t;
    return QLatin1Char('"') + QString(t).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

int verify(const AdminArgs& a, Connection& c)
{
    std::optional<AuditTrail::Head> printed;
    if (a.has(QStringLiteral("head"))) {
        const QStringList parts = a.value(QStringLiteral("head")).split(QLatin1Char(':'));
        bool ok = parts.size() == 2;
        const qint64 seq = ok ? parts[0].toLongLong(&ok) : 0;
        if (!ok || seq <= 0 || parts[1].size() != 64)
            throw AdminArgs::Error{QStringLiteral("--head takes SEQUENCE:HASH as a trial balance prints them.")};
        printed = AuditTrail::Head{seq, parts[1].toLower()};
    }
    AuditTrail trail(c);
    QTextStream out(stdout);
    if (const auto f = trail.verify(printed)) {
        out << "The audit trail is broken at record " << f->seq << ": " << f->what << ".\n";
        return 3;
    }
    const AuditTrail::Head h = trail.head();
    out << "The audit trail holds " << h.seq << " records, every link sound. Head: " << h.seq << ':' << h.hash << '\n';
    return 0;
}

int show(const AdminArgs& a, Connection& c)
{
    AuditFilter f;
    f.key = a.value(QStringLiteral("voucher")).toUpper();
    f.login = a.value(QStringLiteral("login"));
    f.from = dateOption(a, QStringLiteral("from"));
    f.to = dateOption(a, QStringLiteral("to"));
    if (a.has(QStringLiteral("account"))) {
        const QVariant id = c.scalar(QStringLiteral("select RowID from Accounts where AcNodes = ?"),
                                     {a.value(QStringLiteral("account"))});
        if (id.isNull())
            throw DbError(QStringLiteral("There is no account %1.").arg(a.value(QStringLiteral("account"))));
        f.account = id.toLongLong();
    }
    QTextStream out(stdout);
    const bool csv = a.flag(QStringLiteral("csv"));
    if (csv)
        out << "Seq,At,Login,Host,Action,Table,Key,Before,After,Hash\r\n";
    for (const AuditRecord& r : AuditTrail(c).records(f)) {
        if (csv) {
            QStringList row{
                QString::number(r.seq), r.at, r.login, r.host, r.action, r.table, r.key, r.before, r.after, r.hash};
            for (QString& x : row)
                x = csvField(x);
            out << row.join(QLatin1Char(',')) << "\r\n";
        } else {
            out << r.seq << "  " << r.at << "  " << r.login << '@' << r.host << "  " << r.action;
            if (!r.key.isEmpty())
                out << "  " << r.key;
            out << '\n';
            if (!r.before.isEmpty())
                out << "    before: " << r.before << '\n';
            if (!r.after.isEmpty())
                out << "    after:  " << r.after << '\n';
        }
    }
    return 0;
}
} // namespace

int adminAudit(const AdminArgs& a)
{
    const QString what = a.positional.value(0);
    if (what != QLatin1String("verify") && what != QLatin1String("show"))
        throw AdminArgs::Error{QStringLiteral("audit takes verify or show.")};
    Connection c;
    connectAs(a, c);
    return what == QLatin1String("verify") ? verify(a, c) : show(a, c);
}

} // namespace qv
