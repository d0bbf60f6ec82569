#pragma once
// The words of a selection formula: fields in braces, texts, numbers, dates, words and
// operators, each with its place in the formula for the error messages.
#include <QString>
#include <QVector>

namespace qv::rpt::detail {

enum class Tok { End, Field, Text, Number, Date, Word, Cmp, LParen, RParen, Minus };

struct Token {
    Tok kind = Tok::End;
    QString text; // field name, literal value, word (lower case) or operator
    int pos = 0;
};

// Throws ReportError naming the character (1-based) where the formula went wrong.
[[noreturn]] void fail(const QString& formula, int pos, const QString& what);

QVector<Token> tokenize(const QString& s);

} // namespace qv::rpt::detail
