#include "vouchers/periodlock.h"

#include "db/audittrail.h"
#include "db/logins.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

namespace qv {

namespace {
constexpr int ReasonWidth = 250;
QString shown(const QDate& d)
{
    return d.toString(QStringLiteral("dd-MM-yyyy"));
}
} // namespace

std::optional<QDate> PeriodLock::lockedUpTo()
{
    // Asked at every save: prepared once.
    QDate d;
    m_c.eachRow(QStringLiteral("select LockedUpTo from PeriodLock order by RowID desc limit 1"), {}, [&](QSqlQuery& q) {
        if (q.next())
            d = q.value(0).toDate();
    });
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

QString PeriodLock::refusal(const QDate& locked)
{
    return QStringLiteral("The period is locked up to %1: a voucher dated on or before it cannot be saved, changed, "
                          "renumbered or deleted, and no voucher can be moved onto or before it.")
        .arg(shown(locked));
}

void PeriodLock::check(const QDate& oldDate, const QDate& newDate)
{
    const auto locked = lockedUpTo();
    if (!locked)
        return;
    for (const QDate& d : {oldDate, newDate})
        if (d.isValid() && d <= *locked)
            throw DbError(refusal(*locked), Locked);
}

QString PeriodLock::reportLine(const QDate& from)
{
    const auto locked = lockedUpTo();
    if (!locked || (from.isValid() && from > *locked))
        return {};
    return QStringLiteral("Period locked up to %1").arg(shown(*locked));
}

void PeriodLock::move(std::optional<QDate> until, const QString& reason, const QString& login)
{
    const QString why = reason.trimmed();
    if (until && !until->isValid())
        throw DbError(QStringLiteral("Please type the date to lock the period up to."));
    if (why.size() > ReasonWidth)
        throw DbError(QStringLiteral("The reason is longer than %1 characters.").arg(ReasonWidth));
    const QVariant date = until ? QVariant(*until) : QVariant(QMetaType::fromType<QDate>());
    Transaction tx(m_c);
    const auto was = lockedUpTo();
    if (was && (!until || *until < *was) && why.isEmpty())
        throw DbError(QStringLiteral("Reopening the period locked up to %1 needs a reason.").arg(shown(*was)));
    if (!Logins::isManager(m_c, login))
        throw DbError(QStringLiteral("Only a manager of the book may move the locked period."));
    if (m_c.backend() == Backend::Postgres) {
        // The managers' function: the keeper alone writes the lock.
        m_c.scalar(QStringLiteral("select qv_set_period_lock(?, ?)"), {date, why});
    } else {
        m_c.execute(QStringLiteral("insert into PeriodLock (LockedUpTo, MovedBy, MovedAt, Reason) values (?, ?, ?, ?)"),
                    {date, login, QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
                     why.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(why)});
    }
    auto image = [](const std::optional<QDate>& d, const QString* reason) {
        QJsonObject o{{QStringLiteral("LockedUpTo"), d ? QJsonValue(d->toString(Qt::ISODate)) : QJsonValue()}};
        if (reason)
            o.insert(QStringLiteral("Reason"), *reason);
        return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
    };
    AuditTrail(m_c).append(QStringLiteral("period lock moved"), QStringLiteral("PeriodLock"), {},
                           was ? image(was, nullptr) : QString(), image(until, &why));
    tx.commit();
}

std::vector<PeriodLockMove> PeriodLock::history()
{
    std::vector<PeriodLockMove> out;
    QSqlQuery q =
        m_c.query(QStringLiteral("select LockedUpTo, MovedBy, MovedAt, Reason from PeriodLock order by RowID desc"));
    while (q.next())
        out.push_back({q.value(0).toDate(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()});
    return out;
}

} // namespace qv
