#include "reportengine/reportrequest.h"

#include "db/connection.h"
#include "db/money.h"
#include "reportengine/formula_p.h"
#include "reportengine/report.h"
#include "reportengine/reporterror.h"
#include "reportengine/reportjob.h"

namespace qv::rpt {

namespace {

const char* const OpTexts[] = {"=", "<>", "<", "<=", ">", ">="};

// The type a value holds; nullopt for a value no field holds. Whole numbers are widened to qint64,
// the form a parsed number is bound in.
std::optional<FieldType> valueType(QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<Money>())
        return FieldType::Amount;
    switch (v.typeId()) {
    case QMetaType::QString:
        return FieldType::Text;
    case QMetaType::QDate:
        if (!v.toDate().isValid())
            return std::nullopt;
        return FieldType::Date;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        v = QVariant(v.toLongLong());
        return FieldType::Number;
    default:
        return std::nullopt;
    }
}

QString literal(const QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<Money>())
        return plainAmount(v.value<Money>());
    switch (v.typeId()) {
    case QMetaType::QString:
        return QLatin1Char('\'') + v.toString().replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    case QMetaType::QDate:
        return QLatin1Char('#') + v.toDate().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('#');
    default:
        return v.toString();
    }
}

Operand valueOperand(const Condition& c, const FieldInfo& field, QVariant v)
{
    const std::optional<FieldType> t = valueType(v);
    if (t != field.type)
        throw ReportError(
            QStringLiteral("The selection on {%1}: the field holds %2, the value given is %3.")
                .arg(c.field, fieldTypeName(field.type),
                     t ? fieldTypeName(*t) : QStringLiteral("none of text, a number, an amount or a date")));
    Operand o;
    o.kind = Operand::Value;
    o.value = v;
    o.valueType = *t;
    return o;
}

} // namespace

QString selectionText(const Selection& selection)
{
    QStringList terms;
    for (const Condition& c : selection) {
        const QString field = QLatin1Char('{') + c.field + QLatin1Char('}');
        if (c.op == Condition::Between)
            terms << field + (c.spelled.isEmpty() ? QStringLiteral(" in ") : c.spelled) + literal(c.value)
                         + QStringLiteral(" to ") + literal(c.last);
        else
            terms << field
                         + (c.spelled.isEmpty() ? QStringLiteral(" %1 ").arg(QLatin1String(OpTexts[c.op])) : c.spelled)
                         + literal(c.value);
    }
    return terms.join(QStringLiteral(" and "));
}

Formula Formula::of(const Selection& selection, const FieldSet& fields)
{
    Formula f;
    f.m_text = selectionText(selection);
    std::vector<std::shared_ptr<const Node>> terms;
    for (const Condition& c : selection) {
        const FieldInfo* field = fields.find(c.field);
        if (!field)
            throw ReportError(
                QStringLiteral("The selection names the field {%1}, which is not part of this report.").arg(c.field));
        auto n = std::make_shared<Node>();
        n->a.kind = Operand::Field;
        n->a.field = *field;
        n->b = valueOperand(c, *field, c.value);
        if (c.op == Condition::Between) {
            n->kind = Node::Range;
            n->c = valueOperand(c, *field, c.last);
        } else {
            n->kind = Node::Compare;
            n->op = QLatin1String(OpTexts[c.op]);
        }
        terms.push_back(std::move(n));
    }
    if (terms.size() == 1) {
        f.m_root = terms.front();
    } else if (!terms.empty()) {
        auto all = std::make_shared<Node>();
        all->kind = Node::And;
        all->terms = std::move(terms);
        f.m_root = std::move(all);
    }
    return f;
}

void applyRequest(Report& report, const ReportRequest& request, Connection& c)
{
    if (request.preparation) {
        ReportJob::stopAll(); // the work tables are refilled: no report may still be reading them
        c.prepare(request.preparation->statement, request.preparation->run);
    }
    report.setMayReadStandby(request.mayReadStandby && !request.preparation);
    report.setSelection(request.selection);
    for (const auto& [name, value] : request.formulaValues)
        report.FormulaFields().byName(name).setValue(value);
    for (const auto& [name, selection] : request.subreports)
        report.OpenSubreport(name).setSelection(selection);
}

} // namespace qv::rpt
