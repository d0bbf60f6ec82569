#pragma once
// Writes a laid-out document straight to PDF: texts as glyph strings of the embedded fonts,
// lines and boxes as paths, one compressed content stream a page. About five times faster than
// painting through QPdfWriter, which positions and compresses every glyph on its own: a
// 200,000-line report is written in seconds. Texts that need shaping (scripts other than Latin,
// glyphs missing from the font) or fonts without TrueType outlines are left to QPdfWriter:
// then this returns false and writes nothing.
#include <QIODevice>

namespace qv::rpt {

class Document;

bool writePdfDirect(const Document& doc, QIODevice& out);

} // namespace qv::rpt
