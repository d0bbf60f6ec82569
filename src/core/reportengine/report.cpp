#include "report.h"

#include "db/connection.h"
#include "reportengine/docpages_p.h"
#include "reportengine/layout.h"
#include "reportengine/reportdata.h"
#include "reportengine/reporterror.h"
#include "reportengine/reportjob.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>

namespace qv::rpt {

ConnectionProperty& ReportTable::ConnectionProperties(const QString& name)
{
    if (name.compare(m_user.name(), Qt::CaseInsensitive) == 0)
        return m_user;
    if (name.compare(m_password.name(), Qt::CaseInsensitive) == 0)
        return m_password;
    throw ReportError(
        QStringLiteral("The report's table has no connection property \"%1\"; it takes \"User ID\" and \"Password\".")
            .arg(name));
}

ReportTable& ReportDatabase::Tables(int index)
{
    if (index != 1)
        throw ReportError(QStringLiteral("The report's logon is on its table 1, not on table %1.").arg(index));
    return m_first;
}

void FormulaFieldDefinition::setText(const QString& formula)
{
    try {
        m_value = formulaFieldText(formula);
    } catch (const ReportError& e) {
        throw ReportError(QStringLiteral("The formula field %1: %2").arg(m_name, e.description()));
    }
    m_text = formula;
}

void FormulaFieldDefinition::setValue(const QString& shown)
{
    m_text = QLatin1Char('"') + QString(shown).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    m_value = shown;
}

QString FormulaFieldDefinition::shown() const
{
    return m_value ? *m_value : formulaFieldText(m_text);
}

FormulaFieldDefinition& FormulaFieldDefinitions::byName(const QString& name)
{
    for (FormulaFieldDefinition& f : m_items)
        if (f.Name().compare(name, Qt::CaseInsensitive) == 0)
            return f;
    throw ReportError(QStringLiteral("The report has no formula field \"%1\".").arg(name));
}

void Subreport::setRecordSelectionFormula(const QString& text)
{
    m_formula = Formula::parse(text, m_section->fields);
}

void Subreport::setSelection(const Selection& selection)
{
    m_formula = Formula::of(selection, m_section->fields);
}

Report::Report(Template t)
    : m_template(std::move(t))
{
    for (const FormulaDef& f : m_template.formulas)
        m_formulas.add(FormulaFieldDefinition(f.name, f.text));
    for (const Section& s : m_template.subreports)
        m_subreports.push_back(Subreport(&s));
}

void Report::setRecordSelectionFormula(const QString& text)
{
    m_selection = Formula::parse(text, m_template.main.fields);
}

void Report::setSelection(const Selection& selection)
{
    m_selection = Formula::of(selection, m_template.main.fields);
}

Subreport& Report::OpenSubreport(const QString& name)
{
    for (Subreport& s : m_subreports)
        if (s.Name().compare(name, Qt::CaseInsensitive) == 0)
            return s;
    throw ReportError(QStringLiteral("The report has no subreport \"%1\".").arg(name));
}

std::shared_ptr<const Document> Report::run(Connection& conn)
{
    start(conn)->finish();
    return m_document;
}

std::unique_ptr<ReportJob> Report::start(Connection& conn)
{
    ReportJob::stopAll(); // a job still reading this connection would see it change
    if (!conn.isOpen())
        throw ReportError(QStringLiteral("The report cannot be read: the program is not connected to a database."));
    ReportTable& table = m_database.Tables(1);
    const QString user = table.ConnectionProperties(QStringLiteral("User ID")).value();
    const QString password = table.ConnectionProperties(QStringLiteral("Password")).value();
    // The logon decides the login: the given connection when it is the same one, otherwise a
    // connection of the report's own. On a server, a report that needs none of the session's
    // work tables also reads through a session of its own, so that its rows can keep coming
    // while the program's connection serves the user. So does one that may read a standby when
    // no standby is named: it would otherwise read the program's connection, which a viewer
    // must read to the end before it waits for the user.
    const bool otherLogon =
        !user.isEmpty()
        && (user != conn.property(QStringLiteral("User ID")) || password != conn.property(QStringLiteral("Password")));
    std::unique_ptr<ReportJob> job(new ReportJob(*this));
    Connection* c = m_standby ? &conn.reportConnection() : &conn;
    const bool reader =
        c == &conn && !otherLogon && conn.backend() == Backend::Postgres && !readsSessionTables(conn, m_template);
    if (otherLogon || reader) {
        auto own = std::make_unique<Connection>();
        for (const char* p : {"User ID", "Password", "Data Source", "Initial Catalog"})
            own->setProperty(QLatin1String(p), conn.property(QLatin1String(p)));
        if (otherLogon) {
            own->setProperty(QStringLiteral("User ID"), user);
            own->setProperty(QStringLiteral("Password"), password);
        }
        try {
            own->open();
            own->setStatementHook(conn.statementHook()); // whoever watches the book's statements sees these too
            job->m_own = std::move(own);
            c = job->m_own.get();
        } catch (const DbError&) {
            // A session of its own is only faster: without one (the server may allow no more
            // connections) the report reads through the program's connection.
            if (otherLogon)
                throw;
        }
    }
    auto inputs = std::make_shared<LayoutInputs>();
    inputs->templ = m_template;
    RunContext& ctx = inputs->ctx;
    ctx.printed = QDateTime::currentDateTime();
    for (int i = 0; i < m_formulas.count(); ++i)
        ctx.formulaTexts << m_formulas.item(i).shown();
    try {
        // The data preparation (exec ...) ran before: from here on the report only reads.
        auto readOnly = std::make_unique<ReadOnlyScope>(*c);
        ctx.company = readActiveCompany(*c);
        for (int i = 0; i < m_subreports.size(); ++i) {
            QueryRows rows(*c, m_template.subreports[i], m_subreports[i].formula());
            QVector<Row> all;
            Row r;
            while (rows.next(r))
                all.push_back(r);
            ctx.subreportRows.push_back(std::move(all));
        }
        job->m_conn = c;
        job->m_rows = std::make_unique<QueryRows>(*c, m_template.main, m_selection);
        job->m_spooled = std::make_unique<SpooledRows>(std::make_shared<RowSpool>(), 0, job->m_rows.get());
        job->m_layout = std::make_unique<Layout>(std::shared_ptr<const LayoutInputs>(inputs));
        job->m_layout->begin(*job->m_spooled);
        if (c->backend() == Backend::Postgres)
            job->m_readOnly = std::move(readOnly);
    } catch (const ReportError&) {
        throw;
    } catch (const DbError& e) {
        throw dataFailure(QFileInfo(m_template.path).fileName(), e);
    }
    return job;
}

bool readsSessionTables(Connection& c, const Template& t)
{
    if (c.backend() != Backend::Postgres)
        return true; // an embedded book is read through the program's connection in any case
    const QSet<QString>& tables = c.sessionTables();
    if (tables.isEmpty())
        return false;
    QString sql;
    auto add = [&sql](const Section& s) {
        sql += s.from + QLatin1Char(' ') + s.where;
        for (const FieldInfo& f : s.fields.all())
            sql += QLatin1Char(' ') + f.sql;
    };
    add(t.main);
    for (const Section& s : t.subreports)
        add(s);
    for (const QString& name : tables)
        if (sql.contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(name)),
                                            QRegularExpression::CaseInsensitiveOption)))
            return true;
    return false;
}

Application::Application(QStringList folders)
    : m_folders(folders.isEmpty() ? templateFolders(QCoreApplication::applicationDirPath()) : std::move(folders))
{
}

std::shared_ptr<Report> Application::OpenReport(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // A relative name is the program's, never the current folder's: a template planted there
    // must not be read.
    if (QDir::isRelativePath(p))
        p = QDir(m_folders.first()).absoluteFilePath(p);
    return std::make_shared<Report>(loadTemplate(locateTemplate(QDir::cleanPath(p), m_folders)));
}

QStringList templateFolders(const QString& programFolder)
{
    const QDir program(programFolder);
    return {program.absolutePath(), QDir::cleanPath(program.absoluteFilePath(QStringLiteral(QV_INSTALLED_TEMPLATES)))};
}

QString locateTemplate(const QString& path, const QStringList& folders)
{
    const QFileInfo fi(path);
    if (fi.exists() || folders.isEmpty() || QDir::cleanPath(fi.absolutePath()) != QDir(folders.first()).absolutePath())
        return path;
    for (const QString& folder : folders.mid(1)) {
        const QString candidate = QDir(folder).filePath(fi.fileName());
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return path;
}

} // namespace qv::rpt
