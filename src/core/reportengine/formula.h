#pragma once
// Selection formulas: fields in braces, 'text' literals, numbers, #yyyy-mm-dd# dates,
// = <> < > <= >=, `{f} in a to b`, and, or, not, parentheses. A formula is parsed against the
// fields its report declares and compiled to a SQL condition whose every value is a bound
// parameter; nothing of the typed text reaches the statement but the declared fields' own SQL.
#include "db/datasource.h"

#include <QHash>
#include <QString>
#include <QVariantList>
#include <QVector>
#include <memory>

namespace qv::rpt {

struct Condition;
using Selection = QVector<Condition>;

enum class FieldType { Text, Number, Amount, Date };

// A declared field: its name as formulas write it ("Accounts.AcNodes"), the SQL expression it
// reads, its type, and its column in the report's rows.
struct FieldInfo {
    QString name;
    QString sql;
    FieldType type = FieldType::Text;
    int index = -1;
};

// The fields one report (or subreport) declares, found without regard to case.
class FieldSet {
public:
    // Returns the new field's index; a name declared twice is refused.
    int add(const QString& name, const QString& sql, FieldType type);
    const FieldInfo* find(const QString& name) const;
    const QVector<FieldInfo>& all() const { return m_fields; }
    int size() const { return int(m_fields.size()); }

private:
    QVector<FieldInfo> m_fields;
    QHash<QString, int> m_index;
};

struct SqlCondition {
    QString sql; // empty: no condition
    QVariantList params;
};

class Formula {
public:
    Formula();
    // Throws ReportError with the position and the reason when the text does not parse or
    // names a field the report does not declare. Blank text is the empty formula.
    static Formula parse(const QString& text, const FieldSet& fields);
    // The same condition from typed conditions (reportrequest.h), nothing parsed: each value is
    // bound as given. Throws ReportError for a field the report does not declare or a value of
    // another type than the field's. The text is the selection's text form.
    static Formula of(const Selection& selection, const FieldSet& fields);
    bool isEmpty() const { return !m_root; }
    const QString& text() const { return m_text; }
    // The condition for the backend the report reads (casts differ where both sides are literals).
    SqlCondition toSql(Backend backend) const;

    struct Node;

private:
    std::shared_ptr<const Node> m_root;
    QString m_text;
};

// The text a formula field shows: its formula must be one text literal, between double quotes
// ("" inside stands for one) or single quotes. Throws ReportError otherwise.
QString formulaFieldText(const QString& formula);

FieldType fieldTypeFromName(const QString& name, bool* ok);
// "text", "a number", "an amount", "a date": as messages name a field's type.
QString fieldTypeName(FieldType t);

} // namespace qv::rpt
