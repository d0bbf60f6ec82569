#include "session/book.h"

#include "reportengine/report.h"
#include "reportengine/reportrequest.h"

#include <QCoreApplication>

namespace qv {

QString Book::programFolder() const
{
    return m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
}

QStringList Book::templateFolders() const
{
    return rpt::templateFolders(programFolder());
}

std::shared_ptr<rpt::Report> openReport(const Book& book, const QString& templateLiteral)
{
    rpt::Application crApp(book.templateFolders());
    std::shared_ptr<rpt::Report> report = crApp.OpenReport(book.templatePath(templateLiteral));
    rpt::ReportTable& table = report->Database().Tables(1);
    table.ConnectionProperties(QStringLiteral("User ID")).setValue(book.user);
    table.ConnectionProperties(QStringLiteral("Password")).setValue(book.password);
    return report;
}

std::shared_ptr<rpt::Report> openReport(Book& book, const rpt::ReportRequest& request)
{
    std::shared_ptr<rpt::Report> report = openReport(std::as_const(book), request.templ);
    rpt::applyRequest(*report, request, book.connection());
    return report;
}

} // namespace qv
