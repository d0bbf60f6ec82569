#pragma once
// The rolling automatic backups of an embedded book: one per day the book is used, made at the
// first login of the day in "backups" beside the book as "<book name>-auto-yyyy-MM-dd.sqlite",
// the newest `keep` kept. The copy runs on a worker thread with a connection of its own, so the
// login does not wait for it.
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

namespace qv {

class Connection;

namespace dailybackup {

inline constexpr int DefaultKeep = 7;

// The automatic backup of `day` for the book at `bookPath`.
QString fileFor(const QString& bookPath, const QDate& day);
// The book's automatic backups, oldest first.
QStringList existing(const QString& bookPath);
// Deletes the oldest automatic backups beyond `keep`; returns the deleted paths.
QStringList rotate(const QString& bookPath, int keep);

// On the calling thread, with a connection of its own: makes the backup of `today` unless it
// exists already, then rotates. Returns the file made, empty when there was nothing to do.
// Throws DbError.
QString runNow(const QString& bookPath, int keep, const QDate& today);

// The login's one call: when `c` is open on an embedded book and keep > 0, runs runNow for today
// on a worker thread (at most one at a time). A failure reaches `onFailure` on the thread that
// called start, through its event loop.
using FailureHandler = std::function<void(const QString& description)>;
void start(const Connection& c, int keep, FailureHandler onFailure);
// Waits until a running backup is done (tests; the program waits at exit by itself).
void wait();
// On by default. Test processes turn it off: their logins open books that vanish moments later,
// and a backup failing over a vanished book would report at some later, unrelated moment.
void setAutomatic(bool on);

} // namespace dailybackup
} // namespace qv
