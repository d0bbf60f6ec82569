#include "db/backup.h"

#include "db/bookfile.h"
#include "db/schema.h"
#include "db/schemacheck.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::backup {

namespace {

QAtomicInt g_serial;
constexpr auto Private = QFile::ReadOwner | QFile::WriteOwner;

} // namespace

// A raw connection to a file that never writes to it: no journal-mode change, no WAL files made.
class RawFile {
public:
    RawFile(const QString& path, bool readOnly, int busyMs)
        : m_name(QStringLiteral("qv_backup_%1").arg(g_serial.fetchAndAddRelaxed(1) + 1))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        QString opts = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyMs);
        if (readOnly)
            opts += QStringLiteral(";QSQLITE_OPEN_READONLY");
        db.setConnectOptions(opts);
        if (!db.open())
            m_openError = db.lastError().text();
    }
    ~RawFile()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    // Every first column of the statement's rows; throws DbError with SQLite's text.
    QStringList column(const QString& sql, const QVariantList& params = {})
    {
        if (!m_openError.isEmpty())
            throw DbError(m_openError);
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        q.setForwardOnly(true);
        bool ok = params.isEmpty() ? q.exec(sql) : q.prepare(sql);
        for (const QVariant& p : params)
            q.addBindValue(p);
        if (ok && !params.isEmpty())
            ok = q.exec();
        if (!ok) {
            const QSqlError e = q.lastError();
            throw DbError(e.databaseText().isEmpty() ? e.text() : e.databaseText(), e.nativeErrorCode());
        }
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

private:
    QString m_name;
    QString m_openError;
};

namespace {

void syncPath(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

void ensurePrivateFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return;
    if (!QDir().mkpath(folder))
        throw DbError(QStringLiteral("The folder \"%1\" could not be created.").arg(folder));
    QFile::setPermissions(folder, Private | QFile::ExeOwner);
}

// An empty, uniquely named file beside `path` (0600, as QTemporaryFile makes it).
QString emptyFileBeside(const QString& path, const char* suffix)
{
    const QFileInfo fi(path);
    QTemporaryFile tmp(fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".XXXXXX")
                       + QLatin1String(suffix));
    tmp.setAutoRemove(false);
    if (!tmp.open())
        throw DbError(QStringLiteral("No file can be written in \"%1\": %2").arg(fi.absolutePath(), tmp.errorString()));
    return tmp.fileName();
}

void removeWithCompanions(const QString& path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    QFile::remove(path + QStringLiteral("-journal"));
}

QString stamp(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

} // namespace

QString defaultFolder(const QString& bookPath)
{
    return QDir(QFileInfo(bookPath).absolutePath()).filePath(QStringLiteral("backups"));
}

QString manualName(const QString& bookPath, const QDateTime& when)
{
    return QFileInfo(bookPath).completeBaseName() + QLatin1Char('-') + stamp(when) + QStringLiteral(".sqlite");
}

void check(const QString& file)
{
    const QFileInfo fi(file);
    if (!fi.isFile())
        throw DbError(QStringLiteral("\"%1\" is not a file.").arg(file));
    Schema::verifyBookFile(file);
    RawFile db(file, true, 5000);
    QStringList result;
    try {
        result = db.column(QStringLiteral("PRAGMA integrity_check"));
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("\"%1\" is not a sound database: %2").arg(file, e.description()));
    }
    if (result != QStringList{QStringLiteral("ok")})
        throw DbError(QStringLiteral("\"%1\" failed the integrity check: %2")
                          .arg(file, result.mid(0, 5).join(QStringLiteral("; "))));
    const QStringList info = db.column(QStringLiteral("select count(*) from sqlite_master where type = 'table' "
                                                      "and lower(name) = 'schemainfo'"));
    if (info.value(0).toInt() == 0)
        throw DbError(QStringLiteral("\"%1\" is not a Quoravel book.").arg(file));
    const int version = db.column(QStringLiteral("select max(Version) from SchemaInfo")).value(0).toInt();
    if (version > Schema::CurrentVersion)
        throw DbError(QStringLiteral("\"%1\" was written by a newer version of Quoravel (book version %2, this "
                                     "program knows %3).")
                          .arg(file)
                          .arg(version)
                          .arg(Schema::CurrentVersion));
}

void copyTo(Connection& c, const QString& target)
{
    if (!c.isOpen() || c.backend() != Backend::Sqlite)
        throw DbError(QStringLiteral("Only an open embedded book can be backed up this way."));
    if (c.inTransaction())
        throw DbError(QStringLiteral("A backup cannot be taken inside a transaction."));
    if (QFileInfo::exists(target))
        throw DbError(QStringLiteral("The backup \"%1\" exists already; it is not overwritten.").arg(target));
    ensurePrivateFolder(QFileInfo(target).absolutePath());
    const QString part = emptyFileBeside(target, ".part");
    try {
        // One read transaction: the copy is the book as of one commit, while stations keep writing.
        c.execute(QStringLiteral("VACUUM INTO ?"), {part});
        check(part);
        syncPath(part);
        QFile::setPermissions(part, Private);
        if (!QFile::rename(part, target))
            throw DbError(QStringLiteral("the finished copy could not be renamed to \"%1\".").arg(target));
        syncPath(QFileInfo(target).absolutePath());
    } catch (const DbError& e) {
        removeWithCompanions(part);
        throw DbError(
            QStringLiteral("The backup of \"%1\" failed and was deleted: %2").arg(c.embeddedPath(), e.description()),
            e.sqlState());
    }
}

ExclusiveBook::ExclusiveBook(const QString& path)
    : m_db(std::make_unique<RawFile>(path, false, 1000))
{
    // Leaving WAL mode succeeds only when no other connection has the file open, and the
    // exclusive lock keeps newcomers out.
    QString mode;
    try {
        mode = m_db->column(QStringLiteral("PRAGMA journal_mode=DELETE")).value(0);
        m_db->column(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
        m_db->column(QStringLiteral("BEGIN EXCLUSIVE"));
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("The book \"%1\" is in use (%2). Close Quoravel on every station first.")
                          .arg(path, e.description()));
    }
    if (mode.compare(QLatin1String("delete"), Qt::CaseInsensitive) != 0)
        throw DbError(QStringLiteral("The book \"%1\" is in use. Close Quoravel on every station first.").arg(path));
}

ExclusiveBook::~ExclusiveBook()
{
    try {
        m_db->column(QStringLiteral("ROLLBACK"));
    } catch (const DbError&) {
    }
}

namespace {

// The book in `from` as SQLite reads it, commits still in its WAL included, written whole into
// the empty file `to`; `from` is read only (no checkpoint, no journal made).
void copyThroughSqlite(const QString& from, const QString& to)
{
    RawFile source(from, true, 5000);
    try {
        source.column(QStringLiteral("VACUUM INTO ?"), {to});
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("\"%1\" could not be copied: %2").arg(from, e.description()));
    }
    syncPath(to);
}

// The book to be replaced by a restore, as init --force wants it: nothing, an empty file or a
// Quoravel book, and a regular file, never a device, a pipe, a folder or a link.
void checkRestoreTarget(const QString& bookPath)
{
    switch (bookfile::inspect(bookPath)) {
    case bookfile::Found::NotRegular:
        throw DbError(QStringLiteral("\"%1\" is not a regular file; restore replaces only a book file.").arg(bookPath));
    case bookfile::Found::NotBook:
        throw DbError(QStringLiteral("\"%1\" is not a Quoravel book; restore replaces only a book.").arg(bookPath));
    default:
        break;
    }
}

bool sameFile(const QString& a, const QString& b)
{
    struct stat sa {};
    struct stat sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
           && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

QString restore(const QString& from, const QString& bookPath)
{
    try {
        check(from);
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("Nothing was restored: %1").arg(e.description()));
    }
    try {
        checkRestoreTarget(bookPath);
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("Nothing was restored: %1").arg(e.description()));
    }
    const QFileInfo book(bookPath);
    if (sameFile(bookPath, from))
        throw DbError(QStringLiteral("Nothing was restored: the backup is the book itself."));
    if (!QDir().mkpath(book.absolutePath()))
        throw DbError(QStringLiteral("The folder \"%1\" could not be created.").arg(book.absolutePath()));
    const QString incoming = emptyFileBeside(bookPath, ".restoring");
    QString kept;
    try {
        copyThroughSqlite(from, incoming);
        check(incoming); // what lands is what was checked, not only its source
        QFile::setPermissions(incoming, book.exists() ? QFile::permissions(bookPath) : Private);
        if (book.exists()) {
            ExclusiveBook hold(bookPath);
            // Held, the book has no journal of its own; leftovers would be read into the new one.
            bookfile::removeJournals(bookPath);
            kept = bookPath + QStringLiteral(".replaced-") + stamp(QDateTime::currentDateTime());
            for (int n = 2; QFileInfo::exists(kept); ++n)
                kept = bookPath + QStringLiteral(".replaced-") + stamp(QDateTime::currentDateTime())
                       + QStringLiteral("-%1").arg(n);
            if (!QFile::rename(bookPath, kept))
                throw DbError(QStringLiteral("the book could not be moved aside to \"%1\".").arg(kept));
            if (!QFile::rename(incoming, bookPath)) {
                QFile::rename(kept, bookPath);
                kept.clear();
                throw DbError(QStringLiteral("the backup could not be put in the book's place."));
            }
        } else {
            // Journals at the name of a book that is gone would be read into the restored one.
            bookfile::removeJournals(bookPath);
            // link() refuses an existing name: a book made there meanwhile stays.
            if (::link(QFile::encodeName(incoming).constData(), QFile::encodeName(bookPath).constData()) != 0)
                throw DbError(errno == EEXIST ? QStringLiteral("a book appeared at \"%1\" meanwhile.").arg(bookPath)
                                              : QStringLiteral("the backup could not be put in the book's place: %1")
                                                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
            QFile::remove(incoming);
        }
        syncPath(book.absolutePath());
    } catch (const DbError& e) {
        removeWithCompanions(incoming);
        throw DbError(QStringLiteral("Nothing was restored: %1").arg(e.description()));
    }
    return kept;
}

} // namespace qv::backup
