#include "db/money.h"

#include <QRegularExpression>

namespace qv {

QString plainAmount(Money m)
{
    const qint64 a = m.cents < 0 ? -m.cents : m.cents;
    return QStringLiteral("%1%2.%3")
        .arg(m.cents < 0 ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}

QString displayAmount(Money m)
{
    const qint64 a = m.cents < 0 ? -m.cents : m.cents;
    QString units = QString::number(a / 100);
    for (int i = units.size() - 3; i > 0; i -= 3)
        units.insert(i, QLatin1Char(','));
    return QStringLiteral("%1%2.%3")
        .arg(m.cents < 0 ? QStringLiteral("-") : QString(), units)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}

std::optional<Money> parseAmount(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([-+]?)\\s*([0-9,]*)(?:\\.([0-9]*))?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    QString whole = m.captured(2);
    whole.remove(QLatin1Char(','));
    const QString frac = m.captured(3);
    if (whole.isEmpty() && frac.isEmpty())
        return std::nullopt;
    if (whole.size() > 16)
        return std::nullopt;
    qint64 cents = whole.isEmpty() ? 0 : whole.toLongLong() * 100;
    const QString f = (frac + QStringLiteral("000")).left(3);
    cents += f.left(2).toInt();
    if (f.at(2) >= QLatin1Char('5'))
        cents += 1;
    return Money(m.captured(1) == QLatin1String("-") ? -cents : cents);
}

Money leadingAmount(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*[-+]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)"));
    QString t = text;
    t.remove(QLatin1Char(','));
    const auto m = re.match(t);
    if (!m.hasMatch())
        return Money();
    return parseAmount(m.captured(0)).value_or(Money());
}

std::optional<Money> moneyFromVariant(const QVariant& v, bool integerCents)
{
    if (v.isNull() || !v.isValid())
        return std::nullopt;
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>();
    if (integerCents) {
        bool ok = false;
        const qint64 c = v.toLongLong(&ok);
        if (ok)
            return Money(c);
        // A sum over integers may come back as a double when mixed; round it once.
        const double d = v.toDouble(&ok);
        return ok ? std::optional<Money>(Money(qRound64(d))) : std::nullopt;
    }
    // NUMERIC arrives as text (QPSQL keeps it exact when asked for strings).
    return parseAmount(v.toString());
}

} // namespace qv
