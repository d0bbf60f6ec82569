#pragma once
// Money is kept in whole cents (minor units) everywhere in C++: never summed as double.
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <optional>

namespace qv {

struct Money {
    qint64 cents = 0;
    constexpr Money() = default;
    constexpr explicit Money(qint64 c)
        : cents(c)
    {
    }
    static constexpr Money fromUnits(qint64 units) { return Money(units * 100); }
    friend constexpr Money operator+(Money a, Money b) { return Money(a.cents + b.cents); }
    friend constexpr Money operator-(Money a, Money b) { return Money(a.cents - b.cents); }
    Money& operator+=(Money o)
    {
        cents += o.cents;
        return *this;
    }
    Money& operator-=(Money o)
    {
        cents -= o.cents;
        return *this;
    }
    friend constexpr bool operator==(Money a, Money b) = default;
    friend constexpr auto operator<=>(Money a, Money b) = default;
};

// "###0.00": plain decimal with two places, as written to the database and edited.
QString plainAmount(Money m);
// "##,###0.00": thousands separators and two places, for display.
QString displayAmount(Money m);
// Exact parse of a decimal text ("1234.5", "-1,234.50", "12"). Thousands separators are
// accepted; more than two decimals are rounded half away from zero. Empty or bad text: nullopt.
std::optional<Money> parseAmount(const QString& text);
// The leading-number reading of a typed amount: the longest leading part that reads as a
// number ("12.5abc" -> 12.50, "abc" -> 0, "" -> 0), as the entry boxes read them.
Money leadingAmount(const QString& text);
// A database value (integer cents on SQLite, NUMERIC on PostgreSQL, or a Money) as Money.
std::optional<Money> moneyFromVariant(const QVariant& v, bool integerCents);

} // namespace qv

Q_DECLARE_METATYPE(qv::Money)
