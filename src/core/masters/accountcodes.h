#pragma once
// Account codes of the three-level chart: "3" a control account, "3.2" its second sub-control
// account, "3.2.10" the tenth subsidiary account under that. Plain decimals, "." between levels.
#include <QString>
#include <QStringList>

namespace qv::accounts {

// The level codes kept in AcStatus.
inline const QString Control = QStringLiteral("HH");
inline const QString SubControl = QStringLiteral("HD");
inline const QString Subsidiary = QStringLiteral("DD");

// 1 for a control account, 2 sub-control, 3 subsidiary, 0 for any other status.
int levelOf(const QString& status);

// A tree node's key: the code between apostrophes ("'3.2'").
QString nodeKey(const QString& code);
// The code of the dcode-th child of `parentCode`.
QString childCode(const QString& parentCode, int dcode);
// The codes of the heads above `code`, the control account first: "3.2.10" -> {"3", "3.2"}.
QStringList ancestorCodes(const QString& code);

// Text order of codes, character by character: 1, 1.1, 1.1.1, 1.10, 1.2, 10, 2. A code sorts
// after every prefix of itself, so heads always come before the accounts under them. Done here
// rather than by ORDER BY, whose result follows the server's collation.
bool codeLess(const QString& a, const QString& b);

// The largest sequence number within one head (Dcode is a 16-bit column).
inline constexpr int MaxDcode = 32767;

} // namespace qv::accounts
