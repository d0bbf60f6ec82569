// The fields a template declares: the only names a formula may use, with their SQL and type.
#include "reportengine/formula.h"

#include "reportengine/reporterror.h"

namespace qv::rpt {

int FieldSet::add(const QString& name, const QString& sql, FieldType type)
{
    const QString key = name.toLower();
    if (m_index.contains(key))
        throw ReportError(QStringLiteral("The field {%1} is declared twice.").arg(name));
    const int i = int(m_fields.size());
    m_fields.push_back(FieldInfo{name, sql, type, i});
    m_index.insert(key, i);
    return i;
}

const FieldInfo* FieldSet::find(const QString& name) const
{
    const auto it = m_index.constFind(name.toLower());
    return it == m_index.constEnd() ? nullptr : &m_fields[*it];
}

FieldType fieldTypeFromName(const QString& name, bool* ok)
{
    const QString n = name.toLower();
    *ok = true;
    if (n == QLatin1String("text"))
        return FieldType::Text;
    if (n == QLatin1String("number"))
        return FieldType::Number;
    if (n == QLatin1String("amount"))
        return FieldType::Amount;
    if (n == QLatin1String("date"))
        return FieldType::Date;
    *ok = false;
    return FieldType::Text;
}

QString fieldTypeName(FieldType t)
{
    static const char* const names[] = {"text", "a number", "an amount", "a date"}; // in FieldType's order
    return QLatin1String(names[int(t)]);
}

} // namespace qv::rpt
