#pragma once
// An open book as the core sees it: the connection, the login it was opened with (a report's
// logon uses it) and the program's folder, where the report templates are looked for. The
// windows keep the program's one Book; the admin tool and the tests make their own.
#include "db/connection.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace qv {

namespace rpt {
class Report;
struct ReportRequest;
} // namespace rpt

class Book {
public:
    Book() = default;
    Book(const Book&) = delete;
    Book& operator=(const Book&) = delete;

    Connection& connection() { return m_conn; }

    // The login: "User ID" and "Password" as the user gave them.
    QString user;
    QString password;

    // The folder of the program's executable (Server.txt and the report templates sit there);
    // until one is set, the running program's.
    QString programFolder() const;
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }
    // Beside the program first, then the installed templates.
    QStringList templateFolders() const;
    // The program's folder joined with a template literal such as "\rptChartAC.rpt".
    QString templatePath(const QString& literal) const { return programFolder() + literal; }

private:
    Connection m_conn;
    QString m_programFolder;
};

// The first steps of the print sequence: the template (a literal such as "\rptChartAC.rpt",
// beside the program or installed), logged on with the book's login. Throws ReportError.
std::shared_ptr<rpt::Report> openReport(const Book& book, const QString& templateLiteral);
// A report as the program asks for it: the request's template logged on as above, then its
// preparation run on the book's connection and its values set (rpt::applyRequest).
std::shared_ptr<rpt::Report> openReport(Book& book, const rpt::ReportRequest& request);

} // namespace qv
