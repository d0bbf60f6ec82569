#include "tools/adminexport.h"

#include "reports/journalexport.h"
#include "reportengine/outputfile.h"
#include "db/tables.h"

#include <QFile>
#include <QTextStream>
#include <csignal>
#include <unistd.h>

namespace qv {

namespace {

QDate dateOption(const AdminArgs& a, const QString& name)
{
    const QString text = a.value(name);
    if (text.isEmpty())
        return {};
    const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        throw AdminArgs::Error{QStringLiteral("--%1 takes a date written yyyy-mm-dd, not \"%2\".").arg(name, text)};
    return d;
}

} // namespace

int adminExport(const AdminArgs& a)
{
    a.require({QStringLiteral("server"), QStringLiteral("user")});
    rpt::ExportOptions o;
    const QString format = a.value(QStringLiteral("format"), QStringLiteral("ledger"));
    if (format == QLatin1String("ledger"))
        o.format = rpt::ExportFormat::Ledger;
    else if (format == QLatin1String("csv"))
        o.format = rpt::ExportFormat::Csv;
    else
        throw AdminArgs::Error{QStringLiteral("--format is ledger or csv, not \"%1\".").arg(format)};
    o.from = dateOption(a, QStringLiteral("from"));
    o.to = dateOption(a, QStringLiteral("to"));
    if (o.from.isValid() && o.to.isValid() && o.from > o.to)
        throw AdminArgs::Error{QStringLiteral("--from is after --to.")};
    if (o.format == rpt::ExportFormat::Ledger)
        if (const QString problem = rpt::journalDateProblem(o); !problem.isEmpty())
            throw AdminArgs::Error{problem};
    if (a.positional.size() != 1)
        throw AdminArgs::Error{QStringLiteral("export writes to one file: give OUT (or - for standard output).")};
    const QString target = a.positional.first();
    const QString catalog = a.value(QStringLiteral("catalog"), QString::fromLatin1(qv::tbl::Catalog));
    // Before any work: the output never replaces the book it reads nor any other database.
    const DataSource ds = DataSource::parse(a.value(QStringLiteral("server")), catalog);
    QStringList inputs;
    if (ds.backend == Backend::Sqlite)
        inputs = rpt::bookFiles(ds.filePath);
    if (target != QLatin1String("-"))
        rpt::checkOutputPath(target, inputs);

    Connection c;
    c.setProperty(QStringLiteral("User ID"), a.value(QStringLiteral("user")));
    // A password left out is asked for, like every password of the tool.
    c.setProperty(QStringLiteral("Password"),
                  a.has(QStringLiteral("password"))
                      ? a.value(QStringLiteral("password"))
                      : a.secret(QStringLiteral("password"),
                                 QStringLiteral("Password of %1").arg(a.value(QStringLiteral("user")))));
    c.setProperty(QStringLiteral("Data Source"), a.value(QStringLiteral("server")));
    c.setProperty(QStringLiteral("Initial Catalog"), catalog);
    c.open();
    if (c.backend() == Backend::Sqlite)
        inputs << rpt::bookFiles(c.embeddedPath());

    // A long export says how far it got (on a terminal) and stops cleanly on Ctrl+C or a kill:
    // the file is then not written at all. A second Ctrl+C ends the program at once.
    static volatile std::sig_atomic_t stopAsked = 0;
    stopAsked = 0;
    struct sigaction ask = {}, oldInt = {}, oldTerm = {};
    ask.sa_handler = [](int) { stopAsked = 1; };
    ask.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &ask, &oldInt);
    sigaction(SIGTERM, &ask, &oldTerm);
    const bool terminal = isatty(STDERR_FILENO);
    o.progress = [terminal](qint64 rows) {
        if (terminal)
            QTextStream(stderr) << "\rExported " << rows << " detail rows..." << Qt::flush;
        return stopAsked == 0;
    };
    struct Restore {
        struct sigaction i, t;
        ~Restore()
        {
            sigaction(SIGINT, &i, nullptr);
            sigaction(SIGTERM, &t, nullptr);
        }
    } restore{oldInt, oldTerm};

    rpt::ExportStats st;
    if (target == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly))
            throw DbError(QStringLiteral("Standard output cannot be written."));
        st = rpt::exportJournal(c.reportConnection(), o, out);
    } else {
        // The file appears whole or not at all: a failure leaves no half-written journal, and a
        // device or a pipe is never replaced.
        rpt::OutputFile out(target, inputs);
        st = rpt::exportJournal(c.reportConnection(), o, out.device());
        out.commit();
    }
    QTextStream err(stderr);
    if (terminal && st.rows >= o.progressEvery)
        err << "\r";
    err << "Exported " << st.vouchers << " vouchers, " << st.rows << " detail rows"
        << (st.openings ? QStringLiteral(" and the openings of %1 accounts").arg(st.openings) : QString()) << ".\n";
    if (st.unbalanced)
        err << "Warning: " << st.unbalanced
            << " vouchers do not balance; their difference is posted to \"Equity:Unbalanced Vouchers\".\n";
    return 0;
}

} // namespace qv
