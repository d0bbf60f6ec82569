#include "shell/openers.h"

#include "masters/frmaccount.h"
#include "shell/mdiform1.h"

// Each subsystem adds its entries here.
void registerAllOpeners()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    MDIForm1::registerOpener("mnuChartOfAC", [](MDIForm1* m) { m->open<frmAccount>(); });
    MDIForm1::registerOpener("frmAccount", [](MDIForm1* m) { m->close_Menu(); m->open<frmAccount>(); });
}
