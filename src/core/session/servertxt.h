#pragma once
#include <QString>

namespace qv {

// The first item of a line by the delimited-input rule: leading blanks skipped; a quoted item
// runs to its closing quote (quotes removed); otherwise the item ends at the first comma.
QString firstDelimitedItem(const QString& line);
// The server named in Server.txt in `folder`; "." when the file is missing, empty or unreadable.
QString readServerFile(const QString& folder);

} // namespace qv
