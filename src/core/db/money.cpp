#include "db/money.h"

#include "db/dberror.h"

#include <QRegularExpression>

namespace qv {

void amountOverflow()
{
    // SQLSTATE 22003, numeric value out of range: as the database says it of its own sums.
    throw DbError(QStringLiteral("A sum of amounts is too large to be represented (more than "
                                 "92,233,720,368,547,758.07)."),
                  QStringLiteral("22003"));
}

namespace {
// The size of an amount without negating it: the smallest value has no positive twin.
quint64 magnitude(Money m)
{
    return m.cents < 0 ? quint64(0) - quint64(m.cents) : quint64(m.cents);
}

// A stored decimal ("-123.45", as PostgreSQL gives NUMERIC) read exactly. Throws when it has
// more whole digits than a Money holds; nullopt when it is not a plain decimal.
std::optional<Money> storedDecimal(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([-+]?)([0-9]+)(?:\\.([0-9]*))?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const bool negative = m.captured(1) == QLatin1String("-");
    const QString frac = (m.captured(3) + QStringLiteral("000")).left(3);
    // Accumulated as a negative number: its range reaches one further than the positive one.
    qint64 c = 0;
    const QString digits = m.captured(2) + frac.left(2);
    for (QChar d : digits)
        if (__builtin_mul_overflow(c, qint64(10), &c) || __builtin_sub_overflow(c, qint64(d.digitValue()), &c))
            amountOverflow();
    if (frac.at(2) >= QLatin1Char('5') && __builtin_sub_overflow(c, qint64(1), &c))
        amountOverflow();
    if (!negative && c == std::numeric_limits<qint64>::min())
        amountOverflow();
    return Money(negative ? c : -c);
}
} // namespace

QString plainAmount(Money m)
{
    // Digits by hand: every amount of an export and of each voucher's audit image passes here,
    // millions in a large book, and QString::arg() parses its pattern each time.
    quint64 a = magnitude(m);
    char text[24];
    char* const end = text + sizeof text;
    char* p = end;
    *--p = char('0' + a % 10);
    *--p = char('0' + a / 10 % 10);
    *--p = '.';
    a /= 100;
    do {
        *--p = char('0' + a % 10);
        a /= 10;
    } while (a != 0);
    if (m.cents < 0)
        *--p = '-';
    return QString::fromLatin1(p, end - p);
}

QString displayAmount(Money m)
{
    const quint64 a = magnitude(m);
    QString units = QString::number(a / 100);
    for (int i = units.size() - 3; i > 0; i -= 3)
        units.insert(i, QLatin1Char(','));
    return QStringLiteral("%1%2.%3")
        .arg(m.cents < 0 ? QStringLiteral("-") : QString(), units)
        .arg(int(a % 100), 2, 10, QLatin1Char('0'));
}

std::optional<Money> parseAmount(const QString& text)
{
    // Commas only between groups of three digits: "1,500" and "12,345.6", never "1,5" or "1,,2".
    static const QRegularExpression re(
        QStringLiteral("^\\s*([-+]?)\\s*([0-9]*|[0-9]{1,3}(?:,[0-9]{3})+)(?:\\.([0-9]*))?\\s*$"));
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
    if (cents > 999'999'999'999'999'999LL) // what an amount column holds (half a cent rounded up)
        return std::nullopt;
    return Money(m.captured(1) == QLatin1String("-") ? -cents : cents);
}

QString amountProblem(const QString& text)
{
    if (parseAmount(text))
        return {};
    QString plain = text;
    plain.remove(QLatin1Char(','));
    if (text.contains(QLatin1Char(',')) && parseAmount(plain))
        return QStringLiteral("\"%1\" is not an amount: a comma may only separate thousands, as in 1,500.50 "
                              "(the cents follow a point).")
            .arg(text);
    static const QRegularExpression number(QStringLiteral("^\\s*[-+]?[0-9]*(?:\\.[0-9]*)?\\s*$"));
    if (number.match(plain).hasMatch() && plain.contains(QRegularExpression(QStringLiteral("[0-9]"))))
        return QStringLiteral("%1 is too large for an amount: at most 9,999,999,999,999,999.99.").arg(text);
    return QStringLiteral("\"%1\" is not an amount: type digits, with a point before the cents, as in 1500.50.")
        .arg(text);
}

std::optional<Money> moneyFromVariant(const QVariant& v, bool integerCents)
{
    if (v.isNull() || !v.isValid())
        return std::nullopt;
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>();
    if (integerCents) {
        bool ok = false;
        const bool floating =
            v.metaType() == QMetaType::fromType<double>() || v.metaType() == QMetaType::fromType<float>();
        const qint64 c = floating ? 0 : v.toLongLong(&ok);
        if (ok)
            return Money(c);
        // A sum over integers may come back as a double when mixed; round it once.
        const double d = v.toDouble(&ok);
        if (!ok)
            return std::nullopt;
        if (!(d > -9.2e18 && d < 9.2e18))
            amountOverflow();
        return Money(qRound64(d));
    }
    // NUMERIC arrives as text (QPSQL keeps it exact when asked for strings).
    const QString text = v.toString();
    if (const auto m = storedDecimal(text))
        return m;
    return parseAmount(text);
}

} // namespace qv
