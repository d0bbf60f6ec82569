#include "db/datasource.h"

#include <QDir>
#include <QStandardPaths>

namespace qv {

QString DataSource::defaultEmbeddedPath(const QString& catalog)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(dir).filePath(catalog + QStringLiteral(".sqlite"));
}

DataSource DataSource::parse(const QString& text, const QString& catalog)
{
    DataSource ds;
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String(".")) {
        ds.filePath = defaultEmbeddedPath(catalog);
        return ds;
    }
    if (t.contains(QLatin1Char('/')) || t.endsWith(QLatin1String(".sqlite"), Qt::CaseInsensitive)
        || t.endsWith(QLatin1String(".db"), Qt::CaseInsensitive)) {
        ds.filePath = QDir::cleanPath(t.startsWith(QLatin1String("~/")) ? QDir::homePath() + t.mid(1) : t);
        return ds;
    }
    ds.backend = Backend::Postgres;
    const int colon = t.lastIndexOf(QLatin1Char(':'));
    ds.host = t;
    if (colon > 0) {
        bool ok = false;
        const int p = t.mid(colon + 1).toInt(&ok);
        if (ok && p > 0 && p < 65536) {
            ds.host = t.left(colon);
            ds.port = p;
        }
    }
    return ds;
}

} // namespace qv
