#include "tools/adminupgrade.h"

#include "db/datasource.h"
#include "db/schema.h"
#include "db/serverbook.h"
#include "db/tables.h"

#include <QTextStream>

namespace qv {

int adminUpgrade(const AdminArgs& a)
{
    a.require({QStringLiteral("server")});
    const QString catalog = a.value(QStringLiteral("catalog"), QString::fromLatin1(qv::tbl::Catalog));
    const DataSource ds = DataSource::parse(a.value(QStringLiteral("server")), catalog);
    QTextStream out(stdout);
    Connection c;
    if (ds.backend == Backend::Sqlite)
        c.openFileUnchecked(ds.filePath, false);
    else {
        // Logins hold no DDL right: the upgrade runs as the server's administrator.
        const QString adminUser = a.value(QStringLiteral("admin-user"), QStringLiteral("postgres"));
        c.openServerUnchecked(ds, catalog, adminUser, a.adminPassword(adminUser));
    }
    const int from = Schema::version(c);
    if (from == 0)
        throw DbError(QStringLiteral("The database holds no Quoravel book; nothing was changed."));
    if (from == Schema::CurrentVersion) {
        // A server book of the current version may still hold the login functions of an older
        // program: they are made again as this one has them.
        if (ds.backend == Backend::Postgres) {
            Transaction tx(c);
            const bool renewed = ServerBook::installFunctions(c, ServerBook::rolesOf(c));
            tx.commit();
            if (renewed)
                out << "Renewed the book's login functions.\n";
        }
        out << "The book is up to date (schema version " << from << ").\n";
        return 0;
    }
    if (ds.backend == Backend::Sqlite) {
        const QString saved = Schema::upgradeEmbedded(c);
        out << "Backed up the book to " << saved << " (checked).\n";
    } else {
        Schema::migrate(c);
    }
    out << "Upgraded the book from schema version " << from << " to " << Schema::CurrentVersion << ".\n";
    return 0;
}

} // namespace qv
