#include "reportfixture.h"

#include "db/connection.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace qvt {

QString chartTemplate()
{
    return QDir(QStringLiteral(QVT_TEMPLATES_DIR)).filePath(QStringLiteral("rptChartAC.rpt"));
}

QString testBookTemplate()
{
    return QDir(QStringLiteral(QVT_TEST_TEMPLATES_DIR)).filePath(QStringLiteral("rptTestBook.rpt"));
}

std::shared_ptr<qv::rpt::Report> openReport(const QString& path, const QString& user, const QString& password)
{
    qv::rpt::Application app;
    auto report = app.OpenReport(path);
    report->Database().Tables(1).ConnectionProperties(QStringLiteral("User ID")).setValue(user);
    report->Database().Tables(1).ConnectionProperties(QStringLiteral("Password")).setValue(password);
    return report;
}

QString pdfText(const QString& path)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        return {};
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext failed: %1>").arg(QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

QList<QPair<QString, QString>> accounts(qv::Connection& c)
{
    QList<QPair<QString, QString>> out;
    QSqlQuery q = c.query(QStringLiteral("select AcNodes, AcName from Accounts"));
    while (q.next())
        out << qMakePair(q.value(0).toString(), q.value(1).toString());
    return out;
}

} // namespace qvt
