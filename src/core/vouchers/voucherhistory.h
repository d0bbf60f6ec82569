#pragma once
// A voucher's history as its window shows it: the audit records of the voucher (who, when, from
// which station, what), each with what it changed, line by line.
#include "db/audittrail.h"

#include <QStringList>
#include <vector>

namespace qv {

struct HistoryEntry {
    AuditRecord record;
    QStringList changes; // "Date: 2026-03-02 -> 2026-03-05", "- line ...", "+ line ..."
};

// The records of the voucher `kind`-`number`, oldest first.
std::vector<HistoryEntry> voucherHistory(Connection& c, const QString& kind, qint64 number);
// What turned the image `before` into `after` (either may be empty: saved, deleted).
QStringList voucherDifferences(const QString& before, const QString& after);

} // namespace qv
