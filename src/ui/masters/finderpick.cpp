#include "masters/finderpick.h"

#include "masters/frmfindac.h"
#include "shell/handover.h"
#include "shell/mdiform1.h"
#include "shell/windows.h"
#include "shell/mdl_connection.h"

#include <QLineEdit>

namespace qv {

bool finderPickPending()
{
    return FindACRowID.toLongLong() > 0;
}

bool takeFinderPick(QLineEdit* box)
{
    if (!finderPickPending())
        return false;
    if (box) {
        box->setText(FindACName);
        box->setProperty("tag", QString::number(FindACRowID.toLongLong()));
    }
    FindACName.clear();
    FindACRowID.clear(); // reads as 0
    return box != nullptr;
}

void showFinder(bool fresh)
{
    const QString name = QStringLiteral("frmFindAC");
    QMdiSubWindow* caller = nullptr;
    if (MDIForm1* main = MDIForm1::instance())
        caller = main->mdiArea()->activeSubWindow();
    MdiChild* shown = fresh ? Windows::openFresh(name) : Windows::open(name);
    if (auto* finder = qobject_cast<frmFindAC*>(shown); finder && caller && caller->widget() != finder)
        finder->setCaller(caller);
}

} // namespace qv
