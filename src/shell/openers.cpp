#include "shell/openers.h"

#include "shell/frmlocpass.h"
#include "shell/frmsecmenus.h"
#include "shell/mdiform1.h"

// Each subsystem adds its entries here.
void registerAllOpeners()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    MDIForm1::registerOpener("mnuSetMenu", [](MDIForm1* m) { frmLocPass::showFor(m, frmLocPass::Target::Menus); });
    MDIForm1::registerOpener("mnuAddUser", [](MDIForm1* m) { frmLocPass::showFor(m, frmLocPass::Target::Users); });
    MDIForm1::registerOpener("mnuRemoveData", [](MDIForm1* m) { frmLocPass::showFor(m, frmLocPass::Target::RemoveData); });
    MDIForm1::registerOpener("frmLocPass", [](MDIForm1* m) { frmLocPass::showGate(m); });
    MDIForm1::registerOpener("frmSecMenus", [](MDIForm1* m) { m->open<frmSecMenus>(1000, 1500); });
}
