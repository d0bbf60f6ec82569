#include "db/bookfile.h"

#include "db/backup.h"
#include "db/connection.h"

#include <QAtomicInt>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
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

const char* const Journals[] = {"-wal", "-shm", "-journal"};

// The journals first: a file of journals without its main file is litter to anyone.
void removeWithJournals(const QString& path)
{
    for (const char* s : Journals)
        QFile::remove(path + QLatin1String(s));
    QFile::remove(path);
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

// Whether the SQLite file holds a book's tables, read without writing a byte (no journal
// mode change, no recovery).
bool isBookReadOnly(const QString& path)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("qv_bookfile_%1").arg(serial.fetchAndAddRelaxed(1) + 1);
    bool book = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (db.open()) {
            QSqlQuery q(db);
            book = q.exec(QStringLiteral("select count(*) from sqlite_master where type = 'table' and lower(name) = "
                                         "'schemainfo'"))
                   && q.next() && q.value(0).toInt() > 0;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return book;
}

} // namespace

QString openAdvice(const QString& path, const QString& text)
{
    if (!text.contains(QLatin1String("unable to open database file")))
        return text;
    return QStringLiteral("The database file \"%1\" cannot be opened or made: check that its folder exists and that "
                          "you may read and write both the file and the folder.")
        .arg(path);
}

void checkHeader(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray head = f.read(16);
    if (head.isEmpty())
        throw DbError(QStringLiteral("\"%1\" is not a Quoravel database: the file is empty (an interrupted set-up "
                                     "leaves such a file). Delete it, or make a new book there with quoravel-admin "
                                     "init --force.")
                          .arg(path),
                      QStringLiteral("QV_NOTBOOK"));
    if (head != QByteArrayLiteral("SQLite format 3\0"))
        throw DbError(
            QStringLiteral("\"%1\" is not a Quoravel database (not a SQLite file); it was left unchanged.").arg(path),
            QStringLiteral("QV_NOTBOOK"));
}

Found inspect(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return Found::Nothing;
    if (!S_ISREG(st.st_mode))
        return Found::NotRegular;
    if (st.st_size == 0)
        return Found::Empty;
    try {
        checkHeader(path);
        return isBookReadOnly(path) ? Found::Book : Found::NotBook;
    } catch (const DbError&) {
        return Found::NotBook;
    }
}

void checkReplaceable(const QString& path, bool replace)
{
    const Found found = inspect(path);
    if (found == Found::Nothing)
        return;
    if (!replace)
        throw DbError(QStringLiteral("The database file \"%1\" already exists.").arg(path));
    if (found == Found::NotRegular)
        throw DbError(QStringLiteral("\"%1\" is not a regular file; --force replaces only a book file. Nothing was "
                                     "changed.")
                          .arg(path));
    if (found == Found::NotBook)
        throw DbError(QStringLiteral("\"%1\" is not a Quoravel book; --force replaces only a book. Nothing was "
                                     "changed.")
                          .arg(path));
}

void removeJournals(const QString& path)
{
    for (const char* s : Journals)
        QFile::remove(path + QLatin1String(s));
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
    // Held from the moment it exists, so that no other set-up takes it for litter.
    m_fd = ::fcntl(tmp.handle(), F_DUPFD_CLOEXEC, 0);
    if (m_fd >= 0)
        ::flock(m_fd, LOCK_EX | LOCK_NB);
    tmp.close();
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
        // Held, the old book has no journal of its own; leftovers would be read into the new one.
        removeJournals(m_target);
        if (::rename(from.constData(), to.constData()) != 0)
            throw DbError(QStringLiteral("The new book could not replace \"%1\": %2")
                              .arg(m_target, QString::fromLocal8Bit(std::strerror(errno))));
    } else {
        // No book is there: journals at its name are a gone book's, which SQLite would read into
        // this one.
        if (!QFileInfo::exists(m_target))
            removeJournals(m_target);
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
    const QStringList names =
        dir.entryList({litterPrefix(target) + QStringLiteral("??????") + QLatin1String(Suffix) + QLatin1Char('*')},
                      QDir::Files | QDir::Hidden | QDir::System);
    QStringList mains;
    for (QString name : names) {
        for (const char* s : Journals)
            if (name.endsWith(QLatin1String(s)))
                name.chop(int(qstrlen(s)));
        if (!mains.contains(name))
            mains << name;
    }
    for (const QString& name : mains) {
        const QString path = dir.filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) { // journals whose set-up is gone
            removeWithJournals(path);
            continue;
        }
        // A set-up still at work holds its file.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            removeWithJournals(path);
        ::close(fd);
    }
}

} // namespace qv::bookfile
