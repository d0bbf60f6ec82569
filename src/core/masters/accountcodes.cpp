#include "masters/accountcodes.h"

namespace qv::accounts {

int levelOf(const QString& status)
{
    const QString s = status.trimmed();
    if (s == Control)
        return 1;
    if (s == SubControl)
        return 2;
    if (s == Subsidiary)
        return 3;
    return 0;
}

QString nodeKey(const QString& code)
{
    return QLatin1Char('\'') + code.trimmed() + QLatin1Char('\'');
}

QString childCode(const QString& parentCode, int dcode)
{
    return parentCode.trimmed() + QLatin1Char('.') + QString::number(dcode);
}

QStringList ancestorCodes(const QString& code)
{
    QStringList out;
    const QString c = code.trimmed();
    for (int i = c.indexOf(QLatin1Char('.')); i > 0; i = c.indexOf(QLatin1Char('.'), i + 1))
        out << c.left(i);
    return out;
}

bool codeLess(const QString& a, const QString& b)
{
    // UTF-16 unit order; codes are ASCII, where that is byte order ('.' before the digits).
    return QStringView(a).trimmed().compare(QStringView(b).trimmed(), Qt::CaseSensitive) < 0;
}

} // namespace qv::accounts
