#include "tools/adminbackup.h"

#include "db/backup.h"
#include "db/datasource.h"
#include "db/tables.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace qv {

namespace {

// The book named by --server: only an embedded file has a copy to take.
QString bookPath(const AdminArgs& a)
{
    a.require({QStringLiteral("server")});
    const DataSource ds = DataSource::parse(a.value(QStringLiteral("server")),
                                            a.value(QStringLiteral("catalog"), QString::fromLatin1(qv::tbl::Catalog)));
    if (ds.backend != Backend::Sqlite)
        throw AdminArgs::Error{QStringLiteral("backup and restore work on an embedded book (a file); back up a "
                                              "PostgreSQL database with pg_dump.")};
    return ds.filePath;
}

} // namespace

int adminBackup(const AdminArgs& a)
{
    const QString book = bookPath(a);
    const QString folder = a.value(QStringLiteral("to"), backup::defaultFolder(book));
    const QString target = QDir(folder).absoluteFilePath(backup::manualName(book, QDateTime::currentDateTime()));
    Connection c;
    c.openFileUnchecked(book, false);
    backup::copyTo(c, target);
    c.close();
    QTextStream(stdout) << "Wrote the backup " << target << " (" << QFileInfo(target).size()
                        << " bytes); it passed the integrity check.\n";
    return 0;
}

int adminRestore(const AdminArgs& a)
{
    const QString book = bookPath(a);
    a.require({QStringLiteral("from")});
    const QString from = a.value(QStringLiteral("from"));
    const QString kept = backup::restore(from, book);
    QTextStream out(stdout);
    out << "Restored " << book << " from " << from << ".\n";
    if (!kept.isEmpty())
        out << "The replaced book is kept as " << kept << ".\n";
    return 0;
}

} // namespace qv
