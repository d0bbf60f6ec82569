#include "reports/formula.h"

#include "db/money.h"
#include "reports/formulatokens.h"
#include "reports/reporterror.h"

#include <QDate>
#include <QRegularExpression>

namespace qv::rpt {

using detail::fail;
using detail::Tok;
using detail::Token;
using detail::tokenize;

// ---- syntax tree --------------------------------------------------------------------------

struct Operand {
    enum Kind { Field, Text, Number, Date } kind = Text;
    FieldInfo field; // Field
    QString literal; // Text, Number (as written, sign included)
    QDate date;      // Date
    FieldType type() const
    {
        switch (kind) {
        case Field:
            return field.type;
        case Text:
            return FieldType::Text;
        case Number:
            return FieldType::Number;
        case Date:
            return FieldType::Date;
        }
        return FieldType::Text;
    }
};

struct Formula::Node {
    enum Kind { And, Or, Not, Compare, Range } kind = Compare;
    std::shared_ptr<const Node> left, right; // And, Or (both), Not (left)
    QString op;                              // Compare
    Operand a, b, c;                         // Compare: a op b; Range: a between b and c
};

namespace {

using NodePtr = std::shared_ptr<const Formula::Node>;

QString typeName(FieldType t)
{
    switch (t) {
    case FieldType::Text:
        return QStringLiteral("text");
    case FieldType::Number:
        return QStringLiteral("a number");
    case FieldType::Amount:
        return QStringLiteral("an amount");
    case FieldType::Date:
        return QStringLiteral("a date");
    }
    return {};
}

bool numeric(FieldType t)
{
    return t == FieldType::Number || t == FieldType::Amount;
}

class Parser {
public:
    Parser(const QString& text, const FieldSet& fields)
        : m_text(text)
        , m_fields(fields)
        , m_toks(tokenize(text))
    {
    }

    NodePtr parseAll()
    {
        NodePtr n = parseOr();
        if (peek().kind != Tok::End)
            fail(m_text, peek().pos, QStringLiteral("%1 was not expected here").arg(describe(m_pos)));
        return n;
    }

private:
    const Token& peek() const { return m_toks[m_pos]; }
    Token take() { return m_toks[m_pos++]; }
    bool isWord(const char* w) const { return peek().kind == Tok::Word && peek().text == QLatin1String(w); }

    // The token at index i as written in the formula.
    QString describe(int i) const
    {
        const Token& t = m_toks[i];
        if (t.kind == Tok::End)
            return QStringLiteral("the end of the formula");
        return QLatin1Char('"') + m_text.mid(t.pos, m_toks[i + 1].pos - t.pos).trimmed() + QLatin1Char('"');
    }

    NodePtr binary(Formula::Node::Kind k, NodePtr l, NodePtr r)
    {
        auto n = std::make_shared<Formula::Node>();
        n->kind = k;
        n->left = std::move(l);
        n->right = std::move(r);
        return n;
    }

    NodePtr parseOr()
    {
        NodePtr l = parseAnd();
        while (isWord("or")) {
            take();
            l = binary(Formula::Node::Or, l, parseAnd());
        }
        return l;
    }

    NodePtr parseAnd()
    {
        NodePtr l = parseNot();
        while (isWord("and")) {
            take();
            l = binary(Formula::Node::And, l, parseNot());
        }
        return l;
    }

    NodePtr parseNot()
    {
        if (isWord("not")) {
            take();
            auto n = std::make_shared<Formula::Node>();
            n->kind = Formula::Node::Not;
            n->left = parseNot();
            return n;
        }
        if (peek().kind == Tok::LParen) {
            take();
            NodePtr inner = parseOr();
            if (peek().kind != Tok::RParen)
                fail(m_text, peek().pos,
                     QStringLiteral("a closing parenthesis is missing before %1").arg(describe(m_pos)));
            take();
            return inner;
        }
        return parseCondition();
    }

    NodePtr parseCondition()
    {
        const int at = peek().pos;
        auto n = std::make_shared<Formula::Node>();
        n->a = parseOperand();
        if (isWord("in")) {
            take();
            n->kind = Formula::Node::Range;
            const int loPos = peek().pos;
            n->b = parseOperand();
            if (!isWord("to"))
                fail(m_text, peek().pos, QStringLiteral("\"to\" is expected after the first value of \"in\""));
            take();
            const int hiPos = peek().pos;
            n->c = parseOperand();
            checkTypes(n->a, n->b, loPos);
            checkTypes(n->a, n->c, hiPos);
            return n;
        }
        if (peek().kind != Tok::Cmp)
            fail(m_text, peek().pos,
                 QStringLiteral("a comparison (=, <>, <, >, <=, >= or in) is expected instead of %1")
                     .arg(describe(m_pos)));
        n->kind = Formula::Node::Compare;
        n->op = take().text;
        n->b = parseOperand();
        checkTypes(n->a, n->b, at);
        return n;
    }

    void checkTypes(const Operand& x, const Operand& y, int pos) const
    {
        const FieldType tx = x.type(), ty = y.type();
        bool ok = tx == ty || (numeric(tx) && numeric(ty));
        // Two fields must agree exactly: an amount and a count are not measured alike.
        if (x.kind == Operand::Field && y.kind == Operand::Field && tx != ty)
            ok = false;
        if (!ok)
            fail(m_text, pos, QStringLiteral("%1 cannot be compared with %2").arg(typeName(tx), typeName(ty)));
        // Amounts are exact to the cent: a literal finer than that matches nothing, so say so.
        for (const auto& [a, b] : {std::pair(&x, &y), std::pair(&y, &x)})
            if (a->kind == Operand::Field && a->field.type == FieldType::Amount && b->kind == Operand::Number
                && b->literal.section(QLatin1Char('.'), 1).size() > 2)
                fail(m_text, pos, QStringLiteral("the amount %1 has more than two decimals").arg(b->literal));
    }

    Operand parseOperand()
    {
        const int at = m_pos;
        const Token t = take();
        Operand o;
        switch (t.kind) {
        case Tok::Field: {
            if (t.text.startsWith(QLatin1Char('@')))
                fail(m_text, t.pos, QStringLiteral("the formula field {%1} cannot be used in a selection").arg(t.text));
            const FieldInfo* f = m_fields.find(t.text);
            if (!f)
                fail(m_text, t.pos, QStringLiteral("the field {%1} is not part of this report").arg(t.text));
            o.kind = Operand::Field;
            o.field = *f;
            return o;
        }
        case Tok::Text:
            o.kind = Operand::Text;
            o.literal = t.text;
            return o;
        case Tok::Number:
            o.kind = Operand::Number;
            o.literal = t.text;
            return o;
        case Tok::Minus:
            if (peek().kind != Tok::Number)
                fail(m_text, t.pos, QStringLiteral("a number is expected after \"-\""));
            o.kind = Operand::Number;
            o.literal = QLatin1Char('-') + take().text;
            return o;
        case Tok::Date: {
            static const QRegularExpression re(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
            const auto m = re.match(t.text);
            const QDate d =
                m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()) : QDate();
            if (!d.isValid())
                fail(m_text, t.pos, QStringLiteral("#%1# is not a date of the form #yyyy-mm-dd#").arg(t.text));
            o.kind = Operand::Date;
            o.date = d;
            return o;
        }
        default:
            fail(m_text, t.pos,
                 QStringLiteral("a field, a text, a number or a date is expected instead of %1").arg(describe(at)));
        }
    }

    const QString& m_text;
    const FieldSet& m_fields;
    QVector<Token> m_toks;
    int m_pos = 0;
};

// ---- SQL ----------------------------------------------------------------------------------

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
            const QString l = node(*n.left);
            const QString r = node(*n.right);
            return QStringLiteral("(%1 %2 %3)")
                .arg(l, n.kind == Formula::Node::And ? QStringLiteral("AND") : QStringLiteral("OR"), r);
        }
        case Formula::Node::Not:
            return QStringLiteral("(NOT %1)").arg(node(*n.left));
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

    QVariant value(const Operand& o, FieldType as) const
    {
        switch (o.kind) {
        case Operand::Text:
            return o.literal;
        case Operand::Date:
            return o.date;
        case Operand::Number:
            if (as == FieldType::Amount)
                return QVariant::fromValue(parseAmount(o.literal).value_or(Money()));
            if (o.literal.contains(QLatin1Char('.')))
                return o.literal.toDouble();
            return o.literal.toLongLong();
        case Operand::Field:
            break;
        }
        return {};
    }

    Backend m_backend;
};

} // namespace

Formula::Formula() = default;

Formula Formula::parse(const QString& text, const FieldSet& fields)
{
    Formula f;
    f.m_text = text;
    if (text.trimmed().isEmpty())
        return f;
    Parser p(text, fields);
    f.m_root = p.parseAll();
    return f;
}

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

QString formulaFieldText(const QString& formula)
{
    const QString t = formula.trimmed();
    if (t.isEmpty())
        return {};
    const QVector<Token> toks = tokenize(t);
    if (toks.size() != 2 || toks[0].kind != Tok::Text)
        fail(t, 0, QStringLiteral("a formula field's text must be one text between double quotes"));
    return toks[0].text;
}

} // namespace qv::rpt
