#include "masters/finderpick.h"

#include "masters/frmfindac.h"
#include "shell/handover.h"
#include "shell/mdiform1.h"
#include "shell/windows.h"
#include "shell/mdl_connection.h"
#include "widgets/accountbox.h"

#include <QLineEdit>

namespace qv {

bool finderPickPending()
{
    return FindACRowID.toLongLong() > 0;
}

std::optional<FinderPick> takeFinderPick()
{
    if (!finderPickPending())
        return std::nullopt;
    FinderPick pick{FindACRowID.toLongLong(), FindACName};
    FindACName.clear();
    FindACRowID.clear(); // reads as 0
    return pick;
}

bool takeFinderPick(AccountBox* box)
{
    const std::optional<FinderPick> pick = takeFinderPick();
    if (!pick || !box)
        return false;
    box->setAccount(pick->rowId, pick->name);
    return true;
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
