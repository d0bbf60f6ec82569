#include "tools/adminlock.h"

#include "db/connection.h"
#include "tools/admincommands.h"
#include "vouchers/periodlock.h"

#include <QDate>
#include <QTextStream>

namespace qv {

int adminLockPeriod(const AdminArgs& a)
{
    const bool clear = a.flag(QStringLiteral("clear"));
    if (clear == a.has(QStringLiteral("until")))
        throw AdminArgs::Error{QStringLiteral("lock-period needs either --until DATE or --clear.")};
    std::optional<QDate> until;
    if (!clear) {
        const QString text = a.value(QStringLiteral("until"));
        QDate d = QDate::fromString(text, QStringLiteral("dd-MM-yyyy"));
        if (!d.isValid())
            d = QDate::fromString(text, Qt::ISODate);
        if (!d.isValid())
            throw AdminArgs::Error{QStringLiteral("\"%1\" is not a date (dd-mm-yyyy or yyyy-mm-dd).").arg(text)};
        until = d;
    }
    Connection c;
    connectAs(a, c);
    PeriodLock lock(c);
    lock.move(until, a.value(QStringLiteral("reason")), a.value(QStringLiteral("user")));
    QTextStream out(stdout);
    if (until)
        out << "The period is locked up to " << until->toString(QStringLiteral("dd-MM-yyyy")) << ".\n";
    else
        out << "No period is locked.\n";
    return 0;
}

} // namespace qv
