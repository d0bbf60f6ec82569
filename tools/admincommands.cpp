#include "tools/admincommands.h"

#include "db/connection.h"
#include "db/tables.h"
#include "reports/reportcommand.h"
#include "tools/adminbackup.h"
#include "tools/adminbankimport.h"
#include "tools/admincheck.h"
#include "tools/adminclassify.h"
#include "tools/adminexport.h"
#include "tools/adminimport.h"
#include "tools/adminaudit.h"
#include "tools/adminlock.h"
#include "tools/adminupgrade.h"

namespace qv {

void connectAs(const AdminArgs& a, Connection& c)
{
    a.require({QStringLiteral("server"), QStringLiteral("user")});
    const QString user = a.value(QStringLiteral("user"));
    c.setProperty(QStringLiteral("User ID"), user);
    c.setProperty(QStringLiteral("Password"),
                  a.secret(QStringLiteral("password"), QStringLiteral("Password of %1").arg(user)));
    c.setProperty(QStringLiteral("Data Source"), a.value(QStringLiteral("server"), QStringLiteral(".")));
    c.setProperty(QStringLiteral("Initial Catalog"),
                  a.value(QStringLiteral("catalog"), QString::fromLatin1(tbl::Catalog)));
    c.open();
}

std::vector<AdminCommandDef> adminCommands()
{
    const QString server = QStringLiteral("server");
    return {
        {"report",
         {server, QStringLiteral("user"), QStringLiteral("password"), QStringLiteral("selection"),
          QStringLiteral("formula"), QStringLiteral("subreport"), QStringLiteral("exec"), QStringLiteral("pdf"),
          QStringLiteral("csv")},
         {},
         -1,
         [](const AdminArgs& a) {
             return rpt::reportCommand(a.positional, [&a](const QString& n) {
                 // A password left out is asked for, like every password of the tool.
                 if (n == QLatin1String("password") && !a.has(n))
                     return QStringList{a.secret(n, QStringLiteral("Password of %1").arg(a.value("user")))};
                 return a.values(n);
             });
         }},
        {"backup", {server, QStringLiteral("to")}, {}, 0, adminBackup},
        {"restore", {server, QStringLiteral("from")}, {}, 0, adminRestore},
        {"upgrade",
         {server, QStringLiteral("admin-user"), QStringLiteral("admin-password"), QStringLiteral("admin-database")},
         {},
         0,
         adminUpgrade},
        {"export",
         {server, QStringLiteral("user"), QStringLiteral("password"), QStringLiteral("format"), QStringLiteral("from"),
          QStringLiteral("to")},
         {},
         1,
         adminExport},
        {"import",
         {server, QStringLiteral("user"), QStringLiteral("password"), QStringLiteral("format"),
          QStringLiteral("mapping")},
         {QStringLiteral("dry-run"), QStringLiteral("renumber"), QStringLiteral("skip-existing")},
         1,
         adminImport},
        {"check",
         {server, QStringLiteral("user"), QStringLiteral("password"), QStringLiteral("admin-user"),
          QStringLiteral("admin-password")},
         {QStringLiteral("repair")},
         0,
         adminCheck},
        {"classify",
         {server, QStringLiteral("user"), QStringLiteral("password"), QStringLiteral("set"),
          QStringLiteral("start-month")},
         {},
         0,
         adminClassify},
        {"lock-period",
         {server, QStringLiteral("user"), QStringLiteral("password"), QStringLiteral("until"),
          QStringLiteral("reason")},
         {QStringLiteral("clear")},
         0,
         adminLockPeriod},
        {"audit",
         {server, QStringLiteral("user"), QStringLiteral("password"), QStringLiteral("head"), QStringLiteral("voucher"),
          QStringLiteral("account"), QStringLiteral("login"), QStringLiteral("from"), QStringLiteral("to")},
         {QStringLiteral("csv")},
         1,
         adminAudit},
        {"bank-import",
         {server, QStringLiteral("user"), QStringLiteral("password"), QStringLiteral("account"), QStringLiteral("csv"),
          QStringLiteral("days"), QStringLiteral("statement-date"), QStringLiteral("date-column"),
          QStringLiteral("description-column"), QStringLiteral("cheque-column"), QStringLiteral("debit-column"),
          QStringLiteral("credit-column"), QStringLiteral("balance-column")},
         {QStringLiteral("confirm")},
         0,
         adminBankImport},
    };
}

} // namespace qv
