#include "session/mdl_connection.h"

#include "db/tables.h"

qv::Connection Conn;
qv::RecordSet Rs;
qv::RecordSet Rs3;

int ScreenWidth = 0;
int ScreenHeight = 0;
QString LoginUser;
QString LoginPassword;
QString LoginCatalog = QString::fromLatin1(qv::tbl::Catalog);

void OpenRs(const QString& sql, const QVariantList& params)
{
    if (Rs.isOpen())
        Rs.close();
    Rs.open(sql, Conn, params);
}

void OpenRs3(const QString& sql, const QVariantList& params)
{
    if (Rs3.isOpen())
        Rs3.close();
    Rs3.open(sql, Conn, params);
}

void ResetSharedState()
{
    Rs.close();
    Rs3.close();
    LoginUser.clear();
    LoginPassword.clear();
}

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString g_programFolder;
}

QString ProgramFolder()
{
    return g_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_programFolder;
}

void SetProgramFolder(const QString& folder)
{
    g_programFolder = folder;
}

QStringList TemplateFolders()
{
    const QDir program(ProgramFolder());
    return {program.absolutePath(), QDir::cleanPath(program.absoluteFilePath(QStringLiteral(QV_INSTALLED_TEMPLATES)))};
}

QString LocateTemplate(const QString& path)
{
    const QFileInfo fi(path);
    if (fi.exists() || QDir::cleanPath(fi.absolutePath()) != QDir(ProgramFolder()).absolutePath())
        return path;
    for (const QString& folder : TemplateFolders().mid(1)) {
        const QString candidate = QDir(folder).filePath(fi.fileName());
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return path;
}
