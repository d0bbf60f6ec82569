#pragma once
// What a server's own error says of the link: a session the server ended (an administrator's or
// a crash's shutdown: 57P01, 57P02) or a connection exception (class 08) leaves nothing to send
// the next statement on, whatever libpq still believes of its socket. When the server's last
// words arrive before the end of the link, that end may come later than the link's check waits.
#include <QSqlError>

namespace qv {

inline bool serverEndedSession(const QSqlError& e)
{
    const QString code = e.nativeErrorCode();
    return code == QLatin1String("57P01") || code == QLatin1String("57P02") || code.startsWith(QLatin1String("08"));
}

} // namespace qv
