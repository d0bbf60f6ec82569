#include "shell/mdl_connection.h"

#include "db/tables.h"
#include "reportengine/report.h"

qv::Book TheBook;
qv::Connection& Conn = TheBook.connection();

int ScreenWidth = 0;
int ScreenHeight = 0;
QString& LoginUser = TheBook.user;
QString& LoginPassword = TheBook.password;
QString LoginCatalog = QString::fromLatin1(qv::tbl::Catalog);

void ResetSharedState()
{
    LoginUser.clear();
    LoginPassword.clear();
}

QString ProgramFolder()
{
    return TheBook.programFolder();
}

void SetProgramFolder(const QString& folder)
{
    TheBook.setProgramFolder(folder);
}

QStringList TemplateFolders()
{
    return TheBook.templateFolders();
}

QString LocateTemplate(const QString& path)
{
    return qv::rpt::locateTemplate(path, TemplateFolders());
}
