#pragma once
#include <QIcon>
#include <QPixmap>

namespace qv {
// The static picture that stands where the animation played: a skyline of plots and a ledger.
QPixmap homePicture(QSize size);
// The program's own icon: a ledger with a tick, drawn at the usual sizes.
QIcon programIcon();
} // namespace qv
