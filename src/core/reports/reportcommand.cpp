#include "reports/reportcommand.h"

#include "db/audittrail.h"
#include "vouchers/periodlock.h"
#include "reportengine/outputfile.h"
#include "reports/procedures.h"
#include "reportengine/report.h"
#include "reportengine/reporterror.h"
#include "db/tables.h"
#include "session/book.h"

#include <QDir>
#include <QFileInfo>

namespace qv::rpt {

namespace {

struct Usage {
    QString text;
};

QString one(const OptionValues& values, const QString& name, bool required)
{
    const QStringList v = values(name);
    if (v.isEmpty() && required)
        throw Usage{QStringLiteral("the option --%1 is missing.").arg(name)};
    return v.isEmpty() ? QString() : v.last();
}

QPair<QString, QString> nameAndText(const QString& option, const QString& arg)
{
    const int eq = int(arg.indexOf(QLatin1Char('=')));
    if (eq <= 0)
        throw Usage{QStringLiteral("--%1 is written NAME=TEXT, not \"%2\".").arg(option, arg)};
    return {arg.left(eq).trimmed(), arg.mid(eq + 1)};
}

// A template named without a folder is looked for where the windows look for theirs (beside the
// program, then the installed templates), never in the current folder, where anyone could have
// put one. A name with a folder ("./x.rpt", "/srv/x.rpt") is the file it names.
QString findTemplate(const QString& name, const QStringList& folders)
{
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QFileInfo(name).absoluteFilePath();
    for (const QString& folder : folders)
        for (const QString& n : {name, name + QStringLiteral(".rpt")})
            if (QFileInfo(QDir(folder).filePath(n)).isFile())
                return QDir(folder).filePath(n);
    return QDir(folders.first()).filePath(name); // OpenReport names it in its error
}

// The data preparations, parsed before anything is opened: only the documented `exec` forms, each
// over a range that runs forwards (the launcher passes its dates on as they are; a command line
// that names a reversed range is a mistake worth saying).
QList<ProcedureCall> preparations(const QStringList& statements)
{
    QList<ProcedureCall> calls;
    for (const QString& s : statements) {
        ProcedureCall call;
        try {
            call = parseExec(s);
        } catch (const DbError& e) {
            throw Usage{QStringLiteral("--exec takes only the data preparations exec AcLedger, DetailAcLedger, "
                                       "TrialBalance, TrialBalance3, BalanceSheet, ProfitLoss, PartyStatement, "
                                       "Ageing and BankRecStatement with their arguments. %1 Nothing was run.")
                            .arg(e.description())};
        }
        if (call.from > call.to)
            throw Usage{QStringLiteral("--exec \"%1\" names a reversed range: %2 is after %3. Give the first date "
                                       "first; nothing was run.")
                            .arg(s.trimmed(), call.from.toString(Qt::ISODate), call.to.toString(Qt::ISODate))};
        calls << call;
    }
    return calls;
}

// A formula field's text as typed on a command line: quoted already, or quoted here.
QString asTextLiteral(const QString& text)
{
    try {
        formulaFieldText(text);
        return text;
    } catch (const ReportError&) {
        return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    }
}

} // namespace

int reportCommand(const QStringList& positional, const OptionValues& values, QTextStream& out, QTextStream& err)
{
    Book book;
    Connection& conn = book.connection();
    try {
        if (positional.size() != 1)
            throw Usage{QStringLiteral("report needs exactly one TEMPLATE.")};
        const QString pdf = one(values, QStringLiteral("pdf"), false);
        const QString csv = one(values, QStringLiteral("csv"), false);
        if (pdf.isEmpty() && csv.isEmpty())
            throw Usage{QStringLiteral("report needs --pdf FILE or --csv FILE.")};
        const QList<ProcedureCall> prepare = preparations(values(QStringLiteral("exec")));
        const QString templ = findTemplate(positional.first(), book.templateFolders());
        const QString catalog = one(values, QStringLiteral("catalog"), false);
        const QString server = one(values, QStringLiteral("server"), true);
        // Before any work: a report never replaces a device, a pipe, a folder, a database or a
        // file it is made from.
        QStringList inputs{templ};
        const DataSource ds =
            DataSource::parse(server, catalog.isEmpty() ? QString::fromLatin1(tbl::Catalog) : catalog);
        if (ds.backend == Backend::Sqlite)
            inputs << bookFiles(ds.filePath);
        for (const QString& path : {pdf, csv})
            if (!path.isEmpty())
                checkOutputPath(path, inputs);
        conn.setProperty(QStringLiteral("User ID"), one(values, QStringLiteral("user"), true));
        conn.setProperty(QStringLiteral("Password"), one(values, QStringLiteral("password"), true));
        conn.setProperty(QStringLiteral("Data Source"), server);
        conn.setProperty(QStringLiteral("Initial Catalog"),
                         catalog.isEmpty() ? QString::fromLatin1(tbl::Catalog) : catalog);
        QList<QPair<QString, QString>> formulas, subreports;
        for (const QString& f : values(QStringLiteral("formula")))
            formulas << nameAndText(QStringLiteral("formula"), f);
        for (const QString& s : values(QStringLiteral("subreport")))
            subreports << nameAndText(QStringLiteral("subreport"), s);

        conn.open();
        if (conn.backend() == Backend::Sqlite)
            inputs << bookFiles(conn.embeddedPath());
        book.user = conn.property(QStringLiteral("User ID"));
        book.password = conn.property(QStringLiteral("Password"));
        Application app(book.templateFolders());
        std::shared_ptr<Report> report = app.OpenReport(templ);
        // The launcher's order: the template is open, then its data is prepared, in the order
        // given, into the work tables of the session the report reads, by the procedures' own
        // code (the parsed calls; no typed text reaches the database), as the program runs them.
        for (const ProcedureCall& call : prepare) {
            const Preparation p = preparation(call);
            conn.prepare(p.statement, p.run);
        }
        ReportTable& table = report->Database().Tables(1);
        table.ConnectionProperties(QStringLiteral("User ID")).setValue(book.user);
        table.ConnectionProperties(QStringLiteral("Password")).setValue(book.password);
        report->setRecordSelectionFormula(one(values, QStringLiteral("selection"), false));
        // As the launcher does: a prepared range that reaches into the locked period says so, and
        // a trial balance prints the audit trail's head (unless given on the command line).
        auto given = [&formulas](const QString& name) {
            for (const auto& f : formulas)
                if (f.first.compare(name, Qt::CaseInsensitive) == 0)
                    return true;
            return false;
        };
        const QList<QPair<QString, QString>> derived = {
            {QStringLiteral("Locked"),
             prepare.isEmpty() ? QString() : PeriodLock(conn).reportLine(prepare.first().from)},
            {QStringLiteral("AuditHead"), AuditTrail(conn).headLine()}};
        for (const auto& [name, text] : derived)
            if (!given(name))
                try {
                    report->FormulaFields().byName(name).setText(QLatin1Char('"') + text + QLatin1Char('"'));
                } catch (const ReportError&) { // a template without that line
                }
        for (const auto& [name, text] : formulas)
            report->FormulaFields().byName(name).setText(asTextLiteral(text));
        for (const auto& [name, formula] : subreports)
            report->OpenSubreport(name).setRecordSelectionFormula(formula);
        // Work tables just prepared live on this session; a report without them may read on a
        // standby.
        report->setMayReadStandby(values(QStringLiteral("exec")).isEmpty());
        const std::shared_ptr<const Document> doc = report->run(conn);
        if (!pdf.isEmpty()) {
            doc->writePdf(pdf, inputs);
            out << "Wrote " << doc->pageCount() << (doc->pageCount() == 1 ? " page" : " pages") << " to " << pdf
                << ".\n";
        }
        if (!csv.isEmpty()) {
            doc->writeCsv(csv, inputs);
            out << "Wrote " << doc->detailRows << " rows to " << csv << ".\n";
        }
        out.flush();
        conn.close();
        if (out.status() != QTextStream::Ok) {
            err << "quoravel-admin: the report was written, but its message could not be written to standard "
                   "output.\n";
            err.flush();
            return 1;
        }
        return 0;
    } catch (const Usage& u) {
        err << "quoravel-admin: " << u.text << "\nSee quoravel-admin --help.\n";
        err.flush();
        return 2;
    } catch (const DbError& e) {
        conn.close();
        err << "quoravel-admin: " << e.description() << "\n";
        err.flush();
        return 1;
    }
}

int reportCommand(const QStringList& positional, const OptionValues& values)
{
    QTextStream out(stdout), err(stderr);
    return reportCommand(positional, values, out, err);
}

} // namespace qv::rpt
