#include "db/datasource.h"

#include <QDir>
#include <QStandardPaths>

namespace qv {

namespace {
const QStringList SslModes{QStringLiteral("disable"), QStringLiteral("allow"),     QStringLiteral("prefer"),
                           QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};

// One "host" or "host:port" of the server list; false when the port is not a port.
bool parseServer(const QString& item, QString* host, int* port)
{
    *port = 5432;
    QString h = item.trimmed();
    QString portText;
    if (h.startsWith(QLatin1Char('['))) { // [IPv6] or [IPv6]:port
        const int close = h.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        if (close + 1 < h.size()) {
            if (h.at(close + 1) != QLatin1Char(':'))
                return false;
            portText = h.mid(close + 2);
        }
        h = h.mid(1, close - 1);
    } else if (h.count(QLatin1Char(':')) == 1) { // a bare IPv6 address has several
        portText = h.section(QLatin1Char(':'), 1);
        h = h.section(QLatin1Char(':'), 0, 0);
    }
    if (!portText.isNull()) {
        bool ok = false;
        *port = portText.toInt(&ok);
        if (!ok || *port <= 0 || *port >= 65536)
            return false;
    }
    *host = h;
    return !h.isEmpty();
}
} // namespace

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
    QString servers = t;
    if (const int q = t.indexOf(QLatin1Char('?')); q >= 0) {
        servers = t.left(q);
        // Only sslmode may be set here: the rest of the connection is the program's.
        for (const QString& pair : t.mid(q + 1).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
            const QString key = pair.section(QLatin1Char('='), 0, 0).trimmed();
            const QString value = pair.section(QLatin1Char('='), 1).trimmed();
            if (key == QLatin1String("reports")) {
                if (value == QLatin1String("standby") || value == QLatin1String("primary"))
                    ds.reportsOnStandby = value == QLatin1String("standby");
                else
                    ds.error = QStringLiteral("The server \"%1\" names reports=%2; use reports=standby or "
                                              "reports=primary.")
                                   .arg(t, value);
            } else if (key != QLatin1String("sslmode"))
                ds.error = QStringLiteral("The server \"%1\" names the setting \"%2\"; only sslmode and reports may "
                                          "follow the \"?\".")
                               .arg(t, key);
            else if (!SslModes.contains(value))
                ds.error = QStringLiteral("The server \"%1\" names sslmode \"%2\"; use one of %3.")
                               .arg(t, value, SslModes.join(QStringLiteral(", ")));
            else
                ds.sslMode = value;
        }
    }
    for (const QString& item : servers.split(QLatin1Char(','))) {
        QString host;
        int port = 5432;
        if (!parseServer(item, &host, &port)) {
            ds.error = QStringLiteral("\"%1\" in the server \"%2\" is not host or host:port (a port from 1 to 65535).")
                           .arg(item.trimmed(), t);
            continue;
        }
        ds.hosts << host;
        ds.ports << port;
    }
    ds.host = ds.hosts.value(0, servers);
    ds.port = ds.ports.value(0, 5432);
    return ds;
}

QString DataSource::connectOptions(Use use) const
{
    QStringList ports;
    for (int p : this->ports)
        ports << QString::number(p);
    // A server that stops answering (its machine or the network gone, without a word) is given
    // up within about half a minute instead of the system's quarter of an hour.
    QStringList o{QStringLiteral("connect_timeout=5"),     QStringLiteral("sslmode=") + sslMode,
                  QStringLiteral("keepalives=1"),          QStringLiteral("keepalives_idle=10"),
                  QStringLiteral("keepalives_interval=5"), QStringLiteral("keepalives_count=3"),
                  QStringLiteral("tcp_user_timeout=30000")};
    if (!ports.isEmpty())
        o << QStringLiteral("port=") + ports.join(QLatin1Char(','));
    // Stations go to whichever server takes writes: a promoted standby after a failover. Reports
    // named to a standby read there when one answers, else on the primary.
    if (use == Use::Reports)
        o << QStringLiteral("target_session_attrs=prefer-standby");
    else if (hosts.size() > 1)
        o << QStringLiteral("target_session_attrs=read-write");
    return o.join(QLatin1Char(';'));
}

} // namespace qv
