#include "shell/windows.h"

#include "shell/mdichild.h"
#include "shell/mdiform1.h"
#include "widgets/keyrules.h"

#include <QHash>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>

namespace qv {

namespace {
QHash<QString, Windows::Definition>& definitions()
{
    static QHash<QString, Windows::Definition> h;
    return h;
}

QHash<QString, std::function<void()>>& menuActions()
{
    static QHash<QString, std::function<void()>> h;
    return h;
}
QString geometryKey(const QString& name)
{
    return QStringLiteral("Windows/") + name;
}

void restoreGeometry(MdiChild* w, bool placed)
{
    QMdiSubWindow* sw = w->subWindow();
    const QRect saved = QSettings().value(geometryKey(w->objectName())).toRect();
    if (!sw || !saved.isValid())
        return;
    // A frame smaller than last time still shows the whole window.
    const QSize room = sw->mdiArea() ? sw->mdiArea()->viewport()->size() : saved.size();
    const QSize size = saved.size().boundedTo(room);
    if (placed)
        sw->resize(size);
    else
        sw->setGeometry(QRect(saved.topLeft(), size));
}
} // namespace

void Windows::rememberGeometry(const MdiChild* w)
{
    const QMdiSubWindow* sw = w->subWindow();
    if (!sw || w->objectName().isEmpty() || sw->isMaximized() || sw->isMinimized())
        return;
    QSettings().setValue(geometryKey(w->objectName()), sw->geometry());
}

void Windows::define(const QString& name, Definition d)
{
    definitions().insert(name, std::move(d));
}

bool Windows::defined(const QString& name)
{
    return definitions().contains(name);
}

Windows::Definition Windows::definition(const QString& name)
{
    return definitions().value(name);
}

MdiChild* Windows::find(const QString& name)
{
    MDIForm1* main = MDIForm1::instance();
    if (!main || name.isEmpty())
        return nullptr;
    for (QMdiSubWindow* sw : main->mdiArea()->subWindowList())
        if (auto* w = qobject_cast<MdiChild*>(sw->widget()); w && w->objectName() == name)
            return w;
    return nullptr;
}

MdiChild* Windows::open(const QString& name)
{
    MDIForm1* main = MDIForm1::instance();
    const auto it = definitions().constFind(name);
    if (!main || it == definitions().constEnd() || !it->make)
        return nullptr;
    const Definition d = *it; // a `shown` step may redefine windows
    MdiChild* w = find(name);
    const bool fresh = !w;
    if (fresh) {
        w = d.make();
        Q_ASSERT(w->objectName() == name);
        qv::keyboardRules(w);
    }
    main->close_Menu();
    std::optional<QPoint> at;
    if (d.place && (fresh || !d.placeOnlyWhenNew))
        at = d.place;
    main->showChild(w, at ? at->x() : -1, at ? at->y() : -1);
    if (fresh)
        restoreGeometry(w, d.place.has_value());
    if (fresh && w->firstFocus())
        w->firstFocus()->setFocus();
    if (d.shown)
        d.shown(w, fresh);
    return w;
}

MdiChild* Windows::openFresh(const QString& name)
{
    if (MdiChild* old = find(name)) {
        // A window that keeps unsaved work stays, and comes to the front as it is.
        if (!old->unload())
            return open(name);
        // unload() deletes later; take the name away now so that the new one is the one found
        old->setObjectName(QString());
    }
    return open(name);
}

void Windows::bindMenu(const QString& entry, std::function<void()> action)
{
    menuActions().insert(entry, std::move(action));
}

void Windows::bindMenu(const QString& entry, const QString& window)
{
    bindMenu(entry, [window] { open(window); });
}

bool Windows::runMenu(const QString& entry)
{
    const auto it = menuActions().constFind(entry);
    if (it == menuActions().constEnd())
        return false;
    const std::function<void()> action = *it;
    action();
    return true;
}

} // namespace qv
