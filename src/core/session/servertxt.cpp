#include "session/servertxt.h"

#include <QDir>
#include <QFile>

namespace qv {

QString firstDelimitedItem(const QString& line)
{
    int i = 0;
    while (i < line.size() && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t')))
        ++i;
    if (i < line.size() && line[i] == QLatin1Char('"')) {
        const int close = line.indexOf(QLatin1Char('"'), i + 1);
        return close < 0 ? line.mid(i + 1) : line.mid(i + 1, close - i - 1);
    }
    const int comma = line.indexOf(QLatin1Char(','), i);
    return (comma < 0 ? line.mid(i) : line.mid(i, comma - i)).trimmed();
}

QString readServerFile(const QString& folder)
{
    QFile f(QDir(folder).filePath(QStringLiteral("Server.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral(".");
    // One line is all that is read; a huge file of one line is cut at 4 KiB.
    QByteArray raw = f.readLine(4096);
    while (raw.endsWith('\n') || raw.endsWith('\r'))
        raw.chop(1);
    QString line = QString::fromUtf8(raw);
    // Control characters and invalid bytes do not make a server name.
    for (QChar& ch : line)
        if (ch.category() == QChar::Other_Control || ch == QChar::ReplacementCharacter)
            ch = QLatin1Char(' ');
    const QString item = firstDelimitedItem(line).trimmed();
    return item.isEmpty() ? QStringLiteral(".") : item;
}

} // namespace qv
