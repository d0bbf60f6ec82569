#include "reportengine/template.h"

#include "reportengine/reporterror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qv::rpt {

const Band* Section::band(BandKind kind, int level) const
{
    for (const Band& b : bands)
        if (b.kind == kind && b.level == level)
            return &b;
    return nullptr;
}

QSizeF Template::pageSizeMm() const
{
    const QSizeF s = QPageSize(pageSize).size(QPageSize::Millimeter);
    return orientation == QPageLayout::Landscape ? s.transposed() : s;
}

double Template::bodyWidth() const
{
    return pageSizeMm().width() - margins.left() - margins.right();
}

int Template::formulaIndex(const QString& name) const
{
    for (int i = 0; i < formulas.size(); ++i)
        if (formulas[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Template::subreportIndex(const QString& name) const
{
    for (int i = 0; i < subreports.size(); ++i)
        if (subreports[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Template::internStyle(const TextStyle& s)
{
    const int i = int(styles.indexOf(s));
    if (i >= 0)
        return i;
    styles.push_back(s);
    return int(styles.size()) - 1;
}

Template loadTemplate(const QString& path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile())
        throw ReportError(
            QStringLiteral("The report template \"%1\" was not found.").arg(QDir::toNativeSeparators(path)));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        throw ReportError(
            QStringLiteral("The report template \"%1\" could not be read: %2").arg(path, f.errorString()));
    return parseTemplate(QString::fromUtf8(f.readAll()), path);
}

} // namespace qv::rpt
