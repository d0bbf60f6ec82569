#include "support/adminrun.h"

#include <QProcess>

namespace qvt {

AdminRun runAdmin(const QStringList& args, const AdminOptions& options)
{
    QProcess p;
    p.setProgram(QStringLiteral(QVT_ADMIN_PROGRAM));
    p.setArguments(args);
    if (!options.workDir.isEmpty())
        p.setWorkingDirectory(options.workDir);
    if (!options.stdoutFile.isEmpty())
        p.setStandardOutputFile(options.stdoutFile);
    p.start();
    p.write(options.input);
    p.closeWriteChannel();
    AdminRun r;
    if (!p.waitForFinished(options.timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace qvt
