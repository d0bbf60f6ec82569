#include "shell/applymenus.h"

#include "admin/adminstore.h"
#include "shell/mdiform1.h"
#include "shell/mdl_connection.h"
#include "widgets/guarded.h"
#include "widgets/msgbox.h"

#include <QAction>

void ApplyMenus()
{
    // Without a frame (after "E&xit", or while it unloads its windows) there is nothing to
    // apply the rights to.
    MDIForm1* main = MDIForm1::instance();
    if (!main || main->closing())
        return;
    main->showHomePanel();
    qv::guarded([main] {
        if (qv::RightsStore(Conn).anyActive()) {
            // A right governs the entries whose caption is exactly its own (case and blanks
            // count); entries that no row names keep their visibility.
            const QList<QAction*> entries = main->menuEntries();
            QAction* overview = main->menuEntry(QStringLiteral("mnuOverview"));
            for (const qv::RightsStore::Row& row : qv::RightsStore(Conn).rows()) {
                for (QAction* a : entries)
                    if (!a->isSeparator() && a->text() == row.caption)
                        a->setVisible(row.active);
                // "Overview" has no right of its own: the reports' right "Report", which
                // governs no described entry, shows and hides it.
                if (overview && row.caption == QLatin1String("Report"))
                    overview->setVisible(row.active);
            }
        } else {
            // No right granted: the transaction and report menus go; the rest stays as it is.
            // ("Registeration", the third name of that list, is no entry of the menu tree.)
            for (const char* name : {"mnuMainTrans", "mnuMainRpt", "Registeration"})
                if (QAction* a = main->menuEntry(QString::fromLatin1(name)))
                    a->setVisible(false);
        }
        // "Lock Period" and "Import" have no right of their own: they are shown wherever "Set
        // Menus" is.
        for (const char* entry : {"mnuLockPeriod", "mnuImport"})
            if (QAction* follower = main->menuEntry(QString::fromLatin1(entry)))
                if (QAction* menus = main->menuEntry(QStringLiteral("mnuSetMenu")))
                    follower->setVisible(menus->isVisible());
        // Nor has "Bank Reconciliation": it goes with the bank payments it ticks off.
        if (QAction* rec = main->menuEntry(QStringLiteral("mnuBankRec")))
            if (QAction* bp = main->menuEntry(QStringLiteral("mnuBPVouc")))
                rec->setVisible(bp->isVisible());
    });
}
