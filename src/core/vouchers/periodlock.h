#pragma once
// The book's locked period: vouchers dated on or before the locked-up-to date are final. Each
// move of the date is a row of its own (who, when, why), the last one in force; nothing locked
// when there is none or the last one is empty. The database guards the voucher rows itself
// (db/bookguards.h); this is the check that names the date and the manager's move.
#include "db/connection.h"

#include <QDate>
#include <optional>
#include <vector>

namespace qv {

struct PeriodLockMove {
    QDate until; // invalid: cleared
    QString by, at, reason;
};

class PeriodLock {
public:
    explicit PeriodLock(Connection& c)
        : m_c(c)
    {
    }

    std::optional<QDate> lockedUpTo();
    // Throws DbError (QV_LOCKED) naming the date when either date (an invalid one is no date)
    // is on or before the locked-up-to date.
    void check(const QDate& oldDate, const QDate& newDate);
    static QString refusal(const QDate& locked);
    // "Period locked up to dd-mm-yyyy" when a range starting on `from` (invalid: from the
    // beginning) touches the locked period; empty otherwise.
    QString reportLine(const QDate& from);
    // Moves the date (nullopt clears it). Managers only; moving it back or clearing it
    // (reopening) needs a reason. Throws DbError with a text fit for the user.
    void move(std::optional<QDate> until, const QString& reason, const QString& login);
    // Newest first.
    std::vector<PeriodLockMove> history();

    static inline const QString Locked = QStringLiteral("QV_LOCKED");

private:
    Connection& m_c;
};

} // namespace qv
