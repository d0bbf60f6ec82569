#pragma once
// Writes a laid-out document straight to PDF: texts as glyph strings of the embedded fonts,
// lines and boxes as paths, one compressed content stream a page. About five times faster than
// painting through QPdfWriter, which positions and compresses every glyph on its own: a
// 200,000-line report is written in seconds. Texts that need shaping (scripts other than Latin,
// glyphs missing from the font) or fonts without TrueType outlines are left to QPdfWriter:
// then this returns false and writes nothing.
#include <QIODevice>
#include <functional>

namespace qv::rpt {

class Document;

// `progress` as Document::writePdf takes it: false stops the writing (OutputStopped).
bool writePdfDirect(const Document& doc, QIODevice& out, const std::function<bool(int, int)>& progress = {});

} // namespace qv::rpt
