#pragma once
// What the database keeps about bank clearings, whoever writes the voucher lines. A line cleared
// in a finished reconciliation is neither changed nor deleted; a line that is only ticked loses
// its tick when its row is changed or deleted (the voucher store rewrites a changed voucher's
// lines, so a tick never passes to another line): the tick is marked lost with the voucher's key
// and leaves the line's key, which the embedded book may give to a new row. On a server the guard belongs to the book's
// keeper, and a finished clearing or reconciliation changes only through the keeper's functions.
#include <QPair>
#include <QString>
#include <QStringList>

namespace qv::ClearingGuards {

// The indexes (and on the embedded book the triggers) of the clearing tables, part of the DDL
// from the version that made them.
QStringList ddl(bool sqlite);

// On a server: the trigger functions (plpgsql bodies). %KEEPER% stands for the keeper's name as
// a quoted literal.
QString lineGuardBody();
QString clearingGuardBody();
// The managers' undo of a finished reconciliation: its clearings become ticks again and the
// reconciliation row goes; returns the reconciliation's row as JSON for the audit record.
QString undoBody();
inline constexpr const char* UndoSignature = "qv_undo_reconciliation(recon bigint)";
QStringList serverTriggers();
QList<QPair<QString, QString>> serverTriggerNames();
QStringList serverGrants(const QString& users, const QString& keeper);

inline constexpr const char* Refusal = "The voucher has a line cleared in a finished bank reconciliation: it cannot be "
                                       "changed or deleted until a manager undoes that reconciliation.";

} // namespace qv::ClearingGuards
