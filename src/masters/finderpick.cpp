#include "masters/finderpick.h"

#include "shell/handover.h"
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
    if (fresh)
        Windows::openFresh(name);
    else
        Windows::open(name);
}

} // namespace qv
