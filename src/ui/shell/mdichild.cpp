#include "shell/mdichild.h"

#include "shell/applymenus.h"
#include "shell/windows.h"
#include "widgets/unsaved.h"

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

bool MdiChild::unload()
{
    if (QMdiSubWindow* sw = subWindow())
        return sw->close();
    return close();
}

QString MdiChild::unsavedQuestion() const
{
    return tr("The changes on screen are not saved. Drop them?");
}

bool MdiChild::mayDropUnsavedWork()
{
    return !hasUnsavedWork() || askDropUnsaved(unsavedQuestion());
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
    if (!mayDropUnsavedWork()) {
        e->ignore();
        return;
    }
    QWidget::closeEvent(e);
    if (e->isAccepted())
        Windows::rememberGeometry(this);
    if (e->isAccepted() && m_applyMenusOnClose)
        ApplyMenus();
}

} // namespace qv
