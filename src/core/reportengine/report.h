#pragma once
// The report engine as the print handlers use it, one step of the print sequence per call:
//   Application app;                                                  // a new engine application
//   auto report = app.OpenReport(ProgramFolder() + "\\rptBP.rpt");    // the template
//   report->Database().Tables(1).ConnectionProperties("User ID").setValue(LoginUser);
//   report->Database().Tables(1).ConnectionProperties("Password").setValue(LoginPassword);
//   report->setRecordSelectionFormula("{Company.comActive} = 'Y'");
//   report->FormulaFields().byName("Dates").setText("\"From : ...\"");
//   report->OpenSubreport("rptSubOpening").setRecordSelectionFormula("...");
//   frmVeiwer::ShowReport(report);                                    // runs it on Conn, shows it
// Every failure (missing template, bad formula, refused logon, a query error) is a ReportError
// or DbError whose description is fit to show the user.
#include "reportengine/document.h"
#include "reportengine/template.h"

#include <memory>
#include <optional>

namespace qv {
class Connection;
}

namespace qv::rpt {

class ReportJob;

class ConnectionProperty {
public:
    explicit ConnectionProperty(const QString& name)
        : m_name(name)
    {
    }
    const QString& name() const { return m_name; }
    const QString& value() const { return m_value; }
    void setValue(const QString& v) { m_value = v; }

private:
    QString m_name;
    QString m_value;
};

// The report's first table: the one that carries the logon.
class ReportTable {
public:
    // "User ID" or "Password" (without regard to case); any other name is an error.
    ConnectionProperty& ConnectionProperties(const QString& name);

private:
    ConnectionProperty m_user{QStringLiteral("User ID")};
    ConnectionProperty m_password{QStringLiteral("Password")};
};

class ReportDatabase {
public:
    // 1-based, as the print sequence counts; only the first table takes a logon.
    ReportTable& Tables(int index);

private:
    ReportTable m_first;
};

class FormulaFieldDefinition {
public:
    FormulaFieldDefinition(const QString& name, const QString& text)
        : m_name(name)
        , m_text(text)
    {
    }
    const QString& Name() const { return m_name; }
    const QString& Text() const { return m_text; }
    // The formula's text: one text literal ("From :  ..." between double quotes). Checked here.
    void setText(const QString& formula);
    // The text the field shows, as it is; Text() is then its formula, the text between quotes.
    void setValue(const QString& shown);
    // What the field prints. Throws ReportError when a template's own formula is not a text.
    QString shown() const;

private:
    QString m_name;
    QString m_text;
    std::optional<QString> m_value; // set by setValue or setText
};

class FormulaFieldDefinitions {
public:
    FormulaFieldDefinition& byName(const QString& name); // throws when the template has none
    int count() const { return int(m_items.size()); }
    FormulaFieldDefinition& item(int i) { return m_items[i]; }
    void add(const FormulaFieldDefinition& f) { m_items.push_back(f); }

private:
    QVector<FormulaFieldDefinition> m_items;
};

class Subreport {
public:
    explicit Subreport(const Section* section)
        : m_section(section)
    {
    }
    const QString& Name() const { return m_section->name; }
    // Parsed at once against the subreport's own fields.
    void setRecordSelectionFormula(const QString& text);
    // Typed conditions on the subreport's own fields; RecordSelectionFormula() is their text form.
    void setSelection(const Selection& selection);
    const QString& RecordSelectionFormula() const { return m_formula.text(); }
    const Formula& formula() const { return m_formula; }

private:
    const Section* m_section;
    Formula m_formula;
};

class Report {
public:
    explicit Report(Template t);
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    ReportDatabase& Database() { return m_database; }
    // Parsed at once against the report's fields: a bad formula fails at this step.
    void setRecordSelectionFormula(const QString& text);
    // The same from typed conditions, nothing parsed (reportrequest.h).
    void setSelection(const Selection& selection);
    const QString& RecordSelectionFormula() const { return m_selection.text(); }
    FormulaFieldDefinitions& FormulaFields() { return m_formulas; }
    Subreport& OpenSubreport(const QString& name);
    // A report that needs no data prepared on the session (the books, the chart) reads where the
    // Data Source sends reports: a standby, with "reports=standby" (Connection::reportConnection).
    void setMayReadStandby(bool on) { m_standby = on; }
    bool mayReadStandby() const { return m_standby; }

    // Reads the data under the logon and lays the pages out; the result is kept. `conn` is the
    // program's connection: read through directly when the logon is its login (it also sees the
    // session's prepared work tables), otherwise its data source is opened under the logon.
    std::shared_ptr<const Document> run(Connection& conn);
    // The same, laid out step by step by the job (reportjob.h): the company, the subreports and
    // the main query are read here, and a failure to do so is thrown here.
    std::unique_ptr<ReportJob> start(Connection& conn);
    std::shared_ptr<const Document> document() const { return m_document; }
    const Template& templ() const { return m_template; }
    // The login the last run read under.
    QString lastLogin() const { return m_lastLogin; }

private:
    friend class ReportJob;
    Template m_template;
    ReportDatabase m_database;
    Formula m_selection;
    FormulaFieldDefinitions m_formulas;
    QVector<Subreport> m_subreports;
    bool m_standby = false;
    std::shared_ptr<const Document> m_document;
    QString m_lastLogin;
};

class Application {
public:
    // Templates are looked for in `templateFolders` (see templateFolders() below); none given:
    // those of the running program.
    explicit Application(QStringList templateFolders = {});
    // The path as the print handlers build it: a backslash is taken as the folder separator. A
    // relative name is read in the program's folder, never in the current one.
    std::shared_ptr<Report> OpenReport(const QString& path);

private:
    QStringList m_folders;
};

// Where report templates are looked for: beside the program first (the build folder), then the
// installed share/quoravel/templates/, found relative to the program so that any prefix works.
QStringList templateFolders(const QString& programFolder);
// A template named in the program's folder (the first of `folders`) that is not there is taken
// from the first other folder that has it; any other path is returned as it is.
QString locateTemplate(const QString& path, const QStringList& folders);

// Whether the template reads a temporary table of the connection's session (a data
// preparation's work table), which no other session sees. Always true on an embedded book.
bool readsSessionTables(Connection& c, const Template& t);

} // namespace qv::rpt
