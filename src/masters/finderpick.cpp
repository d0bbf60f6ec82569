#include "masters/finderpick.h"

#include "masters/frmfindac.h"
#include "shell/mdiform1.h"
#include "shell/handover.h"
#include "shell/mdl_connection.h"

#include <QLineEdit>

namespace qv {

bool finderPickPending() { return FindACRowID.toLongLong() > 0; }

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
    MDIForm1* m = MDIForm1::instance();
    if (!m)
        return;
    if (fresh)
        if (frmFindAC* old = m->loaded<frmFindAC>())
            old->unload();
    m->runOpener(QStringLiteral("frmFindAC"));
}

} // namespace qv
