#include "tools/adminimport.h"

#include "db/connection.h"
#include "tools/admincommands.h"
#include "transfer/bookimport.h"

#include <QFileInfo>
#include <QTextStream>
#include <unistd.h>

namespace qv {

int adminImport(const AdminArgs& a)
{
    a.require({QStringLiteral("server"), QStringLiteral("user"), QStringLiteral("format")});
    imp::ImportOptions o;
    const QString format = a.value(QStringLiteral("format"));
    const auto f = imp::formatByName(format);
    if (!f)
        throw AdminArgs::Error{
            QStringLiteral("--format is accounts-csv, vouchers-csv or ledger, not \"%1\".").arg(format)};
    o.format = *f;
    o.renumber = a.flag(QStringLiteral("renumber"));
    o.skipExisting = a.flag(QStringLiteral("skip-existing"));
    o.mappingFile = a.value(QStringLiteral("mapping"));
    if (!o.mappingFile.isEmpty() && o.format != imp::Format::Ledger)
        throw AdminArgs::Error{QStringLiteral("--mapping places journal names: it goes with --format ledger.")};
    if (a.positional.size() != 1)
        throw AdminArgs::Error{QStringLiteral("import reads one file: give FILE.")};
    const QString file = a.positional.first();
    if (!QFileInfo(file).isFile())
        throw AdminArgs::Error{QStringLiteral("%1 is not a file.").arg(file)};

    Connection c;
    connectAs(a, c);
    QTextStream out(stdout), err(stderr);
    if (a.flag(QStringLiteral("dry-run"))) {
        const imp::ImportPlan plan = imp::planImport(c, file, o);
        for (const QString& line : plan.describe())
            out << line << "\n";
        out << "Nothing was written (--dry-run).\n";
        return 0;
    }
    const bool terminal = isatty(STDERR_FILENO);
    o.progress = [&err, terminal](qint64 done, qint64 total) {
        if (terminal)
            err << "\rImported " << done << " of " << total << " vouchers..." << Qt::flush;
        return true;
    };
    const imp::ImportResult r = imp::runImport(c, file, o, a.value(QStringLiteral("user")));
    if (terminal && r.vouchers >= o.progressEvery)
        err << "\r";
    err << "Imported " << r.accounts << " accounts and " << r.vouchers << " vouchers (" << r.plan.lines << " lines)";
    qint64 skipped = 0;
    for (qint64 s : r.plan.skipped)
        skipped += s;
    if (skipped)
        err << "; " << skipped << " vouchers in the book already were left out";
    err << ".\n";
    return 0;
}

} // namespace qv
