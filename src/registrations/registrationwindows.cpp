#include "registrations/registrationwindows.h"

#include "registrations/frmapplication.h"
#include "registrations/frmcatagory.h"
#include "shell/mdiform1.h"

void registerRegistrationWindows()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // "Catagory" always discards an open category window, unsaved entries included.
    MDIForm1::registerOpener(QStringLiteral("mnuCatagory"), [](MDIForm1* m) {
        if (frmCatagory* old = m->loaded<frmCatagory>())
            old->unload();
        m->showChild(new frmCatagory(), 2700, 1600);
    });
    MDIForm1::registerOpener(QStringLiteral("mnuApp"), [](MDIForm1* m) { m->open<frmApplication>(); });
}
