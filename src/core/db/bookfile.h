#pragma once
// Placing a new embedded book: it is built under a temporary name beside its place and appears
// there only when whole, so an interrupted set-up leaves no file or the old book, never half of one.
#include <QString>
#include <QStringList>

namespace qv::bookfile {

// Refuses (DbError, code "QV_NOTBOOK") by its first bytes a file that is empty or not a SQLite
// database, before SQLite opens it. A file that cannot be read passes: SQLite's open says why.
void checkHeader(const QString& path);
// SQLite's bare "unable to open database file" turned into what to do; other texts unchanged.
QString openAdvice(const QString& path, const QString& text);

// What is at a path where a book is to be placed (the link itself when it is a link).
enum class Found { Nothing, NotRegular, Empty, Book, NotBook };
Found inspect(const QString& path);

// Refuses, before anything is touched, what `replace` may not replace at `path`: anything when
// `replace` is false, and with it anything that is not a regular file or not a Quoravel book
// (an empty file, which interrupted set-ups of older versions left, may go). Throws DbError.
void checkReplaceable(const QString& path, bool replace);

// Deletes the journals (-wal, -shm, -journal) at the name of `path`. Called only where they
// belong to no open book (no book is there, or it is held exclusively): SQLite would otherwise
// read a stray one into the book placed there.
void removeJournals(const QString& path);

// Makes the missing folders of `path` private to their owner (0700); returns those it made.
QStringList makePrivateFolders(const QString& path);

// A temporary file beside `target`, 0600, held (flock) while it lives so that another set-up
// can tell it from litter; deleted with its journals unless placed.
class Building {
public:
    explicit Building(const QString& target);
    ~Building();
    Building(const Building&) = delete;
    Building& operator=(const Building&) = delete;

    QString path() const { return m_path; }
    // Syncs the closed, finished file and puts it at the target: over the old book when
    // `replace` (held exclusively meanwhile, refused while in use), otherwise only when nothing
    // is there. Throws DbError; the temporary file is then deleted.
    void place(bool replace);

private:
    QString m_target;
    QString m_path;
    int m_fd = -1;
    bool m_placed = false;
};

// Deletes what interrupted set-ups of `target` left beside it (temporary files nobody holds).
void removeLitter(const QString& target);

} // namespace qv::bookfile
