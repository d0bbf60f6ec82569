#include "reportengine/outputfile.h"

#include "db/backup.h"
#include "reportengine/reporterror.h"

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

// The first bytes of a database, a rollback journal, a WAL and a WAL's index (its version
// number, 3007000, in the machine's own order).
bool holdsDatabase(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(16);
    const quint32 shmVersion = 3007000;
    const QByteArray marks[] = {QByteArray("SQLite format 3\0", 16), QByteArray::fromHex("d9d505f920a163d7"),
                                QByteArray::fromHex("377f0682"), QByteArray::fromHex("377f0683"),
                                QByteArray(reinterpret_cast<const char*>(&shmVersion), 4)};
    for (const QByteArray& m : marks)
        if (head.startsWith(m))
            return true;
    return false;
}

// A name SQLite gives a database's journals: written there, it would be read into the database.
bool isJournalName(const QString& path)
{
    for (const char* s : {"-wal", "-shm", "-journal"}) {
        const QLatin1String suffix(s);
        if (path.endsWith(suffix)) {
            const QString base = path.chopped(suffix.size());
            if (QFileInfo(base).isFile() && holdsDatabase(base))
                return true;
        }
    }
    return false;
}

bool sameFile(const struct stat& a, const QString& other)
{
    struct stat b {};
    return ::stat(QFile::encodeName(other).constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

QStringList bookFiles(const QString& bookPath)
{
    QStringList names{QFileInfo(bookPath).absoluteFilePath()};
    const QString real = QFileInfo(bookPath).canonicalFilePath();
    if (!real.isEmpty() && real != names.first())
        names << real;
    QStringList out;
    for (const QString& n : names) {
        out << n << n + QStringLiteral("-wal") << n + QStringLiteral("-shm") << n + QStringLiteral("-journal");
        const QDir backups(backup::defaultFolder(n));
        for (const QString& f : backups.entryList(QDir::Files | QDir::Hidden | QDir::System))
            out << backups.filePath(f);
    }
    return out;
}

void checkOutputPath(const QString& path, const QStringList& inputs)
{
    if (path.trimmed().isEmpty())
        cannotWrite(path, QStringLiteral("no file name was given."));
    const QFileInfo fi(path);
    if (fi.exists() && !fi.isFile())
        cannotWrite(path, QStringLiteral("it is not a regular file (a folder, a device or a pipe). Choose another "
                                         "name; nothing was written."));
    if (fi.isSymLink() && !fi.exists())
        cannotWrite(path, QStringLiteral("it is a link to nothing. Choose another name; nothing was written."));
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        for (const QString& input : inputs)
            if (sameFile(st, input))
                cannotWrite(path, QStringLiteral("it is a file this output is made from (the book, one of its "
                                                 "journals or backups, or the template). Choose another name; "
                                                 "nothing was written."));
        if (holdsDatabase(path))
            cannotWrite(path, QStringLiteral("it holds a database or a database's journal, which no report or "
                                             "export replaces. Choose another name; nothing was written."));
    }
    if (isJournalName(fi.absoluteFilePath()) || (fi.exists() && isJournalName(fi.canonicalFilePath())))
        cannotWrite(path, QStringLiteral("it is the name of a database's journal, which the database would read. "
                                         "Choose another name; nothing was written."));
}

OutputFile::OutputFile(const QString& path, const QStringList& inputs)
    : m_path(path)
{
    checkOutputPath(path, inputs);
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
