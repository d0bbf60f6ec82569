// A parsed selection formula as a SQL condition: the declared fields' own expressions, and a
// bound parameter for every literal.
#include "db/money.h"
#include "reportengine/formula_p.h"

namespace qv::rpt {

namespace {

// Terms joined flat ("a OR b OR c"): SQLite's parser overflows on deep parentheses, and its
// expression tree on chains of about a thousand terms, so long chains go in groups.
constexpr int TermsPerGroup = 64;

QString joinTerms(QStringList terms, const QString& op)
{
    const QString sep = QLatin1Char(' ') + op + QLatin1Char(' ');
    while (terms.size() > TermsPerGroup) {
        QStringList groups;
        for (int i = 0; i < terms.size(); i += TermsPerGroup)
            groups << QLatin1Char('(') + terms.mid(i, TermsPerGroup).join(sep) + QLatin1Char(')');
        terms = groups;
    }
    return terms.join(sep);
}

class SqlWriter {
public:
    explicit SqlWriter(Backend b)
        : m_backend(b)
    {
    }
    QVariantList params;

    QString node(const Formula::Node& n)
    {
        // Parameters are collected as the text is written, left to right: each piece is made in
        // its own statement (the order of a call's arguments is unspecified).
        switch (n.kind) {
        case Formula::Node::And:
        case Formula::Node::Or: {
            QStringList terms;
            for (const auto& t : n.terms)
                terms << node(*t);
            return QLatin1Char('(')
                   + joinTerms(terms, n.kind == Formula::Node::And ? QStringLiteral("AND") : QStringLiteral("OR"))
                   + QLatin1Char(')');
        }
        case Formula::Node::Not:
            return QStringLiteral("(NOT %1)").arg(node(*n.terms.front()));
        case Formula::Node::Compare: {
            const QString a = operand(n.a, n.b);
            const QString b = operand(n.b, n.a);
            return QStringLiteral("(%1 %2 %3)").arg(a, n.op, b);
        }
        case Formula::Node::Range: {
            const QString a = operand(n.a, n.b);
            const QString lo = operand(n.b, n.a);
            const QString hi = operand(n.c, n.a);
            return QStringLiteral("(%1 BETWEEN %2 AND %3)").arg(a, lo, hi);
        }
        }
        return {};
    }

private:
    // A literal is bound in the form its partner field stores; facing another literal it gets an
    // explicit type, which PostgreSQL needs to compare two parameters.
    QString operand(const Operand& o, const Operand& partner)
    {
        if (o.kind == Operand::Field)
            return QStringLiteral("(%1)").arg(o.field.sql);
        const bool facesField = partner.kind == Operand::Field;
        const FieldType as = facesField ? partner.field.type : o.type();
        params << value(o, as);
        if (facesField)
            return QStringLiteral("?");
        switch (as) {
        case FieldType::Text:
            return QStringLiteral("CAST(? AS TEXT)");
        case FieldType::Date:
            return m_backend == Backend::Postgres ? QStringLiteral("CAST(? AS DATE)") : QStringLiteral("?");
        default:
            return QStringLiteral("CAST(? AS NUMERIC)");
        }
    }

    // Numbers were checked against their range when parsed: these conversions cannot fail.
    QVariant value(const Operand& o, FieldType as) const
    {
        switch (o.kind) {
        case Operand::Text:
            return o.literal;
        case Operand::Date:
            return o.date;
        case Operand::Number:
            if (as == FieldType::Amount)
                return QVariant::fromValue(*parseAmount(o.literal));
            if (o.literal.contains(QLatin1Char('.')))
                return o.literal.toDouble();
            return o.literal.toLongLong();
        case Operand::Value:
            return o.value;
        case Operand::Field:
            break;
        }
        return {};
    }

    Backend m_backend;
};

} // namespace

SqlCondition Formula::toSql(Backend backend) const
{
    SqlCondition c;
    if (!m_root)
        return c;
    SqlWriter w(backend);
    c.sql = w.node(*m_root);
    c.params = w.params;
    return c;
}

} // namespace qv::rpt
