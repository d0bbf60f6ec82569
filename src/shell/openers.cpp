#include "shell/openers.h"

#include "masters/frmaccount.h"
#include "masters/frmcompany.h"
#include "masters/frmfindac.h"
#include "setup/frmacsetting.h"
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
    MDIForm1::registerOpener(QStringLiteral("mnuCompany"), [](MDIForm1* m) { m->open<frmCompany>(2800, 2100); });
    MDIForm1::registerOpener(QStringLiteral("mnuVocSetting"), [](MDIForm1*) { frmAcSetting::showInstance(); });
    MDIForm1::registerOpener(QStringLiteral("frmFindAC"), [](MDIForm1*) { frmFindAC::showInstance(); });
    MDIForm1::registerOpener("mnuSetMenu", [](MDIForm1* m) { frmLocPass::showFor(m, frmLocPass::Target::Menus); });
    MDIForm1::registerOpener("mnuAddUser", [](MDIForm1* m) { frmLocPass::showFor(m, frmLocPass::Target::Users); });
    MDIForm1::registerOpener("mnuRemoveData", [](MDIForm1* m) { frmLocPass::showFor(m, frmLocPass::Target::RemoveData); });
    MDIForm1::registerOpener("frmLocPass", [](MDIForm1* m) { frmLocPass::showGate(m); });
    MDIForm1::registerOpener("frmSecMenus", [](MDIForm1* m) { m->open<frmSecMenus>(1000, 1500); });
    MDIForm1::registerOpener("mnuChartOfAC", [](MDIForm1* m) { m->open<frmAccount>(); });
    MDIForm1::registerOpener("frmAccount", [](MDIForm1* m) { m->close_Menu(); m->open<frmAccount>(); });
}
