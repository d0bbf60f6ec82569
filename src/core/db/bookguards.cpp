#include "db/bookguards.h"

#include "db/sqlaudit.h"

namespace qv::BookGuards {

namespace {
// The advisory-lock keys of the chain ("QV", "AU"): appends take their turn.
constexpr int ChainLock = 0x5156, ChainKey = 0x4155;
// The date a row of each table carries; a stored time of day does not move it past the day.
const char* const Locked = "(SELECT LockedUpTo FROM PeriodLock ORDER BY RowID DESC LIMIT 1)";
const char* const Refusal = "The period is locked: a voucher dated on or before the locked-up-to date cannot be "
                            "saved, changed or deleted.";
} // namespace

QStringList sqliteTriggers()
{
    QStringList out;
    const QString locked = QLatin1String(Locked);
    auto day = [](const char* row) { return QStringLiteral("substr(%1.VouDate, 1, 10)").arg(QLatin1String(row)); };
    for (const char* table : {"MasJV", "DetJV"}) {
        const QString t = QLatin1String(table), lower = t.toLower();
        const QString raise = QStringLiteral(" BEGIN SELECT RAISE(ABORT, '%1'); END").arg(QLatin1String(Refusal));
        out << QStringLiteral("CREATE TRIGGER tr_%1_locked_insert BEFORE INSERT ON %2 WHEN %3 <= %4")
                       .arg(lower, t, day("NEW"), locked)
                   + raise
            << QStringLiteral("CREATE TRIGGER tr_%1_locked_update BEFORE UPDATE ON %2 WHEN %3 <= %5 OR %4 <= %5")
                       .arg(lower, t, day("OLD"), day("NEW"), locked)
                   + raise
            << QStringLiteral("CREATE TRIGGER tr_%1_locked_delete BEFORE DELETE ON %2 WHEN %3 <= %4")
                       .arg(lower, t, day("OLD"), locked)
                   + raise;
    }
    return out;
}

QString guardBody()
{
    return QStringLiteral(R"(declare
  locked date;
  refused boolean := false;
begin
  select LockedUpTo into locked from public.PeriodLock order by RowID desc limit 1;
  if locked is not null then
    if tg_op in ('UPDATE', 'DELETE') and OLD.VouDate::date <= locked then
      refused := true;
    end if;
    if tg_op in ('INSERT', 'UPDATE') and NEW.VouDate::date <= locked then
      refused := true;
    end if;
  end if;
  if refused then
    raise exception 'The period is locked up to %: a voucher dated on or before it cannot be saved, changed or deleted.',
      to_char(locked, 'DD-MM-YYYY') using errcode = 'QVLCK';
  end if;
  if tg_op = 'DELETE' then
    return OLD;
  end if;
  return NEW;
end)");
}

QString moveBody()
{
    return QStringLiteral(R"(declare
  was date;
begin
  select LockedUpTo into was from public.PeriodLock order by RowID desc limit 1;
  if was is not null and (until is null or until < was) and coalesce(btrim(reason), '') = '' then
    raise exception 'Reopening a locked period needs a reason.';
  end if;
  insert into public.PeriodLock (LockedUpTo, MovedBy, MovedAt, Reason)
    values (until, session_user, to_char(now() at time zone 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'),
            nullif(btrim(reason), ''));
end)");
}

QString appendBody()
{
    return QStringLiteral(R"(declare
  s bigint;
  prev text;
  t text;
  h text;
begin
  perform pg_advisory_xact_lock(%1, %2);
  select Seq, Hash into s, prev from public.AuditTrail order by Seq desc limit 1;
  s := coalesce(s, 0) + 1;
  prev := coalesce(prev, '');
  t := to_char(clock_timestamp() at time zone 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"');
  h := encode(sha256(convert_to(concat_ws(chr(31), prev, s::text, t, session_user::text, coalesce(host, ''),
         coalesce(action, ''), coalesce(tbl, ''), coalesce(rowkey, ''), coalesce(before, ''), coalesce(after, '')),
         'UTF8')), 'hex');
  insert into public.AuditTrail (Seq, At, Login, Host, Action, TableName, RowKey, Before, After, PrevHash, Hash)
    values (s, t, session_user, coalesce(host, ''), action, coalesce(tbl, ''), coalesce(rowkey, ''),
            coalesce(before, ''), coalesce(after, ''), prev, h);
  return h;
end)")
        .arg(ChainLock)
        .arg(ChainKey);
}

// The marks of transactions that have ended (below the oldest one running) are of no more use.
QString auditBody()
{
    return QStringLiteral(R"(begin
  if to_regclass('public.audittx') is not null then
    perform pg_advisory_xact_lock(%1, %2);
    delete from public.AuditTx where TxId < txid_snapshot_xmin(txid_current_snapshot());
    insert into public.AuditTx (TxId, Recorded, Skipped) values (txid_current(), 1, 0)
      on conflict (TxId) do update set Recorded = 1;
  end if;
  return public.qv_audit_append(action, tbl, rowkey, before, after, host);
end)")
        .arg(ChainLock)
        .arg(ChainKey);
}

namespace {
QList<QPair<QString, QString>> guardTriggerNames()
{
    return {{QStringLiteral("masjv"), QStringLiteral("qv_masjv_locked")},
            {QStringLiteral("detjv"), QStringLiteral("qv_detjv_locked")}};
}
} // namespace

QList<QPair<QString, QString>> serverTriggerNames()
{
    QList<QPair<QString, QString>> out = guardTriggerNames();
    out += SqlAudit::triggerNames();
    return out;
}

QStringList serverTriggers()
{
    QStringList out;
    for (const auto& [table, name] : guardTriggerNames())
        out << QStringLiteral("CREATE OR REPLACE TRIGGER %1 BEFORE INSERT OR UPDATE OR DELETE ON public.%2 FOR EACH "
                              "ROW EXECUTE FUNCTION public.qv_period_guard()")
                   .arg(name, table);
    return out;
}

QStringList serverGrants(const QString& users, const QString& keeper)
{
    return {QStringLiteral("GRANT SELECT ON PeriodLock TO %1").arg(users),
            QStringLiteral("REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON PeriodLock FROM %1").arg(users),
            QStringLiteral("GRANT SELECT, INSERT ON PeriodLock TO %1").arg(keeper),
            QStringLiteral("GRANT SELECT ON AuditTrail TO %1").arg(users),
            QStringLiteral("REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON AuditTrail FROM %1").arg(users),
            QStringLiteral("GRANT SELECT, INSERT ON AuditTrail TO %1").arg(keeper),
            QStringLiteral("GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO %1").arg(keeper)};
}

} // namespace qv::BookGuards
