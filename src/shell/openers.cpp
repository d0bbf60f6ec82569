#include "shell/openers.h"

#include "masters/frmcompany.h"
#include "masters/frmfindac.h"
#include "setup/frmacsetting.h"
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
}
