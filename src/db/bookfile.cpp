#include "db/bookfile.h"

#include "db/backup.h"
#include "db/connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::bookfile {

namespace {

const char* const Suffix = ".building";

QString litterPrefix(const QString& target)
{
    return QStringLiteral(".") + QFileInfo(target).fileName() + QStringLiteral(".");
}

void removeWithJournals(const QString& path)
{
    for (const char* s : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(s));
}

bool syncPath(const QString& path, bool folder)
{
    const int fd = ::open(QFile::encodeName(path).constData(), folder ? O_RDONLY | O_DIRECTORY : O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

void checkReplaceable(const QString& path, bool replace)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return; // nothing there
    if (!replace)
        throw DbError(QStringLiteral("The database file \"%1\" already exists.").arg(path));
    if (!S_ISREG(st.st_mode))
        throw DbError(QStringLiteral("\"%1\" is not a regular file; --force replaces only a book file. Nothing was "
                                     "changed.")
                          .arg(path));
    if (st.st_size == 0)
        return;
    try {
        Connection c;
        c.openFileUnchecked(path, false);
    } catch (const DbError& e) {
        if (e.sqlState() != QLatin1String("QV_NOTBOOK"))
            throw;
        throw DbError(QStringLiteral("\"%1\" is not a Quoravel book; --force replaces only a book. Nothing was "
                                     "changed.")
                          .arg(path));
    }
}

QStringList makePrivateFolders(const QString& path)
{
    QStringList missing;
    // QDir::cdUp() refuses to step into a folder that does not exist: walk the names instead.
    for (QString dir = QFileInfo(path).absolutePath(); !QFileInfo::exists(dir) && dir != QLatin1String("/");
         dir = QFileInfo(dir).absolutePath())
        missing.prepend(dir);
    for (const QString& dir : missing) {
        if (!QDir().mkdir(dir) && !QFileInfo(dir).isDir())
            throw DbError(QStringLiteral("The folder \"%1\" could not be created.").arg(dir));
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return missing;
}

Building::Building(const QString& target)
    : m_target(QFileInfo(target).absoluteFilePath())
{
    const QFileInfo fi(m_target);
    QTemporaryFile tmp(fi.absolutePath() + QLatin1Char('/') + litterPrefix(target) + QStringLiteral("XXXXXX")
                       + QLatin1String(Suffix));
    tmp.setAutoRemove(false);
    if (!tmp.open())
        throw DbError(QStringLiteral("No book can be made in the folder \"%1\": %2. Check that it exists and that you "
                                     "may write to it.")
                          .arg(fi.absolutePath(), tmp.errorString()));
    m_path = tmp.fileName();
    tmp.close();
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd >= 0)
        ::flock(m_fd, LOCK_EX | LOCK_NB);
}

Building::~Building()
{
    if (!m_placed)
        removeWithJournals(m_path);
    if (m_fd >= 0)
        ::close(m_fd);
}

void Building::place(bool replace)
{
    // The file must be the whole book on its own: no journal may hold a part of it.
    for (const char* s : {"-wal", "-journal"})
        if (QFileInfo::exists(m_path + QLatin1String(s)))
            throw DbError(QStringLiteral("The new book was not finished (%1 remains).").arg(m_path + QLatin1String(s)));
    if (!syncPath(m_path, false))
        throw DbError(QStringLiteral("The new book could not be written to the disk."));
    const QByteArray from = QFile::encodeName(m_path);
    const QByteArray to = QFile::encodeName(m_target);
    if (replace && QFileInfo::exists(m_target)) {
        checkReplaceable(m_target, true); // again: it may have changed while the book was built
        const bool empty = QFileInfo(m_target).size() == 0;
        std::unique_ptr<backup::ExclusiveBook> hold;
        if (!empty)
            hold = std::make_unique<backup::ExclusiveBook>(m_target);
        // Held, the old book has no WAL of its own; leftovers would be read into the new one.
        QFile::remove(m_target + QStringLiteral("-wal"));
        QFile::remove(m_target + QStringLiteral("-shm"));
        if (::rename(from.constData(), to.constData()) != 0)
            throw DbError(QStringLiteral("The new book could not replace \"%1\": %2")
                              .arg(m_target, QString::fromLocal8Bit(std::strerror(errno))));
    } else {
        // link() refuses an existing name: a book made meanwhile by someone else stays.
        if (::link(from.constData(), to.constData()) != 0) {
            if (errno == EEXIST)
                throw DbError(QStringLiteral("The database file \"%1\" already exists.").arg(m_target));
            throw DbError(QStringLiteral("The new book could not be put at \"%1\": %2")
                              .arg(m_target, QString::fromLocal8Bit(std::strerror(errno))));
        }
        ::unlink(from.constData());
    }
    m_placed = true;
    syncPath(QFileInfo(m_target).absolutePath(), true);
}

void removeLitter(const QString& target)
{
    const QFileInfo fi(target);
    const QDir dir(fi.absolutePath());
    const QStringList names = dir.entryList({litterPrefix(target) + QStringLiteral("??????") + QLatin1String(Suffix)},
                                            QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A set-up still at work holds its file.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            removeWithJournals(path);
        ::close(fd);
    }
}

} // namespace qv::bookfile
