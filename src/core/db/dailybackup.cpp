#include "db/dailybackup.h"

#include "db/backup.h"
#include "db/connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QPointer>
#include <QRegularExpression>
#include <QThread>
#include <atomic>
#include <memory>

namespace qv::dailybackup {

namespace {

QMutex g_mutex;
std::unique_ptr<QThread> g_worker;
std::atomic<bool> g_automatic{true};

QString autoPrefix(const QString& bookPath)
{
    return QFileInfo(bookPath).completeBaseName() + QStringLiteral("-auto-");
}

void waitAtExit()
{
    wait();
}

} // namespace

QString fileFor(const QString& bookPath, const QDate& day)
{
    return QDir(backup::defaultFolder(bookPath))
        .filePath(autoPrefix(bookPath) + day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".sqlite"));
}

QStringList existing(const QString& bookPath)
{
    const QDir dir(backup::defaultFolder(bookPath));
    const QRegularExpression re(QStringLiteral("^") + QRegularExpression::escape(autoPrefix(bookPath))
                                + QStringLiteral("\\d{4}-\\d{2}-\\d{2}\\.sqlite$"));
    QStringList out;
    // The date in the name sorts as text.
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
        if (re.match(name).hasMatch())
            out << dir.filePath(name);
    return out;
}

QStringList rotate(const QString& bookPath, int keep)
{
    const QStringList all = existing(bookPath);
    QStringList removed;
    for (qsizetype i = 0; i + keep < all.size(); ++i)
        if (QFile::remove(all[i]))
            removed << all[i];
    return removed;
}

QString runNow(const QString& bookPath, int keep, const QDate& today)
{
    const QString target = fileFor(bookPath, today);
    if (QFileInfo::exists(target))
        return {};
    Connection c;
    c.openFileUnchecked(bookPath, false);
    try {
        backup::copyTo(c, target);
    } catch (const DbError&) {
        // Another station made today's backup at the same moment: that one serves.
        if (!QFileInfo::exists(target))
            throw;
        return {};
    }
    c.close();
    rotate(bookPath, keep);
    return target;
}

void start(const Connection& c, int keep, FailureHandler onFailure)
{
    if (!g_automatic || keep <= 0 || !c.isOpen() || c.backend() != Backend::Sqlite)
        return;
    const QString book = c.embeddedPath();
    const QDate today = QDate::currentDate();
    // Today's backup exists: the usual case after the first login of the day costs one stat.
    if (QFileInfo::exists(fileFor(book, today)))
        return;
    QMutexLocker lock(&g_mutex);
    if (g_worker && g_worker->isRunning())
        return;
    static const bool registered = [] {
        qAddPostRoutine(waitAtExit);
        return true;
    }();
    Q_UNUSED(registered);
    QPointer<QObject> receiver = QCoreApplication::instance();
    g_worker.reset(QThread::create([book, keep, today, onFailure = std::move(onFailure), receiver] {
        try {
            runNow(book, keep, today);
        } catch (const DbError& e) {
            if (receiver && onFailure)
                QMetaObject::invokeMethod(
                    receiver.data(), [onFailure, text = e.description()] { onFailure(text); }, Qt::QueuedConnection);
        }
    }));
    g_worker->setObjectName(QStringLiteral("qv-daily-backup"));
    g_worker->start(QThread::LowPriority);
}

void wait()
{
    QMutexLocker lock(&g_mutex);
    if (g_worker) {
        g_worker->wait();
        g_worker.reset();
    }
}

void setAutomatic(bool on)
{
    g_automatic = on;
}

} // namespace qv::dailybackup
