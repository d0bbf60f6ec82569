#include "registrations/registrationwindows.h"

#include "registrations/frmapplication.h"
#include "registrations/frmcatagory.h"
#include "shell/windows.h"

#include <QPoint>

namespace qv {

void defineRegistrations()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    Windows::define(
        QStringLiteral("frmCatagory"), [] { return new frmCatagory(); }, QPoint(2700, 1600));
    Windows::define(QStringLiteral("frmApplication"), [] { return new frmApplication(); });
    // "Catagory" always discards an open category window, unsaved entries included.
    Windows::bindMenu(QStringLiteral("mnuCatagory"), [] { Windows::openFresh(QStringLiteral("frmCatagory")); });
    Windows::bindMenu(QStringLiteral("mnuApp"), QStringLiteral("frmApplication"));
}

} // namespace qv
