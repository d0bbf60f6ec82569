#pragma once
// Documented controls are made in one call: the widget, its objectName (the documented name,
// which tests and the code use) and, where it has one, its caption.
#include <QWidget>
#include <utility>

namespace qv {

// named<QPushButton>(this, "cmdSave", QStringLiteral("&Save")) -> new QPushButton("&Save", this)
template <class T, class... Args> T* named(QWidget* parent, const char* objectName, Args&&... args)
{
    T* w = new T(std::forward<Args>(args)..., parent);
    w->setObjectName(QLatin1String(objectName));
    return w;
}

} // namespace qv
