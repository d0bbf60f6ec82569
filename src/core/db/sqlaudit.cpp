#include "db/sqlaudit.h"

#include "db/schema.h"
#include "db/tables.h"

#include <algorithm>

namespace qv::SqlAudit {

namespace {
// A row as compact JSON under the columns' own names in Qt's key order, the way the program
// writes its images (amounts as texts, dates as ISO days), so that both read alike.
QString image(const TableDef& t, const QString& row)
{
    std::vector<ColumnDef> cols(t.columns.begin(), t.columns.end());
    std::sort(cols.begin(), cols.end(), [](const ColumnDef& a, const ColumnDef& b) {
        return QString::fromLatin1(a.name) < QString::fromLatin1(b.name);
    });
    QStringList parts;
    for (const ColumnDef& col : cols) {
        const QString v = QStringLiteral("%1.%2").arg(row, QLatin1String(col.name));
        QString value = v;
        if (col.kind == ColKind::Amount)
            value = v + QStringLiteral("::text");
        else if (col.kind == ColKind::Date)
            value = QStringLiteral("to_char(%1, 'YYYY-MM-DD')").arg(v);
        parts << QStringLiteral("'%1\"%2\":' || coalesce(to_json(%3)::text, 'null')")
                     .arg(parts.isEmpty() ? QStringLiteral("{") : QStringLiteral(","), QLatin1String(col.name), value);
    }
    return parts.join(QStringLiteral(" || ")) + QStringLiteral(" || '}'");
}

// The key the program's own records give a row: "JV-12" for a voucher's rows.
QString key(const TableDef& t, const QString& row)
{
    const QString name = QLatin1String(t.name);
    if (name == QLatin1String(tbl::MasJV) || name == QLatin1String(tbl::DetJV))
        return QStringLiteral("%1.VouStatus || '-' || %1.VouNo").arg(row);
    if (name == QLatin1String(tbl::Accounts) || name == QLatin1String(tbl::Company))
        return QStringLiteral("%1.%2::text").arg(row, QLatin1String(t.key));
    return QStringLiteral("''");
}

// A declared transaction's statement is left to the writer's own record; that it wrote rows is
// noted for the look at its commit.
const char* const Declared = R"(  select Skipped into skip from public.AuditTx where TxId = txid_current();
  if found then
    if skip = 0 and exists (select 1 from %1) then
      update public.AuditTx set Skipped = 1 where TxId = txid_current();
    end if;
    return null;
  end if;
)";

const char* const Host = "coalesce(host(inet_client_addr()), 'local')";

// One function a kind of statement; the rows come from the statement's transition tables.
QString statementBody(const QString& op)
{
    QString branches;
    for (const QString& table : recordedTables()) {
        const TableDef& t = *Schema::findTable(table);
        QString select;
        if (op == QLatin1String("insert"))
            select = QStringLiteral("select %1 as k, '' as b, %2 as a from newrows n")
                         .arg(key(t, QStringLiteral("n")), image(t, QStringLiteral("n")));
        else if (op == QLatin1String("delete"))
            select = QStringLiteral("select %1 as k, %2 as b, '' as a from oldrows o")
                         .arg(key(t, QStringLiteral("o")), image(t, QStringLiteral("o")));
        else
            select = QStringLiteral("select coalesce(%1, %2) as k, coalesce(%3, '') as b, coalesce(%4, '') as a "
                                    "from oldrows o full join newrows n on o.%5 = n.%5")
                         .arg(key(t, QStringLiteral("n")), key(t, QStringLiteral("o")), image(t, QStringLiteral("o")),
                              image(t, QStringLiteral("n")), QLatin1String(t.key));
        branches += QStringLiteral("  %1 tg_table_name = '%2' then\n"
                                   "    for r in %3 loop\n"
                                   "      perform public.qv_audit_append('sql %4', '%5', coalesce(r.k, ''), r.b, r.a, "
                                   "%6);\n"
                                   "    end loop;\n")
                        .arg(branches.isEmpty() ? QStringLiteral("if") : QStringLiteral("elsif"), table.toLower(),
                             select, op, table, QLatin1String(Host));
    }
    const QString written = op == QLatin1String("insert") ? QStringLiteral("newrows") : QStringLiteral("oldrows");
    return QStringLiteral("declare\n  skip smallint;\n  r record;\nbegin\n")
           + QString::fromLatin1(Declared).arg(written) + branches + QStringLiteral("  end if;\n  return null;\nend");
}
} // namespace

QStringList recordedTables()
{
    return {QLatin1String(tbl::MasJV),   QLatin1String(tbl::DetJV),      QLatin1String(tbl::Accounts),
            QLatin1String(tbl::Company), QLatin1String(tbl::VouSetting), QLatin1String(tbl::Menus)};
}

QList<Function> functions()
{
    QList<Function> out = {
        {QLatin1String(IntentSignature), QStringLiteral("void"),
         QStringLiteral("begin\n  insert into public.AuditTx (TxId, Recorded, Skipped) values (txid_current(), 0, 0)\n"
                        "    on conflict do nothing;\nend"),
         true},
        // At the commit of a declared transaction: rows written and no record made.
        {QStringLiteral("qv_audit_unrecorded()"), QStringLiteral("trigger"),
         QStringLiteral("begin\n  if exists (select 1 from public.AuditTx where TxId = NEW.TxId and Recorded = 0 and "
                        "Skipped = 1) then\n"
                        "    perform public.qv_audit_append('changes unrecorded', '', '', '', '', %1);\n  end if;\n"
                        "  return null;\nend")
             .arg(QLatin1String(Host)),
         false}};
    for (const char* op : {"insert", "update", "delete"})
        out.append({QStringLiteral("qv_audit_sql_%1()").arg(QLatin1String(op)), QStringLiteral("trigger"),
                    statementBody(QLatin1String(op)), false});
    return out;
}

QStringList triggers()
{
    QStringList out;
    for (const QString& table : recordedTables())
        for (const char* op : {"insert", "update", "delete"}) {
            const QString o = QLatin1String(op);
            const QString refs = o == QLatin1String("insert") ? QStringLiteral("NEW TABLE AS newrows")
                                 : o == QLatin1String("delete")
                                     ? QStringLiteral("OLD TABLE AS oldrows")
                                     : QStringLiteral("OLD TABLE AS oldrows NEW TABLE AS newrows");
            out << QStringLiteral(
                       "CREATE OR REPLACE TRIGGER qv_%1_sql_%2 AFTER %3 ON public.%4 REFERENCING %5 FOR EACH "
                       "STATEMENT EXECUTE FUNCTION public.qv_audit_sql_%2()")
                       .arg(table.toLower(), o, o.toUpper(), table, refs);
        }
    // A constraint trigger is not replaced in place.
    out << QStringLiteral("DROP TRIGGER IF EXISTS qv_audittx_unrecorded ON public.AuditTx")
        << QStringLiteral("CREATE CONSTRAINT TRIGGER qv_audittx_unrecorded AFTER INSERT ON public.AuditTx DEFERRABLE "
                          "INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION public.qv_audit_unrecorded()");
    return out;
}

QList<QPair<QString, QString>> triggerNames()
{
    QList<QPair<QString, QString>> out;
    for (const QString& table : recordedTables())
        for (const char* op : {"insert", "update", "delete"})
            out.append({table.toLower(), QStringLiteral("qv_%1_sql_%2").arg(table.toLower(), QLatin1String(op))});
    out.append({QStringLiteral("audittx"), QStringLiteral("qv_audittx_unrecorded")});
    return out;
}

QString markStatement()
{
    return QStringLiteral("insert into AuditTx (TxId, Recorded, Skipped) values (txid_current(), 1, 0) on conflict "
                          "(TxId) do update set Recorded = 1");
}

QStringList markGrants(const QString& users, const QString& keeper)
{
    return {QStringLiteral("REVOKE ALL ON %1 FROM %2").arg(QLatin1String(MarkTable), users),
            QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON %1 TO %2").arg(QLatin1String(MarkTable), keeper)};
}

} // namespace qv::SqlAudit
