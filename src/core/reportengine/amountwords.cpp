#include "reportengine/amountwords.h"

#include <QStringList>

namespace qv::rpt {

namespace {
const char* const Ones[] = {"",         "One",     "Two",     "Three",     "Four",     "Five",    "Six",
                            "Seven",    "Eight",   "Nine",    "Ten",       "Eleven",   "Twelve",  "Thirteen",
                            "Fourteen", "Fifteen", "Sixteen", "Seventeen", "Eighteen", "Nineteen"};
const char* const Tens[] = {"", "", "Twenty", "Thirty", "Forty", "Fifty", "Sixty", "Seventy", "Eighty", "Ninety"};
const char* const Scales[] = {"", "Thousand", "Million", "Billion", "Trillion", "Quadrillion", "Quintillion"};

// 1..999
QString below1000(int n)
{
    QStringList w;
    if (n >= 100) {
        w << QString::fromLatin1(Ones[n / 100]) << QStringLiteral("Hundred");
        n %= 100;
    }
    if (n >= 20) {
        QString t = QString::fromLatin1(Tens[n / 10]);
        if (n % 10)
            t += QLatin1Char('-') + QString::fromLatin1(Ones[n % 10]);
        w << t;
    } else if (n > 0) {
        w << QString::fromLatin1(Ones[n]);
    }
    return w.join(QLatin1Char(' '));
}
} // namespace

QString amountInWords(Money m)
{
    // Unsigned so that the most negative amount has a magnitude too.
    const bool negative = m.cents < 0;
    const quint64 abs = negative ? quint64(0) - quint64(m.cents) : quint64(m.cents);
    quint64 units = abs / 100;
    const int cents = int(abs % 100);
    QStringList groups;
    for (int scale = 0; units > 0; ++scale, units /= 1000) {
        const int part = int(units % 1000);
        if (part == 0)
            continue;
        QString g = below1000(part);
        if (scale > 0)
            g += QLatin1Char(' ') + QString::fromLatin1(Scales[scale]);
        groups.prepend(g);
    }
    QString text = groups.isEmpty() ? QStringLiteral("Zero") : groups.join(QLatin1Char(' '));
    if (negative)
        text.prepend(QStringLiteral("Minus "));
    if (cents)
        text += QStringLiteral(" and %1/100").arg(cents, 2, 10, QLatin1Char('0'));
    return text + QStringLiteral(" Only");
}

} // namespace qv::rpt
