#include "db/clearingguards.h"

namespace qv::ClearingGuards {

namespace {
const char* const Finished = "EXISTS (SELECT 1 FROM BankClearing WHERE DetRowID = OLD.RowID AND ReconID IS NOT NULL)";
// The tick stays, marked lost with the voucher's key, until the reconciliation window has said so.
const char* const DropTick = "UPDATE BankClearing SET DetRowID = -RowID, LostFrom = OLD.VouStatus || '-' || "
                             "CAST(OLD.VouNo AS TEXT) WHERE DetRowID = OLD.RowID AND ReconID IS NULL;";
} // namespace

QStringList ddl(bool sqlite)
{
    QStringList out{QStringLiteral("CREATE UNIQUE INDEX ux_bankclearing_line ON BankClearing (DetRowID)"),
                    QStringLiteral("CREATE INDEX ix_bankclearing_account ON BankClearing (AcCode, ReconID)"),
                    QStringLiteral("CREATE INDEX ix_bankrecon_account ON BankRecon (AcCode, StmtDate)")};
    if (!sqlite)
        return out;
    const QString raise = QStringLiteral(" BEGIN SELECT RAISE(ABORT, '%1'); END").arg(QLatin1String(Refusal));
    for (const char* op : {"UPDATE", "DELETE"}) {
        const QString lower = QString::fromLatin1(op).toLower();
        out << QStringLiteral("CREATE TRIGGER tr_detjv_cleared_%1 BEFORE %2 ON DetJV WHEN %3")
                       .arg(lower, QLatin1String(op), QLatin1String(Finished))
                   + raise
            << QStringLiteral("CREATE TRIGGER tr_detjv_ticked_%1 AFTER %2 ON DetJV BEGIN %3 END")
                   .arg(lower, QLatin1String(op), QLatin1String(DropTick));
    }
    return out;
}

QString lineGuardBody()
{
    return QStringLiteral(R"(begin
  if exists (select 1 from public.BankClearing where DetRowID = OLD.RowID and ReconID is not null) then
    raise exception '%1' using errcode = 'QVREC';
  end if;
  update public.BankClearing set DetRowID = -RowID, LostFrom = OLD.VouStatus || '-' || CAST(OLD.VouNo AS text)
    where DetRowID = OLD.RowID and ReconID is null;
  if tg_op = 'DELETE' then
    return OLD;
  end if;
  return NEW;
end)")
        .arg(QLatin1String(Refusal));
}

QString clearingGuardBody()
{
    // Runs as whoever writes: only the keeper's functions reach a finished row.
    return QStringLiteral(R"(begin
  if current_user <> %KEEPER% then
    if tg_table_name = 'bankrecon' or OLD.ReconID is not null then
      raise exception 'A finished bank reconciliation changes only when a manager undoes it.' using errcode = 'QVREC';
    end if;
  end if;
  if tg_op = 'DELETE' then
    return OLD;
  end if;
  return NEW;
end)");
}

QString undoBody()
{
    return QStringLiteral(R"(declare
  r record;
  image text;
begin
  select * into r from public.BankRecon where RowID = recon;
  if not found then
    raise exception 'The reconciliation is not there (undone meanwhile?).';
  end if;
  if exists (select 1 from public.BankRecon where AcCode = r.AcCode and RowID > r.RowID) then
    raise exception 'Only the latest reconciliation of an account can be undone.';
  end if;
  image := row_to_json(r)::text;
  update public.BankClearing set ReconID = null where ReconID = recon;
  delete from public.BankRecon where RowID = recon;
  return image;
end)");
}

QList<QPair<QString, QString>> serverTriggerNames()
{
    return {{QStringLiteral("detjv"), QStringLiteral("qv_detjv_cleared")},
            {QStringLiteral("bankclearing"), QStringLiteral("qv_bankclearing_finished")},
            {QStringLiteral("bankrecon"), QStringLiteral("qv_bankrecon_finished")}};
}

QStringList serverTriggers()
{
    return {
        QStringLiteral("CREATE OR REPLACE TRIGGER qv_detjv_cleared BEFORE UPDATE OR DELETE ON public.detjv FOR EACH "
                       "ROW EXECUTE FUNCTION public.qv_line_guard()"),
        QStringLiteral("CREATE OR REPLACE TRIGGER qv_bankclearing_finished BEFORE UPDATE OR DELETE ON "
                       "public.bankclearing FOR EACH ROW EXECUTE FUNCTION public.qv_clearing_guard()"),
        QStringLiteral("CREATE OR REPLACE TRIGGER qv_bankrecon_finished BEFORE UPDATE OR DELETE ON public.bankrecon "
                       "FOR EACH ROW EXECUTE FUNCTION public.qv_clearing_guard()")};
}

QStringList serverGrants(const QString& users, const QString& keeper)
{
    // TRUNCATE passes no row trigger: nobody but the administrator has it.
    return {QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON BankClearing TO %1").arg(users),
            QStringLiteral("REVOKE TRUNCATE ON BankClearing FROM %1").arg(users),
            QStringLiteral("GRANT SELECT, INSERT ON BankRecon TO %1").arg(users),
            QStringLiteral("REVOKE UPDATE, DELETE, TRUNCATE ON BankRecon FROM %1").arg(users),
            QStringLiteral("GRANT SELECT, UPDATE, DELETE ON BankClearing TO %1").arg(keeper),
            QStringLiteral("GRANT SELECT, DELETE ON BankRecon TO %1").arg(keeper),
            QStringLiteral("GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO %1, %2").arg(users, keeper)};
}

} // namespace qv::ClearingGuards
