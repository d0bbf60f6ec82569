#include "reportengine/formula.h"

#include "db/money.h"
#include "reportengine/formula_p.h"
#include "reportengine/formulatokens.h"
#include "reportengine/reporterror.h"

#include <QDate>
#include <QRegularExpression>
#include <limits>

namespace qv::rpt {

using detail::fail;
using detail::Tok;
using detail::Token;
using detail::tokenize;

namespace {

using NodePtr = std::shared_ptr<const Formula::Node>;

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

    // A chain of terms joined by one operator: one node, however many terms.
    template <typename Next> NodePtr chain(const char* word, Formula::Node::Kind k, Next next)
    {
        NodePtr first = (this->*next)();
        if (!isWord(word))
            return first;
        auto n = std::make_shared<Formula::Node>();
        n->kind = k;
        n->terms.push_back(std::move(first));
        while (isWord(word)) {
            take();
            n->terms.push_back((this->*next)());
        }
        return n;
    }

    NodePtr parseOr() { return chain("or", Formula::Node::Or, &Parser::parseAnd); }
    NodePtr parseAnd() { return chain("and", Formula::Node::And, &Parser::parseNot); }

    // Each "not" and each "(" goes one level deeper; too deep is refused before the recursion
    // can exhaust the stack.
    void deeper()
    {
        if (++m_depth > MaxFormulaDepth)
            fail(m_text, peek().pos,
                 QStringLiteral("the formula is nested more than %1 deep (parentheses and \"not\" together)")
                     .arg(MaxFormulaDepth));
    }

    NodePtr parseNot()
    {
        if (isWord("not")) {
            deeper();
            take();
            auto n = std::make_shared<Formula::Node>();
            n->kind = Formula::Node::Not;
            n->terms.push_back(parseNot());
            --m_depth;
            return n;
        }
        if (peek().kind == Tok::LParen) {
            deeper();
            take();
            NodePtr inner = parseOr();
            if (peek().kind != Tok::RParen)
                fail(m_text, peek().pos,
                     QStringLiteral("a closing parenthesis is missing before %1").arg(describe(m_pos)));
            take();
            --m_depth;
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
            checkRange(n->a, n->b);
            checkRange(n->b, n->a);
            checkRange(n->c, n->a);
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
        checkRange(n->a, n->b);
        checkRange(n->b, n->a);
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
            fail(m_text, pos,
                 QStringLiteral("%1 cannot be compared with %2").arg(fieldTypeName(tx), fieldTypeName(ty)));
        // Amounts are exact to the cent: a literal finer than that matches nothing, so say so.
        for (const auto& [a, b] : {std::pair(&x, &y), std::pair(&y, &x)})
            if (a->kind == Operand::Field && a->field.type == FieldType::Amount && b->kind == Operand::Number
                && b->literal.section(QLatin1Char('.'), 1).size() > 2)
                fail(m_text, pos, QStringLiteral("the amount %1 has more than two decimals").arg(b->literal));
    }

    // A number literal must be what it says: one beyond what its partner holds would otherwise be
    // bound as some other value.
    void checkRange(const Operand& x, const Operand& partner) const
    {
        if (x.kind != Operand::Number)
            return;
        if (partner.kind == Operand::Field && partner.field.type == FieldType::Amount) {
            if (!parseAmount(x.literal))
                fail(m_text, x.pos,
                     QStringLiteral("the amount %1 is beyond the largest amount (%2)")
                         .arg(x.literal, displayAmount(Money(999999999999999999LL))));
            return;
        }
        QString whole = x.literal.section(QLatin1Char('.'), 0, 0);
        if (whole.isEmpty() || whole == QLatin1String("-"))
            whole += QLatin1Char('0'); // ".5", "-.5"
        bool ok = false;
        whole.toLongLong(&ok);
        if (!ok)
            fail(m_text, x.pos,
                 QStringLiteral("the number %1 is larger than a number can be (from %2 to %3)")
                     .arg(x.literal)
                     .arg(std::numeric_limits<qint64>::min())
                     .arg(std::numeric_limits<qint64>::max()));
    }

    Operand parseOperand()
    {
        const int at = m_pos;
        const Token t = take();
        Operand o;
        o.pos = t.pos;
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
    int m_depth = 0;
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
