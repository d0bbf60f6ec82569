// Reading the *.rpt text format. First pass: directives into sections, band element lines kept
// raw; second pass (at the end of each section): elements resolved against the declared fields,
// formula fields and subreports, so that declarations may follow the bands that use them. The
// element lines themselves are read in templateelements.cpp.
#include "reportengine/templateparser_p.h"

namespace qv::rpt {

Template parseTemplate(const QString& text, const QString& path)
{
    return detail::TemplateParser(text, path).run();
}

} // namespace qv::rpt
