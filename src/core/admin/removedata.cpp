#include "admin/removedata.h"

#include "db/audittrail.h"
#include "vouchers/voucherkinds.h"
#include "vouchers/voucherwrites.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qv {

namespace {

// The vouchers chosen, as a condition on MasJV. The range runs to the start of the day after
// the last date, so that a date stored with a time of day still falls inside it.
QString voucherFilter(const RemovalChoice& ch, QVariantList& params)
{
    QString w = QStringLiteral("VouDate >= ? and VouDate < ?");
    params << ch.from << ch.to.addDays(1);
    if (!ch.kind.isEmpty()) {
        w += QStringLiteral(" and VouStatus = ?");
        params << ch.kind;
    }
    return w;
}

// The lines of the chosen vouchers: every DetJV row of a chosen MasJV row, whatever its own date.
QString linesOf(const QString& filter)
{
    return QStringLiteral("(VouStatus, VouNo) in (select VouStatus, VouNo from MasJV where %1)").arg(filter);
}

int countOf(Connection& c, const QString& sql, const QVariantList& params = {})
{
    return c.scalar(sql, params).toInt();
}

void verifyCopy(const QString& path)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("qv_backup_check_%1").arg(serial.fetchAndAddRelaxed(1));
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA integrity_check")))
                failure = q.lastError().text();
            else {
                QStringList problems;
                while (q.next())
                    problems << q.value(0).toString();
                if (problems != QStringList{QStringLiteral("ok")})
                    failure = problems.join(QLatin1Char('\n'));
                else if (!q.exec(QStringLiteral("select count(*) from SchemaInfo")))
                    failure = q.lastError().text();
            }
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty())
        throw DbError(QStringLiteral("The copy failed its check: %1").arg(failure.trimmed()));
}

} // namespace

QString RemoveData::checkChoice(const RemovalChoice& ch)
{
    if (!ch.anything())
        return QStringLiteral("Please choose what to remove.");
    if (ch.vouchers) {
        if (!ch.from.isValid() || !ch.to.isValid())
            return QStringLiteral("Please choose the dates of the vouchers to remove.");
        if (ch.from > ch.to)
            return QStringLiteral("The first date is after the last date.");
        if (!ch.kind.isEmpty() && !voucherKindByCode(ch.kind))
            return QStringLiteral("\"%1\" is not a voucher kind.").arg(ch.kind);
    }
    return {};
}

RemovalCounts RemoveData::count(const RemovalChoice& ch)
{
    if (const QString err = checkChoice(ch); !err.isEmpty())
        throw DbError(err);
    RemovalCounts n;
    if (ch.vouchers) {
        QVariantList params;
        const QString filter = voucherFilter(ch, params);
        n.vouchers = countOf(m_c, QStringLiteral("select count(*) from MasJV where ") + filter, params);
        n.lines = countOf(m_c, QStringLiteral("select count(*) from DetJV where ") + linesOf(filter), params);
    }
    if (ch.categories)
        n.categories = countOf(m_c, QStringLiteral("select count(*) from tblCatagory"));
    if (ch.applications)
        n.applications = countOf(m_c, QStringLiteral("select count(*) from tblApplication"));
    return n;
}

RemovalCounts RemoveData::remove(const RemovalChoice& ch, const RemovalCounts& expected)
{
    if (const QString err = checkChoice(ch); !err.isEmpty())
        throw DbError(err);
    Transaction tx(m_c);
    RemovalCounts n;
    if (ch.vouchers) {
        QVariantList params;
        const QString filter = voucherFilter(ch, params);
        // The earliest date among the vouchers and their lines decides whether the lock allows it.
        const QDate earliest = m_c.scalar(QStringLiteral("select min(VouDate) from (select VouDate from MasJV where %1 "
                                                         "union all select VouDate from DetJV where %2) chosen")
                                              .arg(filter, linesOf(filter)),
                                          params + params)
                                   .toDate();
        VoucherWrites(m_c).before({VoucherChange::Action::Removed, ch.kind, 0, 0, earliest, {}});
        // Lines first: they are found through their vouchers.
        n.lines = m_c.execute(QStringLiteral("delete from DetJV where ") + linesOf(filter), params);
        n.vouchers = m_c.execute(QStringLiteral("delete from MasJV where ") + filter, params);
    }
    if (ch.categories)
        n.categories = m_c.execute(QStringLiteral("delete from tblCatagory"));
    if (ch.applications)
        n.applications = m_c.execute(QStringLiteral("delete from tblApplication"));
    if (!(n == expected))
        throw DbError(QStringLiteral("The data changed after it was counted (another station may be working on "
                                     "it); please try again."));
    QJsonObject what{{QStringLiteral("lines"), n.lines},
                     {QStringLiteral("vouchers"), n.vouchers},
                     {QStringLiteral("categories"), n.categories},
                     {QStringLiteral("applications"), n.applications}};
    if (ch.vouchers) {
        what.insert(QStringLiteral("kind"), ch.kind.isNull() ? QStringLiteral("") : ch.kind);
        what.insert(QStringLiteral("from"), ch.from.toString(Qt::ISODate));
        what.insert(QStringLiteral("to"), ch.to.toString(Qt::ISODate));
    }
    AuditTrail(m_c).append(QStringLiteral("data removed"), {}, {},
                           QString::fromUtf8(QJsonDocument(what).toJson(QJsonDocument::Compact)), {});
    tx.commit();
    return n;
}

QString RemoveData::backupPath(const QString& dbPath, const QDateTime& when)
{
    const QFileInfo fi(dbPath);
    const QString suffix = fi.suffix().isEmpty() ? QStringLiteral("sqlite") : fi.suffix();
    const QString stem = fi.absolutePath() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral("-backup-")
                         + when.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString path = stem + QLatin1Char('.') + suffix;
    for (int i = 2; QFileInfo::exists(path); ++i)
        path = QStringLiteral("%1 (%2).%3").arg(stem).arg(i).arg(suffix);
    return path;
}

namespace {

// A verified copy of the open book under a new name of its own beside `near` (VACUUM INTO
// fills only an empty file, which this one is), returned for the caller to put in place.
QString verifiedCopyBeside(Connection& c, const QString& near)
{
    const QFileInfo fi(near);
    QTemporaryFile tmp(fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".XXXXXX.part"));
    tmp.setAutoRemove(false);
    if (!tmp.open())
        throw DbError(
            QStringLiteral("The copy of the database could not be made at \"%1\":\n%2").arg(near, tmp.errorString()));
    const QString part = tmp.fileName();
    tmp.close();
    try {
        // A consistent copy of the live database, taken by SQLite itself.
        c.execute(QStringLiteral("VACUUM INTO ?"), {part});
        verifyCopy(part);
    } catch (const DbError& e) {
        QFile::remove(part);
        throw DbError(
            QStringLiteral("The copy of the database could not be made at \"%1\":\n%2").arg(near, e.description()),
            e.sqlState());
    }
    return part;
}

// Gives the copy `part` the name `path` unless that name is taken meanwhile (link() never
// replaces): false then, and `part` is kept for another name.
bool placeCopy(const QString& part, const QString& path)
{
    if (::link(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) == 0) {
        QFile::remove(part);
        return true;
    }
    const int error = errno;
    if (error == EEXIST)
        return false;
    QFile::remove(part);
    throw DbError(QStringLiteral("The copy of the database could not be made at \"%1\":\n%2")
                      .arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

void checkCopyable(Connection& c)
{
    if (c.backend() != Backend::Sqlite)
        throw DbError(QStringLiteral("Only the embedded database file can be copied by the program."));
    if (c.inTransaction())
        throw DbError(QStringLiteral("The database cannot be copied in the middle of a transaction."));
}

} // namespace

void RemoveData::backupTo(const QString& path)
{
    checkCopyable(m_c);
    if (QFileInfo::exists(path))
        throw DbError(QStringLiteral("The file \"%1\" already exists.").arg(path));
    // Made under a name of its own: a file another station puts at `path` meanwhile is never
    // touched, only refused.
    const QString part = verifiedCopyBeside(m_c, path);
    if (!placeCopy(part, path)) {
        QFile::remove(part);
        throw DbError(QStringLiteral("The file \"%1\" already exists.").arg(path));
    }
}

QString RemoveData::backup(const QDateTime& when)
{
    checkCopyable(m_c);
    const QString first = backupPath(m_c.embeddedPath(), when);
    const QString part = verifiedCopyBeside(m_c, first);
    // Another station removing data in the same second takes the next free name, not this one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = backupPath(m_c.embeddedPath(), when);
        if (placeCopy(part, path))
            return path;
    }
    QFile::remove(part);
    throw DbError(QStringLiteral("The copy of the database could not be given a free name beside \"%1\".")
                      .arg(m_c.embeddedPath()));
}

} // namespace qv
