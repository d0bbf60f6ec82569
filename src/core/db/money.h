#pragma once
// Money is kept in whole cents (minor units) everywhere in C++: never summed as double. Its
// arithmetic is checked: a sum beyond +-92,233,720,368,547,758.07 is an error, never wrapped.
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <optional>

namespace qv {

// A sum that cannot be held in 64 bits: throws DbError, never wraps.
[[noreturn]] void amountOverflow();

struct Money {
    qint64 cents = 0;
    constexpr Money() = default;
    constexpr explicit Money(qint64 c)
        : cents(c)
    {
    }
    static constexpr Money fromUnits(qint64 units)
    {
        qint64 c = 0;
        if (__builtin_mul_overflow(units, qint64(100), &c))
            amountOverflow();
        return Money(c);
    }
    friend constexpr Money operator+(Money a, Money b)
    {
        qint64 r = 0;
        if (__builtin_add_overflow(a.cents, b.cents, &r))
            amountOverflow();
        return Money(r);
    }
    friend constexpr Money operator-(Money a, Money b)
    {
        qint64 r = 0;
        if (__builtin_sub_overflow(a.cents, b.cents, &r))
            amountOverflow();
        return Money(r);
    }
    Money& operator+=(Money o) { return *this = *this + o; }
    Money& operator-=(Money o) { return *this = *this - o; }
    friend constexpr bool operator==(Money a, Money b) = default;
    friend constexpr auto operator<=>(Money a, Money b) = default;
};

// "###0.00": plain decimal with two places, as written to the database and edited.
QString plainAmount(Money m);
// "##,###0.00": thousands separators and two places, for display.
QString displayAmount(Money m);
// Exact parse of a decimal text ("1234.5", "-1,234.50", "12"). A comma is taken only as a
// thousands separator, between groups of three digits before the point ("1,5" is refused, never
// read as 15); more than two decimals are rounded half away from zero. Empty or bad text: nullopt.
std::optional<Money> parseAmount(const QString& text);
// Why a typed amount cannot be read, in words for the user; empty when parseAmount reads it.
QString amountProblem(const QString& text);
// A database value (integer cents on SQLite, NUMERIC on PostgreSQL, or a Money) as Money.
// Null or not a number: nullopt. A number beyond what a Money holds (a server's sum of many
// large amounts) throws DbError: it must never read as a wrong figure.
std::optional<Money> moneyFromVariant(const QVariant& v, bool integerCents);

} // namespace qv

Q_DECLARE_METATYPE(qv::Money)
