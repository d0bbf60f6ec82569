#pragma once
#include <QPixmap>

namespace qv {
// The static picture that stands where the animation played: a skyline of plots and a ledger.
QPixmap homePicture(QSize size);
} // namespace qv
