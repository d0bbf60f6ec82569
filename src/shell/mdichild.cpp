#include "shell/mdichild.h"

#include "shell/applymenus.h"
#include "shell/windows.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

namespace qv {

MdiChild::MdiChild(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

QMdiSubWindow* MdiChild::subWindow() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void MdiChild::unload()
{
    if (QMdiSubWindow* sw = subWindow())
        sw->close();
    else
        close();
}

void MdiChild::hideWindow()
{
    if (QMdiSubWindow* sw = subWindow())
        sw->hide();
    else
        hide();
}

void MdiChild::closeEvent(QCloseEvent* e)
{
    QWidget::closeEvent(e);
    if (e->isAccepted())
        Windows::rememberGeometry(this);
    if (e->isAccepted() && m_applyMenusOnClose)
        ApplyMenus();
}

} // namespace qv
