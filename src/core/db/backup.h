#pragma once
// Backups of the embedded book: consistent copies taken while stations keep working, checked
// before anyone relies on them, and a restore that checks first and never loses the replaced book.
// Backup files are private to their owner (0600) in a private folder (0700).
#include "db/connection.h"

#include <QDateTime>
#include <QString>
#include <memory>

namespace qv::backup {

class RawFile;

// Holds the book at `path` so that no station can use it while it is swapped: refuses (DbError
// "in use") while any connection has it open; leaves it in rollback-journal mode with its WAL
// folded in, so the file alone is the whole book. Released on destruction.
class ExclusiveBook {
public:
    explicit ExclusiveBook(const QString& path);
    ~ExclusiveBook();
    ExclusiveBook(const ExclusiveBook&) = delete;
    ExclusiveBook& operator=(const ExclusiveBook&) = delete;

private:
    std::unique_ptr<RawFile> m_db;
};

// The folder for the backups of the book at `bookPath`: "backups" beside the book.
QString defaultFolder(const QString& bookPath);
// A manual backup's file name: "<book name>-yyyyMMdd-HHmmss.sqlite".
QString manualName(const QString& bookPath, const QDateTime& when);

// A consistent copy of the open embedded book `c` at `target`, which must not exist yet:
// VACUUM INTO a temporary name beside it, opened read-only and checked, synced, renamed into
// place. A failed copy is deleted; throws DbError saying why. `c` must not be in a transaction.
void copyTo(Connection& c, const QString& target);

// Opens `file` read-only and checks it: a SQLite file, PRAGMA integrity_check "ok", a Quoravel
// book of a schema version this program knows. Throws DbError saying what is wrong.
void check(const QString& file);

// Replaces the book at `bookPath` with the backup `from`: checks the backup first, refuses while
// any station has the book open, keeps the replaced book beside it as
// "<book>.replaced-yyyyMMdd-HHmmss" and returns that path (empty when there was no book).
// Both must be regular files, and `bookPath` a book or an empty file (as for init --force).
// The backup is copied through SQLite, so commits still in its WAL come along; journals left at
// the book's name are deleted before the copy takes it. The restored book keeps the replaced
// book's permissions. Throws DbError; nothing is replaced then.
QString restore(const QString& from, const QString& bookPath);

} // namespace qv::backup
