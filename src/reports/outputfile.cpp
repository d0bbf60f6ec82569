#include "reports/outputfile.h"

#include "reports/reporterror.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::rpt {

namespace {
[[noreturn]] void cannotWrite(const QString& path, const QString& why)
{
    throw ReportError(QStringLiteral("The file \"%1\" could not be written: %2").arg(path, why));
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

void checkOutputPath(const QString& path)
{
    if (path.trimmed().isEmpty())
        cannotWrite(path, QStringLiteral("no file name was given."));
    const QFileInfo fi(path);
    if (fi.exists() && !fi.isFile())
        cannotWrite(path, QStringLiteral("it is not a regular file (a folder, a device or a pipe). Choose another "
                                         "name; nothing was written."));
    if (fi.isSymLink() && !fi.exists())
        cannotWrite(path, QStringLiteral("it is a link to nothing. Choose another name; nothing was written."));
}

OutputFile::OutputFile(const QString& path)
    : m_path(path)
{
    checkOutputPath(path);
    const QFileInfo fi(path);
    m_target = fi.isSymLink() ? fi.symLinkTarget() : fi.absoluteFilePath();
    const QFileInfo target(m_target);
    m_temp.setFileTemplate(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
    if (!m_temp.open())
        cannotWrite(path, m_temp.errorString());
}

OutputFile::~OutputFile() = default; // QTemporaryFile removes what was not renamed

void OutputFile::fail(const QString& why)
{
    m_temp.close();
    m_temp.remove();
    cannotWrite(m_path, why);
}

void OutputFile::write(const QByteArray& bytes)
{
    if (m_temp.write(bytes) != bytes.size())
        fail(m_temp.errorString());
}

void OutputFile::commit()
{
    // Buffered bytes reach the file here: a full disk shows at the flush or the sync.
    if (m_temp.error() != QFileDevice::NoError)
        fail(m_temp.errorString());
    if (!m_temp.flush())
        fail(m_temp.errorString());
    const int fd = m_temp.handle();
    struct stat st {};
    // A replaced file keeps its permissions; a new one gets the usual ones (0666 less the umask).
    if (::stat(QFile::encodeName(m_target).constData(), &st) == 0) {
        if (::fchmod(fd, st.st_mode & 07777) != 0)
            fail(systemError());
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) != 0)
            fail(systemError());
    }
    if (::fsync(fd) != 0)
        fail(systemError());
    const QString temp = m_temp.fileName();
    m_temp.close();
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(m_target).constData()) != 0)
        fail(systemError());
    m_temp.setAutoRemove(false);
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(QFile::encodeName(QFileInfo(m_target).absolutePath()).constData(), O_RDONLY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace qv::rpt
