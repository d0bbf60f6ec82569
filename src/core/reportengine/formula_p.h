#pragma once
// What the formula's parser and its SQL writer share: the syntax tree.
#include "reportengine/formula.h"

#include <QDate>
#include <vector>

namespace qv::rpt {

// ---- syntax tree --------------------------------------------------------------------------

struct Operand {
    // Value: a typed selection's value, bound as it is; the field it faces decided its type.
    enum Kind { Field, Text, Number, Date, Value } kind = Text;
    FieldInfo field; // Field
    QString literal; // Text, Number (as written, sign included)
    QDate date;      // Date
    QVariant value;  // Value
    FieldType valueType = FieldType::Text;
    int pos = 0; // where it stands in the formula
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
        case Value:
            return valueType;
        }
        return FieldType::Text;
    }
};

// A chain of "and" (or of "or") is one node with all its terms: the tree stays as shallow as the
// formula's nesting, however long the chain.
struct Formula::Node {
    enum Kind { And, Or, Not, Compare, Range } kind = Compare;
    std::vector<std::shared_ptr<const Node>> terms; // And, Or: two or more; Not: one
    QString op;                                     // Compare
    Operand a, b, c;                                // Compare: a op b; Range: a between b and c
};

// How deep parentheses and "not" may nest, together: well inside what the parser's recursion and
// the databases' own parsers (SQLite's stack of about 100) can follow.
inline constexpr int MaxFormulaDepth = 32;

} // namespace qv::rpt
